#include "gui/common/Forms.h"

TAboutForm* AboutForm = nullptr;
TLabelDef* LabelDef = nullptr;
TPickLab* PickLab = nullptr;
TLabPrint* LabPrint = nullptr;
TImport* Import = nullptr;
TDateSpan* DateSpan = nullptr;
TLabSel* LabSel = nullptr;
TDriveDir* DriveDir = nullptr;
TREReport* REReport = nullptr;

namespace {
QMainWindow* mainFrame = nullptr;
}  // namespace

QMainWindow* MainFrame() { return mainFrame; }

void SetMainFrame(QMainWindow* frame) { mainFrame = frame; }
