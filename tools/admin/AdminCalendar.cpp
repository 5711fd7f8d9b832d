// merrowby-admin calendar DIR --ics FILE: the book's dates as an iCalendar file, like Export
// Calendar on the setup page. The stored calendar choices apply, each overridden by its option;
// nothing is stored, so the command only reads and runs at any time.

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <cstdio>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/calendar/CalendarFile.h"
#include "core/calendar/CalendarSettings.h"

extern const AdminCommand kAdminCalendar;

namespace {

int run(const QStringList& args) {
    AdminArgs a("calendar", kAdminCalendar.usage);
    a.values({{"ics", "--ics needs a file name"}});
    a.numbers({{"alarm-days", 0, kMaxAlarmDays}, {"holiday-alarm-days", 0, kMaxAlarmDays},
               {"years", 1, kMaxCalendarYears}});
    if (!a.parse(args, 1, 1)) return 2;
    const QString file = a.get(QStringLiteral("ics"));
    if (file.isEmpty()) return a.usage();
    // Unset (-1) unless given.
    int alarmDays = -1, holidayAlarmDays = -1, years = -1;
    if (!a.number("alarm-days", &alarmDays) || !a.number("holiday-alarm-days", &holidayAlarmDays) ||
        !a.number("years", &years) || !a.isDirectory(a.plain(0)))
        return 2;

    AdminSession session("calendar", a.plain(0), AdminSession::Access::ReadOnly);
    CalendarOptions o;
    if (const xbase::Status s = LoadCalendarSettings(session.library(), &o.settings); !s.ok())
        return session.fail(QString::fromStdString(s.toString()));
    if (alarmDays >= 0) o.settings.alarmDays = alarmDays;
    if (holidayAlarmDays >= 0) o.settings.holidayAlarmDays = holidayAlarmDays;
    if (years >= 0) o.settings.years = years;
    o.today = QDate::currentDate();
    o.stamp = QDateTime::currentDateTimeUtc();
    const CalendarOutcome out = ExportCalendar(session.library(), file, o);
    if (out.status.failed()) return session.fail(out.status.reason);
    std::printf("%d calendar events written to %s\n", out.events, QDir::toNativeSeparators(file).toLocal8Bit().constData());
    std::fflush(stdout);
    return session.finish();
}

}  // namespace

extern const AdminCommand kAdminCalendar = {
    "calendar", false, run,
    "merrowby-admin calendar DIR --ics FILE [--alarm-days N] [--holiday-alarm-days N] [--years N]"};
