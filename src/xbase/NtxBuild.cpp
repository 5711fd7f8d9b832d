// A whole index written at once from its keys: NtxIndex::build.

#include "xbase/NtxImpl.h"

#include <cstring>

#include "xbase/KeySorter.h"

namespace xbase {

namespace {

// Copies a key of n bytes (1 to 250) eight at a time: a memcpy of a length known only at run
// time became a string instruction whose start-up cost, paid once per key of a bulk build,
// outweighed the copy.
inline void copyKey(uint8_t* d, const uint8_t* s, size_t n) {
    if (n < 8) {
        std::memcpy(d, s, n);
        return;
    }
    uint64_t w;
    for (size_t i = 0; i + 8 < n; i += 8) {
        std::memcpy(&w, s + i, 8);
        std::memcpy(d + i, &w, 8);
        asm("" ::: "memory");  // keeps this a word loop rather than a memcpy call again
    }
    std::memcpy(&w, s + n - 8, 8);
    std::memcpy(d + n - 8, &w, 8);
}

}  // namespace

Status NtxIndex::build(FileSystem& fs, const std::string& path, const NtxSpec& layout,
                       KeyBlock keys, std::vector<uint32_t> recNos,
                       std::unique_ptr<NtxIndex>* out, bool sync, std::unique_ptr<File>* replaced) try {
    out->reset();
    if (replaced) replaced->reset();
    auto bad = [&](const std::string& m) { return Status::error(ErrorKind::BadArgument, path, m); };
    if (layout.keySize < 1 || layout.keySize > kMaxKeySize) return bad("key size must be 1 to 250");
    const size_t count = recNos.empty() ? keys.size() / layout.keySize : recNos.size();
    if (keys.size() != count * layout.keySize) return bad("key bytes do not match the record count");
    if (layout.expression.size() >= kHdrExpressionLen) return bad("key expression too long");
    if (layout.expression.find('\0') != std::string::npos) return bad("key expression holds a NUL");
    if (layout.tagName.size() > kTagNameMaxChars) return bad("tag name longer than 10 characters");
    if (count > UINT32_MAX) return bad("too many keys");

    const size_t ks = layout.keySize;
    const uint16_t itemSize = uint16_t(layout.keySize + kItemOverhead);
    const uint16_t maxItems = maxItemsFor(layout.keySize);
    const uint16_t half = uint16_t(maxItems / 2);

    // Sort (key, record number) on this thread: a second one gained little over the merge it
    // then needs, and nothing when the other core is busy. The record arrays are not cleared
    // first: every slot is written before it is read.
    std::unique_ptr<SortRec[]> order(new SortRec[count]);
    adviseLargeArray(order.get(), count * sizeof(SortRec));
    if (recNos.empty()) {
        for (size_t i = 0; i < count; ++i) order[i] = {0, uint32_t(i + 1), uint32_t(i)};
    } else {
        for (size_t i = 0; i < count; ++i) order[i] = {0, recNos[i], uint32_t(i)};
        recNos.clear();
        recNos.shrink_to_fit();
    }
    KeySorter(keys.data(), ks, layout.descending).sort(order.get(), count);
    size_t entries = count;
    if (layout.unique && entries) {
        size_t w = 1;
        for (size_t i = 1; i < entries; ++i) {
            if (std::memcmp(keys.data() + size_t(order[i].idx) * ks, keys.data() + size_t(order[w - 1].idx) * ks, ks) != 0) {
                order[w++] = order[i];
            }
        }
        entries = w;
    }

    // Plan each level: pages filled left to right with max keys, the next entry going up as a
    // separator; the last two pages of a level share their keys so neither falls below half.
    struct LevelPlan {
        size_t entries;  // entries arriving at this level
        size_t pages;
        size_t curIndex = 0;
        size_t target(size_t j, size_t maxK, size_t halfK) const {
            if (pages == 1) return entries;
            const size_t keys = entries - (pages - 1);
            if (j + 2 < pages) return maxK;
            const size_t lastTwo = keys - (pages - 2) * maxK;
            if (lastTwo - maxK >= halfK) return j + 2 == pages ? maxK : lastTwo - maxK;
            return j + 2 == pages ? lastTwo - lastTwo / 2 : lastTwo / 2;
        }
    };
    std::vector<LevelPlan> plan;
    {
        size_t e = entries;
        for (;;) {
            if (e <= maxItems) {
                plan.push_back({e, 1});
                break;
            }
            const size_t q = (e + 1 + maxItems) / (size_t(maxItems) + 1);
            plan.push_back({e, q});
            e = q - 1;
        }
    }

    // Write beside the target. Pages are numbered when finished, so they go out in page order
    // through one buffer, written each time it fills. A leaf is laid out in the buffer where it
    // will stay; the page being filled on each upper level is held aside and copied in when
    // done. The header, which names the root, comes last.
    // Memory first, so that running out of it leaves no file behind.
    constexpr size_t kWritePages = 4096;  // 4 MB a write
    std::unique_ptr<uint8_t[]> wbuf(new uint8_t[kWritePages * kPageSize]);
    adviseLargeArray(wbuf.get(), kWritePages * kPageSize);
    std::vector<uint8_t> upper(plan.size() * kPageSize);  // level L >= 1 at L * kPageSize
    const std::string tmp = path + kBuildingSuffix;
    std::unique_ptr<File> f;
    // The file being replaced, held open across the rename for the caller (see `replaced`).
    // Otherwise the rename is the last link to go, and frees the old file's pages itself.
    std::unique_ptr<File> old;
    if (replaced && fs.exists(path) && !fs.open(path, OpenMode::Read, &old).ok()) old.reset();
    // An exception on its way out (memory gone part-way) must not leave the file behind either.
    struct Leftover {
        FileSystem& fs;
        const std::string& name;
        bool keep = false;
        ~Leftover() {
            if (keep) return;
            try {
                (void)fs.remove(name);
            } catch (...) {
            }
        }
    } leftover{fs, tmp};
    XB_TRY(fs.open(tmp, OpenMode::CreateTruncate, &f));
    keepPermissions(fs, path, *f);
    auto failed = [&](Status s) {
        f.reset();
        fs.remove(tmp);
        return s;
    };
    size_t used = 0;                  // finished pages in out
    uint64_t outAt = kPageSize;       // file offset of wbuf[0]; page 0 is the header
    uint32_t numPages = 1;
    Status ws;                        // the first failed write
    // The page at wbuf[used] is finished: numbers it, writing the buffer out when full.
    auto emit = [&]() -> uint32_t {
        const uint32_t at = numPages++ * uint32_t(kPageSize);
        if (++used == kWritePages) {
            if (ws.ok()) ws = f->write(outAt, wbuf.get(), used * kPageSize);
            outAt += used * kPageSize;
            used = 0;
        }
        return at;
    };
    const uint32_t area = itemAreaStart(maxItems);
    auto itemAt = [&](uint8_t* pg, size_t i) { return pg + area + i * itemSize; };
    auto keysIn = [](const uint8_t* pg) { return le::get16(pg + kPageCount); };
    auto startPage = [&](uint8_t* pg) {
        std::memset(pg, 0, kPageSize);
        for (size_t i = 0; i <= maxItems; ++i) le::put16(pg + kPageOffsets + 2 * i, uint16_t(area + i * itemSize));
    };
    uint8_t* leaf = wbuf.get();
    startPage(leaf);
    for (size_t L = 1; L < plan.size(); ++L) startPage(&upper[L * kPageSize]);

    uint8_t it[kItemOverhead + kMaxKeySize];  // the entry going up as a separator
    for (size_t e = 0; e < entries && ws.ok(); ++e) {
        if (e + 32 < entries) {
            const uint8_t* ahead = keys.data() + size_t(order[e + 32].idx) * ks;
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + ks - 1);
        }
        const uint8_t* key = keys.data() + size_t(order[e].idx) * ks;
        const uint16_t n = keysIn(leaf);
        if (n < plan[0].target(plan[0].curIndex, maxItems, half)) {
            uint8_t* d = itemAt(leaf, n);  // child pointer stays 0
            le::put32(d + kItemRecNo, order[e].rec);
            copyKey(d + kItemKey, key, ks);
            le::put16(leaf + kPageCount, uint16_t(n + 1));
            continue;
        }
        le::put32(it + kItemChild, emit());
        ++plan[0].curIndex;
        le::put32(it + kItemRecNo, order[e].rec);
        std::memcpy(it + kItemKey, key, ks);
        for (size_t L = 1;; ++L) {
            if (L >= plan.size()) return failed(Status::error(ErrorKind::Corrupt, path, "index build plan overflow"));
            LevelPlan& lv = plan[L];
            uint8_t* p = &upper[L * kPageSize];
            const uint16_t m = keysIn(p);
            if (m < lv.target(lv.curIndex, maxItems, half)) {
                std::memcpy(itemAt(p, m), it, itemSize);
                le::put16(p + kPageCount, uint16_t(m + 1));
                break;
            }
            le::put32(itemAt(p, m) + kItemChild, le::get32(it + kItemChild));
            std::memcpy(wbuf.get() + used * kPageSize, p, kPageSize);
            le::put32(it + kItemChild, emit());
            startPage(p);
            ++lv.curIndex;
        }
        leaf = wbuf.get() + used * kPageSize;
        startPage(leaf);
    }
    uint32_t root = 0;
    if (ws.ok()) {
        root = emit();  // the last leaf, in place
        for (size_t L = 1; L < plan.size(); ++L) {
            uint8_t* p = &upper[L * kPageSize];
            le::put32(itemAt(p, keysIn(p)) + kItemChild, root);
            std::memcpy(wbuf.get() + used * kPageSize, p, kPageSize);
            root = emit();
        }
        if (used && ws.ok()) ws = f->write(outAt, wbuf.get(), used * kPageSize);
    }
    if (!ws.ok()) return failed(ws);
    wbuf.reset();
    keys.release();
    order.reset();

