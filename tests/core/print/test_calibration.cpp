// Printer calibration on a label run, and the preview's page model against the printed run.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

#include "TestData.h"
#include "TestStocks.h"
#include "core/print/Printers.h"
#include "xbase/Library.h"
#include "core/labels/LabelGen.h"
#include "core/labels/PageCapture.h"
#include "core/print/CalibrationSheet.h"
#include "core/print/Calibration.h"
#include "core/print/CalibrationSheet.h"
#include "RecordingPrinter.h"

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
    for (Printer* p : std::initializer_list<Printer*>{&plain, &none, &moved}) p->drawLine(100, 200, 300, 400);

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
        EXPECT_EQ(std::tie(a.x2, a.y2), std::tie(c.x2, c.y2));
        if (a.op == RecordingPrinter::Op::TextOut || a.op == RecordingPrinter::Op::DrawLine) {
            EXPECT_EQ(b.x - a.x, 15) << i;
            EXPECT_EQ(b.y - a.y, -10) << i;
        }
        if (a.op == RecordingPrinter::Op::DrawLine) {
            EXPECT_EQ(b.x2 - a.x2, 15);
            EXPECT_EQ(b.y2 - a.y2, -10);
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

// The sheet's crosshairs cross where CalibrationCrosshairs says (points from the paper's corner),
// on Letter and A4 printers with margins, also when handed a corrected printer; nothing is drawn
// outside the printable area; a printable area too small for a crosshair prints nothing.
TEST(CalibrationSheet, CrosshairsCrossAtTheirNominalPlaces) {
    struct Case { const char* what; PrinterGeometry g; PrinterCalibration cal; };
    const Case cases[] = {
        {"Letter", {300, 300, {50, 40}, {2550, 3300}, {2450, 3150}}, {}},
        {"A4 corrected", {300, 300, {71, 59}, {2480, 3508}, {2338, 3331}}, {4.5, -3, 1.01}},
        {"A4 600 dpi", {600, 600, {100, 100}, {4960, 7016}, {4760, 6816}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingPrinter raw(c.g);
        CalibratedPrinter corrected(raw, c.cal);
        const RunStatus printed = PrintCalibrationSheet(corrected);
        ASSERT_TRUE(printed) << printed.reason.toStdString();
        EXPECT_EQ(raw.pages(), 1);
        EXPECT_EQ(raw.jobsEnded(), 1);
        const double dpmm = c.g.dpiX / 25.4;
        std::vector<RecordingPrinter::Call> across, down;  // the crosshairs' arms: 10 to 30 mm long
        for (const auto& l : raw.lines()) {
            EXPECT_TRUE(l.x >= 0 && l.x2 >= 0 && l.y >= 0 && l.y2 >= 0 && l.x < c.g.printable.width() &&
                        l.x2 < c.g.printable.width() && l.y < c.g.printable.height() && l.y2 < c.g.printable.height())
                << l.x << "," << l.y << " " << l.x2 << "," << l.y2;
            const int length = std::abs(l.x2 - l.x) + std::abs(l.y2 - l.y);
            if (length < 10 * dpmm || length > 30 * dpmm) continue;
            (l.y == l.y2 ? across : down).push_back(l);
        }
        std::vector<QPoint> crossings;
        for (const auto& h : across)
            for (const auto& v : down)
                if (std::min(h.x, h.x2) <= v.x && v.x <= std::max(h.x, h.x2) && std::min(v.y, v.y2) <= h.y &&
                    h.y <= std::max(v.y, v.y2))
                    crossings.emplace_back(v.x + c.g.offset.x(), h.y + c.g.offset.y());  // from the paper's corner
        const auto& marks = CalibrationCrosshairs();
        ASSERT_EQ(crossings.size(), marks.size());
        for (size_t i = 0; i < marks.size(); ++i) {
            EXPECT_NEAR(crossings[i].x(), marks[i].nominal.x() * c.g.dpiX / 72, 1) << i;
            EXPECT_NEAR(crossings[i].y(), marks[i].nominal.y() * c.g.dpiY / 72, 1) << i;
        }
        bool told = false;
        for (const auto& t : raw.textOuts()) told = told || t.text.contains("Calibrate Printer");
        EXPECT_TRUE(told);
    }
    RecordingPrinter small({300, 300, {50, 50}, {2550, 3300}, {2450, 2000}});
    const RunStatus printed = PrintCalibrationSheet(small);
    EXPECT_FALSE(printed);
    EXPECT_TRUE(printed.reason.contains('B')) << printed.reason.toStdString();
    EXPECT_EQ(small.jobsBegun(), 0);
}

// The four distances measured on the sheet give the correction: none when they are the nominal
// ones, -1 mm (-2.835 pt) when the printer put everything 1 mm right and low; and a printer that
// also scales, with its printable corner off the paper's, has everything land back on its place
// once corrected.
TEST(CalibrationSheet, MeasuredDistancesGiveTheCorrection) {
    const QPointF a = CalibrationCrosshairs()[0].nominal, b = CalibrationCrosshairs()[1].nominal;
    const QPointF corner(12, 18);
    PrinterCalibration cal{9, 9, 9};
    ASSERT_TRUE(SolveSheetCalibration(a, b, corner, &cal));
    EXPECT_TRUE(cal.isIdentity()) << cal.dxPt << " " << cal.dyPt << " " << cal.scale;
    const QPointF mm(MeasureToPoints(1, MeasureUnit::Millimetre), MeasureToPoints(1, MeasureUnit::Millimetre));
    ASSERT_TRUE(SolveSheetCalibration(a + mm, b + mm, corner, &cal));
    EXPECT_NEAR(cal.dxPt, -2.835, 0.001);
    EXPECT_NEAR(cal.dyPt, -2.835, 0.001);
    EXPECT_NEAR(cal.scale, 1, 1e-12);
    EXPECT_DOUBLE_EQ(MeasureToPoints(0.5, MeasureUnit::Inch), 36);

    // Printed (points from the paper's corner) = k × intended + e, the printable corner at `corner`.
    const double k = 1.004;
    const QPointF e(1.5, -2);
    const auto print = [&](QPointF p) { return k * p + e; };
    ASSERT_TRUE(SolveSheetCalibration(print(a), print(b), corner, &cal));
    for (QPointF p : {a, b, QPointF(300, 400)}) {
        // CalibratedPrinter scales positions from the printable corner, then adds the offset.
        const QPointF sent = (p - corner) * cal.scale + QPointF(cal.dxPt, cal.dyPt);
        const QPointF landed = print(sent + corner);
        EXPECT_NEAR(landed.x(), p.x(), 1e-9);
        EXPECT_NEAR(landed.y(), p.y(), 1e-9);
    }
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
    // What a column cannot hold would read back as 0: it is refused, the stored row kept.
    EXPECT_FALSE(StorePrinterCalibration(lib, "Den", {1, -1000, 1}).ok());
    EXPECT_FALSE(StorePrinterCalibration(lib, "Den", {std::nan(""), 0, 1}).ok());
    ASSERT_TRUE(LoadPrinterCalibration(lib, "Den", &cal, &found).ok());
    EXPECT_DOUBLE_EQ(cal.dyPt, 2);
}
