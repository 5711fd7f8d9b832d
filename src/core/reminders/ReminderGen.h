#pragma once
// The reminder run: one occasion's report from the address book.
//
// How the pieces fit: ReminderRun (the click on a reminder row of the occasions page) asks for
// the span for occasion 8, collects the entry lines with CollectReminderLines (a scan of the
// address book in name order, choosing rows by the rules of core/occasions/Occasions.h, the same
// ones the label run uses), writes them under the heading into the viewer's document with
// WriteReminderReport and shows the viewer modally. The admin tool makes the same report as plain
// text with ReminderReportText. Only ReminderRun (gui/reminders/ReminderRun.h, with the windows)
// shows any.
//
// Report lines (TAB = one tab character):
//     TAB <occasion text> " Reminders"                       bold italic
//     (empty)
//     TAB <first> " " <last> " "                             occasions 1 to 7
//     TAB <first> " " <last> " " <entry label><date>         occasion 8, e.g. "Birthday 3/14/61"
// Names are trimmed; dates are the full stored date in the locale's short date format.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>

#include "core/data/DataStatus.h"
#include "core/data/Records.h"  // TrimText

struct TAddressRecord;
struct DatedEntry;
class QTextDocument;

// "\t" + occasionText + " Reminders".
QString ReminderHeading(const QString& occasionText);


// One holiday entry line for `rec`: TAB, first, " ", last, " " (names trimmed).
QString HolidayEntryLine(const TAddressRecord& rec);
// One dated entry line: the holiday entry followed by the entry label and the date written in
// `locale`'s short date format.
QString DatedEntryLine(const TAddressRecord& rec, const DatedEntry& entry,
                       const QLocale& locale = QLocale());

// Appends the lines `rec` gives for an occasion (1 to 7: one line when its flag is set; 8: one
// line per flagged dated entry inside the span, birthday, anniversary, Other1, Other2 in that
// order). Any other occasion gives nothing.
void AppendEntryLines(const TAddressRecord& rec, int occasion, const QDate& spanStart,
                      const QDate& spanEnd, QStringList& out, const QLocale& locale = QLocale());

// Opens the address book (OpenAddrBook: name order), appends to `lines` the lines of every row
// until a skip leaves no row current, and closes it again. A book that cannot be opened is
// reported and gives no lines. Rows are read
// with the record loader's conversions, but only the columns a line needs (the shared AddressRec
// is not touched), which keeps a run over a large book quick.
DataStatus CollectReminderLines(int occasion, const QDate& spanStart, const QDate& spanEnd,
                                QStringList& lines, const QLocale& locale = QLocale());

// Replaces the content of `doc` with the report: the heading in bold italic, the spacer line and
// the entry lines in the document's regular face. Text typed after the last line comes out
// regular too. The undo history is cleared.
void WriteReminderReport(QTextDocument& doc, const QString& occasionText,
                         const QStringList& lines);
// The same with a heading of the caller's (written as given) above the spacer line.
void WriteReportDocument(QTextDocument& doc, const QString& heading, const QStringList& lines);

// The same report as plain text, every line ending in "\n".
QString ReminderReportText(const QString& occasionText, const QStringList& lines);

// The card-log reports a holiday occasion offers beside the reminders.
enum class CardReport { Reminders = 0, NotYetSent = 1, ReceivedNotSent = 2 };
// The report's title for the heading: "Christmas / Chanukah (not yet sent in 2026)".
QString CardReportTitle(CardReport report, int occasion, int year);
// The entry lines (holiday entry lines, name order) of a card-log report for holiday `occasion`
// (1 to 7) in `year`: NotYetSent, the flagged with no sent card this year; ReceivedNotSent, those
// whose card came this year or last with none sent back this year. A log or book that cannot be
// read is reported and gives no lines.
DataStatus CollectCardReportLines(CardReport report, int occasion, int year, QStringList& lines);
