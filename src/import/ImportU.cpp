#include "import/ImportU.h"

TImport::TImport(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Import Format"));
}
