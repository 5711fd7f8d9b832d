#pragma once
// "Export Contacts…" of the setup page: the whole book, or the recipients of one occasion, to a
// vCard 4.0 file or a CSV file with a header row (ContactExport.h). The dialog gathers what to
// write and where; the export runs with a progress window, and its end is reported in a
// message. The file is written whole or not at all.

#include <QDialog>
#include <functional>

#include "core/import/ContactExport.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TExportContacts : public QDialog {
    Q_OBJECT
public:
    explicit TExportContacts(QWidget* parent = nullptr);

    // What the dialog's controls ask for; `path` the file.
    ExportOptions options() const;
    QString path() const;

    QComboBox* Which = nullptr;       // "The whole book", then the occasions 1 to 8
    QDateEdit* SpanFrom = nullptr;    // occasion 8's date span
    QDateEdit* SpanTo = nullptr;
    QRadioButton* AsVCard = nullptr;
    QRadioButton* AsCsv = nullptr;
    QLineEdit* FileName = nullptr;
    QPushButton* BtnBrowse = nullptr;
    QPushButton* BtnExport = nullptr;
    QPushButton* BtnCancel = nullptr;

public slots:
    void BtnBrowseClick();
    // Checks the choices, asks before replacing a file, runs the export; closes on success.
    void BtnExportClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void formatChanged();
    void whichChanged();
};

// The dialog, shown modally. AddrBook must not be open.
void ExportContacts1Click(QWidget* parent);
