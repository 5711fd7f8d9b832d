#pragma once
// The calendar settings: whose customs the moving holidays follow, and what the calendar export
// puts in its file. Kept in a table of our own, Calendar.dbf (one row, made when the settings
// are first stored, found whatever its letter case); a data folder without it has the defaults.

#include "core/data/Schema.h"
#include "core/occasions/Occasions.h"
#include "xbase/Status.h"

namespace xbase {
class Library;
}

struct CalendarSettings {
    HolidayCountry country = HolidayCountry::UnitedStates;
    int alarmDays = 7;          // personal dates: an alarm so many days before (0: on the day)
    int holidayAlarmDays = 21;  // card-sending days: an alarm so many days before
    int years = 10;             // Easter, Passover, Chanukah, Mothering Sunday: events for so many years
};
inline constexpr int kMaxAlarmDays = 365;
inline constexpr int kMaxCalendarYears = 100;

const TableSchema& CalendarSchema();

// The stored settings into *out; the defaults when the table or its row is missing, and for a
// stored number out of its range. A table that cannot be read comes back in the Status, with
// *out holding the defaults.
xbase::Status LoadCalendarSettings(xbase::Library& lib, CalendarSettings* out);
// Stores `settings`, making the table when there is none. BadArgument (nothing written) for a
// number out of its range: alarms 0 to kMaxAlarmDays, years 1 to kMaxCalendarYears.
xbase::Status StoreCalendarSettings(xbase::Library& lib, const CalendarSettings& settings);
