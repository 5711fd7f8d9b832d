// The setup page's calendar export: the dialog shows and keeps the calendar settings, and writes
// the file or says why it could not.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>

#include "MessageLog.h"
#include "TestData.h"
#include "core/data/Globals.h"
#include "gui/import/ExportCalendar.h"
#include "xbase/Library.h"

TEST(ExportCalendarDialog, KeepsItsSettingsAndWritesTheFileWholeOrNotAtAll) {
    TestDataDir data;
    std::vector<std::string> ann = NamedRow("Ann", "Lee", {7});
    ann[12] = "19610314";
    ann[16] = "T";
    AppendAddressRows(data.dir(), {ann});
    ScopedLibrary lib(data.path());
    MessageLog msgs;

    const QString missing = data.path() + "/no/such/folder/dates.ics";
    const QString file = data.path() + "/dates.ics";
    {
        TExportCalendar dlg;
        dlg.Country->setCurrentIndex(int(HolidayCountry::Canada));
        dlg.AlarmDays->setValue(3);
        dlg.Years->setValue(1);  // Christmas, and Chanukah once
        dlg.FileName->setText(missing);
        dlg.BtnExportClick();
        ASSERT_EQ(msgs.texts().size(), 1);
        EXPECT_TRUE(msgs.texts()[0].startsWith("Unable to write " + missing)) << msgs.texts()[0].toStdString();
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        EXPECT_FALSE(QFile::exists(missing));

        msgs.clear();
        dlg.FileName->setText(file);
        dlg.BtnExportClick();
        EXPECT_EQ(msgs.texts(), QStringList{"3 calendar events written to " + file});
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    const QByteArray text = data.read("dates.ics");
    EXPECT_TRUE(text.contains("SUMMARY:Birthday: Ann Lee\r\n"));
    EXPECT_TRUE(text.contains("TRIGGER:-P3D\r\n"));

    // The next export, from the window or the admin tool, starts from what was chosen.
    CalendarSettings stored;
    ASSERT_TRUE(LoadCalendarSettings(lib.lib(), &stored).ok());
    EXPECT_EQ(stored.country, HolidayCountry::Canada);
    EXPECT_EQ(stored.alarmDays, 3);
    TExportCalendar again;
    EXPECT_EQ(again.settings().country, HolidayCountry::Canada);
    EXPECT_EQ(again.settings().alarmDays, 3);
    EXPECT_EQ(again.settings().holidayAlarmDays, 21);
}
