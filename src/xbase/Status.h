#pragma once
// Error values of the table engine.
//
// Nothing in the engine throws across its boundary: every operation that can fail returns a
// Status (or records one in the Library handle). OS errors are turned into a Status in one
// place (FileSystem.cpp); user-facing messages are made by the program, never here.

#include <string>
#include <string_view>

namespace xbase {

enum class ErrorKind {
    None = 0,
    NotFound,     // file, field or tag does not exist
    Corrupt,      // a file does not parse: bad header, bad page, cycle, out-of-range pointer
    IoError,      // read/write/sync/rename failed for another reason
    NoSpace,      // ENOSPC / EDQUOT
    ReadOnly,     // EROFS, EACCES on write, or the table is opened read-only
    Locked,       // another process holds a conflicting lock
    Exists,       // refusing to overwrite (safety on)
    BadArgument,  // caller error: unknown field, bad value, no current row
    Unsupported,  // valid file of a kind we do not handle (memo, large-file NTX, ...)
    NoResources,  // memory ran out, or a system limit on threads was reached
};

const char* kindName(ErrorKind k);

struct Status {
    ErrorKind kind = ErrorKind::None;
    int sysErrno = 0;       // errno behind an I/O failure, 0 otherwise
    std::string file;       // the file concerned, as opened
    std::string message;    // short technical detail (English, for logs and the admin tool)

    bool ok() const { return kind == ErrorKind::None; }
    explicit operator bool() const { return ok(); }

    static Status Ok() { return {}; }
    static Status error(ErrorKind k, std::string_view file, std::string_view msg, int err = 0) {
        Status s;
        s.kind = k;
        s.sysErrno = err;
        s.file = std::string(file);
        s.message = std::string(msg);
        return s;
    }
    // "Corrupt: AddrBook.dbf: header length does not match field count"
    std::string toString() const;
};

// For use inside a catch block: the exception being handled (bad_alloc, system_error from a
// thread start, ...) as a NoResources status. Never throws; when even the message cannot be
// made, the status carries the kind alone.
Status caughtFailure(std::string_view file) noexcept;

// Runs f, which returns a Status, and hands back its result; an exception escaping f comes back
// as caughtFailure(file). The engine's public calls are wrapped in this so that nothing throws
// out of them.
template <class F>
Status guarded(std::string_view file, F&& f) noexcept {
    try {
        return f();
    } catch (...) {
        return caughtFailure(file);
    }
}

// Evaluates `expr` (a Status) and returns it from the enclosing function when it is an error.
#define XB_TRY(expr)                                     \
    do {                                                 \
        ::xbase::Status xb_try_status_ = (expr);         \
        if (!xb_try_status_.ok()) return xb_try_status_; \
    } while (0)

}  // namespace xbase
