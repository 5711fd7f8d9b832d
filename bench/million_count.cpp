// The count a label run shows before its print options (CountRecipients), timed in process on a
// data folder: the work behind "click an occasion, the dialog appears" without the windows.
//
//   million_count DIR OCCASION [RUNS]     prints the count and each run's seconds
//
// bench/million.sh compiles it against the core library of each build it compares, so it uses
// only what both offer.
#include <QCoreApplication>
#include <QDate>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "core/data/Globals.h"
#include "core/labels/LabelGen.h"
#include "xbase/Library.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: million_count DIR OCCASION [RUNS]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    xbase::Library lib;
    lib.setDirectory(argv[1]);
    LibHandle = &lib;
    const int occasion = std::atoi(argv[2]);
    const int runs = argc > 3 ? std::atoi(argv[3]) : 1;
    // Occasion 8 counts the dated entries of March.
    const QDate from(2026, 3, 1), to(2026, 3, 31);
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const int count = CountRecipients(occasion, from, to);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%d %.4f\n", count, s);
    }
    LibHandle = nullptr;
    return 0;
}
