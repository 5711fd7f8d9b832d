#include "status.h"

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
    }
    return "Unknown error";
}

std::string Status::toString() const {
    std::string s = kindName(kind);
    if (!file.empty()) s += ": " + file;
    if (!message.empty()) s += ": " + message;
    return s;
}

}  // namespace xbase
