#include "gui/common/FocusReturn.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace {

bool isShownWindow(const QWidget* w) {
    if (!w || !w->isWindow() || !w->isVisible()) return false;
    const Qt::WindowType type = w->windowType();
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen;
}

QWidget* mainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->parentWidget() && isShownWindow(w)) return w;
    return nullptr;
}

// The windows a closed one belonged to, nearest first. Kept as guarded pointers: the closed
// dialog and its owner may both be gone by the time the activation is handed back.
std::vector<QPointer<QWidget>> ownersOf(const QWidget* closed) {
    std::vector<QPointer<QWidget>> owners;
    for (QWidget* p = closed->parentWidget(); p; p = p->parentWidget())
        if (p->isWindow()) owners.emplace_back(p);
    return owners;
}

void handBack(const std::vector<QPointer<QWidget>>& owners) {
    const QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible()) return;  // the window system has given it to one of ours
    QWidget* target = QApplication::activeModalWidget();
    for (const QPointer<QWidget>& owner : owners) {
        if (target) break;
        if (isShownWindow(owner)) target = owner;
    }
    if (!target) target = mainWindow();
    if (target) target->activateWindow();
}

class FocusReturn : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A window the program hides itself (not one the user minimises): once the window
        // system has had its say, the activation goes back if it went nowhere.
        if (event->type() == QEvent::Hide && !event->spontaneous() && watched->isWidgetType()) {
            const auto* w = static_cast<QWidget*>(watched);
            const Qt::WindowType type = w->windowType();
            if (w->isWindow() && type != Qt::Popup && type != Qt::ToolTip)
                QTimer::singleShot(0, this, [owners = ownersOf(w)] { handBack(owners); });
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void InstallFocusReturn() {
    static FocusReturn* rule = nullptr;
    if (rule || !qApp) return;
    rule = new FocusReturn(qApp);
    qApp->installEventFilter(rule);
}

QWidget* OwnerWindow() {
    if (QWidget* active = QApplication::activeWindow(); isShownWindow(active)) return active;
    if (QWidget* modal = QApplication::activeModalWidget(); isShownWindow(modal)) return modal;
    return mainWindow();
}
