#include "core/calendar/CalendarFile.h"

#include <QCryptographicHash>
#include <QSaveFile>
#include <QSet>

#include "core/data/Records.h"
#include "core/import/ContentLine.h"
#include "core/occasions/Occasions.h"

namespace {

constexpr const char* kUidDomain = "@merrowby";

QString dateValue(const QDate& d) { return d.toString(QStringLiteral("yyyyMMdd")); }

QString trigger(int daysBefore) {
    return daysBefore > 0 ? QStringLiteral("-P%1D").arg(daysBefore) : QStringLiteral("PT0S");
}

bool lastOfFebruary(const QDate& d) { return d.month() == 2 && d.day() == 29; }

// The UID of a personal date: a digest of what makes it that event, so the next export gives it
// again. `taken` holds the UIDs given so far: two people of one name with the same date
// and kind get "-2", "-3", ... in name order.
QString personalUid(const PersonalDate& p, QSet<QString>& taken) {
    const QString identity = QStringLiteral("%1|%2|%3|%4")
                                 .arg(int(p.kind))
                                 .arg(p.first, p.last, dateValue(p.date));
    const QString base = QString::fromLatin1(
        QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha1).toHex().left(24));
    QString uid = base;
    for (int n = 2; taken.contains(uid); ++n) uid = base + QLatin1Char('-') + QString::number(n);
    taken.insert(uid);
    return uid + QLatin1String(kUidDomain);
}

// "Mother's Day" gives "mothers-day".
QString slug(const char* name) {
    QString out;
    for (QChar c : QString::fromLatin1(name).toLower()) {
        if (c.isLetterOrNumber()) out += c;
        else if (c == QLatin1Char(' ') && !out.endsWith(QLatin1Char('-'))) out += QLatin1Char('-');
    }
    return out;
}

