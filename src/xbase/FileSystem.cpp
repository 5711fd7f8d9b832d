#include "xbase/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace xbase {

namespace {

// The one place where an errno becomes a Status.
Status fromErrno(int err, const std::string& path, const char* what) {
    ErrorKind kind;
    switch (err) {
        case ENOSPC:
        case EDQUOT: kind = ErrorKind::NoSpace; break;
        case EROFS:
        case EACCES:
        case EPERM: kind = ErrorKind::ReadOnly; break;
        case ENOENT:
        case ENOTDIR: kind = ErrorKind::NotFound; break;
        case EEXIST: kind = ErrorKind::Exists; break;
#if EWOULDBLOCK != EAGAIN
        case EAGAIN:
#endif
        case EWOULDBLOCK: kind = ErrorKind::Locked; break;
        default: kind = ErrorKind::IoError; break;
    }
    return Status::error(kind, path, std::string(what) + ": " + std::strerror(err), err);
}

class RealFile : public File {
public:
    RealFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~RealFile() override {
        unmapRead();
        ::close(fd_);
    }

    const uint8_t* mapRead(uint64_t length) override {
        unmapRead();
        if (length == 0) return nullptr;
        void* p = ::mmap(nullptr, size_t(length), PROT_READ, MAP_SHARED, fd_, 0);
        if (p == MAP_FAILED) return nullptr;
        // Reads through the map jump about the file in index order: no read-ahead.
        ::madvise(p, size_t(length), MADV_RANDOM);
        map_ = p;
        mapLen_ = size_t(length);
        return static_cast<const uint8_t*>(p);
    }
    void unmapRead() override {
        if (map_) ::munmap(map_, mapLen_);
        map_ = nullptr;
        mapLen_ = 0;
    }
    void releaseCache(uint64_t offset, uint64_t length) override {
        ::posix_fadvise(fd_, off_t(offset), off_t(length), POSIX_FADV_DONTNEED);
    }
    bool mapView(uint64_t offset, size_t length, MappedView* view) override {
        if (length == 0) return false;
        const uint64_t from = offset & ~uint64_t(::sysconf(_SC_PAGESIZE) - 1);
        const size_t len = size_t(offset - from) + length;
        void* p = ::mmap(nullptr, len, PROT_READ, MAP_SHARED | MAP_POPULATE, fd_, off_t(from));
        if (p == MAP_FAILED) return false;
        view->set(p, len, static_cast<const uint8_t*>(p) + (offset - from));
        return true;
    }

    Status read(uint64_t offset, void* buf, size_t n, size_t* got) override {
        size_t done = 0;
        auto* p = static_cast<uint8_t*>(buf);
        while (done < n) {
            ssize_t r = ::pread(fd_, p + done, n - done, off_t(offset + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                *got = done;
                return fromErrno(errno, path_, "read");
            }
            if (r == 0) break;
            done += size_t(r);
        }
        *got = done;
        return Status::Ok();
    }

    Status write(uint64_t offset, const void* buf, size_t n) override {
        size_t done = 0;
        const auto* p = static_cast<const uint8_t*>(buf);
        while (done < n) {
            ssize_t r = ::pwrite(fd_, p + done, n - done, off_t(offset + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                return fromErrno(errno, path_, "write");
            }
            if (r == 0) return fromErrno(ENOSPC, path_, "write");
            done += size_t(r);
        }
        return Status::Ok();
    }

    Status size(uint64_t* out) override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) return fromErrno(errno, path_, "stat");
        *out = uint64_t(st.st_size);
        return Status::Ok();
    }

    Status truncate(uint64_t size) override {
        while (::ftruncate(fd_, off_t(size)) != 0) {
            if (errno != EINTR) return fromErrno(errno, path_, "truncate");
        }
        return Status::Ok();
    }

    Status sync() override {
        while (::fsync(fd_) != 0) {
            if (errno != EINTR) return fromErrno(errno, path_, "sync");
        }
        return Status::Ok();
    }

    Status lock(LockKind kind) override {
        int op = kind == LockKind::Shared ? LOCK_SH | LOCK_NB
                 : kind == LockKind::Exclusive ? LOCK_EX | LOCK_NB
                                               : LOCK_UN;
        while (::flock(fd_, op) != 0) {
            if (errno != EINTR) return fromErrno(errno, path_, "lock");
        }
        return Status::Ok();
    }

