#include "gui/common/WheelGuard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>

namespace {

bool takesValueByWheel(QObject* o) {
    return qobject_cast<QAbstractSpinBox*>(o) != nullptr || qobject_cast<QComboBox*>(o) != nullptr;
}

// Qt gives these controls the focus on a wheel turn, and the value changes with it.
void keepFocusFromWheel(QObject* o) {
    if (!takesValueByWheel(o)) return;
    auto* w = static_cast<QWidget*>(o);
    if ((w->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus) w->setFocusPolicy(Qt::StrongFocus);
}

class WheelGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Polish:
            keepFocusFromWheel(watched);
            break;
        case QEvent::Wheel:
            if (takesValueByWheel(watched) && !static_cast<QWidget*>(watched)->hasFocus()) {
                // Not taken: the application hands an ignored wheel event on to the parent.
                event->ignore();
                return true;
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void InstallWheelGuard() {
    static WheelGuard* guard = nullptr;
    if (guard || !qApp) return;
    guard = new WheelGuard(qApp);
    qApp->installEventFilter(guard);
    for (QWidget* w : QApplication::allWidgets()) keepFocusFromWheel(w);
}
