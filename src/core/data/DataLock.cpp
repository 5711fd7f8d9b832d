// The data-directory lock (see DataLock.h).
#include "core/data/DataLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

int heldFd = -1;
std::string heldDir;

// The directory's canonical path, so that "." and its full path count as one directory.
std::string canonical(const std::string& dir) {
    char buf[PATH_MAX];
    if (::realpath(dir.empty() ? "." : dir.c_str(), buf)) return buf;
    return dir;
}

}  // namespace

DataLockResult AcquireDataLock(const std::string& dir, std::string* detail) {
    const std::string canon = canonical(dir);
    if (heldFd >= 0 && canon == heldDir) return DataLockResult::Acquired;
    ReleaseDataLock();

    const std::string path = canon + "/" + kDataLockFileName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);  // the umask decides
    if (fd < 0) {
        if (detail) *detail = path + ": " + std::strerror(errno);
        return DataLockResult::Failed;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) return DataLockResult::InUse;
        if (detail) *detail = path + ": " + std::strerror(err);
        return DataLockResult::Failed;
    }
    heldFd = fd;
    heldDir = canon;
    return DataLockResult::Acquired;
}

void ReleaseDataLock() {
    if (heldFd < 0) return;
    ::flock(heldFd, LOCK_UN);
    ::close(heldFd);
    heldFd = -1;
    heldDir.clear();
}

std::string HeldDataLockDir() { return heldFd >= 0 ? heldDir : std::string(); }

bool DataLockHeld(const std::string& dir) {
    const std::string canon = canonical(dir);
    if (heldFd >= 0 && canon == heldDir) return true;
    const int fd = ::open((canon + "/" + kDataLockFileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // A shared lock is refused while anyone holds the exclusive one, and gives way at once.
    int rc;
    do {
        rc = ::flock(fd, LOCK_SH | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    const bool held = rc != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}
