// The card log on a 100,000-name book with five years of history (about 2.5 million events):
// the address page shown (names list with the returned marks, the first person's Cards list),
// one person's Cards list, a save, a save that renames, a delete (the log follows the pack), the
// two reports and logging a whole Christmas run.
//
//   build/bench/bench_cards
//
// Files live in $MERROWBY_BENCH_DIR/cards (default /tmp/merrowby-bench/cards); the book and its
// log are made once and copied to a working directory per run. MERROWBY_BENCH_ROWS sets another
// size (five events a person a year).

#include <QApplication>
#include <QDate>
#include <QLineEdit>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "AddressGen.h"
#include "BenchBook.h"
#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/addressbook/AddressPage.h"
#include "core/reminders/ReminderGen.h"
#include "xbase/Dbf.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace fs = std::filesystem;

namespace {

constexpr int kYears = 5, kPerYear = 5, kLastYear = 2026;

uint32_t bookRows() {
    const char* e = std::getenv("MERROWBY_BENCH_ROWS");
    return e ? uint32_t(std::atoi(e)) : 100000u;
}

std::string benchDir() {
    const char* e = std::getenv("MERROWBY_BENCH_DIR");
    std::string d = std::string(e ? e : "/tmp/merrowby-bench") + "/cards";
    fs::create_directories(d);
    return d;
}

// The log: for every person and year, five events of pseudo-random occasions and kinds (mostly
// sent, a third received, one in a hundred returned); the last year has no Christmas cards yet.
void makeLog(const std::string& dir) {
    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setSyncOnFlush(false);
    if (!EnsureCardFiles(lib).ok()) std::abort();
    std::unique_ptr<xbase::DbfFile> book, cards;
    xbase::FileSystem& fs = lib.fs();
    if (!xbase::DbfFile::open(fs, xbase::resolveName(fs, dir, "AddrBook.dbf"), true, &book).ok()) std::abort();
    if (!xbase::DbfFile::open(fs, xbase::resolveName(fs, dir, "Cards.dbf"), false, &cards).ok()) std::abort();
    const auto& f = cards->fields();
    std::vector<uint8_t> row = cards->blankRecord();
    uint32_t seed = 7;
    for (uint32_t r = 1; r <= book->recordCount(); ++r) {
        const uint8_t* b = nullptr;
        if (!book->recordPtr(r, &b).ok()) std::abort();
        const std::string key = CardNameKeyOfRow(*book, b);
        for (int y = kLastYear - kYears + 1; y <= kLastYear; ++y) {
            for (int i = 0; i < kPerYear; ++i) {
                seed = seed * 1103515245u + 12345u;
                const uint32_t v = seed >> 8;
                int occasion = 1 + int(v % 7);
                if (y == kLastYear && occasion == 7) occasion = 6;
                const char kind = v % 100 == 0 ? 'X' : v % 3 == 0 ? 'R' : 'S';
                std::memcpy(row.data() + f[0].offset, key.data(), 40);
                xbase::field::formatNumber(r, f[1].length, 0, reinterpret_cast<char*>(row.data()) + f[1].offset);
                xbase::field::formatNumber(y, f[2].length, 0, reinterpret_cast<char*>(row.data()) + f[2].offset);
                xbase::field::formatNumber(occasion, 1, 0, reinterpret_cast<char*>(row.data()) + f[3].offset);
                xbase::field::formatNumber(0, 1, 0, reinterpret_cast<char*>(row.data()) + f[4].offset);
                row[f[5].offset] = uint8_t(kind);
                uint32_t n = 0;
                if (!cards->appendRecord(row.data(), &n).ok()) std::abort();
            }
        }
    }
    if (!cards->close().ok()) std::abort();
    book->close();
    lib.setAutoOpen(false);
    lib.setSafety(false);
    xbase::Table* t = lib.open("Cards");
    if (!t || t->createIndex("Cards", {{"Cards", CardsSchema().key}}) != 0) std::abort();
    t->close();
    // A thousand people whose card came back to the address they have.
    for (uint32_t r = 50; r <= book->recordCount() && r < 50 + 1000 * 97; r += 97)
        if (!CardsAdd(lib, r, kLastYear, 7, CardKind::Returned).ok()) std::abort();
}

std::string baseSet() {
    const std::string dir = benchDir() + "/base" + std::to_string(bookRows());
    if (!fs::exists(dir + "/Cards.ntx")) {
        fs::remove_all(dir);
        MakeGeneratedBook(dir, bookRows());
        makeLog(dir);
    }
    return dir;
}

void freshBook() {
    const std::string from = baseSet();
    const std::string to = benchDir() + "/work";
    fs::remove_all(to);
    fs::create_directories(to);
    for (const auto& e : fs::directory_iterator(from)) fs::copy_file(e.path(), to + "/" + e.path().filename().string());
    delete LibHandle;
    LibHandle = new xbase::Library();
    LibHandle->setDirectory(to);
}

void BM_ShowPage(benchmark::State& state) {
    freshBook();
    AddressPage page;
    page.show();
    for (auto _ : state) {
        page.TabSheet2Show();
        QApplication::processEvents();
        state.PauseTiming();
        page.TabSheet2Hide();
        state.ResumeTiming();
    }
    uint64_t events = 0, stray = 0;
    CardsCheck(*LibHandle, &events, &stray);
    state.counters["rows"] = page.listModel()->rowCount();
    state.counters["events"] = double(events);
}
BENCHMARK(BM_ShowPage)->Unit(benchmark::kMillisecond)->Iterations(5);

// One person's Cards list: an index seek and the rows of that name.
void BM_CardsLookup(benchmark::State& state) {
    freshBook();
    std::unique_ptr<xbase::DbfFile> book;
    xbase::DbfFile::open(LibHandle->fs(), LibHandle->pathFor("AddrBook.dbf"), true, &book);
    uint32_t r = 1;
    size_t found = 0;
    for (auto _ : state) {
        r = (r * 7919u) % book->recordCount() + 1;
        const uint8_t* b = nullptr;
        book->recordPtr(r, &b);
        std::vector<CardEvent> events;
        if (!CardsOf(*LibHandle, CardNameKeyOfRow(*book, b), r, &events).ok()) state.SkipWithError("lookup");
        found += events.size();
    }
    state.counters["events_per_person"] = double(found) / double(state.iterations());
}
BENCHMARK(BM_CardsLookup)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_SaveRecord(benchmark::State& state) {
    freshBook();
    AddressPage page;
    page.show();
    page.TabSheet2Show();
    auto* street = page.findChild<QLineEdit*>(QStringLiteral("Edit3"));
    int n = 0;
    for (auto _ : state) {
        street->setText(QStringLiteral("%1 Bench Row").arg(++n));
        page.Edit1Exit();
    }
    page.TabSheet2Hide();
}
BENCHMARK(BM_SaveRecord)->Unit(benchmark::kMillisecond)->Iterations(10);

// A save that changes the name: the person's events take the new name key.
void BM_SaveRename(benchmark::State& state) {
    freshBook();
    AddressPage page;
    page.show();
    page.TabSheet2Show();
    auto* first = page.findChild<QLineEdit*>(QStringLiteral("Edit1"));
    int n = 0;
    for (auto _ : state) {
        first->setText(QStringLiteral("Renamed%1").arg(++n));
        page.Edit1Exit();
    }
    page.TabSheet2Hide();
}
BENCHMARK(BM_SaveRename)->Unit(benchmark::kMillisecond)->Iterations(10);

// Delete with its pack; the log drops the person's events and renumbers the rest in one pass.
void BM_DeleteRecord(benchmark::State& state) {
    freshBook();
    AddressPage page;
    page.show();
    page.TabSheet2Show();
    auto* seek = page.findChild<QLineEdit*>(QStringLiteral("Edit13"));
    addrgen::Gen g(3);
    for (auto _ : state) {
        state.PauseTiming();
        seek->setText(QString::fromStdString(g.upperSurname()));
        state.ResumeTiming();
        page.LMDButton8Click();
    }
    page.TabSheet2Hide();
    uint64_t events = 0, stray = 0;
    CardsCheck(*LibHandle, &events, &stray);
    state.counters["stray_events"] = double(stray);
}
BENCHMARK(BM_DeleteRecord)->Unit(benchmark::kMillisecond)->Iterations(5);

void report(benchmark::State& state, CardReport which) {
    freshBook();
    size_t lines = 0;
    for (auto _ : state) {
        QStringList out;
        if (!CollectCardReportLines(which, 7, kLastYear, out)) state.SkipWithError("report");
        lines = size_t(out.size());
    }
    state.counters["lines"] = double(lines);
}
void BM_ReportNotYetSent(benchmark::State& state) { report(state, CardReport::NotYetSent); }
void BM_ReportReceivedNotSent(benchmark::State& state) { report(state, CardReport::ReceivedNotSent); }
BENCHMARK(BM_ReportNotYetSent)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReportReceivedNotSent)->Unit(benchmark::kMillisecond)->Iterations(5);

// Logging a whole Christmas run (the answer Yes after the run), then the same run again.
void BM_MarkSentChristmas(benchmark::State& state) {
    freshBook();
    std::vector<CardPick> picks;
    QStringList unused;
    if (!OpenAddrBook()) std::abort();
    for (; LastStatus == 0; LastStatus = AddrBookTable->skip()) {
        LoadAddrRec();
        if (AddressRec.Christmas) picks.push_back({AddrBookTable->recNo(), 0});
    }
    (void)CloseTable(AddrBookTable);
    int added = 0, again = 0, run = 0;
    for (auto _ : state) {
        if (!CardsMarkSent(*LibHandle, 7, kLastYear, picks, run++ == 0 ? &added : &again).ok())
            state.SkipWithError("mark");
    }
    state.counters["recipients"] = double(picks.size());
    state.counters["logged_first"] = added;
    state.counters["logged_again"] = again;
}
BENCHMARK(BM_MarkSentChristmas)->Unit(benchmark::kMillisecond)->Iterations(2);

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
