// merrowby-admin check and reindex on damaged data directories, run as the built command.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <map>
#include <gtest/gtest.h>

#include "AdminProcess.h"
#include "TestData.h"
#include "core/data/CardLog.h"
#include "core/print/Printers.h"
#include "core/calendar/CalendarSettings.h"
#include "core/labels/SheetMemory.h"
#include "core/households/Households.h"
#include "xbase/Library.h"

namespace {

// Overwrites `n` bytes at `offset` of dir/name (or cuts the file there when bytes is empty).
void damage(const TestDataDir& d, const QString& name, qint64 offset, const QByteArray& bytes) {
    QFile f(d.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    if (bytes.isEmpty()) {
        ASSERT_TRUE(f.resize(offset));
    } else {
        ASSERT_TRUE(f.seek(offset));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
}

class AdminCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(kAdmin)) GTEST_SKIP() << "merrowby-admin not built";
    }
};

// A fresh data set checks clean, with the printers' corrections, the sheet memory and the
// calendar settings once they hold something; a damaged one of those is named.
TEST_F(AdminCheckTest, AFreshDataSetChecksClean) {
    TestDataDir data(40);
    AdminRun r = admin({QStringLiteral("check"), data.path()});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("FAIL"))) << r.out.toStdString();
    {
        xbase::Library lib;
        lib.setDirectory(data.dir());
        ASSERT_TRUE(StorePrinterCalibration(lib, "Office", {1, 1, 1}).ok());
        ASSERT_TRUE(SheetRemember(lib, "Stock", SheetPosition{2, 2, QDate(2026, 1, 2)}).ok());
        ASSERT_TRUE(StoreCalendarSettings(lib, CalendarSettings{HolidayCountry::UnitedKingdom, 7, 21, 10}).ok());
        ASSERT_TRUE(StoreHouseholdGreeting(lib, QStringLiteral("1 elm st||york|10|"), QStringLiteral("The Lees")).ok());
    }
    for (const char* table : {"Printers.dbf", "Sheets.dbf", "Households.dbf", "Calendar.dbf"}) {
        SCOPED_TRACE(table);
        const QByteArray whole = data.read(table);
        r = admin({QStringLiteral("check"), data.path()});
        EXPECT_EQ(r.code, 0) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("OK   ") + data.filePath(table))) << r.out.toStdString();
        damage(data, table, whole.size() - 5, QByteArray());
        r = admin({QStringLiteral("check"), data.path()});
        EXPECT_EQ(r.code, 1);
        const QStringList failing = r.out.split(QLatin1Char('\n')).filter(QStringLiteral("FAIL"));
        ASSERT_EQ(failing.size(), 1) << r.out.toStdString();
        EXPECT_TRUE(failing[0].contains(table)) << failing[0].toStdString();
        damage(data, table, 0, whole);
    }
}

