#include "AdminReminders.h"

#include <cstdio>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/occasions/Occasions.h"
#include "core/reminders/ReminderGen.h"

int AdminReminders(const QStringList& args) {
    extern const AdminCommand kAdminReminders;
    AdminArgs a("reminders", kAdminReminders.usage);
    a.occasionOptions(OccasionDated);
    if (!a.parse(args, 1, 1)) return 2;
    int occasion = 0;
    QDate from, to;
    if (!a.occasion(true, &occasion) || !a.isDirectory(a.plain(0)) || !a.span(occasion, &from, &to)) return 2;

    AdminSession session("reminders", a.plain(0), AdminSession::Access::ReadOnly);
    QStringList lines;
    const DataStatus opened = CollectReminderLines(occasion, from, to, lines);
    if (!opened) return session.fail(opened);
    const QByteArray out = ReminderReportText(QString::fromUtf8(ReminderTitles[occasion - 1]), lines).toUtf8();
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    std::fflush(stdout);
    return 0;
}

extern const AdminCommand kAdminReminders = {
    "reminders", false, AdminReminders,
    "merrowby-admin reminders DIR --occasion N [--from YYYY-MM-DD --to YYYY-MM-DD]"};
