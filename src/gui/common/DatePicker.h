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

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
};
