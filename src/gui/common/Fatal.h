#pragma once
// The program's fatal endings, at the window edge. The data routines report failures as values
// (core/data/DataStatus.h); the windows decide here that a table that cannot be opened, or a
// library error, ends the program with the message the user knows. The message goes through
// the windows' prompts (UserPrompts, gui/common/MessageBoxes.h) like any other; the ending is
// the windows' own.

#include <QString>

class QWidget;

#include "core/data/DataStatus.h"
#include "core/run/RunContext.h"

// Tells the user `text` (Prompts::fatal) and ends the program with code 1 (ExitProgram).
[[noreturn]] void EndProgram(const QString& text);
// EndProgram with "Unable to open file " + fileName + "\r\n" + "Program will now terminate.".
[[noreturn]] void FatalOpenError(const QString& fileName);
// Returns when `opened` is a success; else FatalOpenError with the file it names.
void EndUnlessOpened(const DataStatus& opened);
// Returns when `s` is a success; else EndProgram with its description followed by
// "\r\nProgram will now terminate.".
void EndUnlessOk(const DataStatus& s);
// The library's exit test at the window edge: EndUnlessOk(LibraryStatus()).
void ExitTest();

// A failed write told to the user: "Unable to write " + file + "\r\n" + the engine's reason,
// as an error message over `parent`. True when `s` is a success (nothing is shown).
bool WriteSucceeded(const DataStatus& s, QWidget* parent = nullptr);

// Closes every table, releases LibHandle and ends the process with `code`.
[[noreturn]] void ExitProgram(int code);

// The context the program's runs work in: LibHandle, the windows' prompts, the real clock.
RunContext ProgramContext();
