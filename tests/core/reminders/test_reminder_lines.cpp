// Reminder report lines and the report document, without tables: which entries a record gives
// for each occasion, how they read, and how the heading is styled.
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

#include "core/data/Globals.h"
#include "core/occasions/Occasions.h"
#include "core/reminders/ReminderGen.h"

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);  // short format M/d/yy

TAddressRecord person(const QString& first, const QString& last) {
    TAddressRecord r;
    r.First = first.leftJustified(20);  // as loaded: blank-padded to the column width
    r.Last = last.leftJustified(20);
    return r;
}

QStringList linesFor(const TAddressRecord& r, int occasion, QDate from = {}, QDate to = {}) {
    QStringList out;
    AppendEntryLines(r, occasion, from, to, out, us);
    return out;
}

}  // namespace

TEST(ReminderLines, HolidayOccasionsFollowTheirFlagAndIgnoreDates) {
    TAddressRecord r = person("Ann", "Smith");
    r.Secretary = true;  // Easter/Passover
    r.Birthday = true;
    r.Birthdate = QDate(1961, 3, 14);
    for (int occasion = 1; occasion <= 7; ++occasion) {
        const QStringList lines = linesFor(r, occasion, QDate(2026, 3, 1), QDate(2026, 3, 31));
        if (occasion == 4)
            EXPECT_EQ(lines, QStringList{"\tAnn Smith "}) << "occasion " << occasion;
        else
            EXPECT_TRUE(lines.isEmpty()) << "occasion " << occasion;
    }
    // Other1 and Other2 play no part in the holidays.
    TAddressRecord o = person("Bo", "Other");
    o.Other1 = o.Other2 = true;
    for (int occasion = 1; occasion <= 7; ++occasion) EXPECT_TRUE(linesFor(o, occasion).isEmpty());
    // Outside 1 to 8 nothing is listed, even with every flag set.
    TAddressRecord all = person("Al", "All");
    all.Valentine = all.Mother = all.Christmas = all.Birthday = true;
    EXPECT_TRUE(linesFor(all, 0).isEmpty());
    EXPECT_TRUE(linesFor(all, 9).isEmpty());
}

TEST(ReminderLines, DatedEntryShowsTheFullStoredDateInTheShortFormat) {
    TAddressRecord r = person("Ann", "Smith");
    r.Birthday = true;
    r.Birthdate = QDate(1961, 3, 14);
    TAddressRecord april = person("Cy", "April");
    april.Birthday = true;
    april.Birthdate = QDate(1970, 4, 1);
    const QDate from(2026, 3, 1), to(2026, 3, 31);
    EXPECT_EQ(linesFor(r, 8, from, to), QStringList{"\tAnn Smith Birthday 3/14/61"});
    EXPECT_TRUE(linesFor(april, 8, from, to).isEmpty());
    // The flag must be set for the date to count.
    r.Birthday = false;
    EXPECT_TRUE(linesFor(r, 8, from, to).isEmpty());
}

TEST(ReminderLines, SpanEndsAreInclusiveAndYearsPlayNoPart) {
    TAddressRecord r = person("Ann", "Smith");
    r.Annav = true;
    auto listed = [&](QDate date, QDate from, QDate to) {
        r.Annavdate = date;
        return linesFor(r, 8, from, to).size() == 1;
    };
    const QDate from(2026, 3, 10), to(2026, 4, 20);
    EXPECT_TRUE(listed(QDate(1990, 3, 10), from, to));   // on the first day
    EXPECT_TRUE(listed(QDate(1990, 4, 20), from, to));   // on the last day
    EXPECT_FALSE(listed(QDate(1990, 3, 9), from, to));   // a day before
    EXPECT_FALSE(listed(QDate(1990, 4, 21), from, to));  // a day after
    EXPECT_TRUE(listed(QDate(2030, 3, 10), from, to));   // a date after the span's year
    // One-day span.
    EXPECT_TRUE(listed(QDate(1950, 7, 4), QDate(2026, 7, 4), QDate(2026, 7, 4)));
    // Crossing the year end: 1215 is above 0115, so nothing at all qualifies.
    for (QDate d : {QDate(1980, 12, 20), QDate(1980, 1, 5), QDate(1980, 12, 15), QDate(1980, 1, 15)})
        EXPECT_FALSE(listed(d, QDate(2025, 12, 15), QDate(2026, 1, 15))) << d.toString().toStdString();
    // Longer than a year: only the month-days of the two ends count.
    EXPECT_TRUE(listed(QDate(1980, 2, 2), QDate(2026, 1, 1), QDate(2027, 3, 31)));
    EXPECT_FALSE(listed(QDate(1980, 6, 1), QDate(2026, 1, 1), QDate(2027, 3, 31)));
}

