// The file seam: path helpers, case-insensitive name lookup, safe replacement and the
// failure-injecting file system.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "xbase/FileSystem.h"

using namespace xbase;

namespace {

class FileIoTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/xbase_fileio_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    void put(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(writeFileAtomic(fs_, path(name), bytes).ok());
    }
    std::string get(const std::string& name) {
        std::string s;
        EXPECT_TRUE(readWholeFile(fs_, path(name), &s).ok());
        return s;
    }
    std::vector<std::string> entries() {
        std::vector<std::string> n;
        EXPECT_TRUE(fs_.listDir(dir_, &n).ok());
        std::sort(n.begin(), n.end());
        return n;
    }

    FileSystem& fs_ = FileSystem::real();
    std::string dir_;
};

}  // namespace

TEST(PathHelpers, JoinSplit) {
    EXPECT_EQ(joinPath("", "a.dbf"), "a.dbf");
    EXPECT_EQ(joinPath(".", "a.dbf"), "a.dbf");
    EXPECT_EQ(joinPath("/x/y", "a.dbf"), "/x/y/a.dbf");
    EXPECT_EQ(joinPath("/x/y/", "a.dbf"), "/x/y/a.dbf");
    EXPECT_EQ(dirName("/x/y/a.dbf"), "/x/y");
    EXPECT_EQ(dirName("a.dbf"), ".");
    EXPECT_EQ(dirName("/a.dbf"), "/");
    EXPECT_EQ(baseName("/x/y/a.dbf"), "a.dbf");
    EXPECT_EQ(baseName("a.dbf"), "a.dbf");
}

TEST_F(FileIoTest, OpenReadWriteAndErrorKinds) {
    std::unique_ptr<File> f;
    Status s = fs_.open(path("missing"), OpenMode::Read, &f);
    EXPECT_EQ(s.kind, ErrorKind::NotFound);
    EXPECT_EQ(s.file, path("missing"));

    ASSERT_TRUE(fs_.open(path("a"), OpenMode::CreateNew, &f).ok());
    ASSERT_TRUE(f->write(10, "xyz", 3).ok());
    uint64_t size = 0;
    ASSERT_TRUE(f->size(&size).ok());
    EXPECT_EQ(size, 13u);
    char buf[8];
    size_t got = 0;
    ASSERT_TRUE(f->read(8, buf, 8, &got).ok());
    EXPECT_EQ(got, 5u);  // short only at end of file
    EXPECT_EQ(std::string(buf + 2, 3), "xyz");
    EXPECT_EQ(f->readExact(8, buf, 8).kind, ErrorKind::Corrupt);
    ASSERT_TRUE(f->truncate(4).ok());
    ASSERT_TRUE(f->size(&size).ok());
    EXPECT_EQ(size, 4u);
    f.reset();

    EXPECT_EQ(fs_.open(path("a"), OpenMode::CreateNew, &f).kind, ErrorKind::Exists);
    EXPECT_EQ(fs_.open(dir_, OpenMode::Read, &f).kind, ErrorKind::IoError);  // a directory is no file

    if (geteuid() != 0) {  // root may write anywhere
        ASSERT_EQ(chmod(path("a").c_str(), 0444), 0);
        EXPECT_EQ(fs_.open(path("a"), OpenMode::ReadWrite, &f).kind, ErrorKind::ReadOnly);
    }
    EXPECT_EQ(fs_.remove(path("nothing")).kind, ErrorKind::NotFound);
    std::vector<std::string> names;
    EXPECT_EQ(fs_.listDir(path("nodir"), &names).kind, ErrorKind::NotFound);
}

TEST_F(FileIoTest, LocksConflictBetweenHandles) {
    put("t.dbf", "x");
    std::unique_ptr<File> a, b;
    ASSERT_TRUE(fs_.open(path("t.dbf"), OpenMode::ReadWrite, &a).ok());
    ASSERT_TRUE(fs_.open(path("t.dbf"), OpenMode::ReadWrite, &b).ok());
    ASSERT_TRUE(a->lock(LockKind::Exclusive).ok());
    EXPECT_EQ(b->lock(LockKind::Shared).kind, ErrorKind::Locked);
    ASSERT_TRUE(a->lock(LockKind::Unlock).ok());
    EXPECT_TRUE(b->lock(LockKind::Shared).ok());
    EXPECT_TRUE(a->lock(LockKind::Shared).ok());  // shared locks coexist
    EXPECT_EQ(a->lock(LockKind::Exclusive).kind, ErrorKind::Locked);
}

TEST_F(FileIoTest, ResolveNameIgnoresCaseButPrefersExactMatch) {
    put("ADDRBOOK.DBF", "upper");
    EXPECT_EQ(resolveName(fs_, dir_, "AddrBook.dbf"), path("ADDRBOOK.DBF"));
    EXPECT_EQ(resolveName(fs_, dir_, "addrbook.DBF"), path("ADDRBOOK.DBF"));
    // A name that exists nowhere keeps the spelling asked for.
    EXPECT_EQ(resolveName(fs_, dir_, "Labels.dbf"), path("Labels.dbf"));
    // With two spellings on disk the exact one wins.
    put("AddrBook.dbf", "mixed");
    EXPECT_EQ(resolveName(fs_, dir_, "AddrBook.dbf"), path("AddrBook.dbf"));
    EXPECT_EQ(resolveName(fs_, dir_, "ADDRBOOK.DBF"), path("ADDRBOOK.DBF"));
    // A directory part in the name is kept; only the file name is folded.
    ASSERT_EQ(mkdir(path("sub").c_str(), 0755), 0);
    put("sub/Address.NTX", "i");
    EXPECT_EQ(resolveName(fs_, dir_, "sub/address.ntx"), path("sub/Address.NTX"));
}

