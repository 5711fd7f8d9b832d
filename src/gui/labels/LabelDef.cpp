#include "gui/labels/LabelDef.h"
#include "gui/common/DialogLook.h"
#include "gui/common/Placement.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include "gui/common/FocusMark.h"
#include "gui/common/MessageBoxes.h"
#include "gui/common/TextFit.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/common/MaskField.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

const char* const kCaptions[TLabelDef::kNumberFields] = {
    "Top Margin", "Left Margin", "Bottom Margin", "Right Margin",
    "Width",      "Height",      "Horizontal Gap", "Vertical Gap"};

// printf formatting with the locale's decimal separator in place of the point.
QString FormatWithSeparator(const char* format, double v) {
    QString s = QString::asprintf(format, v);
    s.replace(u'.', DecimalSeparator());
    return s;
}

QString FormatDimension(double v) {
    if (v == 0) v = 0;  // no "-0.000" from a stored negative zero
    return FormatWithSeparator("%8.3f", v);
}

double* DimensionOf(TLabelRecord& r, int i) {
    double* const fields[TLabelDef::kNumberFields] = {&r.TopM,  &r.LeftM,  &r.BottomM, &r.RightM,
                                                      &r.Width, &r.Height, &r.HGap,    &r.VGap};
    return fields[i];
}

bool IsEnterKey(QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

bool FormatNumberText(const QString& text, const char* format, QString* result, QString* error) {
    const qsizetype length = text.size();
    QString packed = text;
    packed.remove(u' ');
    double v = 0;
    if (!TextToFloat(packed, &v)) {
        if (error) *error = FloatConvertError(packed);
        return false;
    }
    if (v == 0) v = 0;  // a typed "-0" converts to negative zero; print it as zero
    QString formatted = FormatWithSeparator(format, v);
    if (packed.startsWith(u'-') && !(v < 0)) {
        formatted = QStringLiteral("-") + TrimControls(formatted);
        if (formatted.size() < length) formatted.prepend(QString(length - formatted.size(), u' '));
    }
    *result = formatted;
    return true;
}

TLabelDef::TLabelDef(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Label Definition"));
    setFixedSize(427, 306);
    FillBackground(this, DialogCream());
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    auto caption = [this](const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, this);
        l->setGeometry(x, y, w, 21);
        return l;
    };

    // Controls are created in tab order.
    caption(QStringLiteral("Label Name"), 16, 14, 90);
    Edit1 = new QLineEdit(this);
    Edit1->setMaxLength(40);
    Edit1->setValidator(new StorableTextValidator(Edit1));  // LABELS holds Windows-1252 only
    Edit1->setGeometry(112, 14, 297, 21);

    auto* note = new QLabel(QStringLiteral("Label Dimensions are defined in printer points where "
                                           "each printer point is 1/72 of an inch."),
                            this);
    note->setFont(BoldFont(this));
    note->setWordWrap(true);
    note->setGeometry(16, 44, 395, 32);

    // The mask is "####", the separator as a fixed character, "000": four optional places for
    // digits or a sign, then three optional decimals.
    const QString numberMask =
        QStringLiteral("!####\\") + DecimalSeparator() + QStringLiteral("000");
    for (int i = 0; i < kNumberFields; ++i) {
        const int row = i / 2, right = i % 2;
        const int x = right ? 224 : 16, y = 88 + row * 30;
        caption(QString::fromLatin1(kCaptions[i]), x, y, 96);
        MaskEdits[i] = new MaskField(numberMask, this);
        MaskEdits[i]->setGeometry(x + 104, y, 76, 21);
        MaskEdits[i]->installEventFilter(this);
    }

    caption(QStringLiteral("No. Labels Across"), 16, 212, 96);
    MaskEdit9 = new MaskField(QStringLiteral("!0"), this);
    MaskEdit9->setGeometry(120, 212, 24, 21);
    MaskEdit9->installEventFilter(this);

    CheckBox1 = new QCheckBox(QStringLiteral("Continuous Pin Feed"), this);
    CheckBox1->setGeometry(224, 212, 180, 21);

    BtnSave = new QPushButton(QStringLiteral("Save"), this);
    BtnSave->setGeometry(112, 260, 81, 27);
    BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BtnCancel->setGeometry(232, 260, 81, 27);
    // No default button: Enter moves on through the form, and only a button of its own saves
    // (Return or Space on it, or a click).
    BtnSave->setAutoDefault(false);
    BtnCancel->setAutoDefault(false);

    Edit1->installEventFilter(this);
    CheckBox1->installEventFilter(this);
    BtnSave->installEventFilter(this);
    BtnCancel->installEventFilter(this);
    // The style shows the focus only after Tab; Enter moves it too.
    MarkFocusOfControls(this);
    connect(BtnSave, &QPushButton::clicked, this, &TLabelDef::BtnSaveClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TLabelDef::BtnCancelClick);
}

