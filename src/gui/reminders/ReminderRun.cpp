// The reminder run started from the occasions page: the span dialog, the report, the viewer.
#include "gui/reminders/ReminderRun.h"

#include "gui/common/BusyCursor.h"
#include "gui/common/Fatal.h"
#include "gui/common/Forms.h"
#include "core/data/Globals.h"
#include "core/occasions/Occasions.h"
#include "gui/reminders/DateSpan.h"
#include "gui/reminders/REReport.h"
#include "core/reminders/ReminderGen.h"

void ReminderRun(int occasion, const QString& title) {
    if (occasion < 1 || occasion > OccasionDated) return;
    if (occasion == OccasionDated) {
        if (!DateSpan) DateSpan = new TDateSpan();
        SetDefaultSpan();
        DateSpan->exec();
        if (SpanCancelled) return;
    }
    if (!REReport) REReport = new TREReport();

    QStringList lines;
    const DataStatus opened = [&] {
        BusyCursor busy;
        return CollectReminderLines(occasion, SpanStart, SpanEnd, lines);
    }();
    EndUnlessOpened(opened);
    WriteReminderReport(*REReport->document(), title, lines);

    REReport->ShowModal();
}

void CardReportRun(CardReport report, int occasion) {
    if (occasion < 1 || occasion > 7) return;
    if (!REReport) REReport = new TREReport();
    // The year a run printed today would be logged for: in December, next Valentine's.
    const int year = CardYear(occasion, QDate::currentDate());
    QStringList lines;
    const DataStatus read = [&] {
        BusyCursor busy;
        return CollectCardReportLines(report, occasion, year, lines);
    }();
    EndUnlessOpened(read);
    WriteReminderReport(*REReport->document(), CardReportTitle(report, occasion, year), lines);
    REReport->ShowModal();
}
