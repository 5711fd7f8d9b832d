// The calibration dialog and the preview window over a label run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTest>

#include "MessageLog.h"
#include "RecordingPrinter.h"
#include "TestData.h"
#include "TestStocks.h"
#include "core/labels/LabelGen.h"
#include "core/print/CalibrationSheet.h"
#include "core/print/Printers.h"
#include "gui/labels/Calibrate.h"
#include "gui/labels/LabelPreview.h"
#include "xbase/Library.h"

namespace {

QFont TenPoint() {
    QFont f(QStringLiteral("Sans"));
    f.setPointSize(10);
    return f;
}

AddressBlock Block(int i) { return {QString("Name %1").arg(i), QString("%1 Main St").arg(i), "Dover", "", ""}; }

}  // namespace

// The window shows one page at a time, page 1 before it has counted the run's pages, stops at
// the ends, and prints only when asked.
TEST(LabelPreview, WindowPagesThroughTheRun) {
    RecordingPrinter metrics;
    int printed = 0;
    long long placed = 0;  // labels the last showing laid out
    TLabelPreview w(
        [&](Printer& p, const BookProgress&) {
            LabelSheet sheet(p, ThirtyPerSheet(), TenPoint(), 3, 4);
            bool pending = false;
            for (int i = 0; i < 75 && !sheet.failed(); ++i) pending = sheet.PlaceLabel(Block(i));
            (void)sheet.finish(pending);
            placed = sheet.labelCount();
        },
        metrics, ThirtyPerSheet(), [&] { ++printed; });
    EXPECT_EQ(w.page(), 1);
    EXPECT_LT(placed, 75);  // page 1 is up before the run is counted
    EXPECT_EQ(w.pageCount(), 3);
    EXPECT_EQ(w.pageModel().texts.size(), 19u * 3);  // sheet labels 12 to 30, three lines each
    EXPECT_EQ(placed, 75);
    w.showPage(2);  // the run is counted: laid out only as far as page 2
    EXPECT_EQ(w.pageCount(), 3);
    EXPECT_LT(placed, 75);
    EXPECT_EQ(w.pageModel().texts.front().text, QStringLiteral("Name 19"));
    w.showPage(9);
    EXPECT_EQ(w.page(), 3);
    EXPECT_EQ(w.pageModel().texts.front().text, QStringLiteral("Name 49"));
    if (const char* shot = std::getenv("MERROWBY_PREVIEW_SHOT")) {
        w.showPage(1);
        w.show();
        w.grab().save(QString::fromLocal8Bit(shot));
    }
    w.reject();
    EXPECT_EQ(printed, 0);
}

// The dialog prints the sheet uncorrected, works a 1 mm shift typed in inches out as the
// correction that undoes it, refuses a misreading, and stores only what it worked out.
TEST(PrinterCalibration, DialogPrintsWorksOutAndStores) {
    TestDataDir dir;
    ScopedLibrary scoped(dir.path());
    MessageLog messages;
    int sheets = 0;
    TCalibrate dialog(QStringLiteral("Office"), [&]() -> std::unique_ptr<Printer> {
        struct Counting : RecordingPrinter {
            explicit Counting(int* n) : n_(n) {}
            ~Counting() override { *n_ += jobsEnded(); }
            int* n_;
        };
        return std::make_unique<Counting>(&sheets);
    });
    QTest::mouseClick(dialog.printButton(), Qt::LeftButton);
    EXPECT_EQ(sheets, 1);
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('|').toStdString();

    dialog.unitBox()->setCurrentIndex(1);  // inches
    const auto& marks = CalibrationCrosshairs();
    const double inch[4] = {marks[0].nominal.x(), marks[0].nominal.y(), marks[1].nominal.x(), marks[1].nominal.y()};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(dialog.measured(i)->value(), inch[i] / 72.0, 0.001) << i;  // offered as printed
        dialog.measured(i)->setValue((inch[i] + 72 / 25.4) / 72.0);            // 1 mm right and lower
    }
    QTest::mouseClick(dialog.workOutButton(), Qt::LeftButton);
    EXPECT_NEAR(dialog.workedOut().dxPt, -72 / 25.4, 0.05);
    EXPECT_NEAR(dialog.workedOut().dyPt, -72 / 25.4, 0.05);
    EXPECT_NEAR(dialog.workedOut().scale, 1.0, 0.0005);
    ASSERT_TRUE(dialog.storeButton()->isEnabled());
    QTest::mouseClick(dialog.storeButton(), Qt::LeftButton);
    PrinterCalibration stored;
    bool found = false;
    ASSERT_TRUE(LoadPrinterCalibration(scoped.lib(), "Office", &stored, &found).ok());
    ASSERT_TRUE(found);
    EXPECT_NEAR(stored.dxPt, dialog.workedOut().dxPt, 0.001);  // kept to a thousandth of a point

    dialog.measured(2)->setValue(dialog.measured(2)->value() + 1);  // an inch out: a misreading
    QTest::mouseClick(dialog.workOutButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.storeButton()->isEnabled());
}

// Distances typed and worked out or stored by their mnemonics while the focus is still in the
// last box count as they are shown: Alt+W works out the typed values, and Alt+S after a box
// changed stores the correction of the new values, not the one worked out before.
TEST(PrinterCalibration, MnemonicsTakeTheBoxesAsTyped) {
    TestDataDir dir;
    ScopedLibrary scoped(dir.path());
    MessageLog messages;
    TCalibrate dialog(QStringLiteral("Office"), [] { return std::unique_ptr<Printer>(std::make_unique<RecordingPrinter>()); });
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const auto type = [&](int box, const char* mm) {
        QDoubleSpinBox* f = dialog.measured(box);
        f->setFocus(Qt::TabFocusReason);
        f->selectAll();
        QTest::keyClicks(f, QString::fromLatin1(mm));
    };
    const auto press = [&](Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
        QTest::qWait(300);  // a mnemonic clicks its button a moment later
    };
    ASSERT_EQ(dialog.unitBox()->currentIndex(), 0);  // millimetres
    const char* typed[4] = {"27", "26.5", "187", "256.5"};  // 2 mm right and 1.5 mm lower
    for (int i = 0; i < 4; ++i) type(i, typed[i]);
    press(Qt::Key_W);
    EXPECT_NEAR(dialog.workedOut().dxPt, -2 * 72 / 25.4, 0.01);
    EXPECT_NEAR(dialog.workedOut().dyPt, -1.5 * 72 / 25.4, 0.01);
    EXPECT_NEAR(dialog.workedOut().scale, 1.0, 1e-9);

    type(3, "257.5");  // B a millimetre lower still: no longer the same shift
    press(Qt::Key_S);
    PrinterCalibration stored;
    bool found = false;
    ASSERT_TRUE(LoadPrinterCalibration(scoped.lib(), "Office", &stored, &found).ok());
    ASSERT_TRUE(found);
    EXPECT_LT(stored.scale, 0.999);  // A to B measures longer than printed: shrink
    EXPECT_NEAR(stored.scale, dialog.workedOut().scale, 1e-5);
    EXPECT_NEAR(stored.dyPt, dialog.workedOut().dyPt, 1e-3);
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('|').toStdString();
}
