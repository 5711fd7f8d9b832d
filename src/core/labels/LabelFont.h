#pragma once
// The label font: the design font of the program's windows, with the face and size the user
// stored in the settings row.

#include <QString>

// The main window's design font: its face is replaced by the label font's face at start-up.
inline constexpr const char* kDesignFontFamily = "MS Sans Serif";
inline constexpr int kDesignFontPoints = 8;

// LabelFont := the design font ("MS Sans Serif", 8 points) with the stored face (FontName,
// trimmed) and size (FontSize, when above 0) of SettingsRec.
void ApplyLabelFontPreference();

// Makes the design font's face, which Linux lacks, render with the nearest installed
// sans-serif face; the name itself is kept. Returns the face used. Idempotent.
QString InstallFontSubstitutes();
