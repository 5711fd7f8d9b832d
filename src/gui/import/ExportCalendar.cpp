#include "gui/import/ExportCalendar.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/calendar/CalendarFile.h"
#include "core/data/Globals.h"
#include "gui/common/Installed.h"
#include "gui/common/MessageBoxes.h"
#include "gui/common/Placement.h"
#include "gui/import/ExportTarget.h"
#include "gui/import/FileQuestion.h"
#include "xbase/Library.h"

namespace {

QSpinBox* daysBox(int most, const QString& suffix, QWidget* parent) {
    auto* b = new QSpinBox(parent);
    b->setRange(0, most);
    b->setSuffix(suffix);
    return b;
}

}  // namespace

TExportCalendar::TExportCalendar(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ExportCalendar"));
    setWindowTitle(QStringLiteral("Export Calendar"));
    setModal(true);

    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    Country = new QComboBox(this);
    Country->setObjectName(QStringLiteral("Country"));
    for (HolidayCountry c : kHolidayCountries) Country->addItem(QLatin1String(CountryName(c)));
    form->addRow(QStringLiteral("&Holidays as kept in:"), Country);
    AlarmDays = daysBox(kMaxAlarmDays, QStringLiteral(" days before"), this);
    AlarmDays->setObjectName(QStringLiteral("AlarmDays"));
    form->addRow(QStringLiteral("&Alarm for birthdays, anniversaries:"), AlarmDays);
    HolidayAlarmDays = daysBox(kMaxAlarmDays, QStringLiteral(" days before"), this);
    HolidayAlarmDays->setObjectName(QStringLiteral("HolidayAlarmDays"));
    form->addRow(QStringLiteral("Alarm for &card-sending days:"), HolidayAlarmDays);
    Years = daysBox(kMaxCalendarYears, QStringLiteral(" years"), this);
    Years->setMinimum(1);
    Years->setObjectName(QStringLiteral("Years"));
    form->addRow(QStringLiteral("&Easter, Passover, Chanukah for:"), Years);

    const ExportTarget target = AddExportTarget(this, top, form, QStringLiteral("merrowby.ics"),
                                                QString::fromUtf8("B&rowse\u2026"), QStringLiteral("E&xport"));
    FileName = target.fileName;
    BtnBrowse = target.browse;
    BtnExport = target.exportButton;
    BtnCancel = target.cancel;
    connect(BtnExport, &QPushButton::clicked, this, &TExportCalendar::BtnExportClick);
    connect(BtnBrowse, &QPushButton::clicked, this, &TExportCalendar::BtnBrowseClick);

    CalendarSettings stored;
    if (LibHandle) (void)LoadCalendarSettings(*LibHandle, &stored);  // unreadable: the defaults
    Country->setCurrentIndex(int(stored.country));
    AlarmDays->setValue(stored.alarmDays);
    HolidayAlarmDays->setValue(stored.holidayAlarmDays);
    Years->setValue(stored.years);
}

void TExportCalendar::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    Country->setFocus();
}

CalendarSettings TExportCalendar::settings() const {
    CalendarSettings s;
    s.country = kHolidayCountries[Country->currentIndex()];
    s.alarmDays = AlarmDays->value();
    s.holidayAlarmDays = HolidayAlarmDays->value();
    s.years = Years->value();
    return s;
}

QString TExportCalendar::path() const { return FileName->text().trimmed(); }

void TExportCalendar::BtnBrowseClick() {
    const QString name = Installed<FileQuestion>::get().exportFile(
        this, path(), QStringLiteral("iCalendar files (*.ics);;All files (*)"));
    if (!name.isEmpty()) FileName->setText(name);
}

void TExportCalendar::BtnExportClick() {
    const QString file = path();
    if (!ExportTargetAccepted(file, FileName, this)) return;
    if (!LibHandle) return;
    CalendarOptions o;
    o.settings = settings();
    o.today = QDate::currentDate();
    o.stamp = QDateTime::currentDateTimeUtc();
    // The settings are kept for the next export even when this one fails.
    if (const xbase::Status s = StoreCalendarSettings(*LibHandle, o.settings); !s.ok())
        UserPrompts(this).error(QStringLiteral("The calendar settings could not be stored.\r\n") + QString::fromStdString(s.toString()));
    const CalendarOutcome out = ExportCalendar(*LibHandle, file, o);
    if (out.status.failed()) {
        UserPrompts(this).error(out.status.reason);
        return;
    }
    UserPrompts(this).info(QStringLiteral("%1 calendar events written to %2").arg(out.events).arg(QDir::toNativeSeparators(file)));
    accept();
}

void ExportCalendar1Click(QWidget* parent) {
    TExportCalendar dlg(parent);
    dlg.exec();
}
