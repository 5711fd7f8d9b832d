#include "reminders/DateSpanU.h"

TDateSpan::TDateSpan(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("DateSpan"));
}
