#include "xbase/Status.h"

#include <new>
#include <stdexcept>
#include <system_error>

namespace xbase {

const char* kindName(ErrorKind k) {
    switch (k) {
        case ErrorKind::None: return "OK";
        case ErrorKind::NotFound: return "Not found";
        case ErrorKind::Corrupt: return "Corrupt";
        case ErrorKind::IoError: return "I/O error";
        case ErrorKind::NoSpace: return "No space";
        case ErrorKind::ReadOnly: return "Read-only";
        case ErrorKind::Locked: return "Locked";
        case ErrorKind::Exists: return "Exists";
        case ErrorKind::BadArgument: return "Bad argument";
        case ErrorKind::Unsupported: return "Unsupported";
        case ErrorKind::NoResources: return "Out of resources";
    }
    return "Unknown error";
}

std::string Status::toString() const {
    std::string s = kindName(kind);
    if (!file.empty()) s += ": " + file;
    if (!message.empty()) s += ": " + message;
    return s;
}


Status caughtFailure(std::string_view file) noexcept {
    Status s;
    s.kind = ErrorKind::NoResources;
    try {
        try {
            throw;
        } catch (const std::bad_alloc&) {
            s.message = "out of memory";
        } catch (const std::length_error&) {
            s.message = "out of memory (size beyond what a container can hold)";
        } catch (const std::system_error& e) {
            s.sysErrno = e.code().category() == std::generic_category() ||
                                 e.code().category() == std::system_category()
                             ? e.code().value()
                             : 0;
            s.message = std::string("system limit: ") + e.what();
        } catch (const std::exception& e) {
            s.message = e.what();
        } catch (...) {
            s.message = "unexpected failure";
        }
        s.file = std::string(file);
    } catch (...) {
        // No memory left even for the message: the kind says enough.
    }
    return s;
}

}  // namespace xbase
