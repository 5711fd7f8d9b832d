#include "core/calendar/BookDates.h"

#include <algorithm>
#include <memory>

#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Cp1252.h"
#include "xbase/Dbf.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"

namespace {

constexpr size_t kBatchRows = 4096;

struct Columns {
    const xbase::FieldInfo *first = nullptr, *last = nullptr;
    std::array<const xbase::FieldInfo*, 7> holiday{};
    std::array<const xbase::FieldInfo*, 4> flag{}, date{};

    explicit Columns(const xbase::DbfFile& dbf) {
        const auto at = [&dbf](const char* name) -> const xbase::FieldInfo* {
            const int i = dbf.fieldIndex(name);
            return i < 0 ? nullptr : &dbf.fields()[size_t(i)];
        };
        first = at("First");
        last = at("Last");
        const char* holidays[] = {"Valentine", "Mother", "Father", "Secretary", "Halloween", "ThanksGiv", "Christmas"};
        for (size_t i = 0; i < holiday.size(); ++i) holiday[i] = at(holidays[i]);
        const char* flags[] = {"Birthday", "Annav", "Other1", "Other2"};
        const char* dates[] = {"Birthdate", "Annavdate", "Other1Date", "Other2Date"};
        for (size_t i = 0; i < flag.size(); ++i) {
            flag[i] = at(flags[i]);
            date[i] = at(dates[i]);
        }
    }
    static bool isSet(const uint8_t* row, const xbase::FieldInfo* f) {
        return f && xbase::field::isTrue(row[f->offset]);
    }
    static QString text(const uint8_t* row, const xbase::FieldInfo* f) {
        return f ? QString::fromStdString(xbase::cp1252::toUtf8(xbase::field::raw(row, *f))) : QString();
    }
    // The Address tag's key: the last name padded to its column, then the first name.
    QString nameKey(const uint8_t* row) const { return (text(row, last) + text(row, first)).toUpper(); }
};

struct Sorted {
    QString key;  // as the Address tag: upper-cased last name, then first name
    PersonalDate date;
};

}  // namespace

const char* DateKindName(DateKind kind) {
    switch (kind) {
    case DateKind::Birthday: return "Birthday";
    case DateKind::Anniversary: return "Anniversary";
    case DateKind::Other1:
    case DateKind::Other2: break;
    }
    return "Other date";
}

QDate DateInYear(const QDate& d, int year) {
    if (d.month() == 2 && d.day() == 29 && !QDate::isLeapYear(year)) return QDate(year, 2, 28);
    return QDate(year, d.month(), d.day());
}

xbase::Status ReadBookDates(xbase::Library& lib, BookDates* out) {
    *out = BookDates();
    std::unique_ptr<xbase::DbfFile> book;
    XB_TRY(xbase::DbfFile::open(lib.fs(), xbase::resolveName(lib.fs(), lib.directory(), "AddrBook.dbf"), true, &book));
    const Columns cols(*book);
    std::vector<Sorted> found;
    const uint32_t n = book->recordCount();
    const size_t width = book->recordLength();
    std::vector<uint8_t> buf(kBatchRows * width);
    for (uint64_t start = 0; start < n; start += kBatchRows) {
        const size_t count = size_t(std::min<uint64_t>(kBatchRows, n - start));
        if (const xbase::Status s = book->readRows(start, count, buf.data()); !s.ok()) {
            *out = BookDates();
            return s;
        }
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* row = buf.data() + i * width;
            if (row[0] == '*') continue;  // deleted
            for (size_t h = 0; h < cols.holiday.size(); ++h) out->cards[h] += Columns::isSet(row, cols.holiday[h]);
            for (size_t k = 0; k < cols.flag.size(); ++k) {
                if (!Columns::isSet(row, cols.flag[k]) || !cols.date[k]) continue;
                const QDate d = FieldToDate(QString::fromLatin1(xbase::field::raw(row, *cols.date[k])));
                if (d == ZeroDate) continue;
                found.push_back({cols.nameKey(row),
                                 {DateKind(k), TrimText(Columns::text(row, cols.first)), TrimText(Columns::text(row, cols.last)), d}});
            }
        }
    }
    // Stable: the dates of one row keep their kind order, and equal names keep the table's order.
    std::stable_sort(found.begin(), found.end(), [](const Sorted& a, const Sorted& b) { return a.key < b.key; });
    out->dates.reserve(found.size());
    for (const Sorted& s : found) out->dates.push_back(s.date);
    return book->close();
}
