#include "core/data/CardLog.h"

#include "core/data/OwnTables.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "xbase/Cp1252.h"
#include "xbase/Dbf.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Ntx.h"
#include "xbase/Table.h"

namespace {

using xbase::ErrorKind;
using xbase::FieldInfo;
using xbase::Status;

constexpr int kNameWidth = 20;  // AddrBook's Last and First
constexpr size_t kKeyWidth = 2 * kNameWidth;
constexpr size_t kBatchRows = 8192;  // rows a pass reads and writes at a time

std::string pathOf(xbase::Library& lib, const std::string& name) {
    return xbase::resolveName(lib.fs(), lib.directory(), name);
}

// Column positions of a log row.
struct CardCols {
    const FieldInfo *key = nullptr, *rec = nullptr, *year = nullptr, *occ = nullptr,
                    *entry = nullptr, *kind = nullptr, *sum = nullptr;
    bool events() const { return key && rec && year && occ && entry && kind; }
    bool marks() const { return key && rec && sum; }
};

CardCols colsOf(const xbase::DbfFile& dbf) {
    CardCols c;
    const auto at = [&](const char* name) -> const FieldInfo* {
        const int i = dbf.fieldIndex(name);
        return i < 0 ? nullptr : &dbf.fields()[size_t(i)];
    };
    c.key = at("NameKey");
    c.rec = at("RecNo");
    c.year = at("Year");
    c.occ = at("Occasion");
    c.entry = at("Entry");
    c.kind = at("Kind");
    c.sum = at("AddrSum");
    if (c.key && c.key->length != kKeyWidth) c.key = nullptr;
    return c;
}

long num(const uint8_t* row, const FieldInfo* f) {
    double v = 0;
    if (!f || !xbase::field::parseNumber(xbase::field::raw(row, *f), &v)) return 0;
    return long(v);
}

void putNum(uint8_t* row, const FieldInfo* f, long v) {
    xbase::field::formatNumber(double(v), f->length, 0, reinterpret_cast<char*>(row) + f->offset);
}

std::string_view keyOf(const uint8_t* row, const CardCols& c) { return xbase::field::raw(row, *c.key); }

CardEvent eventOf(const uint8_t* row, const CardCols& c) {
    CardEvent e;
    e.nameKey = std::string(keyOf(row, c));
    e.recNo = uint32_t(std::max(0L, num(row, c.rec)));
    e.year = int(num(row, c.year));
    e.occasion = int(num(row, c.occ));
    e.entry = int(num(row, c.entry));
    const std::string_view k = xbase::field::raw(row, *c.kind);
    e.kind = k.empty() ? CardKind::Sent : CardKind(k[0]);
    return e;
}

bool liveRow(const uint8_t* row) { return row[0] != '*'; }

// The surname and first name columns of AddrBook, and the address columns of the fingerprint.
struct BookCols {
    const FieldInfo *last = nullptr, *first = nullptr;
    std::vector<const FieldInfo*> address;
    explicit BookCols(const xbase::DbfFile& dbf) {
        const auto at = [&](const char* name) -> const FieldInfo* {
            const int i = dbf.fieldIndex(name);
            return i < 0 ? nullptr : &dbf.fields()[size_t(i)];
        };
        last = at("Last");
        first = at("First");
        for (const char* n : {"Street", "Street2", "City", "State", "Zip", "Country"})
            if (const FieldInfo* f = at(n)) address.push_back(f);
    }
    std::string key(const uint8_t* row) const {
        return CardNameKey(last ? xbase::field::raw(row, *last) : std::string_view(),
                           first ? xbase::field::raw(row, *first) : std::string_view());
    }
    std::string sum(const uint8_t* row) const {
        uint32_t h = 2166136261u;
        for (const FieldInfo* f : address) {
            std::string v(xbase::field::raw(row, *f));
            while (!v.empty() && v.back() == ' ') v.pop_back();
            xbase::cp1252::upperInPlace(v);
            for (unsigned char ch : v + '\x1f') h = (h ^ ch) * 16777619u;
        }
        char out[9];
        std::snprintf(out, sizeof out, "%08X", h);
        return out;
    }
};

Status openBook(xbase::Library& lib, std::unique_ptr<xbase::DbfFile>* out) {
    return xbase::DbfFile::open(lib.fs(), pathOf(lib, "AddrBook.dbf"), true, out);
}

// Every AddrBook record's name key, by record number ("" for row 0 and rows marked deleted).
Status bookKeys(xbase::Library& lib, std::vector<std::string>* keys,
                std::vector<uint8_t>* flags = nullptr, const char* flagColumn = nullptr) {
    std::unique_ptr<xbase::DbfFile> book;
    XB_TRY(openBook(lib, &book));
    const BookCols cols(*book);
    const FieldInfo* flag = nullptr;
    if (flagColumn) {
        const int i = book->fieldIndex(flagColumn);
        if (i >= 0) flag = &book->fields()[size_t(i)];
    }
    const uint32_t n = book->recordCount();
    keys->assign(size_t(n) + 1, std::string());
    if (flags) flags->assign(size_t(n) + 1, 0);
    const size_t width = book->recordLength();
    std::vector<uint8_t> buf(kBatchRows * width);
    for (uint64_t first = 0; first < n; first += kBatchRows) {
        const size_t count = size_t(std::min<uint64_t>(kBatchRows, n - first));
        XB_TRY(book->readRows(first, count, buf.data()));
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* row = buf.data() + i * width;
            if (!liveRow(row)) continue;
            const size_t rec = size_t(first + i + 1);
            (*keys)[rec] = cols.key(row);
            if (flags && flag) (*flags)[rec] = xbase::field::isTrue(row[flag->offset]);
        }
    }
    return book->close();
}

