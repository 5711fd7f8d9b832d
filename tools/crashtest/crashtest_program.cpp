// The crash harness over the program's real data set: the worker does what a user of the program
// does, through the program's own routines, and is killed at random moments.
//
// The worker (child-program) starts as the program does (data-directory lock, missing indexes
// rebuilt), opens the address book as the address page does, and then, at random:
//   - saves a new contact through the page's editor and reports its name;
//   - saves a scratch contact and deletes it again (the page's delete packs the table);
//   - changes a contact's surname (its index key), street and phone;
//   - deletes a contact through the page's delete (a third of the book at once when it has grown
//     past kBigBook rows, so that it stays small);
//   - packs the table, or rebuilds both indexes as the setup page's reindex does;
//   - reads the names in index order as the page's list does and requires every row there;
//   - imports a generated contact file (a few to a few hundred lines) with RunImport and
//     reports every name in it once RunImport has returned;
//   - backs the three tables up into DIR/backup with BackupTo, or restores them with RestoreFrom.
// Every prompt is answered (Cancel) and written to standard error; the worker never waits.
//
// The log (one write call per line, or per run of lines):
//   N <name>   the contact is stored
//   D <name>   the contact is about to be deleted: it need no longer be there
//   B? <id>    a backup starts            B <id>   it returned: what was reported before is in it
//   R? <id>    a restore starts           R <id>   it returned: the backup's names are what is
//                                                  expected now, plus what is reported after
// So after a restore the expected set is the names reported before the backup plus the names
// reported after the restore. A kill between B? and B leaves the backup either as it was or the
// new one; a kill between R? and R leaves AddrBook either the old table or the backup's. The
// harness finds out which from the files (each copy is atomic: a whole table is there, never a
// mix) and goes on with what it found.
//
// After each kill the harness requires: the backup copy and every table of the data set is one
// whole table, every index passes the check at once or after a reindex of the data set, every
// table opens as the program opens it, and no expected name is missing. It counts the indexes it
// found marked as behind their table, and counts as a fault an index that is behind its table
// without the mark (the program would open it and show wrong rows).

#include "crashtest_program.h"
#include "crashtest_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/backup/Backup.h"
#include "core/run/RunContext.h"
#include "core/data/DataLock.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "core/import/ImportRun.h"
#include "core/addressbook/AddressBookEditor.h"
#include "xbase/Check.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace crashtest {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kBigBook = 3000;

// What the child's backups and restores run in: its library, prompts that log, no pauses.
RunContext& context() {
    static RunContext ctx;
    return ctx;
}

