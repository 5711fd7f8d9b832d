// Label layout on a recording printer: geometry in dots, rows per page, the label cursor and
// page breaks, the font fit, refused stocks, and the five-line address block.
#include <gtest/gtest.h>

#include <QSet>

#include "TestStocks.h"
#include "core/data/Globals.h"
#include "core/labels/LabelGen.h"
#include "RecordingPrinter.h"

namespace {

using Op = RecordingPrinter::Op;

AddressBlock Block(const QString& name) { return {name, "1 Main St", "Dover,  DE  19901", "", ""}; }

QFont TenPoint() {
    QFont f(QStringLiteral("Sans"));
    f.setPointSize(10);
    return f;
}

// The non-empty text calls: (page, x, y, text).
struct Drawn {
    int page, x, y;
    QString text;
};
std::vector<Drawn> Texts(const RecordingPrinter& p) {
    std::vector<Drawn> out;
    for (const auto& c : p.textOuts())
        if (!c.text.isEmpty()) out.push_back({c.page, c.x, c.y, c.text});
    return out;
}
const Drawn* Find(const std::vector<Drawn>& d, const QString& text) {
    for (const Drawn& x : d)
        if (x.text == text) return &x;
    return nullptr;
}

}  // namespace

TEST(LabelGeometry, WorkedExampleToTheDot) {
    RecordingPrinter printer;  // 300 dpi, offset 50/50, page 2550 x 3300, printable 2450 x 3200
    const LabelGeometry g = ComputeLabelGeometry(ThirtyPerSheet(), printer);
    EXPECT_EQ(g.top, 100);
    EXPECT_EQ(g.left, 6);
    EXPECT_EQ(g.bottom, 100);
    EXPECT_EQ(g.width, 787);
    EXPECT_EQ(g.height, 300);
    EXPECT_EQ(g.hGap, 37);
    EXPECT_EQ(g.vGap, 0);
    EXPECT_EQ(g.rowsPerPage, 10);

    // A whole sheet and one label more: columns at 6, 830, 1654; rows 300 apart from 100.
    LabelSheet sheet(printer, ThirtyPerSheet(), TenPoint(), 1, 1);
    bool pending = false;
    for (int i = 0; i < 31; ++i) pending = sheet.PlaceLabel(Block(QString("Name %1").arg(i)));
    ASSERT_TRUE(sheet.finish(pending));
    const auto drawn = Texts(printer);
    const int line = sheet.lineHeight();
    ASSERT_GT(line, 0);
    for (int i = 0; i < 30; ++i) {
        const Drawn* d = Find(drawn, QString("Name %1").arg(i));
        ASSERT_NE(d, nullptr) << i;
        EXPECT_EQ(d->page, 1);
        EXPECT_EQ(d->x, QList<int>({6, 830, 1654})[i % 3]) << i;
        EXPECT_EQ(d->y, (i / 3) * 300 + 100) << i;
    }
    // Lines of one label go down by the height of "A" in the fitted font.
    int streetsOnFirstRow = 0;
    for (const Drawn& d : drawn)
        if (d.text == "1 Main St" && d.page == 1 && d.y == 100 + line) ++streetsOnFirstRow;
    EXPECT_EQ(streetsOnFirstRow, 3);
    const Drawn* last = Find(drawn, "Name 30");
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->page, 2);
    EXPECT_EQ(last->x, 6);
    EXPECT_EQ(last->y, 100);
    EXPECT_EQ(printer.jobsBegun(), 1);
    EXPECT_EQ(printer.jobsEnded(), 1);
}

TEST(LabelGeometry, RowsPerPageCountsTheLastRowWithoutItsGap) {
    EXPECT_EQ(RowsPerPage(3000, 300, 0), 10);
    EXPECT_EQ(RowsPerPage(3000, 280, 10), 10);  // 10 x 290 + 280 = 3180 > 3000
    EXPECT_EQ(RowsPerPage(3000, 270, 30), 10);  // 10 x 300 + 270 = 3270 > 3000
    EXPECT_EQ(RowsPerPage(3270, 270, 30), 11);  // ... now it fits
    EXPECT_EQ(RowsPerPage(299, 300, 0), 0);
    EXPECT_EQ(RowsPerPage(3000, 0, 0), 0);       // no pitch: nothing, not a division by zero
    EXPECT_EQ(RowsPerPage(3000, 100, -100), 0);
}

