#pragma once
// The admin tool's "labels" command: a label run printed into a PDF file, for scripting and for
// checking a stock's layout without a printer.
//
//   merrowby-admin labels DIR --occasion N [--from YYYY-MM-DD --to YYYY-MM-DD] [--stock NAME]
//                         [--start COL,ROW] --pdf FILE
//
// N is 1 to 8 as on the occasions page (9, the recipients picked by hand, needs the window).
// The span (occasion 8 only; default the current month) is inclusive at both ends. The stock is
// the one named (blanks at the ends ignored), else the one last chosen for printing, else the
// first in name order. The PDF is US Letter at 300 dots per inch; pages are written as they
// fill, so a run of any length needs little memory. The label font is the stored preference.

#include <QStringList>

// Returns 0 on success (the count of labels on standard output), 2 for bad arguments, 1 when
// the run fails (no stock, a stock that cannot be laid out, a file that cannot be written).
int AdminLabels(const QStringList& args);

inline constexpr const char* kAdminLabelsUsage =
    "merrowby-admin labels DIR --occasion N [--from YYYY-MM-DD --to YYYY-MM-DD] [--stock NAME] "
    "[--start COL,ROW] --pdf FILE";
