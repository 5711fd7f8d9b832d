// The "Edit List..." window: filter, Space, All / None shown, the counts, last year's columns,
// and what OK and Cancel leave in the book.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "MessageLog.h"
#include "TestData.h"
#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/occasions/Occasions.h"
#include "gui/occasions/EditListWindow.h"
#include "xbase/Table.h"

namespace {

class EditListTest : public ::testing::Test {
protected:
    void SetUp() override {
        AppendAddressRows(data.dir(), {ResidentRow("Ann", "Lee", "1 Elm St", true),
                                       ResidentRow("Cy", "Gray", "2 Oak Rd", false, "Dover"),
                                       ResidentRow("Bob", "Lee", "1 ELM st", false), ResidentRow("Di", "Moss", "", true)});
        lib = std::make_unique<ScopedLibrary>(data.path());
        const int last = CardYear(7, QDate::currentDate()) - 1;
        ASSERT_TRUE(CardsAdd(lib->lib(), 2, last, 7, CardKind::Sent).ok());
        ASSERT_TRUE(CardsAdd(lib->lib(), 4, last, 7, CardKind::Received).ok());
    }
    QString cell(EditListWindow& w, int row, int column) {
        return w.view()->model()->index(row, column).data().toString().trimmed();
    }
    TestDataDir data;
    std::unique_ptr<ScopedLibrary> lib;
    MessageLog messages;
};

}  // namespace

TEST_F(EditListTest, ShowsHouseholdsTogetherWithLastYearsCardsAndCounts) {
    EditListWindow w(7);
    // Name order, the Lees together at Ann's place.
    ASSERT_EQ(w.view()->model()->rowCount(), 4);
    EXPECT_EQ(cell(w, 0, EditListWindow::NameColumn), "Cy Gray");
    EXPECT_EQ(cell(w, 1, EditListWindow::NameColumn), "Ann Lee");
    EXPECT_EQ(cell(w, 2, EditListWindow::NameColumn), "Bob Lee");
    EXPECT_EQ(cell(w, 0, EditListWindow::SentColumn), "sent");
    EXPECT_EQ(cell(w, 3, EditListWindow::ReceivedColumn), "received");
    EXPECT_EQ(w.countLine()->text(), "On the list: 2 people in 2 households");
    w.view()->model()->sort(EditListWindow::SentColumn, Qt::DescendingOrder);
    EXPECT_EQ(cell(w, 0, EditListWindow::NameColumn), "Cy Gray");
}

TEST_F(EditListTest, OkWritesTheFlagsAndCancelChangesNothing) {
    for (bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        EditListWindow w(7);
        w.show();
        QTest::keyClicks(w.filterBox(), "lee");
        ASSERT_EQ(w.view()->model()->rowCount(), 2);
        QTest::mouseClick(w.allButton(), Qt::LeftButton);
        EXPECT_EQ(w.countLine()->text(), "On the list: 3 people in 2 households");
        w.filterBox()->clear();
        w.filterBox()->setText("dover");  // by city
        ASSERT_EQ(w.view()->model()->rowCount(), 1);
        w.view()->setFocus();
        w.view()->setCurrentIndex(w.view()->model()->index(0, EditListWindow::NameColumn));
        QTest::keyClick(w.view(), Qt::Key_Space);
        w.filterBox()->setText("moss");
        QTest::mouseClick(w.noneButton(), Qt::LeftButton);
        EXPECT_EQ(w.countLine()->text(), "On the list: 3 people in 2 households");
        if (ok) QTest::mouseClick(w.okButton(), Qt::LeftButton);
        else w.reject();
        EXPECT_EQ(FlaggedFirstNames(7), ok ? QStringList({"Cy", "Ann", "Bob"}) : QStringList({"Ann", "Di"}));
    }
}
