#pragma once
// The date picker of the pages and dialogs: a date box with a calendar drop-down in which Tab
// and Shift+Tab leave the box at once, as they leave every other box, instead of stepping
// through day, month and year first; Left and Right step between those parts. Escape goes on
// to the dialog, as its cancel.

#include <QDateEdit>

class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

    // Shows dates in `format`. A date whose year is not known (YearUnknown, Records.h) shows
    // without its year while the box does not have the focus, so that the year that stands for
    // "not known" is not read as a birth year; in the box the whole date can be edited.
    void setDateFormat(const QString& format);

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showFormat();
    QString format_, withoutYear_;
};