TEST(LabelGeometry, PointsTruncateAndMarginsReferToThePrintableArea) {
    EXPECT_EQ(PointsToDots(189, 300), 787);
    EXPECT_EQ(PointsToDots(13.5, 300), 56);
    EXPECT_EQ(PointsToDots(0.2, 300), 0);
    EXPECT_EQ(PointsToDots(72, 600), 600);

    // Margins smaller than the printer's offset become 0; the strip at the foot is
    // physical - offset - printable = 3300 - 50 - 3200 = 50 dots.
    TLabelRecord s = ThirtyPerSheet();
    s.TopM = 6;      // 25 dots < 50
    s.LeftM = 6;     // 25 dots < 50
    s.BottomM = 24;  // 100 dots - 50
    RecordingPrinter printer;
    const LabelGeometry g = ComputeLabelGeometry(s, printer);
    EXPECT_EQ(g.top, 0);
    EXPECT_EQ(g.left, 0);
    EXPECT_EQ(g.bottom, 50);
    EXPECT_EQ(g.rowsPerPage, RowsPerPage(3200 - 0 - 50, 300, 0));

    // Unequal resolutions: across converts with dpiX, down with dpiY.
    PrinterGeometry pg;
    pg.dpiX = 600;
    pg.dpiY = 300;
    pg.offset = {0, 0};
    RecordingPrinter wide(pg);
    const LabelGeometry w = ComputeLabelGeometry(ThirtyPerSheet(), wide);
    EXPECT_EQ(w.width, 1575);
    EXPECT_EQ(w.left, 112);
    EXPECT_EQ(w.height, 300);
    EXPECT_EQ(w.top, 150);
}

TEST(LabelSheet, StartColumnAndRowPositions) {
    {   // Start column 3 of 3: the first label completes the row at once.
        RecordingPrinter printer;
        LabelSheet sheet(printer, ThirtyPerSheet(), TenPoint(), 3, 1);
        EXPECT_FALSE(sheet.PlaceLabel(Block("Only")));
        ASSERT_TRUE(sheet.finish(false));
        const auto drawn = Texts(printer);
        for (const Drawn& d : drawn) EXPECT_EQ(d.x, 1654) << d.text.toStdString();
        ASSERT_NE(Find(drawn, "Only"), nullptr);
        EXPECT_EQ(Find(drawn, "Only")->y, 100);
    }
    {   // A start row past the page: the first page comes out empty, the row goes to row 1 of 2.
        RecordingPrinter printer;
        LabelSheet sheet(printer, ThirtyPerSheet(), TenPoint(), 1, 14);
        EXPECT_TRUE(sheet.PlaceLabel(Block("Late")));
        ASSERT_TRUE(sheet.finish(true));
        const auto drawn = Texts(printer);
        ASSERT_FALSE(drawn.empty());
        for (const Drawn& d : drawn) EXPECT_EQ(d.page, 2);
        EXPECT_EQ(Find(drawn, "Late")->y, 100);
        EXPECT_EQ(printer.pages(), 2);
    }
    {   // A start column beyond the stock (another stock chosen after the limit was applied)
        // is brought back to the last column; 0 or less to the first.
        RecordingPrinter printer;
        LabelSheet high(printer, ThirtyPerSheet(), TenPoint(), 7, 1);
        EXPECT_EQ(high.curColumn(), 3);
        LabelSheet low(printer, ThirtyPerSheet(), TenPoint(), 0, 0);
        EXPECT_EQ(low.curColumn(), 1);
        EXPECT_EQ(low.curRow(), 1);
    }
}

TEST(LabelSheet, SevenLabelsOnThreeAcross) {
    RecordingPrinter printer;
    LabelSheet sheet(printer, ThirtyPerSheet(), TenPoint(), 1, 1);
    std::vector<bool> results;
    for (int i = 1; i <= 7; ++i) results.push_back(sheet.PlaceLabel(Block(QString("L%1").arg(i))));
    EXPECT_EQ(results, (std::vector<bool>{true, true, false, true, true, false, true}));
    // Rows 1 and 2 are out already; the seventh waits in the buffer.
    EXPECT_EQ(Find(Texts(printer), "L7"), nullptr);
    EXPECT_NE(Find(Texts(printer), "L6"), nullptr);
    ASSERT_TRUE(sheet.finish(results.back()));
    const auto drawn = Texts(printer);  // Find points into it: keep it alive
    const Drawn* seventh = Find(drawn, "L7");
    ASSERT_NE(seventh, nullptr);
    EXPECT_EQ(seventh->x, 6);
    EXPECT_EQ(seventh->y, 700);
    EXPECT_EQ(printer.jobsEnded(), 1);
    // Nothing of the earlier rows is drawn twice.
    QSet<QString> names;
    for (const Drawn& d : Texts(printer))
        if (d.text.startsWith('L')) {
            EXPECT_FALSE(names.contains(d.text)) << d.text.toStdString();
            names.insert(d.text);
        }
    EXPECT_EQ(names.size(), 7);
}

