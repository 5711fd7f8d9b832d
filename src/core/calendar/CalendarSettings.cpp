#include "core/calendar/CalendarSettings.h"

#include <QString>

#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

using xbase::ErrorKind;
using xbase::Status;

const char* const kFile = "Calendar.dbf";

TableSchema makeSchema() {
    TableSchema t;
    t.baseName = "Calendar";
    t.fileName = kFile;
    t.fields = {{"Country", 'C', 2, 0}, {"AlarmDays", 'N', 3, 0}, {"HolAlarm", 'N', 3, 0}, {"Years", 'N', 3, 0}};
    t.shownName = kFile;
    return t;
}

Status failure(xbase::Library& lib, const char* what) {
    Status s = lib.lastError();
    lib.errorCode();
    if (s.ok()) s = Status::error(ErrorKind::IoError, kFile, what);
    return s;
}

bool inRange(long long v, int low, int high) { return v >= low && v <= high; }

// The table alone: it has no index, and the library must not look for one.
xbase::Table* openOrCreate(xbase::Library& lib, bool create) {
    const bool was = lib.autoOpen();
    lib.setAutoOpen(false);
    lib.errorCode();
    const bool have = lib.fs().exists(xbase::resolveName(lib.fs(), lib.directory(), kFile));
    xbase::Table* t = have ? lib.open(CalendarSchema().baseName)
                      : create ? lib.create(CalendarSchema().baseName, CalendarSchema().fields)
                               : nullptr;
    lib.setAutoOpen(was);
    return t;
}

// Positions `t` on its first live row: kOk, kEof when there is none, or an error.
int firstLiveRow(xbase::Table* t) {
    int rc = t->top();
    while (rc == xbase::kOk && t->deleted()) rc = t->skip();
    return rc;
}

}  // namespace

const TableSchema& CalendarSchema() {
    static const TableSchema s = makeSchema();
    return s;
}

Status LoadCalendarSettings(xbase::Library& lib, CalendarSettings* out) {
    *out = CalendarSettings();
    if (!lib.fs().exists(xbase::resolveName(lib.fs(), lib.directory(), kFile))) return Status::Ok();
    xbase::Table* t = openOrCreate(lib, false);
    if (!t) return failure(lib, "cannot open");
    const int rc = firstLiveRow(t);
    if (rc == xbase::kOk) {
        const auto number = [t](const char* name) { return t->field(name) ? t->field(name)->asInt() : -1; };
        if (xbase::Field* f = t->field("Country")) out->country = CountryFromCode(QString::fromStdString(f->str()));
        if (const long long v = number("AlarmDays"); inRange(v, 0, kMaxAlarmDays)) out->alarmDays = int(v);
        if (const long long v = number("HolAlarm"); inRange(v, 0, kMaxAlarmDays)) out->holidayAlarmDays = int(v);
        if (const long long v = number("Years"); inRange(v, 1, kMaxCalendarYears)) out->years = int(v);
    }
    const Status s = rc < 0 ? failure(lib, "cannot read") : Status::Ok();
    t->close();  // read only
    lib.errorCode();
    return s;
}

Status StoreCalendarSettings(xbase::Library& lib, const CalendarSettings& settings) {
    if (!inRange(settings.alarmDays, 0, kMaxAlarmDays) || !inRange(settings.holidayAlarmDays, 0, kMaxAlarmDays))
        return Status::error(ErrorKind::BadArgument, kFile, "alarm days must be 0 to 365");
    if (!inRange(settings.years, 1, kMaxCalendarYears))
        return Status::error(ErrorKind::BadArgument, kFile, "years must be 1 to 100");
    xbase::Table* t = openOrCreate(lib, true);
    if (!t) return failure(lib, "cannot open");
    Status s;
    const int rc = firstLiveRow(t);
    if (rc < 0) s = failure(lib, "cannot read");
    else if (rc != xbase::kOk && t->appendBlank() != 0) s = failure(lib, "cannot append");
    if (s.ok()) {
        t->field("Country")->assign(CountryCode(settings.country));
        t->field("AlarmDays")->assignInt(settings.alarmDays);
        t->field("HolAlarm")->assignInt(settings.holidayAlarmDays);
        t->field("Years")->assignInt(settings.years);
        if (lib.exitTest() || t->flush() < 0) s = failure(lib, "cannot write");
    }
    if (t->close() < 0 && s.ok()) s = failure(lib, "cannot write");
    return s;
}
