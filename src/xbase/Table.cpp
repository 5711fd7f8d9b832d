#include "xbase/Table.h"

#include <algorithm>
#include <cctype>

#include "xbase/Library.h"
#include "xbase/TableReadAhead.h"

namespace xbase {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

Table::Table(Library* lib, std::string alias, std::unique_ptr<DbfFile> dbf)
    : lib_(lib), alias_(std::move(alias)), dbf_(std::move(dbf)) {
    storedRows_ = dbf_->recordCount();
    for (const FieldInfo& f : dbf_->fields()) fields_.push_back(std::unique_ptr<Field>(new Field(this, f)));
    row_.assign(dbf_->recordLength(), uint8_t(' '));
}

Table::~Table() = default;

const std::string& Table::path() const { return dbf_->path(); }

int Table::fail(const Status& s) { return lib_->record(s); }

uint32_t Table::recCount() const { return dbf_->recordCount() + (pendingAppend_ ? 1u : 0u); }

uint32_t Table::recNo() const {
    if (rowRecNo_ != 0) return rowRecNo_;
    return atEof_ ? recCount() + 1 : 0;
}

bool Table::deleted() const {
    if (rowRecNo_ == 0) return false;
    if (servedAhead()) return ahead_->data[ahead_->at * ahead_->width] == '*';
    ensureRow();
    return row_[0] == '*';
}

void Table::ensureRow() const {
    if (rowLoaded_ || rowRecNo_ == 0) return;
    rowLoaded_ = true;
    Status s = dbf_->readRecord(rowRecNo_, row_.data());
    if (!s.ok()) {
        // The row reads as blank; the failure is recorded for the caller's error test.
        std::fill(row_.begin(), row_.end(), uint8_t(' '));
        lib_->record(s);
    }
}

Field* Table::field(std::string_view name) {
    for (auto& f : fields_)
        if (sameName(f->name(), name)) return f.get();
    return nullptr;
}

Tag* Table::tag(std::string_view name) {
    for (auto& t : tags_)
        if (sameName(t->name(), name)) return t.get();
    return nullptr;
}

void Table::selectTag(Tag* tag) {
    (void)writeRow();
    newTraversal();
    selected_ = tag;
}

void Table::touchRow() {
    if (rowChanged_) return;
    ensureRow();
    dropReadAhead();
    // Remember the keys the row has in the indexes before its bytes change.
    if (!rowIsNew_) {
        rowKeys_.resize(tags_.size());
        for (size_t i = 0; i < tags_.size(); ++i) tags_[i]->expr().evaluate(row_.data(), &rowKeys_[i]);
    }
    rowChanged_ = true;
}

Status Table::writeRow() {
    if (!rowChanged_ || rowRecNo_ == 0) return Status::Ok();
    if (dbf_->readOnly()) return Status::error(ErrorKind::ReadOnly, path(), "table is open read-only");
    const bool appending = rowIsNew_;
    auto write = [&]() -> Status {
        XB_TRY(markIndexesPending());
        if (pendingAppend_) {
            uint32_t rn = 0;
            XB_TRY(dbf_->appendRecord(row_.data(), &rn));
            pendingAppend_ = false;
            rowRecNo_ = rn;
        } else {
            XB_TRY(dbf_->writeRecord(rowRecNo_, row_.data()));
        }
        std::string key;
        for (size_t i = 0; i < tags_.size(); ++i) {
            NtxIndex& ix = tags_[i]->index();
            tags_[i]->expr().evaluate(row_.data(), &key);
            if (rowIsNew_) {
                XB_TRY(ix.insert(key, rowRecNo_));
            } else if (i < rowKeys_.size() && key != rowKeys_[i]) {
                if (rowRecNo_ <= storedRows_) diskIndexesMatch_ = false;
                Status s = ix.remove(rowKeys_[i], rowRecNo_);
                if (!s.ok() && s.kind != ErrorKind::NotFound) return s;
                XB_TRY(ix.insert(key, rowRecNo_));
            }
        }
        return Status::Ok();
    };
    const Status s = write();
    if (!s.ok()) {
        if (appending) abandonUnstored();
        return s;
    }
    rowChanged_ = false;
    rowIsNew_ = false;
    return Status::Ok();
}

void Table::abandonUnstored() {
    const uint32_t keep = std::min(storedRows_, dbf_->countedRows());
    const uint32_t had = dbf_->recordCount();
    pendingAppend_ = false;
    if (rowRecNo_ > keep) clearRow(true, false);
    newTraversal();
    // Index files that agree with the stored rows are that state already: take them as they
    // are, and nothing need be written. Otherwise the keys of the rows taken back go.
    const bool reloaded = diskIndexesMatch_ && reloadIndexes();
    if (!reloaded) {
        std::vector<uint8_t> row(dbf_->recordLength());
        std::string key;
        for (uint32_t r = keep + 1; r <= had; ++r) {
            if (!dbf_->readRecord(r, row.data()).ok()) continue;
            for (auto& t : tags_) {
                if (!t->index_) continue;
                t->expr().evaluate(row.data(), &key);
                (void)t->index().remove(key, r);
            }
        }
    }
    const Status cut = dbf_->dropRowsAfter(keep);
    // The indexes are as the table is only when the cut went through; else their markers stay,
    // and the next open rebuilds them from whatever the table holds.
    if (reloaded && cut.ok()) clearIndexesPending();
}

int Table::appendBlank() try {
    Status s = writeRow();
    if (!s.ok()) return fail(s);
    newTraversal();
    if (dbf_->readOnly()) return fail(Status::error(ErrorKind::ReadOnly, path(), "table is open read-only"));
    row_ = dbf_->blankRecord();
    rowLoaded_ = true;
    pendingAppend_ = true;
    rowRecNo_ = dbf_->recordCount() + 1;
    rowIsNew_ = true;
    rowChanged_ = true;
    atEof_ = atBof_ = false;
    return kOk;
} catch (...) {
    return fail(caughtFailure(path()));
}

int Table::markDeleted() try {
    if (rowRecNo_ == 0) return fail(Status::error(ErrorKind::BadArgument, path(), "no current row to delete"));
    touchRow();
    row_[0] = '*';
    return kOk;
} catch (...) {
    return fail(caughtFailure(path()));
}

int Table::recall() try {
    if (rowRecNo_ == 0) return fail(Status::error(ErrorKind::BadArgument, path(), "no current row to recall"));
    touchRow();
    row_[0] = ' ';
    return kOk;
} catch (...) {
    return fail(caughtFailure(path()));
}

int Table::flush() try {
    if (dbf_->readOnly()) {
        const Status s = writeRow();
        return s.ok() ? kOk : fail(s);
    }
    const bool sync = lib_->syncOnFlush();
    Status s = writeRow();
    if (s.ok()) s = dbf_->flush(sync);
    for (size_t i = 0; i < tags_.size() && s.ok(); ++i) {
        s = tags_[i]->index().flush(sync);
        if (!tags_[i]->index().fileIsLastFlush()) diskIndexesMatch_ = false;
    }
    if (!s.ok()) {
        abandonUnstored();
        return fail(s);
    }
    storedRows_ = dbf_->recordCount();
    diskIndexesMatch_ = true;
    clearIndexesPending();
    return kOk;
} catch (...) {
    return fail(caughtFailure(path()));
}

int Table::pack() try {
    Status s = writeRow();
    if (!s.ok()) return fail(s);
    newTraversal();
    if (dbf_->readOnly()) return fail(Status::error(ErrorKind::ReadOnly, path(), "table is open read-only"));
    s = dbf_->flush(false);
    if (!s.ok()) {
        abandonUnstored();
        return fail(s);
    }
    s = markIndexesPending();
    if (!s.ok()) return fail(s);
    // The keys of the kept rows are taken while they are copied, for the index rebuild.
    std::vector<std::vector<uint8_t>> keys(tags_.size());
    for (size_t i = 0; i < tags_.size(); ++i) keys[i].reserve(size_t(dbf_->recordCount()) * tags_[i]->expr().keySize());
    s = dbf_->pack(nullptr, lib_->syncOnFlush(), [&](const uint8_t* row, uint32_t) {
        for (size_t i = 0; i < tags_.size(); ++i) {
            const size_t ks = tags_[i]->expr().keySize();
            keys[i].resize(keys[i].size() + ks);
            tags_[i]->expr().evaluateInto(row, keys[i].data() + keys[i].size() - ks);
        }
    });
    if (!s.ok()) return fail(s);
    clearRow(false, false);
    // The packed table is the only one there is now.
    storedRows_ = dbf_->recordCount();
    diskIndexesMatch_ = false;
    std::vector<std::string> oldPaths;
    for (auto& t : tags_) oldPaths.push_back(t->index_ ? t->index().path() : std::string());
    size_t rebuilt = 0;
    s = rebuildIndexes(&rebuilt, &keys);
    if (!s.ok()) {
        // The rows are renumbered already, so an index not rebuilt points at the wrong rows.
        // Remove such files rather than leave them stale: a missing index is found and rebuilt
        // at the next start, a stale one would silently show wrong rows. Their tags go too, so
        // no later call reaches an index that is closed or not there.
        std::vector<std::unique_ptr<Tag>> kept;
        for (size_t i = 0; i < tags_.size(); ++i) {
            Tag* t = tags_[i].get();
            if (i < rebuilt) {
                kept.push_back(std::move(tags_[i]));
                continue;
            }
            if (t->index_) (void)t->index().close();
            if (!oldPaths[i].empty()) (void)lib_->fs().remove(oldPaths[i]);
            if (selected_ == t) selected_ = nullptr;
        }
        tags_ = std::move(kept);
        return fail(s);
    }
    diskIndexesMatch_ = true;
    clearIndexesPending();
    return kOk;
} catch (...) {
    return fail(caughtFailure(path()));
}

int Table::close() try {
    Status first = writeRow();
    if (!dbf_->readOnly()) {
        // As flush: the table, then its indexes; a failure takes back what was not stored.
        const bool sync = lib_->syncOnFlush();
        Status s = first.ok() ? dbf_->flush(sync) : first;
        for (size_t i = 0; i < tags_.size() && s.ok(); ++i) {
            if (!tags_[i]->index_) continue;
            s = tags_[i]->index().flush(sync);
            if (!tags_[i]->index().fileIsLastFlush()) diskIndexesMatch_ = false;
        }
        if (!s.ok()) {
            abandonUnstored();
            if (first.ok()) first = s;
        }
    }
    for (auto& t : tags_) {
        if (!t->index_) continue;
        Status s = t->index().close();
        if (first.ok()) first = s;
    }
    Status s = dbf_->close();
    if (first.ok()) first = s;
    if (first.ok()) clearIndexesPending();
    Library* lib = lib_;
    int rc = first.ok() ? kOk : lib->record(first);
    lib->forget(this);  // destroys this table
    return rc;
} catch (...) {
    return fail(caughtFailure(path()));
}

}  // namespace xbase
