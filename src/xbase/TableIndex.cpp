// A table's indexes: the markers that tell an index is behind its table, the keys collected for
// a build, and the index files rebuilt, created, and opened from a group file.

#include "xbase/Table.h"

#include <algorithm>

#include "xbase/Group.h"
#include "xbase/HelperThread.h"
#include "xbase/Library.h"

namespace xbase {

namespace {

// Rows taken at once while collecting keys: mapped in place (read when the file cannot be), so
// a window this size adds to the process's resident memory only while it is looked at.
constexpr size_t kKeyReadBytes = 4 << 20;
constexpr uint32_t kParallelKeysMin = 1 << 16;  // rows from which keys are collected on two threads

std::string stem(const std::string& fileName) {
    std::string b = baseName(fileName);
    size_t dot = b.rfind('.');
    return dot == std::string::npos ? b : b.substr(0, dot);
}

}  // namespace

std::string Table::pendingMarker(const std::string& indexPath) { return indexPath + ".pending"; }

// An index is written back only on flush, the table row at once: between the two the index on
// disk is behind its table. A marker beside each index says so until the flush completes, so
// that a program stopped in between (killed, power lost) leaves a sign, and the next open
// rebuilds that index instead of showing a wrong order.
Status Table::markIndexesPending() {
    if (indexesPending_ || tags_.empty()) return Status::Ok();
    const bool sync = lib_->syncOnFlush();
    Status s;
    for (auto& t : tags_) {
        if (!t->index_) continue;
        std::unique_ptr<File> f;
        s = lib_->fs().open(pendingMarker(t->index().path()), OpenMode::CreateTruncate, &f);
        if (s.ok() && sync) s = f->sync();
        if (!s.ok()) break;
    }
    if (s.ok() && sync) s = lib_->fs().syncDir(dirName(path()));
    indexesPending_ = true;
    if (!s.ok()) clearIndexesPending();  // nothing changed yet: leave no marker behind
    return s;
}

void Table::clearIndexesPending() {
    if (!indexesPending_) return;
    for (auto& t : tags_)
        if (t->index_) (void)lib_->fs().remove(pendingMarker(t->index().path()));
    indexesPending_ = false;
}

bool Table::reloadIndexes() {
    std::vector<std::unique_ptr<NtxIndex>> fresh(tags_.size());
    for (size_t i = 0; i < tags_.size(); ++i) {
        if (!tags_[i]->index_ ||
            !NtxIndex::open(lib_->fs(), tags_[i]->index().path(), dbf_->readOnly(), &fresh[i]).ok() ||
            fresh[i]->keySize() != tags_[i]->expr().keySize())
            return false;
    }
    for (size_t i = 0; i < tags_.size(); ++i) {
        tags_[i]->index_->discard();
        tags_[i]->index_ = std::move(fresh[i]);
    }
    return true;
}

Status Table::rebuildIndexes(size_t* rebuilt, std::vector<std::vector<uint8_t>>* collected) {
    if (rebuilt) *rebuilt = 0;
    for (size_t i = 0; i < tags_.size(); ++i) {
        auto& t = tags_[i];
        KeyBlock keys;  // of records 1, 2, 3 ... in turn
        if (collected) {
            keys = KeyBlock(std::move((*collected)[i]));
        } else {
            XB_TRY(collectKeys(t->expr(), &keys));
        }
        NtxSpec layout;
        layout.expression = t->index().header().expression;
        layout.keySize = t->expr().keySize();
        layout.keyDecimals = t->expr().keyDecimals();
        layout.unique = t->index().header().unique;
        layout.descending = t->index().header().descending;
        layout.tagName = t->name();
        const std::string ixPath = t->index().path();
        XB_TRY(t->index().close());
        t->index_.reset();
        std::unique_ptr<File> replaced;
        XB_TRY(NtxIndex::build(lib_->fs(), ixPath, layout, std::move(keys), {}, &t->index_,
                               lib_->syncOnFlush(), &replaced));
        lib_->retire(std::move(replaced));
        if (rebuilt) ++*rebuilt;
    }
    return Status::Ok();
}

Status Table::collectKeys(const KeyExpr& expr, KeyBlock* keys) {
    const uint32_t n = dbf_->recordCount();
    const size_t ks = expr.keySize();
    const size_t rl = dbf_->recordLength();
    // Not zero-filled: every byte is written below, by the thread that collects its row.
    *keys = KeyBlock::uninitialized(size_t(n) * ks);
    adviseLargeArray(keys->data(), size_t(n) * ks);
    const size_t keyFrom = std::min<size_t>(expr.firstByteRead(), rl - 1);
    // Rows are taken a block at a time; a large table in two halves, the second on a helper thread.
    auto work = [&](uint32_t from, uint32_t to, Status* st) {
        *st = guarded(path(), [&] {
            const size_t perRead = std::max<size_t>(1, kKeyReadBytes / rl);
            MappedView view;
            std::vector<uint8_t> buf;
            for (uint32_t r = from; r < to;) {
                const size_t k = std::min<size_t>(to - r, perRead);
                const uint8_t* rows = nullptr;
                XB_TRY(dbf_->viewRows(r, k, &view, &buf, &rows));
                for (size_t i = 0; i < k; ++i) {
                    // Only the key's fields of each row are read: fetch them some rows ahead.
                    if (i + 8 < k) __builtin_prefetch(rows + (i + 8) * rl + keyFrom);
                    expr.evaluateInto(rows + i * rl, keys->data() + (r + i) * ks);
                }
                r += uint32_t(k);
            }
            return Status::Ok();
        });
    };
    Status first, second;
    if (n >= kParallelKeysMin) {
        auto other = [&] { work(n / 2, n, &second); };
        HelperThread helper;
        helper.run(other);
        work(0, n / 2, &first);
        helper.join();
    } else {
        work(0, n, &first);
    }
    XB_TRY(first);
    return second;
}

int Table::createIndex(const std::string& groupName, const std::vector<TagSpec>& specs) try {
    Status s = writeRow();
    if (!s.ok()) return fail(s);
    newTraversal();
    // Index files are the table's too: a table open for reading writes none.
    if (dbf_->readOnly()) return fail(Status::error(ErrorKind::ReadOnly, path(), "table is open read-only"));
    s = dbf_->flush(false);
    if (!s.ok()) {
        abandonUnstored();
        return fail(s);
    }
    const std::string dir = dirName(path());
    const std::string groupPath = resolveName(lib_->fs(), dir, groupName + ".cgp");
    std::vector<std::unique_ptr<Tag>> made;
    std::string groupText = "# Merrowby index group: one index file per line\n";
    // Open tags whose file is being replaced, closed meanwhile. Should this call fail, each opens
    // its file again (the old one, or the new one when that is in place already), or leaves the
    // table when that file no longer fits it: no tag is left without its index.
    std::vector<std::pair<Tag*, std::string>> replaced;
    auto giveBack = [&](int rc) {
        diskIndexesMatch_ = false;
        for (auto& [old, ixPath] : replaced) {
            KeyExpr expr;
            if (!NtxIndex::open(lib_->fs(), ixPath, dbf_->readOnly(), &old->index_).ok() ||
                !KeyExpr::compile(old->index_->header().expression, dbf_->fields(), &expr).ok() ||
                expr.keySize() != old->index_->keySize()) {
                old->index_.reset();
                continue;
            }
            old->expr_ = std::move(expr);
        }
        for (size_t i = tags_.size(); i-- > 0;) {
            if (tags_[i]->index_) continue;
            if (selected_ == tags_[i].get()) selected_ = nullptr;
            tags_.erase(tags_.begin() + ptrdiff_t(i));
        }
        return rc;
    };
    for (const TagSpec& layout : specs) {
        auto t = std::make_unique<Tag>();
        t->name_ = layout.name;
        s = KeyExpr::compile(layout.expression, dbf_->fields(), &t->expr_);
        if (!s.ok()) {
            s.file = path();
            return giveBack(fail(s));
        }
        const std::string ixPath = resolveName(lib_->fs(), dir, layout.name + ".ntx");
        if (lib_->safety() && lib_->fs().exists(ixPath))
            return giveBack(lib_->record(Status::error(ErrorKind::Exists, ixPath, "index file exists"), kErrExists));
        KeyBlock keys;
        s = collectKeys(t->expr_, &keys);
        if (!s.ok()) return giveBack(fail(s));
        NtxSpec ns;
        ns.expression = layout.expression;
        ns.keySize = t->expr_.keySize();
        ns.keyDecimals = t->expr_.keyDecimals();
        ns.unique = layout.unique;
        ns.descending = layout.descending;
        ns.tagName = layout.name.substr(0, 10);
        // An index file of this table that is open is replaced: close ours first.
        for (auto& old : tags_)
            if (old->index_ && old->index().path() == ixPath) {
                (void)old->index().close();
                old->index_.reset();
                replaced.push_back({old.get(), ixPath});
            }
        std::unique_ptr<File> retired;  // the replaced file, closed off the caller's wait
        s = NtxIndex::build(lib_->fs(), ixPath, ns, std::move(keys), {}, &t->index_, lib_->syncOnFlush(), &retired);
        lib_->retire(std::move(retired));
        if (!s.ok()) return giveBack(lib_->record(s, kErrCreate));
        if (lib_->fs().exists(pendingMarker(ixPath))) (void)lib_->fs().remove(pendingMarker(ixPath));
        groupText += baseName(ixPath) + "\n";
        made.push_back(std::move(t));
    }
    if (lib_->safety() && lib_->fs().exists(groupPath))
        return giveBack(lib_->record(Status::error(ErrorKind::Exists, groupPath, "group file exists"), kErrExists));
    // The group file, a few bytes, is always written synced. A rebuild names the same files
    // again, though: a group file that already says so stays as it is, with no sync to wait for.
    std::string oldText;
    if (!lib_->fs().exists(groupPath) || !readWholeFile(lib_->fs(), groupPath, &oldText).ok() || oldText != groupText) {
        s = writeFileAtomic(lib_->fs(), groupPath, groupText);
        if (!s.ok()) return giveBack(lib_->record(s, kErrCreate));
    }
    for (auto& old : tags_)
        if (old->index_) (void)old->index().close();
    tags_ = std::move(made);
    selected_ = nullptr;
    storedRows_ = dbf_->recordCount();
    diskIndexesMatch_ = true;
    return kOk;
} catch (...) {
    return fail(caughtFailure(path()));
}

Status Table::openGroup(const std::string& groupPath) {
    std::vector<std::string> names;
    XB_TRY(readGroupFile(lib_->fs(), groupPath, &names));
    const std::string dir = dirName(groupPath);
    for (const std::string& line : names) {
        const std::string ixPath = resolveName(lib_->fs(), dir, line);
        if (!lib_->fs().exists(ixPath))
            return Status::error(ErrorKind::NotFound, ixPath, "index file not found");
        auto t = std::make_unique<Tag>();
        t->name_ = stem(line);
        XB_TRY(NtxIndex::open(lib_->fs(), ixPath, dbf_->readOnly(), &t->index_));
        Status s = KeyExpr::compile(t->index_->header().expression, dbf_->fields(), &t->expr_);
        if (!s.ok()) {
            s.file = ixPath;
            return s;
        }
        if (lib_->fs().exists(pendingMarker(ixPath))) {
            // A program stopped while this index was behind its table: build it afresh.
            if (dbf_->readOnly())
                return Status::error(ErrorKind::Corrupt, ixPath,
                                     "index was left unfinished by a program that stopped; rebuild it");
            NtxSpec layout;
            layout.expression = t->index_->header().expression;
            layout.keySize = t->expr_.keySize();
            layout.keyDecimals = t->expr_.keyDecimals();
            layout.unique = t->index_->header().unique;
            layout.descending = t->index_->header().descending;
            layout.tagName = t->name_.substr(0, 10);
            XB_TRY(t->index_->close());
            t->index_.reset();
            KeyBlock keys;
            XB_TRY(collectKeys(t->expr_, &keys));
            std::unique_ptr<File> replaced;
            XB_TRY(NtxIndex::build(lib_->fs(), ixPath, layout, std::move(keys), {}, &t->index_, lib_->syncOnFlush(), &replaced));
            lib_->retire(std::move(replaced));
            XB_TRY(lib_->fs().remove(pendingMarker(ixPath)));
        }
        if (t->expr_.keySize() != t->index_->keySize())
            return Status::error(ErrorKind::Corrupt, ixPath,
                                 "key size " + std::to_string(t->index_->keySize()) +
                                     " does not match its expression (" +
                                     std::to_string(t->expr_.keySize()) + ")");
        tags_.push_back(std::move(t));
    }
    return Status::Ok();
}

}  // namespace xbase
