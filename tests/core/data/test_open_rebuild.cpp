// Opening the tables (and what happens when they cannot be opened), the presence test and the
// index rebuild.
#include <QFileInfo>
#include <gtest/gtest.h>

#include "TestData.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

class DataDirTest : public ::testing::Test {
protected:
    TestDataDir data{20};
    ScopedLibrary lib{data.path()};

    // Surnames in index order, read through the data routines.
    QStringList namesInOrder() {
        QStringList l;
        EXPECT_TRUE(OpenAddrBook().ok());
        while (LastStatus == 0) {
            LoadAddrRec();
            l << AddressRec.Last + AddressRec.First;
            LastStatus = AddrBookTable->skip();
        }
        EXPECT_TRUE(CloseTable(AddrBookTable).ok());
        return l;
    }
    QStringList stocksInOrder() {
        QStringList l;
        EXPECT_TRUE(OpenLabels().ok());
        while (LastStatus == 0) {
            LoadLabelRec();
            l << LabelRec.Name.trimmed();
            LastStatus = LabelsTable->skip();
        }
        EXPECT_TRUE(CloseTable(LabelsTable).ok());
        return l;
    }
};

// --- open failures ----------------------------------------------------------------------------

// A table that cannot be opened is reported with the file's name and no handle; nothing is shown
// and the records are untouched. The window edge turns the report into the fatal ending.
TEST_F(DataDirTest, OpenFailuresAreReportedNamingTheFile) {
    struct Case {
        const char* remove;    // file removed first (or null)
        const char* garble;    // file overwritten with text first (or null)
        DataStatus (*open)();
        xbase::Table** handle;
        QStringList names;     // acceptable file names in the report
    };
    const std::vector<Case> cases = {
        {"Mrby1.dbf", nullptr, &OpenSettings, &SettingsTable, {"Mrby1.DBF"}},
        {nullptr, "Mrby1.dbf", &OpenSettings, &SettingsTable, {"Mrby1.DBF"}},
        {"importf.dbf", nullptr, &OpenImportLayout, &ImportTable, {"importf.dbf"}},
        {"LABELS.dbf", nullptr, &OpenLabels, &LabelsTable, {"LABELS.DBF"}},
        // Either the table with its group cannot open, or the tag is missing: both are named.
        {"Address.ntx", nullptr, &OpenAddrBook, &AddrBookTable, {"AddrBook.DBF", "Address.Ntx"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remove ? c.remove : c.garble);
        TestDataDir fresh{3};
        ScopedLibrary freshLib{fresh.path()};
        if (c.remove) { ASSERT_TRUE(fresh.remove(QString::fromLatin1(c.remove))); }
        if (c.garble) {
            QFile f(fresh.filePath(QString::fromLatin1(c.garble)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("this is not a table");
        }
        SettingsRec.FontSize = 77;
        const DataStatus s = c.open();
        EXPECT_FALSE(s);
        EXPECT_TRUE(c.names.contains(s.file)) << s.toString().toStdString();
        EXPECT_EQ(*c.handle, nullptr);
        EXPECT_NE(LastStatus, 0);
        EXPECT_EQ(SettingsRec.FontSize, 77);   // records untouched
        EXPECT_TRUE(LibHandle->autoOpen());    // the library is back in its normal state
        EXPECT_FALSE(LibHandle->exitTest());   // told once, by the report, not again later
    }
}

TEST_F(DataDirTest, OpenRoutinesPositionOnTheFirstRow) {
    ASSERT_TRUE(OpenSettings());
    EXPECT_EQ(LastStatus, 0);
    EXPECT_EQ(SettingsTable->selectedTag(), nullptr);
    EXPECT_TRUE(CloseTable(SettingsTable).ok());
    ASSERT_TRUE(OpenLabels());
    EXPECT_EQ(LastStatus, 0);
    ASSERT_NE(LabelsTable->selectedTag(), nullptr);
    EXPECT_EQ(QString::fromStdString(LabelsTable->selectedTag()->name()).toLower(),
              QStringLiteral("labels"));
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
}

// --- presence test --------------------------------------------------------------------------

TEST(DataFilesPresentTest, NeedsBothTablesInTheWorkingDirectoryAnyCase) {
    TestDataDir empty(TestDataDir::Empty);
    ScopedCurrentDir cwd(empty.path());
    EXPECT_FALSE(DataFilesPresent());

    QFile(empty.filePath(QStringLiteral("ADDRBOOK.DBF"))).open(QIODevice::WriteOnly);
    EXPECT_FALSE(DataFilesPresent());
    QFile(empty.filePath(QStringLiteral("labels.dbf"))).open(QIODevice::WriteOnly);
    EXPECT_TRUE(DataFilesPresent());
    ASSERT_TRUE(empty.remove(QStringLiteral("AddrBook.dbf")));
    EXPECT_FALSE(DataFilesPresent());
    EXPECT_EQ(empty.files(), QStringList{QStringLiteral("labels.dbf")});  // nothing created
}

// --- rebuild --------------------------------------------------------------------------------

TEST_F(DataDirTest, AllIndexFilesMissingAreRebuiltInTheSameOrder) {
    const QStringList names = namesInOrder();
    const QStringList stocks = stocksInOrder();
    ASSERT_EQ(names.size(), 20);
    ASSERT_EQ(stocks.size(), 6);
    for (const char* f : {"Address.ntx", "AddrBook.cgp", "Labels.ntx", "LABELS.cgp"})
        ASSERT_TRUE(data.remove(QString::fromLatin1(f))) << f;

    EXPECT_TRUE(RebuildIndexes(true).ok());
    for (const char* f : {"Address.ntx", "AddrBook.cgp", "Labels.ntx", "LABELS.cgp"})
        EXPECT_TRUE(data.exists(QString::fromLatin1(f))) << f;
    EXPECT_TRUE(LibHandle->openTables().empty());
    EXPECT_TRUE(LibHandle->autoOpen());
    EXPECT_TRUE(LibHandle->safety());
    EXPECT_EQ(LibHandle->accessMode(), xbase::AccessMode::Shared);

    EXPECT_EQ(namesInOrder(), names);
    EXPECT_EQ(stocksInOrder(), stocks);
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.toUpper() < b.toUpper(); });
    EXPECT_EQ(names, sorted);
}

TEST_F(DataDirTest, EachTableIsDecidedOnItsOwn) {
    const QByteArray labelsNtx = data.read(QStringLiteral("Labels.ntx"));
    const QByteArray labelsCgp = data.read(QStringLiteral("LABELS.cgp"));
    ASSERT_FALSE(labelsNtx.isEmpty());
    // Spoil the address index so a rebuild shows; remove only its group file.
    QFile(data.filePath(QStringLiteral("Address.ntx"))).resize(0);
    ASSERT_TRUE(data.remove(QStringLiteral("AddrBook.cgp")));

    EXPECT_TRUE(RebuildIndexes(true).ok());
    EXPECT_TRUE(data.exists(QStringLiteral("AddrBook.cgp")));
    EXPECT_GT(QFileInfo(data.filePath(QStringLiteral("Address.ntx"))).size(), 0);
    EXPECT_EQ(data.read(QStringLiteral("Labels.ntx")), labelsNtx);
    EXPECT_EQ(data.read(QStringLiteral("LABELS.cgp")), labelsCgp);
    EXPECT_EQ(namesInOrder().size(), 20);

    // Only the label index missing: the address files stay as they are.
    const QByteArray addressNtx = data.read(QStringLiteral("Address.ntx"));
    ASSERT_TRUE(data.remove(QStringLiteral("Labels.ntx")));
    EXPECT_TRUE(RebuildIndexes(true).ok());
    EXPECT_TRUE(data.exists(QStringLiteral("Labels.ntx")));
    EXPECT_EQ(data.read(QStringLiteral("Address.ntx")), addressNtx);
    EXPECT_EQ(stocksInOrder().size(), 6);
}

TEST_F(DataDirTest, FullRebuildRewritesBothIndexes) {
    const QStringList names = namesInOrder();
    // Spoil both index files while leaving them present: a full rebuild must not trust them.
    for (const char* f : {"Address.ntx", "Labels.ntx"}) {
        QFile file(data.filePath(QString::fromLatin1(f)));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(1024);
        file.write(QByteArray(512, '\xff'));
    }
    EXPECT_TRUE(RebuildIndexes(false).ok());
    EXPECT_EQ(namesInOrder(), names);
    EXPECT_EQ(stocksInOrder().size(), 6);
}

TEST(RebuildEmpty, EmptyTablesGetEmptyValidIndexes) {
    TestDataDir data;
    ScopedLibrary lib(data.path());
    // Empty the label stocks too.
    ASSERT_TRUE(OpenLabels());
    while (LastStatus == 0) {
        LabelsTable->markDeleted();
        LastStatus = LabelsTable->skip();
    }
    ASSERT_EQ(LabelsTable->pack(), 0);
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
    for (const char* f : {"Address.ntx", "AddrBook.cgp", "Labels.ntx", "LABELS.cgp"})
        ASSERT_TRUE(data.remove(QString::fromLatin1(f)));

    EXPECT_TRUE(RebuildIndexes(true).ok());
    ASSERT_TRUE(OpenAddrBook());
    EXPECT_NE(LastStatus, 0);
    EXPECT_NE(AddrBookTable->seek("A"), 0);
    ASSERT_EQ(AddrBookTable->appendBlank(), 0);  // and the index takes a first key
    AddressRec = TAddressRecord();
    AddressRec.Last = QStringLiteral("First");
    StoreAddrRec();
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
    ASSERT_TRUE(OpenAddrBook());
    EXPECT_EQ(LastStatus, 0);
    EXPECT_EQ(AddrBookTable->seek("FIRST"), 0);
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
    ASSERT_TRUE(OpenLabels());
    EXPECT_NE(LastStatus, 0);
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
}

TEST_F(DataDirTest, RebuildFailuresAreReportedNamingTheFile) {
    {
        // Another handle keeps the address book open: the exclusive rebuild cannot have it.
        xbase::Library other;
        other.setDirectory(data.dir());
        ASSERT_NE(other.open("AddrBook"), nullptr);
        const DataStatus s = RebuildIndexes(false);
        EXPECT_FALSE(s);
        EXPECT_TRUE(s.toString().contains(QStringLiteral("AddrBook"), Qt::CaseInsensitive)) << s.toString().toStdString();
        other.closeAll();
        LibHandle->errorCode();
    }
    ASSERT_TRUE(data.remove(QStringLiteral("AddrBook.dbf")));
    ASSERT_TRUE(data.remove(QStringLiteral("Address.ntx")));
    const DataStatus s = RebuildIndexes(true);
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.toString().contains(QStringLiteral("AddrBook"), Qt::CaseInsensitive)) << s.toString().toStdString();
}

}  // namespace
