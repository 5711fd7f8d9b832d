#pragma once
// Another copy of the program on a data directory, for the tests of the data-directory lock: a
// child process that takes the lock as the program does and holds it until killed.

#include <fcntl.h>
#include <signal.h>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/data/DataLock.h"

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