// Visits every row of a log table in record order; `edit` may change the row and returns true
// when it did. The changed rows are written back a batch at a time, and the file flushed.
template <class Edit>
Status passOver(xbase::Library& lib, const std::string& fileName, bool write, Edit&& edit) {
    const std::string path = pathOf(lib, fileName);
    if (!lib.fs().exists(path)) return Status::Ok();  // nothing logged yet
    std::unique_ptr<xbase::DbfFile> dbf;
    XB_TRY(xbase::DbfFile::open(lib.fs(), path, !write, &dbf));
    const CardCols cols = colsOf(*dbf);
    if (!cols.key || !cols.rec)
        return Status::error(ErrorKind::Corrupt, path, "not a card log table: NameKey or RecNo missing");
    const uint32_t n = dbf->recordCount();
    const size_t width = dbf->recordLength();
    std::vector<uint8_t> buf(kBatchRows * width);
    Status s;
    for (uint64_t first = 0; first < n && s.ok(); first += kBatchRows) {
        const size_t count = size_t(std::min<uint64_t>(kBatchRows, n - first));
        s = dbf->readRows(first, count, buf.data());
        if (!s.ok()) break;
        bool changed = false;
        for (size_t i = 0; i < count; ++i) {
            uint8_t* row = buf.data() + i * width;
            if (liveRow(row) && edit(row, cols)) changed = true;
        }
        if (changed && write) s = dbf->writeRows(first, count, buf.data());
    }
    if (s.ok() && write) s = dbf->flush(lib.syncOnFlush());
    const Status c = dbf->close();
    return s.ok() ? c : s;
}

// Opens the events table with its index selected, or the addresses of returned cards; the log's
// two tables are made first when there are none.
Status openCards(xbase::Library& lib, xbase::Table** out) {
    *out = nullptr;
    XB_TRY(EnsureOwnTable(lib, CardMarksSchema()));
    return OpenOwnTable(lib, CardsSchema(), true, out);
}