TEST(ReminderLines, EmptyDateCountsAsThirtiethOfDecember1899) {
    TAddressRecord r = person("Ann", "Smith");
    r.Birthday = true;  // date left empty: ZeroDate
    EXPECT_EQ(linesFor(r, 8, QDate(2026, 12, 1), QDate(2026, 12, 31)),
              QStringList{"\tAnn Smith Birthday 12/30/99"});
    EXPECT_TRUE(linesFor(r, 8, QDate(2026, 12, 1), QDate(2026, 12, 29)).isEmpty());
}

TEST(ReminderLines, OneRecordGivesItsDatedEntriesInFixedOrder) {
    TAddressRecord r = person("Ann", "Smith");
    r.Birthday = r.Annav = r.Other1 = r.Other2 = true;
    r.Other2Date = QDate(2001, 5, 1);
    r.Other1Date = QDate(2002, 5, 2);
    r.Annavdate = QDate(2003, 5, 3);
    r.Birthdate = QDate(2004, 5, 4);
    EXPECT_EQ(linesFor(r, 8, QDate(2026, 5, 1), QDate(2026, 5, 31)),
              (QStringList{"\tAnn Smith Birthday 5/4/04", "\tAnn Smith Anniversary 5/3/03",
                           "\tAnn Smith Other1 5/2/02", "\tAnn Smith Other2 5/1/01"}));
    // Only the entries inside the span, still in that order.
    EXPECT_EQ(linesFor(r, 8, QDate(2026, 5, 2), QDate(2026, 5, 3)),
              (QStringList{"\tAnn Smith Anniversary 5/3/03", "\tAnn Smith Other1 5/2/02"}));
}

TEST(ReminderLines, NamesAreTrimmedAndTheSeparatorAlwaysWritten) {
    EXPECT_EQ(HolidayEntryLine(person("", "Smith")), "\t Smith ");
    EXPECT_EQ(HolidayEntryLine(person("Ann", "")), "\tAnn  ");
    EXPECT_EQ(HolidayEntryLine(person("  Ann", " \tSmith\x01")), "\tAnn Smith ");
    // Blanks inside a name stay.
    EXPECT_EQ(HolidayEntryLine(person("Mary Ann", "Van Dyke")), "\tMary Ann Van Dyke ");
    EXPECT_EQ(TrimText(QString()), QString());
    EXPECT_EQ(TrimText("\x02\x1f  "), QString());
    EXPECT_EQ(TrimText(QString::fromUtf8("  Zoë ")), QString::fromUtf8("Zoë"));
}

TEST(ReminderDocument, HeadingBoldItalicThenSpacerThenRegularLines) {
    QTextDocument doc;
    doc.setPlainText("left over from the last run");
    WriteReminderReport(doc, "Mother's Day", {"\tAnn Smith ", "\tBo Jones "});
    EXPECT_FALSE(doc.isUndoAvailable()) << "undo must not bring back the previous report";

    ASSERT_EQ(doc.blockCount(), 4);
    QTextBlock b = doc.firstBlock();
    EXPECT_EQ(b.text(), "\tMother's Day Reminders");
    QTextCursor c(b);
    c.setPosition(b.position() + 1);  // format of the first character
    EXPECT_TRUE(c.charFormat().font().bold());
    EXPECT_TRUE(c.charFormat().font().italic());
    c.setPosition(b.position() + b.length() - 1);
    EXPECT_TRUE(c.charFormat().font().bold()) << "whole heading, last character included";

    b = b.next();
    EXPECT_EQ(b.text(), "");
    b = b.next();
    EXPECT_EQ(b.text(), "\tAnn Smith ");
    c.setPosition(b.position() + 2);
    EXPECT_FALSE(c.charFormat().font().bold());
    EXPECT_FALSE(c.charFormat().font().italic());
    EXPECT_EQ(b.next().text(), "\tBo Jones ");

    // What the user types at the end comes out regular.
    QTextCursor end(&doc);
    end.movePosition(QTextCursor::End);
    end.insertText("typed");
    EXPECT_FALSE(end.charFormat().font().bold());
}

TEST(ReminderDocument, NoEntriesLeavesHeadingAndSpacerOnly) {
    QTextDocument doc;
    WriteReminderReport(doc, "Halloween", {});
    EXPECT_EQ(doc.toPlainText(), "\tHalloween Reminders\n");
    EXPECT_EQ(doc.blockCount(), 2);
    EXPECT_EQ(ReminderReportText("Halloween", {}), "\tHalloween Reminders\n\n");
    EXPECT_EQ(ReminderReportText("Halloween", {"\tA B "}), "\tHalloween Reminders\n\n\tA B \n");
}
