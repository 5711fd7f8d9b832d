#include "xbase/Group.h"

#include <cctype>
#include <string_view>

namespace xbase {

namespace {

constexpr size_t kMaxIndexes = 64;

std::string_view trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool endsWithNtx(std::string_view s) {
    if (s.size() <= 4) return false;
    const std::string_view ext = s.substr(s.size() - 4);
    return ext[0] == '.' && std::tolower(static_cast<unsigned char>(ext[1])) == 'n' &&
           std::tolower(static_cast<unsigned char>(ext[2])) == 't' &&
           std::tolower(static_cast<unsigned char>(ext[3])) == 'x';
}

// Why `line` is not the name of an index file beside the group file, or "".
const char* refusal(std::string_view line) {
    for (const char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) return "holds a control byte";
        if (c == '/' || c == '\\') return "names a path";
    }
    if (line == "." || line == "..") return "names a path";
    if (!endsWithNtx(line)) return "names a file that is not an index (.ntx)";
    return "";
}

}  // namespace

Status readGroupFile(FileSystem& fs, const std::string& path, std::vector<std::string>* names) {
    names->clear();
    std::string text;
    XB_TRY(readWholeFile(fs, path, &text));
    size_t pos = 0, lineNo = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        const std::string_view line =
            trimmed(std::string_view(text).substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
        pos = nl == std::string::npos ? text.size() : nl + 1;
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        if (const std::string why = refusal(line); !why.empty()) {
            names->clear();
            return Status::error(ErrorKind::Corrupt, path,
                                 "not an index group file: line " + std::to_string(lineNo) + " " + why +
                                     " (" + std::string(line.substr(0, 60)) + ")");
        }
        if (names->size() == kMaxIndexes) {
            names->clear();
            return Status::error(ErrorKind::Corrupt, path, "not an index group file: too many index files");
        }
        names->emplace_back(line);
    }
    return Status::Ok();
}

bool groupIsUsable(FileSystem& fs, const std::string& path) {
    std::vector<std::string> names;
    if (!readGroupFile(fs, path, &names).ok() || names.empty()) return false;
    const std::string dir = dirName(path);
    for (const std::string& n : names)
        if (!fs.exists(resolveName(fs, dir, n))) return false;
    return true;
}

}  // namespace xbase
