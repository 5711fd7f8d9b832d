#include "xbase/Table.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "xbase/Cp1252.h"
#include "xbase/Group.h"
#include "xbase/HelperThread.h"
#include "xbase/Library.h"

namespace xbase {

namespace {

// Rows taken at once while collecting keys: mapped in place (read when the file cannot be), so
// a window this size adds to the process's resident memory only while it is looked at.
constexpr size_t kKeyReadBytes = 4 << 20;
constexpr uint32_t kParallelKeysMin = 1 << 16;  // rows from which keys are collected on two threads

// Read-ahead of index-order scans.
constexpr uint32_t kAheadWarmup = 64;          // single forward steps before reading ahead
constexpr size_t kAheadFirstBatch = 2048;      // rows in the first batch of a run
constexpr size_t kAheadBytes = 48u << 20;      // most memory a batch holds
constexpr size_t kAheadGap = 16u << 10;        // rows this close in the file are read in one call
constexpr size_t kAheadSpan = 1u << 20;        // most bytes one read call covers
constexpr int kAheadMissLimit = 16;            // reads of fields a batch lacks before it is redone
constexpr int kAheadMaxWidenings = 3;          // after that many, batches hold whole rows

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string stem(const std::string& fileName) {
    std::string b = baseName(fileName);
    size_t dot = b.rfind('.');
    return dot == std::string::npos ? b : b.substr(0, dot);
}
}  // namespace

struct Table::ReadAhead {
    std::vector<uint32_t> recs;  // record numbers in index order; recs[at] is the current row
    size_t at = 0;
    size_t width = 0;            // bytes kept per row
    std::vector<int32_t> colAt;  // by byte offset in the row: where that field's bytes are kept, -1
    std::vector<uint8_t> data;   // recs.size() * width bytes
    int misses = 0;
    Status tailError;            // the index failed right after the last row: the next step's result
};

// ---------------------------------------------------------------------------------------------
// Field

std::string Field::str() const try {
    if (!table_->hasRow()) return {};
    return cp1252::toUtf8(std::string_view(reinterpret_cast<const char*>(table_->fieldBytes(info_)), info_.length));
} catch (...) {
    table_->fail(caughtFailure(table_->path()));
    return {};
}

double Field::asDouble() const {
    if (!table_->hasRow()) return 0;
    double v = 0;
    field::parseNumber(std::string_view(reinterpret_cast<const char*>(table_->fieldBytes(info_)), info_.length), &v);
    return v;
}

long long Field::asInt() const {
    // A damaged row may hold a number no long long can (a width of 20 digits, "9e99" in four).
    const double v = std::trunc(asDouble());
    if (v >= 9.2e18) return INT64_MAX;
    if (v <= -9.2e18) return INT64_MIN;
    return static_cast<long long>(v);
}

bool Field::isTrue() const {
    if (!table_->hasRow() || info_.length == 0) return false;
    return field::isTrue(table_->fieldBytes(info_)[0]);
}

void Field::assign(std::string_view utf8) try {
    if (!table_->hasRow()) {
        table_->fail(Status::error(ErrorKind::BadArgument, table_->path(), "no current row to assign " + info_.name));
        return;
    }
    if (table_->dbf().readOnly()) {
        table_->fail(Status::error(ErrorKind::ReadOnly, table_->path(), "table is open read-only"));
        return;
    }
    table_->touchRow();
    uint8_t* p = table_->rowBuffer() + info_.offset;
    const size_t len = info_.length;
    switch (info_.type) {
    case 'N':
    case 'F': {
        const std::string_view t = trimmed(utf8);
        if (t.empty()) {
            std::fill(p, p + len, uint8_t(' '));
            return;
        }
        double v = 0;
        field::parseNumber(t, &v);
        field::formatNumber(v, int(len), info_.decimals, reinterpret_cast<char*>(p));
        return;
    }
    case 'L': {
        char c = ' ';
        const std::string_view t = trimmed(utf8);
        if (!t.empty()) c = field::isTrue(uint8_t(t[0])) ? 'T' : (t[0] == '?' ? '?' : 'F');
        std::fill(p, p + len, uint8_t(' '));
        if (len > 0) p[0] = uint8_t(c);
        return;
    }
    case 'D': {
        const std::string_view t = trimmed(utf8);
        std::fill(p, p + len, uint8_t(' '));
        bool digits = t.size() == 8 && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
        // A date column is eight wide; one of another width in a foreign file gets what fits.
        if (digits) std::copy_n(t.begin(), std::min(len, t.size()), p);
        return;
    }
    default: {
        // Plain ASCII, the common case, is the same in both encodings.
        if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return uint8_t(c) < 0x80; })) {
            const size_t n = std::min(len, utf8.size());
            std::memcpy(p, utf8.data(), n);
            std::fill(p + n, p + len, uint8_t(' '));
            return;
        }
        std::string b = cp1252::fromUtf8(utf8);
        size_t n = std::min(len, b.size());
        std::copy(b.begin(), b.begin() + long(n), p);
        std::fill(p + n, p + len, uint8_t(' '));
        return;
    }
    }
} catch (...) {
    table_->fail(caughtFailure(table_->path()));
}

