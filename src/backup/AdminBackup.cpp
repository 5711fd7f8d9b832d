#include "backup/AdminBackup.h"

#include <QFileInfo>
#include <cstdio>

#include "app/Messages.h"
#include "backup/Backup.h"
#include "data/DbUtil.h"
#include "data/Globals.h"
#include "xbase/library.h"

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

    Messages::setResponder([cmd](Messages::Kind, const QString& text) {
        QString oneLine = text;
        oneLine.replace(QLatin1String("\r\n"), QLatin1String(" "));
        std::fprintf(stderr, "merrowby-admin: %s: %s\n", cmd, oneLine.toLocal8Bit().constData());
        return false;
    });
    SetBackupStatusSink([](const QString& text) {
        if (!text.isEmpty()) std::printf("%s\n", text.toLocal8Bit().constData());
        std::fflush(stdout);
    });
    const double pause = PauseScale;
    PauseScale = 0;
    xbase::Library* previous = LibHandle;
    xbase::Library lib;
    lib.setDirectory(args.at(0).toStdString());
    LibHandle = &lib;

    const bool ok = backup ? BackupTo(args.at(1)) : RestoreFrom(args.at(1));

    lib.closeAll();
    LibHandle = previous;
    PauseScale = pause;
    SetBackupStatusSink(nullptr);
    Messages::setResponder(nullptr);
    return ok ? 0 : 1;
}

}  // namespace

int AdminBackup(const QStringList& args) { return run(args, true); }
int AdminRestore(const QStringList& args) { return run(args, false); }
