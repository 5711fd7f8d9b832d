#include "gui/common/FocusMark.h"

#include <QEvent>
#include <QPainter>

FocusMark::FocusMark(QWidget* target) : QWidget(target), target_(target) {
    setObjectName(QStringLiteral("FocusMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(target->rect());
    setVisible(target->hasFocus());
    target->installEventFilter(this);
}

bool FocusMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched == target_) {
        switch (event->type()) {
        case QEvent::FocusIn:
            setGeometry(target_->rect());
            raise();
            show();
            break;
        case QEvent::FocusOut:
            hide();
            break;
        case QEvent::Resize:
            setGeometry(target_->rect());
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusMark::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight));
    pen.setWidth(2);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void MarkFocusOfControls(QWidget* window) {
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // A control that hands its focus on (the text of a drop-down) is marked through the one
        // that takes it.
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && !w->findChild<FocusMark*>())
            new FocusMark(w);
    }
}
