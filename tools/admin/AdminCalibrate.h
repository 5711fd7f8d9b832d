#pragma once
// merrowby-admin calibrate: stores or shows a printer's correction (Printers.dbf), writes the
// calibration sheet into a PDF, and works the correction out of the four distances measured on it.

#include <QStringList>

inline constexpr const char* kAdminCalibrateUsage =
    "merrowby-admin calibrate DIR --printer NAME --dx PT --dy PT [--scale S]\n"
    "  merrowby-admin calibrate DIR --printer NAME --show\n"
    "  merrowby-admin calibrate DIR --sheet FILE.pdf [--paper A4|Letter|Legal]\n"
    "  merrowby-admin calibrate DIR --measured AX,AY,BX,BY --unit mm|in --printer NAME";

int AdminCalibrate(const QStringList& args);
