// Tables with their indexes: the operations the program relies on, end to end through files.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ReadWatchingFileSystem.h"
#include "xbase/Check.h"
#include "xbase/Library.h"

namespace fs = std::filesystem;
using namespace xbase;

namespace {

class TableTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = (fs::temp_directory_path() / ("xbt-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                  .string();
        fs::remove_all(dir);
        fs::create_directories(dir);
        lib.setDirectory(dir);
        lib.setSyncOnFlush(false);
    }
    void TearDown() override {
        lib.closeAll();
        fs::remove_all(dir);
    }

    Table* makeBook(const std::vector<std::pair<std::string, std::string>>& names) {
        Table* t = lib.create("AddrBook", {{"First", 'C', 20, 0},
                                           {"Last", 'C', 20, 0},
                                           {"Zip", 'C', 10, 0},
                                           {"Birthdate", 'D', 8, 0},
                                           {"Christmas", 'L', 1, 0},
                                           {"Count", 'N', 5, 0}});
        EXPECT_NE(t, nullptr) << lib.lastError().toString();
        for (const auto& [first, last] : names) {
            EXPECT_EQ(t->appendBlank(), kOk);
            t->field("First")->assign(first);
            t->field("Last")->assign(last);
        }
        EXPECT_EQ(t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}), kOk)
            << lib.lastError().toString();
        t->selectTag(t->tag("Address"));
        return t;
    }

    std::vector<std::string> lastNamesInOrder(Table* t) {
        std::vector<std::string> out;
        for (int rc = t->top(); rc == kOk; rc = t->skip(1)) {
            std::string s = t->field("Last")->str();
            s.erase(s.find_last_not_of(' ') + 1);
            out.push_back(s);
        }
        return out;
    }

    std::string dir;
    Library lib;
};

TEST_F(TableTest, IndexOrderSeekAndSkipFollowTheKey) {
    Table* t = makeBook({{"John", "Smythe"}, {"Ann", "Smith"}, {"Bob", "adams"}, {"Zed", "Smith"}});
    EXPECT_EQ(lastNamesInOrder(t), (std::vector<std::string>{"adams", "Smith", "Smith", "Smythe"}));

    EXPECT_EQ(t->seek("SM"), kOk);
    EXPECT_EQ(t->recNo(), 2u);  // Ann Smith: first SM in name order
    EXPECT_EQ(t->seek("SMJ"), kAfter);
    EXPECT_EQ(t->recNo(), 1u);  // stopped on SMYTHE
    EXPECT_EQ(t->seek("ZZ"), kEof);
    EXPECT_FALSE(t->hasRow());
    EXPECT_EQ(t->recNo(), t->recCount() + 1);
    EXPECT_EQ(t->seek(""), kOk);
    EXPECT_EQ(t->recNo(), 3u);

    // Walking back from the end and past the start.
    EXPECT_EQ(t->bottom(), kOk);
    EXPECT_EQ(t->recNo(), 1u);
    EXPECT_EQ(t->skip(-1), kOk);
    EXPECT_EQ(t->recNo(), 4u);  // Zed Smith
    EXPECT_EQ(t->skip(-3), kBof);
    EXPECT_EQ(t->skip(10), kEof);
}

TEST_F(TableTest, EqualKeysKeepRecordNumberOrderAndBothAreVisited) {
    Table* t = makeBook({{"Ann", "Smith"}, {"Bob", "Jones"}, {"Ann", "Smith"}});
    std::vector<uint32_t> recs;
    for (int rc = t->top(); rc == kOk; rc = t->skip(1)) recs.push_back(t->recNo());
    EXPECT_EQ(recs, (std::vector<uint32_t>{2, 1, 3}));
    // A third equal key appended later goes after the others.
    t->appendBlank();
    t->field("first")->assign("Ann");
    t->field("LAST")->assign("Smith");
    t->flush();
    recs.clear();
    for (int rc = t->top(); rc == kOk; rc = t->skip(1)) recs.push_back(t->recNo());
    EXPECT_EQ(recs, (std::vector<uint32_t>{2, 1, 3, 4}));
}

