#pragma once
// The crash harness over the program's own data set and runs (see crashtest_program.cpp).

#include <string>

namespace crashtest {

// KILLS rounds in DIR (created afresh): DIR/data holds the data set, DIR/backup the backups,
// DIR/import the generated contact files, DIR/reported.log the worker's log. `self` is this
// executable, started as `child-program` for each round. Prints the counts; 0 when no round
// broke a rule.
int runProgram(const std::string& self, const std::string& dir, int kills, unsigned seed);

// The worker of round `round`: works on DIR until it is killed. Its log is standard output.
int childProgram(const std::string& dir, unsigned seed, int round);

}  // namespace crashtest
