#include "AdminSession.h"

#include <QDir>
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
    std::string why;
    switch (AcquireDataLock(QDir::toNativeSeparators(dir_).toStdString(), &why)) {
    case DataLockResult::Acquired:
        locked_ = true;
        return true;
    case DataLockResult::InUse:
        fail(QStringLiteral("the data files in ") + dir_ +
             QStringLiteral(" are in use by Merrowby or another merrowby-admin command; nothing was "
                            "changed. Try again when it has finished."));
        return false;
    case DataLockResult::Failed:
        break;
    }
    fail(QStringLiteral("cannot lock the data files in ") + dir_ + QStringLiteral(": ") +
         QString::fromStdString(why) + QStringLiteral("; nothing was changed."));
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