std::string trim(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

bool containsAll(const Names& have, const Names& want) {
    return std::includes(have.begin(), have.end(), want.begin(), want.end());
}

size_t missingCount(const Names& have, const Names& want) {
    size_t n = 0;
    for (const auto& s : want) n += have.count(s) ? 0 : 1;
    return n;
}

// --- the worker -------------------------------------------------------------------------------

class Worker {
public:
    Worker(std::string dir, unsigned seed, int round, int logFd)
        : rng_(seed), round_(round), logFd_(logFd), data_(dir + "/data"), backup_(dir + "/backup"),
          contacts_(dir + "/import/contacts.csv") {}

    int run();

private:
    int fail(const char* what) {
        std::fprintf(stderr, "child %d: %s: %s\n", round_, what,
                     LibHandle ? LibHandle->lastError().toString().c_str() : "");
        return 4;
    }
    bool log(const std::string& lines) {
        return ::write(logFd_, lines.data(), lines.size()) == static_cast<ssize_t>(lines.size());
    }
    std::string id() { return std::to_string(round_) + "_" + std::to_string(n_); }
    std::string surname();
    void fillContact(const std::string& first);

    int append(bool scratch);
    int edit();
    int remove();
    int pack();
    int reindex();
    int readList();
    int import();
    int backup();
    int restore();

    std::mt19937 rng_;
    int round_;
    int logFd_;
    std::string data_, backup_, contacts_;
    unsigned n_ = 0;
    AddressBookEditor ed_;
};

std::string Worker::surname() {
    static const char* const syl[] = {"an", "ber", "cor", "dal", "el",  "fen", "gar", "hol",
                                      "is", "jon", "kel", "lam", "mor", "nel", "os",  "par"};
    std::string s;
    for (unsigned i = 0, parts = 1 + rng_() % 3; i < parts; ++i) s += syl[rng_() % 16];
    s[0] = static_cast<char>(s[0] - 'a' + 'A');
    return s;
}

void Worker::fillContact(const std::string& first) {
    AddressRec.First = QString::fromStdString(first);
    AddressRec.Last = QString::fromStdString(surname());
    AddressRec.Street = QString::number(1 + rng_() % 9999) + QStringLiteral(" Elm St");
    AddressRec.City = QStringLiteral("Salem");
    AddressRec.Zip = QString::number(10000 + rng_() % 90000);
    AddressRec.phone = QStringLiteral("555-") + QString::number(1000 + rng_() % 9000);
    AddressRec.Birthday = rng_() % 2;
    AddressRec.Birthdate = QDate(1940 + int(rng_() % 60), 1 + int(rng_() % 12), 1 + int(rng_() % 28));
}

int Worker::append(bool scratch) {
    const std::string name = (scratch ? "x" : "a") + id();
    ed_.CurrentAddrRecNo = 0;
    ed_.loadCurrent();
    fillContact(name);
    if (ed_.save() != AddressBookEditor::SaveResult::Saved) return fail("save a new contact");
    if (scratch) return ed_.removeCurrent() ? 0 : fail("delete a contact");
    return log("N " + name + "\n") ? 0 : 5;
}

int Worker::edit() {
    const uint32_t rows = AddrBookTable->recCount();
    if (rows == 0) return 0;
    ed_.CurrentAddrRecNo = static_cast<int>(1 + rng_() % rows);
    ed_.loadCurrent();
    if (ed_.CurrentAddrRecNo == 0) return fail("load a contact");
    AddressRec.Last = QString::fromStdString(surname());
    AddressRec.Street = QString::number(1 + rng_() % 9999) + QStringLiteral(" Oak Ave");
    AddressRec.phone = QStringLiteral("555-") + QString::number(1000 + rng_() % 9000);
    return ed_.save() == AddressBookEditor::SaveResult::Saved ? 0 : fail("save a changed contact");
}

int Worker::remove() {
    const uint32_t rows = AddrBookTable->recCount();
    if (rows == 0) return 0;
    const uint32_t count = rows > kBigBook ? rows / 3 : 1;
    std::vector<uint32_t> recs;
    std::string lines;
    for (uint32_t i = 0; i < count; ++i) {
        recs.push_back(1 + rng_() % rows);
        if (AddrBookTable->go(recs.back()) != xbase::kOk) return fail("go to a contact");
        lines += "D " + trim(AddrBookTable->field("First")->str()) + "\n";
    }
    if (!log(lines)) return 5;
    // All but the last only marked; the page's delete of the last packs them away together.
    for (size_t i = 0; i + 1 < recs.size(); ++i)
        if (AddrBookTable->go(recs[i]) != xbase::kOk || AddrBookTable->markDeleted() != 0)
            return fail("mark a contact deleted");
    ed_.CurrentAddrRecNo = static_cast<int>(recs.back());
    return ed_.removeCurrent() ? 0 : fail("delete a contact");
}

int Worker::pack() {
    if (AddrBookTable->pack() != 0) return fail("pack");
    AddrBookTable->selectTag(AddrBookTable->tag("Address"));
    return 0;
}

int Worker::reindex() {
    if (!ed_.close()) return fail("close before the reindex");
    if (!RebuildIndexes(false)) return fail("reindex");
    if (!ed_.open()) return fail("open after the reindex");
    return 0;
}

int Worker::readList() {
    const AddressListModel::Rows rows = ed_.readNames();
    if (rows.recNos.size() != AddrBookTable->recCount()) {
        std::fprintf(stderr, "child %d: the list shows %zu of %u rows\n", round_, rows.recNos.size(),
                     AddrBookTable->recCount());
        return 4;
    }
    return 0;
}

int Worker::import() {
    // A contact file in the layout importf holds (positions 1 to 12 in column order): quoted
    // fields with commas, both line ends, lines skipped for a short surname, sometimes a header
    // line (itself a contact) and the end mark.
    const unsigned shape = rng_() % 20;
    const unsigned lines = shape < 10 ? 1 + rng_() % 10 : shape < 17 ? 10 + rng_() % 90 : 100 + rng_() % 200;
    std::string text, report;
    int expected = 0;
    if (rng_() % 4 == 0) {
        text += "First,Last,Street,Street2,City,State,Zip\r\n";
        ++expected;
    }
    const std::string base = "i" + id() + "_";
    for (unsigned j = 0; j < lines; ++j) {
        const std::string name = base + std::to_string(j);
        const bool skipped = rng_() % 10 == 0;
        const std::string last = skipped ? (rng_() % 2 ? "Q" : " ") : surname();
        std::string street = std::to_string(1 + rng_() % 9999) + " Pine Rd";
        if (rng_() % 3 == 0) street = "\"" + street + ", Apt " + std::to_string(rng_() % 99) + "\"";
        text += name + "," + last + "," + street + ",,Dover,NY," + std::to_string(10000 + rng_() % 90000) +
                (rng_() % 3 ? "\n" : "\r\n");
        if (!skipped) {
            report += "N " + name + "\n";
            ++expected;
        }
    }
    if (rng_() % 5 == 0) text += "\x1a";
    {
        std::ofstream out(contacts_, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return fail("write the contact file");
    }
    if (!ed_.close()) return fail("close before the import");
    const ImportOutcome out = RunImport(QString::fromStdString(contacts_), ImportRec);
    if (out.status.failed() || !out.bookOpened) {
        std::fprintf(stderr, "child %d: import: %s\n", round_, out.status.reason.toLocal8Bit().constData());
        return 4;
    }
    if (out.namesAdded != expected) {
        std::fprintf(stderr, "child %d: import added %d names of %d\n", round_, out.namesAdded, expected);
        return 4;
    }
    if (!report.empty() && !log(report)) return 5;
    if (!ed_.open()) return fail("open after the import");
    return 0;
}

int Worker::backup() {
    if (!ed_.close()) return fail("close before the backup");
    const std::string b = id();
    if (!log("B? " + b + "\n")) return 5;
    if (!BackupTo(context(), QString::fromStdString(backup_))) return fail("backup");
    if (!log("B " + b + "\n")) return 5;
    if (!ed_.open()) return fail("open after the backup");
    return 0;
}

int Worker::restore() {
    for (const TableSchema* t : BackupTables())
        if (!QFileInfo::exists(QString::fromStdString(backup_ + "/" + t->fileName))) return 0;  // no backup yet
    if (!ed_.close()) return fail("close before the restore");
    const std::string r = id();
    if (!log("R? " + r + "\n")) return 5;
    if (!RestoreFrom(context(), QString::fromStdString(backup_))) return fail("restore");
    if (!log("R " + r + "\n")) return 5;
    if (!ed_.open()) return fail("open after the restore");
    return 0;
}

int Worker::run() {
    // As the program starts: the data-directory lock, then any missing index rebuilt.
    if (AcquireDataLock(data_) != DataLockResult::Acquired) {
        std::fprintf(stderr, "child %d: the data directory is locked\n", round_);
        return 2;
    }
    if (!RebuildIndexes(true)) return fail("rebuild a missing index");
    if (!OpenImportLayout()) return fail("open the import layout");
    LoadImportLayout();
    (void)CloseTable(ImportTable);  // read only
    if (!ed_.open()) return fail("open the address book");
    for (;; ++n_) {
        const unsigned op = rng_() % 100;
        int rc = 0;
        if (op < 34)
            rc = append(false);
        else if (op < 40)
            rc = append(true);
        else if (op < 54)
            rc = edit();
        else if (op < 58)
            rc = remove();
        else if (op < 62)
            rc = pack();
        else if (op < 66)
            rc = reindex();
        else if (op < 72)
            rc = readList();
        else if (op < 84)
            rc = import();
        else if (op < 93)
            rc = backup();
        else
            rc = restore();
        if (rc != 0) return rc;
    }
}

// --- the harness ------------------------------------------------------------------------------

struct Counts {
    int kills = 0, clean = 0, reindexed = 0, mendedByOpen = 0, markers = 0, unmarked = 0, broken = 0;
    size_t lost = 0, reported = 0, rows = 0;
    int backupsCut = 0, restoresCut = 0, restoredOld = 0, restoredBackup = 0;
};

// What the log has told so far.
struct Expectation {
    Names expected;           // names that must be in AddrBook
    bool haveBackup = false;  // DIR/backup holds a backup whose names are known
    Names backupNames;
    std::string backupCut;    // id of a backup started and not reported done
    Names backupCandidate;    // what that backup holds if its AddrBook copy was made
    std::string restoreCut;   // id of a restore started and not reported done
    off_t logDone = 0;        // bytes of the log taken in
};

// Takes in the complete lines the worker wrote and cuts off a half-written one, so the next
// worker's lines start on a line of their own. False on a line that breaks the protocol.
bool readLog(const std::string& path, Expectation& e, Counts& c, int round) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(e.logDone);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t pos = 0, nl;
    bool ok = true;
    while ((nl = all.find('\n', pos)) != std::string::npos) {
        const std::string line = all.substr(pos, nl - pos);
        pos = nl + 1;
        const size_t sp = line.find(' ');
        const std::string tag = line.substr(0, sp), arg = sp == std::string::npos ? "" : line.substr(sp + 1);
        auto bad = [&](const char* why) {
            std::fprintf(stderr, "round %d: log line \"%s\": %s\n", round, line.c_str(), why);
            ok = false;
        };
        if (arg.empty()) {
            bad("no argument");
        } else if (tag == "N") {
            if (e.expected.insert(arg).second) ++c.reported;
        } else if (tag == "D") {
            e.expected.erase(arg);
        } else if (tag == "B?") {
            if (!e.backupCut.empty() || !e.restoreCut.empty()) bad("another change is still open");
            e.backupCut = arg;
            e.backupCandidate = e.expected;
        } else if (tag == "B") {
            if (e.backupCut != arg) bad("no backup of that id started");
            e.haveBackup = true;
            e.backupNames = std::move(e.backupCandidate);
            e.backupCut.clear();
        } else if (tag == "R?") {
            if (!e.backupCut.empty() || !e.restoreCut.empty()) bad("another change is still open");
            if (!e.haveBackup) bad("restore from a backup the harness knows nothing of");
            e.restoreCut = arg;
        } else if (tag == "R") {
            if (e.restoreCut != arg) bad("no restore of that id started");
            e.expected = e.backupNames;
            e.restoreCut.clear();
        } else {
            bad("unknown line");
        }
    }
    e.logDone += static_cast<off_t>(pos);
    if (pos < all.size() && ::truncate(path.c_str(), e.logDone) != 0) ok = false;
    return ok;
}


bool reindexDataSet(const std::string& dir, std::string* why) {
    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setAutoOpen(false);
    lib.setSafety(false);
    lib.setAccessMode(xbase::AccessMode::Exclusive);
    for (const TableSchema& s : DataTables()) {
        if (s.group.empty()) continue;
        xbase::Table* t = lib.open(s.baseName);
        if (!t || t->createIndex(s.group, {{s.tag, s.key}}) < 0) {
            *why = lib.lastError().toString();
            return false;
        }
        if (lib.closeAll() < 0) {
            *why = lib.lastError().toString();
            return false;
        }
    }
    return true;
}

// Opens the indexed tables for writing, as the program does: a marked index is rebuilt.
bool openToMend(const std::string& dir, std::string* why) {
    xbase::Library lib;
    lib.setDirectory(dir);
    for (const TableSchema& s : DataTables())
        if (!s.group.empty() && !lib.open(s.baseName)) {
            *why = lib.lastError().toString();
            return false;
        }
    return lib.closeAll() == 0;
}

int countMarkers(const std::string& dir) {
    int n = 0;
    std::error_code ec;
    for (const auto& f : fs::directory_iterator(dir, ec))
        if (f.path().extension() == ".pending") ++n;
    return n;
}

bool isIndexFile(const std::string& path) {
    return path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".ntx") == 0;
}

