#include "AdminReminders.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "AdminSession.h"
#include "core/data/Globals.h"
#include "core/occasions/Occasions.h"
#include "core/reminders/ReminderGen.h"

namespace {

int fail(const QString& text) {
    std::fprintf(stderr, "merrowby-admin: reminders: %s\n", text.toLocal8Bit().constData());
    return 2;
}

bool parseDay(const QString& text, QDate& out) {
    out = QDate::fromString(text, Qt::ISODate);
    return out.isValid();
}

}  // namespace

int AdminReminders(const QStringList& args) {
    QString dir, fromText, toText;
    int occasion = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) return false;
            into = args.at(++i);
            return true;
        };
        if (a == QLatin1String("--occasion")) {
            QString v;
            bool ok = false;
            if (!value(v) || (occasion = v.toInt(&ok), !ok))
                return fail(QStringLiteral("--occasion needs a number from 1 to 8"));
        } else if (a == QLatin1String("--from")) {
            if (!value(fromText)) return fail(QStringLiteral("--from needs a date"));
        } else if (a == QLatin1String("--to")) {
            if (!value(toText)) return fail(QStringLiteral("--to needs a date"));
        } else if (a.startsWith(QLatin1String("--")) || !dir.isEmpty()) {
            return fail(QStringLiteral("unexpected argument ") + a + QStringLiteral("\nusage: ") +
                        QLatin1String(kAdminRemindersUsage));
        } else {
            dir = a;
        }
    }
    if (dir.isEmpty()) return fail(QStringLiteral("usage: ") + QLatin1String(kAdminRemindersUsage));
    if (occasion < 1 || occasion > OccasionDated)
        return fail(QStringLiteral("--occasion needs a number from 1 to 8"));
    if (fromText.isEmpty() != toText.isEmpty())
        return fail(QStringLiteral("--from and --to go together"));
    if (!fromText.isEmpty() && occasion != OccasionDated)
        return fail(QStringLiteral("--from and --to apply to occasion 8 only"));
    if (!QFileInfo(dir).isDir()) return fail(QStringLiteral("no such directory: ") + dir);

    SetDefaultSpan();
    if (!fromText.isEmpty()) {
        QDate from, to;
        if (!parseDay(fromText, from)) return fail(QStringLiteral("bad date ") + fromText);
        if (!parseDay(toText, to)) return fail(QStringLiteral("bad date ") + toText);
        if (to < from) return fail(QString::fromLatin1(kSpanOrderMessage));
        SpanStart = from;
        SpanEnd = to;
    }

    AdminSession session("reminders", dir, AdminSession::Access::ReadOnly);
    QStringList lines;
    const DataStatus opened = CollectReminderLines(occasion, SpanStart, SpanEnd, lines);
    if (!opened) return session.fail(opened);
    const QString text =
        ReminderReportText(QString::fromUtf8(ReminderTitles[occasion - 1]), lines);
    const QByteArray out = text.toUtf8();
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    std::fflush(stdout);
    return 0;
}
