// merrowby-admin flags and export --households, called in-process on a small book.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "AdminCommands.h"
#include "TestData.h"
#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/occasions/Occasions.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

class AdminHouseholds : public ::testing::Test {
protected:
    void SetUp() override {
        AppendAddressRows(data.dir(), {ResidentRow("Ann", "Lee", "1 Elm St", true), ResidentRow("Bob", "Lee", "1 elm st", true),
                                       ResidentRow("Cy", "Gray", "2 Oak Rd", false), ResidentRow("Di", "Moss", "", true)});
        // Last year's Christmas cards: one sent to Cy, one received from Bob.
        ScopedLibrary lib(data.path());
        const int last = CardYear(7, QDate::currentDate()) - 1;
        EXPECT_TRUE(CardsAdd(lib.lib(), 3, last, 7, CardKind::Sent).ok());
        EXPECT_TRUE(CardsAdd(lib.lib(), 2, last, 7, CardKind::Received).ok());
    }
    TestDataDir data;
    QTemporaryDir tmp;
};

}  // namespace

TEST_F(AdminHouseholds, FlagsSetsOrClearsWhomItIsToldAndNobodyElse) {
    const QString names = tmp.filePath("names.txt");
    QFile f(names);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# the Grays\n  GRAY,  cy \n\n");
    f.close();
    const QString unknown = tmp.filePath("unknown.txt");
    QFile u(unknown);
    ASSERT_TRUE(u.open(QIODevice::WriteOnly));
    u.write("Cy Gray\nZed Nobody\n");
    u.close();
    struct Case {
        QStringList args;
        int code;
        QStringList after;
    } cases[] = {
        {{"--clear", "--all"}, 0, {}},
        {{"--set", "--names", names}, 0, {"Cy"}},
        {{"--set", "--names", unknown}, 1, {"Cy"}},  // an unknown name: nothing changed
        {{"--set", "--received-last-year"}, 0, {"Cy", "Bob"}},
        {{"--clear", "--sent-last-year"}, 0, {"Bob"}},
        {{"--set", "--all"}, 0, {"Cy", "Ann", "Bob", "Di"}},
        {{"--set"}, 2, {"Cy", "Ann", "Bob", "Di"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_EQ(RunAdminCommand("flags", QStringList{data.path(), "--occasion", "7"} + c.args), c.code);
        ScopedLibrary lib(data.path());
        EXPECT_EQ(FlaggedFirstNames(7), c.after);
    }
}

TEST_F(AdminHouseholds, ExportWritesOneRowPerHouseholdWithItsLine) {
    const QString out = tmp.filePath("houses.csv");
    ASSERT_EQ(RunAdminCommand("export", {data.path(), "--format", "csv", "--occasion", "7", "--households", out}), 0);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).remove(QChar(0xFEFF)).split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(lines, QStringList({"Name Line,Street,Street 2,City,State,Zip,Country,People",
                                  "Ann & Bob Lee,1 Elm St,,Springfield,,,,2", "Di Moss,,,Springfield,,,,1"}));
    EXPECT_EQ(RunAdminCommand("export", {data.path(), "--format", "vcard", "--households", out}), 2);
}
