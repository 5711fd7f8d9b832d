#include "core/occasions/Occasions.h"

#include "core/data/Globals.h"

#include <algorithm>

const std::array<const char*, 8> ReminderTitles{
    "Valentines Day", "Mother's Day", "Father's Day", "Easter/Passover", "Halloween",
    "Thanksgiving", "Christmas / Chanukah", "Birthday, Etc"};

void SetDefaultSpan(const QDate& today) {
    SpanStart = QDate(today.year(), today.month(), 1);
    // Thirty-one days on always lands in the next month; step back into this one.
    QDate end = SpanStart.addDays(31);
    while (end.month() != SpanStart.month()) end = end.addDays(-1);
    SpanEnd = end;
}

void SetDefaultSpan() { SetDefaultSpan(QDate::currentDate()); }

bool HolidayFlag(const TAddressRecord& rec, int occasion) {
    switch (occasion) {
    case 1: return rec.Valentine;
    case 2: return rec.Mother;
    case 3: return rec.Father;
    case 4: return rec.Secretary;
    case 5: return rec.Halloween;
    case 6: return rec.ThanksGiv;
    case 7: return rec.Christmas;
    default: return false;
    }
}

static int monthDay(const QDate& d) {
    // "mmdd" compared as text orders exactly like month * 100 + day.
    return d.month() * 100 + d.day();
}

bool MonthDayInWindow(const QDate& x, const QDate& spanStart, const QDate& spanEnd) {
    const int md = monthDay(x);
    return md >= monthDay(spanStart) && md <= monthDay(spanEnd);
}

int DatedEntries(const TAddressRecord& rec, DatedEntry out[4]) {
    out[0] = {"Birthday ", rec.Birthday, rec.Birthdate};
    out[1] = {"Anniversary ", rec.Annav, rec.Annavdate};
    out[2] = {"Other1 ", rec.Other1, rec.Other1Date};
    out[3] = {"Other2 ", rec.Other2, rec.Other2Date};
    return 4;
}

int LabelsFor(const TAddressRecord& rec, int occasion, const QDate& spanStart, const QDate& spanEnd) {
    if (occasion >= 1 && occasion <= 7) return HolidayFlag(rec, occasion) ? 1 : 0;
    if (occasion != OccasionDated) return 0;
    DatedEntry e[4];
    int n = 0;
    for (int i = 0, c = DatedEntries(rec, e); i < c; ++i)
        if (e[i].flag && MonthDayInWindow(e[i].date, spanStart, spanEnd)) ++n;
    return n;
}

namespace {

// The `n`th `weekday` (1 Monday .. 7 Sunday) of `month` in `year`.
QDate nthWeekday(int year, int month, int weekday, int n) {
    const QDate first(year, month, 1);
    return first.addDays((weekday - first.dayOfWeek() + 7) % 7 + 7 * (n - 1));
}

// Easter Sunday of the Gregorian calendar (the anonymous algorithm of 1876).
QDate easterSunday(int y) {
    const int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4, f = (b + 8) / 25;
    const int g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30, i = c / 4, k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7, m = (a + 11 * h + 22 * l) / 451;
    const int t = h + l - 7 * m + 114;
    return QDate(y, t / 31, t % 31 + 1);
}

// The first day of Passover (15 Nisan) by Gauss's formula, worked in whole units of 1/492480
// day so that no rounding can move it; the Julian date it gives is then made Gregorian.
QDate passoverFirstDay(int y) {
    constexpr long long D = 492480;
    const long long hy = y + 3760;  // the Hebrew year whose spring falls in y
    const long long a = (12 * hy + 17) % 19, b = hy % 4;
    const long long m = 32 * D + 4343 * 5 + a * D + a * 272953 + b * (D / 4) - hy * 313 * 5;
    long long day = m / D;
    const long long part = m % D;
    const long long c = (3 * hy + 5 * b + day + 5) % 7;
    if (c == 2 || c == 4 || c == 6) day += 1;
    else if (c == 1 && a > 6 && part >= 1367 * (D / 2160)) day += 2;
    else if (c == 0 && a > 11 && part >= 23269 * (D / 25920)) day += 1;
    day += (3 * (y / 100) - 5) / 4;  // Julian to Gregorian
    return QDate(y, 3, 1).addDays(day - 1);
}

}  // namespace

QDate HolidayDate(int occasion, int year) {
    switch (occasion) {
    case 1: return QDate(year, 2, 14);
    case 2: return nthWeekday(year, 5, Qt::Sunday, 2);
    case 3: return nthWeekday(year, 6, Qt::Sunday, 3);
    case 4: return std::max(easterSunday(year), passoverFirstDay(year));
    case 5: return QDate(year, 10, 31);
    case 6: return nthWeekday(year, 11, Qt::Thursday, 4);
    case 7: return QDate(year, 12, 25);
    default: return {};
    }
}

int CardYear(int occasion, const QDate& today, const QDate& spanEnd) {
    const int y = today.year();
    if (occasion >= 1 && occasion <= 7) return HolidayDate(occasion, y) >= today ? y : y + 1;
    if (occasion == OccasionDated) return monthDay(spanEnd) >= monthDay(today) ? y : y + 1;
    return y;
}
