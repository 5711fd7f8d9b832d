#pragma once
// The reminder runs started from the occasions page: the span dialog, the report
// (core/reminders/ReminderGen.h), the viewer.

#include <QString>

#include "core/reminders/ReminderGen.h"  // CardReport

// The click on a holiday row with a card-log report chosen: the report into the viewer, modal.
void CardReportRun(CardReport report, int occasion);

// The click on reminder row `occasion` (1 to 8) with its title: for occasion 8 the span dialog
// first (nothing happens when it is cancelled), then the report into the viewer, shown modally.
// Returns when the viewer is closed. Occasions outside 1 to 8 do nothing.
void ReminderRun(int occasion, const QString& title);