// Checks every table of the data set with its indexes. False when a table itself is broken or
// an index does not pass even after a reindex. Counts what it met.
bool checkDataSet(const std::string& dir, Counts& c, int round) {
    const int marked = countMarkers(dir);
    c.markers += marked;
    std::vector<xbase::CheckVerdict> v;
    bool ok = true;
    for (const TableSchema& s : DataTables())
        ok = xbase::checkTable(xbase::FileSystem::real(), dir, s.baseName, !s.group.empty(), &v) && ok;
    if (ok) {
        ++c.clean;
        return true;
    }
    const bool verbose = std::getenv("CRASHTEST_VERBOSE") != nullptr;
    const int unmarkedBefore = c.unmarked;
    bool fault = false;
    for (const auto& x : v) {
        if (x.ok) continue;
        const bool markedIx = isIndexFile(x.file) && fs::exists(x.file + ".pending");
        if (!isIndexFile(x.file)) {
            std::fprintf(stderr, "round %d: %s: %s\n", round, x.file.c_str(), x.detail.c_str());
            fault = true;
        } else if (!markedIx) {
            std::fprintf(stderr, "round %d: %s is behind its table without a mark: %s\n", round,
                         x.file.c_str(), x.detail.c_str());
            ++c.unmarked;
        } else if (verbose) {
            std::fprintf(stderr, "round %d: before reindex: %s: %s\n", round, x.file.c_str(), x.detail.c_str());
        }
    }
    // A broken table file is not for a reindex to mend.
    for (const auto& x : v)
        if (!x.ok && !isIndexFile(x.file) && x.file.size() > 4 &&
            strcasecmp(x.file.c_str() + x.file.size() - 4, ".dbf") == 0)
            return false;
    // Only marked indexes behind: every other round they are left to the open, as the program's
    // start leaves them; otherwise, and for anything else, the data set is reindexed.
    std::string why;
    if (!fault && c.unmarked == unmarkedBefore && round % 2 == 0) {
        if (!openToMend(dir, &why)) {
            std::fprintf(stderr, "round %d: opening did not rebuild the marked indexes: %s\n", round, why.c_str());
            return false;
        }
        ++c.mendedByOpen;
    } else if (!reindexDataSet(dir, &why)) {
        std::fprintf(stderr, "round %d: reindex failed: %s\n", round, why.c_str());
        return false;
    }
    ++c.reindexed;
    v.clear();
    ok = true;
    for (const TableSchema& s : DataTables())
        ok = xbase::checkTable(xbase::FileSystem::real(), dir, s.baseName, !s.group.empty(), &v) && ok;
    for (const auto& x : v)
        if (!x.ok) std::fprintf(stderr, "round %d: after reindex: %s: %s\n", round, x.file.c_str(), x.detail.c_str());
    return ok && !fault;
}

