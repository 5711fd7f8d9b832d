#include "AdminImport.h"

#include <QFileInfo>
#include <cstdio>

#include "AdminContacts.h"
#include "AdminSession.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/import/ImportRun.h"

int AdminImport(const QStringList& args) {
    const auto usageError = [](const QString& text, int code) {
        std::fprintf(stderr, "merrowby-admin: import: %s\n", text.toLocal8Bit().constData());
        return code;
    };
    if (args.contains(QStringLiteral("--detect"))) return AdminImportDetected(args);
    if (args.size() != 2) return usageError(QStringLiteral("usage: ") + QLatin1String(kAdminImportUsage), 2);
    const QString dir = args.at(0), file = args.at(1);
    if (!QFileInfo(dir).isDir()) return usageError(QStringLiteral("no such directory: ") + dir, 2);
    if (!QFileInfo(file).isFile()) return usageError(QStringLiteral("no such file: ") + file, 1);

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
    if (!out.error.isEmpty()) return session.fail(out.error);
    return closed;
}
