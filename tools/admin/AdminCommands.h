#pragma once
// The admin tool's subcommands that run the program's own routines headless (import, backup,
// restore, labels, reminders). Each lives with its subsystem; this table dispatches to them.

#include <QString>
#include <QStringList>

inline constexpr int kAdminUnknownCommand = -1000;

// Runs `cmd` with its arguments; kAdminUnknownCommand when there is no such command.
int RunAdminCommand(const QString& cmd, const QStringList& args);
// True when the command lays out text or pages and so needs a GUI application.
bool AdminNeedsGui(const std::string& cmd);
// Usage lines of these commands.
const char* AdminExtraUsage();
