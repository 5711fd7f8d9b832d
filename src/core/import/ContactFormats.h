#pragma once
// Contacts as other programs write them (vCard, or CSV with a header row), imported: the contacts
// that ContactReader.h reads from the file are fitted to the AddrBook columns and appended, with
// duplicates of names already in the book skipped or added as the user chose. The file is read
// twice as a stream, once to check it and count its contacts, once to store them; nothing of it
// is held in memory but the contact at hand and, for the duplicate test, a hash of eight bytes
// per name.
//
// This sits beside the positional import of ImportRun.h, which keeps its own rules.

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "core/data/Globals.h"
#include "core/import/ContactReader.h"

// `rec` cut to the AddrBook columns and with every character Windows-1252 cannot hold made '?';
// returns how many characters were replaced. A region (State) that does not fit its column is
// not cut to its first letters: a US state or Canadian province written out becomes its code,
// any other is left out, and *regionLeftOut tells so.
int FitToAddrBook(TAddressRecord& rec, bool* regionLeftOut = nullptr);
// True when the trimmed last name has at least two characters.
bool HasUsableLastName(const TAddressRecord& rec);
// The key two rows are duplicates by: trimmed Last, First and Street in Windows-1252, upper-cased
// as the address index does.
std::string DuplicateKey(const TAddressRecord& rec);

enum class DuplicatePolicy { Skip, Add };

struct ContactPreview {
    ContactParse parsed;  // the first `keep` contacts, the count and the mapping
    // How many usable contacts repeat a row already in AddrBook, or a contact earlier in the
    // file: the ones the run would skip by default. -1 when the book cannot be read.
    int duplicates = -1;
};

// Reads the file at `path` once for the preview: its first `keep` contacts, how many there are
// and how many are duplicates. `reading` as in ContactReadOptions. Requires LibHandle; AddrBook
// must not be open.
ContactPreview PreviewContactsFile(const QString& path, int keep,
                                   const std::function<bool(qint64 done, qint64 total)>& reading = {});

struct DetectedImportOptions {
    DuplicatePolicy duplicates = DuplicatePolicy::Skip;
    // While the file is first read through and checked, before anything is stored: bytes read
    // of the file's size. Returning false stops the run before the book is opened.
    std::function<bool(qint64 done, qint64 total)> reading;
    // Called before each contact is stored (done so far, total to go through) and once at the end;
    // returning false stops the run, the rows added so far stay.
    std::function<bool(int done, int total)> progress;
};

struct DetectedImportOutcome {
    bool fileFound = false;
    bool bookOpened = false;
    ContactFormat format = ContactFormat::Unknown;
    ContactEncoding encoding = ContactEncoding::Windows1252;
    int added = 0;
    int duplicatesSkipped = 0;
    int duplicatesAdded = 0;
    int withoutLastName = 0;
    int replacedCharacters = 0;
    int regionsLeftOut = 0;      // regions too long for the State column (see FitToAddrBook)
    bool cancelled = false;
    QStringList duplicateNames;  // "First Last" of the first duplicates met (at most 20)
    RunStatus status;            // what stopped the run (rows added before stay)
};

// Reads `path` through once to check it (ReadContactsFile), then again to append its contacts to
// AddrBook through the data routines: contacts without a usable last name are skipped,
// duplicates of a row already there (or added earlier in the run) skipped or added as told.
// Nothing is opened when the file cannot be understood. Memory does not grow with the file
// beyond eight to sixteen bytes per name for the duplicate test. Requires LibHandle; AddrBook
// must not be open.
DetectedImportOutcome RunDetectedImport(const QString& path, const DetectedImportOptions& options = {});

// "12 Names Added, 3 duplicates skipped, 1 without a last name" and the rest that applies
// (characters stored as '?', regions left out).
QString DetectedImportSummary(const DetectedImportOutcome& out);
