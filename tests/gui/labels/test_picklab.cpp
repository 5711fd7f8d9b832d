// The label stock picker, driven through its widgets, on a fresh data set.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTimer>
#include <QPushButton>
#include <QTest>

#include "StockTestData.h"
#include "gui/labels/CatalogueWindow.h"
#include "gui/labels/PickLab.h"

namespace {

QStringList Entries(const QListWidget* list) {
    QStringList l;
    for (int i = 0; i < list->count(); ++i) l << list->item(i)->text();
    return l;
}

QPoint CentreOfRow(const QListWidget* list, int row) {
    return list->visualItemRect(list->item(row)).center();
}

}  // namespace

class PickLabTest : public StockTestData {
protected:
    void SetUp() override {
        StockTestData::SetUp();
        EXPECT_TRUE(OpenLabels().ok());
        pick = new TPickLab;
    }
    void TearDown() override {
        delete pick;
        StockTestData::TearDown();
    }
    TPickLab* pick = nullptr;
};

TEST_F(PickLabTest, ListsEveryRowInNameOrderWithDeletedRowsMarked) {
    const int gone = AddStock(QStringLiteral("B old"), 100, 50, 2, /*deleted=*/true);
    CurrentStockRecNo = -1;
    pick->show();
    EXPECT_EQ(pick->windowTitle(), QStringLiteral("PickLab"));
    const QStringList expected = {
        Padded(QString::fromLatin1(StandardStocks()[3].name)),
        Padded(QString::fromLatin1(StandardStocks()[4].name)),
        Padded(QStringLiteral("B old")) + QStringLiteral("<DELETED>"),
        Padded(QString::fromLatin1(StandardStocks()[5].name)),
        Padded(QString::fromLatin1(StandardStocks()[0].name)),
        Padded(QString::fromLatin1(StandardStocks()[1].name)),
        Padded(QString::fromLatin1(StandardStocks()[2].name)),
    };
    EXPECT_EQ(Entries(pick->listBox()), expected);
    // No stock named on entry: the first entry is selected; the answer so far is "none".
    EXPECT_EQ(pick->listBox()->currentRow(), 0);
    EXPECT_EQ(CurrentStockRecNo, -1);

    // The deleted row can be chosen like any other.
    QTest::mouseClick(pick->listBox()->viewport(), Qt::LeftButton, {},
                      CentreOfRow(pick->listBox(), 2));
    QTest::mouseClick(pick->selectButton(), Qt::LeftButton);
    EXPECT_FALSE(pick->isVisible());
    EXPECT_EQ(CurrentStockRecNo, gone);
}

TEST_F(PickLabTest, PreselectsTheStockNamedOnEntryAndAnswersNoneUntilChosen) {
    CurrentStockRecNo = 1;  // fourth in name order
    pick->show();
    EXPECT_EQ(pick->listBox()->currentRow(), 3);
    EXPECT_EQ(CurrentStockRecNo, -1);
    pick->hide();

    CurrentStockRecNo = 99;  // names no row
    pick->show();
    EXPECT_EQ(pick->listBox()->currentRow(), 0);
}

