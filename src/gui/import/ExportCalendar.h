#pragma once
// "Export Calendar…" of the setup page: the book's birthdays, anniversaries and other dates and
// the holidays' card-sending days as an iCalendar file (core/calendar/CalendarFile.h), for the
// user's calendar program to import. The dialog shows the calendar settings (whose holidays,
// the alarms, the years of Easter, Passover and Chanukah), stores them for the next export and
// for `merrowby-admin calendar`, writes the file whole or not at all and says how it went.

#include <QDialog>

#include "core/calendar/CalendarSettings.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TExportCalendar : public QDialog {
    Q_OBJECT
public:
    // Shows the settings stored in LibHandle's folder (the defaults when there are none).
    explicit TExportCalendar(QWidget* parent = nullptr);

    CalendarSettings settings() const;
    QString path() const;

    QComboBox* Country = nullptr;          // United States, United Kingdom, Canada
    QSpinBox* AlarmDays = nullptr;         // birthdays, anniversaries, other dates
    QSpinBox* HolidayAlarmDays = nullptr;  // card-sending days
    QSpinBox* Years = nullptr;             // Easter, Passover, Chanukah, Mothering Sunday
    QLineEdit* FileName = nullptr;
    QPushButton* BtnBrowse = nullptr;
    QPushButton* BtnExport = nullptr;
    QPushButton* BtnCancel = nullptr;

public slots:
    void BtnBrowseClick();
    // Checks the file name, asks before replacing a file, stores the settings and writes the
    // file; closes when it was written.
    void BtnExportClick();

protected:
    void showEvent(QShowEvent* event) override;
};

// The dialog, shown modally.
void ExportCalendar1Click(QWidget* parent);
