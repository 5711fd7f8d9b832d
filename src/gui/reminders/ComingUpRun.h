#pragma once
// "Coming Up…" of the Help menu, and a click on the status bar's "Coming up" line: the personal
// dates and card-sending days of the next days (core/calendar/ComingUp.h) in the report viewer,
// where they can be printed like a reminder report.

#include <QDate>
#include <QString>
#include <vector>

#include "core/calendar/ComingUp.h"

// What is coming up in the next `days` days from `today`, read through LibHandle; *problem (when
// given) says why the book could not be read, and the list is then empty.
std::vector<ComingDate> ReadComingUp(const QDate& today, int days, QString* problem = nullptr);

// Reads what is coming up in the next kComingDaysDefault days and shows it in the viewer,
// modally: a heading and one line per day (ComingLine), or "Nothing in the next 14 days."
// A book that cannot be read is told in a message instead.
void ComingUpRun();
