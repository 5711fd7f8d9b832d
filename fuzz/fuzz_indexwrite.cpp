// libFuzzer target: keys inserted into and removed from an index that may be damaged (page
// pointers, key counts, the free list), then flushed, closed and opened again.
//
// Input: a 2-byte length L, L bytes of index file, then operations: a byte whose low bit picks
// insert (key bytes and a record number from the input) or remove (of a key inserted earlier).
//
// Oracle: when every call reported success, each key reported inserted and not removed is found
// after the reopen, and each one removed is not.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "xbase/ntx.h"

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
    bool clean = true;
    for (int ops = 0; ops < 200 && n > 0; ++ops) {
        const uint8_t op = *p++;
        --n;
        if ((op & 1) == 0 || entries.empty()) {
            std::string key(keySize, ' ');
            for (size_t i = 0; i < keySize && i < size_t(op >> 4) && n > 0; ++i, --n) key[i] = char('A' + *p++ % 26);
            const uint32_t recNo = 1 + uint32_t(op) + uint32_t(ops) * 256;
            if (ix->insert(key, recNo).ok()) entries.push_back({key, recNo, true});
            else clean = false;
        } else {
            Entry& e = entries[size_t(op >> 1) % entries.size()];
            if (!e.present) continue;
            if (ix->remove(e.key, e.recNo).ok()) e.present = false;
            else clean = false;
        }
    }
    if (!ix->flush(false).ok()) clean = false;
    if (!ix->close().ok()) clean = false;
    ix.reset();
    if (!clean || unique) return 0;
    // Only an index that was whole to begin with can promise anything about its keys.
    if (!xbase::NtxIndex::open(fs, path, true, &ix).ok()) return 0;
    std::string detail;
    if (!ix->verify([](std::string_view, uint32_t) {}, &detail).ok()) return 0;
    for (const Entry& e : entries) {
        bool found = false;
        if (!ix->seekEntry(e.key, e.recNo, &found).ok()) continue;
        if (found != e.present) {
            std::fprintf(stderr, "key %s / %u: %s after the reopen\n", e.key.c_str(), e.recNo,
                         found ? "still there" : "lost");
            __builtin_trap();
        }
    }
    return 0;
}
