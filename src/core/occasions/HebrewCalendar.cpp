#include "core/occasions/HebrewCalendar.h"

namespace {

// 1 Tishrei of year 1 is 7 October 3761 BC (Julian), fixed day -1373427 counted from
// 1 January of the year 1 (Gregorian); a QDate's Julian day number is that count + 1721425.
constexpr qint64 kEpochFixedDay = -1373427;
constexpr qint64 kJulianDayOfFixedZero = 1721425;
// A day has 25920 parts (chalakim) of 1/1080 hour; a lunar month 29 days 13753 parts.
constexpr qint64 kPartsPerDay = 25920;
// From 1 Nisan to the next 1 Tishrei: Nisan 30, Iyar 29, Sivan 30, Tammuz 29, Av 30, Elul 29.
constexpr int kNisanToTishrei = 177;

// Days from the epoch to the day of the molad of Tishrei of `year`, moved on one day when that
// day would make Rosh Hashanah fall on a Sunday, Wednesday or Friday (lo ADU Rosh).
qint64 elapsedDays(qint64 year) {
    const qint64 months = (235 * year - 234) / 19;  // whole months before Tishrei of `year`
    // In parts from the Sunday noon before the epoch: the first molad (BaHaRaD, 5 hours 204
    // parts into Monday, which began at six on Sunday evening) is 11 hours 204 parts after it.
    const qint64 parts = 12084 + 13753 * months;
    const qint64 days = 29 * months + parts / kPartsPerDay;
    return (3 * (days + 1)) % 7 < 3 ? days + 1 : days;
}

// The two remaining postponements, so that no year is 356 days long (the next year's start is
// put off by two days) and no leap year 382 (this year's start by one).
qint64 newYearDelay(qint64 year) {
    const qint64 last = elapsedDays(year - 1), now = elapsedDays(year), next = elapsedDays(year + 1);
    if (next - now == 356) return 2;
    if (now - last == 382) return 1;
    return 0;
}

qint64 newYearFixed(qint64 year) { return kEpochFixedDay + elapsedDays(year) + newYearDelay(year); }

QDate fromFixed(qint64 day) { return QDate::fromJulianDay(day + kJulianDayOfFixedZero); }

}  // namespace

QDate HebrewNewYear(int year) { return fromFixed(newYearFixed(year)); }

int HebrewYearLength(int year) { return int(newYearFixed(year + 1) - newYearFixed(year)); }

QDate PassoverDay(int year) {
    // The Nisan of Gregorian `year` belongs to the Hebrew year that began the autumn before.
    return fromFixed(newYearFixed(qint64(year) + 3761) - kNisanToTishrei + 14);
}

QDate ChanukahDay(int year) {
    // Tishrei has 30 days; Heshvan 30 in a year of 355 or 385 days, else 29.
    const int hebrewYear = year + 3761;
    const int heshvan = HebrewYearLength(hebrewYear) % 10 == 5 ? 30 : 29;
    return fromFixed(newYearFixed(hebrewYear) + 30 + heshvan + 24);
}
