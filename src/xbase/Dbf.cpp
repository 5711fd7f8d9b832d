#include "xbase/Dbf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <charconv>

#include "xbase/DbfFormat.h"
#include "xbase/LittleEndian.h"

namespace xbase {

namespace {

using namespace dbfmt;

// Sequential scans read this much at a time; a random access (a scan in index order) reads
// only about a page around the row. Whole rows only, so none straddles two reads.
constexpr size_t kReadBlock = 128 * 1024;
constexpr size_t kReadPage = 4096;
// Appended rows are written in chunks of about this size.
constexpr size_t kAppendChunk = 1024 * 1024;

std::string hex2(uint8_t v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v);
    return b;
}

DbfFile::Date today() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

void stampHeader(uint8_t* hdr, uint32_t count, const DbfFile::Date& d) {
    hdr[kUpdateYear] = uint8_t(std::clamp(d.year - 1900, 0, 255));
    hdr[kUpdateMonth] = uint8_t(d.month);
    hdr[kUpdateDay] = uint8_t(d.day);
    le::put32(hdr + kRecordCount, count);
    hdr[kTransaction] = 0;  // a header that counts the rows closes the write
}

bool equalsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return false;
    }
    return true;
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

Status validateSchema(const std::vector<FieldSpec>& fields, const std::string& path,
                      std::vector<FieldSpec>* norm) {
    auto bad = [&](const std::string& msg) { return Status::error(ErrorKind::BadArgument, path, msg); };
    if (fields.empty()) return bad("a table needs at least one field");
    if (int(fields.size()) > kMaxFields) return bad("more than 255 fields");
    size_t recLen = 1;
    norm->clear();
    for (size_t i = 0; i < fields.size(); ++i) {
        FieldSpec f = fields[i];
        const std::string& n = f.name;
        if (n.empty() || n.size() > kMaxFieldName) return bad("field name '" + n + "' must have 1-10 characters");
        if (!isLetter(n[0])) return bad("field name '" + n + "' must start with a letter");
        for (char c : n) {
            if (!isLetter(c) && !isDigit(c) && c != '_') return bad("field name '" + n + "' has a character other than a letter, digit or '_'");
        }
        for (size_t j = 0; j < i; ++j) {
            if (equalsFolded(fields[j].name, n)) return bad("field name '" + n + "' is used twice");
        }
        switch (f.type) {
            case 'C':
                if (f.length < 1 || f.length > kMaxCharLength) return bad("character field '" + n + "' needs a length of 1-254");
                if (f.decimals != 0) return bad("character field '" + n + "' cannot have decimals");
                break;
            case 'N':
            case 'F':
                if (f.length < 1 || f.length > kMaxNumLength) return bad("numeric field '" + n + "' needs a length of 1-20");
                if (f.decimals < 0 || f.decimals > kMaxDecimals || (f.decimals > 0 && f.decimals > f.length - 2))
                    return bad("numeric field '" + n + "' has room for neither its decimals nor a digit before the point");
                break;
            case 'L':
            case 'D':
                if (f.decimals != 0) return bad("field '" + n + "' cannot have decimals");
                f.length = f.type == 'L' ? 1 : kDateLength;
                break;
            default:
                return bad("field '" + n + "' has type '" + std::string(1, f.type) + "'; only C, N, F, L and D can be created");
        }
        recLen += size_t(f.length);
        norm->push_back(f);
    }
    if (recLen > 65535) return bad("record longer than 65535 bytes");
    return Status::Ok();
}

}  // namespace

DbfFile::~DbfFile() {
    if (file_) close();
}

Status DbfFile::fail(ErrorKind k, const std::string& msg) const { return Status::error(k, path_, msg); }

Status DbfFile::usable(bool forWrite) const {
    if (!file_) return fail(ErrorKind::BadArgument, "table is closed");
    if (forWrite && readOnly_) return fail(ErrorKind::ReadOnly, "table is open read-only");
    return Status::Ok();
}

int DbfFile::fieldIndex(std::string_view name) const {
    // Names padded with blanks in the call still match.
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (equalsFolded(fields_[i].name, name)) return int(i);
    }
    return -1;
}

