// The reminder run started from the occasions page: the span dialog, the report, the viewer.
#include "gui/reminders/ReminderRun.h"

#include <QTextDocument>

#include "gui/common/BusyCursor.h"
#include "gui/common/Fatal.h"
#include "gui/common/Forms.h"
#include "core/data/Globals.h"
#include "core/occasions/Occasions.h"
#include "gui/reminders/DateSpan.h"
#include "gui/reminders/REReport.h"
#include "core/reminders/ReminderGen.h"

namespace {

// Writes the report into the viewer (under the run's busy cursor: filling the text view is most
// of a large report's time) and lets the lines go.
void writeReport(const DataStatus& read, const QString& title, QStringList& lines) {
    if (read) WriteReminderReport(*REReport->document(), title, lines);
    lines = QStringList();
}

// Shows the written report with the normal cursor. A report closed is not kept: a large book's
// takes hundreds of megabytes.
void showReport(const DataStatus& read) {
    EndUnlessOpened(read);
    REReport->ShowModal();
    REReport->document()->clear();
}

}  // namespace

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
        const DataStatus read = CollectReminderLines(occasion, SpanStart, SpanEnd, lines);
        writeReport(read, title, lines);
        return read;
    }();
    showReport(opened);
}

void CardReportRun(CardReport report, int occasion) {
    if (occasion < 1 || occasion > 7) return;
    if (!REReport) REReport = new TREReport();
    // The year a run printed today would be logged for: in December, next Valentine's.
    const int year = CardYear(occasion, QDate::currentDate());
    QStringList lines;
    const DataStatus read = [&] {
        BusyCursor busy;
        const DataStatus collected = CollectCardReportLines(report, occasion, year, lines);
        writeReport(collected, CardReportTitle(report, occasion, year), lines);
        return collected;
    }();
    showReport(read);
}
