// Failing disks: every write, sync or rename of an operation is failed in turn (N = 1, 2, ...
// until the operation goes through), and each time the table and its index must be whole, in the
// old state or the new, and the failure must have been reported. A disk that fills up during
// appends must keep every row whose flush had returned.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "xbase/Check.h"
#include "xbase/Library.h"

namespace fs = std::filesystem;
using namespace xbase;

namespace {

using Rows = std::vector<std::string>;  // "First|Last|*" per row in record order ('*' deleted)

std::string trim(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

class FaultLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = (fs::temp_directory_path() /
               ("xbh-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                  .string();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A book of `n` rows (every fifth marked deleted) with its index and group file.
    void makeBook(int n) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        Library lib;
        lib.setDirectory(dir);
        lib.setSyncOnFlush(false);
        Table* t = lib.create("AddrBook", {{"First", 'C', 12, 0}, {"Last", 'C', 14, 0}, {"Zip", 'C', 6, 0}});
        ASSERT_NE(t, nullptr) << lib.lastError().toString();
        for (int i = 1; i <= n; ++i) {
            ASSERT_EQ(t->appendBlank(), kOk);
            t->field("First")->assign("F" + std::to_string(i));
            t->field("Last")->assign("L" + std::to_string((i * 7919) % 1000));
            if (i % 5 == 0) { ASSERT_EQ(t->markDeleted(), kOk); }
        }
        ASSERT_EQ(t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}), kOk)
            << lib.lastError().toString();
        ASSERT_EQ(t->close(), 0);
    }

    // The rows as stored, read back through a fresh handle on the real file system.
    Rows rows() {
        Rows out;
        Library lib;
        lib.setDirectory(dir);
        lib.setReadOnly(true);
        Table* t = lib.open("AddrBook");
        if (!t) {
            ADD_FAILURE() << "table does not open: " << lib.lastError().toString();
            return out;
        }
        for (int rc = t->top(); rc == kOk; rc = t->skip(1))
            out.push_back(trim(t->field("First")->str()) + "|" + trim(t->field("Last")->str()) +
                          (t->deleted() ? "|*" : "|"));
        t->close();
        return out;
    }

    std::string checkReport() {
        std::vector<CheckVerdict> v;
        std::string r;
        if (checkTable(FileSystem::real(), dir, "AddrBook", true, &v)) return "";
        for (const auto& c : v) r += c.file + ": " + c.detail + "\n";
        return r.empty() ? "check failed" : r;
    }

    // Runs `op` on a freshly made book with the Nth write, sync, then rename failing, for N = 1,
    // 2, ... until op succeeds. After each try the handle is closed (with the disk mended, or,
    // with `stayBroken`, still failing everything from N on); then the files must check clean and
    // hold either `before` or `after`, and a failed op must have recorded an error.
    // With `indexMayGo`, a failed op may leave the index file removed (never stale).
    void faultLoop(const std::function<int(Table*)>& op, const Rows& before, const Rows& after,
                   bool stayBroken, bool indexMayGo = false) {
        for (int kind = 0; kind < 3; ++kind) {
            for (int n = 1;; ++n) {
                ASSERT_LT(n, 200) << "operation never succeeded";
                SCOPED_TRACE(std::string(stayBroken ? "disk stays broken, " : "one failure, ") + "kind " +
                             std::to_string(kind) + " n " + std::to_string(n));
                makeBook(20);
                if (HasFatalFailure()) return;
                FaultyFileSystem faulty(FileSystem::real());
                int rc;
                int failures;
                {
                    Library lib(faulty);
                    lib.setDirectory(dir);
                    lib.setSafety(false);
                    Table* t = lib.open("AddrBook");
                    ASSERT_NE(t, nullptr) << lib.lastError().toString();
                    FaultyFileSystem::Plan p;
                    (kind == 0 ? p.failWriteAt : kind == 1 ? p.failSyncAt : p.failRenameAt) = n;
                    p.sticky = stayBroken;
                    faulty.setPlan(p);
                    rc = op(t);
                    failures = faulty.failures();
                    if (rc < 0) {
                        EXPECT_NE(lib.errorCode(false), 0) << "failure not recorded";
                        EXPECT_FALSE(lib.lastError().file.empty()) << "error names no file";
                    }
                    if (!stayBroken) faulty.setPlan({});
                    lib.closeAll();
                }
                std::string report = checkReport();
                const bool indexGone = rc < 0 && !fs::exists(fs::path(dir) / "Address.ntx");
                if (indexGone) {
                    EXPECT_TRUE(indexMayGo) << "index file removed";
                    ++removedIndexes;
                    reindex();
                    report = checkReport();
                }
                if (stayBroken && !report.empty()) {
                    // The table and its index are separate files: a disk that fails between the
                    // two writes and never comes back leaves the index behind the table. The
                    // table must still be whole, and a reindex must mend the index.
                    EXPECT_EQ(report.find(".dbf:"), report.find(".dbf: ok")) << report;
                    ++staleIndexes;
                    reindex();
                    report = checkReport();
                }
                EXPECT_EQ(report, "");
                const Rows now = rows();
                if (rc >= 0 && !stayBroken) {
                    EXPECT_EQ(now, after);
                } else {
                    EXPECT_TRUE(now == before || now == after)
                        << "neither old nor new state: " << now.size() << " rows";
                }
                if (failures == 0) {
                    EXPECT_GE(rc, 0) << "failed with no injected fault";
                    break;
                }
                if (HasFailure()) return;  // one broken step is enough to see
            }
        }
    }

