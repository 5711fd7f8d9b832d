// A table's rows: read (in blocks, mapped, or from the rows not yet written), written, appended,
// cut back, counted again, flushed, and packed.

#include "xbase/Dbf.h"

#include <algorithm>
#include <cstring>

#include "xbase/DbfFormat.h"
#include "xbase/DbfStamp.h"
#include "xbase/LittleEndian.h"

namespace xbase {

namespace {

using namespace dbfmt;

// Appended rows are written in chunks of about this size.
constexpr size_t kAppendChunk = 1024 * 1024;

// Scattered rows (visitRows): rows this close in the file are read in one call, and one call
// covers at most this many bytes.
constexpr size_t kGatherGap = 16u << 10;
constexpr size_t kGatherSpan = 1u << 20;

// (record, place) pairs in record order; many by radix, 16 bits a pass.
void sortByRecord(std::vector<uint64_t>& order) {
    if (order.size() < (1u << 16)) {
        std::sort(order.begin(), order.end());
        return;
    }
    std::vector<uint64_t> tmp(order.size());
    std::vector<size_t> cnt(1u << 16);
    for (int shift = 32; shift < 64; shift += 16) {
        std::fill(cnt.begin(), cnt.end(), 0);
        for (uint64_t v : order) ++cnt[(v >> shift) & 0xFFFF];
        size_t sum = 0;
        for (auto& c : cnt) {
            const size_t k = c;
            c = sum;
            sum += k;
        }
        for (uint64_t v : order) tmp[cnt[(v >> shift) & 0xFFFF]++] = v;
        order.swap(tmp);
    }
}

}  // namespace

// ---- records ----

Status DbfFile::loadRows(uint64_t first, uint64_t count) {
    count = std::min<uint64_t>(count, fileRecordCount_ - first);
    block_.resize(size_t(count) * recordLength_);
    blockStart_ = UINT64_MAX;
    XB_TRY(file_->readExact(headerLength_ + first * recordLength_, block_.data(), block_.size()));
    blockStart_ = first;
    blockLen_ = size_t(count);
    return Status::Ok();
}

Status DbfFile::readRows(uint64_t first, size_t count, uint8_t* buf) const try {
    XB_TRY(usable(false));
    if (first + count > recordCount_)
        return fail(ErrorKind::BadArgument, "rows " + std::to_string(first + 1) + "-" +
                                                std::to_string(first + count) + " out of range 1-" +
                                                std::to_string(recordCount_));
    const uint64_t inFile = first < fileRecordCount_ ? std::min<uint64_t>(count, fileRecordCount_ - first) : 0;
    if (inFile) XB_TRY(file_->readExact(headerLength_ + first * recordLength_, buf, size_t(inFile) * recordLength_));
    if (inFile < count) {
        const uint64_t from = first + inFile - fileRecordCount_;
        std::memcpy(buf + inFile * recordLength_, pending_.data() + from * recordLength_,
                    size_t(count - inFile) * recordLength_);
    }
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status DbfFile::viewRows(uint64_t first, size_t count, MappedView* view, std::vector<uint8_t>* buf,
                         const uint8_t** rows) const try {
    XB_TRY(usable(false));
    if (first + count <= fileRecordCount_ &&
        file_->mapView(headerLength_ + first * recordLength_, count * recordLength_, view)) {
        *rows = view->data();
        return Status::Ok();
    }
    view->reset();
    buf->resize(count * recordLength_);
    XB_TRY(readRows(first, count, buf->data()));
    *rows = buf->data();
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status DbfFile::visitRows(const std::vector<uint32_t>& recs,
                          const std::function<void(size_t i, const uint8_t* row)>& visit) const try {
    const size_t n = recs.size();
    std::vector<uint64_t> order(n);
    for (size_t i = 0; i < n; ++i) {
        if (recs[i] == 0 || recs[i] > recordCount_)
            return fail(ErrorKind::BadArgument, "record " + std::to_string(recs[i]) + " out of range 1-" +
                                                    std::to_string(recordCount_));
        order[i] = (uint64_t(recs[i]) << 32) | i;
    }
    sortByRecord(order);
    const size_t rl = recordLength_;
    std::vector<uint8_t> buf;
    for (size_t i = 0; i < n;) {
        const uint64_t first = order[i] >> 32;
        uint64_t last = first;
        size_t j = i + 1;
        for (; j < n; ++j) {
            const uint64_t r = order[j] >> 32;
            if ((r - last) * rl > kGatherGap || (r - first + 1) * rl > kGatherSpan) break;
            last = r;
        }
        buf.resize(size_t(last - first + 1) * rl);
        XB_TRY(readRows(first - 1, size_t(last - first + 1), buf.data()));
        for (size_t k = i; k < j; ++k) visit(size_t(uint32_t(order[k])), &buf[size_t((order[k] >> 32) - first) * rl]);
        i = j;
    }
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status DbfFile::recordPtr(uint32_t recNo, const uint8_t** out) try {
    XB_TRY(usable(false));
    if (recNo == 0 || recNo > recordCount_)
        return fail(ErrorKind::BadArgument, "record " + std::to_string(recNo) + " out of range 1-" +
                                                std::to_string(recordCount_));
    const uint64_t idx = recNo - 1;
    if (idx >= fileRecordCount_) {
        *out = pending_.data() + (idx - fileRecordCount_) * recordLength_;
        return Status::Ok();
    }
    const bool cached = blockStart_ != UINT64_MAX;
    if (!cached || idx < blockStart_ || idx >= blockStart_ + blockLen_) {
        if (cached && idx == blockStart_ + blockLen_) {
            XB_TRY(loadRows(idx, recsPerBlock_));  // reading forward: read ahead
        } else if (cached && idx + 1 == blockStart_) {
            const uint64_t first = idx + 1 >= recsPerBlock_ ? idx + 1 - recsPerBlock_ : 0;
            XB_TRY(loadRows(first, idx + 1 - first));  // reading backward
        } else if (const uint8_t* m = mappedRow(idx)) {
            *out = m;
            return Status::Ok();
        } else {
            XB_TRY(loadRows(idx / recsPerPage_ * recsPerPage_, recsPerPage_));
        }
    }
    *out = block_.data() + (idx - blockStart_) * recordLength_;
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

namespace {
uint64_t gMapLimit = 160ull << 20;
}

void DbfFile::setMapLimit(uint64_t bytes) { gMapLimit = bytes; }
uint64_t DbfFile::mapLimit() { return gMapLimit; }

void DbfFile::dropMap() {
    if (file_ && map_) file_->unmapRead();
    map_ = nullptr;
    mapRecords_ = 0;
    mapRefused_ = false;
}

const uint8_t* DbfFile::mappedRow(uint64_t idx) {
    if (!map_ || idx >= mapRecords_) {
        const uint64_t bytes = headerLength_ + uint64_t(fileRecordCount_) * recordLength_;
        if (mapRefused_ || fileRecordCount_ == 0 || bytes > gMapLimit) return nullptr;
        map_ = file_->mapRead(bytes);  // replaces an older, shorter mapping
        mapRecords_ = map_ ? fileRecordCount_ : 0;
        mapRefused_ = map_ == nullptr;
        if (!map_ || idx >= mapRecords_) return nullptr;
    }
    return map_ + headerLength_ + idx * recordLength_;
}

Status DbfFile::readRecord(uint32_t recNo, uint8_t* buf) try {
    const uint8_t* p = nullptr;
    XB_TRY(recordPtr(recNo, &p));
    std::memcpy(buf, p, recordLength_);
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status DbfFile::writeRecord(uint32_t recNo, const uint8_t* buf) try {
    XB_TRY(usable(true));
    if (recNo == 0 || recNo > recordCount_)
        return fail(ErrorKind::BadArgument, "record " + std::to_string(recNo) + " out of range 1-" +
                                                std::to_string(recordCount_));
    const uint64_t idx = recNo - 1;
    headerDirty_ = true;
    if (idx >= fileRecordCount_) {
        std::memcpy(pending_.data() + (idx - fileRecordCount_) * recordLength_, buf, recordLength_);
        return Status::Ok();
    }
    XB_TRY(file_->write(headerLength_ + idx * recordLength_, buf, recordLength_));
    if (blockStart_ != UINT64_MAX && idx >= blockStart_ && idx < blockStart_ + blockLen_)
        std::memcpy(block_.data() + (idx - blockStart_) * recordLength_, buf, recordLength_);
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status DbfFile::writeRows(uint64_t first, size_t count, const uint8_t* buf) try {
    XB_TRY(usable(true));
    if (first + count > recordCount_)
        return fail(ErrorKind::BadArgument, "rows " + std::to_string(first + 1) + "-" +
                                                std::to_string(first + count) + " out of range 1-" +
                                                std::to_string(recordCount_));
    if (count == 0) return Status::Ok();
    headerDirty_ = true;
    const uint64_t inFile = first < fileRecordCount_ ? std::min<uint64_t>(count, fileRecordCount_ - first) : 0;
    if (inFile) XB_TRY(file_->write(headerLength_ + first * recordLength_, buf, size_t(inFile) * recordLength_));
    if (inFile < count) {
        const uint64_t from = first + inFile - fileRecordCount_;
        std::memcpy(pending_.data() + from * recordLength_, buf + inFile * recordLength_,
                    size_t(count - inFile) * recordLength_);
    }
    blockStart_ = UINT64_MAX;  // the read cache may hold some of these rows
    blockLen_ = 0;
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status DbfFile::appendRecord(const uint8_t* buf, uint32_t* recNo) try {
    XB_TRY(usable(true));
    if (recordCount_ == UINT32_MAX) return fail(ErrorKind::BadArgument, "table is full");
    if (pending_.capacity() == 0) pending_.reserve(kAppendChunk + recordLength_);
    pending_.insert(pending_.end(), buf, buf + recordLength_);
    ++recordCount_;
    headerDirty_ = true;
    if (recNo) *recNo = recordCount_;
    if (pending_.size() >= kAppendChunk) {
        Status s = writePending();
        if (!s.ok()) {
            // This append fails as a whole; the rows before it stay buffered for the next flush.
            pending_.resize(pending_.size() - recordLength_);
            --recordCount_;
            return s;
        }
    }
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status DbfFile::markUncounted() {
    if (flagOnDisk_) return Status::Ok();
    const uint8_t open = kTransactionOpen;
    XB_TRY(file_->write(kTransaction, &open, 1));
    headerBytes_[kTransaction] = open;
    flagOnDisk_ = true;
    return Status::Ok();
}

Status DbfFile::writePending() {
    if (pending_.empty()) return Status::Ok();
    // Rows past the count are a write under way until the header counts them: a program stopped
    // meanwhile leaves them flagged as such, never as rows the count lost.
    XB_TRY(markUncounted());
    XB_TRY(file_->write(headerLength_ + uint64_t(fileRecordCount_) * recordLength_, pending_.data(), pending_.size()));
    fileRecordCount_ = recordCount_;
    pending_.clear();
    return Status::Ok();
}

Status DbfFile::writeHeader() {
    lastUpdate_ = today();
    stampHeader(headerBytes_.data(), fileRecordCount_, lastUpdate_);
    XB_TRY(file_->write(0, headerBytes_.data(), kHeaderSize));
    countedRecords_ = fileRecordCount_;
    flagOnDisk_ = false;
    return Status::Ok();
}

Status DbfFile::dropRowsAfter(uint32_t rows) try {
    XB_TRY(usable(true));
    if (rows > countedRecords_)
        return fail(ErrorKind::BadArgument, "cannot keep " + std::to_string(rows) + " rows of the " +
                                                std::to_string(countedRecords_) + " counted");
    dropMap();
    pending_.clear();
    block_.clear();
    blockStart_ = UINT64_MAX;
    blockLen_ = 0;
    const bool cutCounted = rows < countedRecords_;
    recordCount_ = fileRecordCount_ = rows;
    if (cutCounted) {
        // The smaller count goes first, flagged: should the cut not follow, what lies past the
        // count is known for a write that did not finish.
        lastUpdate_ = today();
        stampHeader(headerBytes_.data(), rows, lastUpdate_);
        headerBytes_[kTransaction] = kTransactionOpen;
        XB_TRY(file_->write(0, headerBytes_.data(), kHeaderSize));
        countedRecords_ = rows;
        flagOnDisk_ = true;
        headerDirty_ = false;
    }
    const uint64_t end = headerLength_ + uint64_t(rows) * recordLength_;
    uint64_t size = 0;
    XB_TRY(file_->size(&size));
    if (size > end) {
        // Cutting after the end marker's place frees the space with no byte to allocate.
        XB_TRY(file_->truncate(end + 1));
        const uint8_t eof = kEndOfFile;
        XB_TRY(file_->write(end, &eof, 1));
    }
    if (flagOnDisk_) {
        const uint8_t closed = 0;
        XB_TRY(file_->write(kTransaction, &closed, 1));
        headerBytes_[kTransaction] = closed;
        flagOnDisk_ = false;
    }
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status DbfFile::recount(FileSystem& fs, const std::string& path, uint32_t* before, uint32_t* after) try {
    std::unique_ptr<DbfFile> d(new DbfFile());
    d->fs_ = &fs;
    d->path_ = path;
    XB_TRY(fs.open(path, OpenMode::ReadWrite, &d->file_));
    Status s = d->load();
    if (!s.ok()) {
        d->file_.reset();
        return s;
    }
    *before = d->recordCount_;
    *after = d->recordCount_ + d->rowsPastCount();
    if (*after == *before) return d->close();
    d->recordCount_ = d->fileRecordCount_ = *after;
    const uint64_t end = d->headerLength_ + uint64_t(*after) * d->recordLength_;
    const uint8_t eof = kEndOfFile;
    XB_TRY(d->file_->write(end, &eof, 1));
    XB_TRY(d->file_->truncate(end + 1));
    XB_TRY(d->file_->sync());
    XB_TRY(d->writeHeader());
    XB_TRY(d->file_->sync());
    d->rowsPast_ = 0;
    return d->close();
} catch (...) {
    return caughtFailure(path);
}

Status DbfFile::flush(bool sync) try {
    XB_TRY(usable(false));
    if (readOnly_ || !headerDirty_) return Status::Ok();
    const bool hadPending = !pending_.empty();
    XB_TRY(writePending());
    const uint64_t end = headerLength_ + uint64_t(fileRecordCount_) * recordLength_;
    const uint8_t eof = kEndOfFile;
    XB_TRY(file_->write(end, &eof, 1));
    uint64_t size = 0;
    XB_TRY(file_->size(&size));
    if (size > end + 1) XB_TRY(file_->truncate(end + 1));
    // With sync the new rows must be on disk before the header that counts them.
    if (sync && hadPending) XB_TRY(file_->sync());
    XB_TRY(writeHeader());
    if (sync) XB_TRY(file_->sync());
    headerDirty_ = false;
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

Status DbfFile::close() try {
    if (!file_) return Status::Ok();
    Status s = flush(false);
    dropMap();
    file_.reset();
    pending_.clear();
    pending_.shrink_to_fit();
    block_.clear();
    blockStart_ = UINT64_MAX;
    return s;
} catch (...) {
    return caughtFailure(path_);
}

Status DbfFile::lock(LockKind kind) try {
    XB_TRY(usable(false));
    XB_TRY(file_->lock(kind));
    lockKind_ = kind;
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

// ---- pack ----

Status DbfFile::pack(std::vector<uint32_t>* kept, bool sync,
                     const std::function<void(const uint8_t* row, uint32_t recNo)>& visit) try {
    XB_TRY(usable(true));
    const std::string tmp = path_ + kPackSuffix;
    std::unique_ptr<File> out;

    std::vector<uint32_t> keep;
    std::vector<uint8_t> hdr = headerBytes_;
    const size_t perRead = std::max<size_t>(1, kAppendChunk / recordLength_);
    std::vector<uint8_t> in(perRead * recordLength_);
    std::vector<uint8_t> buf;
    buf.reserve(in.size() + 1);
    auto write = [&](File& o) -> Status {
        XB_TRY(o.write(0, hdr.data(), hdr.size()));  // count and date fixed up below
        uint64_t pos = hdr.size();
        // Kept rows are gathered in place, a read's worth at a time, and written together.
        for (uint32_t r = 0; r < recordCount_;) {
            const size_t k = std::min<size_t>(perRead, recordCount_ - r);
            XB_TRY(readRows(r, k, in.data()));
            // The old file goes once the new one is in place: let the memory caching what was
            // just read serve the new file's pages instead of fresh memory.
            if (r + k <= fileRecordCount_) file_->releaseCache(headerLength_ + uint64_t(r) * recordLength_, uint64_t(k) * recordLength_);
            buf.clear();
            for (size_t i = 0; i < k; ++i) {
                const uint8_t* p = &in[i * recordLength_];
                if (p[0] == kDeleted) continue;
                buf.insert(buf.end(), p, p + recordLength_);
                keep.push_back(r + uint32_t(i) + 1);
                if (visit) visit(p, uint32_t(keep.size()));
            }
            r += uint32_t(k);
            XB_TRY(o.write(pos, buf.data(), buf.size()));
            pos += buf.size();
        }
        const uint8_t end = kEndOfFile;
        XB_TRY(o.write(pos, &end, 1));
        stampHeader(hdr.data(), uint32_t(keep.size()), today());
        XB_TRY(o.write(0, hdr.data(), kHeaderSize));
        return Status::Ok();
    };
    // Once in place the packed file is the table; the caller carries on with the new numbering.
    XB_TRY(replaceFile(*fs_, path_, tmp, sync, write, {}, &out));

    // Reopen under the table's own name so later errors name the right file; the temporary
    // handle points at the same file and serves if that fails.
    std::unique_ptr<File> reopened;
    if (fs_->open(path_, OpenMode::ReadWrite, &reopened).ok()) out = std::move(reopened);
    dropMap();
    file_ = std::move(out);
    if (lockKind_ != LockKind::Unlock) file_->lock(lockKind_);
    headerBytes_ = std::move(hdr);
    recordCount_ = fileRecordCount_ = countedRecords_ = uint32_t(keep.size());
    rowsPast_ = 0;
    unfinished_ = flagOnDisk_ = false;
    lastUpdate_ = today();
    pending_.clear();
    block_.clear();
    blockStart_ = UINT64_MAX;
    headerDirty_ = false;
    if (kept) *kept = std::move(keep);
    return Status::Ok();
} catch (...) {
    return caughtFailure(path_);
}

}  // namespace xbase
