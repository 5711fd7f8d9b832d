#include "gui/occasions/OccasionRuns.h"

#include "gui/labels/OccasionLabelRun.h"
#include "gui/reminders/ReminderRun.h"

void OccasionRuns::labels(int occasion) { OccasionLabelRun(occasion); }

void OccasionRuns::reminders(int occasion, const QString& title) { ReminderRun(occasion, title); }

void OccasionRuns::cardReport(CardReport report, int occasion) { CardReportRun(report, occasion); }
