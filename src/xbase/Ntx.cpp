#include "xbase/Ntx.h"

#include <algorithm>

#include "xbase/NtxImpl.h"

namespace xbase {

namespace {

std::string cString(const uint8_t* p, size_t max) {
    size_t n = 0;
    while (n < max && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

}  // namespace

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

// --- whole-tree walks ------------------------------------------------------------------------

Status NtxIndex::Impl::walk(uint32_t off, size_t depth, bool isRoot, Check& c) {
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