TEST_F(TableTest, ChangingAKeyColumnMovesTheRowInTheIndex) {
    Table* t = makeBook({{"Ann", "Baker"}, {"Bob", "Carter"}, {"Cy", "Dunn"}});
    ASSERT_EQ(t->go(1), kOk);
    t->field("Last")->assign("Zane");
    ASSERT_EQ(t->flush(), kOk);
    EXPECT_EQ(lastNamesInOrder(t), (std::vector<std::string>{"Carter", "Dunn", "Zane"}));
    // Changing a column that is not part of the key leaves the index alone.
    ASSERT_EQ(t->seek("DUNN"), kOk);
    t->field("Zip")->assign("12345");
    ASSERT_EQ(t->skip(1), kOk);  // the move writes the row
    EXPECT_EQ(t->field("Last")->str().substr(0, 4), "Zane");
    std::vector<CheckVerdict> v;
    t->close();
    EXPECT_TRUE(checkTable(FileSystem::real(), dir, "AddrBook", true, &v)) << v.back().detail;
}

TEST_F(TableTest, SkipContinuesFromTheRowReachedByGo) {
    Table* t = makeBook({{"A", "Delta"}, {"B", "Alpha"}, {"C", "Charlie"}, {"D", "Bravo"}});
    ASSERT_EQ(t->go(3), kOk);  // Charlie
    ASSERT_EQ(t->skip(1), kOk);
    EXPECT_EQ(t->recNo(), 1u);  // Delta
    ASSERT_EQ(t->go(3), kOk);
    ASSERT_EQ(t->skip(-1), kOk);
    EXPECT_EQ(t->recNo(), 4u);  // Bravo
}

TEST_F(TableTest, DeletedRowsAreVisitedUntilPackRemovesThem) {
    Table* t = makeBook({{"A", "One"}, {"B", "Two"}, {"C", "Three"}, {"D", "Four"}});
    ASSERT_EQ(t->seek("THREE"), kOk);
    ASSERT_EQ(t->markDeleted(), kOk);
    ASSERT_EQ(t->flush(), kOk);
    int visited = 0, deleted = 0;
    for (int rc = t->top(); rc == kOk; rc = t->skip(1)) {
        ++visited;
        deleted += t->deleted();
    }
    EXPECT_EQ(visited, 4);
    EXPECT_EQ(deleted, 1);

    ASSERT_EQ(t->pack(), kOk) << lib.lastError().toString();
    EXPECT_EQ(t->recCount(), 3u);
    EXPECT_EQ(lastNamesInOrder(t), (std::vector<std::string>{"Four", "One", "Two"}));
    ASSERT_EQ(t->seek("FOUR"), kOk);
    EXPECT_EQ(t->recNo(), 3u);  // renumbered after the removed row
    t->close();
    std::vector<CheckVerdict> v;
    EXPECT_TRUE(checkTable(FileSystem::real(), dir, "AddrBook", true, &v));
}

TEST_F(TableTest, ReopenedTableFindsItsIndexThroughTheGroupFileWhateverTheCase) {
    Table* t = makeBook({{"Eve", "Young"}, {"Al", "Xu"}});
    t->close();
    fs::rename(dir + "/AddrBook.dbf", dir + "/ADDRBOOK.DBF");
    fs::rename(dir + "/Address.ntx", dir + "/ADDRESS.NTX");
    Table* r = lib.open("AddrBook");
    ASSERT_NE(r, nullptr) << lib.lastError().toString();
    ASSERT_NE(r->tag("ADDRESS"), nullptr);
    r->selectTag(r->tag("address"));
    EXPECT_EQ(lastNamesInOrder(r), (std::vector<std::string>{"Xu", "Young"}));
}

