#include <gtest/gtest.h>

#include <QDateEdit>
#include <QLocale>

#include "core/labels/SheetMemory.h"
#include "gui/addressbook/CardList.h"
#include "gui/import/ExportContacts.h"

// Dates appear in one format across the windows where none is fixed: the user's short format
// (here German, day first) with the whole year; the Cards list heads its years "Year".
TEST(ShownDates, OneShortFormatAcrossTheWindows) {
    const QLocale was;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QDate day(2026, 12, 8);
    EXPECT_TRUE(SheetMemoryText(SheetPosition{2, 7, day}).endsWith(QStringLiteral(" (08.12.2026)")))
        << SheetMemoryText(SheetPosition{2, 7, day}).toStdString();
    TExportContacts exportDialog;
    for (const QDateEdit* picker : exportDialog.findChildren<QDateEdit*>())
        EXPECT_EQ(picker->displayFormat(), QStringLiteral("dd.MM.yyyy")) << picker->objectName().toStdString();
    QLocale::setDefault(was);
    const CardList cards;
    EXPECT_EQ(cards.horizontalHeaderItem(0)->text(), QStringLiteral("Year"));
}
