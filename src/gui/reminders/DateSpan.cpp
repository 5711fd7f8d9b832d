#include "gui/reminders/DateSpan.h"
#include "gui/common/DialogLook.h"
#include "gui/common/DatePicker.h"
#include "gui/common/Fitting.h"
#include "gui/common/Placement.h"

#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

#include "gui/common/MessageBoxes.h"
#include "core/data/Globals.h"

namespace {

QLabel* boldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(BoldFont(label));
    return label;
}

QDateEdit* datePicker(QWidget* parent) {
    auto* picker = new DatePicker(parent);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    // The whole range a stored date can hold, the zero date included.
    picker->setMinimumDate(QDate(1752, 9, 14));
    picker->setMaximumDate(QDate(9999, 12, 31));
    return picker;
}

}  // namespace

TDateSpan::TDateSpan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DateSpan"));
    setWindowTitle(QStringLiteral("DateSpan"));
    setModal(true);
    setFixedSize(508, 209);
    QFont face(QStringLiteral("MS Sans Serif"), 8);
    face.setStyleHint(QFont::SansSerif);
    setFont(face);
    FillBackground(this, DialogCream());

    Label1 = boldLabel(
        QStringLiteral("Generate labels for birthdays, anniversaries and other individually dated "
                       "events."),
        this);
    Label1->setGeometry(16, 16, 476, 20);
    // A face wider than the design's breaks the line in two, above the date pickers.
    FitCaption(Label1, Label1->text(), 16, 492, 16, 20, true);

    Label2 = boldLabel(QStringLiteral("From"), this);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label2->setGeometry(96, 60, 80, 22);
    DateTimePicker1 = datePicker(this);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setGeometry(184, 60, 113, 22);

    Label3 = boldLabel(QStringLiteral("Through"), this);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label3->setGeometry(96, 96, 80, 22);
    DateTimePicker2 = datePicker(this);
    DateTimePicker2->setObjectName(QStringLiteral("DateTimePicker2"));
    DateTimePicker2->setGeometry(184, 96, 113, 22);

    BtnOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                            QStringLiteral("OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setGeometry(152, 148, 90, 30);
    BtnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("Cancel"), this);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    BtnCancel->setGeometry(264, 148, 90, 30);
    for (QPushButton* b : {BtnOK, BtnCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    setTabOrder(DateTimePicker1, DateTimePicker2);
    setTabOrder(DateTimePicker2, BtnOK);
    setTabOrder(BtnOK, BtnCancel);

    connect(BtnOK, &QPushButton::clicked, this, &TDateSpan::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TDateSpan::BtnCancelClick);
}

void TDateSpan::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TDateSpan::FormShow() {
    DateTimePicker1->setDate(SpanStart.isValid() ? SpanStart : QDate::currentDate());
    DateTimePicker2->setDate(SpanEnd.isValid() ? SpanEnd : QDate::currentDate());
    // Any way out other than an accepted OK counts as cancelled.
    SpanCancelled = true;
    DateTimePicker1->setFocus();
}

void TDateSpan::BtnOKClick() {
    const QDate s = DateTimePicker1->date();
    const QDate e = DateTimePicker2->date();
    if (e < s) {
        UserPrompts(this).plain(QString::fromLatin1(kSpanOrderMessage));
        return;
    }
    SpanStart = s;
    SpanEnd = e;
    SpanCancelled = false;
    accept();
}

void TDateSpan::BtnCancelClick() {
    SpanCancelled = true;
    reject();
}

void TDateSpan::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