TEST_F(TableTest, MissingGroupOrIndexIsAnOpenErrorUnlessOpenedAlone) {
    makeBook({{"A", "B"}})->close();
    fs::remove(dir + "/Address.ntx");
    EXPECT_EQ(lib.open("AddrBook"), nullptr);
    EXPECT_EQ(lib.errorCode(), kErrOpen);
    EXPECT_EQ(lib.errorCode(), 0) << "the error code clears once read";
    fs::remove(dir + "/AddrBook.cgp");
    EXPECT_EQ(lib.open("AddrBook"), nullptr);
    EXPECT_LT(lib.errorCode(), 0);
    lib.setAutoOpen(false);
    Table* t = lib.open("AddrBook");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->tagCount(), 0u);
    EXPECT_EQ(lib.open("NoSuchTable"), nullptr);
    EXPECT_EQ(lib.errorCode(), kErrOpen);
}

TEST_F(TableTest, SafetyKeepsExistingIndexFilesUnlessSwitchedOff) {
    Table* t = makeBook({{"A", "B"}});
    lib.setSafety(true);
    EXPECT_EQ(t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}), kErrExists);
    lib.setSafety(false);
    EXPECT_EQ(t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}), kOk);
}

// A rebuild hands the replaced file to a closing thread: at most the last one may still be
// open, never one per rebuild, and the new index reads as before.
TEST_F(TableTest, RebuildsLeaveNoHandlesOfReplacedIndexesBehind) {
    Table* t = makeBook({{"Brown", "B"}, {"Adams", "A"}});
    lib.setSafety(false);
    auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
    };
    const auto before = openFiles();
    for (int i = 0; i < 4; ++i) ASSERT_EQ(t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}), kOk);
    EXPECT_LE(openFiles(), before + 1);
    t->selectTag(t->tag("Address"));
    ASSERT_EQ(t->top(), kOk);
    EXPECT_EQ(t->field("First")->str().substr(0, 5), "Adams");
}

TEST_F(TableTest, FieldsConvertTextNumbersDatesAndFlags) {
    Table* t = makeBook({});
    ASSERT_EQ(t->appendBlank(), kOk);
    t->field("Last")->assign("Müller-Lüdenscheidt-Überlang-Name");  // longer than 20
    t->field("First")->assign("Zoë ☃");                                // snowman: not in 1252
    t->field("Count")->assignInt(-42);
    t->field("Birthdate")->assign("19610314");
    t->field("Christmas")->assignLogical(true);
    ASSERT_EQ(t->flush(), kOk);
    ASSERT_EQ(t->go(1), kOk);
    EXPECT_EQ(t->field("Last")->str(), "Müller-Lüdenscheidt-");  // cut to 20 characters
    EXPECT_EQ(t->field("First")->str(), std::string("Zoë ?") + std::string(15, ' '));
    EXPECT_EQ(t->field("Count")->asInt(), -42);
    EXPECT_EQ(t->field("Count")->str(), "  -42");
    EXPECT_EQ(t->field("Birthdate")->str(), "19610314");
    EXPECT_TRUE(t->field("Christmas")->isTrue());
    // The key upper-cases accented letters the Windows-1252 way.
    EXPECT_EQ(t->seek("MÜLLER"), kOk);
    EXPECT_EQ(t->seek("MüLLER"), kEof) << "seek values are taken as given, not upper-cased";
    ASSERT_EQ(t->go(1), kOk);
    t->field("Birthdate")->assign("");
    t->field("Christmas")->assignLogical(false);
    t->flush();
    EXPECT_EQ(t->field("Birthdate")->str(), "        ");
    EXPECT_FALSE(t->field("Christmas")->isTrue());
    EXPECT_EQ(t->field("Nope"), nullptr);
}

