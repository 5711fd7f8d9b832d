// The reminder report's scan of a real address book: name order whatever the letter case, an
// empty book, and the quick scan against the full record loader.
#include <gtest/gtest.h>

#include "ReminderBook.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/reminders/ReminderGen.h"

namespace {

// The lines of a run over the book; a book that cannot be opened fails the test.
QStringList Lines(int occasion, const QDate& from, const QDate& to, const QLocale& locale = QLocale()) {
    QStringList lines;
    const DataStatus opened = CollectReminderLines(occasion, from, to, lines, locale);
    EXPECT_TRUE(opened) << opened.toString().toStdString();
    return lines;
}

const QLocale us(QLocale::English, QLocale::UnitedStates);

class ReminderScanTest : public ::testing::Test {
protected:
    ReminderBook book;
};

}  // namespace

TEST_F(ReminderScanTest, EntriesComeInNameOrderWhateverTheLetterCase) {
    book.add(ReminderBook::sample());
    EXPECT_EQ(Lines(7, {}, {}, us),
              (QStringList{"\t Adams ", "\tAmy Baker ", "\tZed baker "}));
    EXPECT_EQ(Lines(2, {}, {}, us), QStringList{"\tCarl Young "});
    EXPECT_EQ(Lines(8, QDate(2026, 3, 1), QDate(2026, 3, 31), us),
              (QStringList{"\tAmy Baker Birthday 3/14/61", "\tAmy Baker Anniversary 3/2/85"}));
    EXPECT_EQ(AddrBookTable, nullptr) << "the table is closed after the scan";
}

TEST_F(ReminderScanTest, EmptyBookGivesNoEntries) {
    EXPECT_TRUE(Lines(7, {}, {}).isEmpty());
    EXPECT_TRUE(Lines(8, QDate(2026, 1, 1), QDate(2026, 12, 31)).isEmpty());
    EXPECT_EQ(AddrBookTable, nullptr);
}

// The run reads only the columns a line needs; it must list exactly what a scan through the
// full record loader lists, for every occasion and for spans of every shape.
TEST_F(ReminderScanTest, QuickScanAgreesWithTheRecordLoader) {
    std::vector<TAddressRecord> rows;
    uint32_t seed = 12345;
    auto next = [&](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    const char* firsts[] = {"Ann", "", "  Bo", "Cy ", "Dee"};
    const char* lasts[] = {"Smith", "smith", "Young", "", "O'Neil"};
    for (int i = 0; i < 300; ++i) {
        TAddressRecord r = ReminderBook::person(firsts[next(5)], lasts[next(5)]);
        bool* flags[] = {&r.Birthday, &r.Annav,    &r.Valentine, &r.Mother,
                         &r.Father,   &r.Secretary, &r.Halloween, &r.ThanksGiv,
                         &r.Christmas, &r.Other1,   &r.Other2};
        for (bool* f : flags) *f = next(2) == 1;
        QDate* dates[] = {&r.Birthdate, &r.Annavdate, &r.Other1Date, &r.Other2Date};
        for (QDate* d : dates)
            *d = next(5) == 0 ? ZeroDate : QDate(1930 + int(next(90)), 1 + int(next(12)), 1 + int(next(28)));
        rows.push_back(r);
    }
    book.add(rows);

    const std::pair<QDate, QDate> spans[] = {
        {QDate(2026, 1, 1), QDate(2026, 12, 31)},
        {QDate(2026, 3, 1), QDate(2026, 3, 31)},
        {QDate(2026, 12, 15), QDate(2027, 1, 15)},
        {QDate(2026, 12, 30), QDate(2026, 12, 30)},
    };
    for (int occasion = 1; occasion <= 8; ++occasion) {
        for (const auto& [from, to] : spans) {
            QStringList expected;
            EXPECT_TRUE(OpenAddrBook().ok());
            while (LastStatus == 0) {
                LoadAddrRec();
                AppendEntryLines(AddressRec, occasion, from, to, expected, us);
                LastStatus = AddrBookTable->skip(1);
            }
            EXPECT_TRUE(CloseTable(AddrBookTable).ok());
            EXPECT_EQ(Lines(occasion, from, to, us), expected)
                << "occasion " << occasion << " from " << from.toString(Qt::ISODate).toStdString();
            if (occasion < 8) break;  // the span plays no part
        }
    }
}
