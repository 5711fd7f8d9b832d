#pragma once
// Record load and store: every table access of the program goes through these routines.
// An open routine opens its table and positions on its first row (setting LastStatus); a load
// copies the current row into its in-memory record (Globals.h); a store copies the record back
// into the current row. Callers move, append, flush and close themselves.
//
// A table that cannot be opened is fatal: FatalOpenError shows "Unable to open file <name>" and
// ends the process. The open routines therefore only ever return true.

#include <QDate>
#include <QString>

namespace xbase {
class Field;
class Table;
}  // namespace xbase

bool OpenAddrBook();      // AddrBook with tag Address selected, at the first row
bool OpenLabels();        // LABELS with tag Labels selected, at the first row
bool OpenSettings();      // Mrby1, no index, at its row
bool OpenImportLayout();  // importf, no index, at its row

void LoadAddrRec();
void StoreAddrRec();
void LoadLabelRec();
void StoreLabelRec();
void LoadSettings();
void StoreSettings();
void LoadImportLayout();
void StoreImportLayout();

// Closes a table opened by the routines above and clears its global handle (null is fine).
void CloseTable(xbase::Table*& table);

// Shows "Unable to open file " + fileName + "\r\n" + "Program will now terminate." and ends the
// process (through the handler below).
[[noreturn]] void FatalOpenError(const QString& fileName);
// How the process ends after a fatal error; tests replace it with one that throws.
using FatalExitHandler = void (*)(int code);
void SetFatalExitHandler(FatalExitHandler handler);
[[noreturn]] void ExitProgram(int code);

// Conversions.
QString DateToField(const QDate& date);        // "yyyymmdd" for a date after ZeroDate, else ""
QDate FieldToDate(const QString& text);        // the date in the text, or ZeroDate
bool FlagFromField(xbase::Field* field);       // true when the logical column is true
void FlagToField(xbase::Field* field, bool flag);  // "T" / "F"
bool IsInteger(const QString& text);
QString Blanks(int n);                         // n blanks; "" for n <= 0
