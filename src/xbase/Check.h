#pragma once
// Integrity checks of a table and its indexes, for the admin tool's `check` and for tests.

#include <string>
#include <vector>

#include "xbase/FileSystem.h"
#include "xbase/Status.h"

namespace xbase {

struct CheckVerdict {
    std::string file;    // the file checked (path)
    bool ok = true;
    std::string detail;  // "ok, 1200 rows" or what is wrong
    uint32_t rowsPastCount = 0;  // a table: whole rows its header lost count of (DbfFile::recount)
};

// Checks `baseName`.dbf in dir (header against file size, field descriptors, no whole row past
// the count but an unfinished write's) and, when
// withIndexes, its group file and every index it lists: structure, every row exactly once, keys
// in order, each key equal to its row's expression value. Appends one verdict per file.
// Returns false when anything is wrong (a missing table is a fault too).
bool checkTable(FileSystem& fs, const std::string& dir, const std::string& baseName, bool withIndexes,
                std::vector<CheckVerdict>* verdicts);

}  // namespace xbase
