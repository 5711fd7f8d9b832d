// libFuzzer target: keys inserted into and removed from an index that may be damaged (page
// pointers, key counts, the free list), with flushes, reopens and seeks in between.
//
// Input: a 2-byte length L, L bytes of index file, then operations, one byte each (low two bits):
//   0  insert: key bytes from the input (letters, or raw bytes with bit 3), a record number
//   1  remove an entry present (one inserted, or one the file held)
//   2  flush (bit 2: synced); with bit 3 also close and open again
//   3  seek a prefix from the input and step on from it, or count the entries
//
// Oracle: when the file passed the structural check at the start and every call reported
// success, it passes it again after the last flush and a reopen, holds exactly the entries
// reported stored, and finds each of them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "xbase/Ntx.h"

namespace {

const std::string& workDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz-indexwrite-XXXXXX";
        return std::string(::mkdtemp(tmpl));
    }();
    return dir;
}

struct Entry {
    std::string key;
    uint32_t recNo;
    bool present;
};

[[noreturn]] void fault(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "%s %s\n", what, detail.c_str());
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t len = std::min<size_t>(size - 2, size_t(data[0]) | size_t(data[1]) << 8);
    const std::string path = workDir() + "/I.ntx";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data + 2, 1, len, f);
    std::fclose(f);
    const uint8_t* p = data + 2 + len;
    size_t n = size - 2 - len;

    xbase::FileSystem& fs = xbase::FileSystem::real();
    std::unique_ptr<xbase::NtxIndex> ix;
    if (!xbase::NtxIndex::open(fs, path, false, &ix).ok()) return 0;
    const size_t keySize = ix->keySize();
    // A unique index keeps one record per key: the bookkeeping below would not hold.
    const bool unique = ix->header().unique;
    std::vector<Entry> entries;
    std::string detail;
    // The entries of a file that is whole to begin with are known, and may be removed too.
    const bool wholeAtStart = ix->verify([&](std::string_view k, uint32_t r) {
        if (entries.size() < 4096) entries.push_back({std::string(k), r, true});
    }, &detail).ok() && entries.size() < 4096;
    if (!wholeAtStart) entries.clear();
    bool clean = true;
    for (int ops = 0; ops < 300 && n > 0; ++ops) {
        const uint8_t op = *p++;
        --n;
        switch (op & 3) {
        case 1:
            if (!entries.empty()) {
                Entry& e = entries[(size_t(op >> 2) * 131 + size_t(ops)) % entries.size()];
                if (!e.present) break;
                if (ix->remove(e.key, e.recNo).ok()) e.present = false;
                else clean = false;
                break;
            }
            [[fallthrough]];
        case 0: {
            std::string key(keySize, ' ');
            for (size_t i = 0; i < keySize && i < size_t(op >> 4) && n > 0; ++i, --n)
                key[i] = op & 8 ? char(*p++) : char('A' + *p++ % 26);
            const uint32_t recNo = 1 + uint32_t(op) + uint32_t(ops) * 256;
            if (!ix->insert(key, recNo).ok()) {
                clean = false;
                break;
            }
            bool known = false;  // the file may hold this very entry already
            for (Entry& e : entries)
                if (e.recNo == recNo && e.key == key) known = e.present = true;
            if (!known) entries.push_back({key, recNo, true});
            break;
        }
        case 2:
            if (!ix->flush(op & 4).ok()) clean = false;
            if (op & 8) {
                if (!ix->close().ok()) clean = false;
                ix.reset();
                if (!xbase::NtxIndex::open(fs, path, false, &ix).ok()) return 0;
            }
            break;
        case 3: {
            if (op & 4) {
                uint64_t count = 0;
                if (!ix->count(&count).ok()) clean = false;
                break;
            }
            std::string prefix;
            for (size_t i = 0; i < size_t(op >> 4) && n > 0; ++i, --n) prefix += char(*p++);
            xbase::SeekResult r;
            if (!ix->seek(prefix, &r).ok()) {
                clean = false;
                break;
            }
            bool ok = ix->positioned();
            for (int i = 0; i < 8 && ok; ++i)
                if (!(op & 8 ? ix->prev(&ok) : ix->next(&ok)).ok()) clean = false;
            break;
        }
        }
    }
    if (!ix->flush(false).ok()) clean = false;
    if (!ix->close().ok()) clean = false;
    ix.reset();
    if (!clean || unique || !wholeAtStart) return 0;
    if (!xbase::NtxIndex::open(fs, path, true, &ix).ok()) fault("a whole index does not open after the writes");
    uint64_t held = 0;
    if (!ix->verify([&](std::string_view, uint32_t) { ++held; }, &detail).ok())
        fault("a whole index fails the check after the writes:", detail);
    uint64_t present = 0;
    for (const Entry& e : entries) {
        present += e.present;
        bool found = false;
        if (!ix->seekEntry(e.key, e.recNo, &found).ok()) fault("seek failed on a whole index");
        if (found != e.present)
            fault(found ? "an entry removed is still there:" : "an entry stored is lost:",
                  e.key + " / " + std::to_string(e.recNo));
    }
    if (present != held) fault("the index holds other entries than those stored");
    return 0;
}
