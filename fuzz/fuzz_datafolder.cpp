// libFuzzer target: a whole data folder, damaged by the input, run through the program's own
// sequence with the routines the program and merrowby-admin use.
//
// Input:
//   settings   1 byte: bits 0-1 a disk fault from the start (0 none, 1 the Nth write fails,
//              2 the Nth sync, 3 the Nth rename), bit 2 it stays (a full disk), bit 3 rows are
//              read a page at a time rather than through a mapping, bit 4 the address index is
//              marked unfinished (a program stopped while it was behind its table), bit 5 the
//              address group file is missing, bit 6 the address index is missing
//   N          1 byte, for the fault
//   patches    file (1 byte, % 9: the eight files of the data set, 8 ends the patches), offset
//              (2 bytes), length (1 byte; 0 cuts the file at the offset), the bytes
//   operations one byte each (% 25), some followed by arguments: open, check, walk forward,
//              walk back and skip, seek an input key, seek a stored row, append, change a field,
//              delete or recall, pack, reindex, close and reopen, go to a record, flush, a disk
//              fault from now on, the label stocks, the settings, the import layout, the
//              admin check of every table, an index made on the open book; the address page's
//              save, delete (with its pack and the card log following) and seek, a card logged
//              by hand, a new data set made as merrowby-admin init makes it
// The folder starts as a fresh data set with 90 people, so that the index has interior pages,
// scans in index order read ahead, and patches land in files that are otherwise whole.
//
// Oracles:
//   - a row appended, stored and flushed without error is there, unchanged, after the book is
//     closed and opened again without error (until a pack renumbers the rows);
//   - a check that finds a fault names the file;
//   - while the folder is whole (no patch, no disk fault, every step so far without error): the
//     check after a flush finds nothing, a walk in index order meets every row once, and a
//     stored row's key is found by a seek;
//   - an index rebuilt without error over a table that opens is found whole by the check.
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/data/CardLog.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "core/addressbook/AddressBookEditor.h"
#include "xbase/Check.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPeople = 90;

[[noreturn]] void fault(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "%s %s\n", what, detail.c_str());
    __builtin_trap();
}

const std::string& baseDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz-folder-XXXXXX";
        std::string d = ::mkdtemp(tmpl);
        // The pristine data set every input starts from.
        const std::string base = d + "/base";
        if (!CreateDataSet(base).ok()) std::abort();
        xbase::Library lib;
        lib.setDirectory(base);
        lib.setSyncOnFlush(false);
        LibHandle = &lib;
        if (!OpenAddrBook()) std::abort();
        static const char* const kLast[] = {"Young", "Ames", "Lee", "Zimmer", "Brown", "Ng", "Ortiz", "Kahn", "Duval"};
        for (int i = 0; i < kPeople; ++i) {
            if (AddrBookTable->appendBlank() != 0) std::abort();
            AddressRec = TAddressRecord();
            AddressRec.Last = QString::fromLatin1(kLast[i % 9]) + QChar('a' + i % 26);
            AddressRec.First = QStringLiteral("Pat") + QString::number(i);
            AddressRec.City = QStringLiteral("Springfield");
            AddressRec.Birthdate = QDate(1960 + i % 40, 1 + i % 12, 1 + i % 28);
            AddressRec.Christmas = i % 2;
            AddressRec.Birthday = i % 3 == 0;
            StoreAddrRec();
        }
        if (!CloseTable(AddrBookTable)) std::abort();
        LibHandle = nullptr;
        return d;
    }();
    return dir;
}

struct Reader {
    const uint8_t* p;
    size_t n;
    bool more() const { return n > 0; }
    uint8_t byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    uint16_t word() { return uint16_t(byte() | byte() << 8); }
    std::string bytes(size_t k) {
        k = std::min(k, n);
        std::string s(reinterpret_cast<const char*>(p), k);
        p += k;
        n -= k;
        return s;
    }
    // Letters only, so that what is stored reads back exactly as given.
    QString letters(size_t most) {
        QString s;
        for (char c : bytes(1 + byte() % most)) s += QChar('A' + uint8_t(c) % 26);
        return s;
    }
};

