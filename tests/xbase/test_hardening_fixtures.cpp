// Broken files kept under tests/fixtures/broken (made by make_fixtures.py, plus saved fuzz finds)
// replayed through the engine: each must be refused or reported by name, never crash, hang or
// read out of bounds (the sanitizer build watches the last).

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "xbase/Check.h"
#include "xbase/Library.h"

namespace fs = std::filesystem;
using namespace xbase;

namespace {

const fs::path kFixtures = fs::path(MERROWBY_TEST_DATA);

std::vector<fs::path> brokenFiles(const std::string& ext) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(kFixtures / "broken"))
        if (e.path().extension() == ext) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

class FixtureReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("xbf-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A data directory holding BOOK.dbf, BOOK.ntx and the group file naming the index, taken
    // from the good pair except where `dbf` or `ntx` is given.
    void stage(const fs::path& dbf, const fs::path& ntx) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(dbf.empty() ? kFixtures / "good" / "BOOK.dbf" : dbf, dir / "BOOK.dbf");
        fs::copy_file(ntx.empty() ? kFixtures / "good" / "BOOK.ntx" : ntx, dir / "BOOK.ntx");
        ASSERT_TRUE(writeFileAtomic(FileSystem::real(), (dir / "BOOK.cgp").string(), "BOOK.ntx\r\n").ok());
    }

    // checkTable's verdicts; "" when everything is whole.
    std::string faults() {
        std::vector<CheckVerdict> v;
        if (checkTable(FileSystem::real(), dir.string(), "BOOK", true, &v)) return "";
        std::string r;
        for (const auto& c : v)
            if (!c.ok) r += fs::path(c.file).filename().string() + ": " + c.detail + "; ";
        return r.empty() ? "fault without a verdict" : r;
    }

    // Opens the table through the library and walks it in record and index order and seeks;
    // returns the first error met ("" when none). Nothing here may crash or loop forever.
    std::string openWalkSeek() {
        Library lib;
        lib.setDirectory(dir.string());
        lib.setReadOnly(true);
        Table* t = lib.open("BOOK");
        if (!t) {
            EXPECT_LT(lib.errorCode(false), 0);
            EXPECT_FALSE(lib.lastError().file.empty()) << "open error names no file";
            return lib.lastError().toString();
        }
        std::string err;
        auto walk = [&](Tag* tag) {
            t->selectTag(tag);
            long steps = 0;
            int rc;
            for (rc = t->top(); rc == kOk; rc = t->skip(1)) {
                for (size_t i = 0; i < t->fieldCount(); ++i) (void)t->fieldAt(i)->str();
                if (++steps > 100000) {
                    ADD_FAILURE() << "walk does not end";
                    break;
                }
            }
            if (rc < 0 && err.empty()) err = lib.lastError().toString();
            for (rc = t->bottom(); rc == kOk; rc = t->skip(-1))
                if (++steps > 200000) break;
            if (rc < 0 && err.empty()) err = lib.lastError().toString();
        };
        walk(nullptr);
        if (t->tagCount() > 0) {
            walk(t->tagAt(0));
            for (const char* key : {"", "L0", "L05", "L096F", "ZZZ", "\xff"}) {
                if (t->seek(key) < 0 && err.empty()) err = lib.lastError().toString();
            }
        }
        lib.closeAll();
        return err;
    }

    fs::path dir;
};

TEST_F(FixtureReplayTest, TheGoodPairIsWhole) {
    stage({}, {});
    EXPECT_EQ(faults(), "");
    EXPECT_EQ(openWalkSeek(), "");
    Library lib;
    lib.setDirectory(dir.string());
    Table* t = lib.open("BOOK");
    ASSERT_NE(t, nullptr) << lib.lastError().toString();
    EXPECT_EQ(t->recCount(), 60u);
    t->selectTag(t->tagAt(0));
    int n = 0;
    for (int rc = t->top(); rc == kOk; rc = t->skip(1)) ++n;
    EXPECT_EQ(n, 60);
}

TEST_F(FixtureReplayTest, EveryBrokenTableIsRefusedAndNamed) {
    const auto files = brokenFiles(".dbf");
    ASSERT_GE(files.size(), 10u);
    for (const auto& f : files) {
        SCOPED_TRACE(f.filename().string());
        stage(f, {});
        const std::string report = faults();
        EXPECT_NE(report.find("BOOK.dbf"), std::string::npos) << "check did not name the table: " << report;
        std::string detail;
        EXPECT_FALSE(DbfFile::inspect(FileSystem::real(), (dir / "BOOK.dbf").string(), &detail).ok());
        (void)openWalkSeek();
    }
}

TEST_F(FixtureReplayTest, EveryBrokenIndexIsReportedAndTheTableStillReadsAlone) {
    const auto files = brokenFiles(".ntx");
    ASSERT_GE(files.size(), 10u);
    for (const auto& f : files) {
        SCOPED_TRACE(f.filename().string());
        stage({}, f);
        const std::string report = faults();
        EXPECT_NE(report.find("BOOK.ntx"), std::string::npos) << "check did not name the index: " << report;
        (void)openWalkSeek();
        // The table itself is whole: opened without its index it reads every row.
        Library lib;
        lib.setDirectory(dir.string());
        lib.setAutoOpen(false);
        Table* t = lib.open("BOOK");
        ASSERT_NE(t, nullptr) << lib.lastError().toString();
        int n = 0;
        for (int rc = t->top(); rc == kOk; rc = t->skip(1)) ++n;
        EXPECT_EQ(n, 60);
        // And rebuilding the index mends it.
        lib.setSafety(false);
        ASSERT_EQ(t->createIndex("BOOK", {{"BOOK", "UPPER(LAST+FIRST)"}}), kOk) << lib.lastError().toString();
        lib.closeAll();
        EXPECT_EQ(faults(), "");
    }
}

}  // namespace
