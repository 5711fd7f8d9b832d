#include "labels/LabSelU.h"

TLabSel::TLabSel(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Selected Labels"));
}
