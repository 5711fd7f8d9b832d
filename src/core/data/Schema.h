#pragma once
// The four data tables as a fresh installation has them: their columns, their index tags, and
// the routine that creates a complete data set (tables, the one settings row, the one import
// layout row, a few common label stocks, and the index and group files).
//
// The program itself never creates a table; `merrowby-admin init` and the tests do, through
// CreateDataSet, so both get exactly the same files.

#include <string>
#include <vector>

#include "xbase/Dbf.h"
#include "xbase/Status.h"

struct TableSchema {
    std::string baseName;                 // "AddrBook"; the .dbf takes this name
    std::string fileName;                 // "AddrBook.dbf", the spelling new files take
    std::vector<xbase::FieldSpec> fields; // physical column order
    // Index: group file <group>.cgp with one tag (empty group: the table has no index).
    std::string group;                    // "AddrBook"
    std::string tag;                      // "Address" (also the .ntx base name)
    std::string key;                      // "Upper(Last + First)"
    // How the program's messages spell the table's and the index's files ("AddrBook.DBF",
    // "Address.Ntx"), and where the table comes in a backup (1 first; 0: not backed up).
    std::string shownName;
    std::string shownIndex;
    int backupOrder = 0;
};

// AddrBook, LABELS, Mrby1, importf, in this order.
const std::vector<TableSchema>& DataTables();

// The table whose file is `fileName` ("importf.dbf", any letter case), or null.
const TableSchema* FindTable(const std::string& fileName);
// The tables a backup holds, in the order they are copied: LABELS, AddrBook, importf.
std::vector<const TableSchema*> BackupTables();

// Checks that `path` holds a whole table of `schema`: a header and field descriptors that parse,
// a size that holds every row the header counts, no whole row past that count (but an unfinished
// write's), and every column of the schema present. The
// Status (Corrupt) says what is wrong; the file is only read.
xbase::Status CheckTableFile(xbase::FileSystem& fs, const std::string& path, const TableSchema& schema);
// Checks that the open table file `dbf` (at `path`) has every column of `schema`, of its type
// (letter case of the names ignored); Corrupt naming the first one missing.
xbase::Status CheckColumns(const xbase::DbfFile& dbf, const TableSchema& schema, const std::string& path);

// True when the index and group files of `t` (a table with an index) are in `dir`, the group
// file usable (xbase::groupIsUsable) and the index not marked as left unfinished by a program
// that stopped: such a file may be cut short anywhere, and is rebuilt as a missing one is.
bool IndexFilesPresent(xbase::FileSystem& fs, const std::string& dir, const TableSchema& t);

// A label stock as CreateDataSet stores it. Dimensions in printer points (72 to the inch).
struct StandardStock {
    const char* name;
    double topM, leftM, bottomM, rightM, width, height, hGap, vGap;
    int nAcross;
    bool continuous;
};
const std::vector<StandardStock>& StandardStocks();

// The file names a data set consists of (tables, index files, group files), as new files spell
// them: AddrBook.dbf, Address.ntx, AddrBook.cgp, LABELS.dbf, Labels.ntx, LABELS.cgp, Mrby1.dbf,
// importf.dbf.
std::vector<std::string> DataSetFileNames();

// Creates the data set in `dir` (created when missing). Refuses (Exists) when any file of a data
// set is already there, in any letter case, and then touches nothing. On another failure the
// files made so far are left behind and the Status names the file concerned.
xbase::Status CreateDataSet(const std::string& dir);
