// Printer calibration on a label run, and the preview's page model against the printed run.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "TestData.h"
#include "TestStocks.h"
#include "data/Printers.h"
#include "xbase/library.h"
#include "labels/LabelGen.h"
#include "labels/LabelPreview.h"
#include "labels/PreviewU.h"
#include "print/Calibration.h"
#include "print/RecordingPrinter.h"

namespace {

using Key = std::tuple<int, QString>;  // page, text

QFont TenPoint() {
    QFont f(QStringLiteral("Sans"));
    f.setPointSize(10);
    return f;
}

AddressBlock Block(int i) { return {QString("Name %1").arg(i), QString("%1 Main St").arg(i), "Dover", "", ""}; }

// Runs `n` labels of the worked stock onto `printer` from the given start.
void RunLabels(Printer& printer, int n, int col = 1, int row = 1) {
    LabelSheet sheet(printer, ThirtyPerSheet(), TenPoint(), col, row);
    bool pending = false;
    for (int i = 0; i < n; ++i) pending = sheet.PlaceLabel(Block(i));
    ASSERT_TRUE(sheet.finish(pending));
}

std::map<Key, QPoint> Drawn(const RecordingPrinter& p) {
    std::map<Key, QPoint> out;
    for (const auto& c : p.textOuts())
        if (!c.text.isEmpty()) out[{c.page, c.text}] = {c.x, c.y};
    return out;
}

}  // namespace

// A correction of +3.6 / -2.4 pt at 300 dpi moves every text by exactly 15 / -10 dots; the
// calls, pages and fonts are otherwise those of the plain run, and no correction changes nothing.
TEST(PrinterCalibration, OffsetMovesEveryTextAndNothingElse) {
    RecordingPrinter plain, identity, shifted;
    RunLabels(plain, 65);
    CalibratedPrinter none(identity, {});
    RunLabels(none, 65);
    CalibratedPrinter moved(shifted, {3.6, -2.4, 1.0});
    RunLabels(moved, 65);

    ASSERT_EQ(plain.calls().size(), shifted.calls().size());
    ASSERT_EQ(plain.calls().size(), identity.calls().size());
    EXPECT_EQ(plain.pages(), 3);
    for (size_t i = 0; i < plain.calls().size(); ++i) {
        const auto &a = plain.calls()[i], &b = shifted.calls()[i], &c = identity.calls()[i];
        EXPECT_EQ(a.op, b.op);
        EXPECT_EQ(a.page, b.page);
        EXPECT_EQ(a.text, b.text);
        EXPECT_EQ(a.pointSize, b.pointSize);
        EXPECT_EQ(std::tie(a.op, a.page, a.x, a.y, a.text), std::tie(c.op, c.page, c.x, c.y, c.text));
        if (a.op == RecordingPrinter::Op::TextOut) {
            EXPECT_EQ(b.x - a.x, 15) << i;
            EXPECT_EQ(b.y - a.y, -10) << i;
        }
    }
}

TEST(PrinterCalibration, ScaleIsAboutThePrintableCorner) {
    EXPECT_EQ(CalibratedPosition(1000, 1.002, 0, 300), 1002);
    EXPECT_EQ(CalibratedPosition(1000, 0.998, 3.6, 300), 998 + 15);
    EXPECT_EQ(CalibratedPosition(0, 1.5, -2.4, 300), -10);
    EXPECT_EQ(CalibrationDots(-0.12, 600), -1);
}