TEST_F(AdminCheckTest, IndexFaultsAreNamedAndReindexMendsThem) {
    struct Case {
        const char* what;
        qint64 offset;
        QByteArray bytes;
    } cases[] = {
        {"root outside the file", 4, QByteArray("\x00\x00\x90\x00", 4)},
        {"bad signature", 0, QByteArray("\x42\x42", 2)},
        {"truncated", 1500, QByteArray()},
        {"garbage page", 1024, QByteArray(1024, '\x7f')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDataDir data(40);
        damage(data, QStringLiteral("Address.ntx"), c.offset, c.bytes);
        AdminRun r = admin({QStringLiteral("check"), data.path()});
        EXPECT_EQ(r.code, 1) << r.out.toStdString();
        const QStringList failing = r.out.split(QLatin1Char('\n')).filter(QStringLiteral("FAIL"));
        ASSERT_EQ(failing.size(), 1) << r.out.toStdString();
        EXPECT_TRUE(failing[0].contains(QStringLiteral("Address.ntx"), Qt::CaseInsensitive))
            << failing[0].toStdString();
        r = admin({QStringLiteral("reindex"), data.path()});
        EXPECT_EQ(r.code, 0) << r.out.toStdString();
        r = admin({QStringLiteral("check"), data.path()});
        EXPECT_EQ(r.code, 0) << r.out.toStdString();
    }
}

TEST_F(AdminCheckTest, TableFaultsAreNamedAndReindexDoesNotHideThem) {
    TestDataDir data(40);
    damage(data, QStringLiteral("AddrBook.dbf"), 8, QByteArray("\x28\x00", 2));  // header length 40
    AdminRun r = admin({QStringLiteral("check"), data.path()});
    EXPECT_EQ(r.code, 1);
    const QStringList failing = r.out.split(QLatin1Char('\n')).filter(QStringLiteral("FAIL"));
    ASSERT_FALSE(failing.isEmpty()) << r.out.toStdString();
    EXPECT_TRUE(failing[0].contains(QStringLiteral("AddrBook.dbf"), Qt::CaseInsensitive))
        << failing[0].toStdString();
    r = admin({QStringLiteral("reindex"), data.path()});
    EXPECT_NE(r.code, 0) << "reindex claimed success on a broken table";
    EXPECT_TRUE(r.out.contains(QStringLiteral("AddrBook"), Qt::CaseInsensitive)) << r.out.toStdString();
    EXPECT_EQ(admin({QStringLiteral("check"), data.path()}).code, 1);
}

// A damaged group file is named itself, its bytes are shown escaped (nothing that could drive the
// terminal), and a path it names outside the data folder is never opened.
TEST_F(AdminCheckTest, DamagedGroupFileIsNamedEscapedAndNotFollowed) {
    TestDataDir made(10);
    QTemporaryDir root;
    const QString dir = root.filePath(QStringLiteral("a/b"));
    ASSERT_TRUE(QDir().mkpath(dir));
    for (const QString& f : made.files()) ASSERT_TRUE(QFile::copy(made.filePath(f), dir + "/" + f));
    // Outside the folder, an index that would check clean if it were followed.
    ASSERT_TRUE(QFile::copy(made.filePath(QStringLiteral("Address.ntx")), root.filePath(QStringLiteral("x.ntx"))));
    const std::pair<const char*, QByteArray> groups[] = {
        {"a path out of the folder", QByteArray("../../x.ntx\n")},
        {"terminal controls and stray bytes", QByteArray("\x1b]0;owned\x07.ntx\n\xff\xfe\x9b" "31m.ntx\n")},
    };
    for (const auto& [what, bytes] : groups) {
        SCOPED_TRACE(what);
        QFile g(dir + QStringLiteral("/AddrBook.cgp"));
        ASSERT_TRUE(g.open(QIODevice::WriteOnly | QIODevice::Truncate));
        g.write(bytes);
        g.close();
        QProcess p;
        p.start(kAdmin, {QStringLiteral("check"), dir});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 1);
        const QByteArray out = p.readAllStandardOutput() + p.readAllStandardError();
        QList<QByteArray> failing;
        for (const QByteArray& l : out.split('\n'))
            if (l.startsWith("FAIL")) failing << l;
        ASSERT_EQ(failing.size(), 1) << out.toStdString();
        EXPECT_TRUE(failing[0].contains("/a/b/AddrBook.cgp: not an index group file")) << failing[0].toStdString();
        EXPECT_FALSE(out.contains("x.ntx:")) << out.toStdString();
        for (const char c : out) EXPECT_TRUE(c == '\n' || (uchar(c) >= 0x20 && uchar(c) < 0x7f)) << out.toStdString();
    }
}

