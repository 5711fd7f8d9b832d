// The reminder run over a real address book: name order, the span dialog for occasion 8, the
// viewer shown modally with the report, and the admin command's plain text.
#include <QApplication>
#include <QDateEdit>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>
#include <unistd.h>
#include <gtest/gtest.h>

#include "ReminderBook.h"
#include "gui/common/Forms.h"
#include "gui/common/Messages.h"
#include "AdminReminders.h"
#include "gui/reminders/DateSpan.h"
#include "gui/reminders/REReport.h"
#include "core/reminders/ReminderGen.h"
#include "gui/reminders/ReminderRun.h"

namespace {

// The lines of a run over the book; a book that cannot be opened fails the test.
QStringList Lines(int occasion, const QDate& from, const QDate& to, const QLocale& locale = QLocale()) {
    QStringList lines;
    const DataStatus opened = CollectReminderLines(occasion, from, to, lines, locale);
    EXPECT_TRUE(opened) << opened.toString().toStdString();
    return lines;
}

const QLocale us(QLocale::English, QLocale::UnitedStates);

std::vector<TAddressRecord> sampleBook() {
    auto p = &ReminderBook::person;
    TAddressRecord zed = p("Zed", "baker");   // lower case: still sorted as BAKER
    zed.Christmas = true;
    TAddressRecord amy = p("Amy", "Baker");
    amy.Christmas = true;
    amy.Birthday = true;
    amy.Birthdate = QDate(1961, 3, 14);
    amy.Annav = true;
    amy.Annavdate = QDate(1985, 3, 2);
    TAddressRecord noFirst = p("", "Adams");
    noFirst.Christmas = true;
    TAddressRecord carl = p("Carl", "Young");
    carl.Mother = true;
    carl.Birthday = true;
    carl.Birthdate = QDate(1970, 4, 1);
    return {zed, carl, amy, noFirst};
}

// Runs `act` on the next modal window once its event loop is running.
void onModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, qApp, [act] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr) << "no modal window is showing";
        act(w);
    });
}

class ReminderRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        Messages::setResponder([this](Messages::Kind, const QString& text) {
            messages << text;
            return true;
        });
        if (!DateSpan) DateSpan = new TDateSpan();
        if (!REReport) REReport = new TREReport();
    }
    void TearDown() override { Messages::setResponder(nullptr); }

    ReminderBook book;
    QStringList messages;
};

}  // namespace

TEST_F(ReminderRunTest, EntriesComeInNameOrderWhateverTheLetterCase) {
    book.add(sampleBook());
    EXPECT_EQ(Lines(7, {}, {}, us),
              (QStringList{"\t Adams ", "\tAmy Baker ", "\tZed baker "}));
    EXPECT_EQ(Lines(2, {}, {}, us), QStringList{"\tCarl Young "});
    EXPECT_EQ(Lines(8, QDate(2026, 3, 1), QDate(2026, 3, 31), us),
              (QStringList{"\tAmy Baker Birthday 3/14/61", "\tAmy Baker Anniversary 3/2/85"}));
    EXPECT_EQ(AddrBookTable, nullptr) << "the table is closed after the scan";
}

TEST_F(ReminderRunTest, EmptyBookGivesNoEntries) {
    EXPECT_TRUE(Lines(7, {}, {}).isEmpty());
    EXPECT_TRUE(Lines(8, QDate(2026, 1, 1), QDate(2026, 12, 31)).isEmpty());
    EXPECT_EQ(AddrBookTable, nullptr);
}

TEST_F(ReminderRunTest, HolidayRunShowsTheViewerWithoutAskingForASpan) {
    book.add(sampleBook());
    QString shown;
    bool maximised = false;
    QString caption;
    onModal([&](QWidget* w) {
        caption = w->windowTitle();
        maximised = w->isMaximized();
        shown = REReport->document()->toPlainText();
        w->close();
    });
    ReminderRun(7, "Christmas / Chanukah");
    EXPECT_EQ(caption, "REReport") << "the date span dialog must not be shown for a holiday";
    EXPECT_TRUE(maximised);
    EXPECT_EQ(shown, "\tChristmas / Chanukah Reminders\n\n\t Adams \n\tAmy Baker \n\tZed baker ");
    EXPECT_EQ(AddrBookTable, nullptr) << "closed before the viewer shows";
}