std::vector<uint8_t> DbfFile::blankRecord() const { return std::vector<uint8_t>(recordLength_, kActive); }

// ---- opening and checking ----

Status DbfFile::parseHeader(const uint8_t* hdr, size_t n, uint64_t fileSize) {
    auto corrupt = [&](const std::string& msg) { return fail(ErrorKind::Corrupt, msg); };
    const uint8_t v = hdr[kVersion];
    if ((v & kVersionLevelMask) != kVersionLevel3 && v != kVersionFoxPro && v != kVersionFoxProMemo)
        return corrupt("not a dBASE table (version byte " + hex2(v) + ")");
    version_ = v;
    langDriver_ = hdr[kLanguageDriver];
    const int y = hdr[kUpdateYear];
    lastUpdate_ = {y >= 100 ? 1900 + y : y < 80 ? 2000 + y : 1900 + y, hdr[kUpdateMonth], hdr[kUpdateDay]};
    recordCount_ = fileRecordCount_ = le::get32(hdr + kRecordCount);
    headerLength_ = le::get16(hdr + kHeaderLength);
    recordLength_ = le::get16(hdr + kRecordLength);
    if (n < headerLength_) return corrupt("header shorter than its stated length");

    // Field descriptors run until a terminator byte or until the next one would not fit.
    struct Raw {
        std::string name;
        char type;
        uint8_t len, dec;
    };
    std::vector<Raw> raw;
    size_t slot = kHeaderSize;
    bool terminated = false;
    while (slot + kDescriptorSize <= headerLength_) {
        const uint8_t* d = hdr + slot;
        if (d[0] == kTerminator || d[0] == kTerminatorAlt) {
            terminated = true;
            break;
        }
        std::string name;
        for (size_t i = 0; i < kFieldNameSize && d[kFieldName + i] != 0; ++i) name += char(d[kFieldName + i]);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        const std::string which = "field " + std::to_string(raw.size() + 1);
        if (name.empty()) return corrupt(which + " has an empty name");
        for (char c : name) {
            if (uint8_t(c) < 0x20 || uint8_t(c) >= 0x7F) return corrupt(which + " has a name that is not ASCII text");
        }
        raw.push_back({name, char(d[kFieldType]), d[kFieldLength], d[kFieldDecimals]});
        slot += kDescriptorSize;
    }
    if (!terminated && slot < headerLength_ && hdr[slot] != kTerminator && hdr[slot] != kTerminatorAlt) {
        // Less than a descriptor is left and it does not start with a terminator: the header length
        // cuts a descriptor in two.
        return corrupt("header length " + std::to_string(headerLength_) + " ends inside field descriptor " +
                       std::to_string(raw.size() + 1));
    }
    if (raw.empty()) return corrupt("no field descriptors");

    // Types: letters we do not handle make a valid but unsupported table; anything else is junk.
    std::string unsupported;
    for (const Raw& r : raw) {
        const char t = r.type;
        if (t == 'C' || t == 'N' || t == 'F' || t == 'L' || t == 'D') continue;
        if ((t >= 'A' && t <= 'Z') || t == '@' || t == '+' || t == '0') {
            if (unsupported.empty())
                unsupported = "field " + r.name + " has type " + std::string(1, t) + (t == 'M' ? " (memo)" : "") +
                              ", which is not supported";
            continue;
        }
        return corrupt("field " + r.name + " has an invalid type byte " + hex2(uint8_t(t)));
    }

    // Lengths: C fields may use the decimal byte as a high length byte; fall back to the plain
    // length when that does not add up (some writers put decimals on C fields by mistake).
    auto total = [&](bool wide) {
        size_t sum = 1;
        for (const Raw& r : raw) sum += r.len + ((wide && r.type == 'C') ? 256u * r.dec : 0u);
        return sum;
    };
    bool wide;
    if (total(true) == recordLength_) {
        wide = true;
    } else if (total(false) == recordLength_) {
        wide = false;
    } else {
        return corrupt("record length " + std::to_string(recordLength_) + " does not match the " +
                       std::to_string(raw.size()) + " field descriptors (1 + field lengths = " +
                       std::to_string(total(false)) + ")");
    }
    fields_.clear();
    uint16_t offset = 1;
    for (const Raw& r : raw) {
        FieldInfo f;
        f.name = r.name;
        f.type = r.type;
        if (r.type == 'C') {
            f.length = uint16_t(r.len + (wide ? 256u * r.dec : 0u));
            f.decimals = 0;
        } else {
            f.length = r.len;
            f.decimals = r.dec;
        }
        if (f.length == 0) return corrupt("field " + r.name + " has length 0");
        f.offset = offset;
        offset = uint16_t(offset + f.length);
        fields_.push_back(std::move(f));
    }

    const uint64_t needed = uint64_t(headerLength_) + uint64_t(recordCount_) * recordLength_;
    if (fileSize < needed) {
        return corrupt("truncated: the header counts " + std::to_string(recordCount_) + " records of " +
                       std::to_string(recordLength_) + " bytes (" + std::to_string(needed) +
                       " bytes with the header) but the file has " + std::to_string(fileSize) + " bytes");
    }
    if (!unsupported.empty()) return fail(ErrorKind::Unsupported, unsupported);
    return Status::Ok();
}