class Writer {
public:
    Writer(QByteArray& out, const QDateTime& stamp)
        : out_(out), stamp_(stamp.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"))) {}

    // One all-day event; `rule` the RRULE value, or empty for a single day.
    void event(const QString& uid, const QDate& start, const QString& rule, const QString& summary,
               const char* category, int alarmDaysBefore) {
        line(QStringLiteral("BEGIN:VEVENT"));
        line(QStringLiteral("UID:") + uid);
        line(QStringLiteral("DTSTAMP:") + stamp_);
        line(QStringLiteral("DTSTART;VALUE=DATE:") + dateValue(start));
        if (!rule.isEmpty()) line(QStringLiteral("RRULE:") + rule);
        AppendValueLine(out_, buffer_, "SUMMARY:", summary);
        line(QStringLiteral("CATEGORIES:") + QLatin1String(category));
        line(QStringLiteral("TRANSP:TRANSPARENT"));
        line(QStringLiteral("BEGIN:VALARM"));
        line(QStringLiteral("ACTION:DISPLAY"));
        AppendValueLine(out_, buffer_, "DESCRIPTION:", summary);
        line(QStringLiteral("TRIGGER:") + trigger(alarmDaysBefore));
        line(QStringLiteral("END:VALARM"));
        line(QStringLiteral("END:VEVENT"));
        ++events;
    }
    void line(const QString& text) { AppendContentLine(out_, text.toUtf8()); }

    int events = 0;

private:
    QByteArray& out_;
    QByteArray buffer_;  // a line being escaped
    QString stamp_;
};

void personalEvents(Writer& w, const BookDates& book, const CalendarOptions& o) {
    QSet<QString> taken;
    for (const PersonalDate& p : book.dates) {
        const QString who = (p.first + QLatin1Char(' ') + p.last).trimmed();
        const QString summary = QLatin1String(DateKindName(p.kind)) + QStringLiteral(": ") + who;
        // RFC 5545 has no date without a year. A date whose year is not known starts in the year
        // of the export: nothing can read it as a year of birth or of a wedding (a calendar that
        // counts years from the start counts none), and every export of the same year agrees.
        const QDate start = YearUnknown(p.date) ? DateInYear(p.date, o.today.year()) : p.date;
        // A yearly rule alone skips the years without 29 February; the last day of February is
        // there every year and is the 29th in a leap year.
        const QString rule = lastOfFebruary(p.date) ? QStringLiteral("FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1")
                                                    : QStringLiteral("FREQ=YEARLY");
        w.event(personalUid(p, taken), start, rule, summary, DateKindName(p.kind), o.settings.alarmDays);
    }
}

QString weekdayCode(int weekday) {
    static const char* const codes[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};
    return QString::fromLatin1(codes[(weekday - 1) % 7]);
}

void holidayEvents(Writer& w, const BookDates& book, const CalendarOptions& o) {
    const int year = o.today.year();
    for (int occasion = 1; occasion <= 7; ++occasion) {
        const int people = book.cards[size_t(occasion - 1)];
        if (people == 0) continue;
        const std::vector<HolidayDay> days = HolidayDays(occasion, o.settings.country);
        for (const HolidayDay& day : days) {
            QString summary = QStringLiteral("%1 cards: %2 to send").arg(QLatin1String(ReminderTitles[size_t(occasion - 1)])).arg(people);
            if (days.size() > 1) summary += QStringLiteral(" (%1)").arg(QLatin1String(day.name));
            const QString uid = QStringLiteral("holiday-%1-%2").arg(occasion).arg(slug(day.name));
            const int alarm = o.settings.holidayAlarmDays;
            switch (day.rule) {
            case HolidayDay::Rule::Fixed:
                w.event(uid + QLatin1String(kUidDomain), day.in(year), QStringLiteral("FREQ=YEARLY"), summary, "Cards", alarm);
                break;
            case HolidayDay::Rule::NthWeekday:
                w.event(uid + QLatin1String(kUidDomain), day.in(year),
                        QStringLiteral("FREQ=YEARLY;BYMONTH=%1;BYDAY=%2%3").arg(day.month).arg(day.number).arg(weekdayCode(day.weekday)),
                        summary, "Cards", alarm);
                break;
            case HolidayDay::Rule::Computed:
                // The next `years` times it comes round, today's included.
                for (int y = year, made = 0; made < o.settings.years; ++y) {
                    const QDate d = day.in(y);
                    if (d < o.today) continue;
                    w.event(uid + QLatin1Char('-') + QString::number(y) + QLatin1String(kUidDomain), d, QString(), summary, "Cards", alarm);
                    ++made;
                }
                break;
            }
        }
    }
}

}  // namespace

QByteArray CalendarText(const BookDates& book, const CalendarOptions& options, int* events) {
    QByteArray out;
    Writer w(out, options.stamp);
    w.line(QStringLiteral("BEGIN:VCALENDAR"));
    w.line(QStringLiteral("VERSION:2.0"));
    w.line(QStringLiteral("PRODID:-//Brantix//Merrowby//EN"));
    w.line(QStringLiteral("CALSCALE:GREGORIAN"));
    w.line(QStringLiteral("X-WR-CALNAME:Merrowby"));
    personalEvents(w, book, options);
    holidayEvents(w, book, options);
    w.line(QStringLiteral("END:VCALENDAR"));
    if (events) *events = w.events;
    return out;
}

CalendarOutcome ExportCalendar(xbase::Library& lib, const QString& path, const CalendarOptions& options) {
    CalendarOutcome out;
    BookDates book;
    if (const xbase::Status s = ReadBookDates(lib, &book); !s.ok()) {
        out.status = RunStatus::failure(QStringLiteral("Unable to read the address book.\r\n") +
                                        QString::fromStdString(s.toString()));
        return out;
    }
    int events = 0;
    const QByteArray text = CalendarText(book, options, &events);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        out.status = RunStatus::failure(QStringLiteral("Unable to write ") + path + QStringLiteral(": ") + file.errorString());
        return out;
    }
    out.events = events;
    return out;
}
