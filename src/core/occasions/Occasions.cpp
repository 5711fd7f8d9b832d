#include "core/occasions/Occasions.h"

#include "core/data/Globals.h"

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