    uint8_t h[kPageSize] = {};
    le::put16(h + kHdrSignature, kSigStandard);
    le::put16(h + kHdrVersion, 1);
    le::put32(h + kHdrRoot, root);
    le::put32(h + kHdrFreeList, 0);
    le::put16(h + kHdrItemSize, itemSize);
    le::put16(h + kHdrKeySize, layout.keySize);
    le::put16(h + kHdrKeyDecimals, layout.keyDecimals);
    le::put16(h + kHdrMaxItems, maxItems);
    le::put16(h + kHdrHalfPage, half);
    std::memcpy(h + kHdrExpression, layout.expression.data(), layout.expression.size());
    h[kHdrUnique] = layout.unique ? 1 : 0;
    h[kHdrDescending] = layout.descending ? 1 : 0;
    std::memcpy(h + kHdrTagName, layout.tagName.data(), layout.tagName.size());
    Status s = f->write(0, h, kPageSize);
    if (s.ok() && sync) s = f->sync();
    f.reset();
    if (s.ok()) s = fs.rename(tmp, path);
    if (!s.ok()) return s;
    leftover.keep = true;
    if (replaced) *replaced = std::move(old);
    if (sync) fs.syncDir(dirName(path));  // a failed directory sync only weakens durability
    return open(fs, path, false, out);
} catch (...) {
    return caughtFailure(path);
}

}  // namespace xbase
