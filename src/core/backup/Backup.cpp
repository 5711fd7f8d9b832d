#include "core/backup/Backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <vector>

#include "core/data/CardLog.h"
#include "core/print/Printers.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/labels/SheetMemory.h"
#include "xbase/Library.h"

namespace {

std::string local(const QString& s) { return QFile::encodeName(s).toStdString(); }

QString detail(const xbase::Status& s) { return QString::fromStdString(s.toString()); }

bool removable(const RunContext& ctx, const QString& dir) {
    return ctx.removable ? ctx.removable(dir) : IsOnRemovableVolume(dir);
}

// The tables of our own beside the four: the card log, the printers' corrections and where the
// last sheet of each stock stopped. Copied with the others when they are there, never asked for.
std::vector<const TableSchema*> logTables() {
    return {&CardsSchema(), &CardMarksSchema(), &PrintersSchema(), &SheetsSchema()};
}

const TableSchema* anyTable(const std::string& fileName) {
    if (const TableSchema* t = FindTable(fileName)) return t;
    for (const TableSchema* t : logTables())
        if (QString::fromStdString(t->fileName).compare(QString::fromStdString(fileName), Qt::CaseInsensitive) == 0)
            return t;
    return nullptr;
}

// Every table with an index, the log's included.
std::vector<const TableSchema*> indexedTables() {
    std::vector<const TableSchema*> out;
    for (const TableSchema& t : DataTables()) out.push_back(&t);
    out.push_back(&CardsSchema());
    return out;
}

// The check a copy of `fileName` must pass before it replaces anything.
SafeCopyCheck tableCheck(const QString& fileName) {
    const TableSchema* schema = anyTable(local(fileName));
    if (!schema) return {};
    return [schema](xbase::FileSystem& fs, const std::string& copy) { return CheckTableFile(fs, copy, *schema); };
}

// A restored table arrives without its index: until RestoreFrom has rebuilt it, the index file in
// the data directory still describes the table that was replaced. Before the copy the index is
// marked as behind its table, with the marker the engine leaves beside an index it has not
// brought up to date, so that a program stopped before the rebuild (killed, power lost, the
// rebuild failing) has the index rebuilt when the table is next opened, and the check reports
// it, instead of showing the restored rows through the old index. The rebuild removes the marker.
// *made tells whether this call created it (false when there was one already, or no index).
xbase::Status markIndexBehind(xbase::FileSystem& fs, const std::string& dataDir,
                              const QString& tableFile, bool* made) {
    *made = false;
    for (const TableSchema* tp : indexedTables()) {
        const TableSchema& t = *tp;
        if (t.tag.empty() ||
            QString::fromStdString(t.fileName).compare(tableFile, Qt::CaseInsensitive) != 0)
            continue;
        const std::string index = xbase::resolveName(fs, dataDir, t.tag + ".ntx");
        // A missing index is rebuilt at start-up; an existing marker stays as it is.
        if (!fs.exists(index) || fs.exists(index + ".pending")) return xbase::Status::Ok();
        std::unique_ptr<xbase::File> marker;
        XB_TRY(fs.open(index + ".pending", xbase::OpenMode::CreateTruncate, &marker));
        *made = true;
        xbase::Status s = marker->sync();
        marker.reset();
        if (s.ok()) s = fs.syncDir(dataDir);
        if (!s.ok()) {
            fs.remove(index + ".pending");
            *made = false;
        }
        return s;
    }
    return xbase::Status::Ok();
}

void unmarkIndex(xbase::FileSystem& fs, const std::string& dataDir, const QString& tableFile) {
    for (const TableSchema* t : indexedTables())
        if (!t->tag.empty() &&
            QString::fromStdString(t->fileName).compare(tableFile, Qt::CaseInsensitive) == 0)
            fs.remove(xbase::resolveName(fs, dataDir, t->tag + ".ntx") + ".pending");
}

}  // namespace

