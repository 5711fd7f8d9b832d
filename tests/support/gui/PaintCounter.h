#pragma once
// Counts the paint events of the widgets it is installed on as an event filter: whether a window
// was drawn before something else happened.

#include <QEvent>
#include <QObject>

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};
