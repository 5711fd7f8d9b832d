#include "gui/labels/LabelRunDialogs.h"

#include "core/data/Globals.h"
#include "core/print/Printers.h"
#include "gui/common/Forms.h"
#include "gui/common/MessageBoxes.h"
#include "gui/labels/LabPrint.h"
#include "gui/labels/LabSel.h"
#include "gui/reminders/DateSpan.h"
#include "printing/QtPrinter.h"
#include "xbase/Library.h"

bool LabelRunDialogs::askSpan() {
    SetDefaultSpan();
    SpanCancelled = true;
    if (DateSpan) DateSpan->exec();
    return !SpanCancelled;
}

bool LabelRunDialogs::askPrintOptions() {
    PrintOptionsCancelled = true;
    if (LabPrint) LabPrint->exec();
    return !PrintOptionsCancelled;
}

QString LabelRunDialogs::startColumnText() { return LabPrint ? LabPrint->startColumnText() : QStringLiteral("1"); }

QString LabelRunDialogs::startRowText() { return LabPrint ? LabPrint->startRowText() : QStringLiteral("1"); }

bool LabelRunDialogs::oneLabelPerHousehold() { return LabPrint && LabPrint->oneLabelPerHousehold(); }

void LabelRunDialogs::fillSelection() {
    if (LabSel) LabSel->FillGrid();
}

int LabelRunDialogs::askSelection(int count) {
    ChosenRecNo = -1;  // a showing that picks nothing ends the picking
    if (LabSel) {
        LabSel->setCount(count);
        LabSel->exec();
    }
    return ChosenRecNo;
}

std::unique_ptr<Printer> LabelRunDialogs::makePrinter() {
    auto printer = std::make_unique<QtPrinter>(&UserPrompts());
    // A stored correction for the printer moves what it prints; the PDF file has none.
    PrinterCalibration cal;
    bool found = false;
    const QString name = printer->printerName();
    if (name.isEmpty() || !LibHandle ||
        !LoadPrinterCalibration(*LibHandle, name.toStdString(), &cal, &found).ok() || !found)
        return printer;
    return std::make_unique<CalibratedPrinter>(std::move(printer), cal);
}