QString NormalizedDirectory(const QString& dir) {
    QString d = dir.trimmed();
    if (!d.endsWith(QLatin1Char('/'))) d += QLatin1Char('/');
    return d;
}

QString DataDirectory(const RunContext& ctx) {
    const QString dir = ctx.lib ? QString::fromStdString(ctx.lib->directory()) : QStringLiteral(".");
    return QDir(dir).absolutePath();
}

bool SameDirectory(const QString& a, const QString& b) {
    const QString ta = a.trimmed(), tb = b.trimmed();
    if (ta == tb) return true;
    const QString ca = QFileInfo(ta).canonicalFilePath(), cb = QFileInfo(tb).canonicalFilePath();
    if (!ca.isEmpty() && ca == cb) return true;
    return QDir::cleanPath(QDir(ta).absolutePath()) == QDir::cleanPath(QDir(tb).absolutePath());
}

bool IsOnRemovableVolume(const QString& dir) {
    // The directory may be gone with its disk: look at the nearest place that exists.
    QString path = QDir::cleanPath(QDir(dir.trimmed()).absolutePath());
    while (!QFileInfo::exists(path) && path != QLatin1String("/")) path = QFileInfo(path).path();
    const QStorageInfo vol(path);
    if (!vol.isValid() || vol.rootPath() == QLatin1String("/")) return false;
    const QString root = vol.rootPath();
    if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/run/media/")))
        return true;
    QString dev = QString::fromLocal8Bit(vol.device());
    if (!dev.startsWith(QLatin1String("/dev/"))) return false;
    dev = dev.mid(5);
    const QString sys = QStringLiteral("/sys/class/block/") + dev;
    for (const QString& f : {sys + QStringLiteral("/removable"),
                             QFileInfo(sys).canonicalFilePath() + QStringLiteral("/../removable")}) {
        QFile flag(f);
        if (flag.open(QIODevice::ReadOnly)) return flag.readAll().trimmed() == "1";
    }
    return false;
}

