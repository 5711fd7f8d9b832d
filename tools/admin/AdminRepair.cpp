// merrowby-admin repair DIR: mends a data folder whose tables lost count of their rows (a header
// that counts fewer rows than its file holds, which every writer refuses and `check` names).
// Under the data-folder lock it keeps a copy of each table it changes beside it
// (AddrBook.dbf.orig-YYYYMMDD-HHMMSS), makes each header count every whole row of its file, and
// then rebuilds the indexes as `reindex` does. Exit status 0 when every table counts its rows and
// every index was rebuilt; 1 when something could not be mended (said on standard error); 2 for
// bad arguments.

#include <QDateTime>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/backup/Backup.h"
#include "core/data/DataFiles.h"
#include "core/data/OwnTables.h"
#include "core/data/Schema.h"
#include "xbase/Dbf.h"
#include "xbase/Library.h"

extern const AdminCommand kAdminRepair;

namespace {

// "<table file>.orig-<stamp>", or with "-2", "-3" ... when that is taken.
std::string copyPath(xbase::FileSystem& fs, const std::string& path, const QString& stamp) {
    const std::string base = path + ".orig-" + stamp.toStdString();
    std::string p = base;
    for (int n = 2; fs.exists(p); ++n) p = base + "-" + std::to_string(n);
    return p;
}

int run(const QStringList& args) {
    AdminArgs a("repair", kAdminRepair.usage);
    if (!a.parse(args, 1, 1) || !a.isDirectory(a.plain(0))) return 2;
    AdminSession session("repair", a.plain(0), AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    xbase::FileSystem& fs = session.library().fs();
    const std::string dir = session.library().directory();

    // Every table is looked at before any is changed: one damaged in another way stops the
    // command with nothing changed, for what is wrong with it is not a count to mend.
    std::vector<std::string> lost;
    for (const TableSchema* t : FolderTables()) {
        const std::string path = xbase::resolveName(fs, dir, t->fileName);
        if (!fs.exists(path)) continue;
        std::unique_ptr<xbase::DbfFile> dbf;
        const xbase::Status s = xbase::DbfFile::open(fs, path, true, &dbf);
        if (!s.ok())
            return session.fail(QString::fromStdString(s.toString()) +
                                QStringLiteral("; repair mends only a count that lost rows, nothing was changed"));
        if (dbf->rowsPastCount() > 0) lost.push_back(path);
    }

    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (const std::string& path : lost) {
        const std::string copy = copyPath(fs, path, stamp);
        xbase::Status s = SafeCopyFile(fs, path, copy);
        uint32_t before = 0, after = 0;
        if (s.ok()) s = xbase::DbfFile::recount(fs, path, &before, &after);
        if (!s.ok())
            return session.fail(QString::fromStdString(s.toString()) + QStringLiteral("; no index was rebuilt"));
        std::printf("%s: its header counted %u of the %u rows in the file; it counts them all now "
                    "(the file as it was is kept as %s)\n",
                    xbase::baseName(path).c_str(), before, after, xbase::baseName(copy).c_str());
    }
    if (lost.empty()) std::printf("every table counted all its rows\n");
    std::fflush(stdout);

    for (const TableSchema& t : DataTables()) {
        if (t.group.empty()) continue;
        const xbase::Status s = CheckTableFile(fs, xbase::resolveName(fs, dir, t.fileName), t);
        if (!s.ok())
            return session.fail(QString::fromStdString(s.toString()) + QStringLiteral("; no index was rebuilt"));
    }
    const DataStatus rebuilt = RebuildIndexes(false);
    if (!rebuilt) return session.fail(rebuilt, QStringLiteral("Unable to rebuild the indexes: "));
    std::printf("rebuilt the indexes\n");
    return session.finish();
}

}  // namespace

extern const AdminCommand kAdminRepair = {"repair", false, run, "merrowby-admin repair DIR"};
