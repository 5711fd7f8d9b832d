// The data-directory lock: a second copy of the program on the same data directory is refused,
// and the lock goes when its holder ends, however it ends.
#include <gtest/gtest.h>

#include "OtherCopy.h"
#include "TestData.h"
#include "core/data/DataLock.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Library.h"

namespace {

class DataLockTest : public ::testing::Test {
protected:
    void SetUp() override { ReleaseDataLock(); }
    void TearDown() override { ReleaseDataLock(); }
};

TEST_F(DataLockTest, SecondProcessIsRefusedUntilTheFirstIsKilled) {
    TestDataDir data;
    OtherCopy other(data.dir());
    ASSERT_TRUE(other.held());
    EXPECT_EQ(AcquireDataLock(data.dir()), DataLockResult::InUse);
    EXPECT_EQ(HeldDataLockDir(), "");
    other.kill();  // SIGKILL: no clean-up runs, the kernel drops the lock
    EXPECT_EQ(AcquireDataLock(data.dir()), DataLockResult::Acquired);
    // Now this process holds it and a new copy is refused.
    OtherCopy late(data.dir());
    EXPECT_FALSE(late.held());
}

TEST_F(DataLockTest, SameProcessTakesItAgainAndMovesBetweenDirectories) {
    TestDataDir a, b;
    ASSERT_EQ(AcquireDataLock(a.dir()), DataLockResult::Acquired);
    {
        ScopedCurrentDir cwd(a.path());
        EXPECT_EQ(AcquireDataLock("."), DataLockResult::Acquired);  // same directory, other spelling
    }
    ASSERT_EQ(AcquireDataLock(b.dir()), DataLockResult::Acquired);
    OtherCopy onA(a.dir());
    EXPECT_TRUE(onA.held()) << "the lock on the first directory was not given up";
    OtherCopy onB(b.dir());
    EXPECT_FALSE(onB.held());
}

TEST_F(DataLockTest, UnwritableDirectoryIsAFailureNotInUse) {
    std::string detail;
    EXPECT_EQ(AcquireDataLock("/proc/no-such-dir-here", &detail), DataLockResult::Failed);
    EXPECT_NE(detail.find(kDataLockFileName), std::string::npos) << detail;
}

}  // namespace
