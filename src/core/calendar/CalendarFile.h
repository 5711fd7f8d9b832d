#pragma once
// The calendar export: the book's dates as an iCalendar file (RFC 5545) that desktop and phone
// calendars import.
//
// Every flagged personal date that is set gives a yearly all-day event ("Birthday: Ann Lee")
// with an alarm some days before; a 29 February recurs on the last day of February in common
// years. Every holiday with someone flagged for it gives an all-day event on each of its days
// ("Christmas / Chanukah cards: 92 to send (Chanukah)") with its own, earlier alarm: a day that
// a rule finds every year as a yearly rule, Easter, Passover, Chanukah and Mothering Sunday as
// single events for the years asked for. Events are transparent (they do not make the user
// busy), and a UID stays the same from one export to the next while the person's name, the
// kind of date and the date stay the same, so that importing a new export updates the calendar
// instead of filling it twice.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include "core/calendar/BookDates.h"
#include "core/calendar/CalendarSettings.h"
#include "core/data/RunStatus.h"

struct CalendarOptions {
    CalendarSettings settings;  // whose holidays, the two alarms, the years of single events
    QDate today;                // the day of the export
    QDateTime stamp;            // when the file was made (DTSTAMP)
};

// The whole file: VCALENDAR with its events, UTF-8, CRLF lines folded at 75 octets. *events
// (when given) receives the number of events.
QByteArray CalendarText(const BookDates& book, const CalendarOptions& options, int* events = nullptr);

struct CalendarOutcome {
    int events = 0;
    RunStatus status;  // ok on success; the file is then complete, else it was not written
};
// Reads the book of `lib`'s folder and writes the calendar to `path` through a temporary file
// renamed into place: the file is whole or it is not written.
CalendarOutcome ExportCalendar(xbase::Library& lib, const QString& path, const CalendarOptions& options);
