#include "core/import/ImportRun.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

#include "core/data/Records.h"
#include "core/import/ImportStore.h"
#include "xbase/Cp1252.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

// --- fields -----------------------------------------------------------------------------------

void ImportField::add(char c) {
    if (head.size() < kHeadBytes) head.push_back(c);
    if (static_cast<unsigned char>(c) > ' ') {
        if (firstSolid < 0) firstSolid = static_cast<int64_t>(length);
        lastSolid = static_cast<int64_t>(length);
    }
    if (firstSolid >= 0 && solidLen < 8) solid[solidLen++] = c;
    ++length;
}

void ImportField::clear() {
    head.clear();
    length = 0;
    firstSolid = lastSolid = -1;
    solidLen = 0;
}

namespace {

// Copies everything but the kept bytes themselves.
void copyMeta(ImportField& to, const ImportField& from) {
    to.length = from.length;
    to.firstSolid = from.firstSolid;
    to.lastSolid = from.lastSolid;
    std::memcpy(to.solid, from.solid, sizeof to.solid);
    to.solidLen = from.solidLen;
}

}  // namespace

// --- splitter ---------------------------------------------------------------------------------

ImportFieldSplitter::ImportFieldSplitter(int keepFields) : keep_(std::max(keepFields, 0)) {
    reset();
}

void ImportFieldSplitter::reset() {
    count_ = 1;
    if (keep_ > 0) {
        if (fields_.empty()) fields_.emplace_back();
        fields_[0].clear();
    }
    inQuote_ = false;
    altCommaSeen_ = false;
    altCount_ = 0;
}

void ImportFieldSplitter::add(char c) {
    if (count_ <= static_cast<uint64_t>(keep_)) fields_[count_ - 1].add(c);
}

void ImportFieldSplitter::newField() {
    ++count_;
    if (count_ <= static_cast<uint64_t>(keep_)) {
        if (fields_.size() < count_) fields_.resize(count_);
        fields_[count_ - 1].clear();
    }
}

void ImportFieldSplitter::newAltField() {
    ++altCount_;
    if (count_ + altCount_ <= static_cast<uint64_t>(keep_)) {
        if (altFields_.size() < altCount_) altFields_.resize(altCount_);
        altFields_[altCount_ - 1].clear();
    }
}

void ImportFieldSplitter::feed(const char* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const char c = data[i];
        if (inQuote_) {
            if (c == '"') {
                inQuote_ = false;  // partner found: the literal reading stands
                altCommaSeen_ = false;
                altCount_ = 0;
                continue;
            }
            // The reading that applies if no partner follows: commas split, as outside quotes.
            if (c == ',') {
                if (!altCommaSeen_) {
                    altCommaSeen_ = true;
                    if (count_ <= static_cast<uint64_t>(keep_)) {
                        const ImportField& cur = fields_[count_ - 1];
                        copyMeta(altCurrent_, cur);
                        altHeadSize_ = cur.head.size();
                    }
                }
                add(c);
                newAltField();
                continue;
            }
            add(c);
            if (altCommaSeen_ && count_ + altCount_ <= static_cast<uint64_t>(keep_))
                altFields_[altCount_ - 1].add(c);
            continue;
        }
        if (c == ',')
            newField();
        else if (c == '"')
            inQuote_ = true;
        else
            add(c);
    }
}

void ImportFieldSplitter::finish() {
    if (!inQuote_) return;
    // No closing quote: the opening one is dropped and the rest splits at its commas.
    inQuote_ = false;
    if (!altCommaSeen_) return;
    if (count_ <= static_cast<uint64_t>(keep_)) {
        ImportField& cur = fields_[count_ - 1];
        cur.head.resize(std::min(cur.head.size(), altHeadSize_));
        copyMeta(cur, altCurrent_);
    }
    for (uint64_t k = 1; k <= altCount_; ++k) {
        ++count_;
        if (count_ <= static_cast<uint64_t>(keep_)) {
            if (fields_.size() < count_) fields_.resize(count_);
            std::swap(fields_[count_ - 1], altFields_[k - 1]);
        }
    }
    altCommaSeen_ = false;
    altCount_ = 0;
}

