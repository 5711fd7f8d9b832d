#include "backup/Backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QStorageInfo>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <vector>

#include "app/Forms.h"
#include "app/Main.h"
#include "app/Messages.h"
#include "backup/DriveDirU.h"
#include "data/DbUtil.h"
#include "data/Globals.h"
#include "data/Schema.h"
#include "xbase/library.h"

namespace {

xbase::FileSystem* g_fs = nullptr;
std::function<void(const QString&)> g_status;
std::function<bool(const QString&)> g_removable;

const char* const kTables[3] = {"LABELS.dbf", "AddrBook.dbf", "importf.dbf"};

xbase::FileSystem& fileSystem() {
    if (g_fs) return *g_fs;
    if (LibHandle) return LibHandle->fs();
    return xbase::FileSystem::real();
}

void setStatus(const QString& text) {
    if (g_status) {
        g_status(text);
        return;
    }
    if (Quenlow) {
        if (text.isEmpty())
            Quenlow->statusBar()->clearMessage();
        else
            Quenlow->statusBar()->showMessage(text);
        Quenlow->statusBar()->repaint();
    }
}

std::string local(const QString& s) { return QFile::encodeName(s).toStdString(); }

QString detail(const xbase::Status& s) { return QString::fromStdString(s.toString()); }

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
    for (const TableSchema& t : DataTables()) {
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
    for (const TableSchema& t : DataTables())
        if (!t.tag.empty() &&
            QString::fromStdString(t.fileName).compare(tableFile, Qt::CaseInsensitive) == 0)
            fs.remove(xbase::resolveName(fs, dataDir, t.tag + ".ntx") + ".pending");
}

}  // namespace

void SetBackupFileSystem(xbase::FileSystem* fs) { g_fs = fs; }
void SetBackupStatusSink(std::function<void(const QString&)> sink) { g_status = std::move(sink); }
void SetRemovableTest(std::function<bool(const QString&)> test) { g_removable = std::move(test); }

QString NormalizedDirectory(const QString& dir) {
    QString d = dir.trimmed();
    if (!d.endsWith(QLatin1Char('/'))) d += QLatin1Char('/');
    return d;
}

