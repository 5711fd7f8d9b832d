#pragma once
// The "Setup && Maintenance" page of the main window: six glyph buttons on an elliptic
// blue-to-black gradient. Backup and Restore copy the data tables (core/backup/Backup.h), Reindex
// rebuilds both indexes silently, Import Contacts opens the import dialog, Edit Label
// Definition runs the label-stock setup loop (gui/labels/StockSetup.h), and Choose Label Font sets
// the label font (LabelFontPref.h). Export Contacts writes the book out as vCard or CSV
// (gui/import/ExportContacts.h), Export Calendar its dates as an iCalendar file
// (gui/import/ExportCalendar.h).
//
// The address book's table is closed while this page is in front, so the work started here
// finds no table open.

#include <QString>
#include <QWidget>
#include <vector>

class QPushButton;

class SetupPage : public QWidget {
    Q_OBJECT
public:
    explicit SetupPage(QWidget* parent = nullptr);

    QPushButton* LMDButton1 = nullptr;  // "Backup"
    QPushButton* LMDButton2 = nullptr;  // "Restore"
    QPushButton* LMDButton3 = nullptr;  // "Reindex"
    QPushButton* LMDButton4 = nullptr;  // "Import Contacts"
    QPushButton* LMDButton5 = nullptr;  // "Edit Label Definition"
    QPushButton* LMDButton6 = nullptr;  // "Choose Label Font"
    QPushButton* BtnExport = nullptr;   // "Export Contacts…", below Import Contacts
    QPushButton* BtnCalibrate = nullptr;  // "Calibrate Printer…", below Edit Label Definition
    QPushButton* BtnCalendar = nullptr;   // "Export Calendar…", below Export Contacts

public slots:
    void BackupData1Click();
    void RestoreData1Click();
    void ReindexData1Click();
    void ImportAddresses1Click();
    void LabelStock1Click();
    void Preferences1Click();
    void ExportContacts1Click();
    void ExportCalendar1Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Each button's caption whole in the page's face: a button grows to the right into the free
    // room of its column (up to `room` pixels wide), and only beyond that is its caption elided.
    void fitButtons();
    struct Fitted {
        QPushButton* button;
        QString text;
        int room;
    };
    std::vector<Fitted> fitted_;
};

// The import dialog over the import layout table: opens it (ending the program when it cannot),
// shows TImport modally, closes it.
void ImportAddresses1Click();
