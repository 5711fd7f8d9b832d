// merrowby-admin upcoming DIR [--days N] [--notify]: the personal dates and card-sending days of
// the next N days (14 unless given), one line each in date order, nothing when nothing is coming.
// --notify also sends them as one desktop notice through the session bus (the daily user timer
// runs it so).

#include <QDate>
#include <cstdio>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "DesktopNotice.h"
#include "core/calendar/ComingUp.h"

extern const AdminCommand kAdminUpcoming;

namespace {

int run(const QStringList& args) {
    AdminArgs a("upcoming", kAdminUpcoming.usage);
    a.numbers({{"days", 0, kComingDaysMost}});
    a.flags({"notify"});
    if (!a.parse(args, 1, 1)) return 2;
    int days = kComingDaysDefault;
    if (!a.number("days", &days) || !a.isDirectory(a.plain(0))) return 2;
    const bool notify = a.has(QStringLiteral("notify"));
    // Said before the book is read: a timer set up where no notice can reach is found out on
    // its first day, whether anything is coming or not.
    if (notify) {
        if (const QString why = SessionBusProblem(); !why.isEmpty()) return a.fail(why, 1);
    }

    AdminSession session("upcoming", a.plain(0), AdminSession::Access::ReadOnly);
    std::vector<ComingDate> coming;
    if (const xbase::Status s = ReadComingDates(session.library(), QDate::currentDate(), days, &coming); !s.ok())
        return session.fail(QString::fromStdString(s.toString()));
    const QStringList lines = ComingLines(coming);
    for (const QString& line : lines) std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
    if (notify && !lines.isEmpty()) {
        if (const QString why = SendDesktopNotice(ComingHeading(days), lines.join(QLatin1Char('\n'))); !why.isEmpty())
            return session.fail(why);
    }
    return session.finish();
}

}  // namespace

extern const AdminCommand kAdminUpcoming = {
    "upcoming", false, run, "merrowby-admin upcoming DIR [--days N] [--notify]"};
