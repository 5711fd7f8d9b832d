// Label preview of a long run, in the order the preview window works: page 1 (the run streamed
// through a page capture up to that page), the count of the run's pages (the whole run once),
// then the last page; each timed, with the process's peak resident set.
//
//   bench_preview [N ...]     (default 100000 labels on a 30-per-sheet stock)
#include <sys/resource.h>

#include <QGuiApplication>
#include <chrono>
#include <cstdio>

#include "core/labels/LabelGen.h"
#include "core/labels/PageCapture.h"
#include "RecordingPrinter.h"

namespace {

TLabelRecord Stock() {
    TLabelRecord s;
    s.Name = QStringLiteral("US Letter 1 x 2-5/8 in, 30 per sheet");
    s.TopM = 36; s.LeftM = 13.5; s.BottomM = 36; s.RightM = 13.5;
    s.Width = 189; s.Height = 72; s.HGap = 9; s.VGap = 0; s.nAcross = 3; s.Continuous = false;
    return s;
}

void Run(Printer& p, long n) {
    QFont f(QStringLiteral("Sans"));
    f.setPointSize(10);
    LabelSheet sheet(p, Stock(), f, 1, 1);
    bool pending = false;
    for (long i = 0; i < n && !sheet.failed(); ++i)
        pending = sheet.PlaceLabel(AddressBlock{QString("Recipient %1").arg(i), "12 Harbour Road", "",
                                                "Dover, DE  19901", ""});
    sheet.finish(pending);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
    if (sizes.empty()) sizes = {100000};
    RecordingPrinter metrics;
    for (long n : sizes) {
        int pages = 0;
        const auto step = [&](const char* what, int page, bool stop) {
            const auto t0 = std::chrono::steady_clock::now();
            PageCapture capture(metrics, page);
            if (stop) capture.stopAfterWanted();
            Run(capture, n);
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            if (!stop) pages = capture.pages();
            rusage ru{};
            getrusage(RUSAGE_SELF, &ru);
            std::printf("labels %ld  %-10s page %d  texts %zu  %.2f ms  peak RSS %.1f MB\n", n, what, page,
                        capture.texts().size(), ms, ru.ru_maxrss / 1024.0);
        };
        step("first", 1, true);
        step("count", 0, false);
        std::printf("labels %ld  %d pages\n", n, pages);
        step("last", pages, true);
    }
    return 0;
}
