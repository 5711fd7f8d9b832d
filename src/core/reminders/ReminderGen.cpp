#include "core/reminders/ReminderGen.h"

#include <QHash>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/occasions/Occasions.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

QString ReminderHeading(const QString& occasionText) {
    return QLatin1Char('\t') + occasionText + QLatin1String(" Reminders");
}

QString HolidayEntryLine(const TAddressRecord& rec) {
    QString line;
    line.reserve(rec.First.size() + rec.Last.size() + 4);
    line += QLatin1Char('\t');
    line += TrimText(rec.First);
    line += QLatin1Char(' ');
    line += TrimText(rec.Last);
    line += QLatin1Char(' ');
    return line;
}

namespace {

// Short-format date texts, made once per distinct day: a large book repeats its dates, and
// formatting through the locale is the dearest step of a line.
class DateTexts {
public:
    explicit DateTexts(const QLocale& locale) : locale_(locale) {}
    const QString& operator()(const QDate& d) {
        auto it = cache_.find(d.toJulianDay());
        if (it == cache_.end())
            it = cache_.insert(d.toJulianDay(), ShortDateText(d, locale_));
        return *it;
    }

private:
    QLocale locale_;
    QHash<qint64, QString> cache_;
};

void appendLines(const TAddressRecord& rec, int occasion, const QDate& spanStart,
                 const QDate& spanEnd, QStringList& out, DateTexts& dates) {
    if (occasion >= 1 && occasion <= 7) {
        if (HolidayFlag(rec, occasion)) out.append(HolidayEntryLine(rec));
        return;
    }
    if (occasion != OccasionDated) return;
    DatedEntry entries[4];
    const int n = DatedEntries(rec, entries);
    for (int i = 0; i < n; ++i)
        if (entries[i].flag && MonthDayInWindow(entries[i].date, spanStart, spanEnd))
            out.append(HolidayEntryLine(rec) + QLatin1String(entries[i].label) +
                       dates(entries[i].date));
}

// The address-book columns a reminder line can read, looked up once per scan. Values are read
// as the record loader reads them (same conversions), but only those the occasion needs, and
// the names only for a row that gives a line.
struct ReminderColumns {
    explicit ReminderColumns(xbase::Table* t)
        : first(t->field("First")), last(t->field("Last")),
          holiday{t->field("Valentine"), t->field("Mother"), t->field("Father"),
                  t->field("Secretary"), t->field("Halloween"), t->field("ThanksGiv"),
                  t->field("Christmas")},
          birthday(t->field("Birthday")), annav(t->field("Annav")), other1(t->field("Other1")),
          other2(t->field("Other2")), birthdate(t->field("Birthdate")),
          annavdate(t->field("Annavdate")), other1Date(t->field("Other1Date")),
          other2Date(t->field("Other2Date")) {}

    static QString text(xbase::Field* f) { return f ? QString::fromStdString(f->str()) : QString(); }
    static QDate date(xbase::Field* f) { return FieldToDate(text(f)); }

    // Fills what `occasion` selects by; true when the row gives at least one line.
    bool loadSelection(TAddressRecord& r, int occasion, const QDate& s, const QDate& e) const {
        if (occasion >= 1 && occasion <= 7) {
            bool* flags[7] = {&r.Valentine, &r.Mother, &r.Father, &r.Secretary,
                              &r.Halloween, &r.ThanksGiv, &r.Christmas};
            *flags[occasion - 1] = FlagFromField(holiday[occasion - 1]);
            return *flags[occasion - 1];
        }
        r.Birthday = FlagFromField(birthday);
        r.Annav = FlagFromField(annav);
        r.Other1 = FlagFromField(other1);
        r.Other2 = FlagFromField(other2);
        r.Birthdate = r.Birthday ? date(birthdate) : ZeroDate;
        r.Annavdate = r.Annav ? date(annavdate) : ZeroDate;
        r.Other1Date = r.Other1 ? date(other1Date) : ZeroDate;
        r.Other2Date = r.Other2 ? date(other2Date) : ZeroDate;
        return LabelsFor(r, occasion, s, e) > 0;
    }
    void loadNames(TAddressRecord& r) const {
        r.First = text(first);
        r.Last = text(last);
    }