    void reindex() {
        Library lib;
        lib.setDirectory(dir);
        lib.setAutoOpen(false);
        lib.setSafety(false);
        Table* t = lib.open("AddrBook");
        ASSERT_NE(t, nullptr) << lib.lastError().toString();
        ASSERT_EQ(t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}), kOk);
        lib.closeAll();
    }

    std::string dir;
    int staleIndexes = 0;    // tries whose index needed a reindex (disk broken for good)
    int removedIndexes = 0;  // tries that removed an index they could not rebuild
};

TEST_F(FaultLoopTest, AppendAndFlushKeepTableAndIndexWhole) {
    makeBook(20);
    const Rows before = rows();
    Rows after = before;
    after.push_back("Newcomer|Aardvark|");
    auto op = [](Table* t) {
        int rc = t->appendBlank();
        if (rc < 0) return rc;
        t->field("First")->assign("Newcomer");
        t->field("Last")->assign("Aardvark");
        return t->flush();
    };
    faultLoop(op, before, after, false);
    faultLoop(op, before, after, true);
}

TEST_F(FaultLoopTest, EditAndFlushKeepTableAndIndexWhole) {
    makeBook(20);
    const Rows before = rows();
    Rows after = before;
    after[6] = "F7|Zebedee|";
    auto op = [](Table* t) {
        int rc = t->go(7);
        if (rc != kOk) return rc < 0 ? rc : -1;
        t->field("Last")->assign("Zebedee");
        return t->flush();
    };
    faultLoop(op, before, after, false);
    faultLoop(op, before, after, true);
}

TEST_F(FaultLoopTest, PackKeepsTableAndIndexWhole) {
    makeBook(20);
    const Rows before = rows();
    Rows after;
    for (const auto& r : before)
        if (r.back() != '*') after.push_back(r);
    ASSERT_LT(after.size(), before.size());
    auto op = [](Table* t) { return t->pack(); };
    faultLoop(op, before, after, false, true);
    faultLoop(op, before, after, true, true);
    std::printf("pack: %d tries left the index removed, %d left it behind the table\n", removedIndexes,
                staleIndexes);
}

// Pack and index builds sync the files they write before renaming them into place, unless
// syncs are switched off for the library; either way the result is the same rows and index.
TEST_F(FaultLoopTest, PackAndBuildsSyncTheirFilesUnlessSyncsAreOff) {
    makeBook(20);
    const Rows before = rows();
    for (const bool sync : {true, false})
    for (const bool newGroup : {true, false}) {
        SCOPED_TRACE(std::string(sync ? "syncing" : "not syncing") + (newGroup ? ", group file changes" : ""));
        if (newGroup) {
            std::FILE* g = std::fopen((fs::path(dir) / "AddrBook.cgp").c_str(), "wb");
            ASSERT_NE(g, nullptr);
            ASSERT_GT(std::fputs("# an older spelling\nAddress.ntx\n", g), 0);
            ASSERT_EQ(std::fclose(g), 0);
        }
        FaultyFileSystem faulty(FileSystem::real());
        {
            Library lib(faulty);
            lib.setDirectory(dir);
            lib.setSyncOnFlush(sync);
            lib.setSafety(false);
            Table* t = lib.open("AddrBook");
            ASSERT_NE(t, nullptr);
            faulty.setPlan({});
            ASSERT_EQ(t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}), kOk);
            const int afterBuild = faulty.syncs();
            // A group file that changes is always synced (the file and its directory); one that
            // already names the same files is left alone.
            const int groupSyncs = newGroup ? 2 : 0;
            if (sync) EXPECT_GE(afterBuild, 2 + groupSyncs);
            else EXPECT_EQ(afterBuild, groupSyncs);
            t->selectTag(t->tag("Address"));
            ASSERT_EQ(t->pack(), kOk);
            if (sync) EXPECT_GE(faulty.syncs() - afterBuild, 2);  // the table and its index
            else EXPECT_EQ(faulty.syncs(), afterBuild);
            ASSERT_EQ(t->close(), kOk);
        }
        EXPECT_EQ(checkReport(), "");
    }
    Rows kept;
    for (const auto& r : before)
        if (r.back() != '*') kept.push_back(r);
    EXPECT_EQ(rows(), kept);
}

