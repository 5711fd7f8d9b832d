#include "backup/DriveDirU.h"

TDriveDir::TDriveDir(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("DriveDir"));
}
