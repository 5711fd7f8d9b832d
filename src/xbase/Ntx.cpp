#include "xbase/Ntx.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <bitset>
#include <cstdlib>
#include <cstring>
#include <new>

#include "xbase/HelperThread.h"
#include "xbase/LittleEndian.h"
#include "xbase/NtxFormat.h"

// How the pieces fit: Impl keeps the header image and a cache of raw 1024-byte pages indexed by
// page number, loaded lazily and checked as they come in. The cursor is a stack of
// (page, position): on the top level position is the current key; on the levels below it is the
// child the cursor went down into. Changes edit pages in the cache and mark them dirty; flush()
// writes them back with the header.
//
// Freed pages (after a merge or a root collapse) are wiped and chained through the child pointer
// of their item 0, with the head in the header's free-list field. A page is taken off that list
// only when it still looks exactly like one we wiped; anything else (a list left by another
// program, a broken link) makes us drop the list and append new pages instead.
//
// Entries are ordered by (key, record number); a descending index inverts the key comparison
// only, so equal keys still run in ascending record order. Files from writers that append equal
// keys in arrival order are still served: finding a record's entry falls back to scanning its run
// of equal keys, though verify() reports such runs as out of order.

namespace xbase {

using namespace ntx;

namespace {

// Plain bytes plus bookkeeping; set up by Impl::newPage (slabs are raw memory).
struct Page {
    uint8_t b[kPageSize];
    uint32_t no;  // page number = byte offset / 1024
    bool dirty;
};

// A block of pages from the allocator, 2 MB at most. Slabs are kept to ordinary pages: where
// memory is handed to the process lazily (virtual machines), a fresh huge page was measured to
// cost many times what the same memory costs in small pages, and builds and inserts that grow
// the cache paid for it.
struct SlabFree {
    void operator()(Page* p) const { std::free(p); }
};
using Slab = std::unique_ptr<Page, SlabFree>;
constexpr size_t kSlabBytes = size_t(2) << 20;
constexpr uint32_t kReadCluster = 32;          // pages read at once when one is missing

Slab allocSlab(size_t pages) {
    void* mem = std::malloc(pages * sizeof(Page));
    if (!mem) throw std::bad_alloc();
    return Slab(static_cast<Page*>(mem));
}

inline uint16_t keyCount(const Page* p) { return le::get16(p->b + kPageCount); }
inline void setCount(Page* p, uint16_t n) { le::put16(p->b + kPageCount, n); }
inline uint16_t slot(const Page* p, size_t i) { return le::get16(p->b + kPageOffsets + 2 * i); }
inline void setSlot(Page* p, size_t i, uint16_t v) { le::put16(p->b + kPageOffsets + 2 * i, v); }
inline uint8_t* item(Page* p, size_t i) { return p->b + slot(p, i); }
inline const uint8_t* item(const Page* p, size_t i) { return p->b + slot(p, i); }
inline uint32_t child(const Page* p, size_t i) { return le::get32(item(p, i) + kItemChild); }
inline uint32_t recOf(const Page* p, size_t i) { return le::get32(item(p, i) + kItemRecNo); }
inline const uint8_t* keyOf(const Page* p, size_t i) { return item(p, i) + kItemKey; }
inline bool isLeaf(const Page* p) { return child(p, 0) == 0; }

// Big-endian load of up to 8 bytes, zero-padded: integer order equals memcmp order.
inline uint64_t chunkAt(const uint8_t* p, size_t n) {
    if (n >= 8) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
        return v;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < 8; ++i) v = (v << 8) | (i < n ? p[i] : 0);
    return v;
}

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

std::string cString(const uint8_t* p, size_t max) {
    size_t n = 0;
    while (n < max && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// --- bulk build sort ---------------------------------------------------------------------------
struct SortRec {
    uint64_t chunk;  // 8 key bytes from the current offset, big-endian, as a number
    uint32_t rec;
    uint32_t idx;    // key number in the key array
};

// Sorts entries by (key, record number). Keys are fixed-size byte strings in one array; the sort
// works on 16-byte records holding 8 key bytes at a time, and only runs that tie on those bytes
// go on to the next 8. It works in place: a second record array would be as much fresh memory
// again, and on this kind of machine first touching memory costs more than sorting in it.
class KeySorter {
public:
    static constexpr size_t kParallelMin = size_t(1) << 16;  // entries from which two threads sort

    KeySorter(const uint8_t* keys, size_t keySize, bool descending)
        : keys_(keys), keySize_(keySize), descending_(descending) {}

    // Sorts v[0, n). A large array is parted by its first differing key byte here, and the
    // parts are sorted by this thread and a helper, each taking the next part, largest first,
    // as it comes free: on a busy machine the helper takes fewer and the caller waits at most
    // for the one part the helper holds. Each part is sorted as the whole would have been.
    void sort(SortRec* v, size_t n) {
        if (n < kParallelMin || keySize_ < 1) {
            sortRange(v, 0, n, 0);
            return;
        }
        const size_t n0 = std::min<size_t>(8, keySize_);
        uint64_t mn = UINT64_MAX, mx = 0;
        for (size_t i = 0; i < n; ++i) {
            uint64_t c = chunkAt(keys_ + size_t(v[i].idx) * keySize_, n0);
            if (descending_) c = ~c;
            v[i].chunk = c;
            mn = std::min(mn, c);
            mx = std::max(mx, c);
        }
        if (mn == mx) {
            sortRange(v, 0, n, 0);
            return;
        }
        const int shift = (63 - std::countl_zero(mn ^ mx)) / 8 * 8;
        size_t count[256], end[256];
        partition(v, n, shift, count, end);
        uint8_t parts[256];
        for (size_t d = 0; d < 256; ++d) parts[d] = uint8_t(d);
        std::sort(parts, parts + 256, [&](uint8_t a, uint8_t b) { return count[a] > count[b]; });
        std::atomic<size_t> taken{0};
        auto work = [&] {
            for (size_t k; (k = taken.fetch_add(1)) < 256;) {
                const size_t d = parts[k];
                if (count[d] == 0) break;  // the rest are empty too
                const size_t from = end[d] - count[d];
                if (count[d] > 1 && shift > 0) radixByChunk(v + from, count[d], shift - 8);
                sortTies(v, from, end[d], 0);
            }
        };
        HelperThread helper;
        helper.run(work);
        work();
        helper.join();
    }

private:
    // (key, record number) order of two entries whose keys agree before byte `off`. Eight bytes
    // are compared at a time as big-endian numbers: a memcmp call per pair cost more than the
    // comparison itself on keys this short.
    bool lessFrom(const SortRec& x, const SortRec& y, size_t off) const {
        const uint8_t* a = keys_ + size_t(x.idx) * keySize_;
        const uint8_t* b = keys_ + size_t(y.idx) * keySize_;
        for (; off < keySize_; off += 8) {
            const size_t n = std::min<size_t>(8, keySize_ - off);
            const uint64_t ca = chunkAt(a + off, n), cb = chunkAt(b + off, n);
            if (ca != cb) return descending_ ? ca > cb : ca < cb;
        }
        return x.rec < y.rec;
    }

    // Parts a[0, n) in place by the chunk byte at `shift`: count[d] records of digit d end at
    // end[d]. False, with nothing moved, when all have the same digit.
    static bool partition(SortRec* a, size_t n, int shift, size_t* count, size_t* end) {
        std::fill(count, count + 256, size_t(0));
        for (size_t i = 0; i < n; ++i) ++count[(a[i].chunk >> shift) & 255];
        if (count[(a[0].chunk >> shift) & 255] == n) return false;
        size_t next[256];
        size_t sum = 0;
        for (size_t d = 0; d < 256; ++d) {
            next[d] = sum;
            sum += count[d];
            end[d] = sum;
        }
        // Each record is moved straight to its bucket, the one it displaces on in turn.
        for (size_t d = 0; d < 256; ++d) {
            while (next[d] < end[d]) {
                SortRec x = a[next[d]];
                size_t xd = (x.chunk >> shift) & 255;
                while (xd != d) {
                    std::swap(x, a[next[xd]++]);
                    xd = (x.chunk >> shift) & 255;
                }
                a[next[d]++] = x;
            }
        }
        return true;
    }

    // v[lo, hi) is in order of the chunks taken at `off`: sorts each run of equal ones further.
    void sortTies(SortRec* v, size_t lo, size_t hi, size_t off) {
        size_t i = lo;
        while (i < hi) {
            size_t j = i + 1;
            while (j < hi && v[j].chunk == v[i].chunk) ++j;
            if (j - i > 1) sortRange(v, i, j, off + 8);
            i = j;
        }
    }

    // In-place MSD radix sort of a[0, n) by chunk, one byte a level from bit `shift` down; runs
    // below kSmall go to std::sort. The order among equal chunks is left as it falls: the caller
    // sorts each run of them further.
    static void radixByChunk(SortRec* a, size_t n, int shift) {
        constexpr size_t kSmall = 256;
        for (;;) {
            if (n < kSmall) {
                std::sort(a, a + n, [](const SortRec& x, const SortRec& y) { return x.chunk < y.chunk; });
                return;
            }
            size_t count[256], end[256];
            if (!partition(a, n, shift, count, end)) {  // one digit for all: on to the next
                if (shift == 0) return;
                shift -= 8;
                continue;
            }
            if (shift == 0) return;
            for (size_t d = 0, from = 0; d < 256; from = end[d], ++d)
                if (count[d] > 1) radixByChunk(a + from, count[d], shift - 8);
            return;
        }
    }

    void sortRange(SortRec* v, size_t lo, size_t hi, size_t off) {
        while (hi - lo > 1) {
            if (off >= keySize_) {
                std::sort(v + lo, v + hi, [](const SortRec& a, const SortRec& b) { return a.rec < b.rec; });
                return;
            }
            if (hi - lo <= 16) {  // small runs: compare whole keys, all fetched at once
                for (size_t i = lo; i < hi; ++i) __builtin_prefetch(keys_ + size_t(v[i].idx) * keySize_ + off);
                std::sort(v + lo, v + hi, [this, off](const SortRec& a, const SortRec& b) { return lessFrom(a, b, off); });
                return;
            }
            const size_t n = std::min<size_t>(8, keySize_ - off);
            uint64_t mn = UINT64_MAX, mx = 0;
            for (size_t i = lo; i < hi; ++i) {
                // Past the first pass the keys are read in sorted order, i.e. at random.
                if (i + 16 < hi) __builtin_prefetch(keys_ + size_t(v[i + 16].idx) * keySize_ + off);
                uint64_t c = chunkAt(keys_ + size_t(v[i].idx) * keySize_ + off, n);
                if (descending_) c = ~c;
                v[i].chunk = c;
                mn = std::min(mn, c);
                mx = std::max(mx, c);
            }
            if (mn == mx) {  // all tie on these bytes: straight on to the next ones
                off += 8;
                continue;
            }
            // Digits above the highest bit where the chunks differ are the same for all.
            radixByChunk(v + lo, hi - lo, (63 - std::countl_zero(mn ^ mx)) / 8 * 8);
            sortTies(v, lo, hi, off);
            return;
        }
    }

    const uint8_t* keys_;
    size_t keySize_;
    bool descending_;
};

}  // namespace

struct NtxIndex::Impl {
    struct Level {
        Page* page;
        uint16_t pos;
    };

    FileSystem* fs = nullptr;
    std::unique_ptr<File> file;
    std::string path;
    NtxHeaderInfo* hdr = nullptr;
    bool readOnly = false;

    uint16_t keySize = 0, itemSize = 0, maxItems = 0, half = 0;
    bool descending = false, unique = false;
    uint32_t root = 0, freeHead = 0;
    uint8_t header[kPageSize] = {};
    bool headerDirty = false;

    uint32_t numPages = 0;   // pages that exist (on disk or appended in memory), header included
    uint32_t filePages = 0;  // pages present in the file when it was opened or last flushed
    std::vector<Page*> pages;  // by page number; null = not loaded yet
    // Pages live in slabs that grow from a few pages (small tables) to 2 MB each.
    std::vector<Slab> slabs;
    size_t slabSize = 0, slabUsed = 0;
    std::vector<uint32_t> dirtyList;
    bool fileIsLastFlush = true;  // no flush since the last whole one changed the file

    std::vector<Level> stack;  // the cursor
    int walkDir = 0;
    uint64_t walkSteps = 0;

    std::vector<uint8_t> clusterBuf;  // pages read together by getPage
    std::vector<uint8_t> scratch;  // gathered items during splits and merges
    std::vector<uint8_t> shiftBuf;  // the separator moving into a neighbour
    std::vector<uint8_t> itemBuf;  // the item travelling up during an insert

    Page* newPage(uint32_t no) {
        if (slabs.empty() || slabUsed == slabSize) {
            slabSize = slabs.empty() ? 16 : std::min(slabSize * 2, kSlabBytes / sizeof(Page));
            slabs.push_back(allocSlab(slabSize));
            slabUsed = 0;
        }
        Page* p = slabs.back().get() + slabUsed++;
        p->no = no;
        p->dirty = false;
        return p;
    }

    Status corrupt(const std::string& msg) const {
        return Status::error(ErrorKind::Corrupt, path, msg);
    }
    size_t depthLimit() const { return std::min<size_t>(kMaxDepth, numPages); }

    // --- comparisons ------------------------------------------------------------------------
    int cmpKey(const uint8_t* a, const uint8_t* b) const {
        int c = std::memcmp(a, b, keySize);
        return descending ? -c : c;
    }
    int cmpEntry(const uint8_t* ka, uint32_t ra, const uint8_t* kb, uint32_t rb) const {
        int c = cmpKey(ka, kb);
        if (c != 0) return c;
        return ra < rb ? -1 : (ra > rb ? 1 : 0);
    }
    int cmpPrefix(const uint8_t* k, const uint8_t* prefix, size_t len) const {
        int c = len ? std::memcmp(k, prefix, len) : 0;
        return descending ? -c : c;
    }
    // A binary search touches items all over the page: fetch its cache lines together rather
    // than one miss after another.
    static void prefetchPage(const Page* p) {
        for (size_t o = 0; o < kPageSize; o += 64) __builtin_prefetch(p->b + o);
    }
    // First i in [0, n) whose entry is >= (key, rec); n when none.
    uint16_t lowerBound(const Page* p, const uint8_t* key, uint32_t rec) const {
        prefetchPage(p);
        uint16_t lo = 0, hi = keyCount(p);
        while (lo < hi) {
            uint16_t mid = uint16_t((lo + hi) / 2);
            if (cmpEntry(keyOf(p, mid), recOf(p, mid), key, rec) < 0) lo = uint16_t(mid + 1);
            else hi = mid;
        }
        return lo;
    }
    uint16_t lowerBoundPrefix(const Page* p, const uint8_t* prefix, size_t len) const {
        prefetchPage(p);
        uint16_t lo = 0, hi = keyCount(p);
        while (lo < hi) {
            uint16_t mid = uint16_t((lo + hi) / 2);
            if (cmpPrefix(keyOf(p, mid), prefix, len) < 0) lo = uint16_t(mid + 1);
            else hi = mid;
        }
        return lo;
    }

    // --- pages ------------------------------------------------------------------------------
    void initPage(Page* p) const {
        std::memset(p->b, 0, kPageSize);
        const uint32_t area = itemAreaStart(maxItems);
        for (size_t i = 0; i <= maxItems; ++i) setSlot(p, i, uint16_t(area + i * itemSize));
    }

    // Rewrites a page in the initial layout with `n` items taken from `items` (itemSize bytes
    // each, in logical order) and the given rightmost child.
    void writeCanonical(Page* p, const uint8_t* items, size_t n, uint32_t rightChild) {
        initPage(p);
        const uint32_t area = itemAreaStart(maxItems);
        if (n) std::memcpy(p->b + area, items, n * itemSize);
        le::put32(p->b + area + n * itemSize + kItemChild, rightChild);
        setCount(p, uint16_t(n));
        markDirty(p);
    }

    // Checks a page just read. Offsets in use must lie inside the page with room for an item;
    // a table that is not a permutation of the slots is rewritten in memory so later edits
    // cannot overwrite one item through another.
    Status checkPage(Page* p) {
        const uint16_t n = keyCount(p);
        if (n > maxItems) {
            return corrupt("page at " + std::to_string(p->no * kPageSize) + " holds " +
                           std::to_string(n) + " keys, more than " + std::to_string(maxItems));
        }
        const uint32_t area = itemAreaStart(maxItems);
        for (size_t i = 0; i <= n; ++i) {
            uint32_t o = slot(p, i);
            if (o < area || o + itemSize > kPageSize) {
                return corrupt("page at " + std::to_string(p->no * kPageSize) +
                               " has an item offset outside the page");
            }
        }
        bool perm = true;
        std::bitset<kPageSize / 2> seen;  // maxItems + 1 < kPageSize / 2 for any key size
        for (size_t i = 0; i <= maxItems && perm; ++i) {
            uint32_t o = slot(p, i);
            if (o < area || (o - area) % itemSize != 0 || (o - area) / itemSize > maxItems ||
                seen[(o - area) / itemSize]) {
                perm = false;
            } else {
                seen[(o - area) / itemSize] = true;
            }
        }
        if (!perm) {
            std::vector<uint8_t> items((n + 1u) * itemSize);
            for (size_t i = 0; i <= n; ++i) std::memcpy(&items[i * itemSize], item(p, i), itemSize);
            const uint32_t right = le::get32(&items[n * itemSize]);
            const bool wasDirty = p->dirty;
            writeCanonical(p, items.data(), n, right);
            if (!wasDirty) {
                // Same logical content as on disk: no need to write it back.
                p->dirty = false;
                dirtyList.pop_back();
            }
        }
        return Status::Ok();
    }

    Status getPage(uint32_t off, Page** out) {
        if (off == 0 || off % kPageSize != 0 || off / kPageSize >= numPages) {
            return corrupt("page offset " + std::to_string(off) + " is outside the file");
        }
        const uint32_t no = off / kPageSize;
        if (Page* p = pages[no]) {
            *out = p;
            return Status::Ok();
        }
        if (no >= filePages) return corrupt("page " + std::to_string(off) + " was never written");
        // Read the pages that follow along with it: a bulk-built tree lies in the file in the
        // order a walk visits it, and one read of a run costs little more than one of a page.
        uint32_t end = no + 1;
        while (end < filePages && end - no < kReadCluster && !pages[end]) ++end;
        clusterBuf.resize(size_t(end - no) * kPageSize);
        Status s = file->readExact(uint64_t(off), clusterBuf.data(), clusterBuf.size());
        if (!s.ok() && end > no + 1) {
            end = no + 1;  // perhaps only the tail is unreadable
            s = file->readExact(uint64_t(off), clusterBuf.data(), kPageSize);
        }
        if (!s.ok()) return s;
        for (uint32_t n = no; n < end; ++n) {
            Page* p = newPage(n);
            std::memcpy(p->b, &clusterBuf[size_t(n - no) * kPageSize], kPageSize);
            s = checkPage(p);
            if (!s.ok()) {
                --slabUsed;  // give the slot back; p was the last one handed out
                if (n == no) return s;
                continue;    // a bad neighbour is reported when it is asked for
            }
            pages[n] = p;
        }
        *out = pages[no];
        return Status::Ok();
    }

    void markDirty(Page* p) {
        if (!p->dirty) {
            p->dirty = true;
            dirtyList.push_back(p->no);
        }
    }

    // Rightmost item's record and key bytes carry no meaning; keep them zero in what we write.
    void clearRightmost(Page* p) {
        std::memset(item(p, keyCount(p)) + kItemRecNo, 0, itemSize - kItemRecNo);
    }

    // Inserts an item (child, rec, key as itemSize bytes) at logical position i; n < max.
    void insertItem(Page* p, uint16_t i, const uint8_t* it) {
        const uint16_t n = keyCount(p);
        const uint16_t freeSlot = slot(p, n + 1u);
        std::memmove(p->b + kPageOffsets + 2 * (i + 1u), p->b + kPageOffsets + 2 * i,
                     2 * (n + 1u - i));
        setSlot(p, i, freeSlot);
        std::memcpy(p->b + freeSlot, it, itemSize);
        setCount(p, uint16_t(n + 1));
        clearRightmost(p);
        markDirty(p);
    }

    // Removes key i together with its left child pointer (item i); item i+1 moves into place.
    void removeItem(Page* p, uint16_t i) {
        const uint16_t n = keyCount(p);
        const uint16_t freed = slot(p, i);
        std::memmove(p->b + kPageOffsets + 2 * i, p->b + kPageOffsets + 2 * (i + 1u), 2 * (n - i));
        setSlot(p, n, freed);
        std::memset(p->b + freed, 0, itemSize);
        setCount(p, uint16_t(n - 1));
        clearRightmost(p);
        markDirty(p);
    }

    // Appends the items 0..n-1 of p to scratch; returns the rightmost child.
    uint32_t gather(const Page* p) {
        const uint16_t n = keyCount(p);
        const size_t at = scratch.size();
        scratch.resize(at + size_t(n) * itemSize);
        for (size_t i = 0; i < n; ++i) std::memcpy(&scratch[at + i * itemSize], item(p, i), itemSize);
        return child(p, n);
    }

    bool looksFreed(const Page* p) const {
        if (keyCount(p) != 0) return false;
        const uint32_t area = itemAreaStart(maxItems);
        for (size_t i = 0; i <= maxItems; ++i) {
            if (slot(p, i) != area + i * itemSize) return false;
        }
        for (size_t i = area + kItemRecNo; i < kPageSize; ++i) {
            if (p->b[i] != 0) return false;
        }
        return true;
    }

    Status allocPage(Page** out) {
        while (freeHead != 0) {
            Page* p = nullptr;
            const uint32_t off = freeHead;
            if (off == root || !getPage(off, &p).ok() || !looksFreed(p)) break;
            const uint32_t next = child(p, 0);
            if (next == off || (next != 0 && (next % kPageSize || next / kPageSize >= numPages))) break;
            freeHead = next;
            headerDirty = true;
            initPage(p);
            markDirty(p);
            *out = p;
            return Status::Ok();
        }
        if (freeHead != 0) {
            freeHead = 0;  // not a list we can trust
            headerDirty = true;
        }
        if (numPages >= UINT32_MAX / kPageSize) {
            return Status::error(ErrorKind::NoSpace, path, "index file is at its size limit");
        }
        Page* p = newPage(numPages++);
        initPage(p);
        markDirty(p);
        pages.push_back(p);
        *out = p;
        return Status::Ok();
    }

    void freePage(Page* p) {
        initPage(p);
        le::put32(p->b + itemAreaStart(maxItems) + kItemChild, freeHead);
        freeHead = p->no * kPageSize;
        headerDirty = true;
        markDirty(p);
    }

    // --- cursor -----------------------------------------------------------------------------
    // Goes down from `off` to the first (leftmost) or last entry of its subtree, pushing levels.
    // *empty is set when the subtree is the empty root.
    Status descend(uint32_t off, bool leftmost, bool* empty = nullptr) {
        if (empty) *empty = false;
        for (;;) {
            if (stack.size() >= depthLimit()) return corrupt("index tree too deep (page cycle?)");
            Page* p = nullptr;
            XB_TRY(getPage(off, &p));
            const uint16_t n = keyCount(p);
            if (isLeaf(p)) {
                if (n == 0) {
                    if (stack.empty() && off == root && empty) {
                        *empty = true;
                        return Status::Ok();
                    }
                    return corrupt("empty leaf page at " + std::to_string(off));
                }
                stack.push_back({p, uint16_t(leftmost ? 0 : n - 1)});
                return Status::Ok();
            }
            if (n == 0 && !(stack.empty() && off == root)) {
                return corrupt("empty interior page at " + std::to_string(off));
            }
            const uint16_t pos = leftmost ? 0 : n;
            stack.push_back({p, pos});
            off = child(p, pos);
        }
    }

    Status step(int dir) {
        if (walkDir != dir) {
            walkDir = dir;
            walkSteps = 0;
        }
        // A walk in one direction meets every entry at most once; more steps than the file
        // could hold entries means pages are shared between subtrees.
        if (++walkSteps > uint64_t(numPages) * (maxItems + 1u)) {
            stack.clear();
            return corrupt("index walk longer than the file (shared pages)");
        }
        return Status::Ok();
    }
    void resetWalk() {
        walkDir = 0;
        walkSteps = 0;
    }

    Status next(bool* ok) {
        *ok = false;
        if (stack.empty()) return Status::Ok();
        XB_TRY(step(1));
        Level& t = stack.back();
        if (!isLeaf(t.page)) {
            ++t.pos;
            Status s = descend(child(t.page, t.pos), true);
            if (!s.ok()) {
                stack.clear();
                return s;
            }
            *ok = true;
            return Status::Ok();
        }
        if (t.pos + 1u < keyCount(t.page)) {
            ++t.pos;
            *ok = true;
            return Status::Ok();
        }
        stack.pop_back();
        while (!stack.empty() && stack.back().pos >= keyCount(stack.back().page)) stack.pop_back();
        *ok = !stack.empty();
        return Status::Ok();
    }

    Status prev(bool* ok) {
        *ok = false;
        if (stack.empty()) return Status::Ok();
        XB_TRY(step(-1));
        Level& t = stack.back();
        if (!isLeaf(t.page)) {
            Status s = descend(child(t.page, t.pos), false);
            if (!s.ok()) {
                stack.clear();
                return s;
            }
            *ok = true;
            return Status::Ok();
        }
        if (t.pos > 0) {
            --t.pos;
            *ok = true;
            return Status::Ok();
        }
        stack.pop_back();
        while (!stack.empty() && stack.back().pos == 0) stack.pop_back();
        if (stack.empty()) return Status::Ok();
        --stack.back().pos;
        *ok = true;
        return Status::Ok();
    }

    // Positions on the first entry whose leading `len` bytes are >= prefix; unpositioned if none.
    Status seekPrefix(const uint8_t* prefix, size_t len) {
        stack.clear();
        resetWalk();
        uint32_t off = root;
        for (;;) {
            if (stack.size() >= depthLimit()) {
                stack.clear();
                return corrupt("index tree too deep (page cycle?)");
            }
            Page* p = nullptr;
            Status s = getPage(off, &p);
            if (!s.ok()) {
                stack.clear();
                return s;
            }
            const uint16_t i = lowerBoundPrefix(p, prefix, len);
            stack.push_back({p, i});
            if (isLeaf(p)) break;
            off = child(p, i);
        }
        while (!stack.empty() && stack.back().pos >= keyCount(stack.back().page)) stack.pop_back();
        return Status::Ok();
    }

    // Positions on (key, rec). Descends by (key, rec) order first; files whose equal keys are
    // not in record order are still served by scanning the run of equal keys.
    Status seekEntry(const uint8_t* key, uint32_t rec, bool* found) {
        *found = false;
        stack.clear();
        resetWalk();
        uint32_t off = root;
        for (;;) {
            if (stack.size() >= depthLimit()) {
                stack.clear();
                return corrupt("index tree too deep (page cycle?)");
            }
            Page* p = nullptr;
            Status s = getPage(off, &p);
            if (!s.ok()) {
                stack.clear();
                return s;
            }
            const uint16_t i = lowerBound(p, key, rec);
            stack.push_back({p, i});
            if (i < keyCount(p) && recOf(p, i) == rec && std::memcmp(keyOf(p, i), key, keySize) == 0) {
                *found = true;
                return Status::Ok();
            }
            if (isLeaf(p)) break;
            off = child(p, i);
        }
        XB_TRY(seekPrefix(key, keySize));
        while (!stack.empty()) {
            const Level& t = stack.back();
            if (std::memcmp(keyOf(t.page, t.pos), key, keySize) != 0) break;
            if (recOf(t.page, t.pos) == rec) {
                *found = true;
                return Status::Ok();
            }
            bool ok = false;
            XB_TRY(next(&ok));
        }
        stack.clear();
        return Status::Ok();
    }

    // --- maintenance ------------------------------------------------------------------------
    // Inserts `it` (child, rec, key) at the position the cursor stack names, splitting upward.
    // A full leaf with a neighbour (under the same parent) that has room passes one entry over
    // through the parent instead of splitting: pages stay full, so the tree grows less and
    // walks and writes have fewer pages to cover. parent's child `ci` is p; `it` belongs at
    // position pos of p. *moved tells whether it was done.
    Status shiftToSibling(Page* parent, uint16_t ci, Page* p, uint16_t pos, const std::vector<uint8_t>& it,
                          bool* moved) {
        *moved = false;
        const uint16_t n = keyCount(p);
        const uint16_t pn = keyCount(parent);
        std::vector<uint8_t>& up = shiftBuf;
        up.assign(itemSize, 0);
        if (ci > 0) {
            Page* left = nullptr;
            XB_TRY(getPage(child(parent, ci - 1u), &left));
            if (isLeaf(left) && keyCount(left) < maxItems && left != p) {
                // The parent's separator goes down to the end of the left page, the smallest of
                // p's entries (counting the new one) goes up in its place.
                std::memcpy(up.data() + kItemRecNo, item(parent, ci - 1u) + kItemRecNo, itemSize - kItemRecNo);
                insertItem(left, keyCount(left), up.data());
                if (pos == 0) {
                    std::memcpy(item(parent, ci - 1u) + kItemRecNo, it.data() + kItemRecNo, itemSize - kItemRecNo);
                } else {
                    std::memcpy(item(parent, ci - 1u) + kItemRecNo, item(p, 0) + kItemRecNo, itemSize - kItemRecNo);
                    removeItem(p, 0);
                    insertItem(p, uint16_t(pos - 1), it.data());
                }
                markDirty(parent);
                *moved = true;
                return Status::Ok();
            }
        }
        if (ci < pn) {
            Page* right = nullptr;
            XB_TRY(getPage(child(parent, ci + 1u), &right));
            if (isLeaf(right) && keyCount(right) < maxItems && right != p) {
                // The separator goes down to the front of the right page, the largest entry up.
                std::memcpy(up.data() + kItemRecNo, item(parent, ci) + kItemRecNo, itemSize - kItemRecNo);
                insertItem(right, 0, up.data());
                if (pos == n) {
                    std::memcpy(item(parent, ci) + kItemRecNo, it.data() + kItemRecNo, itemSize - kItemRecNo);
                } else {
                    std::memcpy(item(parent, ci) + kItemRecNo, item(p, n - 1u) + kItemRecNo, itemSize - kItemRecNo);
                    removeItem(p, uint16_t(n - 1));
                    insertItem(p, pos, it.data());
                }
                markDirty(parent);
                *moved = true;
            }
        }
        return Status::Ok();
    }

    Status insertAtPath(std::vector<uint8_t>& it) {
        size_t d = stack.size() - 1;
        uint16_t pos = stack[d].pos;
        for (;;) {
            Page* p = stack[d].page;
            if (pos > keyCount(p)) return corrupt("page changed under an insert (shared pages)");
            if (keyCount(p) < maxItems) {
                insertItem(p, pos, it.data());
                return Status::Ok();
            }
            if (isLeaf(p) && d > 0) {
                bool moved = false;
                XB_TRY(shiftToSibling(stack[d - 1].page, stack[d - 1].pos, p, pos, it, &moved));
                if (moved) return Status::Ok();
            }
            // Split: keys 0..h-1 go to a new page, key h moves up, keys h+1..max stay here, so
            // the parent's pointer to this page keeps pointing at the higher keys.
            scratch.clear();
            const uint32_t right = gather(p);
            scratch.insert(scratch.begin() + ptrdiff_t(pos) * itemSize, it.begin(), it.end());
            const size_t total = size_t(maxItems) + 1;
            const size_t h = half;
            Page* lower = nullptr;
            XB_TRY(allocPage(&lower));
            const uint8_t* mid = &scratch[h * itemSize];
            writeCanonical(lower, scratch.data(), h, le::get32(mid + kItemChild));
            std::memcpy(it.data(), mid, itemSize);
            le::put32(it.data() + kItemChild, lower->no * kPageSize);
            writeCanonical(p, &scratch[(h + 1) * itemSize], total - h - 1, right);
            if (d == 0) {
                Page* r = nullptr;
                XB_TRY(allocPage(&r));
                writeCanonical(r, it.data(), 1, p->no * kPageSize);
                root = r->no * kPageSize;
                headerDirty = true;
                return Status::Ok();
            }
            --d;
            pos = stack[d].pos;
        }
    }

    Status insert(const uint8_t* key, uint32_t rec) {
        if (unique) {
            XB_TRY(seekPrefix(key, keySize));
            const bool dup = !stack.empty() &&
                             std::memcmp(keyOf(stack.back().page, stack.back().pos), key, keySize) == 0;
            stack.clear();
            if (dup) return Status::Ok();
        }
        stack.clear();
        uint32_t off = root;
        for (;;) {
            if (stack.size() >= depthLimit()) {
                stack.clear();
                return corrupt("index tree too deep (page cycle?)");
            }
            Page* p = nullptr;
            Status s = getPage(off, &p);
            if (!s.ok()) {
                stack.clear();
                return s;
            }
            const uint16_t i = lowerBound(p, key, rec);
            if (i < keyCount(p) && recOf(p, i) == rec && std::memcmp(keyOf(p, i), key, keySize) == 0) {
                stack.clear();
                return Status::Ok();  // already there
            }
            stack.push_back({p, i});
            if (isLeaf(p)) break;
            off = child(p, i);
        }
        itemBuf.assign(itemSize, 0);
        le::put32(itemBuf.data() + kItemRecNo, rec);
        std::memcpy(itemBuf.data() + kItemKey, key, keySize);
        Status s = insertAtPath(itemBuf);
        stack.clear();
        return s;
    }

    // Removes the entry the cursor is on, then mends underflow up the path.
    Status removeCurrent() {
        size_t d = stack.size() - 1;
        Page* p = stack[d].page;
        if (!isLeaf(p)) {
            // Interior entry: take its in-order predecessor's place and remove that one instead.
            const uint16_t i = stack[d].pos;
            XB_TRY(descend(child(p, i), false));
            d = stack.size() - 1;
            Page* leaf = stack[d].page;
            uint8_t* dst = item(p, i);
            std::memcpy(dst + kItemRecNo, item(leaf, stack[d].pos) + kItemRecNo, itemSize - kItemRecNo);
            markDirty(p);
        }
        removeItem(stack[d].page, stack[d].pos);

        while (d > 0) {
            Page* cur = stack[d].page;
            if (keyCount(cur) >= half) break;
            Page* parent = stack[d - 1].page;
            const uint16_t j = stack[d - 1].pos;
            // Only a damaged tree (a sibling that is also an ancestor) can break these.
            if (keyCount(parent) == 0 || j > keyCount(parent)) return corrupt("interior page without keys");
            const uint16_t k = j > 0 ? uint16_t(j - 1) : j;  // separator between left and right
            Page* left = nullptr;
            Page* right = nullptr;
            XB_TRY(getPage(child(parent, k), &left));
            XB_TRY(getPage(child(parent, k + 1u), &right));
            if (left == right || left == parent || right == parent) return corrupt("page shared by siblings");

            scratch.clear();
            const uint32_t leftRight = gather(left);
            const size_t sepAt = scratch.size();
            scratch.insert(scratch.end(), item(parent, k), item(parent, k) + itemSize);
            le::put32(&scratch[sepAt + kItemChild], leftRight);
            const uint32_t rightRight = gather(right);
            const size_t total = scratch.size() / itemSize;

            if (total <= maxItems) {
                // Merge into the right page; the parent loses the separator and its pointer to
                // the left page.
                writeCanonical(right, scratch.data(), total, rightRight);
                removeItem(parent, k);
                freePage(left);
                --d;
                continue;
            }
            // Redistribute through the parent separator: both halves get at least `half` keys.
            const size_t m = total / 2;
            const uint8_t* mid = &scratch[m * itemSize];
            writeCanonical(left, scratch.data(), m, le::get32(mid + kItemChild));
            writeCanonical(right, &scratch[(m + 1) * itemSize], total - m - 1, rightRight);
            std::memcpy(item(parent, k) + kItemRecNo, mid + kItemRecNo, itemSize - kItemRecNo);
            markDirty(parent);
            break;
        }

        Page* r = nullptr;
        XB_TRY(getPage(root, &r));
        if (keyCount(r) == 0 && !isLeaf(r)) {
            const uint32_t newRoot = child(r, 0);
            Page* nr = nullptr;
            XB_TRY(getPage(newRoot, &nr));
            root = newRoot;
            headerDirty = true;
            freePage(r);
        }
        return Status::Ok();
    }

    // --- writing back -----------------------------------------------------------------------
    // Writes the dirty pages dirtyList[from, to), neighbours coalesced into one write. On failure
    // the pages not written stay on the list for a later flush.
    Status writeDirty(size_t from, size_t to) {
        std::vector<uint8_t> run;
        size_t i = from;
        while (i < to) {
            size_t j = i + 1;
            while (j < to && dirtyList[j] == dirtyList[j - 1] + 1 && j - i < 256) ++j;
            run.resize((j - i) * kPageSize);
            for (size_t k = i; k < j; ++k) std::memcpy(&run[(k - i) * kPageSize], pages[dirtyList[k]]->b, kPageSize);
            const Status s = file->write(uint64_t(dirtyList[i]) * kPageSize, run.data(), run.size());
            if (!s.ok()) {
                // Keep the pages not written: those in [i, to) and those outside [from, to).
                std::vector<uint32_t> left(dirtyList.begin(), dirtyList.begin() + ptrdiff_t(from));
                left.insert(left.end(), dirtyList.begin() + ptrdiff_t(i), dirtyList.end());
                dirtyList = std::move(left);
                return s;
            }
            for (size_t k = i; k < j; ++k) pages[dirtyList[k]]->dirty = false;
            i = j;
        }
        return Status::Ok();
    }

    void encodeHeaderFields() {
        le::put32(header + kHdrRoot, root);
        le::put32(header + kHdrFreeList, freeHead);
    }

    Status flush(bool sync) {
        if (!file) return Status::error(ErrorKind::BadArgument, path, "index is closed");
        if (readOnly || (dirtyList.empty() && !headerDirty)) {
            if (readOnly || !sync) return Status::Ok();
            XB_TRY(file->sync());
            fileIsLastFlush = true;  // the file holds the tree in memory, and now for good
            return Status::Ok();
        }
        std::sort(dirtyList.begin(), dirtyList.end());
        // Pages past the end of the file go first: a disk that fills fails there, before any
        // page of the tree in the file has changed, and the file is cut back to that tree.
        const size_t grown = size_t(std::lower_bound(dirtyList.begin(), dirtyList.end(), filePages) - dirtyList.begin());
        Status s = writeDirty(grown, dirtyList.size());
        if (!s.ok()) {
            (void)file->truncate(uint64_t(filePages) * kPageSize);
            for (uint32_t no = filePages; no < numPages; ++no)
                if (pages[no]) markDirty(pages[no]);  // those written before the failure went too
            return s;
        }
        fileIsLastFlush = false;
        XB_TRY(writeDirty(0, grown));
        dirtyList.clear();
        filePages = std::max(filePages, numPages);
        encodeHeaderFields();
        const uint16_t version = uint16_t(le::get16(header + kHdrVersion) + 1);
        le::put16(header + kHdrVersion, version);
        XB_TRY(file->write(0, header, kPageSize));
        headerDirty = false;
        hdr->version = version;
        hdr->root = root;
        hdr->freeList = freeHead;
        if (sync) XB_TRY(file->sync());
        fileIsLastFlush = true;
        return Status::Ok();
    }

    // --- whole-tree walks -------------------------------------------------------------------
    struct Check {
        const std::function<void(std::string_view, uint32_t)>* visit = nullptr;
        std::vector<bool> seen;
        std::string prevKey;
        uint32_t prevRec = 0;
        bool havePrev = false;
        int leafDepth = -1;
        uint64_t entries = 0;
        bool full = true;  // false: count only, with just the checks that keep the walk finite
    };

    Status walk(uint32_t off, size_t depth, bool isRoot, Check& c) {
        if (depth >= depthLimit()) return corrupt("index tree too deep (page cycle?)");
        Page* p = nullptr;
        XB_TRY(getPage(off, &p));
        if (c.seen[p->no]) return corrupt("page at " + std::to_string(off) + " is reached twice");
        c.seen[p->no] = true;
        const uint16_t n = keyCount(p);
        const bool leaf = isLeaf(p);
        const std::string where = "page at " + std::to_string(off);
        if (c.full) {
            if (!isRoot && n < half) {
                return corrupt(where + " holds " + std::to_string(n) + " keys, fewer than " +
                               std::to_string(half));
            }
            if (isRoot && n == 0 && !leaf) return corrupt("root page has no keys but has a child");
            for (size_t i = 0; i <= n; ++i) {
                if ((child(p, i) == 0) != leaf) return corrupt(where + " mixes leaf and child items");
            }
            if (leaf) {
                if (c.leafDepth < 0) c.leafDepth = int(depth);
                if (c.leafDepth != int(depth)) return corrupt("leaves at different depths");
            }
        }
        for (size_t i = 0; i <= n; ++i) {
            if (!leaf) XB_TRY(walk(child(p, i), depth + 1, false, c));
            if (i == n) break;
            ++c.entries;
            if (!c.full) continue;
            const uint8_t* k = keyOf(p, i);
            const uint32_t r = recOf(p, i);
            if (c.havePrev &&
                cmpEntry(reinterpret_cast<const uint8_t*>(c.prevKey.data()), c.prevRec, k, r) >= 0) {
                return corrupt(where + " item " + std::to_string(i) + " is out of order");
            }
            c.prevKey.assign(reinterpret_cast<const char*>(k), keySize);
            c.prevRec = r;
            c.havePrev = true;
            if (c.visit && *c.visit) (*c.visit)(std::string_view(c.prevKey), r);
        }
        return Status::Ok();
    }

};

// ---------------------------------------------------------------------------------------------

NtxIndex::~NtxIndex() {
    if (impl_ && impl_->file && !impl_->readOnly) impl_->flush(false);
}

uint16_t NtxIndex::maxItemsFor(uint16_t keySize) {
    int m = 1022 / (int(keySize) + 10) - 1;
    if (m > 2 && (m % 2) != 0) --m;
    if (m < 2) m = 2;
    return uint16_t(m);
}

namespace {

Status parseHeader(const std::string& path, const uint8_t* h, uint64_t fileSize, NtxHeaderInfo* out) {
    auto corrupt = [&](const std::string& m) { return Status::error(ErrorKind::Corrupt, path, m); };
    NtxHeaderInfo hi;
    hi.signature = le::get16(h + kHdrSignature);
    const uint16_t sig = hi.signature;
    if ((sig & ~kSigKnownBits) != 0 || !((sig & kSigStandard) == kSigStandard || sig == kSigOld)) {
        return corrupt("not an NTX index (signature " + std::to_string(sig) + ")");
    }
    if (sig & (kSigLargeFile | kSigMultiTag)) {
        return Status::error(ErrorKind::Unsupported, path, "large-file or multi-tag NTX variant");
    }
    hi.version = le::get16(h + kHdrVersion);
    hi.root = le::get32(h + kHdrRoot);
    hi.freeList = le::get32(h + kHdrFreeList);
    hi.itemSize = le::get16(h + kHdrItemSize);
    hi.keySize = le::get16(h + kHdrKeySize);
    hi.keyDecimals = le::get16(h + kHdrKeyDecimals);
    hi.maxItems = le::get16(h + kHdrMaxItems);
    hi.halfPage = le::get16(h + kHdrHalfPage);
    if (hi.keySize < 1 || hi.keySize > kMaxKeySize) return corrupt("key size out of range");
    if (hi.itemSize != hi.keySize + kItemOverhead) return corrupt("item size does not match key size");
    if (hi.maxItems < 2 || pageBytesUsed(hi.maxItems, hi.keySize) > kPageSize) {
        return corrupt("max keys per page does not fit a page");
    }
    if (hi.halfPage < 1 || hi.halfPage > hi.maxItems / 2) return corrupt("half page value out of range");
    const uint64_t pagesInFile = fileSize / kPageSize;
    if (hi.root < kPageSize || hi.root % kPageSize != 0 || hi.root / kPageSize >= pagesInFile) {
        return corrupt("root page offset outside the file");
    }
    hi.expression = cString(h + kHdrExpression, kHdrExpressionLen);
    hi.unique = h[kHdrUnique] != 0;
    hi.descending = h[kHdrDescending] != 0;
    if (sig & kSigHasFor) hi.forExpression = cString(h + kHdrForExpression, kHdrForExpressionLen);
    hi.tagName = cString(h + kHdrTagName, kHdrTagNameLen);
    *out = std::move(hi);
    return Status::Ok();
}

}  // namespace

Status NtxIndex::open(FileSystem& fs, const std::string& path, bool readOnly,
                      std::unique_ptr<NtxIndex>* out) try {
    out->reset();
    std::unique_ptr<File> f;
    XB_TRY(fs.open(path, readOnly ? OpenMode::Read : OpenMode::ReadWrite, &f));
    uint64_t size = 0;
    XB_TRY(f->size(&size));
    if (size < kPageSize) return Status::error(ErrorKind::Corrupt, path, "file shorter than an NTX header");

    std::unique_ptr<NtxIndex> ix(new NtxIndex());
    ix->impl_ = std::make_unique<Impl>();
    Impl& m = *ix->impl_;
    XB_TRY(f->readExact(0, m.header, kPageSize));
    XB_TRY(parseHeader(path, m.header, size, &ix->hdr_));

    const NtxHeaderInfo& h = ix->hdr_;
    ix->path_ = path;
    m.fs = &fs;
    m.file = std::move(f);
    m.path = path;
    m.hdr = &ix->hdr_;
    m.readOnly = readOnly;
    m.keySize = h.keySize;
    m.itemSize = h.itemSize;
    m.maxItems = h.maxItems;
    m.half = h.halfPage;
    m.descending = h.descending;
    m.unique = h.unique;
    m.root = h.root;
    m.freeHead = h.freeList;
    m.numPages = uint32_t(std::min<uint64_t>(size / kPageSize, UINT32_MAX / kPageSize));
    m.filePages = m.numPages;
    m.pages.resize(m.numPages);
    Page* r = nullptr;
    XB_TRY(m.getPage(m.root, &r));
    *out = std::move(ix);
    return Status::Ok();
} catch (...) {
    return caughtFailure(path);
}

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

// --- cursor ----------------------------------------------------------------------------------

Status NtxIndex::first(bool* ok) try {
    *ok = false;
    if (!impl_->file) return Status::error(ErrorKind::BadArgument, path_, "index is closed");
    impl_->stack.clear();
    impl_->resetWalk();
    bool empty = false;
    Status s = impl_->descend(impl_->root, true, &empty);
    if (!s.ok()) impl_->stack.clear();
    *ok = s.ok() && !empty;
    return s;
} catch (...) {
    return caughtFailure(path_);
}

Status NtxIndex::last(bool* ok) try {
    *ok = false;
    if (!impl_->file) return Status::error(ErrorKind::BadArgument, path_, "index is closed");
    impl_->stack.clear();
    impl_->resetWalk();
    bool empty = false;
    Status s = impl_->descend(impl_->root, false, &empty);
    if (!s.ok()) impl_->stack.clear();
    *ok = s.ok() && !empty;
    return s;
} catch (...) {
    return caughtFailure(path_);
}

Status NtxIndex::next(bool* ok) try { return impl_->next(ok); } catch (...) { return caughtFailure(path_); }
Status NtxIndex::prev(bool* ok) try { return impl_->prev(ok); } catch (...) { return caughtFailure(path_); }

Status NtxIndex::seek(std::string_view prefix, SeekResult* result) try {
    *result = SeekResult::Eof;
    if (!impl_->file) return Status::error(ErrorKind::BadArgument, path_, "index is closed");
    const size_t len = std::min<size_t>(prefix.size(), impl_->keySize);
    const auto* pre = reinterpret_cast<const uint8_t*>(prefix.data());
    XB_TRY(impl_->seekPrefix(pre, len));
    if (impl_->stack.empty()) return Status::Ok();
    const auto& t = impl_->stack.back();
    *result = std::memcmp(keyOf(t.page, t.pos), pre, len) == 0 ? SeekResult::Found : SeekResult::After;
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status NtxIndex::seekEntry(std::string_view key, uint32_t recNo, bool* found) try {
    *found = false;
    if (!impl_->file) return Status::error(ErrorKind::BadArgument, path_, "index is closed");
    if (key.size() != impl_->keySize) {
        impl_->stack.clear();
        return Status::error(ErrorKind::BadArgument, path_, "key length differs from the index key size");
    }
    return impl_->seekEntry(reinterpret_cast<const uint8_t*>(key.data()), recNo, found);
} catch (...) {
    return caughtFailure(path_);
}

bool NtxIndex::positioned() const { return impl_ && !impl_->stack.empty(); }

uint32_t NtxIndex::currentRecNo() const {
    if (!positioned()) return 0;
    const auto& t = impl_->stack.back();
    return recOf(t.page, t.pos);
}

std::string_view NtxIndex::currentKey() const {
    if (!positioned()) return {};
    const auto& t = impl_->stack.back();
    return std::string_view(reinterpret_cast<const char*>(keyOf(t.page, t.pos)), impl_->keySize);
}

// --- maintenance -----------------------------------------------------------------------------

Status NtxIndex::insert(std::string_view key, uint32_t recNo) try {
    impl_->stack.clear();
    if (!impl_->file) return Status::error(ErrorKind::BadArgument, path_, "index is closed");
    if (impl_->readOnly) return Status::error(ErrorKind::ReadOnly, path_, "index is open read-only");
    if (key.size() != impl_->keySize) {
        return Status::error(ErrorKind::BadArgument, path_, "key length differs from the index key size");
    }
    return impl_->insert(reinterpret_cast<const uint8_t*>(key.data()), recNo);
} catch (...) {
    return caughtFailure(path_);
}

Status NtxIndex::remove(std::string_view key, uint32_t recNo) try {
    impl_->stack.clear();
    if (!impl_->file) return Status::error(ErrorKind::BadArgument, path_, "index is closed");
    if (impl_->readOnly) return Status::error(ErrorKind::ReadOnly, path_, "index is open read-only");
    if (key.size() != impl_->keySize) {
        return Status::error(ErrorKind::BadArgument, path_, "key length differs from the index key size");
    }
    bool found = false;
    XB_TRY(impl_->seekEntry(reinterpret_cast<const uint8_t*>(key.data()), recNo, &found));
    if (!found) return Status::error(ErrorKind::NotFound, path_, "entry not in the index");
    Status s = impl_->removeCurrent();
    impl_->stack.clear();
    return s;
} catch (...) {
    return caughtFailure(path_);
}

Status NtxIndex::flush(bool sync) try { return impl_->flush(sync); } catch (...) { return caughtFailure(path_); }

bool NtxIndex::fileIsLastFlush() const { return impl_->fileIsLastFlush; }

Status NtxIndex::close() try {
    if (!impl_->file) return Status::Ok();
    impl_->stack.clear();
    // Changes not yet flushed are written and synced; a clean index (its owner flushed it the
    // way it wanted) is just closed.
    const bool dirty = !impl_->dirtyList.empty() || impl_->headerDirty;
    Status s = dirty ? impl_->flush(true) : Status::Ok();
    impl_->file.reset();
    impl_->pages.clear();
    impl_->slabs.clear();
    impl_->dirtyList.clear();
    return s;
} catch (...) {
    return caughtFailure(path_);
}

void NtxIndex::discard() {
    if (!impl_) return;
    impl_->stack.clear();
    impl_->dirtyList.clear();
    impl_->headerDirty = false;
    impl_->file.reset();
    impl_->pages.clear();
    impl_->slabs.clear();
}

Status NtxIndex::count(uint64_t* n) try {
    *n = 0;
    if (!impl_->file) return Status::error(ErrorKind::BadArgument, path_, "index is closed");
    Impl::Check c;
    c.full = false;
    c.seen.assign(impl_->numPages, false);
    XB_TRY(impl_->walk(impl_->root, 0, true, c));
    *n = c.entries;
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status NtxIndex::verify(const std::function<void(std::string_view key, uint32_t recNo)>& visit,
                        std::string* detail) try {
    if (detail) detail->clear();
    if (!impl_->file) return Status::error(ErrorKind::BadArgument, path_, "index is closed");
    Impl::Check c;
    c.visit = &visit;
    c.seen.assign(impl_->numPages, false);
    Status s = impl_->walk(impl_->root, 0, true, c);
    if (!s.ok() && detail) *detail = s.message;
    return s;
} catch (...) {
    return caughtFailure(path_);
}

}  // namespace xbase
