#pragma once
// The look the program's dialogs share: a background filled in one of two colours behind the
// controls, and captions in the dialog's own face made bold.

#include <QColor>
#include <QFont>

class QWidget;

// The light grey of the print options, the selection, the stock picker and the import dialog.
inline QColor DialogGrey() { return QColor(220, 225, 226); }
// The cream of the label definition, the date span and the import's layout panel.
inline QColor DialogCream() { return QColor(254, 242, 194); }

// Fills `widget` with `colour` behind its children.
void FillBackground(QWidget* widget, const QColor& colour);
// The face of `widget`, bold: a dialog's captions.
QFont BoldFont(const QWidget* widget);
// Bold and nothing else: captions set in it follow their window's face and size when those change.
inline QFont BoldWeight() {
    QFont bold;
    bold.setBold(true);
    return bold;
}
