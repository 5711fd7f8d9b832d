#include "xbase/Library.h"

#include <algorithm>

namespace xbase {

int errorCodeFor(const Status& s) {
    switch (s.kind) {
    case ErrorKind::None: return 0;
    case ErrorKind::NotFound: return kErrOpen;
    case ErrorKind::Corrupt: return kErrCorrupt;
    case ErrorKind::IoError: return kErrRead;
    case ErrorKind::NoSpace:
    case ErrorKind::ReadOnly: return kErrWrite;
    case ErrorKind::Locked: return kErrLocked;
    case ErrorKind::Exists: return kErrExists;
    case ErrorKind::BadArgument: return kErrArgument;
    case ErrorKind::Unsupported: return kErrOpen;
    case ErrorKind::NoResources: return kErrRead;
    }
    return kErrRead;
}

Library::Library(FileSystem& fs) : fs_(&fs) {}

Library::~Library() {
    closeAll();
    if (retiring_.joinable()) retiring_.join();
}

void Library::retire(std::unique_ptr<File> replaced) {
    if (!replaced) return;
    if (retiring_.joinable()) retiring_.join();
    try {
        retiring_ = std::thread([f = std::move(replaced)]() mutable { f.reset(); });
    } catch (...) {
        // No thread: the file went with the failed start, closed on this one.
    }
}

int Library::record(const Status& s, int code) {
    try {
        last_ = s;
    } catch (...) {
        // No memory for a copy of the message: keep what fits without one.
        last_ = Status();
        last_.kind = s.kind;
        last_.sysErrno = s.sysErrno;
    }
    code_ = code != 0 ? code : errorCodeFor(s);
    return code_;
}

int Library::errorCode(bool clear) {
    int c = code_;
    if (clear) code_ = 0;
    return c;
}

std::string Library::pathFor(const std::string& fileName) const {
    return resolveName(*fs_, dir_, fileName);
}

const std::vector<Table*> Library::openTables() const {
    std::vector<Table*> r;
    for (const auto& t : tables_) r.push_back(t.get());
    return r;
}

void Library::forget(Table* t) {
    auto it = std::find_if(tables_.begin(), tables_.end(), [&](const auto& p) { return p.get() == t; });
    if (it != tables_.end()) tables_.erase(it);
}

Table* Library::open(const std::string& baseName) try {
    const std::string path = pathFor(baseName + ".dbf");
    if (!fs_->exists(path)) {
        record(Status::error(ErrorKind::NotFound, path, "table file not found"), kErrOpen);
        return nullptr;
    }
    std::unique_ptr<DbfFile> dbf;
    Status s = DbfFile::open(*fs_, path, readOnly_, &dbf);
    if (!s.ok()) {
        record(s, kErrOpen);
        return nullptr;
    }
    s = dbf->lock(access_ == AccessMode::Exclusive && !readOnly_ ? LockKind::Exclusive : LockKind::Shared);
    if (!s.ok()) {
        if (s.kind == ErrorKind::Locked) s.message = "table is in use by another program";
        record(s, kErrLocked);
        return nullptr;
    }
    std::unique_ptr<Table> t(new Table(this, baseName, std::move(dbf)));
    if (autoOpen_) {
        const std::string group = resolveName(*fs_, dirName(path), baseName + ".cgp");
        if (!fs_->exists(group)) {
            record(Status::error(ErrorKind::NotFound, group, "index group file not found"), kErrOpen);
            return nullptr;
        }
        s = t->openGroup(group);
        if (!s.ok()) {
            record(s, kErrOpen);
            return nullptr;
        }
    }
    tables_.push_back(std::move(t));
    return tables_.back().get();
} catch (...) {
    record(caughtFailure(baseName), kErrOpen);
    return nullptr;
}

Table* Library::create(const std::string& baseName, const std::vector<FieldSpec>& fields) try {
    const std::string path = pathFor(baseName + ".dbf");
    if (readOnly_) {
        record(Status::error(ErrorKind::ReadOnly, path, "not created: the tables are open for reading only"),
               kErrCreate);
        return nullptr;
    }
    std::unique_ptr<DbfFile> dbf;
    Status s = DbfFile::create(*fs_, path, fields, !safety_, &dbf);
    if (!s.ok()) {
        record(s, s.kind == ErrorKind::Exists ? kErrExists : kErrCreate);
        return nullptr;
    }
    s = dbf->lock(access_ == AccessMode::Exclusive ? LockKind::Exclusive : LockKind::Shared);
    if (!s.ok()) {
        record(s, kErrLocked);
        return nullptr;
    }
    tables_.push_back(std::unique_ptr<Table>(new Table(this, baseName, std::move(dbf))));
    return tables_.back().get();
} catch (...) {
    record(caughtFailure(baseName), kErrCreate);
    return nullptr;
}

int Library::closeAll() try {
    int first = 0;
    while (!tables_.empty()) {
        int rc = tables_.back()->close();  // removes itself from tables_
        if (rc < 0 && first == 0) first = rc;
    }
    return first;
} catch (...) {
    return record(caughtFailure(dir_));
}

}  // namespace xbase
