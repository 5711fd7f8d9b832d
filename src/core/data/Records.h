#pragma once
// Record load and store: every table access of the program goes through these routines.
// An open routine opens its table and positions on its first row (setting LastStatus); a load
// copies the current row into its in-memory record (Globals.h); a store copies the record back
// into the current row. Callers move, append, flush and close themselves. Each table's columns
// are listed once, for its load and its store alike (FieldBindings.h), and looked up by name once
// per open table: a table of another column order, or lacking a column, loads all the same.
//
// A table that cannot be opened is reported, never fatal here: the open routines return a
// DataStatus naming the file ("AddrBook.DBF", "Address.Ntx", ...) and leave the table's handle
// null. The windows turn a failure into the fatal "Unable to open file" ending
// (gui/common/Fatal.h).

#include <QDate>
#include <QLocale>
#include <QString>

#include "core/data/DataStatus.h"

namespace xbase {
class Field;
class Table;
}  // namespace xbase
struct TAddressRecord;

DataStatus OpenAddrBook();      // AddrBook with tag Address selected, at the first row
DataStatus OpenLabels();        // LABELS with tag Labels selected, at the first row
DataStatus OpenSettings();      // Mrby1, no index, at its row
DataStatus OpenImportLayout();  // importf, no index, at its row

void LoadAddrRec();
void StoreAddrRec();
// The parts of the Address record, for a scan that needs only some of them: a count of a run's
// recipients decodes the flags and dates of each row, not its addresses and phones.
enum AddrPart : unsigned {
    AddrNames = 1u << 0,    // First, Last
    AddrPostal = 1u << 1,   // Street, Street2, City, State, Zip, Country
    AddrContact = 1u << 2,  // email, phone, fax, mobile
    AddrDates = 1u << 3,    // Birthdate, Annavdate, Other1Date, Other2Date
    AddrFlags = 1u << 4,    // the seven holiday flags and the four date flags
};
// The columns of `parts` (AddrPart bits) of the current AddrBook row into `rec`, converted as
// LoadAddrRec converts them; the members of the other parts keep their values.
void LoadAddrRec(TAddressRecord& rec, unsigned parts);
void LoadLabelRec();
void StoreLabelRec();
void LoadSettings();
void StoreSettings();
void LoadImportLayout();
void StoreImportLayout();

// Closes a table opened by the routines above and clears its global handle (null is fine).
// Closing writes a pending row: a failure names the table's file and the engine's reason.
DataStatus CloseTable(xbase::Table*& table);
// Closes the four tables (those open) and every other table of LibHandle, then clears the
// handles; the first failure is reported, every table is closed all the same.
DataStatus CloseAllTables();
// Writes the current table's pending row and header; the failure as CloseTable reports it.
DataStatus FlushTable(xbase::Table* table);

// Conversions.
QString TrimText(const QString& text);         // without leading and trailing blanks and controls
QString DateToField(const QDate& date);        // "yyyymmdd" for a date after ZeroDate, else ""
QDate FieldToDate(const QString& text);        // the date in the text, or ZeroDate
// The one format dates are shown in wherever no other is fixed: the user's short date format
// (the locale's), its year written whole so that 1899 and 1999 cannot be mistaken. A date whose
// year is not known (see below) is shown without its year.
QString ShortDateFormat();
QString ShortDateText(const QDate& date);
bool FlagFromField(const xbase::Field* field); // true when the logical column is true
void FlagToField(xbase::Field* field, bool flag);  // "T" / "F"
bool IsInteger(const QString& text);
QString Blanks(int n);                         // n blanks; "" for n <= 0

// A date whose year is not known (a birthday that a contact file gives as month and day only) is
// stored in the year 1904: the column keeps its eight digits, so other programs read a valid
// date, the month and day serve the runs as any other, and 29 February survives (1904 is the
// first leap year the column can hold). Wherever a date is shown or written out, a date in 1904
// is shown without its year.
inline constexpr int kYearUnknown = 1904;
bool YearUnknown(const QDate& date);
// The date in `locale`'s own short format, years as it writes them (the reminder report's
// dates); the month and day alone when its year is not known.
QString ShortDateText(const QDate& date, const QLocale& locale);
// A date format without its year and the separator that joins it ("M/d/yy" gives "M/d",
// "yyyy-MM-dd" gives "MM-dd").
QString DateFormatWithoutYear(QString format);