namespace {
// A copy stopped part-way (the program killed, the power cut) leaves its temporary file behind,
// named ".<target>.part<pid>-<n>". The next copy to the same target removes such files, so that
// they do not pile up in the data or backup directory.
void removeStoppedCopies(xbase::FileSystem& fs, const std::string& dir, const std::string& target) {
    std::vector<std::string> names;
    if (!fs.listDir(dir.empty() ? "." : dir, &names).ok()) return;
    const std::string prefix = "." + xbase::baseName(target) + ".part";
    for (const std::string& n : names) {
        if (n.size() <= prefix.size() || n.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = n.substr(prefix.size());
        const size_t dash = rest.find('-');
        const auto digits = [](const std::string& t) {
            return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos;
        };
        if (dash != std::string::npos && digits(rest.substr(0, dash)) && digits(rest.substr(dash + 1)))
            fs.remove(xbase::joinPath(dir, n));
    }
}
}  // namespace

xbase::Status SafeCopyFile(xbase::FileSystem& fs, const std::string& source, const std::string& target,
                           const SafeCopyCheck& check) {
    static std::atomic<int> serial{0};
    std::unique_ptr<xbase::File> in;
    XB_TRY(fs.open(source, xbase::OpenMode::Read, &in));
    const std::string dir = xbase::dirName(target);
    removeStoppedCopies(fs, dir, target);
    const std::string tmp = xbase::joinPath(
        dir, "." + xbase::baseName(target) + ".part" + std::to_string(::getpid()) + "-" +
                 std::to_string(++serial));
    const auto copy = [&](xbase::File& out) {
        std::vector<char> buf(1 << 20);
        for (uint64_t offset = 0;;) {
            size_t got = 0;
            XB_TRY(in->read(offset, buf.data(), buf.size(), &got));
            if (got == 0) return xbase::Status::Ok();
            XB_TRY(out.write(offset, buf.data(), got));
            offset += got;
        }
    };
    // The copy as it lies on the disk, not the source, is what would replace the target.
    const auto verify = [&]() {
        if (!check) return xbase::Status::Ok();
        xbase::Status s = check(fs, tmp);
        if (!s.ok()) s.file = source;
        return s;
    };
    return xbase::replaceFile(fs, target, tmp, true, copy, verify);
}

bool CopyDataFile(const RunContext& ctx, bool backup, const QString& dir, const QString& fileName) {
    xbase::FileSystem& fs = ctx.fileSystem();
    Prompts& ask = *ctx.prompts;
    const QString d = NormalizedDirectory(dir);
    const std::string data = local(DataDirectory(ctx));
    const std::string name = local(fileName);
    for (;;) {
        // The name as it is spelt where the file already is, in any letter case.
        const std::string there = xbase::resolveName(fs, local(d), name);
        const std::string here = xbase::resolveName(fs, data, name);
        const std::string source = backup ? here : there;
        const std::string target = backup ? there : here;
        const QString shownSource = backup ? fileName : d + fileName;

        if (!fs.exists(source)) {
            if (!backup && removable(ctx, d)) {
                if (!ask.okCancel(QStringLiteral("Insert disk containing ") + fileName)) return false;
                continue;
            }
            ask.info(QStringLiteral("Unable to find ") + shownSource + QStringLiteral("\r\nFunction Aborted"));
            return false;
        }

        bool marked = false;
        xbase::Status s = backup ? xbase::Status::Ok() : markIndexBehind(fs, data, fileName, &marked);
        if (s.ok()) s = SafeCopyFile(fs, source, target, tableCheck(fileName));
        if (s.ok()) return true;
        // The table in the data directory is the old one still: so is its index.
        if (marked) unmarkIndex(fs, data, fileName);
        if (s.kind == xbase::ErrorKind::Corrupt || s.kind == xbase::ErrorKind::Unsupported) {
            // Trying again copies the same damage: stop, with the file and what is wrong with it.
            ask.info(shownSource + QStringLiteral(" is damaged and was not copied:\r\n") + detail(s) +
                     (backup ? QStringLiteral("\r\nThe previous backup of it is kept.")
                             : QStringLiteral("\r\nThe table in use is kept as it was.")));
            return false;
        }
        if (backup && s.kind == xbase::ErrorKind::NoSpace) {
            if (!ask.okCancel(QStringLiteral("Disk Full. Insert another disk.") + fileName)) return false;
            continue;
        }
        if (backup && s.kind == xbase::ErrorKind::ReadOnly) {
            if (!ask.okCancel(QStringLiteral("Disk is Write Protected"))) return false;
            continue;
        }
        // Any other failure: say what went wrong; the user may try again or stop. The old copy
        // at the target is still whole.
        if (!ask.okCancel(QStringLiteral("Unable to copy ") + shownSource + QStringLiteral("\r\n") + detail(s) +
                          QStringLiteral("\r\nOK tries again, Cancel stops.")))
            return false;
    }
}

bool CopyDataFiles(const RunContext& ctx, bool backup, const QString& dir, int* copied) {
    const QString d = NormalizedDirectory(dir);
    const QString verb = backup ? QStringLiteral("Backing up ") : QStringLiteral("Restoring ");
    if (copied) *copied = 0;
    for (const TableSchema* table : BackupTables()) {
        const QString name = QString::fromStdString(table->fileName);
        ctx.prompts->status(verb + name);
        if (!CopyDataFile(ctx, backup, d, name)) return false;
        if (copied) ++*copied;
    }
    // The card log goes along when there is one to copy; a backup made before there was a log
    // restores without it (the log in use is then brought in step with the restored book).
    xbase::FileSystem& fs = ctx.fileSystem();
    const std::string from = local(backup ? DataDirectory(ctx) : d);
    for (const TableSchema* table : logTables()) {
        if (!fs.exists(xbase::resolveName(fs, from, table->fileName))) continue;
        const QString name = QString::fromStdString(table->fileName);
        ctx.prompts->status(verb + name);
        if (!CopyDataFile(ctx, backup, d, name)) return false;
        if (copied) ++*copied;
    }
    return true;
}

QString CheckBackupFiles(const RunContext& ctx, const QString& dir) {
    xbase::FileSystem& fs = ctx.fileSystem();
    const QString d = NormalizedDirectory(dir);
    for (const TableSchema* table : BackupTables()) {
        const QString name = QString::fromStdString(table->fileName);
        const std::string path = xbase::resolveName(fs, local(d), table->fileName);
        if (!fs.exists(path))
            return QStringLiteral("Unable to find ") + d + name + QStringLiteral("\r\nFunction Aborted");
        const xbase::Status s = CheckTableFile(fs, path, *table);
        if (!s.ok())
            return d + name + QStringLiteral(" is damaged: ") + QString::fromStdString(s.message) +
                   QStringLiteral("\r\nNothing was restored; the tables in use are kept as they were.");
    }
    for (const TableSchema* table : logTables()) {
        const std::string path = xbase::resolveName(fs, local(d), table->fileName);
        if (!fs.exists(path)) continue;
        const xbase::Status s = CheckTableFile(fs, path, *table);
        if (!s.ok())
            return d + QString::fromStdString(table->fileName) + QStringLiteral(" is damaged: ") +
                   QString::fromStdString(s.message) +
                   QStringLiteral("\r\nNothing was restored; the tables in use are kept as they were.");
    }
    return QString();
}

bool BackupTo(const RunContext& ctx, const QString& chosenDir) {
    if (chosenDir.trimmed().isEmpty()) return false;
    LibraryBinding bound(ctx);
    if (SameDirectory(chosenDir, DataDirectory(ctx))) {
        ctx.prompts->info(QStringLiteral("Backup must be to a different drive and/or directory"));
        return false;
    }
    if (!CopyDataFiles(ctx, true, chosenDir)) {
        ctx.prompts->info(QStringLiteral("Backup Failed . . Check that disk is not write protected"));
        return false;
    }
    ctx.prompts->status(QStringLiteral("Backup Complete"));
    ctx.wait(0.00002);
    ctx.prompts->status(QString());
    return true;
}

bool RestoreFrom(const RunContext& ctx, const QString& chosenDir) {
    if (chosenDir.trimmed().isEmpty()) return false;
    LibraryBinding bound(ctx);
    if (SameDirectory(chosenDir, DataDirectory(ctx))) {
        ctx.prompts->info(QStringLiteral("Restore must be from a different drive and/or directory"));
        return false;
    }
    // A backup on a fixed disk is checked whole before anything is replaced. One on removable
    // disks may span several, asked for one by one: each file is checked as it is copied.
    if (!removable(ctx, NormalizedDirectory(chosenDir))) {
        const QString refusal = CheckBackupFiles(ctx, chosenDir);
        if (!refusal.isEmpty()) {
            ctx.prompts->info(refusal);
            return false;
        }
    }
    int copied = 0;
    const bool ok = CopyDataFiles(ctx, false, chosenDir, &copied);
    bool indexed = true;
    if (copied > 0) {
        // Even after a partial restore the indexes must match the tables now in place; the
        // rebuild also brings the card log, restored or not, in step with the book.
        ctx.prompts->status(QStringLiteral("Now reindexing data files"));
        const DataStatus rebuilt = RebuildIndexes(false);
        if (!rebuilt) {
            indexed = false;
            ctx.prompts->info(QStringLiteral("Unable to rebuild the indexes after the restore:\r\n") +
                              rebuilt.toString() +
                              QStringLiteral("\r\nThey are rebuilt when the program next starts."));
            if (ctx.lib) ctx.lib->errorCode();  // told; the rebuild marker stays for next time
        }
    }
    if (!ok) {
        ctx.prompts->info(QStringLiteral("Restore Failed . . Check that your disk is not full."));
        return false;
    }
    if (!indexed) return false;
    ctx.prompts->status(QStringLiteral("Restore Complete"));
    ctx.wait(0.00002);
    ctx.prompts->status(QString());
    return true;
}
