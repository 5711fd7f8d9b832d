#include "gui/common/Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void CentreOnScreen(QWidget* w) {
    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // The same request every time: the client area's place, worked out from its size alone.
    // Once a dialog has been shown the toolkit adds the frame it knows to a frame-relative move,
    // and some window managers add the title bar again, so each showing came up lower; a
    // client-area request is treated alike on the first showing and every later one.
    QRect r(QPoint(0, 0), w->size());
    r.moveCenter(screen->availableGeometry().center());
    w->setGeometry(r);
}
