#include "gui/labels/LabPrint.h"
#include "gui/common/DialogLook.h"
#include "gui/common/Fitting.h"
#include "gui/common/FocusMark.h"
#include "gui/common/Placement.h"

#include "gui/common/Fatal.h"
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QStyle>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/common/MaskField.h"
#include "core/labels/SheetMemory.h"
#include "core/households/Households.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

constexpr int kMaxRow = 99;  // the row field holds two digits

// Integer value of a start field; a blank field counts as 1, as leaving it would make it.
int StartValue(const MaskField* field) {
    int n = 1;
    if (!TextToInt(field->fieldText(), &n)) n = 1;
    return n;
}

QToolButton* MakeArrow(Qt::ArrowType type, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setArrowType(type);
    b->setFocusPolicy(Qt::NoFocus);  // clicking an arrow does not leave the field
    b->setAutoRepeat(true);
    return b;
}

}  // namespace

TLabPrint::TLabPrint(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Print Labels"));
    setFixedSize(286, 209);
    FillBackground(this, DialogGrey());
    const QFont bold = BoldFont(this);

    Label4 = new QLabel(this);
    Label4->setFont(bold);
    QPalette blue = Label4->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Label4->setPalette(blue);
    Label4->setGeometry(16, 12, 256, 21);

    auto caption = [&](const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, this);
        l->setFont(bold);
        l->setGeometry(x, y, w, 21);
    };

    // Controls are created in tab order.
    caption(QStringLiteral("Label Stock:"), 16, 48, 84);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);  // typed text never becomes a stock
    ComboBox1->setGeometry(104, 48, 170, 23);

    caption(QStringLiteral("Starting Column:"), 16, 92, 118);
    MaskEdit1 = new MaskField(QStringLiteral("!9"), this);  // one digit, required
    MaskEdit1->setGeometry(134, 92, 22, 21);
    caption(QStringLiteral("Row:"), 200, 92, 34);
    MaskEdit2 = new MaskField(QStringLiteral("!00"), this);  // up to two digits
    MaskEdit2->setGeometry(234, 92, 28, 21);

    UpDown1Left = MakeArrow(Qt::LeftArrow, this);
    UpDown1Left->setGeometry(158, 92, 16, 21);
    UpDown1Right = MakeArrow(Qt::RightArrow, this);
    UpDown1Right->setGeometry(174, 92, 16, 21);
    UpDown2Up = MakeArrow(Qt::UpArrow, this);
    UpDown2Up->setGeometry(264, 92, 16, 10);
    UpDown2Down = MakeArrow(Qt::DownArrow, this);
    UpDown2Down->setGeometry(264, 103, 16, 10);

    ChkHouseholds = new QCheckBox(QStringLiteral("One label per &household"), this);
    ChkHouseholds->setGeometry(16, 124, 254, 21);
    connect(ChkHouseholds, &QCheckBox::toggled, this, [this] { ShowCount(); });

    BtnOK = new QPushButton(QStringLiteral("OK"), this);
    BtnOK->setGeometry(56, 156, 75, 27);
    BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BtnCancel->setGeometry(156, 156, 75, 27);
    AddPreviewButton();
    AddSheetLine();

    ComboBox1->installEventFilter(this);
    if (ComboBox1->lineEdit()) ComboBox1->lineEdit()->installEventFilter(this);
    MaskEdit1->installEventFilter(this);
    MaskEdit2->installEventFilter(this);
    // The style shows the focus only after Tab; Enter moves it too.
    MarkFocusOfControls(this);

    connect(BtnOK, &QPushButton::clicked, this, &TLabPrint::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TLabPrint::BtnCancelClick);
    connect(UpDown1Left, &QToolButton::clicked, this, [this] { UpDown1Click(Arrow::Left); });
    connect(UpDown1Right, &QToolButton::clicked, this, [this] { UpDown1Click(Arrow::Right); });
    connect(UpDown2Up, &QToolButton::clicked, this, [this] { UpDown2Click(Arrow::Up); });
    connect(UpDown2Down, &QToolButton::clicked, this, [this] { UpDown2Click(Arrow::Down); });
    // The column limit follows the stock shown, not only the one shown first.
    connect(ComboBox1, &QComboBox::activated, this, [this] {
        if (LoadSelectedStock()) MaskEdit1Exit();
        ShowNameStart();
        ShowSheetMemory();
    });
}

QLineEdit* TLabPrint::columnField() const { return MaskEdit1; }
QLineEdit* TLabPrint::rowField() const { return MaskEdit2; }

QString TLabPrint::startColumnText() const {
    return TrimControls(MaskEdit1->fieldText());
}

QString TLabPrint::startRowText() const {
    return TrimControls(MaskEdit2->fieldText());
}

