#include "core/backup/Backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <atomic>
#include <cerrno>
#include <memory>
#include <vector>

#include "core/data/DataFiles.h"
#include "core/data/DataLock.h"
#include "core/data/Globals.h"
#include "core/data/OwnTables.h"
#include "core/data/Schema.h"
#include "xbase/Library.h"

namespace {

std::string local(const QString& s) { return QFile::encodeName(s).toStdString(); }

QString detail(const xbase::Status& s) { return QString::fromStdString(s.toString()); }

bool removable(const RunContext& ctx, const QString& dir) {
    return ctx.removable ? ctx.removable(dir) : IsOnRemovableVolume(dir);
}

// The tables of our own that a backup carries: copied with the four when they are there, never
// asked for.
std::vector<const TableSchema*> carriedTables() {
    std::vector<const TableSchema*> out;
    for (const OwnTable& t : OwnTables())
        if (t.carried) out.push_back(&t.schema);
    return out;
}

const TableSchema* anyTable(const std::string& fileName) {
    const TableSchema* t = FindTable(fileName);
    return t ? t : FindOwnTable(fileName);
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
    const TableSchema* t = anyTable(local(tableFile));
    if (!t || t->tag.empty()) return xbase::Status::Ok();
    const std::string index = xbase::resolveName(fs, dataDir, t->tag + ".ntx");
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

void unmarkIndex(xbase::FileSystem& fs, const std::string& dataDir, const QString& tableFile) {
    if (const TableSchema* t = anyTable(local(tableFile)); t && !t->tag.empty())
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

xbase::Status SafeCopyFile(xbase::FileSystem& fs, const std::string& source, const std::string& target,
                           const SafeCopyCheck& check, CopyPermissions permissions) {
    static std::atomic<int> serial{0};
    std::unique_ptr<xbase::File> in;
    XB_TRY(fs.open(source, xbase::OpenMode::Read, &in));
    // A copy killed part-way left its temporary file: the next copy to the same target takes it.
    xbase::removeLeftovers(fs, xbase::dirName(target), xbase::baseName(target));
    const std::string tmp = xbase::copyTempPath(target, ++serial);
    const bool fromSource = permissions == CopyPermissions::FromSource || !fs.exists(target);
    const auto copy = [&](xbase::File& out) {
        // Before any byte is written: a private table is never readable by others, not even
        // while it is being copied. (A replaced target's own mode is set by replaceFile.)
        if (fromSource) xbase::keepPermissions(fs, source, out);
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
    xbase::Status s = xbase::replaceFile(fs, target, tmp, true, copy, verify);
    if (!s.ok() && s.file == tmp) s.file = target;  // the user knows the target, not our temporary name
    return s;
}

namespace {

QString shown(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// What went wrong with `file` (a path as the user knows it), in words: permission, damage,
// space, or the system's own reason. `reading`: the file was being read, not written.
QString problem(const xbase::Status& s, const QString& file, bool reading) {
    const QString verb = reading ? QStringLiteral("Unable to read ") : QStringLiteral("Unable to write ");
    switch (s.kind) {
    case xbase::ErrorKind::NotFound: return QStringLiteral("Unable to find ") + file;
    case xbase::ErrorKind::Corrupt:
    case xbase::ErrorKind::Unsupported: return file + QStringLiteral(" is damaged: ") + QString::fromStdString(s.message);
    case xbase::ErrorKind::NoSpace: return verb + file + QStringLiteral(": the disk is full");
    default: break;
    }
    if (s.sysErrno == EACCES || s.sysErrno == EPERM) return verb + file + QStringLiteral(": permission denied");
    if (s.sysErrno == EROFS) return verb + file + QStringLiteral(": the disk is write protected");
    return verb + file + QStringLiteral(": ") + QString::fromStdString(s.message);
}

// True for a write refused because the disk is write protected rather than for want of
// permission, which no other disk would mend.
bool writeProtected(const xbase::Status& s) {
    return s.kind == xbase::ErrorKind::ReadOnly && s.sysErrno != EACCES && s.sysErrno != EPERM;
}

// `text` ending with a full stop, so that the next sentence reads on when line breaks are lost
// (the admin tool prints one line).
QString sentence(const QString& text) { return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.'); }

// The operation's failure message. With no reason of its own (a disk the user gave up on, a file
// not found) it is the one users know; otherwise it says what happened to which file, and what
// was copied before it.
QString failureText(bool backup, const QString& why, const QStringList& copied) {
    const QString head = backup ? QStringLiteral("Backup Failed . . ") : QStringLiteral("Restore Failed . . ");
    if (why.isEmpty())
        return head + (backup ? QStringLiteral("Check that disk is not write protected")
                              : QStringLiteral("Check that your disk is not full."));
    QString done;
    if (copied.isEmpty())
        done = backup ? QStringLiteral("Nothing was copied.") : QStringLiteral("Nothing was restored.");
    else
        done = (backup ? QStringLiteral("Copied before it: ") : QStringLiteral("Restored before it: ")) +
               copied.join(QStringLiteral(", ")) + QLatin1Char('.');
    return head + sentence(why) + QStringLiteral("\r\n") + done;
}

const QString kNothingRestored = QStringLiteral("Nothing was restored; the tables in use are kept as they were.");

}  // namespace

bool CopyDataFile(const RunContext& ctx, bool backup, const QString& dir, const QString& fileName, QString* why) {
    xbase::FileSystem& fs = ctx.fileSystem();
    Prompts& ask = *ctx.prompts;
    QString reason;
    const auto fail = [&](const QString& r) {
        if (why) *why = r;
        return false;
    };
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
        const QString shownTarget = backup ? d + fileName : fileName;

        if (!fs.exists(source)) {
            if (!backup && removable(ctx, d)) {
                if (!ask.okCancel(QStringLiteral("Insert disk containing ") + fileName)) return fail({});
                continue;
            }
            if (backup)
                return fail(QStringLiteral("Unable to find ") + fileName + QStringLiteral(" in the data folder ") +
                            NormalizedDirectory(DataDirectory(ctx)));
            ask.info(QStringLiteral("Unable to find ") + shownSource + QStringLiteral("\r\nFunction Aborted"));
            return fail({});
        }

        bool marked = false;
        xbase::Status s = backup ? xbase::Status::Ok() : markIndexBehind(fs, data, fileName, &marked);
        if (s.ok())
            s = SafeCopyFile(fs, source, target, tableCheck(fileName),
                             backup ? CopyPermissions::FromSource : CopyPermissions::KeepTarget);
        if (s.ok()) return true;
        // The table in the data directory is the old one still: so is its index.
        if (marked) unmarkIndex(fs, data, fileName);
        const bool reading = s.file == source;
        const QString file = reading ? shownSource : s.file == target ? shownTarget : shown(s.file);
        if (s.kind == xbase::ErrorKind::Corrupt || s.kind == xbase::ErrorKind::Unsupported) {
            // Trying again copies the same damage: stop, with the file and what is wrong with it.
            return fail(problem(s, file, true) +
                        (backup ? QStringLiteral("\r\nIt was not copied; an earlier backup of it is kept.")
                                : QStringLiteral("\r\nThe table in use is kept as it was.")));
        }
        // A file that cannot be read, or a folder that may not be written in, stays so however
        // often it is tried.
        if (reading || s.sysErrno == EACCES || s.sysErrno == EPERM) return fail(problem(s, file, reading));
        if (backup && s.kind == xbase::ErrorKind::NoSpace) {
            if (!ask.okCancel(QStringLiteral("Disk Full. Insert another disk.") + fileName)) return fail({});
            continue;
        }
        if (backup && writeProtected(s)) {
            if (!ask.okCancel(QStringLiteral("Disk is Write Protected"))) return fail({});
            continue;
        }
        // Any other failure: say what went wrong; the user may try again or stop. The old copy
        // at the target is still whole.
        if (!ask.okCancel(QStringLiteral("Unable to copy ") + shownSource + QStringLiteral("\r\n") + detail(s) +
                          QStringLiteral("\r\nOK tries again, Cancel stops.")))
            return fail(!backup && s.kind == xbase::ErrorKind::NoSpace ? QString() : problem(s, file, false));
    }
}

bool CopyDataFiles(const RunContext& ctx, bool backup, const QString& dir, QStringList* copied, QString* why) {
    const QString d = NormalizedDirectory(dir);
    const QString verb = backup ? QStringLiteral("Backing up ") : QStringLiteral("Restoring ");
    if (copied) copied->clear();
    const auto copyOne = [&](const QString& name) {
        ctx.prompts->status(verb + name);
        if (!CopyDataFile(ctx, backup, d, name, why)) return false;
        if (copied) copied->append(name);
        return true;
    };
    for (const TableSchema* table : BackupTables())
        if (!copyOne(QString::fromStdString(table->fileName))) return false;
    // The card log goes along when there is one to copy; a backup made before there was a log
    // restores without it (the log in use is then brought in step with the restored book).
    xbase::FileSystem& fs = ctx.fileSystem();
    const std::string from = local(backup ? DataDirectory(ctx) : d);
    for (const TableSchema* table : carriedTables()) {
        if (!fs.exists(xbase::resolveName(fs, from, table->fileName))) continue;
        if (!copyOne(QString::fromStdString(table->fileName))) return false;
    }
    return true;
}

QString CheckBackupFiles(const RunContext& ctx, const QString& dir, bool* missing) {
    xbase::FileSystem& fs = ctx.fileSystem();
    const QString d = NormalizedDirectory(dir);
    if (missing) *missing = false;
    // A folder that cannot be read would otherwise look empty.
    std::vector<std::string> names;
    const xbase::Status listed = fs.listDir(local(d), &names);
    if (!listed.ok() && listed.sysErrno != ENOENT && listed.sysErrno != 0) {
        xbase::Status s = listed;
        s.kind = xbase::ErrorKind::IoError;
        return problem(s, QStringLiteral("the folder ") + d, true);
    }
    for (const TableSchema* table : BackupTables()) {
        const QString name = QString::fromStdString(table->fileName);
        const std::string path = xbase::resolveName(fs, local(d), table->fileName);
        const xbase::Status s = CheckTableFile(fs, path, *table);
        if (s.ok()) continue;
        if (s.kind == xbase::ErrorKind::NotFound && !fs.exists(path)) {
            if (missing) *missing = true;
            return QStringLiteral("Unable to find ") + d + name + QStringLiteral("\r\nFunction Aborted");
        }
        return problem(s, d + name, true);
    }
    for (const TableSchema* table : carriedTables()) {
        const std::string path = xbase::resolveName(fs, local(d), table->fileName);
        if (!fs.exists(path)) continue;
        const xbase::Status s = CheckTableFile(fs, path, *table);
        if (!s.ok()) return problem(s, d + QString::fromStdString(table->fileName), true);
    }
    return QString();
}

QString BackupTargetRefusal(const QString& dir) {
    const QString d = NormalizedDirectory(dir);
    const QString tail = QStringLiteral(": a backup there would replace its tables.\r\n"
                                        "Choose an empty folder, or one that holds an earlier backup. "
                                        "Nothing was copied.");
    if (DataLockHeld(local(d)))
        return d + QStringLiteral(" is a data folder in use by Merrowby or merrowby-admin") + tail;
    // Index and group files, and the settings table, are in a data folder and never in a backup.
    const QStringList found = QDir(d).entryList({QStringLiteral("*.ntx"), QStringLiteral("*.cgp"),
                                                 QString::fromStdString(DataTables()[2].fileName)},  // Mrby1.dbf
                                                QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    if (!found.isEmpty())
        return d + QStringLiteral(" is a Merrowby data folder (it holds ") + found.first() + QLatin1Char(')') + tail;
    return QString();
}

bool BackupTo(const RunContext& ctx, const QString& chosenDir) {
    if (chosenDir.trimmed().isEmpty()) return false;
    LibraryBinding bound(ctx);
    if (SameDirectory(chosenDir, DataDirectory(ctx))) {
        ctx.prompts->info(QStringLiteral("Backup must be to a different drive and/or directory"));
        return false;
    }
    if (const QString refusal = BackupTargetRefusal(chosenDir); !refusal.isEmpty()) {
        ctx.prompts->info(refusal);
        return false;
    }
    // What an earlier backup here left when it was stopped part-way.
    xbase::removeLeftovers(ctx.fileSystem(), local(NormalizedDirectory(chosenDir)));
    QStringList copied;
    QString why;
    if (!CopyDataFiles(ctx, true, chosenDir, &copied, &why)) {
        ctx.prompts->info(failureText(true, why, copied));
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
        bool missing = false;
        const QString refusal = CheckBackupFiles(ctx, chosenDir, &missing);
        if (!refusal.isEmpty()) {
            if (missing) {
                // Which file is missing first, then the restore's own failure message.
                ctx.prompts->info(refusal);
                ctx.prompts->info(failureText(false, QString(), {}));
            } else {
                ctx.prompts->info(QStringLiteral("Restore Failed . . ") + sentence(refusal) + QStringLiteral("\r\n") +
                                  kNothingRestored);
            }
            return false;
        }
    }
    // What an earlier restore or index build left in the data folder when it was stopped.
    xbase::removeLeftovers(ctx.fileSystem(), local(DataDirectory(ctx)));
    QStringList copied;
    QString why;
    const bool ok = CopyDataFiles(ctx, false, chosenDir, &copied, &why);
    bool indexed = true;
    if (!copied.isEmpty()) {
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
        ctx.prompts->info(failureText(false, why, copied));
        return false;
    }
    if (!indexed) return false;
    ctx.prompts->status(QStringLiteral("Restore Complete"));
    ctx.wait(0.00002);
    ctx.prompts->status(QString());
    return true;
}