const ImportField* ImportFieldSplitter::field(int pos) const {
    if (pos < 1 || static_cast<uint64_t>(pos) > count_ || pos > keep_) return nullptr;
    return &fields_[pos - 1];
}

// --- line reader ------------------------------------------------------------------------------

ImportLineReader::ImportLineReader(Source source, size_t bufferSize)
    : source_(std::move(source)), buf_(std::max<size_t>(bufferSize, 1)) {}

bool ImportLineReader::fill() {
    if (eof_) return false;
    const long long n = source_(buf_.data(), buf_.size());
    if (n <= 0) {
        if (n < 0) failed_ = true;
        eof_ = true;
        return false;
    }
    pos_ = 0;
    end_ = static_cast<size_t>(n);
    return true;
}

bool ImportLineReader::next(ImportFieldSplitter& splitter, uint64_t* lineBytes) {
    *lineBytes = 0;
    if (pos_ == end_ && !fill()) return false;
    if (buf_[pos_] == 26) {  // the end mark: no further line
        eof_ = true;
        pos_ = end_;
        return false;
    }
    splitter.reset();
    for (;;) {
        const char* p = buf_.data() + pos_;
        const size_t avail = end_ - pos_;
        size_t i = 0;
        while (i < avail && p[i] != '\r' && p[i] != '\n' && p[i] != 26) ++i;
        splitter.feed(p, i);
        *lineBytes += i;
        if (i < avail) {
            if (p[i] == 26) {
                eof_ = true;  // the rest of the stream is not read
                pos_ = end_;
            } else {
                pos_ += i + 1;
            }
            break;
        }
        pos_ = end_;
        if (!fill()) break;
    }
    splitter.finish();
    return !failed_;  // a line cut short by a read error is not handed on
}

// --- encoding ---------------------------------------------------------------------------------

bool DetectImportEncoding(const ByteSource& raw, ImportEncoding* encoding, TextScan* scan) {
    if (!ScanText(raw, true, scan)) return false;
    const bool utf16 = scan->mark == TextMark::Utf16Le || scan->mark == TextMark::Utf16Be;
    *encoding = utf16 || scan->validUtf8 ? ImportEncoding::Utf8 : ImportEncoding::Windows1252;
    return true;
}

