// Read-ahead of scans in index order (Table.h): the next stretch of rows read in file order.

#include "xbase/TableReadAhead.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace xbase {

bool Table::servedAhead() const {
    return ahead_ && !rowLoaded_ && rowRecNo_ != 0 && ahead_->at < ahead_->recs.size() &&
           ahead_->recs[ahead_->at] == rowRecNo_;
}

void Table::dropReadAhead() { ahead_.reset(); }

void Table::newTraversal() {
    dropReadAhead();
    forwardRun_ = 0;
    aheadBatches_ = 0;
    aheadWidenings_ = 0;
    std::fill(wanted_.begin(), wanted_.end(), uint8_t(0));
}

const uint8_t* Table::fieldBytes(const FieldInfo& f) {
    if (wanted_.empty()) wanted_.assign(dbf_->recordLength(), 0);
    wanted_[f.offset] = 1;
    if (servedAhead()) {
        const int32_t at = ahead_->colAt[f.offset];
        if (at >= 0) return &ahead_->data[ahead_->at * ahead_->width + size_t(at)];
        // A field the batch does not hold: read the row, and once this happens often, redo
        // the batch with the field in it.
        if (++ahead_->misses > kAheadMissLimit) {
            dropReadAhead();
            ++aheadWidenings_;
            aheadBatches_ = 0;
        }
    }
    ensureRow();
    return row_.data() + f.offset;
}

void Table::startReadAhead() {
    dropReadAhead();
    if (!selected_ || rowRecNo_ == 0 || rowChanged_) return;
    NtxIndex& ix = selected_->index();
    if (!ix.positioned() || ix.currentRecNo() != rowRecNo_) return;
    auto a = std::make_unique<ReadAhead>();
    const size_t rl = dbf_->recordLength();
    if (wanted_.empty()) wanted_.assign(rl, 0);
    a->colAt.assign(rl, -1);
    a->colAt[0] = 0;  // the deletion flag
    a->width = 1;
    const bool whole = aheadWidenings_ >= kAheadMaxWidenings;
    for (const FieldInfo& f : dbf_->fields()) {
        if (f.offset == 0 || f.offset + size_t(f.length) > rl || (!whole && !wanted_[f.offset])) continue;
        a->colAt[f.offset] = int32_t(a->width);
        a->width += f.length;
    }
    size_t limit = std::max<size_t>(kAheadFirstBatch, kAheadBytes / (a->width + sizeof(uint32_t)));
    if (aheadBatches_ == 0) limit = kAheadFirstBatch;
    // The record numbers: the index cursor goes along and stays on the batch's last row, which
    // is where the next ordinary step continues from.
    const uint32_t count = recCount();
    a->recs.push_back(rowRecNo_);
    bool ok = true;
    while (a->recs.size() < limit) {
        a->tailError = ix.next(&ok);
        if (!a->tailError.ok() || !ok) break;
        const uint32_t r = ix.currentRecNo();
        if (r == 0 || r > count) break;  // a broken entry: the ordinary step reports it
        a->recs.push_back(r);
    }
    a->data.resize(a->recs.size() * a->width);
    if (!fillReadAhead(*a).ok()) return;  // the ordinary reads report what is wrong
    ++aheadBatches_;
    ahead_ = std::move(a);
}

Status Table::fillReadAhead(ReadAhead& a) {
    const size_t rl = dbf_->recordLength();
    std::vector<std::pair<uint32_t, uint32_t>> cols;  // (offset in row, offset kept)
    for (size_t o = 0; o < rl; ++o)
        if (a.colAt[o] >= 0) cols.push_back({uint32_t(o), uint32_t(a.colAt[o])});
    std::vector<uint32_t> lens(cols.size());
    for (size_t c = 0; c < cols.size(); ++c) {
        const size_t next = c + 1 < cols.size() ? cols[c + 1].second : a.width;
        lens[c] = uint32_t(next - cols[c].second);
    }
    return dbf_->visitRows(a.recs, [&](size_t i, const uint8_t* row) {
        uint8_t* dst = &a.data[i * a.width];
        for (size_t c = 0; c < cols.size(); ++c) std::memcpy(dst + cols[c].second, row + cols[c].first, lens[c]);
    });
}

}  // namespace xbase
