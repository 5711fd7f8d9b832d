// merrowby-crashtest: kills a process that is changing a table at random moments and checks
// that nothing it had been told was stored is lost.
//
//   merrowby-crashtest run DIR KILLS [SEED]   the harness: KILLS rounds in DIR (created afresh)
//   merrowby-crashtest child DIR SEED         the worker the harness starts and kills
//   merrowby-crashtest run-program DIR KILLS [SEED]
//                                             the same over the program's data set and runs:
//                                             imports, backups and restores among the changes
//                                             (crashtest_program.cpp; built with the program)
//   merrowby-crashtest run-full DIR ROUNDS [SEED] [--real]
//                                             no kills: the disk fills part-way through an
//                                             import, a backup or a pack (crashtest_full.cpp);
//                                             --real: DIR is a small file system of its own
//
// The worker appends, edits, marks and packs away scratch rows, flushes and rebuilds the index
// of DIR/Book.dbf in a loop. After each append whose flush returned it writes the row's name to
// stdout (a file the harness gave it), one line per row, with one write call. The harness starts
// it, kills it with SIGKILL after a random pause, and then requires: the table opens, checkTable
// passes at once or after a rebuild of the index, and every name reported is in the table.
// It prints the counts and exits 1 when any round broke a rule.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "xbase/Check.h"
#include "xbase/Library.h"

#include "crashtest_spawn.h"
#ifdef MERROWBY_CRASHTEST_PROGRAM
#include "crashtest_full.h"
#include "crashtest_program.h"
#endif

