#include "AdminContacts.h"

#include <cstdio>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/import/ContactExport.h"
#include "core/import/ContactFormats.h"
#include "core/occasions/Occasions.h"

extern const AdminCommand kAdminExport;

namespace {

void printLine(const QString& text) {
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

}  // namespace

int AdminExport(const QStringList& args) {
    AdminArgs a("export", kAdminExport.usage);
    a.values({{"format", QStringLiteral("usage: ") + QLatin1String(kAdminExport.usage)}});
    a.occasionOptions(OccasionDated);
    a.flags({"households"});
    if (!a.parse(args, 2, 2)) return 2;
    const QString format = a.get(QStringLiteral("format"));
    ExportOptions options;
    if (format != QLatin1String("vcard") && format != QLatin1String("csv"))
        return a.fail(QStringLiteral("--format must be vcard or csv"));
    if (!a.occasion(false, &options.occasion) || !a.span(options.occasion, &options.spanStart, &options.spanEnd) ||
        !a.isDirectory(a.plain(0)))
        return 2;
    options.format = format == QLatin1String("csv") ? ExportFormat::Csv : ExportFormat::VCard;
    options.households = a.has(QStringLiteral("households"));
    if (options.households && options.format != ExportFormat::Csv)
        return a.fail(QStringLiteral("--households goes with --format csv"));

    AdminSession session("export", a.plain(0), AdminSession::Access::ReadOnly);
    const ExportOutcome out = ExportContacts(a.plain(1), options);
    const int closed = session.finish();
    if (out.status.failed()) return session.fail(out.status.reason);
    printLine(QString::fromLatin1(options.households ? "%1 Households Exported" : "%1 Contacts Exported").arg(out.written));
    return closed;
}

int AdminImportDetected(const QString& dir, const QString& file, bool addDuplicates) {
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
    if (out.status.failed()) return session.fail(out.status.reason);
    return closed;
}

extern const AdminCommand kAdminExport = {
    "export", false, AdminExport,
    "merrowby-admin export DIR --format vcard|csv [--occasion N [--from DATE --to DATE]] [--households] FILE"};