QString DecodeImportField(const ImportField& field, ImportEncoding encoding) {
    std::string bytes = field.head;
    if (encoding == ImportEncoding::Utf8) {
        if (field.cut()) {
            // Drop a character cut in two by the head's end.
            size_t end = bytes.size();
            size_t lead = end;
            while (lead > 0 && (static_cast<unsigned char>(bytes[lead - 1]) & 0xC0) == 0x80) --lead;
            if (lead > 0) {
                const unsigned char b = static_cast<unsigned char>(bytes[lead - 1]);
                const size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
                if (end - (lead - 1) < len) bytes.resize(lead - 1);
            }
        }
    } else {
        bytes = xbase::cp1252::toUtf8(bytes);
    }
    std::replace(bytes.begin(), bytes.end(), '\0', ' ');
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

namespace {
int codePoints(const QString& s) {
    int n = 0;
    for (QChar c : s)
        if (!c.isLowSurrogate()) ++n;
    return n;
}
}  // namespace

bool HasTwoCharacters(const ImportField& field, ImportEncoding encoding) {
    if (!field.cut()) return codePoints(DecodeImportField(field, encoding).trimmed()) >= 2;
    if (field.firstSolid < 0) return false;
    const int64_t span = field.lastSolid - field.firstSolid + 1;
    if (span > 8) return true;  // more than two characters of at most four bytes each
    ImportField part;
    part.head.assign(field.solid, static_cast<size_t>(span));
    part.length = static_cast<uint64_t>(span);
    return codePoints(DecodeImportField(part, encoding).trimmed()) >= 2;
}

// --- one line ---------------------------------------------------------------------------------

TAddressRecord ImportedAddress(const ImportFieldSplitter& line, const TImportRecord& layout,
                               ImportEncoding encoding) {
    TAddressRecord rec;
    auto take = [&](QString& into, int pos) {
        if (const ImportField* f = line.field(pos)) into = DecodeImportField(*f, encoding);
    };
    take(rec.First, layout.fFirst);
    take(rec.Last, layout.fLast);
    take(rec.Street, layout.fStreet);
    take(rec.Street2, layout.fStreet2);
    take(rec.City, layout.fCity);
    take(rec.State, layout.fState);
    take(rec.Zip, layout.fZip);
    take(rec.Country, layout.fCountry);
    take(rec.email, layout.fEmail);
    take(rec.phone, layout.fPhone);
    take(rec.fax, layout.fFax);
    take(rec.mobile, layout.fMobile);
    return rec;
}

QString ImportingText(const TAddressRecord& rec) {
    return QStringLiteral("Importing: ") + rec.First.trimmed() + QLatin1Char(' ') +
           rec.Last.trimmed();
}

int HighestPosition(const TImportRecord& l) {
    return std::max({0, l.fFirst, l.fLast, l.fStreet, l.fStreet2, l.fCity, l.fState, l.fZip,
                     l.fCountry, l.fEmail, l.fPhone, l.fFax, l.fMobile});
}

QString NamesAddedText(int count) { return QString::number(count) + QStringLiteral(" Names Added  "); }

// --- the run ----------------------------------------------------------------------------------

ImportOutcome RunImport(const QString& path, const TImportRecord& layout,
                        const ImportOptions& options) {
    ImportOutcome out;
    if (path.isEmpty() || !QFileInfo(path).isFile()) return out;
    out.fileFound = true;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.status = RunStatus::failure(QStringLiteral("Unable to read ") + path + QStringLiteral("\r\n") + file.errorString());
        return out;
    }
    const ImportLineReader::Source source = [&file](char* buf, size_t n) -> long long {
        return file.read(buf, static_cast<qint64>(n));
    };
    ImportEncoding encoding = ImportEncoding::Windows1252;
    TextScan scan;
    if (!DetectImportEncoding(source, &encoding, &scan) || !file.seek(0)) {
        out.status = RunStatus::failure(QStringLiteral("Unable to read ") + path + QStringLiteral("\r\n") + file.errorString());
        return out;
    }
    if (scan.nul) {
        out.notText = true;
        out.status = RunStatus::failure(NotTextMessage(path));
        return out;
    }
    TextMark mark = TextMark::None;
    const ByteSource text = TextAfterMark(source, &mark);

    out.opened = OpenAddrBook();
    if (!out.opened) {
        out.status = RunStatus::failure(QStringLiteral("Unable to open file ") + out.opened.file + QStringLiteral("\r\n") +
                    out.opened.detail);
        return out;
    }
    out.bookOpened = true;
    ImportStore store(options.batchMs);
    ImportFieldSplitter split(HighestPosition(layout));
    ImportLineReader reader(text);
    QElapsedTimer sinceStatus;
    bool told = false;
    uint64_t lineBytes = 0;
    while (reader.next(split, &lineBytes)) {
        if (lineBytes == 0) continue;
        const ImportField* last = split.field(layout.fLast);
        if (!last || !HasTwoCharacters(*last, encoding)) continue;
        TAddressRecord rec = ImportedAddress(split, layout, encoding);
        if (options.status && (!told || sinceStatus.elapsed() >= options.intervalMs)) {
            options.status(ImportingText(rec));
            told = true;
            sinceStatus.start();
        }
        // A failed write stops the run; the line's values never land in an existing row.
        if (!store.add(rec)) break;
    }
    if (reader.failed())
        out.status = RunStatus::failure(QStringLiteral("Unable to read ") + path + QStringLiteral("\r\n") + file.errorString());
    file.close();

    // What is reported added is what the book holds: the names of the batches stored.
    const RunStatus finished = store.finish();
    if (out.status.ok()) out.status = finished;
    out.namesAdded = store.stored();
    return out;
}
