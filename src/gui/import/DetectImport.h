#pragma once
// "Detect…" of the import dialog: reads a contacts file as other programs write it (vCard, or
// CSV with a header row; ContactFormats.h), shows what was found — format, encoding, which
// column went to which field, the first five contacts as the address book would hold them, and
// how many are already in the book — and on "Import" appends them with a progress window whose
// Cancel keeps the rows added so far. The final message counts what was added and skipped.
//
// The positional import of the dialog's "Import" button is not touched by any of this.

#include <QDialog>
#include <functional>

#include "core/import/ContactFormats.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

class TDetectImport : public QDialog {
    Q_OBJECT
public:
    // `duplicates` is CountDuplicates' answer for `parsed` (-1: not known).
    TDetectImport(const QString& path, const ContactParse& parsed, int duplicates, QWidget* parent = nullptr);

    DuplicatePolicy duplicatePolicy() const;

    QLabel* Found = nullptr;            // format, encoding, contact count
    QPlainTextEdit* Mapping = nullptr;  // the header's columns and their fields
    QTableWidget* Preview = nullptr;    // the first five contacts as they would be stored
    QLabel* Duplicates = nullptr;
    QRadioButton* SkipDuplicates = nullptr;
    QRadioButton* AddDuplicates = nullptr;
    QPushButton* BtnImport = nullptr;
    QPushButton* BtnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

// The whole "Detect…" step for the file at `path`: a file that cannot be understood gets a
// message and nothing is imported; otherwise the preview, then the run and its summary. `status`
// is told "Reading " and the path while the file is first read, and an empty text when that is
// done, before anything else is shown. Returns the run's outcome (fileFound false when nothing
// ran). AddrBook must not be open.
DetectedImportOutcome DetectAndImport(const QString& path, QWidget* parent,
                                      const std::function<void(const QString&)>& status = {});
