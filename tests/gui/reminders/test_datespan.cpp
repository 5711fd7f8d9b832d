// The date span: its default (the current month) and the dialog's accept / refuse / cancel rules,
// driven through the widgets.
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "MessageLog.h"
#include "core/data/Globals.h"
#include "gui/reminders/DateSpan.h"

TEST(DefaultSpan, RunsFromTheFirstToTheLastDayOfTheMonth) {
    struct Case {
        QDate today, start, end;
    } cases[] = {
        {QDate(2024, 2, 10), QDate(2024, 2, 1), QDate(2024, 2, 29)},    // leap February
        {QDate(2023, 2, 28), QDate(2023, 2, 1), QDate(2023, 2, 28)},    // common February
        {QDate(1900, 2, 5), QDate(1900, 2, 1), QDate(1900, 2, 28)},     // century, not leap
        {QDate(2000, 2, 5), QDate(2000, 2, 1), QDate(2000, 2, 29)},     // 400-year leap
        {QDate(2025, 12, 31), QDate(2025, 12, 1), QDate(2025, 12, 31)}, // December, same year
        {QDate(2025, 4, 1), QDate(2025, 4, 1), QDate(2025, 4, 30)},
        {QDate(2025, 1, 31), QDate(2025, 1, 1), QDate(2025, 1, 31)},
    };
    for (const Case& c : cases) {
        SetDefaultSpan(c.today);
        EXPECT_EQ(SpanStart, c.start) << c.today.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(SpanEnd, c.end) << c.today.toString(Qt::ISODate).toStdString();
    }
    SetDefaultSpan();
    const QDate today = QDate::currentDate();
    EXPECT_EQ(SpanStart, QDate(today.year(), today.month(), 1));
    EXPECT_EQ(SpanEnd, QDate(today.year(), today.month(), today.daysInMonth()));
}

class DateSpanDialog : public ::testing::Test {
protected:
    void SetUp() override {
        SpanStart = QDate(2026, 3, 1);
        SpanEnd = QDate(2026, 3, 31);
        SpanCancelled = false;
    }

    // Shows the dialog modally; `act` runs inside its event loop and must close it (or not).
    void runModal(const std::function<void()>& act) {
        QTimer::singleShot(0, &dlg, [&] {
            act();
            if (dlg.isVisible()) {
                stillOpen = true;
                dlg.BtnCancel->click();
            }
        });
        dlg.exec();
    }

    TDateSpan dlg;
    MessageLog messages;
    bool stillOpen = false;
};

TEST_F(DateSpanDialog, OpensOnTheSpanAndAcceptsOneDay) {
    runModal([&] {
        EXPECT_EQ(dlg.DateTimePicker1->date(), QDate(2026, 3, 1));
        EXPECT_EQ(dlg.DateTimePicker2->date(), QDate(2026, 3, 31));
        EXPECT_TRUE(SpanCancelled) << "set as soon as the dialog shows";
        dlg.DateTimePicker1->setDate(QDate(2026, 7, 4));
        dlg.DateTimePicker2->setDate(QDate(2026, 7, 4));
        QTest::mouseClick(dlg.BtnOK, Qt::LeftButton);
    });
    EXPECT_FALSE(stillOpen);
    EXPECT_FALSE(SpanCancelled);
    EXPECT_EQ(SpanStart, QDate(2026, 7, 4));
    EXPECT_EQ(SpanEnd, QDate(2026, 7, 4));
    EXPECT_TRUE(messages.entries().empty());
    EXPECT_EQ(dlg.windowTitle(), "DateSpan");
}

TEST_F(DateSpanDialog, EndBeforeStartIsRefusedAndTheDialogStaysOpen) {
    runModal([&] {
        dlg.DateTimePicker1->setDate(QDate(2026, 5, 10));
        dlg.DateTimePicker2->setDate(QDate(2026, 5, 9));
        QTest::mouseClick(dlg.BtnOK, Qt::LeftButton);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.DateTimePicker2->date(), QDate(2026, 5, 9)) << "pickers left as they are";
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(messages.texts(), QStringList{"Ending date must be greater than or equal to starting date."});
    ASSERT_EQ(messages.entries().size(), 1u);
    EXPECT_EQ(messages.entries()[0].kind, MessageLog::Kind::Plain);
    EXPECT_TRUE(SpanCancelled);
    EXPECT_EQ(SpanStart, QDate(2026, 3, 1));
    EXPECT_EQ(SpanEnd, QDate(2026, 3, 31));
}

TEST_F(DateSpanDialog, YearEndSpanIsAccepted) {
    runModal([&] {
        dlg.DateTimePicker1->setDate(QDate(2026, 12, 15));
        dlg.DateTimePicker2->setDate(QDate(2027, 1, 15));
        dlg.BtnOK->click();
    });
    EXPECT_FALSE(SpanCancelled);
    EXPECT_EQ(SpanStart, QDate(2026, 12, 15));
    EXPECT_EQ(SpanEnd, QDate(2027, 1, 15));
}

TEST_F(DateSpanDialog, CancelAndCloseBoxKeepTheSpanAndLeaveTheFlagSet) {
    runModal([&] {
        dlg.DateTimePicker1->setDate(QDate(2026, 6, 1));
        dlg.BtnCancel->click();
    });
    EXPECT_TRUE(SpanCancelled);
    EXPECT_EQ(SpanStart, QDate(2026, 3, 1));

    runModal([&] {
        dlg.DateTimePicker2->setDate(QDate(2026, 8, 1));
        dlg.close();
    });
    EXPECT_FALSE(stillOpen);
    EXPECT_TRUE(SpanCancelled);
    EXPECT_EQ(SpanEnd, QDate(2026, 3, 31));
}

TEST_F(DateSpanDialog, EnterAndEscapeDoNothingSpecial) {
    runModal([&] {
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_TRUE(dlg.isVisible()) << "Escape is not a cancel button";
        dlg.BtnOK->setFocus();
        QTest::keyClick(dlg.DateTimePicker1, Qt::Key_Return);
        EXPECT_TRUE(dlg.isVisible()) << "Enter is not a default button";
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(SpanCancelled);
    EXPECT_FALSE(dlg.BtnOK->isDefault());
    EXPECT_FALSE(dlg.BtnOK->autoDefault());
    EXPECT_FALSE(dlg.BtnCancel->autoDefault());
}
