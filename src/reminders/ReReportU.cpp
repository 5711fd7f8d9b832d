#include "reminders/ReReportU.h"

TREReport::TREReport(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("REReport"));
}
