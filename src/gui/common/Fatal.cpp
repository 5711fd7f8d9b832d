#include "gui/common/Fatal.h"

#include <cstdlib>

#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/common/MessageBoxes.h"
#include "xbase/Library.h"

void EndProgram(const QString& text) {
    UserPrompts().fatal(text);
    ExitProgram(1);
}

void FatalOpenError(const QString& fileName) {
    EndProgram(QStringLiteral("Unable to open file ") + fileName + QStringLiteral("\r\n") +
               QStringLiteral("Program will now terminate."));
}

void EndUnlessOpened(const DataStatus& opened) {
    if (!opened) FatalOpenError(opened.file);
}

void EndUnlessOk(const DataStatus& s) {
    if (s) return;
    EndProgram((s.detail.isEmpty() ? s.file : s.detail) + QStringLiteral("\r\nProgram will now terminate."));
}

bool WriteSucceeded(const DataStatus& s, QWidget* parent) {
    if (s) return true;
    UserPrompts(parent).error(QStringLiteral("Unable to write ") + s.file +
                              (s.detail.isEmpty() ? QString() : QStringLiteral("\r\n") + s.detail));
    return false;
}

void ExitTest() { EndUnlessOk(LibraryStatus()); }

void ExitProgram(int code) {
    if (LibHandle) {
        // The process ends on an error already told: a failure here has nowhere left to go.
        (void)CloseAllTables();
        delete LibHandle;
        LibHandle = nullptr;
    }
    AddrBookTable = LabelsTable = SettingsTable = ImportTable = nullptr;
    std::exit(code);
}

RunContext ProgramContext() {
    RunContext ctx;
    ctx.lib = LibHandle;
    ctx.prompts = &UserPrompts();
    return ctx;
}
