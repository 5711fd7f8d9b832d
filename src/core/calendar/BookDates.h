#pragma once
// The dates of the address book that a calendar shows: every personal date whose flag is set and
// whose date is filled in, and how many people each holiday's cards go to. The calendar export
// (CalendarFile.h) and the list of what is coming up (ComingUp.h) are both made from these.
//
// The book is read straight from AddrBook.dbf, whatever table of it is open meanwhile (the
// address page keeps one open while it is in front); nothing is written.

#include <QDate>
#include <QString>
#include <array>
#include <vector>

#include "xbase/Status.h"

namespace xbase {
class Library;
}

// The dated entries in the order the book holds them: Birthday, Anniversary, Other 1, Other 2.
enum class DateKind { Birthday, Anniversary, Other1, Other2 };

struct PersonalDate {
    DateKind kind;
    QString first, last;  // trimmed
    QDate date;           // its year may be kYearUnknown (core/data/Records.h)
};

struct BookDates {
    // In name order (last name, then first name, letter case ignored, as the Address tag
    // sorts), a person's dates in kind order.
    std::vector<PersonalDate> dates;
    // People flagged for holidays 1 to 7: cards[occasion - 1].
    std::array<int, 7> cards{};
};

// "Birthday", "Anniversary", "Other date" (both other dates).
const char* DateKindName(DateKind kind);

// The day `date` comes round in `year`: the same month and day, and for 29 February the last day
// of February, the 28th in a common year.
QDate DateInYear(const QDate& date, int year);

// Reads the book of `lib`'s folder into *out. A flagged date left empty gives nothing. A table
// that cannot be read comes back in the Status (naming AddrBook.dbf) with *out empty.
xbase::Status ReadBookDates(xbase::Library& lib, BookDates* out);