// What the sheet measured gives a correction that, applied, lands the crosshairs where meant.
TEST(PrinterCalibration, SolveUndoesThePrintersError) {
    struct Case { double k, ex, ey; };
    for (const Case c : {Case{1.0, 2.0, -1.5}, Case{1.004, -0.7, 3.2}, Case{0.995, 0, 0}}) {
        const QPointF a(72, 72), b(540, 720);
        const auto print = [&](QPointF p) { return QPointF(c.k * p.x() + c.ex, c.k * p.y() + c.ey); };
        PrinterCalibration cal;
        ASSERT_TRUE(SolveCalibration(a, b, print(a), print(b), &cal));
        for (QPointF p : {a, b, QPointF(300, 400)}) {
            const QPointF sent(p.x() * cal.scale + cal.dxPt, p.y() * cal.scale + cal.dyPt);
            EXPECT_NEAR(print(sent).x(), p.x(), 1e-9);
            EXPECT_NEAR(print(sent).y(), p.y(), 1e-9);
        }
    }
    PrinterCalibration cal;
    EXPECT_FALSE(SolveCalibration({72, 72}, {72, 72}, {70, 70}, {80, 80}, &cal));
    EXPECT_FALSE(SolveCalibration({72, 72}, {540, 72}, {70, 70}, {70, 70}, &cal));
}

// Every page the preview lays out holds exactly the texts the printed run puts on it, at the
// same positions, for a run over several pages that starts at column 3, row 4.
TEST(LabelPreview, PagesMatchThePrintedRun) {
    RecordingPrinter printed;
    RunLabels(printed, 75, 3, 4);
    const auto expected = Drawn(printed);
    ASSERT_EQ(printed.pages(), 3);  // sheet labels 12 to 86

    std::map<Key, QPoint> seen;
    RecordingPrinter metrics;
    for (int page = 1; page <= printed.pages(); ++page) {
        PageCapture capture(metrics, page);
        RunLabels(capture, 75, 3, 4);
        EXPECT_EQ(capture.pages(), printed.pages());
        for (const PreviewText& t : capture.texts()) seen[{page, t.text}] = {t.x, t.y};
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(LabelOutlines(ThirtyPerSheet(), metrics).size(), 30u);
    EXPECT_EQ(LabelOutlines(ThirtyPerSheet(), metrics)[29], QRect(1654, 2800, 787, 300));
}

// A stored correction comes back for its printer only, a second store replaces the first, and
// a data set that never stored one has none.
TEST(PrinterCalibration, StoredPerPrinterName) {
    TestDataDir dir;
    ScopedLibrary scoped(dir.path());
    xbase::Library& lib = scoped.lib();
    PrinterCalibration cal;
    bool found = true;
    ASSERT_TRUE(LoadPrinterCalibration(lib, "Office", &cal, &found).ok());
    EXPECT_FALSE(found);
    ASSERT_TRUE(StorePrinterCalibration(lib, "Office", {1.25, -0.5, 1.002}).ok());
    ASSERT_TRUE(StorePrinterCalibration(lib, "Den", {2, 2, 1}).ok());
    ASSERT_TRUE(StorePrinterCalibration(lib, "Office", {3.6, -2.4, 1}).ok());
    ASSERT_TRUE(LoadPrinterCalibration(lib, "Office", &cal, &found).ok());
    ASSERT_TRUE(found);
    EXPECT_DOUBLE_EQ(cal.dxPt, 3.6);
    EXPECT_DOUBLE_EQ(cal.dyPt, -2.4);
    EXPECT_DOUBLE_EQ(cal.scale, 1.0);
    ASSERT_TRUE(LoadPrinterCalibration(lib, "Den", &cal, &found).ok());
    EXPECT_DOUBLE_EQ(cal.dxPt, 2);
    ASSERT_TRUE(LoadPrinterCalibration(lib, "Attic", &cal, &found).ok());
    EXPECT_FALSE(found);
}

// The window shows one page at a time, counts the run's pages, stops at the ends, and prints
// only when asked.
TEST(LabelPreview, WindowPagesThroughTheRun) {
    RecordingPrinter metrics;
    int printed = 0;
    TLabelPreview w([](Printer& p) { RunLabels(p, 75, 3, 4); }, metrics, ThirtyPerSheet(), [&] { ++printed; });
    EXPECT_EQ(w.page(), 1);
    EXPECT_EQ(w.pageCount(), 3);
    EXPECT_EQ(w.pageModel().texts.size(), 19u * 3);  // sheet labels 12 to 30, three lines each
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
