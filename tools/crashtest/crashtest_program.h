#pragma once
// The crash harness over the program's own data set and runs (see crashtest_program.cpp).

#include <set>
#include <string>

namespace crashtest {

using Names = std::set<std::string>;

// The first names of the AddrBook rows in `dir` not marked deleted, read from the table file
// alone. False (and *why) when it does not open or read.
bool TableNames(const std::string& dir, Names* names, std::string* why);

// KILLS rounds in DIR (created afresh): DIR/data holds the data set, DIR/backup the backups,
// DIR/import the generated contact files, DIR/reported.log the worker's log. `self` is this
// executable, started as `child-program` for each round. Prints the counts; 0 when no round
// broke a rule.
int runProgram(const std::string& self, const std::string& dir, int kills, unsigned seed);

// The worker of round `round`: works on DIR until it is killed. Its log is standard output.
int childProgram(const std::string& dir, unsigned seed, int round);

}  // namespace crashtest