    Status setPermissions(unsigned mode) override {
        while (::fchmod(fd_, mode_t(mode & 0777)) != 0) {
            if (errno != EINTR) return fromErrno(errno, path_, "chmod");
        }
        return Status::Ok();
    }

    const std::string& path() const override { return path_; }

private:
    int fd_;
    void* map_ = nullptr;
    size_t mapLen_ = 0;
    std::string path_;
};

class RealFileSystem : public FileSystem {
public:
    Status open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) override {
        int flags = O_CLOEXEC;
        switch (mode) {
            case OpenMode::Read: flags |= O_RDONLY; break;
            case OpenMode::ReadWrite: flags |= O_RDWR; break;
            case OpenMode::CreateTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
            case OpenMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
        }
        int fd;
        do {
            fd = ::open(path.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return fromErrno(errno, path, "open");
        // A directory opens fine for reading on Linux but fails every read later.
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            return fromErrno(EISDIR, path, "open");
        }
        *out = std::make_unique<RealFile>(fd, path);
        return Status::Ok();
    }

    Status rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) return fromErrno(errno, from, "rename");
        return Status::Ok();
    }

    Status remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0) return fromErrno(errno, path, "remove");
        return Status::Ok();
    }

    bool exists(const std::string& path) override {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0;
    }

    Status listDir(const std::string& dir, std::vector<std::string>* names) override {
        const std::string d = dir.empty() ? "." : dir;
        DIR* dp = ::opendir(d.c_str());
        if (!dp) {
            Status s = fromErrno(errno, d, "list directory");
            s.kind = ErrorKind::NotFound;  // callers only need to know it is not there to read
            return s;
        }
        names->clear();
        while (dirent* e = ::readdir(dp)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            names->emplace_back(e->d_name);
        }
        ::closedir(dp);
        return Status::Ok();
    }

    bool permissions(const std::string& path, unsigned* mode) override {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) return false;
        *mode = unsigned(st.st_mode) & 0777;
        return true;
    }

    Status syncDir(const std::string& dir) override {
        const std::string d = dir.empty() ? "." : dir;
        int fd = ::open(d.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return fromErrno(errno, d, "open directory");
        int rc = ::fsync(fd);
        int err = errno;
        ::close(fd);
        // Some file systems do not support syncing a directory; there is nothing more to do.
        if (rc != 0 && err != EINVAL && err != ENOTSUP) return fromErrno(err, d, "sync directory");
        return Status::Ok();
    }
};

class FaultyFile : public File {
public:
    FaultyFile(std::unique_ptr<File> base, FaultyFileSystem* fs) : base_(std::move(base)), fs_(fs) {}

    Status read(uint64_t offset, void* buf, size_t n, size_t* got) override {
        return base_->read(offset, buf, n, got);
    }
    Status write(uint64_t offset, const void* buf, size_t n) override {
        if (fs_->shouldFailWrite()) {
            const ErrorKind k = fs_->plan().writeError;
            return Status::error(k, path(), "injected write failure",
                                 k == ErrorKind::NoSpace ? ENOSPC : EIO);
        }
        if (fs_->spaceLeft() < 0) return base_->write(offset, buf, n);
        uint64_t size = 0;
        XB_TRY(base_->size(&size));
        const uint64_t end = offset + n;
        const uint64_t reach = end > size ? fs_->resize(size, end) : end;
        if (reach == end) return base_->write(offset, buf, n);
        if (reach > offset) XB_TRY(base_->write(offset, buf, size_t(reach - offset)));
        return Status::error(ErrorKind::NoSpace, path(), "write: No space left on device (injected)", ENOSPC);
    }
    Status size(uint64_t* out) override { return base_->size(out); }
    Status truncate(uint64_t size) override {
        if (fs_->spaceLeft() >= 0) {
            uint64_t was = 0;
            XB_TRY(base_->size(&was));
            if (fs_->resize(was, size) != size)
                return Status::error(ErrorKind::NoSpace, path(), "truncate: No space left on device (injected)", ENOSPC);
        }
        return base_->truncate(size);
    }
    Status sync() override {
        if (fs_->shouldFailSync()) return Status::error(ErrorKind::IoError, path(), "injected sync failure", EIO);
        return base_->sync();
    }
    Status lock(LockKind kind) override { return base_->lock(kind); }
    Status setPermissions(unsigned mode) override { return base_->setPermissions(mode); }
    const std::string& path() const override { return base_->path(); }
    const uint8_t* mapRead(uint64_t length) override { return base_->mapRead(length); }
    void unmapRead() override { base_->unmapRead(); }
    void releaseCache(uint64_t offset, uint64_t length) override { base_->releaseCache(offset, length); }
    bool mapView(uint64_t offset, size_t length, MappedView* view) override { return base_->mapView(offset, length, view); }

private:
    std::unique_ptr<File> base_;
    FaultyFileSystem* fs_;
};


}  // namespace

