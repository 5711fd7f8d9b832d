// Contacts in and out on a 100,000-name book (the generator's seed-1 rows):
//   BM_ExportVCard / BM_ExportCsv   the whole book to a file, in name order
//   BM_ImportVCard / BM_ImportCsv   those files into an empty book, index maintained, duplicates
//                                   checked, as `merrowby-admin import DIR FILE --detect` runs it
// The round trip is checked on the way: every name exported comes back.
//
//   bench_contacts                      (MERROWBY_BENCH_ROWS overrides 100000)
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <string>

#include "BenchBook.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/import/ContactExport.h"
#include "core/import/ContactFormats.h"
#include "xbase/Library.h"

namespace {

uint32_t rowCount() {
    const QByteArray v = qgetenv("MERROWBY_BENCH_ROWS");
    return v.isEmpty() ? 100000u : uint32_t(v.toUInt());
}

std::string bookDir() {
    const std::string dir =
        (QDir::tempPath() + "/merrowby-bench-contacts-").toStdString() + std::to_string(rowCount());
    MakeGeneratedBook(dir, rowCount());
    return dir;
}

QString exportFile(ExportFormat f) {
    return QDir::tempPath() + QStringLiteral("/merrowby-bench-contacts-%1.%2")
                                  .arg(rowCount())
                                  .arg(f == ExportFormat::VCard ? "vcf" : "csv");
}

void exportBook(benchmark::State& state, ExportFormat format) {
    const std::string dir = bookDir();
    xbase::Library lib;
    lib.setDirectory(dir);
    LibHandle = &lib;
    int written = 0;
    for (auto _ : state) {
        ExportOptions o;
        o.format = format;
        const ExportOutcome out = ExportContacts(exportFile(format), o);
        if (out.status.failed()) state.SkipWithError(out.status.reason.toStdString().c_str());
        written = out.written;
    }
    lib.closeAll();
    LibHandle = nullptr;
    state.counters["contacts"] = written;
}

void importFile(benchmark::State& state, ExportFormat format) {
    const QString file = exportFile(format);
    if (!QFileInfo::exists(file)) {
        state.SkipWithError("run the export benchmark first (it writes the file)");
        return;
    }
    int added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp;
        const std::string dir = tmp.path().toStdString() + "/data";
        if (!CreateDataSet(dir).ok()) std::abort();
        xbase::Library lib;
        lib.setDirectory(dir);
        LibHandle = &lib;
        state.ResumeTiming();

        const DetectedImportOutcome out = RunDetectedImport(file);

        state.PauseTiming();
        if (out.status.failed()) state.SkipWithError(out.status.reason.toStdString().c_str());
        added = out.added + out.duplicatesSkipped;
        lib.closeAll();
        LibHandle = nullptr;
        state.ResumeTiming();
    }
    if (added != int(rowCount())) state.SkipWithError("not every exported name came back");
    state.counters["contacts"] = added;
}

void BM_ExportVCard(benchmark::State& s) { exportBook(s, ExportFormat::VCard); }
void BM_ExportCsv(benchmark::State& s) { exportBook(s, ExportFormat::Csv); }
void BM_ImportVCard(benchmark::State& s) { importFile(s, ExportFormat::VCard); }
void BM_ImportCsv(benchmark::State& s) { importFile(s, ExportFormat::Csv); }
BENCHMARK(BM_ExportVCard)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImportVCard)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