TEST_F(TableTest, ADateColumnNarrowerThanADateTakesOnlyWhatFits) {
    // Another program's table with a six-wide date column: a date is written into its six bytes
    // and the column after it keeps its text.
    ASSERT_NE(lib.create("Odd", {{"Sent", 'C', 6, 0}, {"Note", 'C', 4, 0}}), nullptr);
    lib.closeAll();
    {
        std::fstream f(dir + "/Odd.dbf", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(32 + 11);  // the first descriptor's type byte
        f.put('D');
    }
    lib.setAutoOpen(false);  // no indexes
    Table* t = lib.open("Odd");
    ASSERT_NE(t, nullptr) << lib.lastError().toString();
    ASSERT_EQ(t->appendBlank(), kOk);
    t->field("Note")->assign("KEEP");
    t->field("Sent")->assign("20241224");
    ASSERT_EQ(t->flush(), kOk);
    ASSERT_EQ(t->go(1), kOk);
    EXPECT_EQ(t->field("Note")->str(), "KEEP");
    EXPECT_EQ(t->field("Sent")->str(), "202412");
}

TEST_F(TableTest, AssigningWithoutACurrentRowIsAnErrorNotACrash) {
    Table* t = makeBook({});
    EXPECT_EQ(t->top(), kEof);
    t->field("Last")->assign("X");
    EXPECT_EQ(lib.errorCode(), kErrArgument);
    EXPECT_LT(t->markDeleted(), 0);
}

TEST_F(TableTest, ManyRandomEditsKeepIndexAndTableInStep) {
    Table* t = makeBook({});
    std::mt19937 rng(7);
    std::multimap<std::pair<std::string, uint32_t>, int> model;  // (key, recno)
    std::map<uint32_t, std::string> lastOf;
    auto name = [&] {
        std::string s;
        for (int i = 0, n = 1 + int(rng() % 4); i < n; ++i) s += char('A' + rng() % 5);
        return s;
    };
    for (int step = 0; step < 3000; ++step) {
        if (lastOf.empty() || rng() % 3 == 0) {
            ASSERT_EQ(t->appendBlank(), kOk);
            std::string n = name();
            t->field("Last")->assign(n);
            lastOf[t->recNo()] = n;
        } else {
            uint32_t r = 1 + rng() % t->recCount();
            ASSERT_EQ(t->go(r), kOk);
            std::string n = name();
            t->field("Last")->assign(n);
            lastOf[r] = n;
        }
        if (step % 500 == 0) {
            ASSERT_EQ(t->flush(), kOk);
        }
    }
    ASSERT_EQ(t->flush(), kOk);
    std::vector<std::pair<std::string, uint32_t>> expect;
    for (auto& [r, n] : lastOf) expect.push_back({n, r});
    std::sort(expect.begin(), expect.end());
    std::vector<std::pair<std::string, uint32_t>> got;
    for (int rc = t->top(); rc == kOk; rc = t->skip(1)) {
        std::string s = t->field("Last")->str();
        s.erase(s.find_last_not_of(' ') + 1);
        got.push_back({s, t->recNo()});
    }
    EXPECT_EQ(got, expect);
    t->close();
    std::vector<CheckVerdict> v;
    EXPECT_TRUE(checkTable(FileSystem::real(), dir, "AddrBook", true, &v));
}

// Long scans in index order read rows ahead in file order and keep only the fields the scan
// reads. Whatever a scan reads, when it starts reading other fields, changes rows or steps
// back, every value must be the row's as stored and every row must come once, in key order.
TEST_F(TableTest, LongIndexOrderScansSeeEveryRowAsStoredWhateverTheyRead) {
    struct Row {
        std::string first, last, zip;
        bool christmas = false, deleted = false;
        long long count = 0;
    };
    std::mt19937 rng(21);
    const int n = 6000;
    std::vector<Row> model(n + 1);
    std::vector<std::pair<std::string, std::string>> names;
    for (int r = 1; r <= n; ++r) {
        Row& m = model[size_t(r)];
        m.first = "f" + std::to_string(rng() % 500);
        m.last = std::string(1, char('A' + rng() % 26)) + std::to_string(rng() % 40);
        names.push_back({m.first, m.last});
    }
    Table* t = makeBook(names);
    for (int r = 1; r <= n; ++r) {
        Row& m = model[size_t(r)];
        ASSERT_EQ(t->go(uint32_t(r)), kOk);
        m.zip = std::to_string(rng() % 100000);
        m.christmas = rng() % 2;
        m.count = r;
        t->field("Zip")->assign(m.zip);
        t->field("Christmas")->assignLogical(m.christmas);
        t->field("Count")->assignInt(m.count);
    }
    ASSERT_EQ(t->flush(), kOk);
    t->selectTag(t->tag("Address"));
    std::vector<uint32_t> order;
    for (int r = 1; r <= n; ++r) order.push_back(uint32_t(r));
    auto key = [&](uint32_t r) {
        std::string k = model[r].last;
        k.resize(20, ' ');
        k += model[r].first;
        k.resize(40, ' ');
        std::transform(k.begin(), k.end(), k.begin(), [](unsigned char c) { return char(std::toupper(c)); });
        return std::make_pair(k, r);
    };
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
    auto trim = [](std::string v) {
        v.erase(v.find_last_not_of(' ') + 1);
        return v;
    };

    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<uint32_t> seen;
        int rc = t->top();
        for (size_t i = 0; rc == kOk; ++i) {
            const uint32_t r = t->recNo();
            seen.push_back(r);
            const Row& m = model[r];
            ASSERT_EQ(t->field("Christmas")->isTrue(), m.christmas) << "row " << r;
            ASSERT_EQ(t->deleted(), m.deleted) << "row " << r;
            // Rounds differ in what else they read: now and then, always from some point on,
            // or every field.
            const bool more = round == 0 ? false : round == 1 ? rng() % 10 == 0 : round == 2 ? i > 3000 : true;
            if (more) {
                ASSERT_EQ(trim(t->field("Zip")->str()), m.zip) << "row " << r;
                ASSERT_EQ(t->field("Count")->asInt(), m.count) << "row " << r;
                if (round >= 3) { ASSERT_EQ(trim(t->field("First")->str()), m.first) << "row " << r; }
            }
            if (round >= 4 && rng() % 400 == 0) {  // change the row under the scan
                Row& w = model[r];
                w.zip = std::to_string(rng() % 100000);
                w.christmas = !w.christmas;
                t->field("Zip")->assign(w.zip);
                t->field("Christmas")->assignLogical(w.christmas);
                if (rng() % 2) {
                    w.deleted = !w.deleted;
                    if (w.deleted) t->markDeleted();
                    else t->recall();
                }
            }
            if (round == 5 && rng() % 700 == 0 && i > 0) {  // a step back and on again
                ASSERT_EQ(t->skip(-1), kOk);
                ASSERT_EQ(t->recNo(), seen[i - 1]);
                ASSERT_EQ(t->field("Christmas")->isTrue(), model[seen[i - 1]].christmas);
                ASSERT_EQ(t->skip(1), kOk);
                ASSERT_EQ(t->recNo(), r);
            }
            rc = t->skip(1);
        }
        ASSERT_EQ(rc, kEof) << lib.lastError().toString();
        ASSERT_EQ(seen, order);
    }
    t->close();
    std::vector<CheckVerdict> v;
    EXPECT_TRUE(checkTable(FileSystem::real(), dir, "AddrBook", true, &v));
}