Status DbfFile::load() {
    uint64_t size = 0;
    XB_TRY(file_->size(&size));
    if (size == 0) return fail(ErrorKind::Corrupt, "empty file");
    if (size < kHeaderSize) return fail(ErrorKind::Corrupt, "file too short for a table header");
    uint8_t first[kHeaderSize];
    XB_TRY(file_->readExact(0, first, kHeaderSize));
    const uint16_t hl = le::get16(first + kHeaderLength);
    if (hl < kHeaderSize + kDescriptorSize + 1)
        return fail(ErrorKind::Corrupt, "header length " + std::to_string(hl) + " is too small for one field");
    if (hl > size)
        return fail(ErrorKind::Corrupt, "header length " + std::to_string(hl) + " is beyond the end of the file (" +
                                            std::to_string(size) + " bytes)");
    headerBytes_.assign(hl, 0);
    XB_TRY(file_->readExact(0, headerBytes_.data(), hl));
    XB_TRY(parseHeader(headerBytes_.data(), headerBytes_.size(), size));
    recsPerBlock_ = uint32_t(std::max<size_t>(1, kReadBlock / recordLength_));
    recsPerPage_ = uint32_t(std::max<size_t>(1, kReadPage / recordLength_));
    countedRecords_ = recordCount_;
    unfinished_ = flagOnDisk_ = headerBytes_[kTransaction] != 0;
    return countRowsPast(size);
}

Status DbfFile::countRowsPast(uint64_t fileSize) {
    rowsPast_ = 0;
    const uint64_t end = headerLength_ + uint64_t(recordCount_) * recordLength_;
    if (fileSize < end + recordLength_) return Status::Ok();
    const uint64_t most = std::min<uint64_t>((fileSize - end) / recordLength_, UINT32_MAX - recordCount_);
    const size_t per = std::max<size_t>(1, kReadBlock / recordLength_);
    std::vector<uint8_t> buf;
    for (uint64_t r = 0; r < most;) {
        const size_t k = size_t(std::min<uint64_t>(per, most - r));
        buf.resize(k * recordLength_);
        XB_TRY(file_->readExact(end + r * recordLength_, buf.data(), buf.size()));
        for (size_t i = 0; i < k; ++i) {
            const uint8_t flag = buf[i * recordLength_];
            if (flag != kActive && flag != kDeleted) return Status::Ok();  // the end marker, or not a row
            ++rowsPast_;
        }
        r += k;
    }
    return Status::Ok();
}

Status DbfFile::countsEveryRow() const {
    if (rowsPastCount() == 0) return Status::Ok();
    return fail(ErrorKind::Corrupt, std::to_string(rowsPastCount()) + " whole rows lie past the " +
                                        std::to_string(recordCount_) +
                                        " its header counts: the count lost them, and a write would cut them off");
}

