#pragma once
// The program's fatal endings, at the window edge. The data routines report failures as values
// (core/data/DataStatus.h); the windows decide here that a table that cannot be opened, or a
// library error, ends the program with the message the user knows.

#include <QString>

class QWidget;

#include "core/data/DataStatus.h"
#include "core/run/RunContext.h"

// Shows "Unable to open file " + fileName + "\r\n" + "Program will now terminate." and ends the
// process (through the handler below).
[[noreturn]] void FatalOpenError(const QString& fileName);
// Returns when `opened` is a success; else FatalOpenError with the file it names.
void EndUnlessOpened(const DataStatus& opened);
// Returns when `s` is a success; else shows its description followed by
// "\r\nProgram will now terminate." and ends the process.
void EndUnlessOk(const DataStatus& s);
// The library's exit test at the window edge: EndUnlessOk(LibraryStatus()).
void ExitTest();

// A failed write told to the user: "Unable to write " + file + "\r\n" + the engine's reason,
// as an error message over `parent`. True when `s` is a success (nothing is shown).
bool WriteSucceeded(const DataStatus& s, QWidget* parent = nullptr);

// How the process ends after a fatal error; tests replace it with one that throws.
using FatalExitHandler = void (*)(int code);
void SetFatalExitHandler(FatalExitHandler handler);
// Closes every table, releases LibHandle and ends the process with `code` (through the handler).
[[noreturn]] void ExitProgram(int code);

// The prompts of the windows: message boxes (Messages.h) and the main window's status bar.
Prompts& WindowPrompts();
// The context the program's runs work in: LibHandle, the window prompts, the real clock.
RunContext ProgramContext();
