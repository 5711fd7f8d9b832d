#pragma once
// The admin tool's "backup" and "restore" commands: the routines of the setup page's buttons,
// headless. Prompts that offer a choice are answered "Cancel" (nobody is there to change a
// disk); every message goes to standard error, the status texts to standard output.
//
//   merrowby-admin backup DIR TARGET     copy DIR's three tables into TARGET
//   merrowby-admin restore DIR SOURCE    copy them from SOURCE into DIR and rebuild the indexes

#include <QStringList>

// Return 0 when every table was copied, 1 when the operation failed, 2 for bad arguments.
int AdminBackup(const QStringList& args);
int AdminRestore(const QStringList& args);

inline constexpr const char* kAdminBackupUsage = "merrowby-admin backup DIR TARGET";
inline constexpr const char* kAdminRestoreUsage = "merrowby-admin restore DIR SOURCE";
