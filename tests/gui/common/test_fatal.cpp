// The fatal endings at the window edge: a table that cannot be opened, or an index rebuild that
// fails, ends the program with the message the user knows, told through the windows' prompts;
// the ending itself closes the tables first.
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>

#include "MessageLog.h"
#include "TestData.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/common/Fatal.h"
#include "xbase/Library.h"

namespace {

const QString kTerminate = QStringLiteral("\r\nProgram will now terminate.");

TEST(FatalEnding, FailedOpenOrRebuildEndsTheProgramWithItsMessage) {
    {
        TestDataDir data;
        ScopedLibrary lib(data.path());
        MessageLog msgs;
        ASSERT_TRUE(data.remove(QStringLiteral("Mrby1.dbf")));
        EXPECT_THROW(EndUnlessOpened(OpenSettings()), FatalExit);
        EXPECT_EQ(msgs.texts(), QStringList{QStringLiteral("Unable to open file Mrby1.DBF") + kTerminate});
        EXPECT_EQ(msgs.entries().front().kind, MessageLog::Kind::Fatal);
    }
    TestDataDir data(3);
    ScopedLibrary lib(data.path());
    MessageLog msgs;
    ASSERT_TRUE(data.remove(QStringLiteral("AddrBook.dbf")));
    ASSERT_TRUE(data.remove(QStringLiteral("Address.ntx")));
    EXPECT_THROW(EndUnlessOk(RebuildIndexes(true)), FatalExit);
    ASSERT_EQ(msgs.texts().size(), 1);
    EXPECT_TRUE(msgs.texts().front().contains(QStringLiteral("AddrBook"), Qt::CaseInsensitive));
    EXPECT_TRUE(msgs.texts().front().endsWith(kTerminate));
}

// Broken table files met by the program: the open routine shows the fatal open message naming
// the file and ends, whatever the damage (fixtures from tests/fixtures/broken).
TEST(BrokenTableOpen, EveryBrokenAddressBookGivesTheFatalOpenMessage) {
    const QDir broken(QStringLiteral(MERROWBY_TEST_DATA "/broken"));
    const QStringList files = broken.entryList({QStringLiteral("*.dbf")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 10);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        TestDataDir data;
        const QString target = data.filePath(QStringLiteral("AddrBook.dbf"));
        ASSERT_TRUE(QFile::remove(target));
        ASSERT_TRUE(QFile::copy(broken.filePath(name), target));
        ScopedLibrary lib(data.path());
        MessageLog msgs;
        EXPECT_THROW(EndUnlessOpened(OpenAddrBook()), FatalExit);
        ASSERT_EQ(msgs.texts().size(), 1);
        EXPECT_TRUE(msgs.texts().front().startsWith(QStringLiteral("Unable to open file AddrBook"),
                                                     Qt::CaseInsensitive))
            << msgs.texts().front().toStdString();
        EXPECT_TRUE(msgs.texts().front().endsWith(QStringLiteral("Program will now terminate.")));
    }
}

// The real ending: pending changes reach the disk and the process ends with the code given,
// from inside a running application, without a crash.
TEST(FatalExitDeathTest, DefaultEndingClosesTablesFirst) {
    GTEST_FLAG_SET(death_test_style, "fast");  // the child must see this data directory
    TestDataDir data;
    EXPECT_EXIT(
        {
            LibHandle = new xbase::Library();
            LibHandle->setDirectory(data.dir());
            if (!OpenLabels()) std::_Exit(9);  // not the exit the test waits for
            LoadLabelRec();
            LabelRec.Name = QStringLiteral("0 written at the end");
            StoreLabelRec();
            ExitProgram(3);
        },
        ::testing::ExitedWithCode(3), "");
    ScopedLibrary lib(data.path());
    ASSERT_TRUE(OpenLabels());
    LoadLabelRec();
    EXPECT_EQ(LabelRec.Name.trimmed(), QStringLiteral("0 written at the end"));
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
}

}  // namespace
