// The crash harness's full-disk case: the disk fills part-way through an import (the
// stored-layout or the detected one), a backup or a pack (the address page's delete) of the
// program's data set, each run through the program's own routines. The program then ends on the
// full disk (every table closed), space is freed, and the program starts again, which rebuilds
// an index it finds missing or left unfinished. Then every table and index must check clean,
// every name an import reported added must be in the book, and a backup must be whole, the old
// one or the new.
//
// The disk is the failure-injecting file system with a space budget (for any user, and the test
// suite), or with `real` DIR itself on a small file system of its own, filled by a filler file
// until the budget is left.

#include "crashtest_full.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/addressbook/AddressBookEditor.h"
#include "core/backup/Backup.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/data/Schema.h"
#include "core/import/ContactFormats.h"
#include "core/import/ImportRun.h"
#include "core/run/RunContext.h"
#include "crashtest_program.h"
#include "xbase/Check.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace crashtest {

namespace {

namespace fs = std::filesystem;

class Disk {
public:
    Disk(const std::string& dir, bool real) : real_(real), filler_(dir + "/filler") {}
    xbase::FileSystem& fs() { return real_ ? xbase::FileSystem::real() : faulty_; }
    // Leaves `bytes` free (about: a real file system counts whole blocks).
    bool fill(int64_t bytes) {
        if (!real_) {
            xbase::FaultyFileSystem::Plan p;
            p.spaceBytes = bytes;
            faulty_.setPlan(p);
            return true;
        }
        struct statvfs v;
        if (::statvfs(fs::path(filler_).parent_path().c_str(), &v) != 0) return false;
        const int64_t fill = int64_t(v.f_bavail) * int64_t(v.f_frsize) - bytes;
        if (fill <= 0) return true;
        const int fd = ::open(filler_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const bool ok = fd >= 0 && ::posix_fallocate(fd, 0, off_t(fill)) == 0;
        if (fd >= 0) ::close(fd);
        return ok;
    }
    void free() {
        faulty_.setPlan({});
        std::error_code ec;
        fs::remove(filler_, ec);
    }

private:
    bool real_;
    std::string filler_;
    xbase::FaultyFileSystem faulty_{xbase::FileSystem::real()};
};

uint64_t sizeOf(const std::string& dir, const std::string& name) {
    std::error_code ec;
    const uint64_t n = fs::file_size(xbase::resolveName(xbase::FileSystem::real(), dir, name), ec);
    return ec ? 0 : n;
}

struct Counts {
    int rounds[3] = {}, filled[3] = {};  // import, backup, pack; filled: the disk ran out
    int startRebuilt = 0, broken = 0;
    size_t lost = 0, reported = 0;
};

class Rounds {
public:
    Rounds(const std::string& dir, unsigned seed, bool real)
        : rng_(seed), data_(dir + "/data"), backup_(dir + "/backup"), contacts_(dir + "/contacts.csv"),
          disk_(dir, real) {}
    bool run(int round);
    Counts c;

private:
    int64_t budget(uint64_t most) { return int64_t(rng_() % (most + 4096)); }
    void import(int round, bool detected);
    void backup();
    void pack();
    bool settle(int round);

