// Positioning a table: the current row, and the moves in index or record-number order.

#include "xbase/Table.h"

#include "xbase/TableReadAhead.h"

namespace xbase {

void Table::clearRow(bool eof, bool bof) {
    rowRecNo_ = 0;
    rowChanged_ = false;
    rowIsNew_ = false;
    atEof_ = eof;
    atBof_ = bof;
}

int Table::loadRow(uint32_t recNo) {
    // Positioning only makes the row current: many moves (seeks, skips to count) never look at
    // the row, and reading it costs a file access in index order.
    if (recNo == 0 || recNo > recCount()) {
        clearRow(true, false);
        return fail(Status::error(ErrorKind::Corrupt, path(),
                                  "record " + std::to_string(recNo) + " is beyond the table's " +
                                      std::to_string(recCount()) + " rows"));
    }
    rowLoaded_ = false;
    rowRecNo_ = recNo;
    rowChanged_ = false;
    rowIsNew_ = false;
    atEof_ = atBof_ = false;
    return kOk;
}

// Moves the index cursor onto the current row when a change or a go() left it elsewhere.
Status Table::syncCursor() {
    NtxIndex& ix = selected_->index();
    if (rowRecNo_ == 0) return Status::Ok();
    if (ix.positioned() && ix.currentRecNo() == rowRecNo_) return Status::Ok();
    ensureRow();
    std::string key;
    selected_->expr().evaluate(row_.data(), &key);
    bool found = false;
    XB_TRY(ix.seekEntry(key, rowRecNo_, &found));
    if (!found)
        return Status::error(ErrorKind::Corrupt, ix.path(),
                             "record " + std::to_string(rowRecNo_) + " is missing from the index");
    return Status::Ok();
}

int Table::top() { return edge(true); }

int Table::bottom() { return edge(false); }

int Table::edge(bool first) try {
    Status s = writeRow();
    if (!s.ok()) return fail(s);
    newTraversal();
    if (!selected_) {
        if (recCount() == 0) {
            clearRow(true, true);
            return kEof;
        }
        return loadRow(first ? 1 : recCount());
    }
    bool ok = false;
    s = first ? selected_->index().first(&ok) : selected_->index().last(&ok);
    if (!s.ok()) return fail(s);
    if (!ok) {
        clearRow(true, true);
        return kEof;
    }
    return loadRow(selected_->index().currentRecNo());
} catch (...) {
    return fail(caughtFailure(path()));
}

int Table::skip(long n) try {
    if (n == 1 && servedAhead() && !rowChanged_) {
        if (ahead_->at + 1 < ahead_->recs.size()) {
            ++ahead_->at;
            return loadRow(ahead_->recs[ahead_->at]);
        }
        if (!ahead_->tailError.ok()) {  // where an ordinary step would have failed
            const Status e = ahead_->tailError;
            newTraversal();
            return fail(e);
        }
    }
    Status s = writeRow();
    if (!s.ok()) return fail(s);
    const bool wasAhead = ahead_ != nullptr;
    dropReadAhead();
    if (rowRecNo_ == 0) {
        // Past the end a step back lands on the last row; before the start nothing moves.
        if (atEof_ && n < 0 && recCount() > 0) {
            int rc = bottom();
            if (rc != kOk) return rc;
            ++n;
            if (n == 0) return kOk;
        } else {
            return atEof_ ? kEof : kBof;
        }
    }
    if (!selected_) {
        long long target = static_cast<long long>(rowRecNo_) + n;
        if (target < 1) {
            int rc = loadRow(1);
            atBof_ = true;
            return rc == kOk ? kBof : rc;
        }
        if (target > static_cast<long long>(recCount())) {
            clearRow(true, false);
            return kEof;
        }
        return loadRow(static_cast<uint32_t>(target));
    }
    s = syncCursor();
    if (!s.ok()) return fail(s);
    NtxIndex& ix = selected_->index();
    const bool forward = n > 0;
    long steps = forward ? n : -n;
    uint32_t lastGood = rowRecNo_;
    while (steps-- > 0) {
        bool ok = false;
        s = forward ? ix.next(&ok) : ix.prev(&ok);
        if (!s.ok()) return fail(s);
        if (!ok) {
            if (forward) {
                clearRow(true, false);
                return kEof;
            }
            // Before the first key: stay on the first row, flagged.
            int rc = loadRow(lastGood);
            (void)ix.first(&ok);
            atBof_ = true;
            return rc == kOk ? kBof : rc;
        }
        lastGood = ix.currentRecNo();
    }
    if (n != 1) forwardRun_ = 0;
    else if (forwardRun_ < kAheadWarmup) ++forwardRun_;
    const int rc = loadRow(lastGood);
    // Past the warm-up, and at the end of each batch, read the next stretch ahead.
    if (rc == kOk && forwardRun_ >= kAheadWarmup && (wasAhead || aheadBatches_ == 0)) startReadAhead();
    return rc;
} catch (...) {
    return fail(caughtFailure(path()));
}

int Table::go(uint32_t recNo) try {
    Status s = writeRow();
    if (!s.ok()) return fail(s);
    newTraversal();
    if (recNo < 1 || recNo > recCount()) {
        clearRow(true, false);
        return kEof;
    }
    return loadRow(recNo);
} catch (...) {
    return fail(caughtFailure(path()));
}

int Table::seek(std::string_view utf8Key) try {
    Status s = writeRow();
    if (!s.ok()) return fail(s);
    newTraversal();
    if (!selected_) return fail(Status::error(ErrorKind::BadArgument, path(), "seek needs a selected tag"));
    SeekResult r = SeekResult::Eof;
    s = selected_->index().seek(selected_->expr().seekKey(utf8Key), &r);
    if (!s.ok()) return fail(s);
    if (r == SeekResult::Eof) {
        clearRow(true, false);
        return kEof;
    }
    int rc = loadRow(selected_->index().currentRecNo());
    if (rc != kOk) return rc;
    return r == SeekResult::Found ? kOk : kAfter;
} catch (...) {
    return fail(caughtFailure(path()));
}

}  // namespace xbase