namespace {

using crashtest::RoundEnd;
using crashtest::startAndKill;

const std::vector<xbase::FieldSpec> kFields = {
    {"First", 'C', 16, 0}, {"Last", 'C', 16, 0}, {"Zip", 'C', 8, 0}};
const xbase::TagSpec kTag = {"BookName", "Upper(Last + First)"};

std::string trim(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

bool reindex(const std::string& dir, std::string* why) {
    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setAutoOpen(false);
    lib.setSafety(false);
    xbase::Table* t = lib.open("Book");
    if (!t || t->createIndex("Book", {kTag}) < 0) {
        *why = lib.lastError().toString();
        return false;
    }
    return lib.closeAll() == 0;
}

int child(const std::string& dir, unsigned seed) {
    std::mt19937 rng(seed);
    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setSafety(false);
    // A round killed mid-way may have left the index behind; the harness mended it before.
    xbase::Table* t = lib.open("Book");
    if (!t) {
        std::fprintf(stderr, "child: %s\n", lib.lastError().toString().c_str());
        return 2;
    }
    t->selectTag(t->tag(kTag.name));
    for (unsigned n = 0;; ++n) {
        const unsigned op = rng() % 100;
        int rc = 0;
        if (op < 55) {
            const bool scratch = rng() % 4 == 0;
            const std::string name = (scratch ? "x" : "r") + std::to_string(seed) + "_" + std::to_string(n);
            rc = t->appendBlank();
            if (rc == 0) {
                t->field("First")->assign(name);
                t->field("Last")->assign(std::string(1, char('A' + rng() % 26)) + std::to_string(rng() % 1000));
                if (scratch) rc = t->markDeleted();
            }
            if (rc == 0) rc = t->flush();
            if (rc == 0 && !scratch) {
                const std::string line = name + "\n";
                if (::write(1, line.data(), line.size()) != ssize_t(line.size())) return 3;
            }
        } else if (op < 85) {
            if (t->recCount() > 0 && t->go(1 + rng() % t->recCount()) == xbase::kOk) {
                t->field("Last")->assign(std::string(1, char('A' + rng() % 26)) + std::to_string(rng() % 1000));
                t->field("Zip")->assignInt(rng() % 100000);
                rc = t->flush();
            }
        } else if (op < 93) {
            rc = t->pack();
            if (rc == 0) t->selectTag(t->tag(kTag.name));
        } else {
            rc = t->createIndex("Book", {kTag});
            if (rc == 0) t->selectTag(t->tag(kTag.name));
        }
        if (rc < 0) {
            std::fprintf(stderr, "child: %s\n", lib.lastError().toString().c_str());
            return 4;
        }
    }
}

struct Counts {
    int kills = 0, cleanAfterKill = 0, reindexed = 0, broken = 0, lost = 0;
    size_t reported = 0, rows = 0;
};

int run(const std::string& self, const std::string& dir, int kills, unsigned seed) {
    std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
    if (std::system(cmd.c_str()) != 0) return 2;
    {
        xbase::Library lib;
        lib.setDirectory(dir);
        xbase::Table* t = lib.create("Book", kFields);
        if (!t || t->createIndex("Book", {kTag}) < 0 || lib.closeAll() < 0) {
            std::fprintf(stderr, "crashtest: %s\n", lib.lastError().toString().c_str());
            return 2;
        }
    }
    const std::string log = dir + "/reported.log";
    std::mt19937 rng(seed);
    std::set<std::string> reported;
    Counts c;
    for (int round = 1; round <= kills; ++round) {
        const unsigned childSeed = seed * 100000u + unsigned(round);
        int status = 0;
        const RoundEnd end = startAndKill(self, log, {"child", dir, std::to_string(childSeed)},
                                          int(5 + rng() % 120), &status);
        if (end == RoundEnd::NoStart) return 2;
        if (end == RoundEnd::EndedByItself) {
            std::fprintf(stderr, "round %d: the worker ended by itself (status %d)\n", round, status);
            ++c.broken;
            continue;
        }
        ++c.kills;
        // Names reported: complete lines only.
        {
            std::ifstream in(log);
            std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            size_t pos = 0, nl;
            while ((nl = all.find('\n', pos)) != std::string::npos) {
                reported.insert(all.substr(pos, nl - pos));
                pos = nl + 1;
            }
        }
        std::vector<xbase::CheckVerdict> v;
        bool ok = xbase::checkTable(xbase::FileSystem::real(), dir, "Book", true, &v);
        if (ok) {
            ++c.cleanAfterKill;
        } else {
            std::string why;
            const bool tableOk = !v.empty() && v[0].ok;
            if (!tableOk) {
                std::fprintf(stderr, "round %d: table broken: %s\n", round, v[0].detail.c_str());
                ++c.broken;
                continue;
            }
            if (std::getenv("CRASHTEST_VERBOSE"))
                for (const auto& x : v)
                    if (!x.ok) std::fprintf(stderr, "round %d: before reindex: %s: %s\n", round, x.file.c_str(), x.detail.c_str());
            if (!reindex(dir, &why)) {
                std::fprintf(stderr, "round %d: reindex failed: %s\n", round, why.c_str());
                ++c.broken;
                continue;
            }
            ++c.reindexed;
            v.clear();
            if (!xbase::checkTable(xbase::FileSystem::real(), dir, "Book", true, &v)) {
                for (const auto& x : v)
                    if (!x.ok) std::fprintf(stderr, "round %d: after reindex: %s: %s\n", round, x.file.c_str(), x.detail.c_str());
                ++c.broken;
                continue;
            }
        }
        // Every reported name must be in the table.
        xbase::Library lib;
        lib.setDirectory(dir);
        lib.setReadOnly(true);
        xbase::Table* t = lib.open("Book");
        if (!t) {
            std::fprintf(stderr, "round %d: table does not open: %s\n", round, lib.lastError().toString().c_str());
            ++c.broken;
            continue;
        }
        std::set<std::string> present;
        for (int rc = t->top(); rc == xbase::kOk; rc = t->skip(1)) present.insert(trim(t->field("First")->str()));
        c.rows = t->recCount();
        lib.closeAll();
        for (const auto& name : reported)
            if (!present.count(name)) {
                std::fprintf(stderr, "round %d: row %s was reported stored and is gone\n", round, name.c_str());
                ++c.lost;
            }
    }
    c.reported = reported.size();
    std::printf("crashtest: %d kills, %d clean at once, %d needed a reindex, %d broken, %d rows lost; "
                "%zu rows reported stored, %zu rows in the table\n",
                c.kills, c.cleanAfterKill, c.reindexed, c.broken, c.lost, c.reported, c.rows);
    return c.broken == 0 && c.lost == 0 && c.kills == kills ? 0 : 1;
}

std::string selfPath() {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return std::string();
    return std::string(self, size_t(n));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const unsigned seed = argc > 4 ? unsigned(std::strtoul(argv[4], nullptr, 10)) : 1u;
    if (argc >= 4 && argc <= 5 && mode == "run") {
        const std::string self = selfPath();
        return self.empty() ? 2 : run(self, argv[2], std::atoi(argv[3]), seed);
    }
    if (argc == 4 && mode == "child")
        return child(argv[2], unsigned(std::strtoul(argv[3], nullptr, 10)));
#ifdef MERROWBY_CRASHTEST_PROGRAM
    if (argc >= 4 && argc <= 5 && mode == "run-program") {
        const std::string self = selfPath();
        return self.empty() ? 2 : crashtest::runProgram(self, argv[2], std::atoi(argv[3]), seed);
    }
    if (argc >= 4 && argc <= 6 && mode == "run-full") {
        const bool real = std::string(argv[argc - 1]) == "--real";
        const unsigned fullSeed = argc - real > 4 ? unsigned(std::strtoul(argv[4], nullptr, 10)) : 1u;
        return crashtest::runFull(argv[2], std::atoi(argv[3]), fullSeed, real);
    }
    if (argc == 5 && mode == "child-program")
        return crashtest::childProgram(argv[2], unsigned(std::strtoul(argv[3], nullptr, 10)),
                                       std::atoi(argv[4]));
#endif
    std::fprintf(stderr,
                 "usage: merrowby-crashtest run DIR KILLS [SEED] | child DIR SEED\n"
#ifdef MERROWBY_CRASHTEST_PROGRAM
                 "       merrowby-crashtest run-program DIR KILLS [SEED] | child-program DIR SEED ROUND\n"
                 "       merrowby-crashtest run-full DIR ROUNDS [SEED] [--real]\n"
#endif
                 );
    return 2;
}
