#include "xbase/Dbf.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <charconv>
#include <string>

namespace xbase {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

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
