#include "xbase/Dbf.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "xbase/DbfFormat.h"
#include "xbase/DbfStamp.h"
#include "xbase/FileSystem.h"
#include "xbase/LittleEndian.h"

namespace xbase {

namespace {

using namespace dbfmt;

// Sequential scans read this much at a time; a random access (a scan in index order) reads
// only about a page around the row. Whole rows only, so none straddles two reads.
constexpr size_t kReadBlock = 128 * 1024;
constexpr size_t kReadPage = 4096;

std::string hex2(uint8_t v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v);
    return b;
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

}  // namespace xbase
