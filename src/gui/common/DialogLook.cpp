#include "gui/common/DialogLook.h"

#include <QPalette>
#include <QWidget>

void FillBackground(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, colour);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

QFont BoldFont(const QWidget* widget) {
    QFont bold = widget->font();
    bold.setBold(true);
    return bold;
}
