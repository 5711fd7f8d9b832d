#pragma once
// The tables of our own: data the four tables of the book have no columns for, kept in tables
// beside them (the card log, the printers' corrections, where the last sheet of each stock
// stopped, the households' greetings and own-card marks, the calendar settings). A data set starts without them; each is created on first use, found whatever the
// letter case of its file, and carried by backup, restore, check and reindex when it exists.
//
// OwnTables() is the one list of them: a new table of our own is one more entry there, and the
// backup, the restore, `merrowby-admin check` and the index rebuild take it from the list. The
// features reach their tables through the helpers below, which open or create a table with its
// schema and report failures as a Status naming its file; nothing is shown.

#include <string>
#include <string_view>
#include <vector>

#include "core/data/Schema.h"
#include "xbase/Status.h"

namespace xbase {
class Library;
class Table;
}  // namespace xbase

struct OwnTable {
    TableSchema schema;   // its index: group, tag and key set (group and tag named as the table)
    bool carried = true;  // backup and restore copy it and check verifies it (when it exists)
    // How the index rebuild (DataFiles.h) treats it, when it has an index: null writes the index
    // anew (with onlyIfMissing: when it is missing or cannot be read); a table with more upkeep
    // than that (the card log follows the book) names its own.
    xbase::Status (*rebuild)(xbase::Library& lib, bool onlyIfMissing) = nullptr;
};

// Every table of our own, in the order backup, restore and check take them: Printers, Sheets,
// Cards, CardAddr, Households, Calendar.
const std::vector<OwnTable>& OwnTables();
// Every table a data folder may hold: the four of the book (DataTables()), then those of our own.
std::vector<const TableSchema*> FolderTables();
// The schema of the table of our own whose file or base name is `name` (letter case ignored:
// "cards.DBF", "Sheets"), or null.
const TableSchema* FindOwnTable(std::string_view name);
// The schema of the table of our own named `baseName` (one of OwnTables(); any other name gives
// an empty schema, which no table opens with).
const TableSchema& OwnTableSchema(std::string_view baseName);

// Whether the table's file is in the library's directory, in any letter case.
bool OwnTableExists(xbase::Library& lib, const TableSchema& schema);

// Opens the table, with its index selected when it has one. A missing table: with `create` it is
// made (empty, with its schema) first, without it *out is null and the result Ok (nothing stored
// yet). An index or group file that is missing or cannot be read is written anew. A table that
// lacks a column of the schema (or has it of another type) is refused as Corrupt. The library's
// auto-open and safety settings are as they were afterwards. On failure *out is null and the
// Status names the file.
xbase::Status OpenOwnTable(xbase::Library& lib, const TableSchema& schema, bool create, xbase::Table** out);
// Creates the table when it is missing, and its index when that is missing or cannot be read;
// closes it again. Ok when the table and its index are in place afterwards.
xbase::Status EnsureOwnTable(xbase::Library& lib, const TableSchema& schema);
// Writes the table's index anew (nothing for a table without one); Ok when there is no table.
xbase::Status RebuildOwnIndex(xbase::Library& lib, const TableSchema& schema);
// What the index rebuild does for `table`: its own rebuild, or RebuildOwnIndex (with
// onlyIfMissing: EnsureOwnTable). Ok for a table that is not there.
xbase::Status RebuildOwnTable(xbase::Library& lib, const OwnTable& table, bool onlyIfMissing);
// Closes `t` (null is fine) and sets it null. Returns `s` when it is a failure already, else the
// close's failure (the file named, "cannot write") or Ok.
xbase::Status CloseOwnTable(xbase::Library& lib, xbase::Table*& t, xbase::Status s);

// Puts the library's auto-open and safety settings back, when it goes, as they were when it came.
class LibrarySettingsGuard {
public:
    explicit LibrarySettingsGuard(xbase::Library& lib);
    ~LibrarySettingsGuard();
    LibrarySettingsGuard(const LibrarySettingsGuard&) = delete;
    LibrarySettingsGuard& operator=(const LibrarySettingsGuard&) = delete;

private:
    xbase::Library& lib_;
    bool autoOpen_, safety_;
};

// The failure the library recorded last (then cleared), or an I/O error naming `file` and `what`
// when it recorded none.
xbase::Status LibraryFailure(xbase::Library& lib, const std::string& file, const char* what);
