#pragma once
// The file seam: every file operation of the engine (open, read, write, sync, rename, remove,
// lock) goes through a FileSystem, so tests can swap in one that fails on purpose.
//
// RealFileSystem talks to POSIX; FaultyFileSystem wraps another and fails the Nth write, sync or
// rename (or all from the Nth on, to mimic a full disk).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/Status.h"

namespace xbase {

enum class OpenMode {
    Read,            // existing file, read only
    ReadWrite,       // existing file
    CreateTruncate,  // create or truncate, read/write
    CreateNew,       // create; fails with Exists when the file is there
};

enum class LockKind { Shared, Exclusive, Unlock };

// Large working arrays (an index build's keys and sort records, tens of megabytes that live for
// one call): asks the system to back the whole 2 MB stretches of [p, p + bytes) with huge pages
// before they are first written. A fresh small page costs a fault each, which on a virtual
// machine was measured at over 3 ms per megabyte: more than sorting the keys. Only a hint.
void adviseLargeArray(void* p, size_t bytes);

// A read-only view of part of a file, mapped from the system's cache (see File::mapView); the
// mapping ends with the object.
class MappedView {
public:
    MappedView() = default;
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;
    ~MappedView() { reset(); }
    const uint8_t* data() const { return data_; }
    void reset();
    // Used by File::mapView: `base`/`mapped` as the system mapped them, `data` the asked-for start.
    void set(void* base, size_t mapped, const uint8_t* data) {
        reset();
        base_ = base;
        mapped_ = mapped;
        data_ = data;
    }

private:
    void* base_ = nullptr;
    size_t mapped_ = 0;
    const uint8_t* data_ = nullptr;
};

class File {
public:
    virtual ~File() = default;
    // Reads up to n bytes at offset; *got receives the count (short only at end of file).
    virtual Status read(uint64_t offset, void* buf, size_t n, size_t* got) = 0;
    // Writes all n bytes at offset or fails.
    virtual Status write(uint64_t offset, const void* buf, size_t n) = 0;
    virtual Status size(uint64_t* out) = 0;
    virtual Status truncate(uint64_t size) = 0;
    virtual Status sync() = 0;
    // Advisory whole-file lock, never blocking: Locked when another process holds a conflicting one.
    virtual Status lock(LockKind kind) = 0;
    virtual const std::string& path() const = 0;

    // Maps the first `length` bytes of the file for reading, shared with the page cache so that
    // later writes through write() show through. Returns nullptr when this file cannot be mapped
    // (the caller then reads). A new call replaces the previous mapping; the mapping ends with
    // unmapRead() or when the File is destroyed. Meant for random access to large files.
    virtual const uint8_t* mapRead(uint64_t length) {
        (void)length;
        return nullptr;
    }
    virtual void unmapRead() {}
    // Maps [offset, offset + length) for reading, its pages entered at once, into *view (which
    // may be one of several at a time, from several threads). False when it cannot be mapped:
    // the caller then reads. For a pass over a large file that would otherwise copy it all.
    virtual bool mapView(uint64_t offset, size_t length, MappedView* view) {
        (void)offset;
        (void)length;
        (void)view;
        return false;
    }

    // Tells the system that [offset, offset + length) will not be read again soon, so the memory
    // caching it may go to other uses (a file about to be replaced). Only a hint.
    virtual void releaseCache(uint64_t offset, uint64_t length) {
        (void)offset;
        (void)length;
    }

    // Sets the file's permission bits (the low nine, as chmod takes them). A file that cannot
    // take them (a file system without permissions, a wrapper that does not pass them on) is left
    // as it is; the result tells, and callers that only keep a mode may ignore it.
    virtual Status setPermissions(unsigned mode) {
        (void)mode;
        return Status::error(ErrorKind::Unsupported, path(), "permissions not supported");
    }

    // Convenience: reads exactly n bytes or returns Corrupt ("short read").
    Status readExact(uint64_t offset, void* buf, size_t n);
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual Status open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) = 0;
    virtual Status rename(const std::string& from, const std::string& to) = 0;
    virtual Status remove(const std::string& path) = 0;
    virtual bool exists(const std::string& path) = 0;
    // Names (not paths) of the entries in dir; NotFound when dir cannot be read.
    virtual Status listDir(const std::string& dir, std::vector<std::string>* names) = 0;
    // Makes a completed rename durable.
    virtual Status syncDir(const std::string& dir) = 0;
    // The permission bits (the low nine) of the existing file at `path`; false when there is
    // none or they cannot be told (a file system that keeps none).
    virtual bool permissions(const std::string& path, unsigned* mode) {
        (void)path;
        (void)mode;
        return false;
    }

    // The process-wide POSIX file system.
    static FileSystem& real();
};

// Joins a directory and a file name ("" or "." for dir yields the name alone).
std::string joinPath(const std::string& dir, const std::string& name);
std::string dirName(const std::string& path);
std::string baseName(const std::string& path);

// True when `a` and `b` are the same but for the letter case of A to Z: how file, table, column
// and tag names are compared.
bool equalsFolded(std::string_view a, std::string_view b);