// The busy cursor went before the report was written into the viewer, most of a large book's
// wait; and the closed viewer kept the report, hundreds of megabytes of it.
TEST_F(ReminderRunTest, TheReportIsWrittenUnderTheBusyCursorAndNotKeptOnceClosed) {
    book.add(sampleBook());
    std::optional<bool> busyWhileWritten;
    const auto written = QObject::connect(REReport->document(), &QTextDocument::contentsChanged, [&] {
        if (!busyWhileWritten)
            busyWhileWritten = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    bool busyWhenShown = true;
    QString shown;
    onModal([&](QWidget* w) {
        busyWhenShown = QApplication::overrideCursor() != nullptr;
        shown = REReport->document()->toPlainText();
        w->close();
    });
    ReminderRun(7, "Christmas / Chanukah");
    QObject::disconnect(written);
    EXPECT_EQ(busyWhileWritten, true);
    EXPECT_FALSE(busyWhenShown);
    EXPECT_TRUE(shown.contains("Amy Baker"));
    EXPECT_TRUE(REReport->document()->isEmpty()) << "the closed report is still held";
}

TEST_F(ReminderRunTest, DatedRunUsesTheSpanChosenInTheDialog) {
    book.add(sampleBook());
    QString shown;
    onModal([&](QWidget* w) {
        ASSERT_EQ(w, DateSpan);
        const QDate today = QDate::currentDate();
        EXPECT_EQ(DateSpan->DateTimePicker1->date(), QDate(today.year(), today.month(), 1))
            << "opens on the current month";
        DateSpan->DateTimePicker1->setDate(QDate(2026, 3, 14));
        DateSpan->DateTimePicker2->setDate(QDate(2026, 4, 1));
        onModal([&](QWidget* viewer) {
            shown = REReport->document()->toPlainText();
            viewer->close();
        });
        DateSpan->BtnOK->click();
    });
    ReminderRun(8, "Birthday, Etc");
    // Both ends inclusive; the anniversary on 2 March is outside. Dates follow the user's
    // locale, so compare with what it writes.
    EXPECT_EQ(shown, "\tBirthday, Etc Reminders\n\n\tAmy Baker Birthday " +
                         QLocale().toString(QDate(1961, 3, 14), QLocale::ShortFormat) +
                         "\n\tCarl Young Birthday " +
                         QLocale().toString(QDate(1970, 4, 1), QLocale::ShortFormat));
}

TEST_F(ReminderRunTest, CancelledSpanEndsTheRunWithoutTouchingTheViewer) {
    book.add(sampleBook());
    REReport->document()->setPlainText("earlier report");
    int modals = 0;
    onModal([&](QWidget* w) {
        ++modals;
        ASSERT_EQ(w, DateSpan);
        DateSpan->BtnCancel->click();
    });
    ReminderRun(8, "Birthday, Etc");
    EXPECT_EQ(modals, 1);
    EXPECT_EQ(REReport->document()->toPlainText(), "earlier report");
    EXPECT_FALSE(REReport->isVisible());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ReminderRunTest, AdminCommandRefusesBadArgumentsAndWritesTheReport) {
    book.add(sampleBook());
    const QString dir = book.path();
    EXPECT_EQ(AdminReminders({dir}), 2) << "occasion missing";
    EXPECT_EQ(AdminReminders({dir, "--occasion", "9"}), 2);
    EXPECT_EQ(AdminReminders({dir, "--occasion", "x"}), 2);
    EXPECT_EQ(AdminReminders({dir, "--occasion", "8", "--from", "2026-03-01"}), 2);
    EXPECT_EQ(AdminReminders({dir, "--occasion", "8", "--from", "2026-03-31", "--to", "2026-03-01"}), 2);
    EXPECT_EQ(AdminReminders({dir, "--occasion", "8", "--from", "2026-02-30", "--to", "2026-03-01"}), 2);
    EXPECT_EQ(AdminReminders({dir, "--occasion", "7", "--from", "2026-03-01", "--to", "2026-03-02"}), 2);
    EXPECT_EQ(AdminReminders({dir + "/missing", "--occasion", "7"}), 2);

    // The report itself goes to standard output: catch it in a file.
    QTemporaryDir out;
    const QByteArray file = (out.path() + "/report.txt").toLocal8Bit();
    fflush(stdout);
    FILE* saved = fdopen(dup(fileno(stdout)), "w");
    ASSERT_NE(freopen(file.constData(), "w", stdout), nullptr);
    const int rc = AdminReminders({dir, "--occasion", "7"});
    fflush(stdout);
    dup2(fileno(saved), fileno(stdout));
    fclose(saved);
    EXPECT_EQ(rc, 0);
    QFile f(QString::fromLocal8Bit(file));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              "\tChristmas / Chanukah Reminders\n\n\t Adams \n\tAmy Baker \n\tZed baker \n");
    EXPECT_EQ(LibHandle, &book.library()) << "the command puts the caller's library back";
}

// The run reads only the columns a line needs; it must list exactly what a scan through the
// full record loader lists, for every occasion and for spans of every shape.
TEST_F(ReminderRunTest, QuickScanAgreesWithTheRecordLoader) {
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
            OpenAddrBook();
            while (LastStatus == 0) {
                LoadAddrRec();
                AppendEntryLines(AddressRec, occasion, from, to, expected, us);
                LastStatus = AddrBookTable->skip(1);
            }
            CloseTable(AddrBookTable);
            EXPECT_EQ(Lines(occasion, from, to, us), expected)
                << "occasion " << occasion << " from " << from.toString(Qt::ISODate).toStdString();
            if (occasion < 8) break;  // the span plays no part
        }
    }
}

// A data directory whose index is missing: the command says which file, exits 1, and leaves the
// caller's library handle as it was.
TEST_F(ReminderRunTest, AdminCommandWithMissingIndexFailsCleanly) {
    ASSERT_TRUE(QFile::remove(book.path() + "/Address.ntx"));
    xbase::Library* before = LibHandle;
    EXPECT_EQ(AdminReminders({book.path(), "--occasion", "1"}), 1);
    EXPECT_EQ(LibHandle, before);
}
