#include "core/calendar/ComingUp.h"

#include <QLocale>
#include <algorithm>

#include "core/calendar/CalendarSettings.h"
#include "core/data/Records.h"

namespace {

QString counted(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString daysText(int days) { return days == 1 ? QStringLiteral("day") : QStringLiteral("%1 days").arg(days); }

}  // namespace

std::vector<ComingDate> ComingDates(const BookDates& book, const QDate& today, int days,
                                    HolidayCountry country) {
    days = std::clamp(days, 0, kComingDaysMost);
    const QDate last = today.addDays(days);
    const auto within = [&](const QDate& d) { return d >= today && d <= last; };
    std::vector<ComingDate> out;
    // The window holds at most 367 days, so it meets this year and the next, no other.
    for (const int year : {today.year(), today.year() + 1}) {
        for (const PersonalDate& p : book.dates) {
            const QDate d = DateInYear(p.date, year);
            if (!within(d)) continue;
            ComingDate c;
            c.day = d;
            c.kind = p.kind;
            c.name = (p.first + QLatin1Char(' ') + p.last).trimmed();
            const bool counts = p.kind == DateKind::Birthday || p.kind == DateKind::Anniversary;
            if (counts && !YearUnknown(p.date) && year > p.date.year()) c.years = year - p.date.year();
            out.push_back(c);
        }
        for (int occasion = 1; occasion <= 7; ++occasion) {
            const int people = book.cards[size_t(occasion - 1)];
            if (people == 0) continue;
            for (const HolidayDay& h : HolidayDays(occasion, country)) {
                const QDate d = h.in(year);
                if (!within(d)) continue;
                ComingDate c;
                c.day = d;
                c.cards = true;
                c.name = QString::fromLatin1(h.name);
                c.occasion = occasion;
                c.people = people;
                out.push_back(c);
            }
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const ComingDate& a, const ComingDate& b) {
        return a.day != b.day ? a.day < b.day : !a.cards && b.cards;
    });
    return out;
}

xbase::Status ReadComingDates(xbase::Library& lib, const QDate& today, int days,
                              std::vector<ComingDate>* out) {
    out->clear();
    CalendarSettings settings;
    BookDates book;
    XB_TRY(LoadCalendarSettings(lib, &settings));
    XB_TRY(ReadBookDates(lib, &book));
    *out = ComingDates(book, today, days, settings.country);
    return xbase::Status::Ok();
}

QString ComingLine(const ComingDate& c, const QLocale& locale) {
    const QString day = locale.toString(c.day, QStringLiteral("ddd d MMM"));
    if (c.cards)
        return QStringLiteral("%1  %2  %3 cards: %4 to send")
            .arg(day, c.name, QLatin1String(ReminderTitles[size_t(c.occasion - 1)]))
            .arg(c.people);
    QString line = day + QStringLiteral("  ") + QLatin1String(DateKindName(c.kind)) + QStringLiteral("  ") + c.name;
    if (c.years > 0) line += QStringLiteral(" (%1)").arg(c.years);
    return line;
}

QStringList ComingLines(const std::vector<ComingDate>& dates, const QLocale& locale) {
    QStringList lines;
    for (const ComingDate& c : dates) lines << ComingLine(c, locale);
    return lines;
}

QString ComingSummary(const std::vector<ComingDate>& dates, int days) {
    int birthdays = 0, anniversaries = 0, others = 0, cardDays = 0;
    for (const ComingDate& c : dates) {
        if (c.cards) ++cardDays;
        else if (c.kind == DateKind::Birthday) ++birthdays;
        else if (c.kind == DateKind::Anniversary) ++anniversaries;
        else ++others;
    }
    QStringList parts;
    if (birthdays) parts << counted(birthdays, "birthday", "birthdays");
    if (anniversaries) parts << counted(anniversaries, "anniversary", "anniversaries");
    if (others) parts << counted(others, "other date", "other dates");
    if (cardDays) parts << counted(cardDays, "card-sending day", "card-sending days");
    if (parts.isEmpty()) return QString();
    QString list = parts.takeLast();
    if (!parts.isEmpty()) list = parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + list;
    return QStringLiteral("Coming up: %1 in the next %2").arg(list, daysText(days));
}

QString ComingHeading(int days) { return QStringLiteral("Coming up in the next %1").arg(daysText(days)); }
