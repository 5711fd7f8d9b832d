// Contact import of a 100,000-line comma-separated file (the generator's seed-1 rows, twelve
// text columns, some fields quoted) into an empty address book with its index maintained, as
// the import dialog's Import button runs it. Each iteration starts from a fresh data set.
//
//   bench_import                         (MERROWBY_BENCH_ROWS overrides 100000)
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <string>

#include "AddressGen.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/import/ImportRun.h"
#include "xbase/Library.h"

namespace {

uint32_t lineCount() {
    const QByteArray v = qgetenv("MERROWBY_BENCH_ROWS");
    return v.isEmpty() ? 100000u : uint32_t(v.toUInt());
}

std::string csvFile() {
    const std::string path =
        (QDir::tempPath() + "/merrowby-bench-import-").toStdString() + std::to_string(lineCount()) + ".csv";
    if (std::filesystem::exists(path)) return path;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    addrgen::Gen g(1);
    for (uint32_t i = 0; i < lineCount(); ++i) {
        auto r = g.row();
        std::string line;
        for (int c = 0; c < 12; ++c) {
            if (c) line += ',';
            const std::string& v = r[size_t(c)];
            if (v.find(',') != std::string::npos || c == 2) line += '"' + v + '"';
            else line += v;
        }
        line += "\r\n";
        std::fwrite(line.data(), 1, line.size(), f);
    }
    std::fclose(f);
    return path;
}

void BM_ImportFile(benchmark::State& state) {
    const QString csv = QString::fromStdString(csvFile());
    TImportRecord layout;
    int32_t* p[12] = {&layout.fFirst, &layout.fLast,    &layout.fStreet, &layout.fStreet2,
                      &layout.fCity,  &layout.fState,   &layout.fZip,    &layout.fCountry,
                      &layout.fEmail, &layout.fPhone,   &layout.fFax,    &layout.fMobile};
    for (int i = 0; i < 12; ++i) *p[i] = i + 1;
    int added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp;
        const std::string dir = tmp.path().toStdString() + "/data";
        if (!CreateDataSet(dir).ok()) std::abort();
        xbase::Library lib;
        lib.setDirectory(dir);
        LibHandle = &lib;
        int statusCalls = 0;
        ImportOptions options;
        options.status = [&](const QString&) { ++statusCalls; };
        state.ResumeTiming();

        const ImportOutcome out = RunImport(csv, layout, options);

        state.PauseTiming();
        added = out.namesAdded;
        if (out.status.failed()) state.SkipWithError(out.status.reason.toStdString().c_str());
        state.counters["status_updates"] = statusCalls;
        lib.closeAll();
        LibHandle = nullptr;
        state.ResumeTiming();
    }
    state.counters["names_added"] = added;
}
BENCHMARK(BM_ImportFile)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
