#pragma once
// The date span dialog and the span itself.
//
// Occasion 8 ("Birthday, Etc") of both the label run and the reminder run asks for a span of
// days. Each caller does:
//
//     SetDefaultSpan();          // the current month
//     DateSpan->exec();          // modal; FormShow sets SpanCancelled
//     if (SpanCancelled) return; // otherwise SpanStart..SpanEnd (whole days, inclusive)
//
// The span lives in Globals.h (SpanStart, SpanEnd, SpanCancelled). Only an accepted OK clears
// SpanCancelled; closing the window any other way leaves it set and the span as it was.

#include <QDate>
#include <QDialog>

#include "core/occasions/Occasions.h"  // SetDefaultSpan, kSpanOrderMessage

class QDateEdit;
class QLabel;
class QPushButton;


class TDateSpan : public QDialog {
    Q_OBJECT
public:
    explicit TDateSpan(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QDateEdit* DateTimePicker1 = nullptr;  // span start
    QDateEdit* DateTimePicker2 = nullptr;  // span end
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;

public slots:
    void FormShow();
    void BtnOKClick();
    void BtnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    // Neither button is a default or cancel button: Enter and Escape do nothing special.
    void keyPressEvent(QKeyEvent* event) override;
};
