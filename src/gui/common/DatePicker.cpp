#include "gui/common/DatePicker.h"

#include <QKeyEvent>

#include "core/data/Records.h"

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent) {
    connect(this, &QDateEdit::dateChanged, this, [this] { showFormat(); });
}

void DatePicker::setDateFormat(const QString& format) {
    format_ = format;
    withoutYear_ = DateFormatWithoutYear(format);
    showFormat();
}

void DatePicker::showFormat() {
    if (format_.isEmpty()) return;
    const QString& shown = YearUnknown(date()) && !hasFocus() ? withoutYear_ : format_;
    if (displayFormat() != shown) setDisplayFormat(shown);
}

void DatePicker::focusInEvent(QFocusEvent* event) {
    QDateEdit::focusInEvent(event);
    showFormat();
}

void DatePicker::focusOutEvent(QFocusEvent* event) {
    QDateEdit::focusOutEvent(event);
    showFormat();
}

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
