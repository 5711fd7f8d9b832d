#pragma once
// The windows of the program, created once at start-up in this order and kept until exit:
// the main window, then the nine dialogs. Code that shows a dialog reaches it through these.

class TQuenlow;
class TAboutForm;
class TLabelDef;
class TPickLab;
class TLabPrint;
class TImport;
class TDateSpan;
class TLabSel;
class TDriveDir;
class TREReport;

extern TQuenlow* Quenlow;
extern TAboutForm* AboutForm;
extern TLabelDef* LabelDef;
extern TPickLab* PickLab;
extern TLabPrint* LabPrint;
extern TImport* Import;
extern TDateSpan* DateSpan;
extern TLabSel* LabSel;
extern TDriveDir* DriveDir;
extern TREReport* REReport;

// Creates the main window and the nine dialogs (once; later calls do nothing).
void CreateForms();
