// A catalogue sheet added by the admin tool prints its labels inside the sheet's labels, and a
// run that ends part-way through a sheet leaves the next free label for the next run.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "TestData.h"
#include "labels/SheetMemory.h"
#include "labels/StockCatalogue.h"
#include "xbase/library.h"

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

}  // namespace

TEST(AdminStocks, CatalogueSheetPrintsInsideItsLabels) {
    if (!QFile::exists(kAdminBin)) GTEST_SKIP() << "merrowby-admin not built";
    if (!QDir(DefaultCatalogueDir()).exists()) GTEST_SKIP() << "glabels-data is not installed";
    const StockCatalogue cat = ReadStockCatalogue();
    for (const char* part : {"Avery 5160"}) {
        SCOPED_TRACE(part);
        const CatalogueEntry* e = FindCatalogueEntry(cat, part);
        ASSERT_TRUE(e);
        TestDataDir data(0);
        std::vector<std::vector<std::string>> rows;
        for (int i = 1; i <= e->perSheet; ++i)
            rows.push_back(NamedRow("First", QStringLiteral("Zz%1").arg(i, 3, 10, QChar('0')).toStdString(), {1}));
        AppendAddressRows(data.dir(), rows);
        ASSERT_EQ(admin({"stocks", data.path(), "--add", part}), 0);
        const QString pdf = data.path() + "/out.pdf";
        ASSERT_EQ(admin({"labels", data.path(), "--occasion", "1", "--stock", e->stock.Name, "--pdf", pdf}), 0);
        const std::vector<Word> w = words(pdf);
        const TLabelRecord& s = e->stock;
        const int rowsN = e->perSheet / s.nAcross;
        // Label n (0-based) of the sheet: its rectangle in points.
        auto inside = [&](const QString& surname, int n) {
            const double x = s.LeftM + (n % s.nAcross) * (s.Width + s.HGap);
            const double y = s.TopM + (n / s.nAcross) * (s.Height + s.VGap);
            for (const Word& word : w)
                if (word.text == surname)
                    return word.x0 >= x && word.x1 <= x + s.Width && word.y0 >= y && word.y1 <= y + s.Height;
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
