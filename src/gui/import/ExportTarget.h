#pragma once
// What the two export dialogs (contacts and calendar) share: the file row with its Browse…
// button, the Export and Cancel buttons, and the checks of the file name before anything is
// written.

#include <QString>

class QDialog;
class QFormLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;

struct ExportTarget {
    QLineEdit* fileName = nullptr;
    QPushButton* browse = nullptr;
    QPushButton* exportButton = nullptr;  // the default button; it does not close the dialog
    QPushButton* cancel = nullptr;        // rejects the dialog
};

// Adds the row "&File:" (the file name, starting as `preset` in the home folder, and
// `browseCaption`) to `form`, then `form` and the Export and Cancel buttons to `top`.
ExportTarget AddExportTarget(QDialog* dialog, QVBoxLayout* top, QFormLayout* form, const QString& preset,
                             const QString& browseCaption, const QString& exportCaption);

// True when `path` may be written: a name is given, it is no folder, and a file of that name may
// be replaced (the user is asked). Otherwise the user has been told, or said Cancel.
bool ExportTargetAccepted(const QString& path, QLineEdit* fileName, QWidget* dialog);
