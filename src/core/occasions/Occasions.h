#pragma once
// Occasions and who qualifies for them: shared by the label run and the reminder run.
//
// Occasion numbers: 1 Valentines Day, 2 Mother's Day, 3 Father's Day, 4 Easter/Passover,
// 5 Halloween, 6 Thanksgiving, 7 Christmas / Chanukah (each selects by one holiday flag),
// 8 Birthday, Etc (the dated entries that fall within the date span), 9 Selected (labels only:
// recipients picked by hand).

#include <QDate>
#include <QString>
#include <array>
#include <vector>

struct TAddressRecord;

inline constexpr int OccasionSelected = 9;
inline constexpr int OccasionDated = 8;

// The holiday flag of `rec` for occasions 1 to 7; false for any other number.
bool HolidayFlag(const TAddressRecord& rec, int occasion);

// Month-day window test: x, start and end written as "mmdd"; passes when start <= x <= end,
// compared as text. Years play no part, so a span crossing the year end selects nothing.
bool MonthDayInWindow(const QDate& x, const QDate& spanStart, const QDate& spanEnd);

// The dated entries of occasion 8, in the order they are tested.
struct DatedEntry {
    const char* label;  // "Birthday ", "Anniversary ", "Other1 ", "Other2 "
    bool flag;
    QDate date;
};
// Fills out[0..3] from rec; returns 4.
int DatedEntries(const TAddressRecord& rec, DatedEntry out[4]);

// Number of labels `rec` gives for an occasion 1 to 8 within the span (0 to 4 for occasion 8).
int LabelsFor(const TAddressRecord& rec, int occasion, const QDate& spanStart, const QDate& spanEnd);

// Whose customs Mother's Day, Father's Day and Thanksgiving follow. The United Kingdom keeps
// Mothering Sunday (three weeks before Easter) and no Thanksgiving of its own: its Thanksgiving
// cards go to friends in America, on the American day. Canada keeps Thanksgiving on the second
// Monday of October.
enum class HolidayCountry { UnitedStates, UnitedKingdom, Canada };
inline constexpr HolidayCountry kHolidayCountries[] = {
    HolidayCountry::UnitedStates, HolidayCountry::UnitedKingdom, HolidayCountry::Canada};
// "US", "UK", "CA"; CountryFromCode reads them back (letter case ignored), and anything else as
// the United States.
const char* CountryCode(HolidayCountry country);
HolidayCountry CountryFromCode(const QString& code);
// "United States", "United Kingdom", "Canada".
const char* CountryName(HolidayCountry country);

// One day a holiday is kept on, and the rule that finds it in a year.
struct HolidayDay {
    enum class Rule { Fixed, NthWeekday, Computed };
    const char* name;  // "Christmas", "Chanukah", "Mothering Sunday", ...
    Rule rule;
    int month = 0;     // Fixed and NthWeekday
    int number = 0;    // Fixed: the day of the month; NthWeekday: which one (1 to 4)
    int weekday = 0;   // NthWeekday: 1 Monday to 7 Sunday
    QDate (*computed)(int year) = nullptr;  // Computed: the day in a year (Easter, Passover, ...)

    // The day in `year` (1 or later).
    QDate in(int year) const;
};
// The days holiday `occasion` (1 to 7) is kept on under `country`'s customs: Easter and then
// Passover for Easter/Passover, Christmas and then Chanukah for Christmas / Chanukah, one day for
// each of the others. Empty for any other number.
std::vector<HolidayDay> HolidayDays(int occasion, HolidayCountry country = HolidayCountry::UnitedStates);

// Easter Sunday of the Gregorian calendar in `year`.
QDate EasterSunday(int year);

// The day holiday `occasion` (1 to 7) falls on in `year`: Valentines Day 14 February, Mother's
// Day the second Sunday of May, Father's Day the third Sunday of June, Easter/Passover the later
// of Easter Sunday and the first day of Passover, Halloween 31 October, Thanksgiving the fourth
// Thursday of November, Christmas / Chanukah 25 December; Mother's Day and Thanksgiving as
// `country` keeps them (above). An invalid date for other numbers.
QDate HolidayDate(int occasion, int year, HolidayCountry country = HolidayCountry::UnitedStates);

// The year whose cards a run of `occasion` printed on `today` sends: the next time the occasion
// comes round, today included. A holiday still ahead this year is this year's, one gone by is
// next year's. Occasion 8 goes by its span's last day (month and day: the years of a span play
// no part in choosing), occasion 9 is always this year's.
int CardYear(int occasion, const QDate& today, const QDate& spanEnd = QDate());

// The occasion text of reminder run r (1 to 8) is ReminderTitles[r - 1].
extern const std::array<const char*, 8> ReminderTitles;

// The date span of occasion 8 (SpanStart..SpanEnd, Globals.h) := the first to the last day of
// the month of `today` (the system clock's date by default).
void SetDefaultSpan();
void SetDefaultSpan(const QDate& today);

// The message shown when the end day of a span lies before its start day.
inline constexpr const char* kSpanOrderMessage =
    "Ending date must be greater than or equal to starting date.";