void TLabelDef::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TLabelDef::FormShow() {
    if (CurrentStockRecNo <= 0) {
        LabelRec = TLabelRecord{};
        LabelRec.nAcross = 1;
    } else {
        LastStatus = LabelsTable ? LabelsTable->go(static_cast<uint32_t>(CurrentStockRecNo))
                                 : xbase::kError;
        if (LastStatus == xbase::kOk)
            LoadLabelRec();
        else
            LabelRec = TLabelRecord{};
    }
    Edit1->setText(TrimControls(LabelRec.Name));
    for (int i = 0; i < kNumberFields; ++i)
        MaskEdits[i]->setFieldText(FormatDimension(*DimensionOf(LabelRec, i)));
    MaskEdit9->setFieldText(QString::number(LabelRec.nAcross));
    CheckBox1->setChecked(LabelRec.Continuous);
    Edit1->setFocus(Qt::OtherFocusReason);
}

int TLabelDef::numberFieldIndex(QObject* o) const {
    for (int i = 0; i < kNumberFields; ++i)
        if (MaskEdits[i] == o) return i;
    return -1;
}

bool TLabelDef::eventFilter(QObject* watched, QEvent* event) {
    if (IsEnterKey(event)) {
        if (watched == BtnSave || watched == BtnCancel)
            static_cast<QPushButton*>(watched)->click();
        else
            focusNextChild();
        return true;
    }
    const int i = numberFieldIndex(watched);
    if (i >= 0 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->text() == QString(DecimalSeparator())) {
            QString formatted, error;
            if (!FormatNumberText(MaskEdits[i]->fieldText(), "%8.3f", &formatted, &error)) {
                UserPrompts(this).error(error);
                return true;  // the key is not taken
            }
            MaskEdits[i]->setFieldText(formatted);
            // With the cursor on the separator the field steps over it to the decimals.
            MaskEdits[i]->setCursorPosition(static_cast<int>(formatted.indexOf(DecimalSeparator())));
        }
    } else if (i >= 0 && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window taking over (a message box, a menu) is not leaving the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            // Moving to "Save" lets Save report a bad number itself; "Cancel" discards it.
            QWidget* next = QApplication::focusWidget();
            NumberFieldExit(i, next == BtnSave || next == BtnCancel);
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TLabelDef::NumberFieldExit(int i, bool quiet) {
    QString formatted, error;
    if (!FormatNumberText(MaskEdits[i]->fieldText(), "%8.3f", &formatted, &error)) {
        if (!quiet) UserPrompts(this).error(error);
        return false;
    }
    MaskEdits[i]->setFieldText(formatted);
    return true;
}

void TLabelDef::BtnSaveClick() {
    const QString name = TrimControls(Edit1->text());
    if (name.isEmpty()) {
        UserPrompts(this).info(QStringLiteral("Please fill in label name."));
        return;
    }

    // Convert everything before touching the record or the table, so a bad field leaves both
    // as they were.
    TLabelRecord rec;
    rec.Name = name;
    for (int i = 0; i < kNumberFields; ++i) {
        const QString text = MaskEdits[i]->fieldText();
        if (!TextToFloat(text, DimensionOf(rec, i))) {
            UserPrompts(this).error(FloatConvertError(text));
            MaskEdits[i]->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    const QString acrossText = MaskEdit9->fieldText();
    int across = 0;
    if (!TextToInt(acrossText, &across)) {
        UserPrompts(this).error(IntConvertError(acrossText));
        MaskEdit9->setFocus(Qt::OtherFocusReason);
        return;
    }
    rec.nAcross = across;
    rec.Continuous = CheckBox1->isChecked();

    // A stock without a positive label size or with no label across cannot be laid out: the
    // label run would never get past its first row.
    if (!(rec.Width > 0) || !(rec.Height > 0)) {
        UserPrompts(this).info(QStringLiteral("Label width and height must be greater than zero."));
        MaskEdits[rec.Width > 0 ? 5 : 4]->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (rec.nAcross < 1) {
        UserPrompts(this).info(QStringLiteral("No. Labels Across must be at least 1."));
        MaskEdit9->setFocus(Qt::OtherFocusReason);
        return;
    }

    if (!LabelsTable) {
        UserPrompts(this).info(QStringLiteral("Unable to Append record . . Please try again."));
        return;
    }
    if (CurrentStockRecNo == 0) {
        LastStatus = LabelsTable->appendBlank();
        if (LastStatus != 0) {
            LibHandle->errorCode();  // the failure has been reported; clear it
            UserPrompts(this).info(QStringLiteral("Unable to Append record . . Please try again."));
            return;
        }
        CurrentStockRecNo = static_cast<int>(LabelsTable->recNo());
    }
    LabelRec = rec;
    StoreLabelRec();
    // Written now rather than at the table's next move, so a saved stock is on disk when the
    // dialog closes.
    if (LabelsTable->flush() < 0) {
        const QString why = QString::fromStdString(LibHandle->lastError().toString());
        LibHandle->errorCode();
        UserPrompts(this).error(QStringLiteral("Unable to write the label definition: ") + why);
        return;
    }
    accept();
}

void TLabelDef::BtnCancelClick() {
    reject();
}