    xbase::Field *first, *last, *holiday[7], *birthday, *annav, *other1, *other2, *birthdate,
        *annavdate, *other1Date, *other2Date;
};

}  // namespace

QString DatedEntryLine(const TAddressRecord& rec, const DatedEntry& entry, const QLocale& locale) {
    return HolidayEntryLine(rec) + QLatin1String(entry.label) + ShortDateText(entry.date, locale);
}

void AppendEntryLines(const TAddressRecord& rec, int occasion, const QDate& spanStart,
                      const QDate& spanEnd, QStringList& out, const QLocale& locale) {
    DateTexts dates(locale);
    appendLines(rec, occasion, spanStart, spanEnd, out, dates);
}

DataStatus CollectReminderLines(int occasion, const QDate& spanStart, const QDate& spanEnd,
                                QStringList& lines, const QLocale& locale) {
    DateTexts dates(locale);
    const DataStatus opened = OpenAddrBook();
    if (!opened) return opened;
    const ReminderColumns columns(AddrBookTable);
    TAddressRecord rec;
    while (LastStatus == 0) {
        if (columns.loadSelection(rec, occasion, spanStart, spanEnd)) {
            columns.loadNames(rec);
            appendLines(rec, occasion, spanStart, spanEnd, lines, dates);
        }
        LastStatus = AddrBookTable->skip(1);
    }
    (void)CloseTable(AddrBookTable);  // read only
    return DataStatus::Ok();
}

QString CardReportTitle(CardReport report, int occasion, int year) {
    const QString name = occasion >= 1 && occasion <= 8 ? QString::fromLatin1(ReminderTitles[size_t(occasion - 1)]) : QString();
    switch (report) {
    case CardReport::NotYetSent: return name + QStringLiteral(" (not yet sent in %1)").arg(year);
    case CardReport::ReceivedNotSent: return name + QStringLiteral(" (received, none sent in %1)").arg(year);
    case CardReport::Reminders: break;
    }
    return name;
}

DataStatus CollectCardReportLines(CardReport report, int occasion, int year, QStringList& lines) {
    if (!LibHandle) return DataStatus::failure(QStringLiteral("Cards.dbf"), QStringLiteral("no table library"));
    std::vector<uint32_t> recs;
    const xbase::Status s = report == CardReport::NotYetSent
                                ? CardsNotYetSent(*LibHandle, occasion, year, &recs)
                                : CardsReceivedNotSent(*LibHandle, occasion, year, &recs);
    if (!s.ok()) return DataStatus::failure(QString::fromStdString(xbase::baseName(s.file)), s);
    const DataStatus opened = OpenAddrBook();
    if (!opened) return opened;
    const ReminderColumns columns(AddrBookTable);
    TAddressRecord rec;
    for (uint32_t r : recs) {
        if (AddrBookTable->go(r) != xbase::kOk) continue;
        columns.loadNames(rec);
        lines << HolidayEntryLine(rec);
    }
    (void)CloseTable(AddrBookTable);  // read only
    return DataStatus::Ok();
}

void WriteReminderReport(QTextDocument& doc, const QString& occasionText,
                         const QStringList& lines) {
    WriteReportDocument(doc, ReminderHeading(occasionText), lines);
}

void WriteReportDocument(QTextDocument& doc, const QString& heading, const QStringList& lines) {
    // One plain-text load is far quicker than appending line by line for a large book; the
    // heading is styled afterwards.
    QString text;
    qsizetype size = heading.size() + 2;
    for (const QString& l : lines) size += l.size() + 1;
    text.reserve(size);
    text += heading;
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
    const QTextBlock first = doc.firstBlock();
    cursor.setPosition(first.position());
    cursor.setPosition(first.position() + first.length() - 1, QTextCursor::KeepAnchor);
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
