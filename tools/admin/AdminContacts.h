#pragma once
// The admin tool's contact commands beside the positional import:
//
//   merrowby-admin export DIR --format vcard|csv [--occasion N [--from DATE --to DATE]]
//                         [--households] FILE
//       the whole book, or occasion N's recipients (occasion 8 within the span, this month by
//       default), to FILE in name order; prints "N Contacts Exported". --households (CSV only)
//       writes one row per household with its name line ("N Households Exported")
//   merrowby-admin import DIR FILE --detect [--add-duplicates]
//       a vCard or header-row CSV file, recognised by its contents; duplicates of rows already
//       there are skipped unless --add-duplicates; prints the counts
//
// Both return 0 on success, 1 when the run failed, 2 for bad arguments.

#include <QString>
#include <QStringList>

int AdminExport(const QStringList& args);
// The detected import of `file` into `dir` (both there), for `import ... --detect`.
int AdminImportDetected(const QString& dir, const QString& file, bool addDuplicates);
