// The admin tool's command line: the usage, unknown options refused by every command, the
// occasion and date-span checks that several commands share, the number options, the
// data-folder commands called in-process like the others, and a tool that runs without Qt's
// widgets and print support.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "AdminCommands.h"
#include "AdminProcess.h"
#include "TestData.h"

namespace {

class AdminArgsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(kAdmin)) GTEST_SKIP() << "merrowby-admin not built";
    }
};

}  // namespace

// Without arguments the tool prints every command's synopsis and exits 2; each of those commands
// refuses an option it does not know with exit 2, naming it and giving its own usage.
TEST_F(AdminArgsTest, EveryCommandRefusesAnUnknownOptionWithItsUsage) {
    const AdminRun usage = admin({});
    EXPECT_EQ(usage.code, 2);
    EXPECT_EQ(usage.err.toStdString(), AdminUsage());
    QStringList commands;
    for (const QString& line : usage.err.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("  merrowby-admin ")) && !commands.contains(line.section(' ', 3, 3)))
            commands << line.section(' ', 3, 3);
    EXPECT_GE(commands.size(), 13) << usage.err.toStdString();
    TestDataDir data;
    for (const QString& command : commands) {
        SCOPED_TRACE(command.toStdString());
        const AdminRun r = admin({command, data.path(), "--bogus"});
        EXPECT_EQ(r.code, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("merrowby-admin: " + command + ": unknown option --bogus\nusage: merrowby-admin " +
                                   command + " "))
            << r.err.toStdString();
        EXPECT_EQ(admin({command, data.path(), "-x"}).code, 2);
        EXPECT_EQ(admin({command}).code, 2);
    }
    EXPECT_EQ(admin({"no-such-command"}).err, usage.err);
}

// --occasion, --from and --to mean the same and are refused alike wherever they are taken.
TEST_F(AdminArgsTest, OccasionAndSpanAreCheckedAlikeByEveryCommand) {
    TestDataDir data;
    QTemporaryDir out;
    const QList<QStringList> commands = {
        {"reminders", data.path()},
        {"labels", data.path(), "--preview-png", out.filePath("png")},
        {"export", data.path(), "--format", "csv", out.filePath("book.csv")},
        {"cards", data.path(), "--mark-sent", "--year", "2026"},
    };
    const struct {
        QStringList given;
        const char* said;
    } cases[] = {
        {{"--occasion", "0"}, "--occasion needs a number from 1 to "},
        {{"--occasion", "x"}, "--occasion needs a number from 1 to "},
        {{"--occasion", "10"}, "--occasion needs a number from 1 to "},
        {{"--occasion"}, "--occasion needs a number from 1 to "},
        {{"--occasion", "8", "--from", "2026-01-01"}, "--from and --to go together"},
        {{"--occasion", "7", "--from", "2026-01-01", "--to", "2026-01-31"}, "--from and --to apply to occasion 8 only"},
        {{"--occasion", "8", "--from", "2026-02-30", "--to", "2026-03-31"}, "bad date 2026-02-30"},
        {{"--occasion", "8", "--from=2026-03-31", "--to", "2026-03-01"}, "Ending date must be"},
        {{"--occasion", "8", "--to"}, "--to needs a date"},
    };
    for (const QStringList& command : commands)
        for (const auto& c : cases) {
            SCOPED_TRACE((command + c.given).join(' ').toStdString());
            const AdminRun r = admin(command + c.given);
            EXPECT_EQ(r.code, 2) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains("merrowby-admin: " + command.first() + ": " + QLatin1String(c.said)))
                << r.err.toStdString();
        }
    const AdminRun ok = admin({"reminders", data.path(), "--occasion=8", "--from", "2026-03-01", "--to", "2026-03-31"});
    EXPECT_EQ(ok.code, 0) << ok.err.toStdString();
}

// A number option refuses what is not a whole number within its range, and a missing value, alike.
TEST_F(AdminArgsTest, NumberOptionsRefuseWhatIsOutOfRange) {
    TestDataDir data;
    const QStringList upcoming = {"upcoming", data.path()}, calendar = {"calendar", data.path(), "--ics", "x.ics"};
    const struct {
        QStringList args;
        const char* said;
    } cases[] = {
        {upcoming + QStringList{"--days", "367"}, "upcoming: --days needs a number from 0 to 366"},
        {upcoming + QStringList{"--days", "2x"}, "upcoming: --days needs a number from 0 to 366"},
        {upcoming + QStringList{"--days"}, "upcoming: --days needs a number from 0 to 366"},
        {calendar + QStringList{"--alarm-days", "-1"}, "calendar: --alarm-days needs a number from 0 to 365"},
        {calendar + QStringList{"--holiday-alarm-days=366"}, "calendar: --holiday-alarm-days needs a number from 0 to 365"},
        {calendar + QStringList{"--years", "0"}, "calendar: --years needs a number from 1 to 100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const AdminRun r = admin(c.args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, "merrowby-admin: " + QLatin1String(c.said) + "\n");
    }
}

// init, check, dump and reindex are commands of the table like the others: called in-process
// they make a data folder (with the user guide), check it, list a table and rebuild its
// indexes, and give the data folder's lock back each time.
TEST(AdminDataFolderCommands, RunInProcessAndGiveTheLockBack) {
    QTemporaryDir root;
    const QString dir = root.filePath(QStringLiteral("book"));
    ASSERT_EQ(RunAdminCommand(QStringLiteral("init"), {dir}), 0);
    EXPECT_TRUE(QFile::exists(dir + QStringLiteral("/mby.htm")));
    EXPECT_EQ(RunAdminCommand(QStringLiteral("check"), {dir}), 0);
    EXPECT_EQ(RunAdminCommand(QStringLiteral("dump"), {dir, QStringLiteral("labels")}), 0);
    EXPECT_EQ(RunAdminCommand(QStringLiteral("reindex"), {dir}), 0);
    EXPECT_EQ(RunAdminCommand(QStringLiteral("reindex"), {dir, QStringLiteral("--time")}), 0);
    EXPECT_EQ(RunAdminCommand(QStringLiteral("dump"), {dir}), 2);
    EXPECT_EQ(RunAdminCommand(QStringLiteral("init"), {dir, QStringLiteral("extra")}), 2);
    EXPECT_EQ(RunAdminCommand(QStringLiteral("none"), {dir}), kAdminUnknownCommand);
}

// The admin tool prints without Qt's print support and shows no window: neither it nor the
// libraries it loads pull in QtWidgets or QtPrintSupport.
TEST_F(AdminArgsTest, RunsWithoutWidgetsOrPrintSupport) {
    if (QStandardPaths::findExecutable(QStringLiteral("ldd")).isEmpty()) GTEST_SKIP() << "no ldd";
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {kAdmin});
    ASSERT_TRUE(ldd.waitForFinished(60000));
    const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
    EXPECT_TRUE(libraries.contains(QLatin1String("libQt6Gui"))) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains(QLatin1String("libQt6Widgets"))) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains(QLatin1String("libQt6PrintSupport"))) << libraries.toStdString();
}
