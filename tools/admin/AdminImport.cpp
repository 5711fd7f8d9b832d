#include "AdminImport.h"

#include <QFileInfo>
#include <cstdio>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminContacts.h"
#include "AdminSession.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/import/ImportRun.h"

extern const AdminCommand kAdminImport;

int AdminImport(const QStringList& args) {
    AdminArgs a("import", kAdminImport.usage);
    a.flags({"detect", "add-duplicates"});
    if (!a.parse(args, 2, 2)) return 2;
    const QString dir = a.plain(0), file = a.plain(1);
    if (a.has(QStringLiteral("add-duplicates")) && !a.has(QStringLiteral("detect")))
        return a.fail(QStringLiteral("--add-duplicates goes with --detect"));
    if (!a.isDirectory(dir)) return 2;
    if (!QFileInfo(file).isFile()) return a.fail(QStringLiteral("no such file: ") + file, 1);
    if (a.has(QStringLiteral("detect"))) return AdminImportDetected(dir, file, a.has(QStringLiteral("add-duplicates")));

    AdminSession session("import", dir, AdminSession::Access::Writes);
    if (!session.begin()) return 1;

    const DataStatus layout = OpenImportLayout();
    if (!layout) return session.fail(layout);
    if (LastStatus == 0) LoadImportLayout();
    (void)CloseTable(ImportTable);  // read only
    if (LastStatus != 0) return session.fail(QStringLiteral("importf.dbf holds no import layout"));

    ImportOptions options;
    options.intervalMs = 1000;
    options.status = [&session](const QString& text) { session.say(text); };
    const ImportOutcome out = RunImport(file, ImportRec, options);
    const int closed = session.finish();

    if (out.bookOpened) {
        std::printf("%s\n", NamesAddedText(out.namesAdded).trimmed().toLocal8Bit().constData());
        std::fflush(stdout);
    }
    if (out.status.failed()) return session.fail(out.status.reason);
    return closed;
}

extern const AdminCommand kAdminImport = {"import", false, AdminImport,
                                          "merrowby-admin import DIR FILE [--detect [--add-duplicates]]"};