// Opens every table as the program does (AddrBook and LABELS with their index, the other two
// alone) and reads the names in index order.
bool openAsProgram(const std::string& dir, Names* names, size_t* rows, std::string* why) {
    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setReadOnly(true);
    for (const TableSchema& s : DataTables()) {
        lib.setAutoOpen(!s.group.empty());
        xbase::Table* t = lib.open(s.baseName);
        if (!t) {
            *why = lib.lastError().toString();
            return false;
        }
        if (s.baseName != "AddrBook") continue;
        t->selectTag(t->tag(s.tag));
        if (!t->selectedTag()) {
            *why = "AddrBook opens without its tag";
            return false;
        }
        size_t seen = 0;
        int rc = t->top();
        for (; rc == xbase::kOk; rc = t->skip(1)) {
            ++seen;
            if (!t->deleted()) names->insert(trim(t->field("First")->str()));
        }
        if (rc < 0 || lib.errorCode() < 0) {
            *why = lib.lastError().toString();
            return false;
        }
        if (seen != t->recCount()) {
            *why = "index order shows " + std::to_string(seen) + " of " + std::to_string(t->recCount()) + " rows";
            return false;
        }
        *rows = seen;
    }
    return lib.closeAll() == 0;
}

// A backup cut short: its AddrBook is the old backup or the new one, and whole.
bool settleBackup(const std::string& dir, Expectation& e, Counts& c, int round) {
    ++c.backupsCut;
    e.backupCut.clear();
    if (!fs::exists(dir + "/AddrBook.dbf") && !e.haveBackup) return true;  // not copied yet
    std::vector<xbase::CheckVerdict> v;
    if (!xbase::checkTable(xbase::FileSystem::real(), dir, "AddrBook", false, &v)) {
        std::fprintf(stderr, "round %d: backup copy broken: %s\n", round, v.empty() ? "" : v[0].detail.c_str());
        return false;
    }
    Names in;
    std::string why;
    if (!TableNames(dir, &in, &why)) {
        std::fprintf(stderr, "round %d: backup copy does not open: %s\n", round, why.c_str());
        return false;
    }
    Names now;
    bool known = false;
    if (containsAll(in, e.backupCandidate)) {
        now.insert(e.backupCandidate.begin(), e.backupCandidate.end());
        known = true;
    }
    if (e.haveBackup && containsAll(in, e.backupNames)) {
        now.insert(e.backupNames.begin(), e.backupNames.end());
        known = true;
    }
    if (!known) {
        std::fprintf(stderr, "round %d: backup copy is neither the old backup nor the new one\n", round);
        return false;
    }
    e.haveBackup = true;
    e.backupNames = std::move(now);
    return true;
}