Status DbfFile::open(FileSystem& fs, const std::string& path, bool readOnly, std::unique_ptr<DbfFile>* out) try {
    std::unique_ptr<DbfFile> d(new DbfFile());
    d->fs_ = &fs;
    d->path_ = path;
    d->readOnly_ = readOnly;
    XB_TRY(fs.open(path, readOnly ? OpenMode::Read : OpenMode::ReadWrite, &d->file_));
    Status s = d->load();
    if (s.ok() && !readOnly) s = d->countsEveryRow();
    if (!s.ok()) {
        d->file_.reset();  // nothing to flush
        return s;
    }
    *out = std::move(d);
    return Status::Ok();
} catch (...) {
    return caughtFailure(path);
}

Status DbfFile::inspect(FileSystem& fs, const std::string& path, std::string* detail) try {
    std::unique_ptr<DbfFile> d;
    Status s = open(fs, path, true, &d);
    if (!s.ok()) {
        *detail = s.message;
        return s;
    }
    uint64_t size = 0;
    XB_TRY(d->file_->size(&size));
    const uint64_t end = uint64_t(d->headerLength_) + uint64_t(d->recordCount_) * d->recordLength_;
    std::string r = "version " + hex2(d->version_) + ", " + std::to_string(d->fields_.size()) + " fields, " +
                    std::to_string(d->recordCount_) + " records of " + std::to_string(d->recordLength_) +
                    " bytes, header " + std::to_string(d->headerLength_) + " bytes";
    if (d->rowsPast_ > 0) {
        r += ", " + std::to_string(d->rowsPast_) + " whole rows past the count" +
             (d->unfinished_ ? " (of a write that stopped; the next write drops them)" : "");
    } else if (size == end) {
        r += ", no end marker";
    } else {
        uint8_t b = 0;
        XB_TRY(d->file_->readExact(end, &b, 1));
        if (b != kEndOfFile) r += ", no end marker";
        const uint64_t extra = size - end - (b == kEndOfFile ? 1 : 0);
        if (extra > 0) r += ", " + std::to_string(extra) + " extra bytes at the end";
    }
    *detail = r;
    return Status::Ok();
} catch (...) {
    return caughtFailure(path);
}

// ---- creating ----

Status DbfFile::create(FileSystem& fs, const std::string& path, const std::vector<FieldSpec>& fields, bool overwrite,
                       std::unique_ptr<DbfFile>* out) try {
    std::vector<FieldSpec> specs;
    XB_TRY(validateSchema(fields, path, &specs));

    std::unique_ptr<DbfFile> d(new DbfFile());
    d->fs_ = &fs;
    d->path_ = path;
    const size_t hl = kHeaderSize + kDescriptorSize * specs.size() + 1;
    std::vector<uint8_t> hdr(hl, 0);
    hdr[kVersion] = kVersionDbase3;
    hdr[kLanguageDriver] = kLanguageCp1252;
    d->lastUpdate_ = today();
    stampHeader(hdr.data(), 0, d->lastUpdate_);
    le::put16(&hdr[kHeaderLength], uint16_t(hl));
    uint16_t offset = 1;
    for (size_t i = 0; i < specs.size(); ++i) {
        const FieldSpec& f = specs[i];
        uint8_t* p = &hdr[kHeaderSize + i * kDescriptorSize];
        std::memcpy(p + kFieldName, f.name.data(), f.name.size());
        p[kFieldType] = uint8_t(f.type);
        p[kFieldLength] = uint8_t(f.length);
        p[kFieldDecimals] = uint8_t(f.decimals);
        d->fields_.push_back({f.name, f.type, uint16_t(f.length), uint8_t(f.decimals), offset});
        offset = uint16_t(offset + f.length);
    }
    hdr[hl - 1] = kTerminator;
    le::put16(&hdr[kRecordLength], offset);
    d->version_ = kVersionDbase3;
    d->langDriver_ = kLanguageCp1252;
    d->headerLength_ = uint16_t(hl);
    d->recordLength_ = offset;
    d->recsPerBlock_ = uint32_t(std::max<size_t>(1, kReadBlock / offset));
    d->recsPerPage_ = uint32_t(std::max<size_t>(1, kReadPage / offset));
    d->headerBytes_ = hdr;

    XB_TRY(fs.open(path, overwrite ? OpenMode::CreateTruncate : OpenMode::CreateNew, &d->file_));
    hdr.push_back(kEndOfFile);
    Status s = d->file_->write(0, hdr.data(), hdr.size());
    if (!s.ok()) {
        d->file_.reset();
        fs.remove(path);  // a half-written table is worse than none
        return s;
    }
    *out = std::move(d);
    return Status::Ok();
} catch (...) {
    return caughtFailure(path);
}

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

