#include "gui/common/Forms.h"
#include "core/labels/LabelFont.h"

#include <QtGlobal>

#include "gui/shell/AboutForm.h"
#include "gui/common/FocusReturn.h"
#include "gui/shell/Quenlow.h"
#include "gui/common/WheelGuard.h"
#include "gui/backup/DriveDir.h"
#include "gui/import/Import.h"
#include "gui/labels/LabPrint.h"
#include "gui/labels/LabSel.h"
#include "gui/labels/LabelDef.h"
#include "gui/labels/PickLab.h"
#include "gui/reminders/DateSpan.h"
#include "gui/reminders/REReport.h"

TQuenlow* Quenlow = nullptr;

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
    SetMainFrame(main);
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