// A restore cut short: AddrBook is the old table or the backup's.
bool settleRestore(const Names& present, Expectation& e, Counts& c, int round) {
    ++c.restoresCut;
    e.restoreCut.clear();
    const bool old = containsAll(present, e.expected);
    const bool restored = containsAll(present, e.backupNames);
    if (old && restored) {
        e.expected.insert(e.backupNames.begin(), e.backupNames.end());
    } else if (old) {
        ++c.restoredOld;
    } else if (restored) {
        ++c.restoredBackup;
        e.expected = e.backupNames;
    } else {
        std::fprintf(stderr, "round %d: after a restore cut short AddrBook is neither the old table "
                             "(%zu names missing) nor the backup (%zu missing)\n",
                     round, missingCount(present, e.expected), missingCount(present, e.backupNames));
        c.lost += std::min(missingCount(present, e.expected), missingCount(present, e.backupNames));
        e.expected = present;
        return false;
    }
    return true;
}

}  // namespace

bool TableNames(const std::string& dir, Names* names, std::string* why) {
    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setReadOnly(true);
    lib.setAutoOpen(false);
    xbase::Table* t = lib.open("AddrBook");
    if (!t) {
        *why = lib.lastError().toString();
        return false;
    }
    for (int rc = t->top(); rc == xbase::kOk; rc = t->skip(1))
        if (!t->deleted()) names->insert(trim(t->field("First")->str()));
    if (lib.errorCode() < 0) {
        *why = lib.lastError().toString();
        return false;
    }
    return true;
}

