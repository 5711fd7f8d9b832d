#pragma once
// The print options dialog of a label run: shows how many labels the run prints, and asks for the
// label stock and for the column and row of the first label on the sheet.
//
// The label run sets LabelCount, opens LABELS (holding at least one stock) and shows the dialog
// modally. Afterwards it reads:
//   - PrintOptionsCancelled: true unless the dialog was left by OK with a stock selected;
//   - LabelRec: the chosen stock (loaded from LABELS);
//   - startColumnText() / startRowText(): the texts of the two start fields, which the run
//     converts to integers. On OK the start column is within 1..LabelRec.nAcross and the row
//     is at least 1.
// The run also sets HouseholdLabelCount() to the labels it prints with one label per household
// (-1: the run does not offer it); the dialog then shows "One label per household", checked as
// it was left last time (Households.dbf), and the count shown follows the box. OK remembers it.
// On OK with a stock other than SettingsRec.LabID, LabID is set to the stock's name and the
// settings row is stored (Mrby1 opened and closed for it); so it is after printing from Preview.

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class MaskField;

class TLabPrint : public QDialog {
    Q_OBJECT
public:
    explicit TLabPrint(QWidget* parent = nullptr);

    // Texts of the start column and start row fields ("1" after every showing until changed).
    QString startColumnText() const;
    QString startRowText() const;

    // Controls, for the windows code that drives the dialog and for tests.
    QComboBox* stockBox() const { return ComboBox1; }
    QLineEdit* columnField() const;
    QLineEdit* rowField() const;
    QToolButton* columnLeftArrow() const { return UpDown1Left; }
    QToolButton* columnRightArrow() const { return UpDown1Right; }
    QToolButton* rowUpArrow() const { return UpDown2Up; }
    QToolButton* rowDownArrow() const { return UpDown2Down; }
    QPushButton* okButton() const { return BtnOK; }
    QPushButton* cancelButton() const { return BtnCancel; }
    QLabel* countLabel() const { return Label4; }
    QCheckBox* householdBox() const { return ChkHouseholds; }
    bool oneLabelPerHousehold() const;
    static int& HouseholdLabelCount();

    enum class Arrow { Up, Down, Left, Right };

    // What "Preview" does once the selected stock is loaded into LabelRec; set by the run that
    // shows the dialog, cleared after it. Without one the button is hidden. It returns true when
    // the run was printed from the preview: the stock is then remembered as OK remembers it, and
    // the dialog closes as cancelled, so that the run does not print a second time.
    static std::function<bool()>& PreviewAction();
    QPushButton* previewButton() const { return BtnPreview; }
    // The line telling where the last, partly used sheet of the shown stock stopped, and the
    // button that puts that position into the start fields (both hidden when nothing is known).
    QLabel* sheetLine() const { return LblSheet; }
    QPushButton* useButton() const { return BtnUse; }

public slots:
    void FormShow();
    void BtnOKClick();
    void BtnCancelClick();
    void UpDown1Click(Arrow button);  // Left / Right
    void UpDown2Click(Arrow button);  // Up / Down
    void MaskEdit1Exit();
    void MaskEdit2Exit();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Positions LABELS on the selected entry and loads it into LabelRec. False when no entry is
    // selected (or the table no longer has that row); LabelRec is then unchanged.
    bool LoadSelectedStock();
    // Stores `name` as LabID unless it is LabID already.
    void RememberStock(const QString& name);
    void ShowNameStart();
    void AddPreviewButton();
    void BtnPreviewClick();
    void AddSheetLine();
    void ShowSheetMemory();
    void BtnUseClick();
    void LayOutExtras();
    void ShowCount();
    void RememberHouseholds();

    QComboBox* ComboBox1 = nullptr;
    MaskField* MaskEdit1 = nullptr;
    MaskField* MaskEdit2 = nullptr;
    QToolButton* UpDown1Left = nullptr;
    QToolButton* UpDown1Right = nullptr;
    QToolButton* UpDown2Up = nullptr;
    QToolButton* UpDown2Down = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;
    QPushButton* BtnPreview = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* LblSheet = nullptr;
    QCheckBox* ChkHouseholds = nullptr;
    QPushButton* BtnUse = nullptr;
    int sheetColumn_ = 0, sheetRow_ = 0;  // what Use puts in the start fields
};