void Field::assignDouble(double v) try {
    if (info_.type == 'N' || info_.type == 'F') {
        if (!table_->hasRow()) {
            table_->fail(Status::error(ErrorKind::BadArgument, table_->path(), "no current row to assign " + info_.name));
            return;
        }
        table_->touchRow();
        field::formatNumber(v, info_.length, info_.decimals,
                            reinterpret_cast<char*>(table_->rowBuffer() + info_.offset));
        return;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", int(info_.decimals), v);
    assign(buf);
} catch (...) {
    table_->fail(caughtFailure(table_->path()));
}

void Field::assignInt(long long v) { assignDouble(double(v)); }

void Field::assignLogical(bool v) { assign(v ? "T" : "F"); }

// ---------------------------------------------------------------------------------------------
// Table

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

// ---------------------------------------------------------------------------------------------
// Read-ahead

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
    const size_t n = a.recs.size();
    const size_t rl = dbf_->recordLength();
    // Visit the rows in file order: (record, slot) pairs sorted by record; a large batch by
    // radix, 16 bits a pass.
    std::vector<uint64_t> order(n), tmp;
    for (size_t i = 0; i < n; ++i) order[i] = (uint64_t(a.recs[i]) << 32) | i;
    if (n < (1u << 16)) std::sort(order.begin(), order.end());
    else tmp.resize(n);
    for (int shift = 32; shift < 64 && !tmp.empty(); shift += 16) {
        std::vector<size_t> cnt(1u << 16, 0);
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
    std::vector<std::pair<uint32_t, uint32_t>> cols;  // (offset in row, offset kept)
    for (size_t o = 0; o < rl; ++o)
        if (a.colAt[o] >= 0) cols.push_back({uint32_t(o), uint32_t(a.colAt[o])});
    std::vector<uint32_t> lens(cols.size());
    for (size_t c = 0; c < cols.size(); ++c) {
        const size_t next = c + 1 < cols.size() ? cols[c + 1].second : a.width;
        lens[c] = uint32_t(next - cols[c].second);
    }
    std::vector<uint8_t> buf;
    for (size_t i = 0; i < n;) {
        const uint64_t first = order[i] >> 32;
        uint64_t last = first;
        size_t j = i + 1;
        for (; j < n; ++j) {
            const uint64_t r = order[j] >> 32;
            if ((r - last) * rl > kAheadGap || (r - first + 1) * rl > kAheadSpan) break;
            last = r;
        }
        buf.resize(size_t(last - first + 1) * rl);
        XB_TRY(dbf_->readRows(first - 1, size_t(last - first + 1), buf.data()));
        for (size_t k = i; k < j; ++k) {
            const uint8_t* row = &buf[size_t((order[k] >> 32) - first) * rl];
            uint8_t* dst = &a.data[size_t(uint32_t(order[k])) * a.width];
            for (size_t c = 0; c < cols.size(); ++c) std::memcpy(dst + cols[c].second, row + cols[c].first, lens[c]);
        }
        i = j;
    }
    return Status::Ok();
}

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
