// The reminder run over a real address book: the span dialog for occasion 8 and the viewer shown
// modally with the report.
#include <QApplication>
#include <QDateEdit>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>
#include <optional>
#include <gtest/gtest.h>

#include "ReminderBook.h"
#include "gui/common/Forms.h"
#include "MessageLog.h"
#include "gui/reminders/DateSpan.h"
#include "gui/reminders/REReport.h"
#include "core/reminders/ReminderGen.h"
#include "gui/reminders/ReminderRun.h"

namespace {

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
        if (!DateSpan) DateSpan = new TDateSpan();
        if (!REReport) REReport = new TREReport();
    }

    ReminderBook book;
    MessageLog messages;
};

}  // namespace

TEST_F(ReminderRunTest, HolidayRunShowsTheViewerWithoutAskingForASpan) {
    book.add(ReminderBook::sample());
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
    book.add(ReminderBook::sample());
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
    book.add(ReminderBook::sample());
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
    book.add(ReminderBook::sample());
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
    EXPECT_TRUE(messages.texts().isEmpty());
}