TEST_F(FileIoTest, WriteFileAtomicReplacesAndLeavesNoTemporary) {
    put("s.txt", "first");
    put("s.txt", "second, longer");
    EXPECT_EQ(get("s.txt"), "second, longer");
    put("s.txt", "");
    EXPECT_EQ(get("s.txt"), "");
    EXPECT_EQ(entries(), std::vector<std::string>{"s.txt"});
}

// Fail each write, sync and rename of the replacement in turn: the target must hold either the
// old or the new contents, the result must say which, and no temporary may be left.
TEST_F(FileIoTest, WriteFileAtomicKeepsOldFileOnEveryInjectedFailure) {
    FaultyFileSystem faulty(fs_);
    for (int kind = 0; kind < 3; ++kind) {
        for (int n = 1;; ++n) {
            put("s.txt", "old contents");
            FaultyFileSystem::Plan p;
            (kind == 0 ? p.failWriteAt : kind == 1 ? p.failSyncAt : p.failRenameAt) = n;
            faulty.setPlan(p);
            Status s = writeFileAtomic(faulty, path("s.txt"), "new contents");
            const std::string now = get("s.txt");
            EXPECT_EQ(entries(), std::vector<std::string>{"s.txt"}) << kind << "/" << n;
            if (s.ok()) {
                EXPECT_EQ(now, "new contents");
                EXPECT_EQ(faulty.failures(), kind == 1 && n == 2 ? 1 : 0);  // directory sync may fail
                if (faulty.failures() == 0) break;
            } else {
                EXPECT_EQ(now, "old contents") << kind << "/" << n;
                EXPECT_EQ(faulty.failures(), 1);
                if (kind == 0) {
                    EXPECT_EQ(s.kind, ErrorKind::NoSpace);
                }
            }
            ASSERT_LT(n, 10) << "injection never stopped failing";
        }
    }
}

TEST_F(FileIoTest, FaultyFileSystemCountsAndStickyFailures) {
    FaultyFileSystem faulty(fs_);
    FaultyFileSystem::Plan p;
    p.failWriteAt = 3;
    p.sticky = true;
    p.writeError = ErrorKind::IoError;
    faulty.setPlan(p);
    std::unique_ptr<File> f;
    ASSERT_TRUE(faulty.open(path("w"), OpenMode::CreateTruncate, &f).ok());
    EXPECT_TRUE(f->write(0, "a", 1).ok());
    EXPECT_TRUE(f->write(1, "b", 1).ok());
    EXPECT_EQ(f->write(2, "c", 1).kind, ErrorKind::IoError);
    EXPECT_EQ(f->write(3, "d", 1).kind, ErrorKind::IoError);  // the disk stays full
    EXPECT_TRUE(f->sync().ok());
    EXPECT_EQ(faulty.writes(), 4);
    EXPECT_EQ(faulty.syncs(), 1);
    EXPECT_EQ(faulty.failures(), 2);
    f.reset();
    EXPECT_EQ(get("w"), "ab");  // failed writes did not reach the file

    p = {};
    p.failRenameAt = 2;
    faulty.setPlan(p);
    EXPECT_EQ(faulty.writes(), 0);  // a new plan restarts the counts
    EXPECT_TRUE(faulty.rename(path("w"), path("w2")).ok());
    EXPECT_EQ(faulty.rename(path("w2"), path("w3")).kind, ErrorKind::IoError);
    EXPECT_TRUE(faulty.rename(path("w2"), path("w3")).ok());  // not sticky: only the 2nd failed
    EXPECT_EQ(faulty.renames(), 3);
    EXPECT_EQ(entries(), std::vector<std::string>{"w3"});
}

TEST_F(FileIoTest, FaultyFileSystemDiskFillsPartWayAndGetsSpaceBack) {
    FaultyFileSystem faulty(fs_);
    FaultyFileSystem::Plan p;
    p.spaceBytes = 10;
    faulty.setPlan(p);
    std::unique_ptr<File> f;
    ASSERT_TRUE(faulty.open(path("w"), OpenMode::CreateTruncate, &f).ok());
    EXPECT_TRUE(f->write(0, "abcdef", 6).ok());
    EXPECT_EQ(f->write(6, "ghijkl", 6).kind, ErrorKind::NoSpace);  // what fits is written
    EXPECT_TRUE(f->write(0, "ABCDEFGHIJ", 10).ok());                // overwrites need no space
    EXPECT_EQ(f->write(10, "k", 1).kind, ErrorKind::NoSpace);
    EXPECT_EQ(faulty.failures(), 2);
    EXPECT_EQ(get("w"), "ABCDEFGHIJ");
    ASSERT_TRUE(f->truncate(4).ok());
    EXPECT_EQ(faulty.spaceLeft(), 6);
    f.reset();
    ASSERT_TRUE(faulty.open(path("v"), OpenMode::CreateTruncate, &f).ok());
    ASSERT_TRUE(f->write(0, "123456", 6).ok());
    f.reset();
    ASSERT_TRUE(faulty.rename(path("v"), path("w")).ok());  // the replaced file's bytes come back
    EXPECT_EQ(faulty.spaceLeft(), 4);
    ASSERT_TRUE(faulty.remove(path("w")).ok());
    EXPECT_EQ(faulty.spaceLeft(), 10);
}
