// Table engine benchmarks on a 1,000,000-row address table (rows of the project's synthetic
// address generator: seed 1 the book, seed 2 rows to append, seed 3 surnames to seek).
//
//   build/bench/bench_xbase --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
//
// Files live in $MERROWBY_BENCH_DIR (default /tmp/merrowby-bench); each benchmark prepares what it
// needs outside the timed part. Set MERROWBY_BENCH_ROWS for a smaller book.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "AddressGen.h"
#include "xbase/Library.h"

namespace fs = std::filesystem;
using namespace xbase;

namespace {

uint32_t bookRows() {
    const char* e = std::getenv("MERROWBY_BENCH_ROWS");
    return e ? uint32_t(std::atoi(e)) : 1000000u;
}

std::string benchDir() {
    const char* e = std::getenv("MERROWBY_BENCH_DIR");
    std::string d = e ? e : "/tmp/merrowby-bench";
    fs::create_directories(d);
    return d;
}

std::vector<FieldSpec> addressFields() {
    return {{"First", 'C', 20, 0},     {"Last", 'C', 20, 0},      {"Street", 'C', 40, 0},
            {"Street2", 'C', 40, 0},   {"City", 'C', 20, 0},      {"State", 'C', 2, 0},
            {"Zip", 'C', 10, 0},       {"Country", 'C', 35, 0},   {"email", 'C', 60, 0},
            {"phone", 'C', 24, 0},     {"fax", 'C', 24, 0},       {"mobile", 'C', 24, 0},
            {"Birthdate", 'D', 8, 0},  {"Annavdate", 'D', 8, 0},  {"Other1Date", 'D', 8, 0},
            {"Other2Date", 'D', 8, 0}, {"Birthday", 'L', 1, 0},   {"Annav", 'L', 1, 0},
            {"Valentine", 'L', 1, 0},  {"Mother", 'L', 1, 0},     {"Father", 'L', 1, 0},
            {"Secretary", 'L', 1, 0},  {"Halloween", 'L', 1, 0},  {"ThanksGiv", 'L', 1, 0},
            {"Christmas", 'L', 1, 0},  {"Other1", 'L', 1, 0},     {"Other2", 'L', 1, 0}};
}

// Appends n generated rows; fields are looked up once.
void appendRows(Table* t, uint64_t seed, uint32_t n) {
    addrgen::Gen g(seed);
    std::vector<Field*> f;
    for (size_t i = 0; i < t->fieldCount(); ++i) f.push_back(t->fieldAt(i));
    for (uint32_t i = 0; i < n; ++i) {
        auto r = g.row();
        t->appendBlank();
        for (int c = 0; c < addrgen::ColumnCount; ++c) f[size_t(c)]->assign(r[size_t(c)]);
    }
}

void removeSet(const std::string& dir, const std::string& base) {
    for (const char* ext : {".dbf", ".cgp"}) fs::remove(dir + "/" + base + ext);
    fs::remove(dir + "/Address.ntx");
}

// The base book with its index, made once per process.
const std::string& baseBook() {
    static std::string dir;
    if (!dir.empty()) return dir;
    dir = benchDir() + "/base";
    fs::create_directories(dir);
    if (!fs::exists(dir + "/AddrBook.dbf") || !fs::exists(dir + "/Address.ntx")) {
        removeSet(dir, "AddrBook");
        Library lib;
        lib.setDirectory(dir);
        lib.setSyncOnFlush(false);
        Table* t = lib.create("AddrBook", addressFields());
        appendRows(t, 1, bookRows());
        t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}});
        t->close();
    }
    return dir;
}

void copyBook(const std::string& from, const std::string& to) {
    fs::create_directories(to);
    for (const char* f : {"AddrBook.dbf", "AddrBook.cgp", "Address.ntx"})
        fs::copy_file(from + "/" + f, to + "/" + f, fs::copy_options::overwrite_existing);
}

void reportRss(benchmark::State& state) {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    state.counters["maxrss_MB"] = double(ru.ru_maxrss) / 1024.0;
}

void BM_Append_NoIndex(benchmark::State& state) {
    const std::string dir = benchDir() + "/append";
    fs::create_directories(dir);
    for (auto _ : state) {
        state.PauseTiming();
        removeSet(dir, "AddrBook");
        Library lib;
        lib.setDirectory(dir);
        state.ResumeTiming();
        Table* t = lib.create("AddrBook", addressFields());
        appendRows(t, 1, bookRows());
        t->close();
    }
    reportRss(state);
}