QString DataDirectory() {
    const QString dir = LibHandle ? QString::fromStdString(LibHandle->directory()) : QStringLiteral(".");
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
    if (g_removable) return g_removable(dir);
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

xbase::Status SafeCopyFile(xbase::FileSystem& fs, const std::string& source,
                           const std::string& target) {
    static std::atomic<int> serial{0};
    std::unique_ptr<xbase::File> in;
    XB_TRY(fs.open(source, xbase::OpenMode::Read, &in));
    const std::string dir = xbase::dirName(target);
    removeStoppedCopies(fs, dir, target);
    const std::string tmp = xbase::joinPath(
        dir, "." + xbase::baseName(target) + ".part" + std::to_string(::getpid()) + "-" +
                 std::to_string(++serial));
    std::unique_ptr<xbase::File> out;
    XB_TRY(fs.open(tmp, xbase::OpenMode::CreateTruncate, &out));

    xbase::Status s;
    std::vector<char> buf(1 << 20);
    uint64_t offset = 0;
    for (;;) {
        size_t got = 0;
        s = in->read(offset, buf.data(), buf.size(), &got);
        if (!s.ok() || got == 0) break;
        s = out->write(offset, buf.data(), got);
        if (!s.ok()) break;
        offset += got;
    }
    if (s.ok()) s = out->sync();
    out.reset();
    in.reset();
    if (s.ok()) s = fs.rename(tmp, target);
    if (!s.ok()) {
        fs.remove(tmp);
        return s;
    }
    fs.syncDir(dir.empty() ? "." : dir);
    return s;
}

bool CopyDataFile(bool backup, const QString& dir, const QString& fileName) {
    xbase::FileSystem& fs = fileSystem();
    const QString d = NormalizedDirectory(dir);
    const std::string data = local(DataDirectory());
    const std::string name = local(fileName);
    for (;;) {
        // The name as it is spelt where the file already is, in any letter case.
        const std::string there = xbase::resolveName(fs, local(d), name);
        const std::string here = xbase::resolveName(fs, data, name);
        const std::string source = backup ? here : there;
        const std::string target = backup ? there : here;
        const QString shownSource = backup ? fileName : d + fileName;

        if (!fs.exists(source)) {
            if (!backup && IsOnRemovableVolume(d)) {
                if (!Messages::okCancel(QStringLiteral("Insert disk containing ") + fileName)) return false;
                continue;
            }
            Messages::info(QStringLiteral("Unable to find ") + shownSource +
                           QStringLiteral("\r\nFunction Aborted"));
            return false;
        }

        bool marked = false;
        xbase::Status s = backup ? xbase::Status::Ok() : markIndexBehind(fs, data, fileName, &marked);
        if (s.ok()) s = SafeCopyFile(fs, source, target);
        if (s.ok()) return true;
        // The table in the data directory is the old one still: so is its index.
        if (marked) unmarkIndex(fs, data, fileName);
        if (backup && s.kind == xbase::ErrorKind::NoSpace) {
            if (!Messages::okCancel(QStringLiteral("Disk Full. Insert another disk.") + fileName))
                return false;
            continue;
        }
        if (backup && s.kind == xbase::ErrorKind::ReadOnly) {
            if (!Messages::okCancel(QStringLiteral("Disk is Write Protected"))) return false;
            continue;
        }
        // Any other failure: say what went wrong; the user may try again or stop. The old copy
        // at the target is still whole.
        if (!Messages::okCancel(QStringLiteral("Unable to copy ") + shownSource +
                                QStringLiteral("\r\n") + detail(s) +
                                QStringLiteral("\r\nOK tries again, Cancel stops.")))
            return false;
    }
}

bool CopyDataFiles(bool backup, const QString& dir, int* copied) {
    const QString d = NormalizedDirectory(dir);
    const QString verb = backup ? QStringLiteral("Backing up ") : QStringLiteral("Restoring ");
    if (copied) *copied = 0;
    for (const char* table : kTables) {
        const QString name = QString::fromLatin1(table);
        setStatus(verb + name);
        if (!CopyDataFile(backup, d, name)) return false;
        if (copied) ++*copied;
    }
    return true;
}

bool BackupTo(const QString& chosenDir) {
    if (chosenDir.trimmed().isEmpty()) return false;
    if (SameDirectory(chosenDir, DataDirectory())) {
        Messages::info(QStringLiteral("Backup must be to a different drive and/or directory"));
        return false;
    }
    if (!CopyDataFiles(true, chosenDir)) {
        Messages::info(QStringLiteral("Backup Failed . . Check that disk is not write protected"));
        return false;
    }
    setStatus(QStringLiteral("Backup Complete"));
    Pause(0.00002);
    setStatus(QString());
    return true;
}

bool RestoreFrom(const QString& chosenDir) {
    if (chosenDir.trimmed().isEmpty()) return false;
    if (SameDirectory(chosenDir, DataDirectory())) {
        Messages::info(QStringLiteral("Restore must be from a different drive and/or directory"));
        return false;
    }
    int copied = 0;
    const bool ok = CopyDataFiles(false, chosenDir, &copied);
    if (copied > 0) {
        // Even after a partial restore the indexes must match the tables now in place.
        setStatus(QStringLiteral("Now reindexing data files"));
        RebuildIndexes(false);
    }
    if (!ok) {
        Messages::info(QStringLiteral("Restore Failed . . Check that your disk is not full."));
        return false;
    }
    setStatus(QStringLiteral("Restore Complete"));
    Pause(0.00002);
    setStatus(QString());
    return true;
}

namespace {
QString chooseDirectory(const QString& caption, const QString& button) {
    if (!DriveDir) return QString();
    DriveDir->setWindowTitle(caption);
    DriveDir->BtnOK->setText(button);
    DriveDir->refreshVolumes();
    DriveDir->exec();
    return ChosenDir;
}
}  // namespace

void BackupData1Click() {
    const QString dir = chooseDirectory(QStringLiteral("Choose Backup Drive & Directory"),
                                        QStringLiteral("Backup"));
    if (Quenlow) Quenlow->repaint();
    BackupTo(dir);
}

void RestoreData1Click() {
    const QString dir = chooseDirectory(QStringLiteral("Choose Drive & Directory Containing BACKUP"),
                                        QStringLiteral("Restore"));
    if (dir.isEmpty()) return;
    if (Quenlow) Quenlow->repaint();
    RestoreFrom(dir);
}