TEST(LabelSheet, ContinuousStockHasNoPageBreaksOfItsOwn) {
    // 252 x 72 points: 1050 x 300 dots, pitch 300. A large bottom margin (850 dots) gives
    // sheet stock 7 rows a page; continuous stock ignores that and goes on down the page.
    TLabelRecord s;
    s.Name = "pin feed";
    s.TopM = 36;
    s.BottomM = 216;
    s.Width = 252;
    s.Height = 72;
    s.nAcross = 1;
    s.Continuous = true;
    RecordingPrinter printer;
    EXPECT_EQ(ComputeLabelGeometry(s, printer).rowsPerPage, 7);
    LabelSheet sheet(printer, s, TenPoint(), 1, 1);
    for (int i = 1; i <= 10; ++i) EXPECT_FALSE(sheet.PlaceLabel(Block(QString("C%1").arg(i))));
    ASSERT_TRUE(sheet.finish(false));
    const auto drawn = Texts(printer);
    for (int i = 1; i <= 10; ++i) {
        const Drawn* d = Find(drawn, QString("C%1").arg(i));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->page, 1) << i;
        EXPECT_EQ(d->y, 100 + (i - 1) * 300) << i;
    }
    EXPECT_EQ(printer.pages(), 1);

    // The same stock as sheets breaks after row 7.
    s.Continuous = false;
    RecordingPrinter sheets;
    LabelSheet paged(sheets, s, TenPoint(), 1, 1);
    for (int i = 1; i <= 10; ++i) paged.PlaceLabel(Block(QString("C%1").arg(i)));
    paged.finish(false);
    EXPECT_EQ(Find(Texts(sheets), "C8")->page, 2);
    EXPECT_EQ(Find(Texts(sheets), "C8")->y, 100);

    // Past the device's page a continuous row carries on at the top of the next page instead
    // of being cut off.
    s.Continuous = true;
    RecordingPrinter longRun;
    LabelSheet more(longRun, s, TenPoint(), 1, 1);
    for (int i = 1; i <= 12; ++i) more.PlaceLabel(Block(QString("C%1").arg(i)));
    more.finish(false);
    EXPECT_EQ(Find(Texts(longRun), "C11")->page, 2);  // row 11 would end at 3400 > 3200
    EXPECT_EQ(Find(Texts(longRun), "C11")->y, 100);
}

TEST(LabelSheet, FontIsFittedOnACopyAndStopsAtOnePoint) {
    // Model metrics: "Abcde" is 5 x 0.5 em wide, "A" 1.2 em high; one em = points x 300 / 72.
    // Width 787: 5 x int(10.42 x pt) <= 787 up to 15 pt. Height 300: 5 x int(5 x pt) <= 300 up
    // to 12 pt.
    QFont big(QStringLiteral("Sans"));
    big.setPointSize(20);
    RecordingPrinter printer;
    const QFont fitted = FitLabelFont(printer, big, 787, 300);
    EXPECT_EQ(fitted.pointSize(), 12);
    EXPECT_EQ(printer.font().pointSize(), 12);
    EXPECT_EQ(big.pointSize(), 20);

    // A font that fits is left as it is.
    EXPECT_EQ(FitLabelFont(printer, TenPoint(), 787, 300).pointSize(), 10);

    // A label no font fits: the fit ends at 1 point instead of going on for ever.
    EXPECT_EQ(FitLabelFont(printer, big, 1, 1).pointSize(), 1);

    // The whole job uses the fitted size, and LabelFont-like input stays untouched.
    LabelSheet sheet(printer, ThirtyPerSheet(), big, 1, 1);
    sheet.PlaceLabel(Block("F"));
    sheet.finish(true);
    EXPECT_EQ(sheet.fittedFont().pointSize(), 12);
    for (const auto& c : printer.textOuts()) EXPECT_EQ(c.pointSize, 12);
}