TEST_F(TableTest, CheckFindsAnIndexThatNoLongerMatchesItsTable) {
    Table* t = makeBook({{"A", "Zulu"}, {"B", "Beta"}});
    t->close();
    // Another program changes a key column of both rows without touching the index: the one
    // first in key order is named, whatever order the rows are read in.
    lib.setAutoOpen(false);
    Table* raw = lib.open("AddrBook");
    for (uint32_t r : {1u, 2u}) {
        raw->go(r);
        raw->field("Last")->assign("Omega");
    }
    raw->close();
    std::vector<CheckVerdict> v;
    EXPECT_FALSE(checkTable(FileSystem::real(), dir, "AddrBook", true, &v));
    bool named = false;
    for (auto& x : v)
        named |= !x.ok && x.file.find("Address.ntx") != std::string::npos &&
                 x.detail == "key of record 2 does not match its row";
    EXPECT_TRUE(named);
}

// A table too large to map was checked with one read per index entry, its rows visited in key
// order all over the file: a large book took thirty times as long as one a tenth its size.
TEST_F(TableTest, CheckReadsATableItCannotMapInFileOrderNotOnceAnEntry) {
    const int n = 3000;
    std::vector<std::pair<std::string, std::string>> names;
    for (int i = 0; i < n; ++i) names.push_back({"F", "N" + std::to_string((i * 7919) % n)});
    makeBook(names)->close();
    ReadWatchingFileSystem watched;
    int reads = 0;
    watched.onRead = [&](const std::string& path) { reads += baseName(path) == "AddrBook.dbf"; };
    std::vector<CheckVerdict> v;
    EXPECT_TRUE(checkTable(watched, dir, "AddrBook", true, &v)) << v.back().detail;
    EXPECT_LT(reads, n / 100) << "reads of a " << n << "-row table";
}

