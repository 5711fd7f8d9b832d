#pragma once
// The runs a click on the occasions list starts (gui/occasions/OccasionsPage.h). The methods start
// the program's runs; the page reaches them through Installed<OccasionRuns>
// (gui/common/Installed.h), where a test installs an object that notes the runs instead.

#include <QString>

#include "core/reminders/ReminderGen.h"  // CardReport

class OccasionRuns {
public:
    virtual ~OccasionRuns() = default;

    // The label run for occasion 1 to 9 (OccasionLabelRun, gui/labels/OccasionLabelRun.h).
    virtual void labels(int occasion);
    // The reminder run for occasion 1 to 8 with its title (ReminderRun, gui/reminders/ReminderRun.h).
    virtual void reminders(int occasion, const QString& title);
    // A card-log report for holiday 1 to 7 (CardReportRun, gui/reminders/ReminderRun.h).
    virtual void cardReport(CardReport report, int occasion);
};
