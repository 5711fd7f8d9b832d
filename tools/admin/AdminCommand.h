#pragma once
// One command of merrowby-admin: its name, whether it lays out text (and so needs fonts: a GUI
// application on the offscreen platform), what it runs and its usage. A command's file defines
// its AdminCommand as kAdmin<Name>; AdminCommandList.h lists them for the command table.

#include <QStringList>

struct AdminCommand {
    const char* name;
    bool needsFonts;
    // Runs the command on its arguments (those after its name); returns the exit status: 0 done,
    // 1 failed, 2 bad arguments.
    int (*run)(const QStringList& args);
    // The synopsis, "merrowby-admin NAME ..."; a second form goes on a line of its own, indented
    // by two blanks.
    const char* usage;
};
