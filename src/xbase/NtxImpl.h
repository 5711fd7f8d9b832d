#pragma once
// The inside of an NtxIndex (Ntx.h), shared by the files that make it up:
//   Ntx.cpp        opening an index and reading its header, closing it, counting and verifying
//   NtxPages.cpp   the page cache: pages read in and checked, edited, taken, freed, written back
//   NtxCursor.cpp  the cursor: first, last, next, prev and the seeks
//   NtxUpdate.cpp  inserting and removing entries: splits, shifts and merges of pages
//   NtxBuild.cpp   a whole index written from its keys, sorted by KeySorter.h
//
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

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/LittleEndian.h"
#include "xbase/Ntx.h"
#include "xbase/NtxFormat.h"

namespace xbase {

namespace ntx {

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

}  // namespace ntx

using namespace ntx;

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

    Page* newPage(uint32_t no);

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
    void initPage(Page* p) const;
    void writeCanonical(Page* p, const uint8_t* items, size_t n, uint32_t rightChild);
    Status checkPage(Page* p);
    Status getPage(uint32_t off, Page** out);
    // One step down a seek or insert: the page at `off`, refusing a path deeper than any real
    // tree (a page cycle). On failure the walk so far is forgotten.
    Status stepDown(uint32_t off, Page** out);
    void markDirty(Page* p) {
        if (!p->dirty) {
            p->dirty = true;
            dirtyList.push_back(p->no);
        }
    }
    void clearRightmost(Page* p);
    void insertItem(Page* p, uint16_t i, const uint8_t* it);
    void removeItem(Page* p, uint16_t i);
    uint32_t gather(const Page* p);
    bool looksFreed(const Page* p) const;
    Status allocPage(Page** out);
    void freePage(Page* p);

    // --- cursor -----------------------------------------------------------------------------
    Status descend(uint32_t off, bool leftmost, bool* empty = nullptr);
    Status step(int dir);
    void resetWalk();
    Status next(bool* ok);
    Status prev(bool* ok);
    Status seekPrefix(const uint8_t* prefix, size_t len);
    Status seekEntry(const uint8_t* key, uint32_t rec, bool* found);

    // --- maintenance ------------------------------------------------------------------------
    Status shiftToSibling(Page* parent, uint16_t ci, Page* p, uint16_t pos, const std::vector<uint8_t>& it,
                          bool* moved);
    Status insertAtPath(std::vector<uint8_t>& it);
    Status insert(const uint8_t* key, uint32_t rec);
    Status removeCurrent();

    // --- writing back -----------------------------------------------------------------------
    Status writeDirty(size_t from, size_t to);
    void encodeHeaderFields();
    Status flush(bool sync);

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

    Status walk(uint32_t off, size_t depth, bool isRoot, Check& c);
};

}  // namespace xbase
