#pragma once
// The main window `TQuenlow`: the frame of the program. It holds the menu, the status bar and a
// page control with the three pages, runs the start-up sequence when first shown (FormShow, in
// StartUp.cpp) and closes every table and releases the library handle when it closes
// (FormClose). The pages themselves are their own classes (src/gui/addressbook/, occasions/,
// setup/).
//
// Page changes: when "Address Book" becomes the current page the window calls
// addressPage()->TabSheet2Show(); when it stops being current, and when the window closes, the
// focus is first moved off the page (so its leave-a-control save runs while its table is open)
// and then addressPage()->TabSheet2Hide() is called.

#include <QMainWindow>
#include <QString>

#include "core/labels/LabelFont.h"

class AddressPage;
class OccasionsPage;
class SetupPage;
class QAction;
class QLabel;
class QTabWidget;


class TQuenlow : public QMainWindow {
    Q_OBJECT
public:
    explicit TQuenlow(QWidget* parent = nullptr);
    ~TQuenlow() override;

    QTabWidget* pageControl() const { return PageControl1; }
    AddressPage* addressPage() const { return TabSheet2; }
    OccasionsPage* occasionsPage() const { return TabSheet1; }
    SetupPage* setupPage() const { return TabSheet3; }

    QAction* Exit1 = nullptr;          // "File" > "Exit"
    QAction* AboutBrantix1 = nullptr;  // "Help" > "About Brantix"
    QAction* Help2 = nullptr;          // "Help" > "Help"
    QAction* ComingUp1 = nullptr;      // "Help" > "Coming Up…"
    // The status bar's "Coming up: ..." line, a link to the Coming Up report; hidden while
    // nothing is coming up.
    QLabel* ComingUpLine = nullptr;

    // True once FormShow has run to its end.
    bool startedUp() const { return startedUp_; }

public slots:
    // The start-up sequence; runs once, when the window is first shown. A failed check ends the
    // program (EndProgram, gui/common/Fatal.h) and the remaining steps do not run.
    void FormShow();
    // Closes every table and releases LibHandle; safe to call more than once.
    void FormClose();
    void Exit1Click();
    void AboutBrantix1Click();
    void Help2Click();
    void PageControl1Change(int index);
    // The Coming Up report (gui/reminders/ComingUpRun.h), then the status bar's line afresh.
    void ComingUp1Click();
    // Reads what is coming up and writes the status bar's line: the summary, or nothing.
    void ShowComingUp();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showAddressPage();
    void hideAddressPage();

    QTabWidget* PageControl1 = nullptr;
    AddressPage* TabSheet2 = nullptr;    // "Address Book"
    OccasionsPage* TabSheet1 = nullptr;  // "Labels && Reminders"
    SetupPage* TabSheet3 = nullptr;      // "Setup && Maintenance"
    bool formShowRun_ = false;
    bool startedUp_ = false;
    bool addressShown_ = false;
    bool closed_ = false;
};

// The program version as major.minor.build ("2.0.5"), from the build.
QString ProgramVersionText();


// The help document opened by "Help": mby.htm in the working directory.
QString HelpDocumentPath();

// The main window, made by CreateForms; null before.
extern TQuenlow* Quenlow;
// Creates the main window and the nine dialogs (gui/common/Forms.h) once; later calls do
// nothing.
void CreateForms();
// Registers the pictures compiled into the program (once; later calls do nothing).
void LoadResources();