// Finds `name` in `dir` whatever its letter case ("ADDRBOOK.DBF" for "AddrBook.dbf") and returns
// the full path of the existing file; when none exists returns joinPath(dir, name) unchanged,
// so that a new file takes the spelling asked for. An exact match wins over a case-folded one.
std::string resolveName(FileSystem& fs, const std::string& dir, const std::string& name);

// Writes `target` anew without ever leaving it half written, the one way every file of a data set
// is replaced: `write` fills the temporary file `tmp` (beside the target), which is synced (when
// `sync`), checked by `verify` (when given), renamed over the target, and the directory synced.
// The temporary file takes the target's permissions before anything is written to it, so that a
// private file stays private (a new target keeps those the umask gives; `write` may set others).
// On any failure the temporary file is removed and the target is as it was. `keep` (may be null)
// receives the open temporary file, which is the target's now.
Status replaceFile(FileSystem& fs, const std::string& target, const std::string& tmp, bool sync,
                   const std::function<Status(File& out)>& write,
                   const std::function<Status()>& verify = {}, std::unique_ptr<File>* keep = nullptr);

// The temporary files written beside a file while it is replaced. Each is renamed over its file
// or removed when the writer finishes or fails; only a writer stopped part-way (killed, power
// lost) leaves one behind: "<file>.building" (an index build), "<file>.tmp-pack" (a pack),
// "<file>.tmp-write" (writeFileAtomic), ".<file>.part<pid>-<n>" (a copy, copyTempPath).
inline constexpr const char* kBuildingSuffix = ".building";
inline constexpr const char* kPackSuffix = ".tmp-pack";
inline constexpr const char* kWriteSuffix = ".tmp-write";
// The temporary file a copy to `target` writes first: hidden, beside the target, named with this
// process's id and `serial` so that two copies never share one.
std::string copyTempPath(const std::string& target, int serial);
// The name of the file that `name` (a name without a folder) is one of those temporary files
// of, or "" when it is none of them.
std::string leftoverOf(const std::string& name);
// Removes every such temporary file of a table, index or group file (.dbf, .ntx, .cgp) in `dir`
// (of `file` alone, when `file` is given, matched whatever its letter case). Only for a folder
// nobody else is writing in (the data folder under its lock). Returns how many went.
int removeLeftovers(FileSystem& fs, const std::string& dir, const std::string& file = {});

// Replaces `target` with `bytes` through replaceFile, synced.
Status writeFileAtomic(FileSystem& fs, const std::string& target, const std::string& bytes);

// Gives the file `f` the permissions of the file at `from` (the file `f` replaces, or the source
// of a copy); nothing when `from` is not there or its permissions cannot be told. A file system
// that cannot set them leaves those the umask gave.
void keepPermissions(FileSystem& fs, const std::string& from, File& f);

// Reads a whole (small) file.
Status readWholeFile(FileSystem& fs, const std::string& path, std::string* out);

// A FileSystem that passes everything to `base` but fails chosen operations. Counting starts at
// 1 after reset(). failAt == 0 disables that kind of failure. With `sticky`, every operation of
// that kind from the Nth on fails (a disk that stays full). With a space budget the disk fills
// part-way instead: writes that grow the files it opened take from the budget, and the one that
// finds too little writes what fits and fails with NoSpace, as every growing write after it does;
// cutting, replacing or removing a file gives its bytes back.
class FaultyFileSystem : public FileSystem {
public:
    explicit FaultyFileSystem(FileSystem& base) : base_(base) {}
    struct Plan {
        int failWriteAt = 0;
        int failSyncAt = 0;
        int failRenameAt = 0;
        bool sticky = false;
        ErrorKind writeError = ErrorKind::NoSpace;
        int64_t spaceBytes = -1;  // free space of the disk; -1: no limit
        // A file or folder this process may not read (as chmod 000 makes it): opening it, or
        // anything in it, fails with EACCES, the folder cannot be listed, and what is in it
        // cannot be seen. Empty: none.
        std::string denied;
    };
    void setPlan(const Plan& p) {
        plan_ = p;
        writes_ = syncs_ = renames_ = 0;
        failures_ = 0;
        space_ = p.spaceBytes;
    }
    int64_t spaceLeft() const { return space_; }
    int writes() const { return writes_; }
    int syncs() const { return syncs_; }
    int renames() const { return renames_; }
    int failures() const { return failures_; }

    Status open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) override;
    Status rename(const std::string& from, const std::string& to) override;
    Status remove(const std::string& path) override;
    bool exists(const std::string& path) override;
    Status listDir(const std::string& dir, std::vector<std::string>* names) override;
    Status syncDir(const std::string& dir) override;
    bool permissions(const std::string& path, unsigned* mode) override { return base_.permissions(path, mode); }

    // Used by the wrapped files.
    bool shouldFailWrite();
    bool shouldFailSync();
    const Plan& plan() const { return plan_; }
    // The space budget: `from` is a file's size, `to` what a write or cut makes it. Returns how
    // far the file may grow (to, or less when the disk is full, which counts as a failure).
    uint64_t resize(uint64_t from, uint64_t to);

private:
    bool hit(int& counter, int at);
    bool denied(const std::string& path, bool inside) const;
    void giveBack(const std::string& path);
    FileSystem& base_;
    Plan plan_;
    int writes_ = 0, syncs_ = 0, renames_ = 0, failures_ = 0;
    int64_t space_ = -1;
};

}  // namespace xbase
