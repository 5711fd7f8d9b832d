// The recipient selection dialog: the grid over the address book, the seek box, picking, and
// the manual label run driven through the real dialog.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "gui/common/Installed.h"
#include "MessageLog.h"
#include "TestData.h"
#include "gui/common/Forms.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/labels/LabSel.h"
#include "core/labels/LabelGen.h"
#include "gui/labels/LabelRunDialogs.h"
#include "gui/labels/OccasionLabelRun.h"
#include "RecordingPrinter.h"
#include "xbase/Table.h"

namespace {

class LabSelTest : public ::testing::Test {
protected:
    void SetUp() override {
        lib = std::make_unique<ScopedLibrary>(data.path());
        EXPECT_TRUE(OpenAddrBook().ok());
        dlg.FillGrid();
    }
    void TearDown() override { EXPECT_TRUE(CloseTable(AddrBookTable).ok()); }

    // Index key of a grid row: surname and first name at full width, upper-cased.
    QString Key(int row) const {
        return (dlg.model()->row(row).last + dlg.model()->row(row).first).toUpper();
    }

    TestDataDir data{40};
    std::unique_ptr<ScopedLibrary> lib;
    TLabSel dlg;
};

}  // namespace

TEST_F(LabSelTest, GridListsTheBookInNameOrder) {
    QAbstractItemModelTester tester(dlg.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(dlg.model()->rowCount(), 40);
    EXPECT_EQ(dlg.model()->headerData(0, Qt::Horizontal).toString(), "Last");
    EXPECT_EQ(dlg.model()->headerData(1, Qt::Horizontal).toString(), "First");
    EXPECT_EQ(dlg.model()->headerData(2, Qt::Horizontal).toString(), "City, State");
    EXPECT_TRUE(dlg.grid()->isColumnHidden(3));
    EXPECT_EQ(dlg.currentRow(), 0);
    const int w = dlg.fontMetrics().horizontalAdvance('B');
    EXPECT_EQ(dlg.grid()->columnWidth(0), 20 * w);
    EXPECT_EQ(dlg.grid()->columnWidth(2), 24 * w);
    EXPECT_EQ(dlg.grid()->width(), 67 * w);
    // Eleven whole rows, the header one of them, and no sliver of a twelfth.
    const int client = dlg.grid()->height() - 2 * dlg.grid()->frameWidth();
    EXPECT_EQ(dlg.grid()->horizontalHeader()->height() + 10 * dlg.grid()->rowHeight(0), client);

    // Rows follow the index; the cells are the stored texts and the record number.
    int row = 0;
    for (LastStatus = AddrBookTable->top(); LastStatus == 0; LastStatus = AddrBookTable->skip(), ++row) {
        LoadAddrRec();
        const QAbstractItemModel* m = dlg.model();
        EXPECT_EQ(m->index(row, 0).data().toString(), AddressRec.Last);
        EXPECT_EQ(m->index(row, 1).data().toString(), AddressRec.First);
        EXPECT_EQ(m->index(row, 2).data().toString(),
                  AddressRec.City.trimmed() + ", " + AddressRec.State.trimmed());
        EXPECT_EQ(m->index(row, 3).data().toString(), QString::number(AddrBookTable->recNo()));
        if (row > 0) {
            EXPECT_LE(Key(row - 1), Key(row));
        }
    }
    EXPECT_EQ(row, 40);
}

TEST_F(LabSelTest, SeekMovesToTheFirstNameAtOrAfterTheText) {
    dlg.show();
    const QString surname = dlg.model()->row(23).last.trimmed();
    const QString prefix = surname.left(3).toLower();
    QTest::keyClicks(dlg.seekBox(), prefix);
    int expected = 0;
    while (expected < 40 && Key(expected) < prefix.toUpper()) ++expected;
    EXPECT_EQ(dlg.currentRow(), expected);
    EXPECT_EQ(dlg.lastSeekText(), prefix.toUpper());

    // Only the letter case or blanks at the ends changed: no new seek.
    LastStatus = 12345;
    dlg.seekBox()->setText(" " + prefix.toUpper() + " ");
    EXPECT_EQ(LastStatus, 12345);
    EXPECT_EQ(dlg.currentRow(), expected);

    // A text after every key leaves the current row where it was.
    dlg.grid()->setCurrentIndex(dlg.model()->index(3, 0));
    dlg.seekBox()->setText("ZZZZZZZZ");
    EXPECT_EQ(LastStatus, xbase::kEof);
    EXPECT_EQ(dlg.currentRow(), 3);

    // The whole key of a row finds that row (or the first of equal keys).
    dlg.seekBox()->setText(Key(30).trimmed());
    EXPECT_EQ(Key(dlg.currentRow()), Key(30));
}

TEST_F(LabSelTest, SelectPrintSelectedAndEachShowingStartsAfresh) {
    // Select takes the current row's record number.
    dlg.grid()->setCurrentIndex(dlg.model()->index(7, 0));
    ChosenRecNo = -1;
    dlg.selectButton()->click();
    EXPECT_EQ(ChosenRecNo, dlg.model()->row(7).recNo);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    // A showing empties the seek box and ChosenRecNo; a double-click picks; "Print Selected"
    // leaves -1.
    dlg.seekBox()->setText("ABC");
    ChosenRecNo = 99;
    int seenChosen = 0;
    QString seenSeek = "unset";
    QTimer::singleShot(0, &dlg, [&] {
        seenChosen = ChosenRecNo;
        seenSeek = dlg.seekBox()->text();
        const QRect cell = dlg.grid()->visualRect(dlg.model()->index(2, 1));
        QTest::mouseClick(dlg.grid()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(dlg.grid()->viewport(), Qt::LeftButton, {}, cell.center());
    });
    dlg.exec();
    EXPECT_EQ(seenChosen, -1);
    EXPECT_EQ(seenSeek, "");
    EXPECT_EQ(ChosenRecNo, dlg.model()->row(2).recNo);
    EXPECT_EQ(dlg.width(), dlg.grid()->width() + 50);

    QTimer::singleShot(0, &dlg, [&] { dlg.printButton()->click(); });
    dlg.exec();
    EXPECT_EQ(ChosenRecNo, -1);

    dlg.setCount(12);
    EXPECT_EQ(dlg.countLabel()->text(), "12");
}

TEST(LabSelEmpty, EmptyBookAllowsOnlyPrintSelected) {
    TestDataDir data;
    ScopedLibrary lib(data.path());
    EXPECT_TRUE(OpenAddrBook().ok());
    TLabSel dlg;
    dlg.FillGrid();
    EXPECT_EQ(dlg.model()->rowCount(), 0);
    EXPECT_FALSE(dlg.selectButton()->isEnabled());
    EXPECT_TRUE(dlg.printButton()->isEnabled());
    ChosenRecNo = -1;
    dlg.BtnOKClick();
    dlg.StringGrid1DblClick();
    EXPECT_EQ(ChosenRecNo, -1);
    dlg.seekBox()->setText("SMITH");  // nothing to move to, nothing breaks
    EXPECT_EQ(dlg.currentRow(), -1);
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
}

TEST_F(LabSelTest, ManualRunThroughTheDialogPicksTheSameRecipientTwice) {
    TLabSel* previous = LabSel;
    LabSel = &dlg;
    RecordingPrinter out;
    struct Kept : RecordingPrinter {
        explicit Kept(RecordingPrinter* k) : keep(k) {}
        ~Kept() override { *keep = *this; }
        RecordingPrinter* keep;
    };
    // The selection is the real dialog; the options take the first stock in name order.
    struct Options : LabelRunDialogs {
        explicit Options(RecordingPrinter* k) : keep(k) {}
        bool askPrintOptions() override {
            LoadLabelRec();
            return true;
        }
        QString startColumnText() override { return "1"; }
        QString startRowText() override { return "1"; }
        std::unique_ptr<Printer> makePrinter() override { return std::make_unique<Kept>(keep); }
        RecordingPrinter* keep;
    } options(&out);
    Installed<LabelRunDialogs>::install(&options);

    // Each showing: pick row 5, row 5 again, row 9, then "Print Selected".
    QList<int> script = {5, 5, 9, -1};
    QStringList counts;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, &dlg, [&] {
        if (!dlg.isVisible() || script.isEmpty()) return;
        counts << dlg.countLabel()->text();
        const int r = script.takeFirst();
        if (r < 0) {
            dlg.printButton()->click();
        } else {
            dlg.grid()->setCurrentIndex(dlg.model()->index(r, 0));
            dlg.selectButton()->click();
        }
    });
    driver.start(10);
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());  // the run opens it itself
    MessageLog messages(false);  // the run's last question: log the picks? No.
    OccasionLabelRun(9);
    driver.stop();
    Installed<LabelRunDialogs>::install(nullptr);
    LabSel = previous;

    EXPECT_EQ(counts, QStringList({"0", "1", "2", "3"}));
    const int r5 = dlg.model()->row(5).recNo, r9 = dlg.model()->row(9).recNo;
    EXPECT_EQ(SelectionList, QVector<int>({r5, r5, r9}));
    EXPECT_EQ(LabelCount, 3);
    const QString name5 = (dlg.model()->row(5).first.trimmed() + " " + dlg.model()->row(5).last).trimmed();
    int fives = 0;
    for (const auto& c : out.textOuts())
        if (c.text == name5) ++fives;
    EXPECT_EQ(fives, 2);
    EXPECT_EQ(out.jobsEnded(), 1);
    EXPECT_EQ(AddrBookTable, nullptr);
    EXPECT_EQ(messages.texts(), QStringList({QString("Mark these 2 recipients as sent a card for Selected %1?")  // one picked twice
                                                 .arg(QDate::currentDate().year())}));
}
