#pragma once
// The windows of the program, created once at start-up in this order and kept until exit:
// the main window, then the nine dialogs (CreateForms, gui/shell/Quenlow.h). Code that shows a
// dialog reaches it through these; the widget kit reaches the main window through MainFrame, so
// that nothing below the shell needs the main window's header.

class QMainWindow;
class TAboutForm;
class TLabelDef;
class TPickLab;
class TLabPrint;
class TImport;
class TDateSpan;
class TLabSel;
class TDriveDir;
class TREReport;

extern TAboutForm* AboutForm;
extern TLabelDef* LabelDef;
extern TPickLab* PickLab;
extern TLabPrint* LabPrint;
extern TImport* Import;
extern TDateSpan* DateSpan;
extern TLabSel* LabSel;
extern TDriveDir* DriveDir;
extern TREReport* REReport;

// The main window as a frame (its status bar, a repaint), or null before CreateForms.
QMainWindow* MainFrame();
// Called by CreateForms with the main window it made.
void SetMainFrame(QMainWindow* frame);
