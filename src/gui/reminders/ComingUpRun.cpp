#include "gui/reminders/ComingUpRun.h"

#include <QApplication>

#include "core/data/Globals.h"
#include "core/reminders/ReminderGen.h"
#include "gui/common/Forms.h"
#include "gui/common/MessageBoxes.h"
#include "gui/reminders/REReport.h"
#include "xbase/Library.h"

std::vector<ComingDate> ReadComingUp(const QDate& today, int days, QString* problem) {
    std::vector<ComingDate> coming;
    const xbase::Status s = LibHandle ? ReadComingDates(*LibHandle, today, days, &coming)
                                      : xbase::Status::error(xbase::ErrorKind::BadArgument, "AddrBook.dbf", "no table library");
    if (problem) *problem = s.ok() ? QString() : QString::fromStdString(s.toString());
    return coming;
}

void ComingUpRun() {
    const int days = kComingDaysDefault;
    QString problem;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<ComingDate> coming = ReadComingUp(QDate::currentDate(), days, &problem);
    QApplication::restoreOverrideCursor();
    if (!problem.isEmpty()) {
        UserPrompts().info(QStringLiteral("What is coming up cannot be read.\r\n") + problem);
        return;
    }
    QStringList lines;
    for (const QString& l : ComingLines(coming)) lines << QLatin1Char('\t') + l;
    if (lines.isEmpty()) lines << QStringLiteral("\tNothing in the next %1 days.").arg(days);
    if (!REReport) REReport = new TREReport();
    WriteReportDocument(*REReport->document(), QLatin1Char('\t') + ComingHeading(days), lines);
    REReport->ShowModal();
}
