// Every command of merrowby-admin, in the order of the usage text: each line names the
// AdminCommand a command's file defines. A new command is its file (Admin<Name>.cpp, listed in
// CMakeLists.txt) and its line here. Included by AdminCommands.cpp with MERROWBY_ADMIN_COMMAND
// defined, once to declare and once to list them.
MERROWBY_ADMIN_COMMAND(kAdminInit)
MERROWBY_ADMIN_COMMAND(kAdminCheck)
MERROWBY_ADMIN_COMMAND(kAdminDump)
MERROWBY_ADMIN_COMMAND(kAdminReindex)
MERROWBY_ADMIN_COMMAND(kAdminReminders)
MERROWBY_ADMIN_COMMAND(kAdminLabels)
MERROWBY_ADMIN_COMMAND(kAdminImport)
MERROWBY_ADMIN_COMMAND(kAdminExport)
MERROWBY_ADMIN_COMMAND(kAdminCalendar)
MERROWBY_ADMIN_COMMAND(kAdminUpcoming)
MERROWBY_ADMIN_COMMAND(kAdminBackup)
MERROWBY_ADMIN_COMMAND(kAdminRestore)
MERROWBY_ADMIN_COMMAND(kAdminCards)
MERROWBY_ADMIN_COMMAND(kAdminCalibrate)
MERROWBY_ADMIN_COMMAND(kAdminStocks)
MERROWBY_ADMIN_COMMAND(kAdminRepair)
MERROWBY_ADMIN_COMMAND(kAdminFlags)
