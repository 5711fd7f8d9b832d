#pragma once
// Byte layout of a Clipper .ntx index file, as named constants (described in docs/formats.md,
// section 2). All multi-byte fields are little-endian; use LittleEndian.h to read and write them.
//
// The file is a run of 1024-byte pages. Page 0 is the header; every other page is a B-tree node
// (or a free page). Every page reference is a byte offset into the file, 0 meaning "none".

#include <cstddef>
#include <cstdint>

namespace xbase::ntx {

inline constexpr uint32_t kPageSize = 1024;

// --- header page ---------------------------------------------------------------------------
inline constexpr size_t kHdrSignature = 0;    // u16
inline constexpr size_t kHdrVersion = 2;      // u16 update counter, bumped on every header write
inline constexpr size_t kHdrRoot = 4;         // u32 byte offset of the root page
inline constexpr size_t kHdrFreeList = 8;     // u32 byte offset of the first free page, 0 = none
inline constexpr size_t kHdrItemSize = 12;    // u16 = key size + 8
inline constexpr size_t kHdrKeySize = 14;     // u16
inline constexpr size_t kHdrKeyDecimals = 16; // u16
inline constexpr size_t kHdrMaxItems = 18;    // u16 max keys per page
inline constexpr size_t kHdrHalfPage = 20;    // u16 min keys per non-root page
inline constexpr size_t kHdrExpression = 22;  // NUL-terminated text
inline constexpr size_t kHdrExpressionLen = 256;
inline constexpr size_t kHdrUnique = 278;      // u8, 1 = unique
inline constexpr size_t kHdrDescending = 280;  // u8, 1 = descending
inline constexpr size_t kHdrForExpression = 282;  // NUL-terminated text, valid with kSigHasFor
inline constexpr size_t kHdrForExpressionLen = 256;
inline constexpr size_t kHdrTagName = 538;    // NUL-padded
inline constexpr size_t kHdrTagNameLen = 12;
inline constexpr size_t kTagNameMaxChars = 10;

// Signature word bits.
inline constexpr uint16_t kSigStandard = 0x0006;  // what we write
inline constexpr uint16_t kSigOld = 0x0003;       // older files, still readable
inline constexpr uint16_t kSigHasFor = 0x0001;    // a FOR condition is stored
inline constexpr uint16_t kSigLargeFile = 0x0200; // page numbers instead of offsets: refused
inline constexpr uint16_t kSigMultiTag = 0x8000;  // multi-tag container: refused
inline constexpr uint16_t kSigKnownBits = 0x87FF; // any bit outside this is not an NTX header

// --- node pages ----------------------------------------------------------------------------
// u16 key count, then u16 offsets (from the page start) of item slots 0..max, then the slots.
// Logical item i lives at page + offset[i]; items 0..n-1 are keys, item n carries only the
// rightmost child pointer.
inline constexpr size_t kPageCount = 0;
inline constexpr size_t kPageOffsets = 2;

inline constexpr size_t kItemChild = 0;  // u32 child page offset, 0 in leaves
inline constexpr size_t kItemRecNo = 4;  // u32 record number (1-based)
inline constexpr size_t kItemKey = 8;    // key bytes
inline constexpr size_t kItemOverhead = 8;

inline constexpr uint16_t kMaxKeySize = 250;

// Where the item slots start: right after the offset table of max+1 entries.
constexpr uint32_t itemAreaStart(uint32_t maxItems) { return 2u * (maxItems + 2u); }
// Bytes a page with this max uses (count, offset table and max+1 item slots).
constexpr uint32_t pageBytesUsed(uint32_t maxItems, uint32_t keySize) {
    return itemAreaStart(maxItems) + (maxItems + 1u) * (keySize + uint32_t(kItemOverhead));
}

// Deepest tree we follow before calling the file corrupt; a real tree of 2^32 entries with two
// keys a page is about 32 levels deep, so anything beyond this is a cycle.
inline constexpr size_t kMaxDepth = 64;

}  // namespace xbase::ntx