// ---- field codecs ----

namespace field {

std::string_view raw(const uint8_t* rec, const FieldInfo& f) {
    return {reinterpret_cast<const char*>(rec) + f.offset, f.length};
}

bool parseNumber(std::string_view text, double* out) {
    *out = 0;
    auto blank = [](char c) { return c == ' ' || c == '\0' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return true;
    if (text.size() > 300) return false;
    std::string s(text);
    if (s[0] == '+') s.erase(0, 1);  // from_chars takes no '+'
    size_t i = 0;
    if (i < s.size() && s[i] == '-') ++i;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
        s[i++] = '.';
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        size_t expDigits = 0;
        while (j < s.size() && isDigit(s[j])) ++j, ++expDigits;
        if (expDigits == 0) return false;
        i = j;
    }
    if (i != s.size()) return false;
    double v = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size() || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool formatNumber(double value, int width, int decimals, char* out) {
    if (width <= 0) return false;
    auto stars = [&] {
        std::memset(out, '*', size_t(width));
        return false;
    };
    if (decimals < 0 || decimals > 100 || !std::isfinite(value)) return stars();
    if (decimals > 0 && width < decimals + 2) return stars();

    // Round in decimal, on the value's 15 significant digits, so that 2.675 becomes 2.68 as a
    // person expects rather than 2.67 as its binary neighbour would.
    char sci[40];
    std::snprintf(sci, sizeof sci, "%.14e", std::fabs(value));
    std::string digits;  // significant digits; the value is 0.digits * 10^(exp + 1)
    digits += sci[0];
    digits.append(sci + 2, 14);
    int exp = std::atoi(std::strchr(sci, 'e') + 1);
    if (value == 0) exp = 0;
    const int keep = exp + 1 + decimals;  // digits up to the last decimal place
    if (keep < 0) {
        digits = "0";
        exp = 0;
    } else if (keep < int(digits.size())) {
        const bool up = digits[size_t(keep)] >= '5';
        digits.resize(size_t(keep));
        if (up) {
            int i = keep - 1;
            while (i >= 0 && digits[size_t(i)] == '9') digits[size_t(i--)] = '0';
            if (i >= 0) {
                ++digits[size_t(i)];
            } else {
                digits.insert(digits.begin(), '1');
                ++exp;
            }
        }
        if (digits.empty()) digits = "0", exp = 0;
    }
    // Lay the digits out: integer part then exactly `decimals` places.
    auto digitAt = [&](int power) -> char {  // digit for 10^power
        const int pos = exp - power;
        return (pos >= 0 && pos < int(digits.size())) ? digits[size_t(pos)] : '0';
    };
    std::string text;
    for (int p = std::max(exp, 0); p >= 0; --p) text += digitAt(p);
    if (decimals > 0) {
        text += '.';
        for (int p = -1; p >= -decimals; --p) text += digitAt(p);
    }
    const bool negative = value < 0 && text.find_first_of("123456789") != std::string::npos;
    if (negative) text.insert(text.begin(), '-');
    if (int(text.size()) > width) return stars();
    const size_t pad = size_t(width) - text.size();
    std::memset(out, ' ', pad);
    std::memcpy(out + pad, text.data(), text.size());
    return true;
}

}  // namespace field

}  // namespace xbase
