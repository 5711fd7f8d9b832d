#include "AdminBackup.h"

#include <QFileInfo>
#include <cstdio>

#include "AdminSession.h"
#include "core/backup/Backup.h"

namespace {

int run(const QStringList& args, bool backup) {
    const char* cmd = backup ? "backup" : "restore";
    const char* usage = backup ? kAdminBackupUsage : kAdminRestoreUsage;
    if (args.size() != 2) {
        std::fprintf(stderr, "merrowby-admin: %s: usage: %s\n", cmd, usage);
        return 2;
    }
    for (const QString& d : args)
        if (!QFileInfo(d).isDir()) {
            std::fprintf(stderr, "merrowby-admin: %s: no such directory: %s\n", cmd,
                         d.toLocal8Bit().constData());
            return 2;
        }

    // Both change files: the backup the target's, the restore the data directory's. Either way
    // nobody may be writing the tables meanwhile.
    AdminSession session(cmd, args.at(0), AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    const bool ok = backup ? BackupTo(session.context(), args.at(1)) : RestoreFrom(session.context(), args.at(1));
    const int closed = session.finish();
    return ok && closed == 0 ? 0 : 1;
}

}  // namespace

int AdminBackup(const QStringList& args) { return run(args, true); }
int AdminRestore(const QStringList& args) { return run(args, false); }