// A pack whose index rebuild failed used to leave the old index on disk, pointing at rows by
// their numbers before the pack, and its tag with no index behind it (the next move through it
// crashed). Now the stale file is removed, the tag dropped, and the table still reads.
TEST_F(FaultLoopTest, PackWithAFailedIndexRebuildLeavesNoStaleIndexNorDanglingTag) {
    makeBook(20);
    FaultyFileSystem faulty(FileSystem::real());
    Library lib(faulty);
    lib.setDirectory(dir);
    Table* t = lib.open("AddrBook");
    ASSERT_NE(t, nullptr);
    t->selectTag(t->tag("Address"));
    FaultyFileSystem::Plan p;
    p.failRenameAt = 2;  // the table's rename goes through, the index's does not
    faulty.setPlan(p);
    EXPECT_LT(t->pack(), 0);
    EXPECT_FALSE(lib.lastError().file.empty());
    faulty.setPlan({});
    EXPECT_EQ(t->tag("Address"), nullptr);
    EXPECT_EQ(t->selectedTag(), nullptr);
    int n = 0;
    for (int rc = t->top(); rc == kOk; rc = t->skip(1)) ++n;
    EXPECT_EQ(n, 16);
    EXPECT_EQ(t->close(), kOk);
    EXPECT_FALSE(fs::exists(fs::path(dir) / "Address.ntx"));
    reindex();
    EXPECT_EQ(checkReport(), "");
}

TEST_F(FaultLoopTest, CreateIndexKeepsTableAndIndexWhole) {
    makeBook(20);
    const Rows before = rows();
    auto op = [](Table* t) { return t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}); };
    faultLoop(op, before, before, false);
    faultLoop(op, before, before, true);
}

// Appends, each flushed, until the disk fails: from write n on (every write fails, even in
// place), or when it fills part-way (a space budget of n * 53 bytes). Every row whose flush
// returned is kept and the row whose flush failed is not; on a disk that filled the table is
// cut back and its index is whole at once, the disk still full.
TEST_F(FaultLoopTest, FullDiskDuringAppendsKeepsEveryFlushedRowAndNoOther) {
    for (const bool budget : {false, true}) {
        for (int n = 1; n < 60; n += 3) {
            SCOPED_TRACE(std::string(budget ? "space for " : "disk full from write ") + std::to_string(n));
            makeBook(10);
            const Rows start = rows();
            Rows flushed = start;
            FaultyFileSystem faulty(FileSystem::real());
            int firstError = 0;
            ErrorKind kind = ErrorKind::None;
            {
                Library lib(faulty);
                lib.setDirectory(dir);
                lib.setSyncOnFlush(false);  // syncs are not what fails here
                Table* t = lib.open("AddrBook");
                ASSERT_NE(t, nullptr);
                FaultyFileSystem::Plan p;
                if (budget) p.spaceBytes = n * 53;
                else p.failWriteAt = n;
                p.sticky = true;
                faulty.setPlan(p);
                for (int i = 0; i < 60; ++i) {
                    const std::string first = "Row" + std::to_string(i);
                    int rc = t->appendBlank();
                    if (rc == kOk) {
                        t->field("First")->assign(first);
                        t->field("Last")->assign("Full");
                        rc = t->flush();
                    }
                    if (rc < 0) {
                        firstError = rc;
                        kind = lib.lastError().kind;
                        break;
                    }
                    flushed.push_back(first + "|Full|");
                }
                lib.closeAll();  // the disk is still full
            }
            ASSERT_NE(firstError, 0) << "no append reported the full disk";
            EXPECT_EQ(kind, ErrorKind::NoSpace);
            EXPECT_EQ(firstError, kErrWrite);
            std::string report = checkReport();
            if (budget) {
                EXPECT_EQ(report, "");
                EXPECT_EQ(rows(), flushed) << "the failed append left a row, or a flushed one went";
            } else {
                // A disk that fails even writes in place may keep the header that counted the
                // row whose index could not be written; the index is rebuilt then.
                if (!report.empty()) {
                    EXPECT_EQ(report.find(".dbf:"), report.find(".dbf: ok")) << report;
                    reindex();
                    report = checkReport();
                }
                EXPECT_EQ(report, "");
                const Rows now = rows();
                ASSERT_GE(now.size(), flushed.size()) << "rows flushed before the disk filled were lost";
                EXPECT_TRUE(std::equal(flushed.begin(), flushed.end(), now.begin()));
                EXPECT_LE(now.size(), flushed.size() + 1);
            }
            if (HasFailure()) return;
        }
    }
}

}  // namespace
