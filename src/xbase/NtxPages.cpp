// The page cache of an NtxIndex: pages read in and checked, edited, taken, freed and written
// back (how the pieces fit: NtxImpl.h).

#include "xbase/NtxImpl.h"

#include <algorithm>
#include <bitset>
#include <new>

namespace xbase {

namespace {

Slab allocSlab(size_t pages) {
    void* mem = std::malloc(pages * sizeof(Page));
    if (!mem) throw std::bad_alloc();
    return Slab(static_cast<Page*>(mem));
}

}  // namespace

Page* NtxIndex::Impl::newPage(uint32_t no) {
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

// --- pages -----------------------------------------------------------------------------------
void NtxIndex::Impl::initPage(Page* p) const {
    std::memset(p->b, 0, kPageSize);
    const uint32_t area = itemAreaStart(maxItems);
    for (size_t i = 0; i <= maxItems; ++i) setSlot(p, i, uint16_t(area + i * itemSize));
}

// Rewrites a page in the initial layout with `n` items taken from `items` (itemSize bytes
// each, in logical order) and the given rightmost child.
void NtxIndex::Impl::writeCanonical(Page* p, const uint8_t* items, size_t n, uint32_t rightChild) {
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
Status NtxIndex::Impl::checkPage(Page* p) {
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

Status NtxIndex::Impl::getPage(uint32_t off, Page** out) {
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

// Rightmost item's record and key bytes carry no meaning; keep them zero in what we write.
void NtxIndex::Impl::clearRightmost(Page* p) {
    std::memset(item(p, keyCount(p)) + kItemRecNo, 0, itemSize - kItemRecNo);
}

// Inserts an item (child, rec, key as itemSize bytes) at logical position i; n < max.
void NtxIndex::Impl::insertItem(Page* p, uint16_t i, const uint8_t* it) {
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
void NtxIndex::Impl::removeItem(Page* p, uint16_t i) {
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
uint32_t NtxIndex::Impl::gather(const Page* p) {
    const uint16_t n = keyCount(p);
    const size_t at = scratch.size();
    scratch.resize(at + size_t(n) * itemSize);
    for (size_t i = 0; i < n; ++i) std::memcpy(&scratch[at + i * itemSize], item(p, i), itemSize);
    return child(p, n);
}

bool NtxIndex::Impl::looksFreed(const Page* p) const {
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

Status NtxIndex::Impl::allocPage(Page** out) {
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

void NtxIndex::Impl::freePage(Page* p) {
    initPage(p);
    le::put32(p->b + itemAreaStart(maxItems) + kItemChild, freeHead);
    freeHead = p->no * kPageSize;
    headerDirty = true;
    markDirty(p);
}

// --- writing back ----------------------------------------------------------------------------
// Writes the dirty pages dirtyList[from, to), neighbours coalesced into one write. On failure
// the pages not written stay on the list for a later flush.
Status NtxIndex::Impl::writeDirty(size_t from, size_t to) {
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

void NtxIndex::Impl::encodeHeaderFields() {
    le::put32(header + kHdrRoot, root);
    le::put32(header + kHdrFreeList, freeHead);
}

Status NtxIndex::Impl::flush(bool sync) {
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

}  // namespace xbase