TEST_F(TableTest, ExclusiveAccessKeepsOutASecondOpener) {
    makeBook({{"A", "B"}})->close();
    lib.setAccessMode(AccessMode::Exclusive);
    ASSERT_NE(lib.open("AddrBook"), nullptr);
    // flock locks belong to the open file description, so a second open in this process is
    // refused just as another process would be.
    Library other;
    other.setDirectory(dir);
    EXPECT_EQ(other.open("AddrBook"), nullptr);
    EXPECT_EQ(other.errorCode(), kErrLocked);
}

TEST_F(TableTest, RandomReadsSeeEditsAppendsAndPacksOfAMappedTable) {
    // Reading in name order jumps about the file, which goes through a mapping of the table;
    // what is written, appended or packed afterwards must show through it.
    std::vector<std::pair<std::string, std::string>> names;
    for (int i = 0; i < 3000; ++i) names.push_back({"F" + std::to_string(i), "N" + std::to_string((i * 7919) % 3000)});
    Table* t = makeBook(names);
    ASSERT_EQ(t->flush(), kOk);
    auto walk = [&] {
        std::vector<std::string> out;
        for (int rc = t->top(); rc == kOk; rc = t->skip(1)) out.push_back(t->field("First")->str());
        return out;
    };
    const size_t before = walk().size();
    EXPECT_EQ(before, 3000u);
    ASSERT_EQ(t->go(1500), kOk);
    t->field("First")->assign("Edited");
    ASSERT_EQ(t->flush(), kOk);
    ASSERT_EQ(t->appendBlank(), kOk);
    t->field("Last")->assign("N0");
    t->field("First")->assign("Appended");
    ASSERT_EQ(t->flush(), kOk);
    auto after = walk();
    EXPECT_EQ(after.size(), 3001u);
    EXPECT_NE(std::find(after.begin(), after.end(), std::string("Edited") + std::string(14, ' ')), after.end());
    EXPECT_NE(std::find(after.begin(), after.end(), std::string("Appended") + std::string(12, ' ')), after.end());
    for (uint32_t r = 2; r <= t->recCount(); r += 2) {
        ASSERT_EQ(t->go(r), kOk);
        t->markDeleted();
    }
    ASSERT_EQ(t->pack(), kOk);
    auto packed = walk();
    EXPECT_EQ(packed.size(), 1501u);
}

}  // namespace