bool equalsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return false;
    }
    return true;
}

void MappedView::reset() {
    if (base_) ::munmap(base_, mapped_);
    base_ = nullptr;
    mapped_ = 0;
    data_ = nullptr;
}

void adviseLargeArray(void* p, size_t bytes) {
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kHuge - 1);
    if (to > from) (void)::madvise(reinterpret_cast<void*>(from), size_t(to - from), MADV_HUGEPAGE);
}

FileSystem& FileSystem::real() {
    static RealFileSystem fs;
    return fs;
}

Status File::readExact(uint64_t offset, void* buf, size_t n) {
    size_t got = 0;
    XB_TRY(read(offset, buf, n, &got));
    if (got != n) {
        return Status::error(ErrorKind::Corrupt, path(),
                             "short read: wanted " + std::to_string(n) + " bytes at offset " +
                                 std::to_string(offset) + ", got " + std::to_string(got));
    }
    return Status::Ok();
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") return name;
    if (!name.empty() && name.front() == '/') return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string dirName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string resolveName(FileSystem& fs, const std::string& dir, const std::string& name) {
    const std::string asked = joinPath(dir, name);
    if (fs.exists(asked)) return asked;
    // Only the last component is folded; a directory part is taken as given.
    const std::string folder = dirName(asked);
    const std::string leaf = baseName(asked);
    std::vector<std::string> names;
    if (!fs.listDir(folder, &names).ok()) return asked;
    std::sort(names.begin(), names.end());  // several folded matches: pick one reproducibly
    for (const std::string& n : names) {
        if (equalsFolded(n, leaf)) return asked.substr(0, asked.size() - leaf.size()) + n;
    }
    return asked;
}

Status replaceFile(FileSystem& fs, const std::string& target, const std::string& tmp, bool sync,
                   const std::function<Status(File& out)>& write, const std::function<Status()>& verify,
                   std::unique_ptr<File>* keep) {
    std::unique_ptr<File> f;
    XB_TRY(fs.open(tmp, OpenMode::CreateTruncate, &f));
    keepPermissions(fs, target, *f);
    Status s = write(*f);
    if (s.ok() && sync) s = f->sync();
    if (s.ok() && verify) s = verify();
    if (!keep) f.reset();
    if (s.ok()) s = fs.rename(tmp, target);
    if (!s.ok()) {
        f.reset();
        fs.remove(tmp);
        return s;
    }
    // The new contents are in place now, so reporting a failure would mislead the caller into
    // thinking the old file is still there; a directory sync that fails only weakens durability.
    if (sync) fs.syncDir(dirName(target).empty() ? "." : dirName(target));
    if (keep) *keep = std::move(f);
    return Status::Ok();
}

void keepPermissions(FileSystem& fs, const std::string& from, File& f) {
    unsigned mode = 0;
    // A file system that keeps no permissions (a FAT memory card) cannot take them: the copy
    // still goes ahead.
    if (fs.permissions(from, &mode)) (void)f.setPermissions(mode);
}

std::string copyTempPath(const std::string& target, int serial) {
    return joinPath(dirName(target),
                    "." + baseName(target) + ".part" + std::to_string(::getpid()) + "-" + std::to_string(serial));
}

std::string leftoverOf(const std::string& name) {
    const auto endsWith = [&](const char* suffix) {
        const size_t n = std::strlen(suffix);
        return name.size() > n && name.compare(name.size() - n, n, suffix) == 0;
    };
    for (const char* suffix : {kBuildingSuffix, kPackSuffix, kWriteSuffix})
        if (endsWith(suffix)) return name.substr(0, name.size() - std::strlen(suffix));
    // ".<file>.part<digits>-<digits>"
    const size_t part = name.rfind(".part");
    if (name.size() < 2 || name[0] != '.' || part == std::string::npos || part < 2) return {};
    const std::string rest = name.substr(part + 5);
    const size_t dash = rest.find('-');
    const auto digits = [](const std::string& t) {
        return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos;
    };
    if (dash == std::string::npos || !digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1))) return {};
    return name.substr(1, part - 1);
}

