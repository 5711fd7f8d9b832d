#include "AdminContacts.h"

#include <QDate>
#include <QFileInfo>
#include <cstdio>

#include "AdminImport.h"
#include "AdminSession.h"
#include "core/data/Globals.h"
#include "core/import/ContactExport.h"
#include "core/import/ContactFormats.h"
#include "core/occasions/Occasions.h"

namespace {

int usage(const char* command, const QString& text, int code = 2) {
    std::fprintf(stderr, "merrowby-admin: %s: %s\n", command, text.toLocal8Bit().constData());
    return code;
}

void printLine(const QString& text) {
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

}  // namespace

int AdminExport(const QStringList& args) {
    QString dir, file, format, fromText, toText;
    int occasion = 0;
    bool households = false;
    const QString use = QStringLiteral("usage: ") + QLatin1String(kAdminExportUsage);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) return false;
            into = args.at(++i);
            return true;
        };
        if (a == QLatin1String("--format")) {
            if (!value(format)) return usage("export", use);
        } else if (a == QLatin1String("--occasion")) {
            QString v;
            bool ok = false;
            if (!value(v) || (occasion = v.toInt(&ok), !ok) || occasion < 1 || occasion > OccasionDated)
                return usage("export", QStringLiteral("--occasion needs a number from 1 to 8"));
        } else if (a == QLatin1String("--from")) {
            if (!value(fromText)) return usage("export", QStringLiteral("--from needs a date"));
        } else if (a == QLatin1String("--to")) {
            if (!value(toText)) return usage("export", QStringLiteral("--to needs a date"));
        } else if (a == QLatin1String("--households")) {
            households = true;
        } else if (a.startsWith(QLatin1String("--")) || !file.isEmpty()) {
            return usage("export", QStringLiteral("unexpected argument ") + a + QLatin1Char('\n') + use);
        } else {
            (dir.isEmpty() ? dir : file) = a;
        }
    }
    if (dir.isEmpty() || file.isEmpty()) return usage("export", use);
    if (format != QLatin1String("vcard") && format != QLatin1String("csv"))
        return usage("export", QStringLiteral("--format must be vcard or csv"));
    if (fromText.isEmpty() != toText.isEmpty()) return usage("export", QStringLiteral("--from and --to go together"));
    if (!fromText.isEmpty() && occasion != OccasionDated)
        return usage("export", QStringLiteral("--from and --to apply to occasion 8 only"));
    if (households && format != QLatin1String("csv"))
        return usage("export", QStringLiteral("--households goes with --format csv"));
    if (!QFileInfo(dir).isDir()) return usage("export", QStringLiteral("no such directory: ") + dir);

    ExportOptions options;
    options.households = households;
    options.format = format == QLatin1String("csv") ? ExportFormat::Csv : ExportFormat::VCard;
    options.occasion = occasion;
    SetDefaultSpan();
    options.spanStart = SpanStart;
    options.spanEnd = SpanEnd;
    if (!fromText.isEmpty()) {
        options.spanStart = QDate::fromString(fromText, Qt::ISODate);
        options.spanEnd = QDate::fromString(toText, Qt::ISODate);
        if (!options.spanStart.isValid()) return usage("export", QStringLiteral("bad date ") + fromText);
        if (!options.spanEnd.isValid()) return usage("export", QStringLiteral("bad date ") + toText);
        if (options.spanEnd < options.spanStart) return usage("export", QString::fromLatin1(kSpanOrderMessage));
    }

    AdminSession session("export", dir, AdminSession::Access::ReadOnly);
    const ExportOutcome out = ExportContacts(file, options);
    const int closed = session.finish();
    if (!out.error.isEmpty()) return session.fail(out.error);
    printLine(QString::fromLatin1(households ? "%1 Households Exported" : "%1 Contacts Exported").arg(out.written));
    return closed;
}

int AdminImportDetected(const QStringList& args) {
    QString dir, file;
    bool addDuplicates = false;
    const QString use = QStringLiteral("usage: ") + QLatin1String(kAdminImportUsage);
    for (const QString& a : args) {
        if (a == QLatin1String("--detect")) continue;
        if (a == QLatin1String("--add-duplicates")) addDuplicates = true;
        else if (a.startsWith(QLatin1String("--")) || !file.isEmpty())
            return usage("import", QStringLiteral("unexpected argument ") + a + QLatin1Char('\n') + use);
        else (dir.isEmpty() ? dir : file) = a;
    }
    if (file.isEmpty()) return usage("import", use);
    if (!QFileInfo(dir).isDir()) return usage("import", QStringLiteral("no such directory: ") + dir);
    if (!QFileInfo(file).isFile()) return usage("import", QStringLiteral("no such file: ") + file, 1);

    AdminSession session("import", dir, AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    DetectedImportOptions options;
    options.duplicates = addDuplicates ? DuplicatePolicy::Add : DuplicatePolicy::Skip;
    int lastTold = 0;
    options.progress = [&session, &lastTold](int done, int total) {
        if (done - lastTold >= 10000) {
            session.say(QStringLiteral("Importing: %1 of %2").arg(done).arg(total));
            lastTold = done;
        }
        return true;
    };
    const DetectedImportOutcome out = RunDetectedImport(file, options);
    const int closed = session.finish();
    if (out.bookOpened) {
        session.say(ContactFormatName(out.format) + QStringLiteral(", ") + ContactEncodingName(out.encoding));
        printLine(DetectedImportSummary(out));
    }
    if (!out.error.isEmpty()) return session.fail(out.error);
    return closed;
}
