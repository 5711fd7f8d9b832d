#pragma once
// The fixed Hebrew calendar, as far as the holidays need it: the day a Hebrew year begins, its
// length, and the two days that cards go out for, Passover (15 Nisan) and Chanukah (25 Kislev).
//
// A year begins on 1 Tishrei, found from the molad (the mean new moon) of Tishrei and the
// postponements of the fixed calendar; its length then fixes whether Heshvan is long and Kislev
// short. Years are counted from the epoch of the calendar (anno mundi): the Hebrew year that
// begins in the autumn of Gregorian year g is g + 3761. Days come back as Gregorian QDates.
// Every festival day begins at sundown of the evening before the day returned here.

#include <QDate>

// 1 Tishrei (Rosh Hashanah) of Hebrew year `year`; requires year >= 1.
QDate HebrewNewYear(int year);
// The days of Hebrew year `year`: 353, 354 or 355 in a common year, 383, 384 or 385 in a leap
// year (one with Adar I); requires year >= 1.
int HebrewYearLength(int year);
// 15 Nisan, the first day of Passover, in Gregorian year `year` (year >= 1).
QDate PassoverDay(int year);
// 25 Kislev, the first day of Chanukah, in Gregorian year `year` (year >= 1).
QDate ChanukahDay(int year);