int removeLeftovers(FileSystem& fs, const std::string& dir, const std::string& file) {
    std::vector<std::string> names;
    if (!fs.listDir(dir.empty() ? "." : dir, &names).ok()) return 0;
    int removed = 0;
    for (const std::string& n : names) {
        const std::string of = leftoverOf(n);
        if (of.empty() || (!file.empty() && !equalsFolded(of, file))) continue;
        // Only a table's, an index's or a group file's: what the engine and the copies write.
        const std::string ext = of.size() > 4 ? of.substr(of.size() - 4) : std::string();
        if (!equalsFolded(ext, ".dbf") && !equalsFolded(ext, ".ntx") && !equalsFolded(ext, ".cgp")) continue;
        if (fs.remove(joinPath(dir, n)).ok()) ++removed;
    }
    return removed;
}

Status writeFileAtomic(FileSystem& fs, const std::string& target, const std::string& bytes) {
    return replaceFile(fs, target, target + kWriteSuffix, true,
                       [&](File& f) { return f.write(0, bytes.data(), bytes.size()); });
}

Status readWholeFile(FileSystem& fs, const std::string& path, std::string* out) {
    std::unique_ptr<File> f;
    XB_TRY(fs.open(path, OpenMode::Read, &f));
    uint64_t size = 0;
    XB_TRY(f->size(&size));
    std::string buf(size, '\0');
    size_t got = 0;
    XB_TRY(f->read(0, buf.data(), buf.size(), &got));
    buf.resize(got);
    *out = std::move(buf);
    return Status::Ok();
}

bool FaultyFileSystem::hit(int& counter, int at) {
    ++counter;
    if (at <= 0) return false;
    if (counter == at || (plan_.sticky && counter > at)) {
        ++failures_;
        return true;
    }
    return false;
}

bool FaultyFileSystem::shouldFailWrite() { return hit(writes_, plan_.failWriteAt); }

uint64_t FaultyFileSystem::resize(uint64_t from, uint64_t to) {
    if (space_ < 0) return to;
    if (to <= from) {
        space_ += int64_t(from - to);
        return to;
    }
    const uint64_t grant = std::min<uint64_t>(to - from, uint64_t(space_));
    space_ -= int64_t(grant);
    if (from + grant < to) ++failures_;
    return from + grant;
}

void FaultyFileSystem::giveBack(const std::string& path) {
    std::unique_ptr<File> f;
    uint64_t size = 0;
    if (space_ >= 0 && base_.exists(path) && base_.open(path, OpenMode::Read, &f).ok() && f->size(&size).ok())
        resize(size, 0);
}

Status FaultyFileSystem::remove(const std::string& path) {
    giveBack(path);
    return base_.remove(path);
}
bool FaultyFileSystem::shouldFailSync() { return hit(syncs_, plan_.failSyncAt); }

bool FaultyFileSystem::denied(const std::string& path, bool inside) const {
    std::string d = plan_.denied;
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    if (d.empty()) return false;
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (!inside && p == d) return true;
    return p.size() > d.size() && p.compare(0, d.size(), d) == 0 && p[d.size()] == '/';
}

bool FaultyFileSystem::exists(const std::string& path) { return !denied(path, true) && base_.exists(path); }

Status FaultyFileSystem::listDir(const std::string& dir, std::vector<std::string>* names) {
    if (denied(dir, false)) {
        Status s = fromErrno(EACCES, dir, "list directory");
        s.kind = ErrorKind::NotFound;  // as the real one reports it
        return s;
    }
    return base_.listDir(dir, names);
}

Status FaultyFileSystem::open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) {
    if (denied(path, false)) return fromErrno(EACCES, path, "open");
    if (mode == OpenMode::CreateTruncate) giveBack(path);
    std::unique_ptr<File> inner;
    XB_TRY(base_.open(path, mode, &inner));
    *out = std::make_unique<FaultyFile>(std::move(inner), this);
    return Status::Ok();
}

Status FaultyFileSystem::rename(const std::string& from, const std::string& to) {
    if (hit(renames_, plan_.failRenameAt)) {
        return Status::error(ErrorKind::IoError, from, "injected rename failure", EIO);
    }
    giveBack(to);
    return base_.rename(from, to);
}

Status FaultyFileSystem::syncDir(const std::string& dir) {
    if (shouldFailSync()) return Status::error(ErrorKind::IoError, dir, "injected sync failure", EIO);
    return base_.syncDir(dir);
}

}  // namespace xbase
