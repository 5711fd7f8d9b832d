#include "labels/PickLabelU.h"

TPickLab::TPickLab(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("PickLab"));
}
