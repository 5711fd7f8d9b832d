#include "AdminSession.h"

#include <QDir>
#include <cstdint>
#include <cstdio>

#include "core/data/DataLock.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Library.h"

namespace {

QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

}  // namespace

AdminSession::AdminSession(const char* command, const QString& dir, Access access)
    : command_(command), dir_(dir), access_(access), lib_(std::make_unique<xbase::Library>()),
      previous_(LibHandle) {
    lib_->setDirectory(QDir::toNativeSeparators(dir).toStdString());
    if (access == Access::ReadOnly) lib_->setReadOnly(true);
    prompts_.onInfo = [this](const QString& text) { fail(text); };
    prompts_.onQuestion = [this](const QString& text) {
        fail(text + QStringLiteral(" (answered Cancel)"));
        return false;
    };
    prompts_.onStatus = [](const QString& text) {
        if (text.isEmpty()) return;
        std::printf("%s\n", text.toLocal8Bit().constData());
        std::fflush(stdout);
    };
    ctx_.lib = lib_.get();
    ctx_.prompts = &prompts_;
    ctx_.pause = [](double) {};  // nobody is watching a status line
    LibHandle = lib_.get();
}

AdminSession::~AdminSession() {
    finish();
    LibHandle = previous_;
    if (locked_) ReleaseDataLock();
}

bool AdminSession::begin() {
    if (access_ != Access::Writes) return true;
    QString why;
    if (takeLock(&why)) return true;
    fail(why + QStringLiteral("; nothing was changed.") +
         (why.contains(QLatin1String("in use")) ? QStringLiteral(" Try again when it has finished.") : QString()));
    return false;
}

bool AdminSession::beginWriting(QString* why) {
    if (!takeLock(why)) return false;
    access_ = Access::Writes;
    lib_->setReadOnly(false);
    return true;
}

bool AdminSession::takeLock(QString* why) {
    if (locked_) return true;
    std::string detail;
    switch (AcquireDataLock(QDir::toNativeSeparators(dir_).toStdString(), &detail)) {
    case DataLockResult::Acquired:
        locked_ = true;
        return true;
    case DataLockResult::InUse:
        *why = QStringLiteral("the data files in ") + dir_ +
               QStringLiteral(" are in use by Merrowby or another merrowby-admin command");
        return false;
    case DataLockResult::Failed:
        break;
    }
    *why = QStringLiteral("cannot lock the data files in ") + dir_ + QStringLiteral(": ") + QString::fromStdString(detail);
    return false;
}

int AdminSession::fail(const QString& text, int code) const {
    std::fprintf(stderr, "merrowby-admin: %s: %s\n", command_, oneLine(text).toLocal8Bit().constData());
    std::fflush(stderr);
    return code;
}

int AdminSession::fail(const DataStatus& s, const QString& what, int code) const {
    return fail(what + s.toString(), code);
}

void AdminSession::say(const QString& text) const {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

int AdminSession::finish() {
    if (finished_) return 0;
    finished_ = true;
    xbase::Library* bound = LibHandle;
    LibHandle = lib_.get();
    const DataStatus closed = CloseAllTables();
    LibHandle = bound;
    if (closed) return 0;
    return fail(closed, QStringLiteral("Unable to write "));
}

std::string PrintableText(const std::string& s) {
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    out.reserve(s.size());
    const auto escape = [&](unsigned char b) {
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 15];
    };
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            if (b < 0x20 || b == 0x7f || b == '\\') escape(b);
            else out += char(b);
            ++i;
            continue;
        }
        // A whole, shortest UTF-8 sequence of a character that is not a C1 control passes.
        const size_t len = b >= 0xc2 && b <= 0xdf ? 2 : b >= 0xe0 && b <= 0xef ? 3 : b >= 0xf0 && b <= 0xf4 ? 4 : 0;
        uint32_t cp = len == 2 ? b & 0x1f : len == 3 ? b & 0x0f : b & 0x07;
        bool whole = len != 0 && i + len <= s.size();
        for (size_t k = 1; whole && k < len; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            whole = (c & 0xc0) == 0x80;
            cp = cp << 6 | (c & 0x3f);
        }
        if (whole && ((len == 3 && cp < 0x800) || (cp >= 0xd800 && cp <= 0xdfff) || cp > 0x10ffff ||
                      (len == 4 && cp < 0x10000) || (cp >= 0x80 && cp <= 0x9f)))
            whole = false;
        if (!whole) {
            escape(b);
            ++i;
            continue;
        }
        out.append(s, i, len);
        i += len;
    }
    return out;
}

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string r = "\"";
    for (char c : s) {
        if (c == '"') r += '"';
        r += c;
    }
    return r + "\"";
}

std::string TrimRight(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}
