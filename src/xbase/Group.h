#pragma once
// Index group files (.cgp): a short text file beside a table naming its index files, one a line
// ("Address.ntx"); blank lines and lines starting with '#' are comments. The index files lie in
// the group file's own folder: a line that names anything else is damage, never followed.

#include <string>
#include <vector>

#include "xbase/FileSystem.h"
#include "xbase/Status.h"

namespace xbase {

// Reads the group file at `path` into *names (the index file names as written, blanks around
// them removed). Fails with the reading's Status when the file cannot be read, and with Corrupt,
// naming the group file, when it is not a group file: a line that is not a plain file name
// ending in ".ntx" in the same folder (a path, "..", a control byte), or more lines than any
// table has indexes. *names is empty on failure; a group file listing nothing is not a failure.
Status readGroupFile(FileSystem& fs, const std::string& path, std::vector<std::string>* names);

// True when the group file at `path` reads, lists at least one index file and every one it
// lists is there: the table opens with its indexes. False means it must be written anew.
bool groupIsUsable(FileSystem& fs, const std::string& path);

}  // namespace xbase
