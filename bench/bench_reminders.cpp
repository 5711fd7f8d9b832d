// Reminder runs over a 100,000-name book (the generator's seed-1 rows, made once under the temp
// directory): from the click to the viewer painted on screen, that is the scan in name order,
// the report document, and showing the maximised viewer. Also the two halves on their own.
//
//   bench_reminders [--benchmark_filter=...]      (MERROWBY_BENCH_ROWS overrides 100000)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTextDocument>
#include <QPlainTextEdit>
#include <filesystem>
#include <string>

#include "AddressGen.h"
#include "BenchBook.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "gui/reminders/REReport.h"
#include "core/reminders/ReminderGen.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace fs = std::filesystem;

namespace {

uint32_t bookRows() {
    const QByteArray v = qgetenv("MERROWBY_BENCH_ROWS");
    return v.isEmpty() ? 100000u : uint32_t(v.toUInt());
}

// A data set whose address book holds bookRows() generated names, made once and kept.
std::string bookDir() {
    const std::string dir = (QDir::tempPath() + "/merrowby-bench-reminders/book").toStdString() +
                            std::to_string(bookRows());
    MakeGeneratedBook(dir, bookRows());
    return dir;
}

void useBook() {
    if (LibHandle) return;
    LibHandle = new xbase::Library();
    LibHandle->setDirectory(bookDir());
}

// Occasion 7 (about half the rows flagged); occasion 8 over one month (the dialog's default
// span) and over the whole year: there every flagged dated entry qualifies, about two lines per
// row, the largest report the book can give.
const QDate kYearStart(2026, 1, 1), kYearEnd(2026, 12, 31);
const QDate kMonthStart(2026, 3, 1), kMonthEnd(2026, 3, 31);

void BM_ReminderRunToViewerShown(benchmark::State& state) {
    useBook();
    const int occasion = int(state.range(0));
    const bool wholeYear = state.range(1) != 0;
    TREReport viewer;
    qsizetype lines = 0;
    for (auto _ : state) {
        QStringList entries;
        (void)CollectReminderLines(occasion, wholeYear ? kYearStart : kMonthStart,
                                   wholeYear ? kYearEnd : kMonthEnd, entries);
        WriteReminderReport(*viewer.document(), "Bench", entries);
        viewer.showMaximized();
        QApplication::processEvents();
        viewer.RichEdit1->viewport()->repaint();
        lines = entries.size();
        state.PauseTiming();
        viewer.hide();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["lines"] = double(lines);
    state.counters["rows"] = double(bookRows());
}
BENCHMARK(BM_ReminderRunToViewerShown)
    ->Args({7, 0})
    ->Args({8, 0})
    ->Args({8, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScanOnly(benchmark::State& state) {
    useBook();
    for (auto _ : state) {
        QStringList entries;
        (void)CollectReminderLines(int(state.range(0)), kYearStart, kYearEnd, entries);
        benchmark::DoNotOptimize(entries);
    }
}
BENCHMARK(BM_ScanOnly)->Arg(7)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(3);

// The bare walk in name order, for comparison: open, skip to the end, close.
void BM_WalkOnly(benchmark::State& state) {
    useBook();
    for (auto _ : state) {
        if (!OpenAddrBook()) {
            state.SkipWithError("AddrBook cannot be opened");
            break;
        }
        long n = 0;
        while (LastStatus == 0) {
            ++n;
            LastStatus = AddrBookTable->skip(1);
        }
        (void)CloseTable(AddrBookTable);  // read only
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_WalkOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DocumentOnly(benchmark::State& state) {
    useBook();
    QStringList entries;
    (void)CollectReminderLines(8, kYearStart, kYearEnd, entries);
    QTextDocument doc;
    for (auto _ : state) WriteReminderReport(doc, "Bench", entries);
    state.counters["lines"] = double(entries.size());
}
BENCHMARK(BM_DocumentOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete LibHandle;
    LibHandle = nullptr;
    return 0;
}
