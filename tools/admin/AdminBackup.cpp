// merrowby-admin backup DIR TARGET and restore DIR SOURCE: the routines of the setup page's
// buttons, headless. backup copies DIR's tables into TARGET; restore copies them from SOURCE into
// DIR and rebuilds the indexes. Prompts that offer a choice are answered "Cancel" (nobody is
// there to change a disk); every message goes to standard error, the status texts to standard
// output. Exit status 0 when every table was copied, 1 when the operation failed, 2 for bad
// arguments.

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/backup/Backup.h"

extern const AdminCommand kAdminBackup, kAdminRestore;

namespace {

int run(const AdminCommand& command, const QStringList& args) {
    const bool backup = &command == &kAdminBackup;
    AdminArgs a(command.name, command.usage);
    if (!a.parse(args, 2, 2) || !a.isDirectory(a.plain(0)) || !a.isDirectory(a.plain(1))) return 2;
    // Both change files: the backup the target's, the restore the data directory's. Either way
    // nobody may be writing the tables meanwhile.
    AdminSession session(command.name, a.plain(0), AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    const bool ok = backup ? BackupTo(session.context(), a.plain(1)) : RestoreFrom(session.context(), a.plain(1));
    const int closed = session.finish();
    return ok && closed == 0 ? 0 : 1;
}

int runBackup(const QStringList& args) { return run(kAdminBackup, args); }
int runRestore(const QStringList& args) { return run(kAdminRestore, args); }

}  // namespace

extern const AdminCommand kAdminBackup = {"backup", false, runBackup, "merrowby-admin backup DIR TARGET"};
extern const AdminCommand kAdminRestore = {"restore", false, runRestore, "merrowby-admin restore DIR SOURCE"};
