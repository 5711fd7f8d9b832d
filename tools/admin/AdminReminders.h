#pragma once
// merrowby-admin reminders: the reminder report of one occasion as plain text on standard
// output, for scripting.
//
//   merrowby-admin reminders DIR --occasion N [--from YYYY-MM-DD --to YYYY-MM-DD]
//
// N is 1 to 8 as on the occasions page; the span (occasion 8 only; default the current month)
// is inclusive at both ends. Dates in the report follow the process locale's short date format.

#include <QStringList>

// Returns 0 on success, 2 for bad arguments (with a message on standard error), 1 when the data
// directory cannot be read.
int AdminReminders(const QStringList& args);
