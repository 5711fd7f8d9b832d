#include "labels/LabPrintU.h"

TLabPrint::TLabPrint(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Print Labels"));
}
