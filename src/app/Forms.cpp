#include "app/Forms.h"
#include "labels/LabelFont.h"

#include <QtGlobal>

#include "app/About.h"
#include "app/FocusReturn.h"
#include "app/Main.h"
#include "app/WheelGuard.h"
#include "backup/DriveDirU.h"
#include "import/ImportU.h"
#include "labels/LabPrintU.h"
#include "labels/LabSelU.h"
#include "labels/LabelDefU.h"
#include "labels/PickLabelU.h"
#include "reminders/DateSpanU.h"
#include "reminders/ReReportU.h"

TQuenlow* Quenlow = nullptr;
TAboutForm* AboutForm = nullptr;
TLabelDef* LabelDef = nullptr;
TPickLab* PickLab = nullptr;
TLabPrint* LabPrint = nullptr;
TImport* Import = nullptr;
TDateSpan* DateSpan = nullptr;
TLabSel* LabSel = nullptr;
TDriveDir* DriveDir = nullptr;
TREReport* REReport = nullptr;

// The pictures are compiled into the static library; make sure its resource table is linked in
// and registered before the first window looks for them.
static void registerResources() { Q_INIT_RESOURCE(resources); }

void LoadResources() {
    static bool done = false;
    if (done) return;
    done = true;
    registerResources();
}

void CreateForms() {
    static bool created = false;
    if (created) return;
    created = true;
    LoadResources();
    InstallWheelGuard();
    InstallFocusReturn();
    // Before any window measures a text: a face resolved once is kept for the whole run.
    InstallFontSubstitutes();
    // The main window first; the dialogs belong to it, so they stay on top of it and go with it.
    auto* main = new TQuenlow();
    Quenlow = main;
    AboutForm = new TAboutForm(main);
    LabelDef = new TLabelDef(main);
    PickLab = new TPickLab(main);
    LabPrint = new TLabPrint(main);
    Import = new TImport(main);
    DateSpan = new TDateSpan(main);
    LabSel = new TLabSel(main);
    DriveDir = new TDriveDir(main);
    REReport = new TREReport(main);
}
