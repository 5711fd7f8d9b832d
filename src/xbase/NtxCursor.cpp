// The cursor of an NtxIndex: first, last, next, prev and the seeks (how the pieces fit:
// NtxImpl.h).

#include "xbase/NtxImpl.h"

#include <algorithm>
#include <cstring>

namespace xbase {

// Goes down from `off` to the first (leftmost) or last entry of its subtree, pushing levels.
// *empty is set when the subtree is the empty root.
Status NtxIndex::Impl::descend(uint32_t off, bool leftmost, bool* empty) {
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

Status NtxIndex::Impl::step(int dir) {
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

void NtxIndex::Impl::resetWalk() {
    walkDir = 0;
    walkSteps = 0;
}

Status NtxIndex::Impl::next(bool* ok) {
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

Status NtxIndex::Impl::prev(bool* ok) {
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

Status NtxIndex::Impl::stepDown(uint32_t off, Page** out) {
    const Status s = stack.size() >= depthLimit() ? corrupt("index tree too deep (page cycle?)") : getPage(off, out);
    if (!s.ok()) stack.clear();
    return s;
}

// Positions on the first entry whose leading `len` bytes are >= prefix; unpositioned if none.
Status NtxIndex::Impl::seekPrefix(const uint8_t* prefix, size_t len) {
    stack.clear();
    resetWalk();
    uint32_t off = root;
    for (;;) {
        Page* p = nullptr;
        XB_TRY(stepDown(off, &p));
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
Status NtxIndex::Impl::seekEntry(const uint8_t* key, uint32_t rec, bool* found) {
    *found = false;
    stack.clear();
    resetWalk();
    uint32_t off = root;
    for (;;) {
        Page* p = nullptr;
        XB_TRY(stepDown(off, &p));
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

}  // namespace xbase
