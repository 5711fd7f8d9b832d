#pragma once
// The table work behind the "Address Book" page, free of widgets so it can run headless.
//
// The page keeps AddrBook open (AddrBookTable) while it is in front and moves through it in the
// order of the Address tag (upper-cased surname, then first name). This class holds the two
// pieces of page state that concern the table — the record shown in the editor and the last seek
// text — and does the reads and writes: listing the names, loading and saving the Address record
// (AddressRec), deleting with its positioning rule, and seeking. Every positioning result goes to
// LastStatus. The widgets (AddressPage) call these and show the outcome.

#include <QString>
#include <cstdint>

#include "core/addressbook/AddressListModel.h"
#include "core/data/DataStatus.h"

class AddressBookEditor {
public:
    // Record number shown in the editor: -1 none chosen yet (while the page fills), 0 a new
    // record (the next save appends), above 0 an existing AddrBook record.
    int CurrentAddrRecNo = -1;
    // The upper-cased, trimmed seek text last acted on.
    QString AddrSeekText;
    // Why the card log could not follow the last save or delete ("" when it did). The book's
    // change stands; the log is put right by the next reconcile.
    QString CardLogProblem;

    // Opens AddrBook with its Address tag at the first row; a failure says which file and why.
    DataStatus open();
    // Closes AddrBook, writing a pending row; nothing happens when it is not open.
    DataStatus close();
    bool isOpen() const;

    // Reads the record number, surname and first name of every row in index order (rows marked
    // deleted included). Only the two name columns are read. An empty result when not open.
    AddressListModel::Rows readNames() const;

    // Fills AddressRec from record CurrentAddrRecNo. For 0 or less (or a record that no longer
    // exists, which also sets CurrentAddrRecNo to 0) AddressRec becomes the blank new record:
    // empty texts, today's date in all four dates, every flag false.
    void loadCurrent();

    enum class SaveResult { Saved, AppendFailed, WriteFailed };
    // Writes AddressRec to record CurrentAddrRecNo, or to a newly appended record when it is 0
    // or less (CurrentAddrRecNo then becomes the new record's number), and flushes the table.
    // AppendFailed: no row was added (none is left behind, however far the write got) and
    // CurrentAddrRecNo is unchanged. WriteFailed: the record could not be
    // reached or the flush failed; the caller should treat the change as not saved. A changed
    // name takes the record's card events along (CardLogProblem says when that failed).
    SaveResult save();

    // Deletes record CurrentAddrRecNo (nothing for 0 or less) and packs the table. The record
    // that preceded it in name order becomes current — the new first record when it was the
    // first — and CurrentAddrRecNo is set to it (0 when the book is now empty).
    // `position` is the record's 1-based place in index order when the caller already knows it
    // (the names list is built in that order); 0 makes this count it by stepping back.
    // The card events of the deleted rows go with them, and the log follows the renumbering.
    // Returns false when the table refused a step; the book is then left as the engine left it.
    bool removeCurrent(int position = 0);

    enum class SeekResult { Unchanged, Found, NotFound };
    // Seeks `text` (upper-cased and trimmed; its first 59 characters as a key prefix).
    // Unchanged when it equals AddrSeekText (only case or outer blanks differ); otherwise
    // AddrSeekText takes it and, when the seek lands on a match or on the next greater key,
    // CurrentAddrRecNo becomes that record (Found). Past the last key: NotFound, nothing moved
    // in the page state.
    SeekResult seek(const QString& text);

    // The seek key for a text: trimmed, upper-cased as the index upper-cases (Windows-1252).
    static QString seekKey(const QString& text);
};
