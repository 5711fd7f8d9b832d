#include "xbase/Table.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "xbase/Cp1252.h"

namespace xbase {

namespace {

std::string_view trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

}  // namespace

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

}  // namespace xbase
