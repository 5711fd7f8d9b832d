// The admin tool's reminders command: the arguments it refuses, the report on standard output,
// and a data directory it cannot read.
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

#include "AdminReminders.h"
#include "ReminderBook.h"

namespace {

class AdminReminderTest : public ::testing::Test {
protected:
    ReminderBook book;
};

}  // namespace

TEST_F(AdminReminderTest, AdminCommandRefusesBadArgumentsAndWritesTheReport) {
    book.add(ReminderBook::sample());
    const QString dir = book.path();
    EXPECT_EQ(AdminReminders({dir}), 2) << "occasion missing";
    EXPECT_EQ(AdminReminders({dir, "--occasion", "9"}), 2);
    EXPECT_EQ(AdminReminders({dir, "--occasion", "x"}), 2);
    EXPECT_EQ(AdminReminders({dir, "--occasion", "8", "--from", "2026-03-01"}), 2);
    EXPECT_EQ(AdminReminders({dir, "--occasion", "8", "--from", "2026-03-31", "--to", "2026-03-01"}), 2);
    EXPECT_EQ(AdminReminders({dir, "--occasion", "8", "--from", "2026-02-30", "--to", "2026-03-01"}), 2);
    EXPECT_EQ(AdminReminders({dir, "--occasion", "7", "--from", "2026-03-01", "--to", "2026-03-02"}), 2);
    EXPECT_EQ(AdminReminders({dir + "/missing", "--occasion", "7"}), 2);

    // The report itself goes to standard output: catch it in a file.
    QTemporaryDir out;
    const QByteArray file = (out.path() + "/report.txt").toLocal8Bit();
    fflush(stdout);
    FILE* saved = fdopen(dup(fileno(stdout)), "w");
    ASSERT_NE(freopen(file.constData(), "w", stdout), nullptr);
    const int rc = AdminReminders({dir, "--occasion", "7"});
    fflush(stdout);
    dup2(fileno(saved), fileno(stdout));
    fclose(saved);
    EXPECT_EQ(rc, 0);
    QFile f(QString::fromLocal8Bit(file));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              "\tChristmas / Chanukah Reminders\n\n\t Adams \n\tAmy Baker \n\tZed baker \n");
    EXPECT_EQ(LibHandle, &book.library()) << "the command puts the caller's library back";
}

// A data directory whose index is missing: the command says which file, exits 1, and leaves the
// caller's library handle as it was.
TEST_F(AdminReminderTest, AdminCommandWithMissingIndexFailsCleanly) {
    ASSERT_TRUE(QFile::remove(book.path() + "/Address.ntx"));
    xbase::Library* before = LibHandle;
    EXPECT_EQ(AdminReminders({book.path(), "--occasion", "1"}), 1);
    EXPECT_EQ(LibHandle, before);
}
