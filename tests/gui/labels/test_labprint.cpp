// The label print options dialog, driven through its widgets, on a fresh data set.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "StockTestData.h"
#include "gui/labels/LabPrint.h"
#include "gui/common/MaskField.h"
#include "core/labels/SheetMemory.h"
#include "xbase/Library.h"

namespace {

// Name-order positions of the standard stocks (see StockTestData.h).
constexpr int kA4ThreeAcross = 0;    // record 4, 3 across
constexpr int kContinuous = 2;       // record 6, 1 across
constexpr int kLetterThreeAcross = 3;  // record 1, 3 across
constexpr int kLetterTwoAcross = 4;    // record 2, 2 across

QString StockName(int record) {
    return Padded(QString::fromLatin1(StandardStocks()[record - 1].name));
}

void ShowActive(QWidget* w) {
    w->show();
    QApplication::setActiveWindow(w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

}  // namespace

class LabPrintTest : public StockTestData {
protected:
    void SetUp() override {
        StockTestData::SetUp();
        EXPECT_TRUE(OpenLabels().ok());
        dlg = new TLabPrint;
        LabelCount = 12;
    }
    void TearDown() override {
        delete dlg;
        StockTestData::TearDown();
    }
    // Puts the stock box on entry `i`, as choosing it from the list does.
    void Choose(int i) {
        dlg->stockBox()->setCurrentIndex(i);
        emit dlg->stockBox()->activated(i);
    }
    TLabPrint* dlg = nullptr;
};

TEST_F(LabPrintTest, ShowsTheCountTheStocksAndStartsAtColumnOneRowOne) {
    PrintOptionsCancelled = false;
    ShowActive(dlg);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Print Labels"));
    EXPECT_EQ(dlg->countLabel()->text(), QStringLiteral("There are 12 labels it this report "));
    ASSERT_EQ(dlg->stockBox()->count(), 6);
    EXPECT_EQ(dlg->stockBox()->itemText(0), StockName(4).trimmed());  // shown without padding
    EXPECT_EQ(dlg->stockBox()->itemText(5), StockName(3).trimmed());
    EXPECT_EQ(dlg->stockBox()->currentIndex(), 0);  // blank LabID names no stock
    EXPECT_EQ(dlg->startColumnText(), QStringLiteral("1"));
    EXPECT_EQ(dlg->startRowText(), QStringLiteral("1"));
    EXPECT_TRUE(PrintOptionsCancelled);
    EXPECT_EQ(LabelRec.Name, StockName(4));  // the preselected stock is loaded
    EXPECT_EQ(QApplication::focusWidget(), dlg->columnField());

    // Every name reads in full in the open list, however narrow the box.
    dlg->stockBox()->showPopup();
    QAbstractItemView* list = dlg->stockBox()->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    for (int i = 0; i < dlg->stockBox()->count(); ++i) {
        const QModelIndex at = list->model()->index(i, 0);
        EXPECT_LE(list->sizeHintForIndex(at).width(), list->viewport()->width()) << i;
    }
    dlg->stockBox()->hidePopup();

    // A run of nothing still shows its count.
    dlg->hide();
    LabelCount = 0;
    ShowActive(dlg);
    EXPECT_EQ(dlg->countLabel()->text(), QStringLiteral("There are 0 labels it this report "));
}

TEST_F(LabPrintTest, PreselectsTheLastStockWhoseStoredNameIsLabIDExactly) {
    AddStock(QStringLiteral("Twin"), 100, 50, 2);
    AddStock(QStringLiteral("Twin"), 100, 50, 4);
    SettingsRec.LabID = Padded(QStringLiteral("Twin"));
    ShowActive(dlg);
    EXPECT_EQ(dlg->stockBox()->currentIndex(), 4);  // both between "Continuous" and "US"
    EXPECT_EQ(dlg->stockBox()->itemText(3), QStringLiteral("Twin"));
    EXPECT_EQ(LabelRec.nAcross, 4);
    dlg->hide();

    // Compared as stored: without its padding the name matches nothing.
    SettingsRec.LabID = QStringLiteral("Twin");
    ShowActive(dlg);
    EXPECT_EQ(dlg->stockBox()->currentIndex(), 0);
}

TEST_F(LabPrintTest, LeavingTheStartFieldsKeepsThemWithinTheStock) {
    SettingsRec.LabID = StockName(1);  // 3 across
    ShowActive(dlg);
    struct Case {
        QLineEdit* field;
        const char* typed;
        const char* left;
    };
    const Case cases[] = {
        {dlg->columnField(), "5", "3"}, {dlg->columnField(), "0", "1"},
        {dlg->columnField(), "", "1"},  {dlg->columnField(), "2", "2"},
        {dlg->rowField(), "0", "1"},    {dlg->rowField(), "", "1"},
        {dlg->rowField(), "00", "1"},   {dlg->rowField(), "57", "57"},
    };
    for (const auto& c : cases) {
        c.field->setFocus(Qt::TabFocusReason);
        QTest::keyClick(c.field, Qt::Key_Delete);
        QTest::keyClicks(c.field, QString::fromLatin1(c.typed));
        dlg->okButton()->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(static_cast<MaskField*>(c.field)->fieldText().trimmed(),
                  QString::fromLatin1(c.left))
            << c.typed;
    }
}

TEST_F(LabPrintTest, ArrowsStepWithinOneToLabelsAcrossAndOneToTheFieldsTwoDigits) {
    SettingsRec.LabID = StockName(1);  // 3 across
    ShowActive(dlg);
    for (int i = 0; i < 4; ++i) QTest::mouseClick(dlg->columnRightArrow(), Qt::LeftButton);
    EXPECT_EQ(dlg->startColumnText(), QStringLiteral("3"));
    for (int i = 0; i < 4; ++i) QTest::mouseClick(dlg->columnLeftArrow(), Qt::LeftButton);
    EXPECT_EQ(dlg->startColumnText(), QStringLiteral("1"));

    QTest::mouseClick(dlg->rowUpArrow(), Qt::LeftButton);
    EXPECT_EQ(dlg->startRowText(), QStringLiteral("1"));
    QTest::mouseClick(dlg->rowDownArrow(), Qt::LeftButton);
    QTest::mouseClick(dlg->rowDownArrow(), Qt::LeftButton);
    EXPECT_EQ(dlg->startRowText(), QStringLiteral("3"));  // down the sheet
    static_cast<MaskField*>(dlg->rowField())->setFieldText(QStringLiteral("98"));
    QTest::mouseClick(dlg->rowDownArrow(), Qt::LeftButton);
    QTest::mouseClick(dlg->rowDownArrow(), Qt::LeftButton);
    EXPECT_EQ(dlg->startRowText(), QStringLiteral("99"));

    // A blank field steps as if it held 1.
    static_cast<MaskField*>(dlg->columnField())->setFieldText(QString());
    QTest::mouseClick(dlg->columnRightArrow(), Qt::LeftButton);
    EXPECT_EQ(dlg->startColumnText(), QStringLiteral("2"));
    EXPECT_TRUE(messages.entries().empty());

    // The limit follows the stock chosen in the list.
    Choose(kContinuous);
    EXPECT_EQ(dlg->startColumnText(), QStringLiteral("1"));
    QTest::mouseClick(dlg->columnRightArrow(), Qt::LeftButton);
    EXPECT_EQ(dlg->startColumnText(), QStringLiteral("1"));
}

TEST_F(LabPrintTest, EnterMovesOnFromEveryTextFieldShowingTheFocus) {
    ShowActive(dlg);
    dlg->stockBox()->setFocus(Qt::OtherFocusReason);
    const struct {
        QWidget* from;
        Qt::Key key;
        QWidget* to;
    } steps[] = {{dlg->stockBox(), Qt::Key_Return, dlg->columnField()},
                 {dlg->columnField(), Qt::Key_Enter, dlg->rowField()},
                 {dlg->rowField(), Qt::Key_Return, dlg->okButton()}};
    for (const auto& step : steps) {
        const QImage unfocused = step.to->grab().toImage();
        QTest::keyClick(QApplication::focusWidget(), step.key);
        EXPECT_EQ(QApplication::focusWidget(), step.to);
        // The control the focus went to looks it.
        EXPECT_NE(step.to->grab().toImage(), unfocused) << step.to->metaObject()->className();
    }
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->stockBox()->count(), 6);  // no typed entry was added
}

TEST_F(LabPrintTest, OkWithAnotherStockStoresItsNameAsLabID) {
    ShowActive(dlg);
    Choose(kLetterTwoAcross);
    QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(PrintOptionsCancelled);
    EXPECT_EQ(LabelRec.Name, StockName(2));
    EXPECT_DOUBLE_EQ(LabelRec.Width, StandardStocks()[1].width);
    EXPECT_EQ(SettingsRec.LabID, StockName(2));
    EXPECT_EQ(StoredSettings().LabID, StockName(2));

    // The next showing offers it first.
    ShowActive(dlg);
    EXPECT_EQ(dlg->stockBox()->currentIndex(), kLetterTwoAcross);
}

// Printing from the preview remembers the stock as OK does and ends the dialog without a second
// run; a preview closed without printing remembers nothing.
TEST_F(LabPrintTest, PrintFromThePreviewRemembersTheStock) {
    bool printed = false;
    TLabPrint::PreviewAction() = [&] { return printed; };
    ShowActive(dlg);
    Choose(kLetterTwoAcross);
    QTest::mouseClick(dlg->previewButton(), Qt::LeftButton);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(StoredSettings().LabID.trimmed(), QString());
    printed = true;
    QTest::mouseClick(dlg->previewButton(), Qt::LeftButton);
    TLabPrint::PreviewAction() = nullptr;
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(PrintOptionsCancelled);
    EXPECT_EQ(StoredSettings().LabID, StockName(2));
}

TEST_F(LabPrintTest, OkWithTheSameStockDoesNotWriteTheSettings) {
    SettingsRec.LabID = StockName(1);
    SettingsRec.FontName = QStringLiteral("Unsaved");  // would reach the file with any store
    ShowActive(dlg);
    ASSERT_EQ(dlg->stockBox()->currentIndex(), kLetterThreeAcross);
    dlg->BtnOKClick();
    EXPECT_FALSE(PrintOptionsCancelled);
    EXPECT_EQ(StoredSettings().FontName.trimmed(), QString());
    EXPECT_EQ(StoredSettings().LabID.trimmed(), QString());
}

TEST_F(LabPrintTest, OkKeepsTheStartColumnWithinTheStockFinallyChosen) {
    SettingsRec.LabID = StockName(4);  // 3 across
    ShowActive(dlg);
    static_cast<MaskField*>(dlg->columnField())->setFieldText(QStringLiteral("3"));
    static_cast<MaskField*>(dlg->rowField())->setFieldText(QStringLiteral("0"));
    dlg->stockBox()->setCurrentIndex(kLetterTwoAcross);  // no reload on the way
    dlg->BtnOKClick();
    EXPECT_FALSE(PrintOptionsCancelled);
    EXPECT_EQ(LabelRec.nAcross, 2);
    EXPECT_EQ(dlg->startColumnText(), QStringLiteral("2"));
    EXPECT_EQ(dlg->startRowText(), QStringLiteral("1"));
}

TEST_F(LabPrintTest, CancelTheCloseBoxAndATypedUnknownStockAllCancel) {
    ShowActive(dlg);
    Choose(kLetterTwoAcross);
    QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(PrintOptionsCancelled);

    ShowActive(dlg);
    dlg->close();
    EXPECT_TRUE(PrintOptionsCancelled);

    ShowActive(dlg);
    dlg->stockBox()->setEditText(QStringLiteral("No such stock"));
    dlg->BtnOKClick();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(PrintOptionsCancelled);
    EXPECT_EQ(StoredSettings().LabID.trimmed(), QString());

    // A typed name that spells a stock chooses it.
    ShowActive(dlg);
    dlg->stockBox()->setEditText(QString::fromLatin1(StandardStocks()[5].name));
    dlg->BtnOKClick();
    EXPECT_FALSE(PrintOptionsCancelled);
    EXPECT_EQ(LabelRec.Name, StockName(6));
    EXPECT_TRUE(messages.entries().empty());
}

TEST_F(LabPrintTest, AnEmptyStockTableClosesTheDialogAsCancelled) {
    RemoveAllStocks();
    PrintOptionsCancelled = false;
    bool guardFired = false;  // the dialog must close by itself, not by the guard
    QTimer::singleShot(2000, dlg, [this, &guardFired] {
        guardFired = true;
        dlg->reject();
    });
    dlg->exec();
    EXPECT_FALSE(guardFired);
    EXPECT_TRUE(PrintOptionsCancelled);
}

// The last sheet's next free label shows for the stock it was remembered for, only there, and
// Use puts it in the start fields, which themselves still start at 1.
TEST_F(LabPrintTest, SheetMemoryLineFollowsTheStockAndUseFillsTheStart) {
    const QDate day(2026, 12, 8);
    ASSERT_TRUE(SheetRemember(*LibHandle, StockName(4), SheetPosition{2, 7, day}).ok());
    ASSERT_TRUE(SheetRemember(*LibHandle, StockName(6), SheetPosition{1, 3, day}).ok());  // continuous
    ShowActive(dlg);
    ASSERT_TRUE(dlg->sheetLine()->isVisible());
    EXPECT_EQ(dlg->sheetLine()->text(), SheetMemoryText(SheetPosition{2, 7, day}));
    EXPECT_EQ(dlg->startColumnText(), QStringLiteral("1"));
    EXPECT_EQ(dlg->startRowText(), QStringLiteral("1"));
    QTest::mouseClick(dlg->useButton(), Qt::LeftButton);
    EXPECT_EQ(dlg->startColumnText(), QStringLiteral("2"));
    EXPECT_EQ(dlg->startRowText(), QStringLiteral("7"));

    for (int other : {kContinuous, kLetterTwoAcross}) {
        Choose(other);
        EXPECT_FALSE(dlg->sheetLine()->isVisible()) << other;
        EXPECT_FALSE(dlg->useButton()->isVisible()) << other;
    }
    Choose(kA4ThreeAcross);
    EXPECT_TRUE(dlg->useButton()->isVisible());
}

// The household box: hidden when the run does not offer it; the count follows it; OK remembers
// it for the next showing.
TEST_F(LabPrintTest, HouseholdBoxSwitchesTheCountAndIsRemembered) {
    ShowActive(dlg);
    EXPECT_TRUE(dlg->householdBox()->isHidden());
    EXPECT_FALSE(dlg->oneLabelPerHousehold());
    dlg->close();

    TLabPrint::HouseholdLabelCount() = 5;
    ShowActive(dlg);
    EXPECT_FALSE(dlg->householdBox()->isHidden());
    EXPECT_FALSE(dlg->householdBox()->isChecked());  // off until chosen
    QTest::mouseClick(dlg->householdBox(), Qt::LeftButton, {}, QPoint(5, dlg->householdBox()->height() / 2));
    EXPECT_EQ(dlg->countLabel()->text(), QStringLiteral("There are 5 labels it this report "));
    QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
    EXPECT_TRUE(dlg->oneLabelPerHousehold());

    ShowActive(dlg);
    EXPECT_TRUE(dlg->householdBox()->isChecked());
    dlg->householdBox()->setChecked(false);
    EXPECT_EQ(dlg->countLabel()->text(), QStringLiteral("There are 12 labels it this report "));
    TLabPrint::HouseholdLabelCount() = -1;
}
