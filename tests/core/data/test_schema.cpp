// The data set a fresh installation starts with.
#include <QFile>
#include <cmath>
#include <gtest/gtest.h>

#include "TestData.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

TEST(DataSet, HoldsTheFourTablesWithTheirRows) {
    TestDataDir data;
    EXPECT_EQ(data.files(),
              (QStringList{"AddrBook.cgp", "AddrBook.dbf", "Address.ntx", "LABELS.cgp",
                           "LABELS.dbf", "Labels.ntx", "Mrby1.dbf", "importf.dbf"}));
    xbase::Library lib;
    lib.setDirectory(data.dir());
    for (const TableSchema& s : DataTables()) {
        lib.setAutoOpen(!s.group.empty());
        xbase::Table* t = lib.open(s.baseName);
        ASSERT_NE(t, nullptr) << s.baseName;
        ASSERT_EQ(t->fieldCount(), s.fields.size());
        for (size_t i = 0; i < s.fields.size(); ++i) {
            EXPECT_EQ(t->fieldAt(i)->name(), s.fields[i].name);
            EXPECT_EQ(t->fieldAt(i)->type(), s.fields[i].type) << s.fields[i].name;
            EXPECT_EQ(t->fieldAt(i)->length(), s.fields[i].length) << s.fields[i].name;
        }
        const uint32_t expectedRows = s.baseName == "AddrBook" ? 0u
                                      : s.baseName == "LABELS"  ? uint32_t(StandardStocks().size())
                                                                : 1u;
        EXPECT_EQ(t->recCount(), expectedRows) << s.baseName;
        if (!s.group.empty()) {
            ASSERT_NE(t->tag(s.tag), nullptr) << s.tag;
            EXPECT_EQ(t->tag(s.tag)->expr().text(), s.key);
        } else {
            EXPECT_EQ(t->tagCount(), 0u);
        }
    }
    lib.closeAll();
}

// Every stock's margins, labels and gaps fill its sheet exactly (to the stored precision).
TEST(DataSet, StandardStocksFitTheirSheets) {
    for (const StandardStock& s : StandardStocks()) {
        const double across = s.leftM + s.nAcross * s.width + (s.nAcross - 1) * s.hGap + s.rightM;
        const bool a4 = QString::fromLatin1(s.name).startsWith(QStringLiteral("A4"));
        if (s.continuous) {
            EXPECT_EQ(s.nAcross, 1);
            EXPECT_NEAR(s.height + s.vGap, 72.0, 1e-9) << s.name;  // one label per inch of roll
            continue;
        }
        EXPECT_NEAR(across, a4 ? 595.276 : 612.0, 0.003) << s.name;
        const int rows = static_cast<int>(std::lround(
            (((a4 ? 841.89 : 792.0) - s.topM - s.bottomM) + s.vGap) / (s.height + s.vGap)));
        const double down = s.topM + rows * s.height + (rows - 1) * s.vGap + s.bottomM;
        EXPECT_NEAR(down, a4 ? 841.89 : 792.0, 0.003) << s.name;
        EXPECT_LE(std::strlen(s.name), 40u);
    }
}

TEST(DataSet, StocksReadBackThroughTheDataRoutines) {
    TestDataDir data;
    ScopedLibrary lib(data.path());
    ASSERT_TRUE(OpenLabels());
    int n = 0;
    while (LastStatus == 0) {
        LoadLabelRec();
        bool found = false;
        for (const StandardStock& s : StandardStocks()) {
            if (LabelRec.Name.trimmed() != QString::fromLatin1(s.name)) continue;
            found = true;
            EXPECT_DOUBLE_EQ(LabelRec.TopM, s.topM);
            EXPECT_DOUBLE_EQ(LabelRec.Width, s.width);
            EXPECT_DOUBLE_EQ(LabelRec.Height, s.height);
            EXPECT_DOUBLE_EQ(LabelRec.HGap, s.hGap);
            EXPECT_EQ(LabelRec.nAcross, s.nAcross);
            EXPECT_EQ(LabelRec.Continuous, s.continuous);
        }
        EXPECT_TRUE(found) << LabelRec.Name.toStdString();
        ++n;
        LastStatus = LabelsTable->skip();
    }
    EXPECT_EQ(n, int(StandardStocks().size()));
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
}

TEST(DataSet, RefusesADirectoryThatHoldsDataFiles) {
    TestDataDir data;
    const QByteArray before = data.read(QStringLiteral("LABELS.dbf"));
    xbase::Status s = CreateDataSet(data.dir());
    EXPECT_EQ(s.kind, xbase::ErrorKind::Exists);

    // One stray index file in another letter case is enough, and nothing gets created.
    TestDataDir partial(TestDataDir::Empty);
    QFile f(partial.filePath(QStringLiteral("LABELS.NTX")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    s = CreateDataSet(partial.dir());
    EXPECT_EQ(s.kind, xbase::ErrorKind::Exists);
    EXPECT_EQ(partial.files(), QStringList{QStringLiteral("LABELS.NTX")});
    EXPECT_EQ(data.read(QStringLiteral("LABELS.dbf")), before);
}

TEST(DataSet, SyntheticNamesMatchTheSharedGenerator) {
    // First rows of `gen_addresses.py 2 --seed 1`.
    const auto rows = SyntheticRows(2, 1);
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].size(), 27u);
    const std::vector<std::string> first = {
        "Jessica", "Gardre", "6929 Maple Ave", "Apt 843", "Burlington", "MI", "28207", "USA",
        "jessica.gardre@example.com", "(949) 555-5913", "", "(369) 555-7794", "19630409",
        "19650924", "", "", "F", "F", "T", "T", "T", "F", "T", "F", "F", "T", "F"};
    EXPECT_EQ(rows[0], first);
    EXPECT_EQ(rows[1][1], "Berwelwel");
    EXPECT_EQ(rows[1][13], "20111007");
    EXPECT_EQ(rows[1][26], "T");
    TestDataDir data(50, 7);
    xbase::Library lib;
    lib.setDirectory(data.dir());
    xbase::Table* t = lib.open("AddrBook");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->recCount(), 50u);
    lib.closeAll();
}

}  // namespace
