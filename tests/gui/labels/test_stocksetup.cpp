// The label-stock setup loop: the picker and the definition dialog shown modally in turn, answered
// by a script that acts on whichever dialog is up.
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <functional>

#include "StockTestData.h"
#include "gui/common/Forms.h"
#include "gui/labels/LabelDef.h"
#include "gui/common/MaskField.h"
#include "gui/labels/PickLab.h"
#include "gui/labels/StockSetup.h"

namespace {

// Answers modal dialogs in order. Each step names the dialog it expects to be up; a different
// dialog, or one more than scripted, is recorded as a failure and rejected, so a wrong loop ends
// instead of hanging.
class ModalScript : public QObject {
public:
    struct Step {
        QWidget* expected;
        std::function<void()> act;
    };

    explicit ModalScript(std::deque<Step> steps) : steps_(std::move(steps)) {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
        timer_.start();
    }

    bool allDone() const { return steps_.empty(); }
    const QStringList& failures() const { return failures_; }

private:
    void tick() {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!modal || busy_) return;
        busy_ = true;
        if (steps_.empty()) {
            failures_ << QStringLiteral("unexpected ") + modal->windowTitle();
            modal->reject();
        } else if (steps_.front().expected != modal) {
            failures_ << QStringLiteral("expected another dialog than ") + modal->windowTitle();
            steps_.clear();
            modal->reject();
        } else {
            const Step step = steps_.front();
            steps_.pop_front();
            step.act();
        }
        busy_ = false;
    }

    std::deque<Step> steps_;
    QStringList failures_;
    QTimer timer_;
    bool busy_ = false;
};

}  // namespace

class StockSetupTest : public StockTestData {
protected:
    void SetUp() override {
        StockTestData::SetUp();
        savedPick_ = PickLab;
        savedDef_ = LabelDef;
        PickLab = pick = new TPickLab;
        LabelDef = def = new TLabelDef;
    }
    void TearDown() override {
        PickLab = savedPick_;
        LabelDef = savedDef_;
        delete pick;
        delete def;
        StockTestData::TearDown();
    }

    void Run(std::deque<ModalScript::Step> steps) {
        ModalScript script(std::move(steps));
        LabelStock1Click();
        EXPECT_TRUE(script.allDone());
        EXPECT_EQ(script.failures(), QStringList());
        EXPECT_EQ(LabelsTable, nullptr);  // the loop closes the table at its end
    }

    QString SelectedEntry() const {
        const auto* item = pick->listBox()->currentItem();
        return item ? item->text() : QString();
    }

    void FillUsable(const QString& name) {
        def->nameField()->setText(name);
        def->numberField(4)->setFieldText(QStringLiteral(" 144.000"));
        def->numberField(5)->setFieldText(QStringLiteral("  72.000"));
        def->acrossField()->setFieldText(QStringLiteral("2"));
    }

    int StoredStockCount() {
        EXPECT_TRUE(OpenLabels().ok());
        const int n = static_cast<int>(LabelsTable->recCount());
        EXPECT_TRUE(CloseTable(LabelsTable).ok());
        return n;
    }

    TPickLab* pick = nullptr;
    TLabelDef* def = nullptr;

private:
    TPickLab* savedPick_ = nullptr;
    TLabelDef* savedDef_ = nullptr;
};

TEST_F(StockSetupTest, CancellingThePickerEndsTheLoopWithTheFirstStockOffered) {
    QString offered;
    bool newEnabled = false;
    pick->newButton()->setEnabled(false);  // the loop enables it itself
    Run({{pick, [&] {
              offered = SelectedEntry();
              newEnabled = pick->newButton()->isEnabled();
              pick->close();  // the close box
          }}});
    EXPECT_EQ(offered, Padded(QString::fromLatin1(StandardStocks()[3].name)));  // first by name
    EXPECT_TRUE(newEnabled);
    EXPECT_EQ(CurrentStockRecNo, -1);
}

TEST_F(StockSetupTest, NewThenCancelEndsTheLoopAndAppendsNothing) {
    Run({{pick, [&] { pick->newButton()->click(); }},
         {def, [&] {
              FillUsable(QStringLiteral("Never kept"));
              def->cancelButton()->click();
          }}});
    EXPECT_EQ(CurrentStockRecNo, 0);
    EXPECT_EQ(StoredStockCount(), 6);
}

TEST_F(StockSetupTest, NewThenSaveReturnsToThePickerWithTheNewStockSelected) {
    QString offered;
    Run({{pick, [&] { pick->newButton()->click(); }},
         {def, [&] {
              FillUsable(QStringLiteral("Brand new"));
              def->saveButton()->click();
          }},
         {pick, [&] {
              offered = SelectedEntry();
              pick->cancelButton()->click();
          }}});
    EXPECT_EQ(offered, Padded(QStringLiteral("Brand new")));
    EXPECT_EQ(StoredStockCount(), 7);
}

TEST_F(StockSetupTest, AChosenStockIsEditedThenOfferedAgain) {
    QString editing, offeredAfterSave, offeredAfterCancel;
    const int row = 4;  // the stock of record 2 in name order
    Run({{pick, [&] {
              pick->listBox()->setCurrentRow(row);
              pick->selectButton()->click();
          }},
         {def, [&] {
              editing = def->nameField()->text();
              def->numberField(5)->setFieldText(QStringLiteral("  99.000"));
              def->saveButton()->click();
          }},
         {pick, [&] {
              offeredAfterSave = SelectedEntry();
              pick->selectButton()->click();
          }},
         {def, [&] {
              def->numberField(5)->setFieldText(QStringLiteral("   1.000"));
              def->cancelButton()->click();
          }},
         {pick, [&] {
              offeredAfterCancel = SelectedEntry();
              pick->cancelButton()->click();
          }}});
    const QString name = QString::fromLatin1(StandardStocks()[1].name);
    EXPECT_EQ(editing, name);
    EXPECT_EQ(offeredAfterSave, Padded(name));
    EXPECT_EQ(offeredAfterCancel, Padded(name));
    EXPECT_EQ(StoredStockCount(), 6);
    EXPECT_TRUE(OpenLabels().ok());
    EXPECT_DOUBLE_EQ(ReadStock(2).Height, 99.0);  // saved once, the cancelled edit not kept
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
}

TEST_F(StockSetupTest, AnEmptyTableStillLeadsFromNewToTheDefinition) {
    EXPECT_TRUE(OpenLabels().ok());
    RemoveAllStocks();
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
    int listed = -1;
    bool blank = false;
    Run({{pick, [&] {
              listed = pick->listBox()->count();
              pick->newButton()->click();
          }},
         {def, [&] {
              blank = def->nameField()->text().isEmpty() &&
                      def->numberField(4)->fieldText() == QStringLiteral("   0.000");
              // An unusable stock is refused and the dialog stays up for another try.
              def->nameField()->setText(QStringLiteral("Zero wide"));
              def->saveButton()->click();
              EXPECT_TRUE(def->isVisible());
              FillUsable(QStringLiteral("First stock"));
              def->saveButton()->click();
          }},
         {pick, [&] {
              listed = pick->listBox()->count();
              pick->cancelButton()->click();
          }}});
    EXPECT_EQ(listed, 1);
    EXPECT_TRUE(blank);
    EXPECT_EQ(MessageTexts(),
              QStringList{QStringLiteral("Label width and height must be greater than zero.")});
    EXPECT_EQ(StoredStockCount(), 1);
}
