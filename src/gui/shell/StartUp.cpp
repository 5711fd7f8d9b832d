// The start-up sequence of the main window, and the helpers it alone uses.
#include <QFont>
#include <QStringList>
#include <QTabWidget>

#include "gui/shell/AboutForm.h"
#include "gui/common/Forms.h"
#include "gui/shell/Quenlow.h"
#include "gui/common/Fatal.h"
#include "core/data/DataLock.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/occasions/OccasionsPage.h"
#include "version.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"

namespace {

constexpr double kStartPauseDays = 0.00002;  // 1.728 seconds
constexpr int kLabelsMode = 1;

template <class Page>
void setOccasionsMode(Page* p, int mode) {
    if constexpr (requires { p->SetOccasionsMode(mode); }) p->SetOccasionsMode(mode);
}

}  // namespace

QString ProgramVersionText() { return QStringLiteral(MERROWBY_VERSION_TEXT); }


void TQuenlow::FormShow() {
    if (formShowRun_) return;
    formShowRun_ = true;

    // 1. Version of the program.
    VersionText = ProgramVersionText();

    // 2. The About box as a splash, painted at once.
    SplashMode = true;
    if (AboutForm) {
        AboutForm->show();
        AboutForm->repaint();
        // The pause below blocks painting: let the window system map the box and paint it first.
        AboutForm->waitUntilPainted(1000);
    }

    // 3. The data files must be in the working directory; nothing is created or touched if not.
    if (!DataFilesPresent()) {
        EndProgram(QStringLiteral("Database files not found in startup directory\r\n"
                                  "Program must be started from the directory containing the data files."));
    }
    // One copy of the program at a time on a data directory (the lock lasts until the end).
    if (AcquireDataLock(".") == DataLockResult::InUse) {
        EndProgram(QStringLiteral("The data files are in use by another copy of Merrowby."));
    }
    // Under the lock nobody else writes here: what a copy, pack or index build left when it was
    // stopped part-way is ours to take away.
    xbase::removeLeftovers(xbase::FileSystem::real(), ".");

    // 4. The library handle, on the working directory.
    if (!LibHandle) LibHandle = new xbase::Library();
    ExitTest();

    // 5. Missing index files.
    EndUnlessOk(RebuildIndexes(true));

    // 6. Caption.
    setWindowTitle(QStringLiteral("Merrowby ") + VersionText + QStringLiteral(" by Brantix"));

    // 7. Settings.
    EndUnlessOpened(OpenSettings());
    LoadSettings();
    (void)CloseTable(SettingsTable);  // read only

    // 8, 9. The label font, and the window's own face taken from it at the design size.
    ApplyLabelFontPreference();
    QFont own(LabelFont.family(), kDesignFontPoints);
    own.setStyleHint(QFont::SansSerif);
    setFont(own);

    // 10. The splash stays up a moment; nothing is processed meanwhile.
    Pause(kStartPauseDays);

    // 11.
    if (AboutForm) AboutForm->hide();
    SplashMode = false;

    // 12. Labels mode on the occasions page.
    setOccasionsMode(occasionsPage(), kLabelsMode);

    // 13, 14. Normal window state; the address book in front, which opens its table.
    setWindowState(Qt::WindowNoState);
    startedUp_ = true;
    if (pageControl()->currentIndex() != 0)
        pageControl()->setCurrentIndex(0);  // runs the page's show hook through the change signal
    else
        showAddressPage();

    // After the sequence: what is coming up, in the status bar.
    ShowComingUp();
}
