#include "data/DbUtil.h"

#include <QDateTime>

#include "app/Messages.h"
#include "data/Globals.h"
#include "data/dbFiles.h"
#include "xbase/fileio.h"
#include "xbase/library.h"
#include "xbase/table.h"

double PauseScale = 1.0;

namespace {

bool fileExists(xbase::FileSystem& fs, const std::string& dir, const char* name) {
    return fs.exists(xbase::resolveName(fs, dir, name));
}

// closeAll destroys every open table, so none of the global handles may outlive it.
void forgetTables() { AddrBookTable = LabelsTable = SettingsTable = ImportTable = nullptr; }

// Opens `baseName` alone, writes its index anew and closes every table. Failures end the program.
void rebuildOne(const char* baseName, const char* group, const char* tagName, const char* key) {
    xbase::Table* t = LibHandle->open(baseName);
    if (!t && !LibHandle->exitTest())
        LibHandle->record(xbase::Status::error(xbase::ErrorKind::IoError,
                                               std::string(baseName) + ".dbf", "cannot open table"),
                          xbase::kErrOpen);
    ExitTest();

    xbase::TagSpec tag;
    tag.name = tagName;
    tag.expression = key;
    const int rc = t->createIndex(group, {tag});
    if (rc < 0 && !LibHandle->exitTest())
        LibHandle->record(xbase::Status::error(xbase::ErrorKind::IoError,
                                               std::string(tagName) + ".ntx",
                                               "cannot write index"),
                          rc);
    LibHandle->closeAll();
    forgetTables();
    ExitTest();
}

}  // namespace

bool DataFilesPresent() {
    xbase::FileSystem& fs = xbase::FileSystem::real();
    return fileExists(fs, ".", "AddrBook.dbf") && fileExists(fs, ".", "LABELS.dbf");
}

void RebuildIndexes(bool onlyIfMissing) {
    if (!LibHandle) return;
    xbase::Library& lib = *LibHandle;
    xbase::FileSystem& fs = lib.fs();
    const std::string& dir = lib.directory();

    // Tables open without their indexes, existing index files may be overwritten, and no one
    // else may write meanwhile.
    lib.setAutoOpen(false);
    lib.setSafety(false);
    lib.setAccessMode(xbase::AccessMode::Exclusive);

    if (!(onlyIfMissing && fileExists(fs, dir, "Address.ntx") && fileExists(fs, dir, "AddrBook.cgp")))
        rebuildOne("AddrBook", "AddrBook", "Address", "Upper(Last + First)");
    if (!(onlyIfMissing && fileExists(fs, dir, "Labels.ntx") && fileExists(fs, dir, "LABELS.cgp")))
        rebuildOne("LABELS", "LABELS", "Labels", "Name");

    lib.setAutoOpen(true);
    lib.setSafety(true);
    lib.setAccessMode(xbase::AccessMode::Shared);
}

void ExitTest() {
    if (!LibHandle || !LibHandle->exitTest()) return;
    Messages::info(QString::fromStdString(LibHandle->lastError().toString()) +
                   QStringLiteral("\r\nProgram will now terminate."));
    ExitProgram(1);
}

void Pause(double days) {
    const qint64 spanMs = static_cast<qint64>(days * PauseScale * 86400.0 * 1000.0 + 0.5);
    const qint64 until = QDateTime::currentMSecsSinceEpoch() + spanMs;
    while (QDateTime::currentMSecsSinceEpoch() < until) {
    }
}