// The card log through the command line: logging a run twice logs it once, the list is CSV,
// check fails on a card whose record holds another name and reindex puts it back by name.
TEST_F(AdminCheckTest, CardsAreLoggedOnceListedAndCheckedAgainstTheBook) {
    TestDataDir data;
    AppendAddressRows(data.dir(), {NamedRow("Ann", "Baker", {7}), NamedRow("Carl", "Adams", {7}),
                                   NamedRow("Dora", "Cole", {1})});
    const QStringList mark = {"cards", data.path(), "--mark-sent", "--occasion", "7", "--year", "2026"};
    AdminRun r = admin(mark);
    ASSERT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.startsWith("logged 2 of 2 recipients")) << r.out.toStdString();
    r = admin(mark);
    EXPECT_TRUE(r.out.startsWith("logged 0 of 2 recipients")) << r.out.toStdString();
    r = admin({"cards", data.path(), "--year", "2026", "--kind", "sent"});
    ASSERT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_EQ(r.out, "Last,First,RecNo,Year,Occasion,Entry,Kind\nAdams,Carl,2,2026,7,0,sent\nBaker,Ann,1,2026,7,0,sent\n");
    EXPECT_EQ(admin({"cards", data.path(), "--year", "2026", "--kind", "kept"}).code, 2);
    EXPECT_EQ(admin({"check", data.path()}).code, 0);

    // The run logged in name order: the first row is Adams's card. It now names record 3 (Cole).
    QByteArray cards = data.read("Cards.dbf");
    const int header = uchar(cards[8]) | uchar(cards[9]) << 8;
    cards.replace(header + 1 + 40, 7, "      3");
    QFile f(data.filePath("Cards.dbf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(cards);
    f.close();
    r = admin({"check", data.path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains("1 of 2 card events")) << r.out.toStdString();
    EXPECT_EQ(admin({"reindex", data.path()}).code, 0);
    r = admin({"check", data.path()});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    r = admin({"cards", data.path(), "--year", "2026"});
    EXPECT_TRUE(r.out.contains("Adams,Carl,2,2026")) << r.out.toStdString();
}

// Headers that count fewer rows than their files hold (the book, the card log, the printers):
// check names each with the rows past its count and advises repair; a writer refuses them and
// changes nothing, and so does a restore from a backup whose card log counts none of its
// events; repair counts every row back, keeping each file as it was beside it.
TEST_F(AdminCheckTest, HeadersThatLostCountOfRowsAreNamedRefusedByWritersAndRepaired) {
    TestDataDir data;
    AppendAddressRows(data.dir(), {NamedRow("Ann", "Baker", {7}), NamedRow("Carl", "Adams", {7}),
                                   NamedRow("Dora", "Cole", {7})});
    ASSERT_EQ(admin({"cards", data.path(), "--mark-sent", "--occasion", "7", "--year", "2026"}).code, 0);
    {
        xbase::Library lib;
        lib.setDirectory(data.dir());
        ASSERT_TRUE(StorePrinterCalibration(lib, "Office", {1, 1, 1}).ok());
        ASSERT_TRUE(StorePrinterCalibration(lib, "Hall", {2, 2, 1}).ok());
    }
    const auto setCount = [](const QString& path, quint32 n) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(4));
        ASSERT_EQ(f.write(reinterpret_cast<const char*>(&n), 4), 4);  // test hosts are little-endian
    };
    QTemporaryDir backup;
    ASSERT_EQ(admin({"backup", data.path(), backup.path()}).code, 0);
    setCount(backup.filePath("Cards.dbf"), 0);
    const QByteArray bookBefore = data.read("AddrBook.dbf");
    AdminRun r = admin({"restore", data.path(), backup.path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains("Cards.dbf is damaged")) << r.out.toStdString();
    EXPECT_EQ(data.read("AddrBook.dbf"), bookBefore) << "the restore changed the book";

    const std::vector<std::pair<QString, quint32>> lost = {{"AddrBook.dbf", 1}, {"Cards.dbf", 0}, {"Printers.dbf", 1}};
    std::map<QString, QByteArray> damaged;
    for (const auto& [table, count] : lost) {
        setCount(data.filePath(table), count);
        damaged[table] = data.read(table);
    }
    r = admin({"check", data.path()});
    EXPECT_EQ(r.code, 1);
    const QStringList failing = r.out.split(QLatin1Char('\n')).filter(QStringLiteral("FAIL"));
    ASSERT_EQ(failing.size(), 3) << r.out.toStdString();
    for (const QString& line : failing) {
        EXPECT_TRUE(line.contains("whole rows lie past the") && line.contains("merrowby-admin repair"))
            << line.toStdString();
    }
    EXPECT_TRUE(failing[0].contains("AddrBook.dbf: 2 whole rows lie past the 1")) << failing[0].toStdString();
    EXPECT_NE(admin({"reindex", data.path()}).code, 0);
    for (const auto& [table, bytes] : damaged) EXPECT_EQ(data.read(table), bytes) << table.toStdString();

    r = admin({"repair", data.path()});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    for (const auto& [table, bytes] : damaged) {
        const QStringList copies = QDir(data.path()).entryList({table + ".orig-*"});
        ASSERT_EQ(copies.size(), 1) << table.toStdString();
        EXPECT_TRUE(r.out.contains(copies[0])) << r.out.toStdString();
        EXPECT_EQ(data.read(copies[0]), bytes) << "the copy is not the file as it was";
    }
    r = admin({"check", data.path()});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("ok, 3 card events on their people")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Printers.dbf: ok, 2 rows")) << r.out.toStdString();
}

// cards --unmark takes a logged run out again, says how many, and leaves other years, other
// occasions and cards received alone; with a span only that span's dated entries go.
TEST_F(AdminCheckTest, UnmarkRemovesALoggedRunAndNothingElse) {
    TestDataDir data;
    std::vector<std::string> ann = NamedRow("Ann", "Baker", {7}), carl = NamedRow("Carl", "Adams", {7});
    ann[12] = "19610314", ann[16] = "T";    // birthday in March
    carl[13] = "19900420", carl[17] = "T";  // anniversary in April
    AppendAddressRows(data.dir(), {ann, carl});
    for (const char* year : {"2025", "2026"})
        ASSERT_EQ(admin({"cards", data.path(), "--mark-sent", "--occasion", "7", "--year", year}).code, 0);
    {
        xbase::Library lib;
        lib.setDirectory(data.dir());
        ASSERT_TRUE(CardsAdd(lib, 1, 2026, 7, CardKind::Received).ok());
        ASSERT_TRUE(CardsMarkSent(lib, 8, 2026, {{1, 1}, {2, 2}}).ok());
    }
    AdminRun r = admin({"cards", data.path(), "--unmark", "--occasion", "7", "--year", "2026"});
    ASSERT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.startsWith("removed 2 sent cards for Christmas / Chanukah 2026")) << r.out.toStdString();
    r = admin({"cards", data.path(), "--year", "2026", "--occasion", "7"});
    EXPECT_EQ(r.out.count(QStringLiteral(",7,0,")), 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Baker,Ann,1,2026,7,0,received"))) << r.out.toStdString();
    r = admin({"cards", data.path(), "--year", "2025"});
    EXPECT_EQ(r.out.count(QStringLiteral(",sent")), 2) << r.out.toStdString();

    r = admin({"cards", data.path(), "--unmark", "--occasion", "8", "--year", "2026", "--from", "2026-03-01",
               "--to", "2026-03-31"});
    EXPECT_TRUE(r.out.startsWith("removed 1 sent card for Birthday, Etc 2026")) << r.out.toStdString();
    r = admin({"cards", data.path(), "--year", "2026", "--occasion", "8"});
    EXPECT_TRUE(r.out.contains("\nAdams,Carl,2,2026,8,2,sent\n")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("Baker,Ann")) << r.out.toStdString();
    EXPECT_EQ(admin({"check", data.path()}).code, 0);
}

// calibrate stores a correction exactly as given, or refuses it with exit 1 and stores nothing:
// numbers its columns cannot hold, more than the calibration window accepts, more decimals than
// it keeps, and distances that the window calls a misreading.
TEST_F(AdminCheckTest, CalibrateStoresExactlyWhatItWasGivenOrNothing) {
    TestDataDir data;
    const QStringList base = {"calibrate", data.path(), "--printer", "Office"};
    const QStringList refused[] = {
        {"--dx", "1000", "--dy", "-1000"}, {"--dx", "1e9", "--dy", "0"},  {"--dx", "nan", "--dy", "0"},
        {"--dx", "inf", "--dy", "0"},      {"--dx", "99999", "--dy", "0"}, {"--dx", "1", "--dy", "0", "--scale", "7.8"},
        {"--dx", "1.23456", "--dy", "0"},  {"--measured", "1,1,2,2", "--unit", "in"},
    };
    for (const QStringList& given : refused) {
        const AdminRun r = admin(base + given);
        EXPECT_EQ(r.code, 1) << given.join(' ').toStdString() << "\n" << r.out.toStdString();
        EXPECT_FALSE(data.exists("Printers.dbf")) << given.join(' ').toStdString();
    }
    const AdminRun r = admin(base + QStringList{"--dx", "-36", "--dy", "2.125", "--scale", "1.00125"});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.startsWith("Office: dx -36.000 pt, dy 2.125 pt, scale 1.00125\n")) << r.out.toStdString();
}

}  // namespace
