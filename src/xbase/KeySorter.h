#pragma once
// The sort of a bulk index build (NtxIndex::build): entries in (key, record number) order.

#include <cstddef>
#include <cstdint>

namespace xbase {

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
    void sort(SortRec* v, size_t n);

private:
    bool lessFrom(const SortRec& x, const SortRec& y, size_t off) const;
    static bool partition(SortRec* a, size_t n, int shift, size_t* count, size_t* end);
    void sortTies(SortRec* v, size_t lo, size_t hi, size_t off);
    static void radixByChunk(SortRec* a, size_t n, int shift);
    void sortRange(SortRec* v, size_t lo, size_t hi, size_t off);

    const uint8_t* keys_;
    size_t keySize_;
    bool descending_;
};

}  // namespace xbase
