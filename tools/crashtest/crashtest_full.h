#pragma once
// The crash harness's full-disk case (see crashtest_full.cpp).

#include <string>

namespace crashtest {

// ROUNDS rounds in DIR (created afresh; with `real`, DIR must be the mount point of a small file
// system of its own, such as a tmpfs, which the harness fills): each fills the disk part-way
// through an import, a backup or a pack of the program's data set in DIR/data. Prints the counts;
// 0 when no round broke a rule.
int runFull(const std::string& dir, int rounds, unsigned seed, bool real);

}  // namespace crashtest
