#pragma once
// The command table of merrowby-admin: every command (AdminCommandList.h), found by name, and
// the usage text made of their synopses. The program's main only picks the application and
// hands the arguments over; tests call the commands through RunAdminCommand as the tool does.

#include <QString>
#include <QStringList>
#include <string>

inline constexpr int kAdminUnknownCommand = -1000;

// Runs the command called `name` on `args` (those after its name) and returns its exit status;
// kAdminUnknownCommand when there is no such command.
int RunAdminCommand(const QString& name, const QStringList& args);
// True when the command lays out text or pages and so needs fonts (a GUI application).
bool AdminNeedsFonts(const QString& name);
// The whole usage text: the version line, "usage:" and every command's synopsis, indented.
std::string AdminUsage();
