#include "gui/common/Fatal.h"

#include <QMainWindow>
#include <QStatusBar>
#include <cstdlib>

#include "gui/common/Forms.h"
#include "gui/common/Messages.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Library.h"

namespace {

void defaultExit(int code) {
    if (LibHandle) {
        // The process ends on an error already told: a failure here has nowhere left to go.
        (void)CloseAllTables();
        delete LibHandle;
        LibHandle = nullptr;
    }
    AddrBookTable = LabelsTable = SettingsTable = ImportTable = nullptr;
    std::exit(code);
}

FatalExitHandler exitHandler = &defaultExit;

class ProgramPrompts : public Prompts {
public:
    void info(const QString& text) override { Messages::info(text); }
    bool okCancel(const QString& text) override { return Messages::okCancel(text); }
    void status(const QString& text) override {
        QMainWindow* frame = MainFrame();
        if (!frame) return;
        if (text.isEmpty())
            frame->statusBar()->clearMessage();
        else
            frame->statusBar()->showMessage(text);
        frame->statusBar()->repaint();
    }
};

}  // namespace

void FatalOpenError(const QString& fileName) {
    Messages::info(QStringLiteral("Unable to open file ") + fileName + QStringLiteral("\r\n") +
                   QStringLiteral("Program will now terminate."));
    ExitProgram(1);
}

void EndUnlessOpened(const DataStatus& opened) {
    if (!opened) FatalOpenError(opened.file);
}

void EndUnlessOk(const DataStatus& s) {
    if (s) return;
    Messages::info((s.detail.isEmpty() ? s.file : s.detail) + QStringLiteral("\r\nProgram will now terminate."));
    ExitProgram(1);
}

bool WriteSucceeded(const DataStatus& s, QWidget* parent) {
    if (s) return true;
    Messages::error(QStringLiteral("Unable to write ") + s.file +
                        (s.detail.isEmpty() ? QString() : QStringLiteral("\r\n") + s.detail),
                    parent);
    return false;
}

void ExitTest() { EndUnlessOk(LibraryStatus()); }

void SetFatalExitHandler(FatalExitHandler handler) { exitHandler = handler ? handler : &defaultExit; }

void ExitProgram(int code) {
    exitHandler(code);
    // A handler that returns still ends the process: callers rely on never coming back.
    defaultExit(code);
}

Prompts& WindowPrompts() {
    static ProgramPrompts prompts;
    return prompts;
}

RunContext ProgramContext() {
    RunContext ctx;
    ctx.lib = LibHandle;
    ctx.prompts = &WindowPrompts();
    return ctx;
}