int childProgram(const std::string& dir, unsigned seed, int round) {
    // The log is standard output as the harness gave it; nothing else may write there.
    const int logFd = ::dup(1);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (logFd < 0 || devNull < 0 || ::dup2(devNull, 1) < 0) return 5;
    int argc = 1;
    char arg0[] = "merrowby-crashtest";
    char* argv[] = {arg0, nullptr};
    QCoreApplication app(argc, argv);

    static FunctionPrompts prompts;
    prompts.onInfo = [round](const QString& text) {
        QString oneLine = text;
        oneLine.replace(QLatin1String("\r\n"), QLatin1String(" "));
        std::fprintf(stderr, "child %d: message: %s\n", round, oneLine.toLocal8Bit().constData());
    };
    LibHandle = new xbase::Library();
    LibHandle->setDirectory(dir + "/data");
    RunContext& ctx = context();
    ctx.lib = LibHandle;
    ctx.prompts = &prompts;
    ctx.removable = [](const QString&) { return false; };
    ctx.pause = [](double) {};
    return Worker(dir, seed, round, logFd).run();
}

int runProgram(const std::string& self, const std::string& dirArg, int kills, unsigned seed) {
    std::error_code ec;
    fs::remove_all(dirArg, ec);
    fs::create_directories(dirArg + "/backup", ec);
    fs::create_directories(dirArg + "/import", ec);
    const std::string dir = fs::absolute(dirArg).lexically_normal().string();
    const std::string data = dir + "/data", backup = dir + "/backup", log = dir + "/reported.log";
    const xbase::Status made = CreateDataSet(data);
    if (ec || !made.ok()) {
        std::fprintf(stderr, "crashtest: %s\n", ec ? ec.message().c_str() : made.toString().c_str());
        return 2;
    }
    std::mt19937 rng(seed);
    Expectation e;
    Counts c;
    for (int round = 1; round <= kills; ++round) {
        const unsigned childSeed = seed * 100000u + unsigned(round);
        // The worker takes some tens of milliseconds to start; kills fall in its start too.
        int status = 0;
        const RoundEnd end = startAndKill(self, log, {"child-program", dir, std::to_string(childSeed), std::to_string(round)},
                                          int(10 + rng() % 400), &status);
        if (end == RoundEnd::NoStart) return 2;
        if (end == RoundEnd::EndedByItself) {
            std::fprintf(stderr, "round %d: the worker ended by itself (status %d)\n", round, status);
            ++c.broken;
            // Its log still counts: what it reported is stored.
        } else {
            ++c.kills;
        }
        if (!readLog(log, e, c, round)) {
            ++c.broken;
            break;
        }
        if (!e.backupCut.empty() && !settleBackup(backup, e, c, round)) {
            ++c.broken;
            break;
        }
        if (!checkDataSet(data, c, round)) {
            ++c.broken;
            break;
        }
        Names present;
        std::string why;
        if (!openAsProgram(data, &present, &c.rows, &why)) {
            std::fprintf(stderr, "round %d: the data set does not open: %s\n", round, why.c_str());
            ++c.broken;
            break;
        }
        if (!e.restoreCut.empty() && !settleRestore(present, e, c, round)) ++c.broken;
        for (const auto& name : e.expected)
            if (!present.count(name)) {
                std::fprintf(stderr, "round %d: row %s was reported stored and is gone\n", round, name.c_str());
                ++c.lost;
            }
        // Go on with what is there, so one loss is not counted again every round.
        for (auto it = e.expected.begin(); it != e.expected.end();)
            it = present.count(*it) ? std::next(it) : e.expected.erase(it);
    }
    // A kill during a copy, pack or index build leaves its temporary file; the next copy or
    // build of the same file takes it away, so there is at most one of each.
    int leftovers = 0;
    for (const std::string& d : {data, backup}) {
        std::map<std::string, int> perTarget;
        for (const auto& f : fs::directory_iterator(d, ec)) {
            const std::string n = f.path().filename().string();
            const size_t part = n.find(".part");
            if (part != std::string::npos && n[0] == '.')
                ++perTarget[n.substr(0, part)];
            else if (n.find(".tmp-pack") != std::string::npos || n.find(".building") != std::string::npos)
                ++perTarget[n];
            else
                continue;
            ++leftovers;
        }
        for (const auto& [target, n] : perTarget)
            if (n > 1) {
                std::fprintf(stderr, "crashtest: %d temporary copies of %s pile up in %s\n", n,
                             target.c_str() + 1, d.c_str());
                ++c.broken;
            }
    }
    std::printf("crashtest program: %d kills, %d clean at once, %d needed a reindex (%d of them mended "
                "by opening), %d pending markers found, %d indexes behind their table unmarked, %d "
                "broken, %zu rows lost; %zu rows "
                "reported stored, %zu rows in AddrBook; %d backups and %d restores cut short (%d left "
                "the old table, %d the backup's); %d temporary files left at the end\n",
                c.kills, c.clean, c.reindexed, c.mendedByOpen, c.markers, c.unmarked, c.broken, c.lost, c.reported, c.rows,
                c.backupsCut, c.restoresCut, c.restoredOld, c.restoredBackup, leftovers);
    return c.broken == 0 && c.lost == 0 && c.unmarked == 0 && c.kills == kills ? 0 : 1;
}

}  // namespace crashtest
