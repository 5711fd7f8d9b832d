#pragma once
// A frame drawn in the highlight colour round a widget while it has the keyboard focus, for
// widgets whose style shows no focus of their own (the names list), and for the controls of a
// dialog whose focus moves by Enter, which the style does not take for a keyboard move. It lies
// over the widget's edge, takes no mouse events and follows the widget's size.

#include <QWidget>

class FocusMark : public QWidget {
    Q_OBJECT
public:
    // Watches `target` and becomes its child; goes with it.
    explicit FocusMark(QWidget* target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* target_;
};

// Gives every control of `window` that Tab reaches a FocusMark. Call once its controls are made.
void MarkFocusOfControls(QWidget* window);