TEST(LabelSheet, StocksThatCannotBeLaidOutAreRefused) {
    RecordingPrinter printer;
    EXPECT_EQ(CheckStock(ThirtyPerSheet(), printer), QString());

    TLabelRecord s = ThirtyPerSheet();
    s.Width = 0;
    EXPECT_TRUE(CheckStock(s, printer).contains("width")) << CheckStock(s, printer).toStdString();
    s = ThirtyPerSheet();
    s.Height = 0.1;  // 0 dots at 300 dpi
    EXPECT_TRUE(CheckStock(s, printer).contains("height"));
    s = ThirtyPerSheet();
    s.nAcross = 0;
    EXPECT_TRUE(CheckStock(s, printer).contains("no labels across"));
    s = ThirtyPerSheet();
    s.Height = 800;  // taller than the page
    EXPECT_TRUE(CheckStock(s, printer).contains("not one row"));
    s.Continuous = true;
    EXPECT_TRUE(CheckStock(s, printer).contains("not one row"));
    EXPECT_TRUE(CheckStock(s, printer).startsWith("The label stock \"" + s.Name + "\""));

    // A refused stock never starts a job.
    s = ThirtyPerSheet();
    s.Width = -5;
    LabelRun run(printer, s, TenPoint(), 1, 1);
    EXPECT_FALSE(run.refusal().isEmpty());
    EXPECT_EQ(run.printRecords({1, 2}).reason, run.refusal());
    EXPECT_EQ(printer.jobsBegun(), 0);
}

TEST(LabelSheet, PrinterThatCannotStartIsReportedNotIgnored) {
    RecordingPrinter printer;
    printer.setFailBegin(true);
    LabelSheet sheet(printer, ThirtyPerSheet(), TenPoint(), 1, 1);
    for (int i = 0; i < 4; ++i) sheet.PlaceLabel(Block("X"));
    EXPECT_FALSE(sheet.finish(true));
    EXPECT_TRUE(sheet.failed());
    EXPECT_TRUE(printer.textOuts().empty());
    EXPECT_EQ(printer.jobsEnded(), 0);
}

TEST(AddressBlock, LinesCloseUpAndTheZipCodeFindsItsLine) {
    TAddressRecord r;
    // The worked example: no second street line, no country.
    r.First = "Ann                 ";
    r.Last = "Lee                 ";
    r.Street = "12 Oak St";
    r.City = "Dover";
    r.State = "DE";
    r.Zip = "19901     ";
    EXPECT_EQ(BuildAddressBlock(r),
              (AddressBlock{"Ann Lee", "12 Oak St", "Dover,  DE  19901", "", ""}));

    // Neither street line: name, city-and-state, country with nothing between; the zip code
    // follows the country, however long the line.
    r.Street.clear();
    r.Country = "United Kingdom of Great Britain";
    EXPECT_EQ(BuildAddressBlock(r),
              (AddressBlock{"Ann Lee", "Dover,  DE", "United Kingdom of Great Britain  19901", "",
                            ""}));

    // A city-and-state line of 23 characters or more with no country: the zip code goes on the
    // next line behind 20 blanks.
    r.Country.clear();
    r.Street = "1 Elm";
    r.City = "Saint Petersburgvill";  // 20 characters: the line is 20 + 3 + 2 = 25
    r.State = "FL";
    r.Zip = "33701";
    EXPECT_EQ(BuildAddressBlock(r), (AddressBlock{"Ann Lee", "1 Elm", "Saint Petersburgvill,  FL",
                                                  QString(20, ' ') + "33701", ""}));
    r.City = "Saint Petersburgvi";  // 18 + 3 + 2 = 23: just long enough to push it down
    EXPECT_EQ(BuildAddressBlock(r)[3], QString(20, ' ') + "33701");
    r.City = "Saint Petersbur";  // 15 + 3 + 2 = 20: short enough to keep the zip code
    EXPECT_EQ(BuildAddressBlock(r)[2], "Saint Petersbur,  FL  33701");

    // No first name leaves the last name alone; blanks and control characters are trimmed.
    r.First = "  \t";
    r.Last = "\x01Lee  ";
    r.Street = " 5 Pine Rd\r\n";
    r.Street2 = "Apt 4";
    EXPECT_EQ(BuildAddressBlock(r)[0], "Lee");
    EXPECT_EQ(BuildAddressBlock(r)[1], "5 Pine Rd");
    EXPECT_EQ(BuildAddressBlock(r)[2], "Apt 4");

    // An empty record: line 1 stays empty in place; the comma line moves up under it.
    const AddressBlock empty = BuildAddressBlock(TAddressRecord{});
    EXPECT_EQ(empty, (AddressBlock{"", ",    ", "", "", ""}));
}
