#pragma once
// The card log: which cards went to whom, which came back, which arrived from whom.
//
// Two tables of our own beside the address book, both created on first use:
//   Cards.dbf     one row per card event, with the index Cards.ntx (group Cards.cgp) on
//                 "NameKey + Str(Year,4)": the recipient's name key (exactly the key of the
//                 address index, Upper(Last + First)) and record number, the year, the occasion,
//                 the dated entry (occasion 8) and the kind (S sent, R received, X returned).
//   CardAddr.dbf  one row per person whose card came back: name key, record number and a
//                 fingerprint of the address the card was sent to. The names list marks a
//                 person while their address still has that fingerprint.
//
// A person is the pair (name key, record number). The name key finds a person's events by an
// index seek; the record number tells apart people of the same name. Both are kept right by the
// address book's writers: a rename calls CardsRenamed, a delete with its pack calls
// CardsAfterPack (a deleted person's events go with them, every later record number moves
// down). CardsReconcile puts a log back in step with a book it lost track of (after a restore,
// or a program stopped between the book's pack and the log's), by name key.
//
// Rows marked deleted are no events. Everything works through the library's file system in its
// directory; failures come back as a Status naming the file, nothing is shown. None of these
// may run while the Cards table is open elsewhere in the same library.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/Schema.h"
#include "xbase/Status.h"

namespace xbase {
class DbfFile;
class Library;
}  // namespace xbase

enum class CardKind : char { Sent = 'S', Received = 'R', Returned = 'X' };

// "sent", "received", "returned".
const char* CardKindName(CardKind kind);
// From a kind's name or its one-letter code (letter case ignored); false when it is neither.
bool CardKindFromText(std::string_view text, CardKind* kind);

struct CardEvent {
    std::string nameKey;   // Windows-1252 bytes, 40 of them
    uint32_t recNo = 0;    // the AddrBook record
    int year = 0;
    int occasion = 0;      // 1 to 9, the run's occasion number
    int entry = 0;         // occasion 8: 1 birthday, 2 anniversary, 3 Other1, 4 Other2; else 0
    CardKind kind = CardKind::Sent;

    bool operator==(const CardEvent&) const = default;
};

// One recipient of a run: the record and, for occasion 8, its dated entry (1 to 4).
struct CardPick {
    uint32_t recNo = 0;
    int entry = 0;
};

// The two tables' layouts (tables of our own, OwnTables.h: a data set starts without them).
const TableSchema& CardsSchema();
const TableSchema& CardMarksSchema();
// The file names of the log, as new files spell them: Cards.dbf, Cards.ntx, Cards.cgp,
// CardAddr.dbf.
std::vector<std::string> CardFileNames();

// The name key of an address row from its stored surname and first name (Windows-1252 bytes,
// each cut or padded to 20), upper-cased as the index upper-cases.
std::string CardNameKey(std::string_view lastBytes, std::string_view firstBytes);
// The same of an AddrBook record's raw bytes.
std::string CardNameKeyOfRow(const xbase::DbfFile& addrBook, const uint8_t* row);
// The fingerprint of the address fields of an AddrBook row: 8 hexadecimal digits.
std::string CardAddressSum(const xbase::DbfFile& addrBook, const uint8_t* row);

// Creates the log's tables and index when they are missing (the index also when only it or its
// group file is missing). Ok when everything is in place afterwards.
xbase::Status EnsureCardFiles(xbase::Library& lib);

// Logs a sent card of `occasion` in `year` for each pick, reading the names from AddrBook.
// A pick already logged (same person, year, occasion, entry) is not logged again, nor one that
// appears twice in `picks`, nor a record that no longer exists. *added: events written.
xbase::Status CardsMarkSent(xbase::Library& lib, int occasion, int year,
                            const std::vector<CardPick>& picks, int* added = nullptr);
// Logs one event for record `recNo` by hand; *added false when it was logged already. A returned
// card also remembers the address it was sent to, so that the names list marks the person.
xbase::Status CardsAdd(xbase::Library& lib, uint32_t recNo, int year, int occasion, CardKind kind,
                       bool* added = nullptr);

// Removes every event `match` accepts (its row is marked deleted, as a pack would drop it). A
// person left with no returned card loses the names list's mark. *removed: events removed.
xbase::Status CardsRemove(xbase::Library& lib, const std::function<bool(const CardEvent&)>& match,
                          int* removed = nullptr);

// The events of one person, newest year first (within a year: by occasion, then sent,
// received, returned).
xbase::Status CardsOf(xbase::Library& lib, std::string_view nameKey, uint32_t recNo,
                      std::vector<CardEvent>* out);
// Every event, in the log's order, optionally only those of one year / occasion / kind
// (0 or null: any).
xbase::Status CardsList(xbase::Library& lib, int year, int occasion, const CardKind* kind,
                        std::vector<CardEvent>* out);

// --- the address book's writers -------------------------------------------------------------

// Record `recNo` changed its name key from `oldKey` to `newKey`: its events follow.
xbase::Status CardsRenamed(xbase::Library& lib, uint32_t recNo, std::string_view oldKey,
                           std::string_view newKey);
// Before a pack of AddrBook: leaves the marker Cards.pck beside the log (synced), which
// CardsAfterPack removes when the log has followed. Nothing when there is no log yet.
xbase::Status CardsBeforePack(xbase::Library& lib);
// When a marker says a pack was not followed (the program stopped in between), reconciles the
// log (CardsReconcile) and removes the marker. *recovered tells whether it did.
xbase::Status CardsRecover(xbase::Library& lib, bool* recovered = nullptr);
// The records `deleted` (ascending) were packed out of AddrBook: their events are dropped and
// every later record number moves down by the deleted records before it. One pass over the log.
xbase::Status CardsAfterPack(xbase::Library& lib, const std::vector<uint32_t>& deleted);
// Brings every event into step with AddrBook as it is: an event whose record holds another name
// key moves to the one record of its name key, or is dropped when no record or several hold it.
// *moved and *dropped (when given) count the events concerned.
xbase::Status CardsReconcile(xbase::Library& lib, int* moved = nullptr, int* dropped = nullptr);
// Checks the log against AddrBook without changing anything: the number of events whose record
// does not hold their name key goes to *stray.
xbase::Status CardsCheck(xbase::Library& lib, uint64_t* events, uint64_t* stray);
// Rebuilds the log's index, dropping the rows marked deleted first.
xbase::Status CardsReindex(xbase::Library& lib);
// The index rebuild's part for the log (OwnTables.h): with onlyIfMissing, EnsureCardFiles; else
// CardsReconcile, then CardsReindex.
xbase::Status CardsRebuildIndex(xbase::Library& lib, bool onlyIfMissing);

// --- reports and marks ----------------------------------------------------------------------

// The AddrBook records, in name order, flagged for holiday `occasion` (1 to 7) with no sent
// event of that occasion in `year`.
xbase::Status CardsNotYetSent(xbase::Library& lib, int occasion, int year, std::vector<uint32_t>* out);
// The AddrBook records, in name order, with a received event of `occasion` in `year` or the year
// before and no sent event of that occasion in `year`.
xbase::Status CardsReceivedNotSent(xbase::Library& lib, int occasion, int year,
                                   std::vector<uint32_t>* out);
// The records of `addrBook` (the open AddrBook file) whose card came back to the address they
// still have: marked[recNo] is 1 for them (the vector is sized recordCount() + 1).
xbase::Status CardsReturnedMarks(xbase::Library& lib, xbase::DbfFile& addrBook,
                                 std::vector<uint8_t>* marked);
