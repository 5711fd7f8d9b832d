// What is coming up: the days ahead in date order across the year's end, 29 February in a
// common year, and the status bar's summary.
#include <gtest/gtest.h>

#include "TestData.h"
#include "core/calendar/ComingUp.h"
#include "core/data/Records.h"

namespace {

const QLocale english(QLocale::English, QLocale::UnitedKingdom);

PersonalDate date(DateKind kind, const char* first, const char* last, QDate d) {
    return {kind, QString::fromLatin1(first), QString::fromLatin1(last), d};
}

}  // namespace

TEST(ComingUp, ListsTheDaysAheadInDateOrderAcrossTheYearsEnd) {
    BookDates book;
    book.dates = {
        date(DateKind::Birthday, "Ann", "Lee", QDate(1986, 1, 3)),        // the window's last day
        date(DateKind::Birthday, "Bo", "Kay", QDate(1990, 1, 4)),         // one day too late
        date(DateKind::Anniversary, "Cy", "Dee", QDate(2001, 12, 21)),
        date(DateKind::Birthday, "Di", "Eve", QDate(kYearUnknown, 12, 31)),
        date(DateKind::Other1, "Ed", "Fox", QDate(2010, 12, 20)),          // today
        date(DateKind::Birthday, "Fay", "Gale", QDate(1970, 12, 19)),     // yesterday
    };
    book.cards[7 - 1] = 92;  // Christmas; Chanukah 2026 (5 December) is past
    book.cards[1 - 1] = 3;   // Valentine's Day is far off
    const std::vector<ComingDate> coming = ComingDates(book, QDate(2026, 12, 20), 14, HolidayCountry::UnitedStates);
    EXPECT_EQ(ComingLines(coming, english), (QStringList{
        "Sun 20 Dec  Other date  Ed Fox",
        "Mon 21 Dec  Anniversary  Cy Dee (25)",
        "Fri 25 Dec  Christmas  Christmas / Chanukah cards: 92 to send",
        "Thu 31 Dec  Birthday  Di Eve",
        "Sun 3 Jan  Birthday  Ann Lee (41)",
    }));
    EXPECT_EQ(ComingSummary(coming, 14),
              "Coming up: 2 birthdays, 1 anniversary, 1 other date and 1 card-sending day in the next 14 days");
    EXPECT_EQ(ComingSummary(ComingDates(book, QDate(2026, 2, 1), 14, HolidayCountry::UnitedStates), 14),
              "Coming up: 1 card-sending day in the next 14 days");
    EXPECT_TRUE(ComingDates(book, QDate(2026, 6, 1), 14, HolidayCountry::UnitedStates).empty());
    EXPECT_EQ(ComingSummary({}, 14), QString());
}

// A 29 February comes on the 28th in a common year and on the 29th in a leap year.
TEST(ComingUp, TwentyNinthOfFebruaryInCommonAndLeapYears) {
    BookDates book;
    book.dates = {date(DateKind::Birthday, "Ann", "Lee", QDate(1988, 2, 29))};
    const auto days = [&book](QDate today) {
        QStringList out;
        for (const ComingDate& c : ComingDates(book, today, 7, HolidayCountry::UnitedStates))
            out << c.day.toString(Qt::ISODate) + " " + QString::number(c.years);
        return out;
    };
    EXPECT_EQ(days(QDate(2027, 2, 25)), QStringList{"2027-02-28 39"});
    EXPECT_EQ(days(QDate(2028, 2, 25)), QStringList{"2028-02-29 40"});
}
