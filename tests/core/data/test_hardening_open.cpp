// Broken table files met by the program: the open routine shows the fatal open message naming
// the file and ends, whatever the damage (fixtures from tests/fixtures/broken).
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "TestData.h"
#include "core/data/Records.h"

namespace {

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
        FatalExitCatcher fatal;
        MessageLog msgs;
        EXPECT_THROW(EndUnlessOpened(OpenAddrBook()), FatalExit);
        ASSERT_EQ(msgs.texts().size(), 1);
        EXPECT_TRUE(msgs.texts().front().startsWith(QStringLiteral("Unable to open file AddrBook"),
                                                     Qt::CaseInsensitive))
            << msgs.texts().front().toStdString();
        EXPECT_TRUE(msgs.texts().front().endsWith(QStringLiteral("Program will now terminate.")));
    }
}

}  // namespace
