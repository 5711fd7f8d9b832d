// libFuzzer target: a whole data folder, damaged by the input, run through the program's own
// sequence with the routines the program and merrowby-admin use.
//
// Input: a list of patches, then a list of operations.
//   patch:     file (1 byte: AddrBook.dbf, Address.ntx, AddrBook.cgp, or end of patches),
//              offset (2 bytes), length (1 byte), the bytes
//   operation: one byte each (open, check, walk, seek, append, change, delete, pack, reindex,
//              close and reopen), some followed by a byte or two of argument
// The folder starts as a fresh data set with a few rows, so that patches land in files that are
// otherwise whole. Every step works or reports an error; nothing ends the process.
//
// Oracle: a row appended, stored and flushed without error is there, unchanged, after the book
// is closed and opened again without error (until a pack renumbers the rows); an index rebuilt
// without error over a table that opens is found whole by the check.
#include <unistd.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/DbUtil.h"
#include "data/Globals.h"
#include "data/Schema.h"
#include "data/dbFiles.h"
#include "xbase/check.h"
#include "xbase/library.h"
#include "xbase/table.h"

namespace {

namespace fs = std::filesystem;

const std::string& baseDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz-folder-XXXXXX";
        std::string d = ::mkdtemp(tmpl);
        // The pristine data set every input starts from.
        const std::string base = d + "/base";
        if (!CreateDataSet(base).ok()) std::abort();
        xbase::Library lib;
        lib.setDirectory(base);
        LibHandle = &lib;
        if (!OpenAddrBook()) std::abort();
        for (const char* name : {"Young", "Ames", "Lee", "Zimmer", "Brown"}) {
            if (AddrBookTable->appendBlank() != 0) std::abort();
            AddressRec = TAddressRecord();
            AddressRec.Last = QString::fromLatin1(name);
            AddressRec.First = QStringLiteral("Pat");
            AddressRec.Christmas = true;
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
    std::string bytes(size_t k) {
        k = std::min(k, n);
        std::string s(reinterpret_cast<const char*>(p), k);
        p += k;
        n -= k;
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

struct Stored {
    uint32_t recNo;
    QString last, first;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = baseDir() + "/work";
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::copy(baseDir() + "/base", dir, ec);
    if (ec) return 0;

    Reader in{data, size};
    static const char* const kFiles[] = {"AddrBook.dbf", "Address.ntx", "AddrBook.cgp"};
    for (int i = 0; i < 8 && in.more(); ++i) {
        const uint8_t which = in.byte();
        if (which % 4 == 3) break;
        const std::string path = dir + "/" + kFiles[which % 4];
        const uint32_t offset = uint32_t(in.byte()) | uint32_t(in.byte()) << 8;
        const uint8_t len = in.byte();
        if (len == 0) truncateTo(path, offset);
        else patch(path, offset, in.bytes(len));
    }

    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setSyncOnFlush(false);
    LibHandle = &lib;
    std::vector<Stored> stored;  // rows reported appended and flushed
    bool open = OpenAddrBook().ok();
    bool cleanSinceOpen = open;  // no engine error since the book was opened
    for (int steps = 0; steps < 64 && in.more(); ++steps) {
        const uint8_t op = in.byte() % 10;
        if (!open && op != 0 && op != 8) continue;
        switch (op) {
        case 0:  // open as the program opens
            if (!open) open = cleanSinceOpen = OpenAddrBook().ok();
            break;
        case 1: {  // check, as merrowby-admin check does
            std::vector<xbase::CheckVerdict> v;
            (void)xbase::checkTable(lib.fs(), dir, "AddrBook", true, &v);
            break;
        }
        case 2: {  // walk in index order
            long n = 0;
            for (int rc = AddrBookTable->top(); rc == xbase::kOk && n < 2000; rc = AddrBookTable->skip(1), ++n)
                LoadAddrRec();
            break;
        }
        case 3:  // seek a key from the input
            LastStatus = AddrBookTable->seek(in.bytes(in.byte() % 12));
            break;
        case 4: {  // append a row and flush it
            if (AddrBookTable->appendBlank() != 0) {
                cleanSinceOpen = false;
                break;
            }
            AddressRec = TAddressRecord();
            // Letters only, so that what is stored is exactly what was given.
            for (char c : in.bytes(1 + in.byte() % 8)) AddressRec.Last += QChar('A' + uint8_t(c) % 26);
            AddressRec.First = QStringLiteral("F") + QString::number(steps);
            StoreAddrRec();
            const uint32_t recNo = AddrBookTable->recNo();
            if (FlushTable(AddrBookTable).ok()) {
                stored.push_back({recNo, AddressRec.Last.trimmed(), AddressRec.First.trimmed()});
            } else {
                cleanSinceOpen = false;
            }
            break;
        }
        case 5:  // change a field of the current row
            if (AddrBookTable->hasRow()) {
                LoadAddrRec();
                AddressRec.City = QString::fromLatin1(in.bytes(in.byte() % 20).c_str());
                StoreAddrRec();
            }
            break;
        case 6:  // delete or recall the current row
            if (AddrBookTable->hasRow()) (void)(in.byte() & 1 ? AddrBookTable->markDeleted() : AddrBookTable->recall());
            break;
        case 7:  // pack: the rows are renumbered
            if (AddrBookTable->pack() != 0) cleanSinceOpen = false;
            stored.clear();
            break;
        case 8: {  // reindex, as the setup page does
            if (open && !CloseTable(AddrBookTable).ok()) stored.clear();
            open = false;
            const bool rebuilt = RebuildIndexes(false).ok();
            lib.errorCode();
            if (rebuilt && CheckTableFile(lib.fs(), xbase::resolveName(lib.fs(), dir, "AddrBook.dbf"),
                                          DataTables().front()).ok()) {
                std::vector<xbase::CheckVerdict> v;
                (void)xbase::checkTable(lib.fs(), dir, "AddrBook", true, &v);
                for (const auto& verdict : v)
                    if (!verdict.ok && verdict.file.find(".ntx") != std::string::npos) {
                        std::fprintf(stderr, "rebuilt index found faulty: %s\n", verdict.detail.c_str());
                        __builtin_trap();
                    }
            }
            break;
        }
        case 9: {  // close and open again: what was flushed must be there
            const bool closed = CloseTable(AddrBookTable).ok();
            open = OpenAddrBook().ok();
            if (closed && cleanSinceOpen && open) {
                AddrBookTable->selectTag(nullptr);
                for (const Stored& s : stored) {
                    if (AddrBookTable->go(s.recNo) != xbase::kOk) {
                        std::fprintf(stderr, "row %u reported stored is gone\n", s.recNo);
                        __builtin_trap();
                    }
                    LoadAddrRec();
                    if (AddressRec.Last.trimmed() != s.last || AddressRec.First.trimmed() != s.first) {
                        std::fprintf(stderr, "row %u changed\n", s.recNo);
                        __builtin_trap();
                    }
                }
                AddrBookTable->selectTag(AddrBookTable->tag("Address"));
            }
            cleanSinceOpen = open;
            break;
        }
        }
        if (open && lib.exitTest()) cleanSinceOpen = false;
        lib.errorCode();
    }
    (void)CloseAllTables();
    LibHandle = nullptr;
    return 0;
}
