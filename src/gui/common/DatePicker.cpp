#include "gui/common/DatePicker.h"

#include <QKeyEvent>

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent) {}

// The date box's own version moves to its next part and leaves only after the last one.
bool DatePicker::focusNextPrevChild(bool next) { return QWidget::focusNextPrevChild(next); }

void DatePicker::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        const int to = currentSectionIndex() + (event->key() == Qt::Key_Right ? 1 : -1);
        if (to >= 0 && to < sectionCount()) {
            setCurrentSectionIndex(to);
            setSelectedSection(sectionAt(to));
        }
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {  // the dialog's cancel, not the box's
        event->ignore();
        return;
    }
    QDateEdit::keyPressEvent(event);
}
