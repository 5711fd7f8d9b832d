#include "import/AdminImport.h"

#include <QFileInfo>
#include <cstdio>

#include "app/Messages.h"
#include "data/Globals.h"
#include "data/dbFiles.h"
#include "import/ImportRun.h"
#include "xbase/library.h"

namespace {

int fail(const QString& text, int code) {
    std::fprintf(stderr, "merrowby-admin: import: %s\n", text.toLocal8Bit().constData());
    return code;
}

}  // namespace

int AdminImport(const QStringList& args) {
    if (args.size() != 2)
        return fail(QStringLiteral("usage: ") + QLatin1String(kAdminImportUsage), 2);
    const QString dir = args.at(0), file = args.at(1);
    if (!QFileInfo(dir).isDir()) return fail(QStringLiteral("no such directory: ") + dir, 2);
    if (!QFileInfo(file).isFile()) return fail(QStringLiteral("no such file: ") + file, 1);

    // A table that cannot be opened is reported by the data routines through a message box;
    // here it goes to standard error.
    Messages::setResponder([](Messages::Kind, const QString& text) {
        QString oneLine = text;
        oneLine.replace(QLatin1String("\r\n"), QLatin1String(" "));
        std::fprintf(stderr, "merrowby-admin: import: %s\n", oneLine.toLocal8Bit().constData());
        return false;
    });
    xbase::Library* previous = LibHandle;
    xbase::Library lib;
    lib.setDirectory(dir.toStdString());
    LibHandle = &lib;

    OpenImportLayout();
    LoadImportLayout();
    CloseTable(ImportTable);

    ImportOptions options;
    options.intervalMs = 1000;
    options.status = [](const QString& text) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    };
    const ImportOutcome out = RunImport(file, ImportRec, options);

    lib.closeAll();
    LibHandle = previous;
    Messages::setResponder(nullptr);
    std::printf("%s\n", NamesAddedText(out.namesAdded).trimmed().toLocal8Bit().constData());
    std::fflush(stdout);
    if (!out.error.isEmpty()) {
        QString oneLine = out.error;
        oneLine.replace(QLatin1String("\r\n"), QLatin1String(" "));
        return fail(oneLine, 1);
    }
    return 0;
}