TEST_F(PickLabTest, SelectAndDoubleClickAnswerTheRowsOwnRecordNumber) {
    // Two stocks of the same name are two entries, each with its own row.
    const int first = AddStock(QStringLiteral("Twin"));
    const int second = AddStock(QStringLiteral("Twin"));
    CurrentStockRecNo = second;
    pick->show();
    const int row = pick->listBox()->currentRow();
    ASSERT_EQ(pick->listBox()->item(row)->text(), Padded(QStringLiteral("Twin")));
    ASSERT_EQ(pick->listBox()->item(row - 1)->text(), Padded(QStringLiteral("Twin")));
    pick->BtnSelectClick();
    EXPECT_EQ(CurrentStockRecNo, second);

    CurrentStockRecNo = -1;
    pick->show();
    const QPoint at = CentreOfRow(pick->listBox(), row - 1);
    QTest::mouseClick(pick->listBox()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(pick->listBox()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_FALSE(pick->isVisible());
    EXPECT_EQ(CurrentStockRecNo, first);
    EXPECT_TRUE(messages.entries().empty());
}

TEST_F(PickLabTest, NewCancelAndTheCloseBoxAnswerWithoutASelection) {
    CurrentStockRecNo = 2;
    pick->show();
    QTest::mouseClick(pick->newButton(), Qt::LeftButton);
    EXPECT_EQ(CurrentStockRecNo, 0);
    EXPECT_FALSE(pick->isVisible());

    CurrentStockRecNo = 2;
    pick->show();
    QTest::mouseClick(pick->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(CurrentStockRecNo, -1);

    CurrentStockRecNo = 2;
    pick->show();
    pick->close();
    EXPECT_EQ(CurrentStockRecNo, -1);

    CurrentStockRecNo = 2;
    pick->show();
    QTest::keyClick(pick->listBox(), Qt::Key_Escape);
    EXPECT_FALSE(pick->isVisible());
    EXPECT_EQ(CurrentStockRecNo, -1);
}

TEST_F(PickLabTest, EmptyTableGivesAnEmptyListWhereOnlyNewAndCancelAnswer) {
    RemoveAllStocks();
    CurrentStockRecNo = -1;
    pick->show();
    EXPECT_EQ(pick->listBox()->count(), 0);
    EXPECT_EQ(pick->listBox()->currentRow(), -1);
    pick->BtnSelectClick();
    EXPECT_EQ(MessageTexts(), QStringList{QStringLiteral("Item Not Selected")});
    EXPECT_EQ(messages.entries()[0].kind, MessageLog::Kind::Info);
    EXPECT_TRUE(pick->isVisible());
    EXPECT_EQ(CurrentStockRecNo, -1);
    pick->BtnNewClick();
    EXPECT_EQ(CurrentStockRecNo, 0);
}

TEST_F(PickLabTest, SelectWithTheSelectionClearedStaysOpen) {
    CurrentStockRecNo = -1;
    pick->show();
    pick->listBox()->clearSelection();
    QTest::mouseClick(pick->selectButton(), Qt::LeftButton);
    EXPECT_EQ(MessageTexts(), QStringList{QStringLiteral("Item Not Selected")});
    EXPECT_TRUE(pick->isVisible());
    EXPECT_EQ(CurrentStockRecNo, -1);
}

// A sheet found in the catalogue by the keyboard alone becomes a stock, once however often it
// is chosen, and the list stands on it ready for Select.
TEST_F(PickLabTest, CatalogueAddsTheChosenSheetOnceAndSelectsIt) {
    QString problem;
    if (!SystemCatalogue(&problem)) GTEST_SKIP() << problem.toStdString();
    CurrentStockRecNo = -1;
    pick->show();
    QStringList offered;
    for (int round = 0; round < 2; ++round) {
        QTimer::singleShot(0, [&] {
            auto* w = qobject_cast<TCatalogueWindow*>(QApplication::activeModalWidget());
            ASSERT_TRUE(w);
            QTest::keyClicks(w->searchField(), QStringLiteral("avery 5160"));
            offered << w->table()->model()->index(0, 1).data().toString();
            QTest::keyClick(w->searchField(), Qt::Key_Return);
        });
        pick->BtnCatalogueClick();
    }
    EXPECT_EQ(offered, QStringList({"5160", "5160"}));
    const QStringList names = Entries(pick->listBox());
    EXPECT_EQ(names.filter(QStringLiteral("Avery 5160 (30 per sheet)")).size(), 1);
    ASSERT_NE(pick->listBox()->currentItem(), nullptr);
    EXPECT_EQ(pick->listBox()->currentItem()->text().trimmed(), QStringLiteral("Avery 5160 (30 per sheet)"));
    QTest::mouseClick(pick->selectButton(), Qt::LeftButton);
    ASSERT_GT(CurrentStockRecNo, 0);
    EXPECT_EQ(ReadStock(CurrentStockRecNo).nAcross, 3);
}

// A sheet with more labels across than a stock holds is listed greyed with its reason, cannot be
// added by button, Enter or double click, and the window stays open for another choice.
TEST(CatalogueWindow, SheetTooWideForAStockIsGreyedAndRefused) {
    QString problem;
    const StockCatalogue* cat = SystemCatalogue(&problem);
    if (!cat) GTEST_SKIP() << problem.toStdString();
    MessageLog messages;
    TCatalogueWindow w(*cat);
    w.show();
    QTableView* table = w.table();
    QTest::keyClicks(w.searchField(), QStringLiteral("rayfilm 34"));
    ASSERT_EQ(table->model()->index(0, 1).data().toString(), QStringLiteral("0234"));
    ASSERT_EQ(table->model()->index(1, 1).data().toString(), QStringLiteral("3442"));  // ten across
    const QModelIndex wide = table->model()->index(1, 0);
    EXPECT_TRUE(wide.data(Qt::ToolTipRole).toString().contains(QStringLiteral("10 labels across")));
    EXPECT_TRUE(wide.data(Qt::ForegroundRole).isValid());  // greyed
    EXPECT_FALSE(table->model()->index(0, 0).data(Qt::ForegroundRole).isValid());
    EXPECT_TRUE(w.addButton()->isEnabled());
    QTest::keyClick(w.searchField(), Qt::Key_Down);
    EXPECT_FALSE(w.addButton()->isEnabled());
    QTest::keyClick(w.searchField(), Qt::Key_Return);
    emit table->doubleClicked(wide);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.chosen(), nullptr);
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts()[0].contains(QStringLiteral("labels across"))) << messages.texts()[0].toStdString();
}
