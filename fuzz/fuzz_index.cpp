// libFuzzer target: an index file from arbitrary bytes, opened, verified, walked both ways and
// searched: for a few fixed keys, and for keys taken from the input (its last byte says how many
// bytes before it form one, so a key of the file itself can be sought). The engine must answer
// with an error, never crash, hang or read out of bounds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "xbase/Ntx.h"

namespace {

const std::string& workDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz-index-XXXXXX";
        return std::string(::mkdtemp(tmpl));
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = workDir() + "/I.ntx";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    std::unique_ptr<xbase::NtxIndex> ix;
    if (!xbase::NtxIndex::open(xbase::FileSystem::real(), path, true, &ix).ok()) return 0;
    std::string detail;
    (void)ix->verify([](std::string_view, uint32_t) {}, &detail);
    uint64_t n = 0;
    (void)ix->count(&n);
    bool ok = false;
    long steps = 0;
    for (xbase::Status s = ix->first(&ok); s.ok() && ok && steps < 100000; s = ix->next(&ok), ++steps)
        (void)ix->currentKey();
    for (xbase::Status s = ix->last(&ok); s.ok() && ok && steps < 200000; s = ix->prev(&ok), ++steps)
        (void)ix->currentRecNo();
    xbase::SeekResult r;
    for (const char* key : {"", "A", "M", "ZZZZ", "\xff\xff"}) (void)ix->seek(key, &r);
    if (size > 1) {
        const size_t k = std::min<size_t>(data[size - 1], size - 1);
        const std::string key(reinterpret_cast<const char*>(data + size - 1 - k), k);
        if (ix->seek(key, &r).ok() && r != xbase::SeekResult::Eof) {
            for (int i = 0; i < 4 && ok; ++i) (void)ix->next(&ok);
            for (int i = 0; i < 8 && ok; ++i) (void)ix->prev(&ok);
        }
        (void)ix->seekEntry(key, uint32_t(size), &ok);
    }
    (void)ix->seekEntry(std::string(ix->keySize(), ' '), 1, &ok);
    (void)ix->close();
    return 0;
}
