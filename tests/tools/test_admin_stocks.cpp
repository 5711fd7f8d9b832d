// A catalogue sheet added by the admin tool prints its labels inside the sheet's labels, a
// run that ends part-way through a sheet leaves the next free label for the next run, and the
// labels command's preview pages show the run as the preview window does.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "TestData.h"
#include "core/labels/SheetMemory.h"
#include "core/labels/StockCatalogue.h"
#include "xbase/Library.h"

namespace {

const QString kAdminBin = QStringLiteral(MERROWBY_BINARY_DIR "/tools/merrowby-admin");

int admin(const QStringList& args, QByteArray* out = nullptr) {
    QProcess p;
    p.start(kAdminBin, args);
    p.waitForFinished(120000);
    if (out) *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

struct Word {
    double x0, y0, x1, y1;
    QString text;
};

std::vector<Word> words(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-bbox", pdf, "-"});
    p.waitForFinished(60000);
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression re(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::vector<Word> w;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        w.push_back({m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                     m.captured(4).toDouble(), m.captured(5)});
    }
    return w;
}

QString pdfInfo(const QString& pdf) {
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

// A Letter sheet on the default paper and an A4 sheet on the paper asked for: the first label's
// text lands inside the first label and the last one's inside the last label of the first page.
TEST(AdminStocks, CatalogueSheetPrintsInsideItsLabels) {
    if (!QFile::exists(kAdminBin)) GTEST_SKIP() << "merrowby-admin not built";
    if (!QDir(DefaultCatalogueDir()).exists()) GTEST_SKIP() << "glabels-data is not installed";
    const StockCatalogue cat = ReadStockCatalogue();
    struct Case {
        const char* part;
        QStringList paper;  // the option, or none
        double width, height;  // the PDF's page in points
    };
    for (const Case& c : {Case{"Avery 5160", {}, 612, 792}, Case{"Avery L7160", {"--paper", "A4"}, 595.276, 841.89}}) {
        const char* part = c.part;
        SCOPED_TRACE(part);
        const CatalogueEntry* e = FindCatalogueEntry(cat, part);
        ASSERT_TRUE(e);
        EXPECT_NEAR(e->pageWidth, c.width, 0.5);
        TestDataDir data(0);
        std::vector<std::vector<std::string>> rows;
        for (int i = 1; i <= e->perSheet; ++i)
            rows.push_back(NamedRow("First", QStringLiteral("Zz%1").arg(i, 3, 10, QChar('0')).toStdString(), {1}));
        AppendAddressRows(data.dir(), rows);
        ASSERT_EQ(admin({"stocks", data.path(), "--add", part}), 0);
        const QString pdf = data.path() + "/out.pdf";
        ASSERT_EQ(admin(QStringList{"labels", data.path(), "--occasion", "1", "--stock", e->stock.Name, "--pdf", pdf} + c.paper), 0);
        EXPECT_TRUE(pdfInfo(pdf).contains(QStringLiteral("Page size:       %1 x %2 pts").arg(qRound(c.width)).arg(qRound(c.height))))
            << pdfInfo(pdf).toStdString();
        const std::vector<Word> w = words(pdf);
        const TLabelRecord& s = e->stock;
        const int rowsN = e->perSheet / s.nAcross;
        // Label n (0-based) of the sheet: its rectangle in points, give or take the dot (300 dpi)
        // that the layout's truncation to whole dots may move it.
        auto inside = [&](const QString& surname, int n) {
            const double dot = 72.0 / 300;
            const double x = s.LeftM + (n % s.nAcross) * (s.Width + s.HGap);
            const double y = s.TopM + (n / s.nAcross) * (s.Height + s.VGap);
            for (const Word& word : w)
                if (word.text == surname)
                    return word.x0 >= x - dot && word.x1 <= x + s.Width && word.y0 >= y - dot && word.y1 <= y + s.Height;
            return false;
        };
        EXPECT_TRUE(inside("Zz001,", 0) || inside("Zz001", 0));
        const QString last = QStringLiteral("Zz%1").arg(e->perSheet, 3, 10, QChar('0'));
        EXPECT_TRUE(inside(last, e->perSheet - 1) || inside(last + ",", e->perSheet - 1)) << rowsN;

        // A full sheet leaves nothing to remember.
        xbase::Library lib;
        lib.setDirectory(data.dir());
        std::optional<SheetPosition> next;
        ASSERT_TRUE(SheetRecall(lib, e->stock.Name, &next).ok());
        EXPECT_FALSE(next);
    }
}

// Every catalogue sheet with more labels across than a stock holds is refused, and LABELS keeps
// no cut copy of it.
TEST(AdminStocks, SheetTooWideForAStockIsRefusedNotStoredCut) {
    if (!QFile::exists(kAdminBin)) GTEST_SKIP() << "merrowby-admin not built";
    if (!QDir(DefaultCatalogueDir()).exists()) GTEST_SKIP() << "glabels-data is not installed";
    const StockCatalogue cat = ReadStockCatalogue();
    TestDataDir data(0);
    const QByteArray before = data.read("LABELS.dbf");
    ASSERT_FALSE(before.isEmpty());
    int wide = 0;
    for (const CatalogueEntry& e : cat.entries) {
        if (e.stock.nAcross < 10) continue;
        ++wide;
        const QString part = e.maker + ' ' + e.part;
        EXPECT_EQ(admin({"stocks", data.path(), "--add", part}), 1) << part.toStdString();
    }
    EXPECT_GE(wide, 8);
    EXPECT_EQ(data.read("LABELS.dbf"), before);
}

TEST(AdminStocks, SevenLabelsLeaveColumnTwoRowThree) {
    if (!QFile::exists(kAdminBin)) GTEST_SKIP() << "merrowby-admin not built";
    if (!QDir(DefaultCatalogueDir()).exists()) GTEST_SKIP() << "glabels-data is not installed";
    TestDataDir data(0);
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= 7; ++i) rows.push_back(NamedRow("First", "Last" + std::to_string(i), {1}));
    AppendAddressRows(data.dir(), rows);
    ASSERT_EQ(admin({"stocks", data.path(), "--add", "Avery 5160"}), 0);
    const QString name = "Avery 5160 (30 per sheet)";
    ASSERT_EQ(admin({"labels", data.path(), "--occasion", "1", "--stock", name, "--pdf", data.path() + "/a.pdf"}), 0);
    xbase::Library lib;
    lib.setDirectory(data.dir());
    std::optional<SheetPosition> next;
    ASSERT_TRUE(SheetRecall(lib, name, &next).ok());
    ASSERT_TRUE(next);
    EXPECT_EQ(next->column, 2);
    EXPECT_EQ(next->row, 3);
    EXPECT_EQ(next->date, QDate::currentDate());
}

// The preview pages of a 65-label run on the 30-per-sheet Letter stock: one PNG a page at 100
// pixels per inch, only the pages asked for, the first label's text drawn dark inside it and the
// unused last label of the last page blank; the preview uses no labels of the sheet.
TEST(AdminLabels, PreviewPngDrawsThePagesAskedFor) {
    if (!QFile::exists(kAdminBin)) GTEST_SKIP() << "merrowby-admin not built";
    TestDataDir data(0);
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= 65; ++i) rows.push_back(NamedRow("First", "Last" + std::to_string(i), {1}));
    AppendAddressRows(data.dir(), rows);
    const QString stock = "US Letter 1 x 2-5/8 in, 30 per sheet";
    const QStringList run = {"labels", data.path(), "--occasion", "1", "--stock", stock, "--preview-png"};
    QByteArray out;
    ASSERT_EQ(admin(run + QStringList{data.path() + "/all"}, &out), 0) << out.toStdString();
    EXPECT_EQ(QDir(data.path() + "/all").entryList(QDir::Files), (QStringList{"page-1.png", "page-2.png", "page-3.png"}));
    ASSERT_EQ(admin(run + QStringList{data.path() + "/some", "--pages", "2-9"}), 0);
    EXPECT_EQ(QDir(data.path() + "/some").entryList(QDir::Files), (QStringList{"page-2.png", "page-3.png"}));
    EXPECT_EQ(admin(run + QStringList{data.path() + "/none", "--pages", "4-5"}), 1);

    // Dark pixels inside label n (0-based) of the stock, 3 across, at 100 pixels per inch.
    const auto dark = [](const QImage& page, int n) {
        const QRectF pt(13.5 + (n % 3) * 198, 36 + (n / 3) * 72, 189, 72);
        const QRect px = QRectF(pt.topLeft() * 100 / 72, pt.size() * 100 / 72).toRect().adjusted(2, 2, -2, -2);
        int count = 0;
        for (int y = px.top(); y <= px.bottom(); ++y)
            for (int x = px.left(); x <= px.right(); ++x) count += qGray(page.pixel(x, y)) < 128;
        return count;
    };
    const QImage first(data.path() + "/all/page-1.png"), last(data.path() + "/all/page-3.png");
    ASSERT_EQ(first.size(), QSize(850, 1100));
    ASSERT_EQ(last.size(), QSize(850, 1100));
    EXPECT_GT(dark(first, 0), 20);
    EXPECT_GT(dark(last, 4), 20);  // label 65
    EXPECT_EQ(dark(last, 5), 0);
    EXPECT_EQ(dark(last, 29), 0);

    xbase::Library lib;
    lib.setDirectory(data.dir());
    std::optional<SheetPosition> next;
    ASSERT_TRUE(SheetRecall(lib, stock, &next).ok());
    EXPECT_FALSE(next);
}