void TLabPrint::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TLabPrint::FormShow() {
    if (BtnPreview) BtnPreview->setVisible(bool(PreviewAction()));
    ChkHouseholds->setVisible(HouseholdLabelCount() >= 0);
    HouseholdNotes notes;
    // Unreadable notes only lose the remembered choice.
    ChkHouseholds->setChecked(HouseholdLabelCount() >= 0 && LibHandle &&
                              LoadHouseholdNotes(*LibHandle, &notes).ok() && notes.oneLabelPerHousehold);
    ShowCount();

    ComboBox1->clear();
    int preselect = 0;
    LastStatus = LabelsTable ? LabelsTable->top() : xbase::kEof;
    while (LastStatus == xbase::kOk) {
        LoadLabelRec();
        if (LabelRec.Name == SettingsRec.LabID) preselect = ComboBox1->count();  // last match wins
        // Names are kept blank-padded; shown padded, the list would cut them in the middle.
        ComboBox1->addItem(TrimControls(LabelRec.Name));
        LastStatus = LabelsTable->skip(1);
    }
    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? preselect : -1);
    FitComboEntries(ComboBox1);  // the open list as wide as its longest name, however narrow the box
    ShowNameStart();

    MaskEdit1->setFieldText(QStringLiteral("1"));
    MaskEdit2->setFieldText(QStringLiteral("1"));
    PrintOptionsCancelled = true;  // the close box counts as cancelling
    const bool loaded = LoadSelectedStock();
    ShowSheetMemory();
    CentreOnScreen(this);  // the strip below OK and Cancel may have changed the height
    if (!loaded) {
        // Nothing to print on. Closing from inside the showing would leave the modal loop
        // running with nothing to end it, so close once the dialog is up.
        QTimer::singleShot(0, this, [this] { reject(); });
        return;
    }
    MaskEdit1->setFocus(Qt::OtherFocusReason);
}

void TLabPrint::ShowCount() {
    const int count = oneLabelPerHousehold() ? HouseholdLabelCount() : LabelCount;
    Label4->setText(QStringLiteral("There are ") + QString::number(count) +
                    QStringLiteral(" labels it this report "));
}

bool TLabPrint::oneLabelPerHousehold() const {
    return HouseholdLabelCount() >= 0 && ChkHouseholds->isChecked();
}

int& TLabPrint::HouseholdLabelCount() {
    static int count = -1;
    return count;
}

void TLabPrint::RememberHouseholds() {
    if (HouseholdLabelCount() < 0 || !LibHandle) return;
    HouseholdNotes notes;
    if (!LoadHouseholdNotes(*LibHandle, &notes).ok() || notes.oneLabelPerHousehold == ChkHouseholds->isChecked())
        return;
    // The run goes on: only the choice offered next time is lost.
    const xbase::Status s = StoreOneLabelPerHousehold(*LibHandle, ChkHouseholds->isChecked());
    (void)WriteSucceeded(s.ok() ? DataStatus::Ok() : DataStatus::failure(QStringLiteral("Households.dbf"), s), this);
}

// The entry the stock box stands on: its current entry while the text still reads as that
// entry, otherwise the entry whose name the typed text spells (blanks around it ignored), or
// -1 when the text names no stock.
static int SelectedEntry(const QComboBox* box) {
    const int i = box->currentIndex();
    const QString typed = TrimControls(box->currentText());
    if (i >= 0 && TrimControls(box->itemText(i)) == typed) return i;
    for (int k = 0; k < box->count(); ++k)
        if (TrimControls(box->itemText(k)) == typed) return k;
    return -1;
}

void TLabPrint::ShowNameStart() {
    // Names are blank-padded; without this the box shows the padding rather than the name.
    if (ComboBox1->lineEdit()) ComboBox1->lineEdit()->setCursorPosition(0);
}

bool TLabPrint::LoadSelectedStock() {
    const int pos = SelectedEntry(ComboBox1);
    if (pos < 0 || !LabelsTable) return false;
    LastStatus = LabelsTable->top();
    if (LastStatus == xbase::kOk && pos > 0) LastStatus = LabelsTable->skip(pos);
    if (LastStatus != xbase::kOk) return false;
    LoadLabelRec();
    return true;
}

void TLabPrint::UpDown1Click(Arrow button) {
    const int n = StartValue(MaskEdit1);
    auto* field = MaskEdit1;
    if (button == Arrow::Right && n < LabelRec.nAcross)
        field->setFieldText(QString::number(n + 1));
    else if (button == Arrow::Left && n > 1)
        field->setFieldText(QString::number(n - 1));
}

