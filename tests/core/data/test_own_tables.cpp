// The tables of our own, as each feature that keeps one stores and reads it: found whatever the
// letter case of the file, and a file of that name that is not ours refused, not written into.
#include <gtest/gtest.h>

#include <QFile>
#include <functional>
#include <optional>

#include "TestData.h"
#include "core/calendar/CalendarSettings.h"
#include "core/data/CardLog.h"
#include "core/labels/SheetMemory.h"
#include "core/print/Printers.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

struct Keeper {
    const char* file;                                        // as new files spell it
    std::function<const TableSchema&()> schema;
    std::function<xbase::Status(xbase::Library&)> store;     // stores one entry
    std::function<xbase::Status(xbase::Library&, bool*)> recall;  // finds that entry
};

const std::vector<Keeper>& keepers() {
    static const std::vector<Keeper> k = {
        {"Printers.dbf", PrintersSchema,
         [](xbase::Library& lib) { return StorePrinterCalibration(lib, "Office", {1.5, -2, 1}); },
         [](xbase::Library& lib, bool* found) {
             PrinterCalibration c;
             return LoadPrinterCalibration(lib, "Office", &c, found);
         }},
        {"Sheets.dbf", SheetsSchema,
         [](xbase::Library& lib) { return SheetRemember(lib, "Stock", SheetPosition{2, 3, QDate(2026, 1, 2)}); },
         [](xbase::Library& lib, bool* found) {
             std::optional<SheetPosition> p;
             const xbase::Status s = SheetRecall(lib, "Stock", &p);
             *found = p.has_value();
             return s;
         }},
        {"Cards.dbf", CardsSchema,
         [](xbase::Library& lib) { return CardsAdd(lib, 1, 2026, 7, CardKind::Sent); },
         [](xbase::Library& lib, bool* found) {
             std::vector<CardEvent> events;
             const xbase::Status s = CardsOf(lib, CardNameKey("Baker", "Bob"), 1, &events);
             *found = !events.empty();
             return s;
         }},
        {"Calendar.dbf", CalendarSchema,
         [](xbase::Library& lib) {
             return StoreCalendarSettings(lib, CalendarSettings{HolidayCountry::Canada, 3, 30, 5});
         },
         [](xbase::Library& lib, bool* found) {
             CalendarSettings c;
             const xbase::Status s = LoadCalendarSettings(lib, &c);
             *found = c.country == HolidayCountry::Canada && c.years == 5;
             return s;
         }},
    };
    return k;
}

TEST(OwnTables, FoundWhateverTheLetterCaseOfTheirFile) {
    for (const Keeper& k : keepers()) {
        SCOPED_TRACE(k.file);
        TestDataDir data;
        AppendAddressRows(data.dir(), {NamedRow("Bob", "Baker")});
        xbase::Library lib;
        lib.setDirectory(data.dir());
        ASSERT_TRUE(k.store(lib).ok());
        const QString upper = QString::fromLatin1(k.file).toUpper();
        ASSERT_TRUE(QFile::rename(data.filePath(k.file), data.path() + QLatin1Char('/') + upper));
        bool found = false;
        ASSERT_TRUE(k.recall(lib, &found).ok());
        EXPECT_TRUE(found);
        ASSERT_TRUE(k.store(lib).ok());
        EXPECT_TRUE(data.files().contains(upper));
        EXPECT_FALSE(data.files().contains(QString::fromLatin1(k.file))) << data.files().join(' ').toStdString();
    }
}

TEST(OwnTables, AFileOfTheirNameWithoutTheirColumnsIsRefusedNotWritten) {
    for (const Keeper& k : keepers()) {
        SCOPED_TRACE(k.file);
        TestDataDir data;
        AppendAddressRows(data.dir(), {NamedRow("Bob", "Baker")});
        {
            // Another program's table of that name: our first column and nothing else.
            xbase::Library make;
            make.setDirectory(data.dir());
            ASSERT_NE(make.create(k.schema().baseName, {k.schema().fields.front()}), nullptr);
            ASSERT_EQ(make.closeAll(), 0);
        }
        const QByteArray theirs = data.read(k.file);
        xbase::Library lib;
        lib.setDirectory(data.dir());
        const xbase::Status s = k.store(lib);
        EXPECT_FALSE(s.ok());
        EXPECT_NE(s.toString().find(k.file), std::string::npos) << s.toString();
        EXPECT_EQ(data.read(k.file), theirs);
    }
}

}  // namespace