// Builds and packs sync the files they write when the library syncs (the program's setting);
// the plain figures leave the syncs out, the *_Synced ones show what they add.
void BM_BuildIndex(benchmark::State& state) {
    const std::string& base = baseBook();
    Library lib;
    lib.setDirectory(base);
    lib.setSyncOnFlush(state.range(0) != 0);
    lib.setAutoOpen(false);
    lib.setSafety(false);
    Table* t = lib.open("AddrBook");
    for (auto _ : state) {
        if (t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}) != kOk) state.SkipWithError("createIndex failed");
    }
    t->close();
    reportRss(state);
}

void BM_Append_Indexed(benchmark::State& state) {
    const std::string dir = benchDir() + "/indexed";
    for (auto _ : state) {
        state.PauseTiming();
        copyBook(baseBook(), dir);
        Library lib;
        lib.setDirectory(dir);
        Table* t = lib.open("AddrBook");
        t->selectTag(t->tag("Address"));
        state.ResumeTiming();
        appendRows(t, 2, 100000);
        t->close();
    }
    reportRss(state);
}

void BM_Seek(benchmark::State& state) {
    Library lib;
    lib.setDirectory(baseBook());
    Table* t = lib.open("AddrBook");
    t->selectTag(t->tag("Address"));
    addrgen::Gen g(3);
    std::vector<std::string> names;
    for (int i = 0; i < 100000; ++i) names.push_back(g.upperSurname());
    int64_t found = 0;
    for (auto _ : state)
        for (const auto& n : names) found += t->seek(n) != kEof;
    state.counters["found"] = double(found) / double(state.iterations());
    t->close();
    reportRss(state);
}

void BM_ScanIndexOrder(benchmark::State& state) {
    // The book plus the 100,000 appended rows (1,100,000 at full size).
    const std::string dir = benchDir() + "/scan";
    static bool made = false;
    if (!made) {
        made = true;
        copyBook(baseBook(), dir);
        Library lib;
        lib.setDirectory(dir);
        lib.setSyncOnFlush(false);
        Table* t = lib.open("AddrBook");
        appendRows(t, 2, bookRows() / 10);
        t->close();
    }
    Library lib;
    lib.setDirectory(dir);
    Table* t = lib.open("AddrBook");
    t->selectTag(t->tag("Address"));
    Field* flag = t->field("Christmas");
    for (auto _ : state) {
        int64_t rows = 0, set = 0;
        for (int rc = t->top(); rc == kOk; rc = t->skip(1)) {
            ++rows;
            set += flag->isTrue();
        }
        state.counters["rows"] = double(rows);
        benchmark::DoNotOptimize(set);
    }
    t->close();
    reportRss(state);
}

void BM_Pack(benchmark::State& state) {
    const std::string dir = benchDir() + "/pack";
    for (auto _ : state) {
        state.PauseTiming();
        copyBook(benchDir() + "/scan", dir);
        Library lib;
        lib.setDirectory(dir);
        lib.setSyncOnFlush(false);
        Table* t = lib.open("AddrBook");
        t->selectTag(t->tag("Address"));
        for (uint32_t r = 10; r <= t->recCount(); r += 10) {
            t->go(r);
            t->markDeleted();
        }
        t->flush();
        lib.setSyncOnFlush(state.range(0) != 0);
        ::sync();  // the table as a program finds it: written out long ago, still cached
        state.ResumeTiming();
        if (t->pack() != kOk) state.SkipWithError("pack failed");
        t->close();
    }
    reportRss(state);
}

void BM_FlushOneRowSynced(benchmark::State& state) {
    const std::string dir = benchDir() + "/sync";
    copyBook(baseBook(), dir);
    Library lib;
    lib.setDirectory(dir);
    Table* t = lib.open("AddrBook");
    t->selectTag(t->tag("Address"));
    t->top();
    Field* city = t->field("City");
    int i = 0;
    for (auto _ : state) {
        city->assign((i++ & 1) ? "Salem" : "Dover");
        t->flush();
    }
    t->close();
}

}  // namespace

BENCHMARK(BM_Append_NoIndex)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(0);
BENCHMARK(BM_BuildIndex)->Name("BM_BuildIndex_Synced")->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(1);
BENCHMARK(BM_Append_Indexed)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Seek)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ScanIndexOrder)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(0);
BENCHMARK(BM_Pack)->Name("BM_Pack_Synced")->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(1);
BENCHMARK(BM_FlushOneRowSynced)->Unit(benchmark::kMicrosecond)->Iterations(200);

BENCHMARK_MAIN();
