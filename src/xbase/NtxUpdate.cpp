// Entries inserted into and removed from an NtxIndex: splits, shifts between neighbours and
// merges of pages (how the pieces fit: NtxImpl.h).

#include "xbase/NtxImpl.h"

#include <cstring>

namespace xbase {

// Inserts `it` (child, rec, key) at the position the cursor stack names, splitting upward.
// A full leaf with a neighbour (under the same parent) that has room passes one entry over
// through the parent instead of splitting: pages stay full, so the tree grows less and
// walks and writes have fewer pages to cover. parent's child `ci` is p; `it` belongs at
// position pos of p. *moved tells whether it was done.
Status NtxIndex::Impl::shiftToSibling(Page* parent, uint16_t ci, Page* p, uint16_t pos,
                                      const std::vector<uint8_t>& it, bool* moved) {
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

Status NtxIndex::Impl::insertAtPath(std::vector<uint8_t>& it) {
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

Status NtxIndex::Impl::insert(const uint8_t* key, uint32_t rec) {
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
        Page* p = nullptr;
        XB_TRY(stepDown(off, &p));
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
Status NtxIndex::Impl::removeCurrent() {
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

}  // namespace xbase
