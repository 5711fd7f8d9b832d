#pragma once
// merrowby-admin calibrate: stores or shows a printer's correction (Printers.dbf).

#include <QStringList>

inline constexpr const char* kAdminCalibrateUsage =
    "merrowby-admin calibrate DIR --printer NAME --dx PT --dy PT [--scale S]\n"
    "  merrowby-admin calibrate DIR --printer NAME --show";

int AdminCalibrate(const QStringList& args);
