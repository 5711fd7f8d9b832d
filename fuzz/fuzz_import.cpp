// libFuzzer target: the import line reader and field splitter over arbitrary bytes, fed in
// pieces of varying size, and the field decoding of both encodings. Checks the splitter's
// invariants: a field it reports lies within the line, and the kept fields never exceed the
// bound however long the line is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/import/ImportRun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the reader's buffer size and how many fields are kept.
    const size_t bufSize = size ? 1 + data[0] % 64 : 1;
    const int keep = size ? data[0] % 13 : 3;
    size_t at = 0;
    ImportLineReader reader([&](char* buf, size_t n) -> long long {
        const size_t k = std::min(n, size - at);
        std::memcpy(buf, data + at, k);
        at += k;
        return static_cast<long long>(k);
    }, bufSize);

    ImportEncoding enc = ImportEncoding::Utf8;
    TextScan scan;
    size_t dat = 0;
    DetectImportEncoding([&](char* buf, size_t n) -> long long {
        const size_t k = std::min(n, size - dat);
        std::memcpy(buf, data + dat, k);
        dat += k;
        return static_cast<long long>(k);
    }, &enc, &scan);

    ImportFieldSplitter split(keep);
    uint64_t lineBytes = 0;
    while (reader.next(split, &lineBytes)) {
        if (split.fieldCount() < 1 || split.fieldCount() > lineBytes + 1) std::abort();
        for (int pos = 1; pos <= keep + 1; ++pos) {
            const ImportField* f = split.field(pos);
            if (pos > keep && f) std::abort();
            if (!f) continue;
            if (f->length > lineBytes || f->head.size() > ImportField::kHeadBytes) std::abort();
            (void)DecodeImportField(*f, enc);
            (void)HasTwoCharacters(*f, enc);
        }
    }
    return 0;
}
