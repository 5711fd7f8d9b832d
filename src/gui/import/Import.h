#pragma once
// The import dialog `TImport` ("Import Format"): the field position of each of the twelve
// address columns within a line of the import file, the import file itself, and the buttons
// that start the import run (ImportRun.h) and close the dialog. Shown modally by the setup
// page's "Import Contacts" (ImportAddresses1Click), which keeps the import layout table open
// while it shows.
//
// The layout reaches the table only when Import is pressed; Exit stores nothing. A file name
// that the layout's column cannot hold as it is (too long, or with characters outside
// Windows-1252) is refused when chosen, with a message; the previous name stays.
//
// "Detect…" asks for a file and reads it as a vCard or header-row file instead (DetectImport.h);
// it leaves the layout, its file name included, as it is.

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;

// The message for an import file name the layout cannot keep as it is; empty when it can.
QString ImportFileNameProblem(const QString& name);

class TImport : public QDialog {
    Q_OBJECT
public:
    explicit TImport(QWidget* parent = nullptr);

    // Save layout: the twelve positions and the file name into ImportRec and the importf row.
    // False (nothing written) when a position is not an integer.
    bool SaveLayout();

    QLineEdit* positionEdit(int i) const { return edits_[i - 1]; }  // 1..12
    QLineEdit* Edit13 = nullptr;
    QPushButton* BtnIFile = nullptr;
    QPushButton* BtnImport = nullptr;
    QPushButton* BtnExit = nullptr;
    QPushButton* BtnDetect = nullptr;  // "Detect…": a vCard or header file, read by its own rules
    QLabel* StatusBar1 = nullptr;
    QFrame* Panel1 = nullptr;

public slots:
    void FormShow();
    // EditNExit for N = 1..12: a position that is not an integer becomes "0".
    void EditExit(int n);
    void BtnIFileClick();
    void BtnImportClick();
    void BtnExitClick();
    void BtnDetectClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setStatus(const QString& text);
    QLineEdit* edits_[12] = {};
    QString detectFile_;  // the file Detect read last
};
