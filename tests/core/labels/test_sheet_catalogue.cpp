#include <gtest/gtest.h>

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>

#include "core/labels/SheetMemory.h"
#include "core/labels/StockCatalogue.h"
#include "xbase/Library.h"

TEST(SheetMemory, NextFreeLabelAfterRun) {
    struct Case {
        int start_col, start_row;
        long long labels;
        bool some;
        int col, row;
    } cases[] = {
        {1, 1, 7, true, 2, 3},    // 7 labels, 3 across: next is column 2, row 3
        {1, 1, 30, false, 0, 0},  // fills the 3 x 10 sheet exactly
        {3, 4, 1, true, 1, 5},    // wraps to the next row
        {2, 10, 2, false, 0, 0},  // ends on the sheet's last label
        {1, 1, 31, true, 2, 1},   // onto a second sheet
        {9, 1, 1, true, 1, 2},    // a start past the last column is the last column
    };
    for (const Case& c : cases) {
        const auto p = NextFreeLabel(3, 10, c.start_col, c.start_row, c.labels);
        ASSERT_EQ(p.has_value(), c.some) << c.start_col << "," << c.start_row << " +" << c.labels;
        if (p) {
            EXPECT_EQ(p->column, c.col);
            EXPECT_EQ(p->row, c.row);
        }
    }
}

TEST(SheetMemory, RemembersPerStockAndForgets) {
    QTemporaryDir dir;
    xbase::Library lib;
    lib.setDirectory(QDir(dir.path()).absolutePath().toStdString());
    std::optional<SheetPosition> got;
    ASSERT_TRUE(SheetRecall(lib, "Avery 5160", &got).ok());
    EXPECT_FALSE(got);  // no table yet

    SheetPosition p{2, 7, QDate(2026, 12, 8)};
    ASSERT_TRUE(SheetRemember(lib, "Avery 5160", p).ok());
    ASSERT_TRUE(SheetRemember(lib, "Other", SheetPosition{1, 2, {}}).ok());
    ASSERT_TRUE(SheetRecall(lib, "  avery 5160 ", &got).ok());
    ASSERT_TRUE(got);
    EXPECT_EQ(got->column, 2);
    EXPECT_EQ(got->row, 7);
    EXPECT_EQ(got->date, QDate(2026, 12, 8));
    EXPECT_TRUE(SheetMemoryText(*got).startsWith("Last sheet of this stock: next free label column 2, row 7 ("));

    ASSERT_TRUE(SheetRemember(lib, "Avery 5160", std::nullopt).ok());
    ASSERT_TRUE(SheetRecall(lib, "Avery 5160", &got).ok());
    EXPECT_FALSE(got);
    ASSERT_TRUE(SheetRecall(lib, "Other", &got).ok());
    ASSERT_TRUE(got);
    EXPECT_EQ(got->row, 2);
}

TEST(StockCatalogue, Lengths) {
    const struct {
        const char* text;
        double points;
    } cases[] = {{"23", 23}, {"2.625in", 189}, {"25.4mm", 72}, {"1cm", 72 / 2.54}, {"2pc", 24}, {"3pt", 3}};
    for (const auto& c : cases) {
        double v = -1;
        ASSERT_TRUE(CatalogueLength(c.text, &v)) << c.text;
        EXPECT_NEAR(v, c.points, 1e-9) << c.text;
    }
    double v = 0;
    EXPECT_FALSE(CatalogueLength("wide", &v));
    EXPECT_FALSE(CatalogueLength("", &v));
}

TEST(StockCatalogue, PackageTemplatesConvert) {
    if (!QDir(DefaultCatalogueDir()).exists()) GTEST_SKIP() << "glabels-data is not installed";
    const StockCatalogue cat = ReadStockCatalogue();
    EXPECT_TRUE(cat.problems.isEmpty()) << cat.problems.join('\n').toStdString();
    EXPECT_GT(cat.entries.size(), 1000u);
    EXPECT_GT(cat.skipped, 50);

    const CatalogueEntry* a = FindCatalogueEntry(cat, "avery 5160");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->stock.Name, "Avery 5160 (30 per sheet)");
    EXPECT_EQ(a->perSheet, 30);
    EXPECT_EQ(a->stock.nAcross, 3);
    EXPECT_DOUBLE_EQ(a->stock.Width, 189);
    EXPECT_DOUBLE_EQ(a->stock.Height, 72);
    EXPECT_DOUBLE_EQ(a->stock.LeftM, 11.25);
    EXPECT_DOUBLE_EQ(a->stock.TopM, 36);
    EXPECT_DOUBLE_EQ(a->stock.HGap, 11.25);
    EXPECT_DOUBLE_EQ(a->stock.VGap, 0);
    EXPECT_DOUBLE_EQ(a->stock.RightM, 11.25);
    EXPECT_DOUBLE_EQ(a->stock.BottomM, 36);
    EXPECT_EQ(SheetRows(a->stock, a->pageHeight), 10);

    // An equivalent takes its original's geometry; A4 from the paper sizes.
    const CatalogueEntry* l = FindCatalogueEntry(cat, "Avery L7160");
    ASSERT_TRUE(l);
    EXPECT_EQ(l->perSheet, 21);
    EXPECT_NEAR(l->pageHeight, 297 * 72 / 25.4, 1e-6);
    EXPECT_EQ(SheetRows(l->stock, l->pageHeight), 7);

    EXPECT_FALSE(SearchCatalogue(cat, "herma").empty());
    EXPECT_TRUE(SearchCatalogue(cat, "no such label maker").empty());
}

TEST(StockCatalogue, MissingDirectoryIsAProblemNotACrash) {
    QTemporaryDir dir;
    const StockCatalogue cat = ReadStockCatalogue(dir.path() + "/none");
    EXPECT_TRUE(cat.entries.empty());
    EXPECT_EQ(cat.problems.size(), 1);
}
