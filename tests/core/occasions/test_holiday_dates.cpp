// The holidays' days against published tables, and the Hebrew calendar's years.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/occasions/HebrewCalendar.h"
#include "core/occasions/Occasions.h"

namespace {

using C = HolidayCountry;

QDate md(int y, int m, int d) { return QDate(y, m, d); }

}  // namespace

// Western Easter Sunday, the first day of Passover (15 Nisan), the first day of Chanukah
// (25 Kislev), Mother's Day (United States and Canada: the second Sunday of May; United Kingdom:
// Mothering Sunday), Thanksgiving (United States: the fourth Thursday of November; Canada: the
// second Monday of October), as the published calendars list them.
TEST(HolidayDates, AgreeWithPublishedTables2020To2035) {
    struct Row {
        int year;
        int easter[2], passover[2], chanukah[2], mother[2], mothering[2], thanks[2], thanksCa[2];
    } const rows[] = {
        {2020, {4, 12}, {4, 9}, {12, 11}, {5, 10}, {3, 22}, {11, 26}, {10, 12}},
        {2021, {4, 4}, {3, 28}, {11, 29}, {5, 9}, {3, 14}, {11, 25}, {10, 11}},
        {2022, {4, 17}, {4, 16}, {12, 19}, {5, 8}, {3, 27}, {11, 24}, {10, 10}},
        {2023, {4, 9}, {4, 6}, {12, 8}, {5, 14}, {3, 19}, {11, 23}, {10, 9}},
        {2024, {3, 31}, {4, 23}, {12, 26}, {5, 12}, {3, 10}, {11, 28}, {10, 14}},
        {2025, {4, 20}, {4, 13}, {12, 15}, {5, 11}, {3, 30}, {11, 27}, {10, 13}},
        {2026, {4, 5}, {4, 2}, {12, 5}, {5, 10}, {3, 15}, {11, 26}, {10, 12}},
        {2027, {3, 28}, {4, 22}, {12, 25}, {5, 9}, {3, 7}, {11, 25}, {10, 11}},
        {2028, {4, 16}, {4, 11}, {12, 13}, {5, 14}, {3, 26}, {11, 23}, {10, 9}},
        {2029, {4, 1}, {3, 31}, {12, 2}, {5, 13}, {3, 11}, {11, 22}, {10, 8}},
        {2030, {4, 21}, {4, 18}, {12, 21}, {5, 12}, {3, 31}, {11, 28}, {10, 14}},
        {2031, {4, 13}, {4, 8}, {12, 10}, {5, 11}, {3, 23}, {11, 27}, {10, 13}},
        {2032, {3, 28}, {3, 27}, {11, 28}, {5, 9}, {3, 7}, {11, 25}, {10, 11}},
        {2033, {4, 17}, {4, 14}, {12, 17}, {5, 8}, {3, 27}, {11, 24}, {10, 10}},
        {2034, {4, 9}, {4, 4}, {12, 7}, {5, 14}, {3, 19}, {11, 23}, {10, 9}},
        {2035, {3, 25}, {4, 24}, {12, 26}, {5, 13}, {3, 4}, {11, 22}, {10, 8}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.year);
        const auto day = [&r](const int (&m)[2]) { return md(r.year, m[0], m[1]); };
        EXPECT_EQ(EasterSunday(r.year), day(r.easter));
        EXPECT_EQ(PassoverDay(r.year), day(r.passover));
        EXPECT_EQ(ChanukahDay(r.year), day(r.chanukah));
        EXPECT_EQ(HolidayDate(2, r.year, C::UnitedStates), day(r.mother));
        EXPECT_EQ(HolidayDate(2, r.year, C::Canada), day(r.mother));
        EXPECT_EQ(HolidayDate(2, r.year, C::UnitedKingdom), day(r.mothering));
        EXPECT_EQ(HolidayDate(6, r.year, C::UnitedStates), day(r.thanks));
        EXPECT_EQ(HolidayDate(6, r.year, C::UnitedKingdom), day(r.thanks));
        EXPECT_EQ(HolidayDate(6, r.year, C::Canada), day(r.thanksCa));
        // Easter/Passover goes by the later of its two days.
        EXPECT_EQ(HolidayDate(4, r.year), std::max(day(r.easter), day(r.passover)));
    }
}

// The postponements keep every year at one of the six lengths the calendar allows, and never let
// Rosh Hashanah fall on a Sunday, Wednesday or Friday.
TEST(HebrewCalendar, EveryYearHasAnAllowedLengthAndNewYearDay) {
    const std::set<int> lengths = {353, 354, 355, 383, 384, 385};
    std::set<int> seen;
    for (int year = 5600; year <= 6200; ++year) {
        SCOPED_TRACE(year);
        const int length = HebrewYearLength(year);
        EXPECT_TRUE(lengths.count(length));
        seen.insert(length);
        EXPECT_EQ(HebrewNewYear(year).daysTo(HebrewNewYear(year + 1)), length);
        const int weekday = HebrewNewYear(year).dayOfWeek();
        EXPECT_TRUE(weekday != Qt::Sunday && weekday != Qt::Wednesday && weekday != Qt::Friday);
    }
    EXPECT_EQ(seen, lengths);
    // Rosh Hashanah 5785 and 5786 as published.
    EXPECT_EQ(HebrewNewYear(5785), md(2024, 10, 3));
    EXPECT_EQ(HebrewNewYear(5786), md(2025, 9, 23));
}
