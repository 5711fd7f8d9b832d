#pragma once
// The admin tool's "labels" command: a label run printed into a PDF file, for scripting and for
// checking a stock's layout without a printer.
//
//   merrowby-admin labels DIR --occasion N [--from YYYY-MM-DD --to YYYY-MM-DD] [--stock NAME]
//                         [--start COL,ROW] [--pdf FILE [--paper SIZE] | --printer NAME]
//                         [--outlines] [--preview-png DIR [--pages A-B]] [--households]
//
// N is 1 to 8 as on the occasions page (9, the recipients picked by hand, needs the window).
// The span (occasion 8 only; default the current month) is inclusive at both ends. The stock is
// the one named (blanks at the ends ignored), else the one last chosen for printing, else the
// first in name order. The PDF is at 300 dots per inch on the paper named (A4, Letter, Legal, ...)
// or else the system's default paper; pages are written as they fill, so a run of any length
// needs little memory. --printer prints on a printer of the system instead, moved by the
// correction stored for it (calibrate). --outlines adds the stock's label outlines in light grey.
// --preview-png writes page-N.png (100 pixels per inch) of the pages asked for, drawn as the
// preview window draws them; each page is laid out by streaming the run up to it. Given alone
// it prints nothing. --households prints one label per household (core/households/Households.h).
// The label font is the stored preference.

#include <QStringList>

// Returns 0 on success (the count of labels on standard output), 2 for bad arguments, 1 when
// the run fails (no stock, a stock that cannot be laid out, a file that cannot be written).
int AdminLabels(const QStringList& args);

inline constexpr const char* kAdminLabelsUsage =
    "merrowby-admin labels DIR --occasion N [--from YYYY-MM-DD --to YYYY-MM-DD] [--stock NAME] "
    "[--start COL,ROW] [--pdf FILE [--paper A4|Letter|Legal] | --printer NAME] [--outlines] "
    "[--preview-png DIR [--pages A-B]] [--households]";