    std::mt19937 rng_;
    std::string data_, backup_, contacts_;
    Disk disk_;
    Names expected_, backupNames_, backupCandidate_;
    bool backupRun_ = false, backupOk_ = false;
};

void Rounds::import(int round, bool detected) {
    const unsigned lines = 20 + rng_() % 1500;
    std::string text = detected ? "First,Last,Street\n" : "";
    std::vector<std::string> names;  // in file order, skipped lines left out
    for (unsigned j = 0; j < lines; ++j) {
        const std::string name = "i" + std::to_string(round) + "_" + std::to_string(j);
        const bool skipped = rng_() % 10 == 0;
        text += name + "," + (skipped ? "Q" : "Surname" + std::to_string(rng_() % 500)) + "," +
                std::to_string(1 + rng_() % 999) + " Pine Rd\n";
        if (!skipped) names.push_back(name);
    }
    std::ofstream(contacts_, std::ios::binary | std::ios::trunc) << text;
    disk_.fill(budget(lines * 600ull));
    const QString file = QString::fromStdString(contacts_);
    int added = 0;
    QString error;
    if (detected) {
        const DetectedImportOutcome out = RunDetectedImport(file);
        added = out.added;
        error = out.status.reason;
    } else {
        ImportOptions o;
        o.batchMs = rng_() % 2 ? 0 : 5;
        const ImportOutcome out = RunImport(file, ImportRec, o);
        added = out.namesAdded;
        error = out.status.reason;
    }
    if (!error.isEmpty()) ++c.filled[0];
    if (added < 0 || size_t(added) > names.size()) {
        std::fprintf(stderr, "import reported %d names of %zu\n", added, names.size());
        ++c.broken;
        added = 0;
    }
    c.reported += size_t(added);
    expected_.insert(names.begin(), names.begin() + added);
}

void Rounds::backup() {
    uint64_t total = 0;
    for (const TableSchema* t : BackupTables()) total += sizeOf(data_, t->fileName);
    disk_.fill(budget(total * 3 / 2));
    FunctionPrompts prompts;  // every question answered Cancel
    RunContext ctx;
    ctx.lib = LibHandle;
    ctx.prompts = &prompts;
    ctx.fs = &disk_.fs();
    ctx.removable = [](const QString&) { return false; };
    ctx.pause = [](double) {};
    backupCandidate_ = expected_;
    backupOk_ = BackupTo(ctx, QString::fromStdString(backup_));
    backupRun_ = true;
    if (!backupOk_) ++c.filled[1];
}

void Rounds::pack() {
    AddressBookEditor ed;
    if (!ed.open() || !AddrBookTable) return;
    const uint32_t rows = AddrBookTable->recCount();
    const uint32_t count = rows == 0 ? 0 : rows > 1500 ? rows / 3 : 1 + rng_() % 5;
    std::vector<uint32_t> recs;
    for (uint32_t i = 0; i < count; ++i) {
        recs.push_back(1 + rng_() % rows);
        // Once marked for deletion, a name need no longer be there, whatever the pack does.
        if (AddrBookTable->go(recs.back()) == xbase::kOk) {
            std::string first = AddrBookTable->field("First")->str();
            expected_.erase(first.erase(first.find_last_not_of(' ') + 1));
        }
    }
    disk_.fill(budget((sizeOf(data_, "AddrBook.dbf") + sizeOf(data_, "Address.ntx")) * 3 / 2));
    for (size_t i = 0; i + 1 < recs.size(); ++i)
        if (AddrBookTable->go(recs[i]) == xbase::kOk) AddrBookTable->markDeleted();
    if (!recs.empty()) {
        ed.CurrentAddrRecNo = static_cast<int>(recs.back());
        if (!ed.removeCurrent()) ++c.filled[2];
    }
    (void)ed.close();
}

// After the op: the program ends on the full disk, space is freed, the program starts again.
bool Rounds::settle(int round) {
    (void)CloseAllTables();
    disk_.free();
    xbase::Library lib;
    lib.setDirectory(data_);
    LibHandle = &lib;
    const bool markers = std::any_of(fs::directory_iterator(data_), fs::directory_iterator(),
                                     [](const auto& f) { return f.path().extension() == ".pending"; });
    const DataStatus started = RebuildIndexes(true);
    (void)lib.closeAll();
    LibHandle = nullptr;
    if (!started) {
        std::fprintf(stderr, "round %d: the start failed: %s\n", round, started.toString().toLocal8Bit().constData());
        return false;
    }
    c.startRebuilt += markers ? 1 : 0;
    std::vector<xbase::CheckVerdict> v;
    bool ok = true;
    for (const TableSchema& t : DataTables())
        ok = xbase::checkTable(xbase::FileSystem::real(), data_, t.baseName, !t.group.empty(), &v) && ok;
    for (const auto& x : v)
        if (!x.ok) std::fprintf(stderr, "round %d: %s: %s\n", round, x.file.c_str(), x.detail.c_str());
    Names present;
    std::string why;
    if (!ok || !TableNames(data_, &present, &why)) {
        if (!why.empty()) std::fprintf(stderr, "round %d: %s\n", round, why.c_str());
        return false;
    }
    for (const auto& name : expected_)
        if (!present.count(name)) {
            std::fprintf(stderr, "round %d: %s was reported added and is gone\n", round, name.c_str());
            ++c.lost;
        }
    expected_ = present;  // what was taken back unreported stays gone; go on from the book
    if (backupRun_) {
        backupRun_ = false;
        Names in;
        v.clear();
        if (!backupOk_ && !fs::exists(backup_ + "/AddrBook.dbf") && backupNames_.empty()) return true;  // none yet
        if (!xbase::checkTable(xbase::FileSystem::real(), backup_, "AddrBook", false, &v) ||
            !TableNames(backup_, &in, &why)) {
            std::fprintf(stderr, "round %d: the backup is not whole: %s\n", round, v.empty() ? why.c_str() : v[0].detail.c_str());
            return false;
        }
        const bool isNew = std::includes(in.begin(), in.end(), backupCandidate_.begin(), backupCandidate_.end());
        const bool isOld = std::includes(in.begin(), in.end(), backupNames_.begin(), backupNames_.end());
        if (!isNew && (backupOk_ || !isOld)) {
            std::fprintf(stderr, "round %d: the backup is neither the old one nor the new\n", round);
            return false;
        }
        backupNames_ = isNew ? backupCandidate_ : backupNames_;
    }
    return true;
}

bool Rounds::run(int round) {
    xbase::Library lib(disk_.fs());
    lib.setDirectory(data_);
    lib.setSyncOnFlush(false);  // what fails here is space, not power
    LibHandle = &lib;
    const int op = round % 4;  // import, backup, detected import, pack
    if (OpenImportLayout()) LoadImportLayout();
    (void)CloseTable(ImportTable);
    ++c.rounds[op == 2 ? 0 : op == 3 ? 2 : op];
    if (op == 0 || op == 2) import(round, op == 2);
    else if (op == 1) backup();
    else pack();
    const bool ok = settle(round);
    LibHandle = nullptr;
    return ok;
}

}  // namespace

int runFull(const std::string& dirArg, int rounds, unsigned seed, bool real) {
    std::error_code ec;
    const std::string dir = fs::absolute(dirArg).lexically_normal().string();
    if (!real) fs::remove_all(dir, ec);
    for (const char* sub : {"/data", "/backup"}) fs::remove_all(dir + sub, ec);
    fs::create_directories(dir + "/backup", ec);
    const xbase::Status made = CreateDataSet(dir + "/data");
    if (ec || !made.ok()) {
        std::fprintf(stderr, "crashtest: %s\n", ec ? ec.message().c_str() : made.toString().c_str());
        return 2;
    }
    int argc = 1;
    char arg0[] = "merrowby-crashtest";
    char* argv[] = {arg0, nullptr};
    QCoreApplication app(argc, argv);
    Rounds r(dir, seed, real);
    for (int round = 1; round <= rounds; ++round)
        if (!r.run(round)) ++r.c.broken;
    const Counts& c = r.c;
    std::printf("crashtest full disk: %d imports (%d filled the disk), %d backups (%d), %d packs (%d); "
                "%d starts rebuilt an index left unfinished; %d broken, %zu names lost; %zu names "
                "reported added\n",
                c.rounds[0], c.filled[0], c.rounds[1], c.filled[1], c.rounds[2], c.filled[2], c.startRebuilt,
                c.broken, c.lost, c.reported);
    return c.broken == 0 && c.lost == 0 ? 0 : 1;
}

}  // namespace crashtest
