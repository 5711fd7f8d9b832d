#pragma once
// What an interactive label run (gui/labels/OccasionLabelRun.h) asks through dialogs of its own
// before it prints: the date span of a birthday and anniversary run, the recipients picked one
// by one, the print options with the first label's place on the sheet, and the printer. The
// methods are the program's dialogs; the runs reach them through Installed<LabelRunDialogs>
// (gui/common/Installed.h), where a test installs its own answers.

#include <QString>
#include <memory>

class Printer;

class LabelRunDialogs {
public:
    virtual ~LabelRunDialogs() = default;

    // The date span into SpanStart and SpanEnd, from the default span (SetDefaultSpan); false
    // when the user cancelled. The span dialog (gui/reminders/DateSpan.h).
    virtual bool askSpan();
    // The print options for LabelCount labels, over LABELS open with at least one stock: the
    // stock chosen in LabelRec; false when the user cancelled. The print options dialog
    // (gui/labels/LabPrint.h).
    virtual bool askPrintOptions();
    // The texts of the print options' start column and start row fields, as typed.
    virtual QString startColumnText();
    virtual QString startRowText();
    // Whether the print options' "One label per household" was ticked when they were left.
    virtual bool oneLabelPerHousehold();
    // Fills the selection grid from AddrBook, open, once before the picking.
    virtual void fillSelection();
    // One showing of the selection with `count` recipients picked so far: the record number
    // picked, or -1 when the picking is over. The selection dialog (gui/labels/LabSel.h).
    virtual int askSelection(int count);
    // The printer a run prints on: the Qt printer, through its stored correction when it has one.
    virtual std::unique_ptr<Printer> makePrinter();
};

