#include "core/calendar/CalendarSettings.h"

#include <QString>

#include "core/data/OwnTables.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

using xbase::ErrorKind;
using xbase::Status;

const char* const kFile = "Calendar.dbf";

bool inRange(long long v, int low, int high) { return v >= low && v <= high; }

// Positions `t` on its first live row: kOk, kEof when there is none, or an error.
int firstLiveRow(xbase::Table* t) {
    int rc = t->top();
    while (rc == xbase::kOk && t->deleted()) rc = t->skip();
    return rc;
}

}  // namespace

const TableSchema& CalendarSchema() { return OwnTableSchema("Calendar"); }

Status LoadCalendarSettings(xbase::Library& lib, CalendarSettings* out) {
    *out = CalendarSettings();
    xbase::Table* t = nullptr;
    XB_TRY(OpenOwnTable(lib, CalendarSchema(), false, &t));
    if (!t) return Status::Ok();  // nothing stored yet
    const int rc = firstLiveRow(t);
    if (rc == xbase::kOk) {
        const auto number = [t](const char* name) { return t->field(name) ? t->field(name)->asInt() : -1; };
        if (xbase::Field* f = t->field("Country")) out->country = CountryFromCode(QString::fromStdString(f->str()));
        if (const long long v = number("AlarmDays"); inRange(v, 0, kMaxAlarmDays)) out->alarmDays = int(v);
        if (const long long v = number("HolAlarm"); inRange(v, 0, kMaxAlarmDays)) out->holidayAlarmDays = int(v);
        if (const long long v = number("Years"); inRange(v, 1, kMaxCalendarYears)) out->years = int(v);
    }
    return CloseOwnTable(lib, t, rc < 0 ? LibraryFailure(lib, kFile, "cannot read") : Status::Ok());
}

Status StoreCalendarSettings(xbase::Library& lib, const CalendarSettings& settings) {
    if (!inRange(settings.alarmDays, 0, kMaxAlarmDays) || !inRange(settings.holidayAlarmDays, 0, kMaxAlarmDays))
        return Status::error(ErrorKind::BadArgument, kFile, "alarm days must be 0 to 365");
    if (!inRange(settings.years, 1, kMaxCalendarYears))
        return Status::error(ErrorKind::BadArgument, kFile, "years must be 1 to 100");
    xbase::Table* t = nullptr;
    XB_TRY(OpenOwnTable(lib, CalendarSchema(), true, &t));
    Status s;
    const int rc = firstLiveRow(t);
    if (rc < 0) s = LibraryFailure(lib, kFile, "cannot read");
    else if (rc != xbase::kOk && t->appendBlank() != 0) s = LibraryFailure(lib, kFile, "cannot append");
    if (s.ok()) {
        t->field("Country")->assign(CountryCode(settings.country));
        t->field("AlarmDays")->assignInt(settings.alarmDays);
        t->field("HolAlarm")->assignInt(settings.holidayAlarmDays);
        t->field("Years")->assignInt(settings.years);
        if (lib.exitTest() || t->flush() < 0) s = LibraryFailure(lib, kFile, "cannot write");
    }
    return CloseOwnTable(lib, t, s);
}
