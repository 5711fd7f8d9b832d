#pragma once
// The label stock definition dialog: creates a new stock or edits an existing one.
//
// Shown modally by the label-stock setup loop while LABELS is open. CurrentStockRecNo says what
// to edit: 0 or less a new stock, above 0 that record of LABELS. Outcome:
//   - "Save" of a new stock appends a row and leaves its record number in CurrentStockRecNo;
//   - "Save" of an existing stock writes that row and leaves CurrentStockRecNo alone;
//   - "Cancel", Escape or the close box write nothing and leave CurrentStockRecNo alone.
// "Save" refuses an empty name, a text that is not a number (shown through the general error
// report), and a stock that cannot be laid out (width or height not above zero, no labels
// across); the dialog then stays open and nothing is written.
//
// Dimensions are printer points (1/72 inch), entered in eight-character fields "dddd.ddd" whose
// separator is the locale's decimal separator.

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;
class QPushButton;
class MaskField;

// Reformats the text of a number field: blanks removed, converted with the locale's decimal
// separator, formatted with the printf-style `format` ("%8.3f") using that separator. A typed
// minus zero keeps its sign: "-" then the formatted digits, blank-padded in front to at least the
// original text's length ("  -0.000"). Returns false, with *error set to the conversion failure
// text, when the text is not a number.
bool FormatNumberText(const QString& text, const char* format, QString* result, QString* error);

class TLabelDef : public QDialog {
    Q_OBJECT
public:
    explicit TLabelDef(QWidget* parent = nullptr);

    static constexpr int kNumberFields = 8;

    // Controls, for tests and for code that drives the dialog.
    QLineEdit* nameField() const { return Edit1; }
    // 0..7: Top Margin, Left Margin, Bottom Margin, Right Margin, Width, Height, Horizontal Gap,
    // Vertical Gap.
    MaskField* numberField(int i) const { return MaskEdits[i]; }
    MaskField* acrossField() const { return MaskEdit9; }
    QCheckBox* continuousBox() const { return CheckBox1; }
    QPushButton* saveButton() const { return BtnSave; }
    QPushButton* cancelButton() const { return BtnCancel; }

public slots:
    void FormShow();
    void BtnSaveClick();
    void BtnCancelClick();
    // Leaving number field i: reformats it; a conversion failure is reported unless `quiet`.
    // Returns false on such a failure (the field keeps its text).
    bool NumberFieldExit(int i, bool quiet = false);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int numberFieldIndex(QObject* o) const;

    QLineEdit* Edit1 = nullptr;
    MaskField* MaskEdits[kNumberFields] = {};
    MaskField* MaskEdit9 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* BtnSave = nullptr;
    QPushButton* BtnCancel = nullptr;
};