namespace {

TEST_F(TableTest, AnIndexLeftBehindByAStoppedProgramIsRebuiltWhenTheTableOpens) {
    Table* t = makeBook({{"A", "Alpha"}, {"B", "Beta"}});
    ASSERT_EQ(t->flush(), kOk);
    EXPECT_FALSE(fs::exists(dir + "/Address.ntx.pending")) << "a completed flush leaves no marker";
    // A change reaches the table file but the program stops before the index is written back:
    // simulated by copying the files as they stand mid-change.
    ASSERT_EQ(t->go(1), kOk);
    t->field("Last")->assign("Zulu");
    ASSERT_EQ(t->go(2), kOk);  // the row is written, the index only in memory
    EXPECT_TRUE(fs::exists(dir + "/Address.ntx.pending"));
    const std::string crashed = dir + "/crashed";
    fs::create_directories(crashed);
    for (const char* f : {"AddrBook.dbf", "AddrBook.cgp", "Address.ntx", "Address.ntx.pending"})
        fs::copy_file(dir + "/" + f, crashed + "/" + f);
    t->close();
    EXPECT_FALSE(fs::exists(dir + "/Address.ntx.pending"));

    std::vector<CheckVerdict> v;
    EXPECT_FALSE(checkTable(FileSystem::real(), crashed, "AddrBook", true, &v)) << "check reports the marker";
    Library other;
    other.setDirectory(crashed);
    Table* r = other.open("AddrBook");
    ASSERT_NE(r, nullptr) << other.lastError().toString();
    EXPECT_FALSE(fs::exists(crashed + "/Address.ntx.pending"));
    r->selectTag(r->tag("Address"));
    EXPECT_EQ(lastNamesInOrder(r), (std::vector<std::string>{"Beta", "Zulu"}));
    r->close();
    v.clear();
    EXPECT_TRUE(checkTable(FileSystem::real(), crashed, "AddrBook", true, &v));
}

}  // namespace

// A private book (every file 0600) stays private through every file the engine replaces: the
// index rebuilt, the group file rewritten, the table packed. A table made anew takes what the
// umask gives, and a library open for reading only makes no table and no index.
TEST_F(TableTest, ReplacedFilesKeepTheirPermissions) {
    Table* t = makeBook({{"A", "One"}, {"B", "Two"}, {"C", "Three"}});
    t->close();
    {
        std::ofstream group(dir + "/AddrBook.cgp");  // another spelling: the rebuild rewrites it
        group << "# an older group file\nAddress.ntx\n";
    }
    const auto mode = [&](const char* name) {
        struct stat st {};
        EXPECT_EQ(::stat((dir + "/" + name).c_str(), &st), 0) << name;
        return st.st_mode & 0777;
    };
    for (const char* f : {"AddrBook.dbf", "Address.ntx", "AddrBook.cgp"}) ASSERT_EQ(::chmod((dir + "/" + f).c_str(), 0600), 0);
    lib.setSafety(false);
    t = lib.open("AddrBook");
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}), kOk);
    t->selectTag(t->tag("Address"));
    ASSERT_EQ(t->seek("TWO"), kOk);
    ASSERT_EQ(t->markDeleted(), kOk);
    ASSERT_EQ(t->pack(), kOk) << lib.lastError().toString();
    t->close();
    for (const char* f : {"AddrBook.dbf", "Address.ntx", "AddrBook.cgp"}) EXPECT_EQ(mode(f), 0600u) << f;

    const mode_t was = ::umask(027);
    Table* fresh = lib.create("Fresh", {{"Name", 'C', 10, 0}});
    ::umask(was);
    ASSERT_NE(fresh, nullptr);
    fresh->close();
    EXPECT_EQ(mode("Fresh.dbf"), 0640u);

    lib.setReadOnly(true);
    EXPECT_EQ(lib.create("Other", {{"Name", 'C', 10, 0}}), nullptr);
    EXPECT_FALSE(fs::exists(dir + "/Other.dbf"));
    lib.setAutoOpen(false);
    Table* reading = lib.open("Fresh");
    ASSERT_NE(reading, nullptr);
    EXPECT_NE(reading->createIndex("Fresh", {{"Name", "Name"}}), kOk);
    EXPECT_FALSE(fs::exists(dir + "/Name.ntx") || fs::exists(dir + "/Fresh.cgp"));
}
