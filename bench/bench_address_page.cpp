// The "Address Book" page on a 100,000-name book (rows of the project's synthetic generator,
// seed 1; seek texts from seed 3): showing the page, one seek keystroke, saving one record
// (which rebuilds the whole list) and deleting one record (pack included), plus the memory the
// shown page holds.
//
//   build/bench/bench_address_page
//
// Files live in $MERROWBY_BENCH_DIR/addrpage (default /tmp/merrowby-bench/addrpage); the book is
// made once and copied to a working directory per run. MERROWBY_BENCH_ROWS sets another size.

#include <QApplication>
#include <QLineEdit>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "AddressGen.h"
#include "BenchBook.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "gui/addressbook/AddressPage.h"
#include "gui/shell/Quenlow.h"
#include "core/data/DataFiles.h"
#include "xbase/Library.h"

namespace fs = std::filesystem;

namespace {

uint32_t bookRows() {
    const char* e = std::getenv("MERROWBY_BENCH_ROWS");
    return e ? uint32_t(std::atoi(e)) : 100000u;
}

std::string benchDir() {
    const char* e = std::getenv("MERROWBY_BENCH_DIR");
    std::string d = std::string(e ? e : "/tmp/merrowby-bench") + "/addrpage";
    fs::create_directories(d);
    return d;
}

const char* const kBookFiles[] = {"AddrBook.dbf", "AddrBook.cgp", "Address.ntx",
                                  "LABELS.dbf",   "LABELS.cgp",   "Labels.ntx",
                                  "Mrby1.dbf",    "importf.dbf"};

// A full data set whose address book holds bookRows() generated names, made once.
std::string baseSet() {
    const std::string dir = benchDir() + "/base" + std::to_string(bookRows());
    MakeGeneratedBook(dir, bookRows());
    return dir;
}

// A fresh working copy of the base set, with LibHandle pointing at it.
void freshBook() {
    const std::string from = baseSet();
    const std::string to = benchDir() + "/work";
    fs::create_directories(to);
    for (const char* f : kBookFiles)
        fs::copy_file(from + "/" + f, to + "/" + f, fs::copy_options::overwrite_existing);
    delete LibHandle;
    LibHandle = new xbase::Library();
    LibHandle->setDirectory(to);
}

double residentMB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Resident memory the page adds by listing the book (and keeping it open).
void BM_PageMemory(benchmark::State& state) {
    freshBook();
    {
        // Qt's one-time costs of a first shown window (fonts, style) are not the page's.
        AddressPage warmUp;
        warmUp.show();
        QApplication::processEvents();
    }
    double before = 0, opened = 0, after = 0, list = 0;
    for (auto _ : state) {
        before = residentMB();
        if (!OpenAddrBook()) {  // what the engine alone holds for an open book
            state.SkipWithError("AddrBook cannot be opened");
            break;
        }
        opened = residentMB();
        (void)CloseTable(AddrBookTable);  // read only
        auto* page = new AddressPage();
        page->show();
        page->TabSheet2Show();
        QApplication::processEvents();
        after = residentMB();
        list = double(page->listModel()->heapBytes()) / (1024.0 * 1024.0);
        page->TabSheet2Hide();
        delete page;
    }
    state.counters["page_MB"] = after - before;
    state.counters["open_table_MB"] = opened - before;
    state.counters["list_arrays_MB"] = list;
}
BENCHMARK(BM_PageMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ShowPage(benchmark::State& state) {
    freshBook();
    AddressPage page;
    page.show();
    for (auto _ : state) {
        page.TabSheet2Show();
        QApplication::processEvents();  // paint the list
        state.PauseTiming();
        page.TabSheet2Hide();
        state.ResumeTiming();
    }
    state.counters["rows"] = page.listModel()->rowCount();
}
BENCHMARK(BM_ShowPage)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SeekKeystroke(benchmark::State& state) {
    freshBook();
    AddressPage page;
    page.show();
    page.TabSheet2Show();
    auto* seek = page.findChild<QLineEdit*>(QStringLiteral("Edit13"));
    addrgen::Gen g(3);
    std::string target = g.upperSurname();
    size_t typed = 0;
    for (auto _ : state) {
        // One keystroke: the seek text grows by a letter; a finished name starts the next.
        if (typed == target.size()) {
            target = g.upperSurname();
            typed = 0;
        }
        ++typed;
        seek->setText(QString::fromStdString(target.substr(0, typed)));
    }
    page.TabSheet2Hide();
}
BENCHMARK(BM_SeekKeystroke)->Unit(benchmark::kMicrosecond)->Iterations(2000);

void BM_SaveRecord(benchmark::State& state) {
    freshBook();
    AddressPage page;
    page.show();
    page.TabSheet2Show();
    auto* street = page.findChild<QLineEdit*>(QStringLiteral("Edit3"));
    int n = 0;
    for (auto _ : state) {
        street->setText(QStringLiteral("%1 Bench Row").arg(++n));  // marks the editor changed
        page.Edit1Exit();
    }
    page.TabSheet2Hide();
}
BENCHMARK(BM_SaveRecord)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_DeleteRecord(benchmark::State& state) {
    freshBook();
    AddressPage page;
    page.show();
    page.TabSheet2Show();
    auto* seek = page.findChild<QLineEdit*>(QStringLiteral("Edit13"));
    addrgen::Gen g(3);
    for (auto _ : state) {
        state.PauseTiming();
        seek->setText(QString::fromStdString(g.upperSurname()));  // somewhere in the book
        state.ResumeTiming();
        page.LMDButton8Click();
    }
    state.counters["rows_left"] = page.listModel()->rowCount();
    page.TabSheet2Hide();
}
BENCHMARK(BM_DeleteRecord)->Unit(benchmark::kMillisecond)->Iterations(10);

// Start-up on the book, its indexes present: the main window created and shown, the address
// page filled, without the fixed 1.728-second pause of the splash.
void BM_StartUp(benchmark::State& state) {
    freshBook();
    const std::string dir = LibHandle->directory();
    delete LibHandle;
    LibHandle = nullptr;
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    PauseScale = 0;
    for (auto _ : state) {
        auto* w = new TQuenlow();
        w->show();
        QApplication::processEvents();
        state.PauseTiming();
        if (!w->startedUp()) state.SkipWithError("the program did not start");
        w->close();
        delete w;
        state.ResumeTiming();
    }
    PauseScale = 1;
    fs::current_path(previous);
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    (void)CloseTable(AddrBookTable);  // read only
    delete LibHandle;
    LibHandle = nullptr;
    return 0;
}
