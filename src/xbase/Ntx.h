#pragma once
// A Clipper-compatible .ntx index: one B-tree of fixed-size keys over 1024-byte pages.
// Byte layout in docs/formats.md (section 2); the named constants are in NtxFormat.h.
//
// Keys are raw bytes (Windows-1252 for character keys) of exactly keySize bytes, compared as
// unsigned bytes; equal keys are kept in ascending record-number order, so every entry is
// identified by the pair (key, record number). Pages are cached in memory and written back on
// flush(); a page cache holds the whole tree for the tables this program keeps.
//
// The index keeps one cursor. insert() and remove() leave the cursor unpositioned; callers that
// need their place again use seekEntry().

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/FileSystem.h"
#include "xbase/Status.h"

namespace xbase {

struct NtxSpec {
    std::string expression;  // key expression as written into the header ("Upper(Last + First)")
    uint16_t keySize = 0;    // 1..250
    uint16_t keyDecimals = 0;
    bool unique = false;
    bool descending = false;
    std::string tagName;     // stored at header offset 538 (at most 10 characters)
};

// The key bytes handed to NtxIndex::build: a vector's, or a block taken without filling it
// first (uninitialized()), for a caller that writes every byte itself. Zero-filling tens of
// megabytes on one thread, before the threads that write the keys start, was a pass of its
// own in every rebuild.
class KeyBlock {
public:
    KeyBlock() = default;
    KeyBlock(std::vector<uint8_t> bytes) : vec_(std::move(bytes)) {}  // NOLINT: implicit on purpose
    KeyBlock(std::initializer_list<uint8_t> bytes) : vec_(bytes) {}
    static KeyBlock uninitialized(size_t size) {
        KeyBlock k;
        k.raw_.reset(new uint8_t[size]);
        k.rawSize_ = size;
        return k;
    }
    uint8_t* data() { return raw_ ? raw_.get() : vec_.data(); }
    const uint8_t* data() const { return raw_ ? raw_.get() : vec_.data(); }
    size_t size() const { return raw_ ? rawSize_ : vec_.size(); }
    void release() {
        raw_.reset();
        rawSize_ = 0;
        std::vector<uint8_t>().swap(vec_);
    }

private:
    std::vector<uint8_t> vec_;
    std::unique_ptr<uint8_t[]> raw_;
    size_t rawSize_ = 0;
};

struct NtxHeaderInfo {
    uint16_t signature = 0;
    uint16_t version = 0;
    uint32_t root = 0;
    uint32_t freeList = 0;
    uint16_t itemSize = 0;
    uint16_t keySize = 0;
    uint16_t keyDecimals = 0;
    uint16_t maxItems = 0;
    uint16_t halfPage = 0;
    std::string expression;
    bool unique = false;
    bool descending = false;
    std::string forExpression;
    std::string tagName;
};

enum class SeekResult { Found, After, Eof };

class NtxIndex {
public:
    ~NtxIndex();

    // Opens an existing index. Corrupt when the header is not a usable NTX header (signature,
    // item size = key size + 8, max/half that fit a page, root offset inside the file and on a
    // page boundary); Unsupported for the large-file and multi-tag variants.
    static Status open(FileSystem& fs, const std::string& path, bool readOnly,
                       std::unique_ptr<NtxIndex>* out);

    // Writes a new index file at `path` holding the given entries and opens it. keys holds
    // recNos.size() keys of layout.keySize bytes each, in any order; they are sorted by
    // (key, record number) here (unique: the first record of each key only). The file is written
    // under a temporary name, synced and renamed over `path`, so an existing index is replaced
    // whole or not at all. Max/half follow the usual formula (docs/formats.md 2.4). With sync
    // the file is fsynced before the rename. recNos may be empty: the keys are then those of
    // records 1, 2, 3 ... in turn.
    //
    // With `replaced`, the file being replaced is held open across the rename and handed back
    // there once the new one is in place (null when there was none, or on failure): the system
    // frees the old file's pages when that last handle closes, which the caller may do off its
    // critical path instead of inside the rename.
    static Status build(FileSystem& fs, const std::string& path, const NtxSpec& layout,
                        KeyBlock keys, std::vector<uint32_t> recNos,
                        std::unique_ptr<NtxIndex>* out, bool sync = true,
                        std::unique_ptr<File>* replaced = nullptr);

    const NtxHeaderInfo& header() const { return hdr_; }
    const std::string& path() const { return path_; }
    uint16_t keySize() const { return hdr_.keySize; }

    // --- cursor -------------------------------------------------------------------------------
    // Each sets *ok to whether an entry is now current.
    Status first(bool* ok);
    Status last(bool* ok);
    Status next(bool* ok);
    Status prev(bool* ok);
    // Positions on the first entry whose first min(prefix.size(), keySize) bytes are >= prefix.
    // Found: those bytes equal the prefix. After: positioned on the next greater key. Eof: no
    // such entry (unpositioned). An empty prefix finds the first entry (Eof when empty index).
    Status seek(std::string_view prefix, SeekResult* result);
    // Positions on the entry (key, recNo); *found false (unpositioned) when it is not there.
    Status seekEntry(std::string_view key, uint32_t recNo, bool* found);
    bool positioned() const;
    uint32_t currentRecNo() const;        // 0 when unpositioned
    std::string_view currentKey() const;  // empty when unpositioned

    // --- maintenance --------------------------------------------------------------------------
    // key must be exactly keySize bytes. Unique index: an existing equal key makes insert a
    // no-op (Ok).
    Status insert(std::string_view key, uint32_t recNo);
    // NotFound when (key, recNo) is not in the index.
    Status remove(std::string_view key, uint32_t recNo);
    // Writes dirty pages and the header (update counter incremented); with sync, fsyncs. Pages
    // that grow the file are written before any page already in it: when the disk is full the
    // flush fails with the file as it was (cut back to its old length).
    Status flush(bool sync);
    // True when the file holds the tree as the last successful flush (or the open or build)
    // left it: no flush since failed after changing a page already in the file.
    bool fileIsLastFlush() const;
    // Writes and syncs changes not yet flushed, then closes.
    Status close();
    // Closes without writing: the changes not flushed are dropped, the file stays as it is.
    void discard();

    // Number of entries (walks the tree).
    Status count(uint64_t* n);

    // Full structural check: every page inside the file and on a page boundary, no page visited
    // twice, key counts within max (and >= half for non-root pages), all leaves at one depth,
    // keys in (key, recNo) order across the whole tree. visit (may be empty) is called for every
    // entry in order. *detail describes the first fault.
    Status verify(const std::function<void(std::string_view key, uint32_t recNo)>& visit,
                  std::string* detail);

    // Max keys per page for a key size, as written by build(): the formula of formats.md 2.4.
    static uint16_t maxItemsFor(uint16_t keySize);

private:
    NtxIndex() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    NtxHeaderInfo hdr_;
    std::string path_;
};

}  // namespace xbase
