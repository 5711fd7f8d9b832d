// The data-directory lock: a second copy of the program on the same data directory is refused
// with a plain message, and the lock goes when its holder ends, however it ends.
#include <QApplication>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestData.h"
#include "gui/common/Forms.h"
#include "gui/shell/Quenlow.h"
#include "core/data/DataLock.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Library.h"

namespace {

// Another process holding the lock on `dir` until killed.
class OtherCopy {
public:
    explicit OtherCopy(const std::string& dir) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            // A fresh descriptor on the lock file, as another copy of the program would open
            // (the parent's lock state is inherited across fork and must not be reused).
            const std::string path = dir + "/" + kDataLockFileName;
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            const char r = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'A' : 'N';
            (void)!::write(fds[1], &r, 1);
            for (;;) ::pause();
        }
        ::close(fds[1]);
        char r = 0;
        if (::read(fds[0], &r, 1) == 1) held_ = r == 'A';
        ::close(fds[0]);
    }
    ~OtherCopy() { kill(); }
    bool held() const { return held_; }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    bool held_ = false;
};

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

TEST_F(DataLockTest, StartUpOnADirectoryInUseSaysSoAndTouchesNoTable) {
    PauseScale = 0;
    QApplication::setQuitOnLastWindowClosed(false);
    TestDataDir data;
    const QByteArray book = data.read(QStringLiteral("AddrBook.dbf"));
    OtherCopy other(data.dir());
    ASSERT_TRUE(other.held());
    FatalExitCatcher fatal;
    MessageLog msgs;
    {
        ScopedCurrentDir cwd(data.path());
        TQuenlow w;
        EXPECT_THROW(w.FormShow(), FatalExit);
        EXPECT_FALSE(w.startedUp());
    }
    EXPECT_EQ(msgs.texts(),
              QStringList{QStringLiteral("The data files are in use by another copy of Merrowby.")});
    EXPECT_EQ(LibHandle, nullptr);
    EXPECT_EQ(data.read(QStringLiteral("AddrBook.dbf")), book);
    PauseScale = 1;
}

}  // namespace
