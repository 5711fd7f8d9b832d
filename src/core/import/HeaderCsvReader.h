#pragma once
// Reading comma-separated files with a header row for ContactReader.h: the records split, the
// header row found and its columns mapped to the fields of a contact, each row after it made
// into a contact.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/data/Globals.h"
#include "core/import/ContactReader.h"
#include "core/import/ContactValues.h"

namespace contactread {

// The fields a column of a header file can fill.
enum class Col {
    First, Last, FullName, Street, Street2, City, State, Zip, Country, Email, Phone, Fax, Mobile,
    Birthday, Anniversary, Other1, Other2, Occasions, BirthYear, BirthMonth, BirthDayOfMonth,
    TypedPhoneValue, TypedPhoneType
};

// A column of the header row that names a field.
struct Mapped {
    int column;  // index in the record
    Col col;
    int group;
    int priority;
    int pair;    // typed phones: the number N of "Phone N - Value" / "Phone N - Type"
};

// Records of comma-separated bytes under RFC 4180: a field in double quotes may hold the
// separator, line breaks and "" for one quote; empty lines give no record. The separator and the
// quote are ASCII, so UTF-8 and Windows-1252 split alike before decoding. A field keeps its first
// kMostFieldBytes bytes, a record its first kMostFields fields.
class CsvRecords {
public:
    explicit CsvRecords(char sep) : sep_(sep) {}

    // `onRecord(const QList<QByteArray>&)` returns false to stop; feed then returns false.
    template <class F>
    bool feed(const char* p, size_t n, F&& onRecord) {
        for (size_t i = 0; i < n; ++i) {
            const char c = p[i];
            if (quoteSeen_) {  // a quote inside quotes: "" is one quote, anything else closes
                quoteSeen_ = false;
                if (c == '"') {
                    add(c);
                    continue;
                }
                quoted_ = false;
            }
            if (afterCr_) {
                afterCr_ = false;
                if (c == '\n') continue;
            }
            if (quoted_) {
                if (c == '"') quoteSeen_ = true;
                else add(c);
            } else if (c == '"') {
                quoted_ = true;
                any_ = true;
            } else if (c == sep_) {
                endField();
                any_ = true;
            } else if (c == '\r' || c == '\n') {
                afterCr_ = c == '\r';
                if (!endRecord(onRecord)) return false;
            } else {
                add(c);
            }
        }
        return true;
    }
    template <class F>
    bool finish(F&& onRecord) {
        quoteSeen_ = quoted_ = false;
        return endRecord(onRecord);
    }

private:
    void add(char c) {
        if (field_.size() < kMostFieldBytes) field_ += c;
    }
    void endField() {
        if (rec_.size() < kMostFields) rec_ << field_;
        field_.clear();
    }
    template <class F>
    bool endRecord(F&& onRecord) {
        bool go = true;
        if (any_ || !field_.isEmpty() || !rec_.isEmpty()) {
            endField();
            go = onRecord(std::as_const(rec_));
        }
        rec_.clear();
        field_.clear();
        any_ = false;
        return go;
    }

    char sep_;
    QList<QByteArray> rec_;
    QByteArray field_;
    bool quoted_ = false, quoteSeen_ = false, any_ = false, afterCr_ = false;
};

// The separator under which one of the first records of `head` reads as a header; none when
// no separator does.
char csvSeparator(const std::string& head, bool utf8);

// The records of a header file: those before the header are passed over, the header read into
// the mapping, each after it turned into a contact.
class HeaderCsvReader {
public:
    // `full` false: the rows after the header are only counted (onContact gets an empty record).
    HeaderCsvReader(char sep, bool utf8, bool full, ContactParse& out,
                    std::function<bool(TAddressRecord&)> onContact)
        : split_(sep), utf8_(utf8), full_(full), out_(out), onContact_(std::move(onContact)) {}

    bool feed(const char* p, size_t n);
    bool finish();

private:
    bool record(const QList<QByteArray>& rec);

    CsvRecords split_;
    bool utf8_, full_;
    ContactParse& out_;
    std::function<bool(TAddressRecord&)> onContact_;
    std::vector<Mapped> map_;
    int records_ = 0;
};

}  // namespace contactread
