#include "xbase/KeySorter.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

#include "xbase/HelperThread.h"

namespace xbase {

namespace {

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

}  // namespace

void KeySorter::sort(SortRec* v, size_t n) {
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

// (key, record number) order of two entries whose keys agree before byte `off`. Eight bytes
// are compared at a time as big-endian numbers: a memcmp call per pair cost more than the
// comparison itself on keys this short.
bool KeySorter::lessFrom(const SortRec& x, const SortRec& y, size_t off) const {
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
bool KeySorter::partition(SortRec* a, size_t n, int shift, size_t* count, size_t* end) {
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
void KeySorter::sortTies(SortRec* v, size_t lo, size_t hi, size_t off) {
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
void KeySorter::radixByChunk(SortRec* a, size_t n, int shift) {
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

void KeySorter::sortRange(SortRec* v, size_t lo, size_t hi, size_t off) {
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

}  // namespace xbase
