#pragma once
// The admin tool's "repair" command: mends a data folder whose tables lost count of their rows
// (a header that counts fewer rows than its file holds, which every writer refuses and `check`
// names). Under the data-folder lock it keeps a copy of each table it changes beside it
// (AddrBook.dbf.orig-YYYYMMDD-HHMMSS), makes each header count every whole row of its file, and
// then rebuilds the indexes as `reindex` does.
//
//   merrowby-admin repair DIR

#include <QStringList>

// 0 when every table counts its rows and every index was rebuilt; 1 when something could not be
// mended (said on standard error); 2 for bad arguments.
int AdminRepair(const QStringList& args);

inline constexpr const char* kAdminRepairUsage = "merrowby-admin repair DIR";
