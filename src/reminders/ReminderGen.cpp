#include "reminders/ReminderGen.h"

#include <QApplication>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include "app/Forms.h"
#include "data/Globals.h"
#include "data/dbFiles.h"
#include "labels/Occasions.h"
#include "reminders/DateSpanU.h"
#include "reminders/ReReportU.h"
#include "xbase/table.h"

QString ReminderHeading(const QString& occasionText) {
    return QLatin1Char('\t') + occasionText + QLatin1String(" Reminders");
}

QString TrimBlanks(const QString& text) {
    qsizetype from = 0, to = text.size();
    while (from < to && text.at(from).unicode() <= 0x20) ++from;
    while (to > from && text.at(to - 1).unicode() <= 0x20) --to;
    return text.mid(from, to - from);
}

QString HolidayEntryLine(const TAddressRecord& rec) {
    QString line;
    line.reserve(rec.First.size() + rec.Last.size() + 4);
    line += QLatin1Char('\t');
    line += TrimBlanks(rec.First);
    line += QLatin1Char(' ');
    line += TrimBlanks(rec.Last);
    line += QLatin1Char(' ');
    return line;
}

QString DatedEntryLine(const TAddressRecord& rec, const DatedEntry& entry, const QLocale& locale) {
    return HolidayEntryLine(rec) + QLatin1String(entry.label) +
           locale.toString(entry.date, QLocale::ShortFormat);
}

void AppendEntryLines(const TAddressRecord& rec, int occasion, const QDate& spanStart,
                      const QDate& spanEnd, QStringList& out, const QLocale& locale) {
    if (occasion >= 1 && occasion <= 7) {
        if (HolidayFlag(rec, occasion)) out.append(HolidayEntryLine(rec));
        return;
    }
    if (occasion != OccasionDated) return;
    DatedEntry entries[4];
    const int n = DatedEntries(rec, entries);
    for (int i = 0; i < n; ++i)
        if (entries[i].flag && MonthDayInWindow(entries[i].date, spanStart, spanEnd))
            out.append(DatedEntryLine(rec, entries[i], locale));
}

QStringList CollectReminderLines(int occasion, const QDate& spanStart, const QDate& spanEnd,
                                 const QLocale& locale) {
    QStringList lines;
    OpenAddrBook();
    while (LastStatus == 0) {
        LoadAddrRec();
        AppendEntryLines(AddressRec, occasion, spanStart, spanEnd, lines, locale);
        LastStatus = AddrBookTable->skip(1);
    }
    CloseTable(AddrBookTable);
    return lines;
}

void WriteReminderReport(QTextDocument& doc, const QString& occasionText,
                         const QStringList& lines) {
    // One plain-text load is far quicker than appending line by line for a large book; the
    // heading is styled afterwards.
    QString text;
    qsizetype size = occasionText.size() + 12;
    for (const QString& l : lines) size += l.size() + 1;
    text.reserve(size);
    text += ReminderHeading(occasionText);
    text += QLatin1Char('\n');  // the spacer line follows
    for (const QString& l : lines) {
        text += QLatin1Char('\n');
        text += l;
    }
    doc.setPlainText(text);

    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    QTextCharFormat headingFormat;
    headingFormat.setFontWeight(QFont::Bold);
    headingFormat.setFontItalic(true);
    const QTextBlock heading = doc.firstBlock();
    cursor.setPosition(heading.position());
    cursor.setPosition(heading.position() + heading.length() - 1, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(headingFormat);
    // The heading block's own format would style text typed into an empty heading line.
    cursor.mergeBlockCharFormat(headingFormat);
    cursor.endEditBlock();
    doc.clearUndoRedoStacks();
}

QString ReminderReportText(const QString& occasionText, const QStringList& lines) {
    QString text = ReminderHeading(occasionText) + QLatin1String("\n\n");
    for (const QString& l : lines) {
        text += l;
        text += QLatin1Char('\n');
    }
    return text;
}

void ReminderRun(int occasion, const QString& title) {
    if (occasion < 1 || occasion > OccasionDated) return;
    if (occasion == OccasionDated) {
        if (!DateSpan) DateSpan = new TDateSpan();
        SetDefaultSpan();
        DateSpan->exec();
        if (SpanCancelled) return;
    }
    if (!REReport) REReport = new TREReport();

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QStringList lines = CollectReminderLines(occasion, SpanStart, SpanEnd);
    WriteReminderReport(*REReport->document(), title, lines);
    QApplication::restoreOverrideCursor();

    REReport->ShowModal();
}