void TLabPrint::UpDown2Click(Arrow button) {
    const int n = StartValue(MaskEdit2);
    auto* field = MaskEdit2;
    if (button == Arrow::Down && n < kMaxRow)
        field->setFieldText(QString::number(n + 1));
    else if (button == Arrow::Up && n > 1)
        field->setFieldText(QString::number(n - 1));
}

void TLabPrint::MaskEdit1Exit() {
    int n = StartValue(MaskEdit1);
    // A stock with no label across is not usable; column 1 is the only sensible start.
    n = std::clamp(n, 1, std::max(1, static_cast<int>(LabelRec.nAcross)));
    MaskEdit1->setFieldText(QString::number(n));
}

void TLabPrint::MaskEdit2Exit() {
    const int n = std::max(1, StartValue(MaskEdit2));
    MaskEdit2->setFieldText(QString::number(n));
}

bool TLabPrint::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window taking over (a message box, the stock list's popup) is not leaving.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == MaskEdit1) MaskEdit1Exit();
            if (watched == MaskEdit2) MaskEdit2Exit();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TLabPrint::BtnOKClick() {
    if (LoadSelectedStock()) {
        // The start fields may still be unchecked (OK reached without leaving them), and the
        // column must fit the stock finally chosen.
        MaskEdit1Exit();
        MaskEdit2Exit();
        RememberStock(LabelRec.Name);
        RememberHouseholds();
        PrintOptionsCancelled = false;
        accept();
        return;
    }
    PrintOptionsCancelled = true;
    reject();
}

void TLabPrint::RememberStock(const QString& name) {
    if (name == SettingsRec.LabID) return;
    SettingsRec.LabID = name;
    EndUnlessOpened(OpenSettings());
    StoreSettings();
    // The run goes on: only the choice offered next time is lost.
    WriteSucceeded(CloseTable(SettingsTable), this);
}

void TLabPrint::BtnCancelClick() {
    PrintOptionsCancelled = true;
    reject();
}

std::function<bool()>& TLabPrint::PreviewAction() {
    static std::function<bool()> action;
    return action;
}

void TLabPrint::AddPreviewButton() {
    BtnPreview = new QPushButton(QStringLiteral("Pre&view"), this);
    connect(BtnPreview, &QPushButton::clicked, this, &TLabPrint::BtnPreviewClick);
}

void TLabPrint::BtnPreviewClick() {
    if (!PreviewAction() || !LoadSelectedStock()) return;
    const QString stock = LabelRec.Name;
    if (!PreviewAction()()) return;
    RememberStock(stock);
    RememberHouseholds();
    BtnCancelClick();  // printed: no second run
}

void TLabPrint::AddSheetLine() {
    LblSheet = new QLabel(this);
    LblSheet->setWordWrap(true);
    LblSheet->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    BtnUse = new QPushButton(QStringLiteral("&Use Last Sheet"), this);
    BtnUse->setToolTip(QStringLiteral("Start at the next free label of the last sheet"));
    LblSheet->hide();
    BtnUse->hide();
    connect(BtnUse, &QPushButton::clicked, this, &TLabPrint::BtnUseClick);
}

void TLabPrint::ShowSheetMemory() {
    std::optional<SheetPosition> pos;
    // Only a sheet stock has a last sheet; a stock the box does not name has nothing to show.
    if (LibHandle && SelectedEntry(ComboBox1) >= 0 && !LabelRec.Continuous &&
        !SheetRecall(*LibHandle, TrimControls(LabelRec.Name), &pos).ok())
        pos.reset();  // unreadable memory only loses the hint
    if (pos) {
        sheetColumn_ = pos->column;
        sheetRow_ = pos->row;
        LblSheet->setText(SheetMemoryText(*pos));
    }
    LblSheet->setVisible(bool(pos));
    BtnUse->setVisible(bool(pos));
    LayOutExtras();
}

void TLabPrint::LayOutExtras() {
    // Below OK and Cancel, a strip for what the dialog offers beyond the print options: the
    // last sheet's line with its button, and Preview. With neither, the dialog is its plain size.
    int y = 192;
    const bool sheet = !LblSheet->isHidden(), preview = BtnPreview && !BtnPreview->isHidden();
    if (sheet) {
        LblSheet->setGeometry(16, y, 254, 32);
        y += 36;
        BtnUse->setGeometry(16, y, 110, 25);
    }
    if (preview) BtnPreview->setGeometry(195, y, 75, 25);
    setFixedSize(286, sheet || preview ? y + 25 + 10 : 209);
}

void TLabPrint::BtnUseClick() {
    MaskEdit1->setFieldText(QString::number(sheetColumn_));
    MaskEdit2->setFieldText(QString::number(std::min(sheetRow_, kMaxRow)));
    MaskEdit1Exit();  // within the stock's columns
    MaskEdit2Exit();
}
