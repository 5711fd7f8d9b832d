#include "labels/LabelDefU.h"

TLabelDef::TLabelDef(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Label Definition"));
}
