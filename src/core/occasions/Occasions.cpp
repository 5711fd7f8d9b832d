#include "core/occasions/Occasions.h"

#include "core/data/Globals.h"
#include "core/occasions/HebrewCalendar.h"

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

// The fourth Sunday of Lent.
QDate motheringSunday(int year) { return EasterSunday(year).addDays(-21); }

using Rule = HolidayDay::Rule;
const HolidayDay kValentine{"Valentine's Day", Rule::Fixed, 2, 14};
const HolidayDay kMothersDay{"Mother's Day", Rule::NthWeekday, 5, 2, Qt::Sunday};
const HolidayDay kMotheringSunday{"Mothering Sunday", Rule::Computed, 0, 0, 0, &motheringSunday};
const HolidayDay kFathersDay{"Father's Day", Rule::NthWeekday, 6, 3, Qt::Sunday};
const HolidayDay kEaster{"Easter", Rule::Computed, 0, 0, 0, &EasterSunday};
const HolidayDay kPassover{"Passover", Rule::Computed, 0, 0, 0, &PassoverDay};
const HolidayDay kHalloween{"Halloween", Rule::Fixed, 10, 31};
const HolidayDay kThanksgiving{"Thanksgiving", Rule::NthWeekday, 11, 4, Qt::Thursday};
const HolidayDay kThanksgivingCanada{"Thanksgiving", Rule::NthWeekday, 10, 2, Qt::Monday};
const HolidayDay kChristmas{"Christmas", Rule::Fixed, 12, 25};
const HolidayDay kChanukah{"Chanukah", Rule::Computed, 0, 0, 0, &ChanukahDay};

}  // namespace

namespace {
// By HolidayCountry, in the order of its values.
const struct {
    const char* code;
    const char* name;
} kCountryNames[] = {{"US", "United States"}, {"UK", "United Kingdom"}, {"CA", "Canada"}};
}  // namespace

const char* CountryCode(HolidayCountry country) { return kCountryNames[size_t(country)].code; }

HolidayCountry CountryFromCode(const QString& code) {
    for (HolidayCountry c : kHolidayCountries)
        if (code.trimmed().compare(QLatin1String(CountryCode(c)), Qt::CaseInsensitive) == 0) return c;
    return HolidayCountry::UnitedStates;
}

const char* CountryName(HolidayCountry country) { return kCountryNames[size_t(country)].name; }

QDate HolidayDay::in(int year) const {
    switch (rule) {
    case Rule::Fixed: return QDate(year, month, number);
    case Rule::NthWeekday: return nthWeekday(year, month, weekday, number);
    case Rule::Computed: return computed ? computed(year) : QDate();
    }
    return {};
}

std::vector<HolidayDay> HolidayDays(int occasion, HolidayCountry country) {
    switch (occasion) {
    case 1: return {kValentine};
    case 2: return {country == HolidayCountry::UnitedKingdom ? kMotheringSunday : kMothersDay};
    case 3: return {kFathersDay};
    case 4: return {kEaster, kPassover};
    case 5: return {kHalloween};
    case 6: return {country == HolidayCountry::Canada ? kThanksgivingCanada : kThanksgiving};
    case 7: return {kChristmas, kChanukah};
    default: return {};
    }
}

// The anonymous Gregorian algorithm (1876).
QDate EasterSunday(int y) {
    const int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4, f = (b + 8) / 25;
    const int g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30, i = c / 4, k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7, m = (a + 11 * h + 22 * l) / 451;
    const int t = h + l - 7 * m + 114;
    return QDate(y, t / 31, t % 31 + 1);
}

QDate HolidayDate(int occasion, int year, HolidayCountry country) {
    const std::vector<HolidayDay> days = HolidayDays(occasion, country);
    if (days.empty()) return {};
    // Easter/Passover goes by the later of its two days; Christmas / Chanukah by Christmas.
    if (occasion == 4) return std::max(days[0].in(year), days[1].in(year));
    return days[0].in(year);
}

int CardYear(int occasion, const QDate& today, const QDate& spanEnd) {
    const int y = today.year();
    if (occasion >= 1 && occasion <= 7) return HolidayDate(occasion, y) >= today ? y : y + 1;
    if (occasion == OccasionDated) return monthDay(spanEnd) >= monthDay(today) ? y : y + 1;
    return y;
}