Status openMarks(xbase::Library& lib, xbase::Table** out) {
    *out = nullptr;
    XB_TRY(EnsureOwnTable(lib, CardsSchema()));
    return OpenOwnTable(lib, CardMarksSchema(), true, out);
}

std::string yearKey(int year) {
    char y[8];
    std::snprintf(y, sizeof y, "%4d", year % 10000);
    return y;
}

// The live rows of one person, from the index alone: an index seek on `prefix` (the name key,
// optionally followed by the year), then the entries of that prefix, each row read by number.
// The table's cursor is not used, so a scan of a few rows reads a few rows (a cursor's
// read-ahead would fetch a whole stretch of the log). *rows gets the log's record numbers,
// *events (when given) the events. The row a Table holds unwritten is not seen.
Status rowsOf(xbase::Table* t, std::string_view prefix, uint32_t recNo, std::vector<uint32_t>* rows,
              std::vector<CardEvent>* events = nullptr) {
    const CardCols cols = colsOf(t->dbf());
    if (!cols.events() || !t->selectedTag())
        return Status::error(ErrorKind::Corrupt, "Cards.dbf", "not a card log table");
    xbase::NtxIndex& ix = t->selectedTag()->index();
    xbase::SeekResult found = xbase::SeekResult::Eof;
    XB_TRY(ix.seek(prefix, &found));
    if (found != xbase::SeekResult::Found) return Status::Ok();
    for (bool ok = ix.positioned(); ok;) {
        const std::string_view key = ix.currentKey();
        if (key.size() < prefix.size() || key.compare(0, prefix.size(), prefix) != 0) break;
        const uint32_t n = ix.currentRecNo();
        const uint8_t* row = nullptr;
        XB_TRY(t->dbf().recordPtr(n, &row));
        if (liveRow(row) && uint32_t(num(row, cols.rec)) == recNo) {
            rows->push_back(n);
            if (events) events->push_back(eventOf(row, cols));
        }
        XB_TRY(ix.next(&ok));
    }
    return Status::Ok();
}

// True when `t` holds the event already.
Status logged(xbase::Table* t, const CardEvent& e, bool* found) {
    *found = false;
    std::vector<uint32_t> rows;
    std::vector<CardEvent> have;
    XB_TRY(rowsOf(t, e.nameKey + yearKey(e.year), e.recNo, &rows, &have));
    for (const CardEvent& h : have)
        if (h.year == e.year && h.occasion == e.occasion && h.entry == e.entry && h.kind == e.kind) *found = true;
    return Status::Ok();
}

Status append(xbase::Library& lib, xbase::Table* t, const CardEvent& e) {
    if (t->appendBlank() != 0) return LibraryFailure(lib, "Cards.dbf", "cannot append");
    t->field("NameKey")->assign(xbase::cp1252::toUtf8(e.nameKey));
    t->field("RecNo")->assignInt(e.recNo);
    t->field("Year")->assignInt(e.year);
    t->field("Occasion")->assignInt(e.occasion);
    t->field("Entry")->assignInt(e.entry);
    const char kind[2] = {char(e.kind), 0};
    t->field("Kind")->assign(kind);
    if (lib.exitTest()) return LibraryFailure(lib, "Cards.dbf", "cannot write");
    return Status::Ok();
}

// The names list's mark for a returned card: the address it was sent to.
Status rememberAddress(xbase::Library& lib, const std::string& key, uint32_t recNo, const std::string& sum) {
    xbase::Table* t = nullptr;
    XB_TRY(openMarks(lib, &t));
    Status s;
    bool done = false;
    for (int rc = t->top(); rc == xbase::kOk && !done; rc = t->skip(1)) {
        if (t->deleted() || t->field("RecNo")->asInt() != recNo) continue;
        if (std::string_view(xbase::field::raw(t->rowBuffer(), *colsOf(t->dbf()).key)) != key) continue;
        t->field("AddrSum")->assign(sum);
        done = true;
    }
    if (!done) {
        if (t->appendBlank() != 0) {
            s = LibraryFailure(lib, "CardAddr.dbf", "cannot append");
        } else {
            t->field("NameKey")->assign(xbase::cp1252::toUtf8(key));
            t->field("RecNo")->assignInt(recNo);
            t->field("AddrSum")->assign(sum);
        }
    }
    if (s.ok() && t->flush() < 0) s = LibraryFailure(lib, "CardAddr.dbf", "cannot write");
    return CloseOwnTable(lib, t, s);
}

