#include "core/data/DataFiles.h"

#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>

#include "core/data/Globals.h"
#include "core/data/OwnTables.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

double PauseScale = 1.0;

namespace {

bool fileExists(xbase::FileSystem& fs, const std::string& dir, const char* name) {
    return fs.exists(xbase::resolveName(fs, dir, name));
}

// closeAll destroys every open table, so none of the global handles may outlive it.
void forgetTables() { AddrBookTable = LabelsTable = SettingsTable = ImportTable = nullptr; }

// Opens `baseName` alone, writes its index anew and closes every table.
DataStatus rebuildOne(const char* baseName, const char* group, const char* tagName, const char* key) {
    xbase::Table* t = LibHandle->open(baseName);
    if (!t && !LibHandle->exitTest())
        LibHandle->record(xbase::Status::error(xbase::ErrorKind::IoError,
                                               std::string(baseName) + ".dbf", "cannot open table"),
                          xbase::kErrOpen);
    if (!t) {
        LibHandle->closeAll();
        forgetTables();
        return LibraryStatus();
    }

    xbase::TagSpec tag;
    tag.name = tagName;
    tag.expression = key;
    const int rc = t->createIndex(group, {tag});
    if (rc < 0 && !LibHandle->exitTest())
        LibHandle->record(xbase::Status::error(xbase::ErrorKind::IoError,
                                               std::string(tagName) + ".ntx",
                                               "cannot write index"),
                          rc);
    const int closed = LibHandle->closeAll();
    forgetTables();
    if (closed < 0 && !LibHandle->exitTest())
        LibHandle->record(xbase::Status::error(xbase::ErrorKind::IoError,
                                               std::string(baseName) + ".dbf", "cannot close"),
                          closed);
    return LibraryStatus();
}

}  // namespace

bool DataFilesPresent() {
    xbase::FileSystem& fs = xbase::FileSystem::real();
    const auto& t = DataTables();  // AddrBook, LABELS first
    return fileExists(fs, ".", t[0].fileName.c_str()) && fileExists(fs, ".", t[1].fileName.c_str());
}

DataStatus RebuildIndexes(bool onlyIfMissing) {
    if (!LibHandle) return DataStatus::failure(QStringLiteral("?"), QStringLiteral("no table library"));
    xbase::Library& lib = *LibHandle;
    xbase::FileSystem& fs = lib.fs();
    const std::string& dir = lib.directory();

    // Tables open without their indexes, existing index files may be overwritten, and no one
    // else may write meanwhile.
    lib.setAutoOpen(false);
    lib.setSafety(false);
    lib.setAccessMode(xbase::AccessMode::Exclusive);

    DataStatus s;
    for (const TableSchema& t : DataTables()) {
        if (t.group.empty()) continue;
        // A group file that cannot be read, or that lists an index file that is not there, is as
        // good as missing: the table would not open through it; so is an index left unfinished.
        if (onlyIfMissing && IndexFilesPresent(fs, dir, t)) continue;
        s = rebuildOne(t.baseName.c_str(), t.group.c_str(), t.tag.c_str(), t.key.c_str());
        if (!s) break;
    }

    // The indexes of the tables of our own go with the others (a full rebuild also puts every
    // card of the log back on its person).
    for (const OwnTable& own : OwnTables()) {
        if (!s) break;
        if (own.schema.group.empty()) continue;
        const xbase::Status c = RebuildOwnTable(lib, own, onlyIfMissing);
        if (!c.ok()) {
            lib.record(c, xbase::errorCodeFor(c));
            s = LibraryStatus();
        }
    }

    lib.setAutoOpen(true);
    lib.setSafety(true);
    lib.setAccessMode(xbase::AccessMode::Shared);
    return s;
}

DataStatus LibraryStatus() {
    if (!LibHandle || !LibHandle->exitTest()) return DataStatus::Ok();
    const xbase::Status& e = LibHandle->lastError();
    return DataStatus::failure(QString::fromStdString(xbase::baseName(e.file)),
                               QString::fromStdString(e.toString()));
}

void Pause(double days) {
    const qint64 spanMs = static_cast<qint64>(days * PauseScale * 86400.0 * 1000.0 + 0.5);
    // Asleep in short steps until the span is over, on a clock that a change of the system's
    // time does not move.
    const QDeadlineTimer until(spanMs, Qt::PreciseTimer);
    while (!until.hasExpired()) QThread::msleep(static_cast<unsigned long>(std::clamp<qint64>(until.remainingTime(), 1, 20)));
}
