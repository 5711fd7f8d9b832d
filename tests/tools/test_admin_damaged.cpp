// Every admin command over a data folder with one table missing or damaged, and the commands
// that write while someone else holds the data folder: run as the built command, each must say
// what is wrong on one line, exit 1 and leave the data folder as it was.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>

#include "AdminProcess.h"
#include "TestData.h"
#include "core/data/DataLock.h"

namespace {

// Every file of a folder but the lock file, with its bytes.
std::map<QString, QByteArray> snapshot(const QString& dir) {
    std::map<QString, QByteArray> files;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden)) {
        if (name == QLatin1String(kDataLockFileName)) continue;
        QFile f(dir + QLatin1Char('/') + name);
        files[name] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    return files;
}

void rewrite(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Damage {
    const char* name;
    std::function<void(const QString& path)> apply;
};

const std::vector<Damage>& damages() {
    static const std::vector<Damage> all = {
        {"missing", [](const QString& path) { QFile::remove(path); }},
        {"truncated", [](const QString& path) {
             const QByteArray b = readFile(path);
             rewrite(path, b.left(b.size() - 10));
         }},
        {"bad header", [](const QString& path) {
             QByteArray b = readFile(path);
             b[8] = char(0x07);  // a header length shorter than the fixed header
             b[9] = 0;
             rewrite(path, b);
         }},
        {"garbage", [](const QString& path) { rewrite(path, QByteArray(40, '\x5a')); }},
    };
    return all;
}

const QStringList kTables = {"AddrBook.dbf", "LABELS.dbf", "Mrby1.dbf", "importf.dbf"};

class AdminDamagedTest : public ::testing::Test {
protected:
    QTemporaryDir scratch;  // contacts file, PDF and backup target live outside the data folder

    void SetUp() override {
        if (!QFile::exists(kAdmin)) GTEST_SKIP() << "merrowby-admin not built";
        QFile contacts(scratch.filePath("contacts.txt"));
        ASSERT_TRUE(contacts.open(QIODevice::WriteOnly));
        contacts.write("Ada,Lovelace,1 Analytical Way\r\nCharles,Babbage,2 Engine Row\r\n");
    }

    // The command's arguments for data folder `dir`.
    QStringList args(const QString& cmd, const QString& dir, const QString& table) const {
        if (cmd == "import") return {cmd, dir, scratch.filePath("contacts.txt")};
        if (cmd == "labels") return {cmd, dir, "--occasion", "7", "--pdf", scratch.filePath("out.pdf")};
        if (cmd == "reminders") return {cmd, dir, "--occasion", "7"};
        if (cmd == "backup") {
            QDir(scratch.path()).mkpath("target");
            return {cmd, dir, scratch.filePath("target")};
        }
        if (cmd == "dump") return {cmd, dir, QFileInfo(table).completeBaseName()};
        return {cmd, dir};  // check, reindex
    }
};

// Which tables a command reads; a fault in any other table is none of its business.
bool uses(const QString& cmd, const QString& table, const QString& damage) {
    static const std::map<QString, QStringList> tables = {
        {"import", {"AddrBook.dbf", "importf.dbf"}},
        {"labels", {"AddrBook.dbf", "LABELS.dbf", "Mrby1.dbf"}},
        {"reminders", {"AddrBook.dbf"}},
        {"backup", {"AddrBook.dbf", "LABELS.dbf", "importf.dbf"}},
        {"reindex", {"AddrBook.dbf", "LABELS.dbf"}},
        {"check", kTables},
        {"dump", kTables},
    };
    // The label run takes the built-in font and the first stock when there are no settings.
    if (cmd == "labels" && table == "Mrby1.dbf" && damage == "missing") return false;
    return tables.at(cmd).contains(table);
}

TEST_F(AdminDamagedTest, EveryCommandOverEachDamagedTableFailsCleanly) {
    const QStringList commands = {"import", "labels", "reminders", "backup", "reindex", "check", "dump"};
    for (const QString& cmd : commands) {
        for (const QString& table : kTables) {
            for (const Damage& d : damages()) {
                SCOPED_TRACE((cmd + " / " + table + " / " + d.name).toStdString());
                TestDataDir data(3);
                d.apply(data.filePath(table));
                const auto before = snapshot(data.path());
                const AdminRun r = admin(args(cmd, data.path(), table));
                if (!uses(cmd, table, QString::fromLatin1(d.name))) {
                    EXPECT_EQ(r.code, 0) << r.out.toStdString();
                    continue;
                }
                EXPECT_EQ(r.code, 1) << r.out.toStdString();
                EXPECT_TRUE(r.out.contains(QFileInfo(table).completeBaseName(), Qt::CaseInsensitive))
                    << r.out.toStdString();
                EXPECT_TRUE(snapshot(data.path()) == before) << "the data folder changed";
            }
        }
    }
}

// The backup the restore reads is damaged: refused, naming the file, the live tables untouched.
TEST_F(AdminDamagedTest, RestoreFromADamagedBackupChangesNothing) {
    for (const QString& table : {QStringLiteral("LABELS.dbf"), QStringLiteral("AddrBook.dbf"),
                                 QStringLiteral("importf.dbf")}) {
        for (const Damage& d : damages()) {
            SCOPED_TRACE((table + " / " + d.name).toStdString());
            TestDataDir data(3), backup(5);
            d.apply(backup.filePath(table));
            const auto before = snapshot(data.path());
            const AdminRun r = admin({"restore", data.path(), backup.path()});
            EXPECT_EQ(r.code, 1) << r.out.toStdString();
            EXPECT_TRUE(r.out.contains(table, Qt::CaseInsensitive)) << r.out.toStdString();
            EXPECT_TRUE(snapshot(data.path()) == before) << "the data folder changed";
        }
    }
}

// The program holds the data folder: every command that writes (a printer's correction too, and
// init over it) is refused and says why; the book is as the program left it. Once the lock is given up the same import goes through.
TEST_F(AdminDamagedTest, CommandsThatWriteWaitTheirTurn) {
    TestDataDir data(3), backup(5);
    ASSERT_EQ(AcquireDataLock(data.dir()), DataLockResult::Acquired);
    const auto before = snapshot(data.path());
    const std::vector<QStringList> writers = {
        {"import", data.path(), scratch.filePath("contacts.txt")},
        {"reindex", data.path()},
        {"backup", data.path(), scratch.path()},
        {"restore", data.path(), backup.path()},
        {"calibrate", data.path(), "--printer", "Office", "--dx", "1", "--dy", "1"},
        {"init", data.path()},
    };
    for (const QStringList& a : writers) {
        SCOPED_TRACE(a.first().toStdString());
        const AdminRun r = admin(a);
        EXPECT_EQ(r.code, 1) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QLatin1String("in use"))) << r.out.toStdString();
        EXPECT_TRUE(snapshot(data.path()) == before) << "the data folder changed";
    }
    ReleaseDataLock();
    const AdminRun r = admin(writers.front());
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("2 Names Added"))) << r.out.toStdString();
}

}  // namespace

// A label run on sheets remembers where its last sheet stopped. While the program holds the book
// the labels are still printed, but that place is not written behind the program's back; the
// user is told. Once the program is gone the same run remembers it.
TEST_F(AdminDamagedTest, LabelRunRemembersNoSheetWhileTheProgramHoldsTheBook) {
    TestDataDir data;
    AppendAddressRows(data.dir(), {NamedRow("Ann", "Baker", {7}), NamedRow("Carl", "Adams", {7})});
    const QString pdf = scratch.filePath("labels.pdf");
    const QStringList run = {"labels", data.path(), "--occasion", "7", "--start", "2,3", "--pdf", pdf};
    ASSERT_EQ(AcquireDataLock(data.dir()), DataLockResult::Acquired);
    const auto before = snapshot(data.path());
    AdminRun r = admin(run);
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("2 labels written")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("not remembered")) << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(snapshot(data.path()) == before) << "the data folder changed";
    ReleaseDataLock();
    r = admin(run);
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("not remembered")) << r.out.toStdString();
    EXPECT_TRUE(data.exists("Sheets.dbf"));
}