bool byNewest(const CardEvent& a, const CardEvent& b) {
    if (a.year != b.year) return a.year > b.year;
    if (a.occasion != b.occasion) return a.occasion < b.occasion;
    if (a.entry != b.entry) return a.entry < b.entry;
    const auto rank = [](CardKind k) { return k == CardKind::Sent ? 0 : k == CardKind::Received ? 1 : 2; };
    return rank(a.kind) < rank(b.kind);
}

const char* holidayColumn(int occasion) {
    static const char* const columns[] = {"Valentine", "Mother",    "Father",   "Secretary",
                                          "Halloween", "ThanksGiv", "Christmas"};
    return occasion >= 1 && occasion <= 7 ? columns[occasion - 1] : nullptr;
}

// Records in name order: by name key, then record number, as the address index orders them.
void nameOrder(const std::vector<std::string>& keys, std::vector<uint32_t>* recs) {
    std::sort(recs->begin(), recs->end(), [&](uint32_t a, uint32_t b) {
        const int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : a < b;
    });
}

}  // namespace

const char* CardKindName(CardKind kind) {
    switch (kind) {
    case CardKind::Sent: return "sent";
    case CardKind::Received: return "received";
    case CardKind::Returned: return "returned";
    }
    return "?";
}

bool CardKindFromText(std::string_view text, CardKind* kind) {
    std::string t(text);
    for (char& c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (t == "sent" || t == "s") *kind = CardKind::Sent;
    else if (t == "received" || t == "r") *kind = CardKind::Received;
    else if (t == "returned" || t == "x") *kind = CardKind::Returned;
    else return false;
    return true;
}

const TableSchema& CardsSchema() { return OwnTableSchema("Cards"); }
const TableSchema& CardMarksSchema() { return OwnTableSchema("CardAddr"); }

std::vector<std::string> CardFileNames() { return {"Cards.dbf", "Cards.ntx", "Cards.cgp", "CardAddr.dbf"}; }

std::string CardNameKey(std::string_view lastBytes, std::string_view firstBytes) {
    std::string key;
    key.reserve(kKeyWidth);
    for (std::string_view part : {lastBytes, firstBytes}) {
        const std::string_view cut = part.substr(0, std::min<size_t>(part.size(), kNameWidth));
        key.append(cut);
        key.append(kNameWidth - cut.size(), ' ');
    }
    xbase::cp1252::upperInPlace(key);
    return key;
}

std::string CardNameKeyOfRow(const xbase::DbfFile& addrBook, const uint8_t* row) {
    return BookCols(addrBook).key(row);
}

std::string CardAddressSum(const xbase::DbfFile& addrBook, const uint8_t* row) {
    return BookCols(addrBook).sum(row);
}

Status EnsureCardFiles(xbase::Library& lib) {
    XB_TRY(EnsureOwnTable(lib, CardsSchema()));
    return EnsureOwnTable(lib, CardMarksSchema());
}

Status CardsMarkSent(xbase::Library& lib, int occasion, int year, const std::vector<CardPick>& picks,
                     int* added) {
    if (added) *added = 0;
    if (occasion < 1 || occasion > 9 || year < 1 || year > 9999)
        return Status::error(ErrorKind::BadArgument, "Cards.dbf", "occasion 1 to 9 and a year are needed");
    std::unique_ptr<xbase::DbfFile> book;
    XB_TRY(openBook(lib, &book));
    const BookCols bookCols(*book);
    xbase::Table* t = nullptr;
    XB_TRY(openCards(lib, &t));
    Status s;
    // What this call appended: the last row is still the table's unwritten row, unseen by the index.
    std::vector<std::pair<uint32_t, int>> mine;
    for (const CardPick& p : picks) {
        const uint8_t* row = nullptr;
        if (p.recNo < 1 || p.recNo > book->recordCount() || !book->recordPtr(p.recNo, &row).ok() || !liveRow(row))
            continue;
        CardEvent e;
        e.nameKey = bookCols.key(row);
        e.recNo = p.recNo;
        e.year = year;
        e.occasion = occasion;
        e.entry = occasion == 8 ? p.entry : 0;
        e.kind = CardKind::Sent;
        bool found = std::find(mine.begin(), mine.end(), std::make_pair(e.recNo, e.entry)) != mine.end();
        if (!found) s = logged(t, e, &found);
        if (s.ok() && !found) s = append(lib, t, e);
        if (!s.ok()) break;
        if (!found) {
            mine.emplace_back(e.recNo, e.entry);
            if (added) ++*added;
        }
    }
    if (s.ok() && t->flush() < 0) s = LibraryFailure(lib, "Cards.dbf", "cannot write");
    s = CloseOwnTable(lib, t, s);
    book->close();
    return s;
}

Status CardsAdd(xbase::Library& lib, uint32_t recNo, int year, int occasion, CardKind kind, bool* added) {
    if (added) *added = false;
    if (occasion < 1 || occasion > 9 || year < 1 || year > 9999)
        return Status::error(ErrorKind::BadArgument, "Cards.dbf", "occasion 1 to 9 and a year are needed");
    std::unique_ptr<xbase::DbfFile> book;
    XB_TRY(openBook(lib, &book));
    const uint8_t* row = nullptr;
    if (recNo < 1 || recNo > book->recordCount() || !book->recordPtr(recNo, &row).ok() || !liveRow(row))
        return Status::error(ErrorKind::NotFound, "AddrBook.dbf", "no such record");
    const BookCols bookCols(*book);
    CardEvent e;
    e.nameKey = bookCols.key(row);
    e.recNo = recNo;
    e.year = year;
    e.occasion = occasion;
    e.kind = kind;
    const std::string sum = bookCols.sum(row);
    book->close();

    xbase::Table* t = nullptr;
    XB_TRY(openCards(lib, &t));
    bool found = false;
    Status s = logged(t, e, &found);
    if (s.ok() && !found) s = append(lib, t, e);
    if (s.ok() && t->flush() < 0) s = LibraryFailure(lib, "Cards.dbf", "cannot write");
    s = CloseOwnTable(lib, t, s);
    if (s.ok() && added) *added = !found;
    if (s.ok() && kind == CardKind::Returned) s = rememberAddress(lib, e.nameKey, recNo, sum);
    return s;
}

Status CardsRemove(xbase::Library& lib, const std::function<bool(const CardEvent&)>& match, int* removed) {
    if (removed) *removed = 0;
    int n = 0;
    std::vector<std::pair<std::string, uint32_t>> returned;  // people whose returned card went
    XB_TRY(passOver(lib, "Cards.dbf", true, [&](uint8_t* row, const CardCols& c) {
        if (!c.events()) return false;
        const CardEvent e = eventOf(row, c);
        if (!match(e)) return false;
        row[0] = '*';
        ++n;
        if (e.kind == CardKind::Returned) returned.emplace_back(e.nameKey, e.recNo);
        return true;
    }));
    if (removed) *removed = n;
    if (returned.empty()) return Status::Ok();
    // Those who still have a returned card keep their mark.
    XB_TRY(passOver(lib, "Cards.dbf", false, [&](uint8_t* row, const CardCols& c) {
        if (!c.events() || row[c.kind->offset] != uint8_t(CardKind::Returned)) return false;
        const auto who = std::make_pair(std::string(keyOf(row, c)), uint32_t(std::max(0L, num(row, c.rec))));
        returned.erase(std::remove(returned.begin(), returned.end(), who), returned.end());
        return false;
    }));
    return passOver(lib, "CardAddr.dbf", true, [&](uint8_t* row, const CardCols& c) {
        const auto who = std::make_pair(std::string(keyOf(row, c)), uint32_t(std::max(0L, num(row, c.rec))));
        if (std::find(returned.begin(), returned.end(), who) == returned.end()) return false;
        row[0] = '*';
        return true;
    });
}

Status CardsOf(xbase::Library& lib, std::string_view nameKey, uint32_t recNo, std::vector<CardEvent>* out) {
    out->clear();
    if (!lib.fs().exists(pathOf(lib, "Cards.dbf"))) return Status::Ok();
    xbase::Table* t = nullptr;
    XB_TRY(openCards(lib, &t));
    std::vector<uint32_t> rows;
    const Status s = rowsOf(t, nameKey.substr(0, std::min(nameKey.size(), kKeyWidth)), recNo, &rows, out);
    std::sort(out->begin(), out->end(), byNewest);
    return CloseOwnTable(lib, t, s);
}

Status CardsList(xbase::Library& lib, int year, int occasion, const CardKind* kind, std::vector<CardEvent>* out) {
    out->clear();
    return passOver(lib, "Cards.dbf", false, [&](uint8_t* row, const CardCols& c) {
        if (!c.events()) return false;
        CardEvent e = eventOf(row, c);
        if ((year == 0 || e.year == year) && (occasion == 0 || e.occasion == occasion) &&
            (!kind || e.kind == *kind))
            out->push_back(std::move(e));
        return false;
    });
}

Status CardsRenamed(xbase::Library& lib, uint32_t recNo, std::string_view oldKey, std::string_view newKey) {
    if (oldKey == newKey || !lib.fs().exists(pathOf(lib, "Cards.dbf"))) return Status::Ok();
    const std::string utf8 = xbase::cp1252::toUtf8(newKey);
    xbase::Table* t = nullptr;
    XB_TRY(openCards(lib, &t));
    std::vector<uint32_t> rows;
    Status s = rowsOf(t, oldKey, recNo, &rows);
    for (uint32_t r : rows) {
        if (!s.ok()) break;
        if (t->go(r) != xbase::kOk) s = LibraryFailure(lib, "Cards.dbf", "cannot read");
        else t->field("NameKey")->assign(utf8);
    }
    if (s.ok() && t->flush() < 0) s = LibraryFailure(lib, "Cards.dbf", "cannot write");
    XB_TRY(CloseOwnTable(lib, t, s));
    const std::string newBytes(newKey);
    return passOver(lib, "CardAddr.dbf", true, [&](uint8_t* row, const CardCols& c) {
        if (uint32_t(num(row, c.rec)) != recNo || keyOf(row, c) != oldKey) return false;
        std::memcpy(row + c.key->offset, newBytes.data(), std::min(newBytes.size(), kKeyWidth));
        return true;
    });
}

namespace {
std::string packMarker(xbase::Library& lib) { return pathOf(lib, "Cards.pck"); }
}  // namespace

Status CardsBeforePack(xbase::Library& lib) {
    if (!lib.fs().exists(pathOf(lib, "Cards.dbf"))) return Status::Ok();
    std::unique_ptr<xbase::File> marker;
    XB_TRY(lib.fs().open(packMarker(lib), xbase::OpenMode::CreateTruncate, &marker));
    XB_TRY(marker->sync());
    marker.reset();
    return lib.fs().syncDir(lib.directory());
}

Status CardsRecover(xbase::Library& lib, bool* recovered) {
    if (recovered) *recovered = false;
    if (!lib.fs().exists(packMarker(lib))) return Status::Ok();
    XB_TRY(CardsReconcile(lib));  // removes the marker once the log is in step
    if (recovered) *recovered = true;
    return Status::Ok();
}

Status CardsAfterPack(xbase::Library& lib, const std::vector<uint32_t>& deleted) {
    if (deleted.empty()) {
        if (lib.fs().exists(packMarker(lib))) return lib.fs().remove(packMarker(lib));
        return Status::Ok();
    }
    const auto renumber = [&](uint8_t* row, const CardCols& c) {
        const uint32_t r = uint32_t(std::max(0L, num(row, c.rec)));
        const auto at = std::lower_bound(deleted.begin(), deleted.end(), r);
        if (at != deleted.end() && *at == r) {
            row[0] = '*';  // the person is gone, and their cards with them
            return true;
        }
        const long before = long(at - deleted.begin());
        if (before == 0) return false;
        putNum(row, c.rec, long(r) - before);
        return true;
    };
    XB_TRY(passOver(lib, "Cards.dbf", true, renumber));
    XB_TRY(passOver(lib, "CardAddr.dbf", true, renumber));
    if (lib.fs().exists(packMarker(lib))) return lib.fs().remove(packMarker(lib));
    return Status::Ok();
}

Status CardsReconcile(xbase::Library& lib, int* moved, int* dropped) {
    if (moved) *moved = 0;
    if (dropped) *dropped = 0;
    std::vector<std::string> keys;
    XB_TRY(bookKeys(lib, &keys));
    std::unordered_map<std::string, std::vector<uint32_t>> byKey;
    for (uint32_t r = 1; r < keys.size(); ++r)
        if (!keys[r].empty()) byKey[keys[r]].push_back(r);
    int m = 0, d = 0;
    const auto fix = [&](uint8_t* row, const CardCols& c) {
        const long r = num(row, c.rec);
        const std::string_view key = keyOf(row, c);
        if (r >= 1 && size_t(r) < keys.size() && keys[size_t(r)] == key) return false;
        const auto it = byKey.find(std::string(key));
        if (it != byKey.end() && it->second.size() == 1) {
            putNum(row, c.rec, long(it->second.front()));
            ++m;
        } else {
            row[0] = '*';
            ++d;
        }
        return true;
    };
    XB_TRY(passOver(lib, "Cards.dbf", true, fix));
    const int eventsMoved = m, eventsDropped = d;
    XB_TRY(passOver(lib, "CardAddr.dbf", true, fix));
    if (lib.fs().exists(packMarker(lib))) XB_TRY(lib.fs().remove(packMarker(lib)));
    if (moved) *moved = eventsMoved;
    if (dropped) *dropped = eventsDropped;
    return Status::Ok();
}

Status CardsCheck(xbase::Library& lib, uint64_t* events, uint64_t* stray) {
    *events = *stray = 0;
    std::vector<std::string> keys;
    XB_TRY(bookKeys(lib, &keys));
    return passOver(lib, "Cards.dbf", false, [&](uint8_t* row, const CardCols& c) {
        ++*events;
        const long r = num(row, c.rec);
        if (r < 1 || size_t(r) >= keys.size() || keys[size_t(r)] != keyOf(row, c)) ++*stray;
        return false;
    });
}

Status CardsReindex(xbase::Library& lib) {
    XB_TRY(EnsureCardFiles(lib));
    LibrarySettingsGuard guard(lib);
    lib.setAutoOpen(false);
    lib.setSafety(false);
    lib.errorCode();
    const TableSchema& cards = CardsSchema();
    xbase::Table* t = lib.open(cards.baseName);
    if (!t) return LibraryFailure(lib, cards.fileName, "cannot open");
    Status s;
    if (t->pack() < 0) s = LibraryFailure(lib, cards.fileName, "cannot pack");
    if (s.ok() && t->createIndex(cards.group, {{cards.tag, cards.key}}) < 0)
        s = LibraryFailure(lib, cards.tag + ".ntx", "cannot write the index");
    XB_TRY(CloseOwnTable(lib, t, s));
    xbase::Table* m = lib.open(CardMarksSchema().baseName);
    if (!m) return LibraryFailure(lib, CardMarksSchema().fileName, "cannot open");
    if (m->pack() < 0) s = LibraryFailure(lib, CardMarksSchema().fileName, "cannot pack");
    return CloseOwnTable(lib, m, s);
}

Status CardsRebuildIndex(xbase::Library& lib, bool onlyIfMissing) {
    if (onlyIfMissing) return EnsureCardFiles(lib);
    XB_TRY(CardsReconcile(lib));
    return CardsReindex(lib);
}

namespace {
// The sent and received events of one occasion, by record number, from one pass over the log.
// Events whose record no longer holds their name key are left out.
Status sentAndReceived(xbase::Library& lib, int occasion, int year, const std::vector<std::string>& keys,
                       std::vector<uint8_t>* sent, std::vector<uint8_t>* received) {
    sent->assign(keys.size(), 0);
    received->assign(keys.size(), 0);
    return passOver(lib, "Cards.dbf", false, [&](uint8_t* row, const CardCols& c) {
        if (!c.events() || num(row, c.occ) != occasion) return false;
        const long r = num(row, c.rec);
        if (r < 1 || size_t(r) >= keys.size() || keys[size_t(r)] != keyOf(row, c)) return false;
        const long y = num(row, c.year);
        const char k = char(row[c.kind->offset]);
        if (k == char(CardKind::Sent) && y == year) (*sent)[size_t(r)] = 1;
        if (k == char(CardKind::Received) && (y == year || y == year - 1)) (*received)[size_t(r)] = 1;
        return false;
    });
}
}  // namespace

Status CardsNotYetSent(xbase::Library& lib, int occasion, int year, std::vector<uint32_t>* out) {
    out->clear();
    const char* column = holidayColumn(occasion);
    if (!column) return Status::error(ErrorKind::BadArgument, "AddrBook.dbf", "a holiday occasion 1 to 7 is needed");
    std::vector<std::string> keys;
    std::vector<uint8_t> flags, sent, received;
    XB_TRY(bookKeys(lib, &keys, &flags, column));
    XB_TRY(sentAndReceived(lib, occasion, year, keys, &sent, &received));
    for (uint32_t r = 1; r < keys.size(); ++r)
        if (flags[r] && !sent[r]) out->push_back(r);
    nameOrder(keys, out);
    return Status::Ok();
}

Status CardsReceivedNotSent(xbase::Library& lib, int occasion, int year, std::vector<uint32_t>* out) {
    out->clear();
    std::vector<std::string> keys;
    std::vector<uint8_t> sent, received;
    XB_TRY(bookKeys(lib, &keys));
    XB_TRY(sentAndReceived(lib, occasion, year, keys, &sent, &received));
    for (uint32_t r = 1; r < keys.size(); ++r)
        if (received[r] && !sent[r]) out->push_back(r);
    nameOrder(keys, out);
    return Status::Ok();
}

Status CardsReturnedMarks(xbase::Library& lib, xbase::DbfFile& addrBook, std::vector<uint8_t>* marked) {
    const uint32_t n = addrBook.recordCount();
    marked->assign(size_t(n) + 1, 0);
    const BookCols cols(addrBook);
    return passOver(lib, "CardAddr.dbf", false, [&](uint8_t* row, const CardCols& c) {
        if (!c.marks()) return false;
        const long r = num(row, c.rec);
        const uint8_t* book = nullptr;
        if (r < 1 || r > long(n) || !addrBook.recordPtr(uint32_t(r), &book).ok() || !liveRow(book)) return false;
        if (cols.key(book) == keyOf(row, c) && cols.sum(book) == xbase::field::raw(row, *c.sum))
            (*marked)[size_t(r)] = 1;
        return false;
    });
}