void patch(const std::string& path, uint32_t offset, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) return;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    if (size > 0) {
        std::fseek(f, long(offset % uint32_t(size + 1)), SEEK_SET);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    }
    std::fclose(f);
}

void truncateTo(const std::string& path, uint32_t offset) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (!ec && size > 0) fs::resize_file(path, offset % size, ec);
}

xbase::FaultyFileSystem::Plan planFor(uint8_t kind, uint8_t n) {
    xbase::FaultyFileSystem::Plan plan;
    const int at = 1 + n % 64;
    switch (kind & 3) {
    case 1: plan.failWriteAt = at; break;
    case 2: plan.failSyncAt = at; break;
    case 3: plan.failRenameAt = at; break;
    default: break;
    }
    plan.sticky = kind & 4;
    return plan;
}

struct Stored {
    uint32_t recNo;
    QString last, first;
};

// The check of the book and its index, as merrowby-admin check runs it. A fault it finds names
// its file; `whole` says the folder must pass.
void checkBook(xbase::FileSystem& fsys, const std::string& dir, bool whole) {
    std::vector<xbase::CheckVerdict> v;
    const bool ok = xbase::checkTable(fsys, dir, "AddrBook", true, &v);
    bool named = ok;
    for (const auto& verdict : v)
        if (!verdict.ok && !verdict.file.empty()) named = true;
    if (!named) fault("check found a fault it does not name");
    if (whole && !ok) {
        std::string all;
        for (const auto& verdict : v) all += verdict.file + ": " + verdict.detail + "; ";
        fault("a whole folder fails the check:", all);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = baseDir() + "/work";
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::copy(baseDir() + "/base", dir, ec);
    if (ec) return 0;

    Reader in{data, size};
    const uint8_t settings = in.byte();
    const uint8_t faultAt = in.byte();
    bool whole = (settings & 0x73) == 0;  // no damage, no disk fault
    if (settings & 0x10)
        if (FILE* f = std::fopen((dir + "/Address.ntx.pending").c_str(), "wb")) std::fclose(f);
    if (settings & 0x20) fs::remove(dir + "/AddrBook.cgp", ec);
    if (settings & 0x40) fs::remove(dir + "/Address.ntx", ec);
    xbase::DbfFile::setMapLimit((settings & 0x08) ? 0 : (160ull << 20));

    static const char* const kFiles[] = {"AddrBook.dbf", "Address.ntx", "AddrBook.cgp", "LABELS.dbf",
                                         "Labels.ntx",   "LABELS.cgp",  "Mrby1.dbf",    "importf.dbf"};
    for (int i = 0; i < 8 && in.more(); ++i) {
        const uint8_t which = in.byte() % 9;
        if (which == 8) break;
        const std::string path = dir + "/" + kFiles[which];
        const uint32_t offset = in.word();
        const uint8_t len = in.byte();
        if (len == 0) truncateTo(path, offset);
        else patch(path, offset, in.bytes(len));
        whole = false;
    }

    xbase::FaultyFileSystem faulty(xbase::FileSystem::real());
    faulty.setPlan(planFor(settings, faultAt));
    xbase::Library lib(faulty);
    lib.setDirectory(dir);
    lib.setSyncOnFlush(false);
    LibHandle = &lib;
    std::vector<Stored> stored;  // rows reported appended and flushed
    // Every step since the book was opened worked (the oracle of the reopen needs no more).
    auto good = [&](const DataStatus& s) {
        if (!s.ok()) whole = false;
        return s.ok();
    };
    bool open = good(OpenAddrBook());
    bool cleanSinceOpen = open;
    auto reselect = [&] {
        if (AddrBookTable) AddrBookTable->selectTag(AddrBookTable->tag("Address"));
    };
    for (int steps = 0; steps < 64 && in.more(); ++steps) {
        const uint8_t op = in.byte() % 25;
        const bool needsBook = (op >= 2 && op <= 9) || op == 12 || op == 13 || (op >= 19 && op <= 22);
        if (!open && needsBook) continue;
        switch (op) {
        case 0:  // open as the program opens
            if (!open) open = cleanSinceOpen = good(OpenAddrBook());
            break;
        case 1: {  // flush, then check as merrowby-admin check does
            const bool flushed = good(FlushTable(AddrBookTable));
            if (!flushed) cleanSinceOpen = false;
            checkBook(lib.fs(), dir, whole && flushed && !lib.exitTest());
            break;
        }
        case 2: {  // walk in index order, reading every row as the address page does
            uint32_t n = 0;
            int rc = AddrBookTable->top();
            for (; rc == xbase::kOk && n < 400; rc = AddrBookTable->skip(1), ++n) LoadAddrRec();
            if (whole && rc == xbase::kEof && !lib.exitTest() && n != AddrBookTable->recCount())
                fault("a walk of a whole book missed rows:", std::to_string(n) + " of " +
                                                                 std::to_string(AddrBookTable->recCount()));
            break;
        }
        case 3: {  // walk back from the end, then skip by a count from the input
            int rc = AddrBookTable->bottom();
            for (int n = 0; rc == xbase::kOk && n < 400; ++n) rc = AddrBookTable->skip(-1);
            const long by = long(int8_t(in.byte()));
            (void)AddrBookTable->top();
            (void)AddrBookTable->skip(by);
            if (AddrBookTable->hasRow()) LoadAddrRec();
            (void)AddrBookTable->skip(-by);
            break;
        }
        case 4:  // seek a key from the input
            LastStatus = AddrBookTable->seek(in.bytes(in.byte() % 24));
            if (AddrBookTable->hasRow()) LoadAddrRec();
            break;
        case 5: {  // seek a stored row by its key: Upper(Last + First)
            if (stored.empty()) break;
            const Stored& s = stored[in.byte() % stored.size()];
            const QString key = s.last.leftJustified(20, QLatin1Char(' ')) + s.first;
            LastStatus = AddrBookTable->seek(key.toUpper().toStdString());
            if (whole && !lib.exitTest() && LastStatus != xbase::kOk)
                fault("a stored row is not found by its key:", key.toStdString());
            break;
        }
        case 6: {  // append a row and flush it
            if (AddrBookTable->appendBlank() != 0) {
                cleanSinceOpen = whole = false;
                break;
            }
            AddressRec = TAddressRecord();
            AddressRec.Last = in.letters(12);
            AddressRec.First = QStringLiteral("F") + QString::number(steps);
            AddressRec.Valentine = true;
            StoreAddrRec();
            const uint32_t recNo = AddrBookTable->recNo();
            if (good(FlushTable(AddrBookTable)) && !lib.exitTest())
                stored.push_back({recNo, AddressRec.Last.trimmed(), AddressRec.First.trimmed()});
            else
                cleanSinceOpen = false;
            break;
        }
        case 7: {  // change a field of the current row
            const uint8_t which = in.byte();
            if (!AddrBookTable->hasRow()) break;
            LoadAddrRec();
            const uint32_t recNo = AddrBookTable->recNo();
            switch (which % 5) {
            case 0: AddressRec.City = QString::fromLatin1(in.bytes(in.byte() % 24)); break;
            case 1: AddressRec.Last = in.letters(20); break;
            case 2: AddressRec.First = in.letters(20); break;
            case 3: AddressRec.Birthdate = QDate(1900 + in.byte(), 1 + in.byte() % 12, 1 + in.byte() % 28); break;
            default: AddressRec.Christmas = !AddressRec.Christmas; break;
            }
            StoreAddrRec();
            // A renamed row is no longer the one stored (its new name may not reach the file).
            if (which % 5 == 1 || which % 5 == 2)
                std::erase_if(stored, [&](const Stored& s) { return s.recNo == recNo; });
            break;
        }
        case 8:  // delete or recall the current row
            if (AddrBookTable->hasRow()) (void)(in.byte() & 1 ? AddrBookTable->markDeleted() : AddrBookTable->recall());
            break;
        case 9:  // pack: the rows are renumbered
            if (AddrBookTable->pack() != 0) cleanSinceOpen = whole = false;
            reselect();
            stored.clear();
            break;
        case 10: {  // reindex, as the setup page and merrowby-admin reindex do
            if (open && !good(CloseTable(AddrBookTable))) stored.clear();
            open = false;
            // Only when missing: an index that is there stays as it is, damage and all.
            const bool onlyIfMissing = in.byte() & 1;
            const bool missing = !fs::exists(xbase::resolveName(lib.fs(), dir, "Address.ntx")) ||
                                 !fs::exists(xbase::resolveName(lib.fs(), dir, "AddrBook.cgp"));
            const bool rebuilt = good(RebuildIndexes(onlyIfMissing)) && (missing || !onlyIfMissing);
            lib.errorCode();
            if (rebuilt && CheckTableFile(lib.fs(), xbase::resolveName(lib.fs(), dir, "AddrBook.dbf"),
                                          DataTables().front()).ok()) {
                std::vector<xbase::CheckVerdict> v;
                (void)xbase::checkTable(lib.fs(), dir, "AddrBook", true, &v);
                for (const auto& verdict : v)
                    if (!verdict.ok && verdict.file.find(".ntx") != std::string::npos)
                        fault("rebuilt index found faulty:", verdict.detail);
            }
            break;
        }
        case 11: {  // close and open again: what was flushed must be there
            const bool closed = good(CloseTable(AddrBookTable));
            open = good(OpenAddrBook());
            if (closed && cleanSinceOpen && open) {
                AddrBookTable->selectTag(nullptr);
                for (const Stored& s : stored) {
                    if (AddrBookTable->go(s.recNo) != xbase::kOk) fault("row reported stored is gone:", std::to_string(s.recNo));
                    LoadAddrRec();
                    if (AddressRec.Last.trimmed() != s.last || AddressRec.First.trimmed() != s.first)
                        fault("row reported stored changed:", std::to_string(s.recNo));
                }
                reselect();
            }
            cleanSinceOpen = open;
            break;
        }
        case 12: {  // go to a record in record order, then back to index order from there
            AddrBookTable->selectTag(nullptr);
            LastStatus = AddrBookTable->go(in.word() % (AddrBookTable->recCount() + 2));
            if (AddrBookTable->hasRow()) LoadAddrRec();
            reselect();
            (void)AddrBookTable->skip(1);
            break;
        }
        case 13:  // flush
            if (!good(FlushTable(AddrBookTable))) cleanSinceOpen = false;
            break;
        case 14: {  // the disk fails from now on
            const uint8_t kind = in.byte();
            faulty.setPlan(planFor(kind, in.byte()));
            if (kind & 3) whole = false;
            break;
        }
        case 15:  // the label stocks: open, read each, change one, close
            if (good(OpenLabels())) {
                const uint8_t pick = in.byte();
                int n = 0;
                for (int rc = LastStatus; rc == xbase::kOk && n < 50; rc = LabelsTable->skip(1), ++n) {
                    LoadLabelRec();
                    if (n == pick % 8) {
                        LabelRec.Width += 1;
                        LabelRec.Name = in.letters(30);
                        StoreLabelRec();
                    }
                }
                (void)good(CloseTable(LabelsTable));
            }
            break;
        case 16:  // the settings row
            if (good(OpenSettings())) {
                LoadSettings();
                SettingsRec.FontSize = in.byte();
                SettingsRec.MailHost = QString::fromLatin1(in.bytes(in.byte() % 16));
                StoreSettings();
                (void)good(CloseTable(SettingsTable));
            }
            break;
        case 17:  // the import layout row
            if (good(OpenImportLayout())) {
                LoadImportLayout();
                ImportRec.fCity = in.byte() % 100;
                ImportRec.ImpFile = QString::fromLatin1(in.bytes(in.byte() % 16));
                StoreImportLayout();
                (void)good(CloseTable(ImportTable));
            }
            break;
        case 18: {  // merrowby-admin check: every table against its layout, and the label index
            for (const TableSchema& t : DataTables())
                (void)CheckTableFile(lib.fs(), xbase::resolveName(lib.fs(), dir, t.fileName), t);
            std::vector<xbase::CheckVerdict> v;
            (void)xbase::checkTable(lib.fs(), dir, "LABELS", true, &v);
            break;
        }
        case 19: {  // the index made anew on the open book (the program's key, or one from the input)
            const uint8_t how = in.byte();
            xbase::TagSpec tag;
            tag.name = "Address";
            tag.expression = how & 1 ? in.bytes(how >> 2) : DataTables().front().key;
            tag.descending = how & 2;
            if (how & 1) whole = false;  // the seek of a stored row's name needs the program's key
            lib.setSafety(false);
            if (AddrBookTable->createIndex("AddrBook", {tag}) != 0) cleanSinceOpen = whole = false;
            lib.setSafety(true);
            reselect();
            break;
        }
        case 20: {  // the address page saves the record it shows, or a new one
            AddressBookEditor page;
            const AddressListModel::Rows names = page.readNames();
            const uint8_t pick = in.byte();
            page.CurrentAddrRecNo = names.size() == 0 || pick == 0 ? 0 : int(names.recNos[pick % names.size()]);
            page.loadCurrent();
            AddressRec.Street = QString::fromLatin1(in.bytes(in.byte() % 24));
            if (pick & 1) AddressRec.Last = in.letters(20);
            const uint32_t recNo = uint32_t(page.CurrentAddrRecNo);
            if (page.save() != AddressBookEditor::SaveResult::Saved) cleanSinceOpen = whole = false;
            if (pick & 1) std::erase_if(stored, [&](const Stored& s) { return s.recNo == recNo; });
            break;
        }
        case 21: {  // the address page deletes a record: a pack, and the card log follows
            AddressBookEditor page;
            const AddressListModel::Rows names = page.readNames();
            if (names.size() == 0) break;
            const size_t at = in.byte() % names.size();
            page.CurrentAddrRecNo = int(names.recNos[at]);
            if (!page.removeCurrent(in.byte() & 1 ? int(at) + 1 : 0)) cleanSinceOpen = whole = false;
            if (!page.CardLogProblem.isEmpty()) whole = false;
            reselect();
            stored.clear();
            break;
        }
        case 22: {  // the address page seeks what is typed
            AddressBookEditor page;
            (void)page.seek(QString::fromLatin1(in.bytes(in.byte() % 24)));
            if (AddrBookTable->hasRow()) page.loadCurrent();
            break;
        }
        case 23: {  // a card logged by hand for the current row (the log is made on first use)
            const uint8_t how = in.byte();
            if (!open || !AddrBookTable->hasRow()) break;
            if (!good(FlushTable(AddrBookTable))) break;
            static const CardKind kinds[] = {CardKind::Sent, CardKind::Received, CardKind::Returned};
            bool added = false;
            if (!CardsAdd(lib, AddrBookTable->recNo(), 2020 + how % 8, 1 + how % 9, kinds[how % 3], &added).ok())
                whole = false;
            break;
        }
        case 24: {  // merrowby-admin init in a new folder
            const std::string fresh = dir + "/new";
            if (CreateDataSet(fresh).ok()) checkBook(lib.fs(), fresh, true);
            fs::remove_all(fresh, ec);
            break;
        }
        }
        if (lib.exitTest()) {
            if (open) cleanSinceOpen = false;
            whole = false;
        }
        lib.errorCode();
    }
    (void)CloseAllTables();
    LibHandle = nullptr;
    return 0;
}
