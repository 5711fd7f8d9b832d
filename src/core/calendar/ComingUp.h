#pragma once
// What is coming up: the personal dates and card-sending days of the next days, in date order,
// for the status bar after start-up, the Coming Up report, `merrowby-admin upcoming` and its
// desktop notice. Made from the book's dates (BookDates.h) and the holidays (core/occasions).

#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

#include "core/calendar/BookDates.h"
#include "core/occasions/Occasions.h"

inline constexpr int kComingDaysDefault = 14;
inline constexpr int kComingDaysMost = 366;

struct ComingDate {
    QDate day;
    bool cards = false;  // a holiday's card-sending day; else a personal date
    DateKind kind = DateKind::Birthday;  // a personal date's kind
    QString name;        // a personal date: the person ("Ann Lee"); a holiday: the day ("Chanukah")
    int years = -1;      // a birthday's age or an anniversary's years on that day; -1 not shown
    int occasion = 0;    // a holiday: 1 to 7
    int people = 0;      // a holiday: how many are flagged for it
};

// Everything from `today` to `days` days after it (both included; 0 to kComingDaysMost), in date
// order, a day's personal dates in name order before its holidays. A year-unknown date has no
// age; 29 February comes on 28 February in a common year. Holidays follow `country`'s customs
// and come only when someone is flagged for them.
std::vector<ComingDate> ComingDates(const BookDates& book, const QDate& today, int days,
                                    HolidayCountry country);

// Reads the book and the calendar settings of `lib`'s folder and gives what is coming up from
// `today` on (ComingDates, with the stored country). A book or settings table that cannot be
// read comes back in the Status, with *out empty.
xbase::Status ReadComingDates(xbase::Library& lib, const QDate& today, int days,
                              std::vector<ComingDate>* out);

// One line: "Sat 12 Dec  Birthday  Ann Lee (40)", "Fri 25 Dec  Christmas  Christmas / Chanukah
// cards: 92 to send"; the day in the locale's short names.
QString ComingLine(const ComingDate& date, const QLocale& locale = QLocale());
QStringList ComingLines(const std::vector<ComingDate>& dates, const QLocale& locale = QLocale());

// "Coming up: 2 birthdays and 1 anniversary in the next 14 days" (birthdays, anniversaries,
// other dates and card-sending days, those there are); empty when nothing is coming.
QString ComingSummary(const std::vector<ComingDate>& dates, int days);
// The heading of the report and the notice: "Coming up in the next 14 days".
QString ComingHeading(int days);
