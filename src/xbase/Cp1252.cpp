#include "xbase/Cp1252.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace xbase::cp1252 {

namespace {

// Code points of bytes 0x80-0x9F. The five bytes Windows-1252 leaves undefined map to the C1
// control of the same value so that they survive a round trip.
constexpr uint16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char encodeCodePoint(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return char(cp);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == cp) return char(0x80 + i);
    }
    return '?';
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string fromUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b = uint8_t(s[i]);
        if (b < 0x80) {
            out += char(b);
            ++i;
            continue;
        }
        int extra;
        uint32_t cp, min;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, cp = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, cp = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, cp = b & 0x07, min = 0x10000;
        } else {
            out += '?';  // stray continuation byte or invalid lead byte
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool good = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= s.size() || (uint8_t(s[j]) & 0xC0) != 0x80) {
                good = false;
                break;
            }
            cp = (cp << 6) | (uint8_t(s[j]) & 0x3F);
        }
        if (!good) {
            // A broken sequence costs one '?'; decoding resumes at the byte that broke it.
            out += '?';
            i = j;
            continue;
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += '?';
        } else {
            out += encodeCodePoint(cp);
        }
        i = j;
    }
    return out;
}

std::string toUtf8(std::string_view bytes) {
    // Most texts are plain ASCII, the same in both.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uint8_t(c) < 0x80; })) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) {
        const auto b = uint8_t(c);
        if (b < 0x80) {
            out += c;
        } else if (b < 0xA0) {
            appendUtf8(out, kHigh[b - 0x80]);
        } else {
            appendUtf8(out, b);
        }
    }
    return out;
}

unsigned char upper(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    switch (c) {
        case 0x9A: return 0x8A;  // s caron
        case 0x9C: return 0x8C;  // oe
        case 0x9E: return 0x8E;  // z caron
        case 0xFF: return 0x9F;  // y diaeresis
        default: return c;
    }
}

unsigned char lower(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    switch (c) {
        case 0x8A: return 0x9A;
        case 0x8C: return 0x9C;
        case 0x8E: return 0x9E;
        case 0x9F: return 0xFF;
        default: return c;
    }
}

namespace {
struct UpperTable {
    uint8_t t[256];
    UpperTable() {
        for (int c = 0; c < 256; ++c) t[c] = upper(uint8_t(c));
    }
};
const UpperTable kUpper;
}  // namespace

void upperInPlace(std::string& bytes) { upperInPlace(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()); }

void upperInPlace(uint8_t* bytes, size_t n) {
    // Eight bytes at a time while they are plain ASCII (names mostly are): a byte's top bit is
    // set by the first sum when it is 'a' or above, by the second when above 'z'; neither sum
    // carries into the next byte.
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, bytes + i, 8);
        if (w & kHigh) {
            for (size_t j = i; j < i + 8; ++j) bytes[j] = kUpper.t[bytes[j]];
            continue;
        }
        const uint64_t lower = ((w + (0x80 - 'a') * kOnes) ^ (w + (0x80 - 'z' - 1) * kOnes)) & kHigh;
        w -= lower >> 2;  // 0x80 >> 2 == 0x20 == 'a' - 'A'
        std::memcpy(bytes + i, &w, 8);
    }
    for (; i < n; ++i) bytes[i] = kUpper.t[bytes[i]];
}

}  // namespace xbase::cp1252
