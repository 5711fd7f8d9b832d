#pragma once
// merrowby-admin import: the contact import run of the import dialog, headless, with the layout
// stored in DIR's importf table (the stored layout is not changed).
//
//   merrowby-admin import DIR FILE
//
// With --detect the file is read as a vCard or header-row CSV file instead (AdminContacts.h).
//
// Prints "N Names Added" on standard output, progress and problems on standard error.

#include <QStringList>

// Returns 0 on success, 1 when FILE is missing or the run stopped on an error (rows added
// before stay), 2 for bad arguments.
int AdminImport(const QStringList& args);
