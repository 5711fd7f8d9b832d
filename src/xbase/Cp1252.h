#pragma once
// Windows-1252 <-> UTF-8. Table files hold Windows-1252 text; the engine's API speaks UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace xbase::cp1252 {

// UTF-8 to Windows-1252. A code point Windows-1252 cannot hold, and any malformed UTF-8
// sequence, becomes '?'.
std::string fromUtf8(std::string_view utf8);

// Windows-1252 to UTF-8. The five undefined bytes (0x81 0x8D 0x8F 0x90 0x9D) map to the C1
// controls of the same value, so that every byte survives a round trip.
std::string toUtf8(std::string_view bytes);

// Upper-cases one Windows-1252 byte: ASCII letters, the accented letters 0xE0-0xFE (except
// 0xF7, the division sign), and the three letters whose capitals live in 0x80-0x9F
// (0x9A s-caron, 0x9C oe, 0x9E z-caron) plus 0xFF y-diaeresis.
unsigned char upper(unsigned char c);
unsigned char lower(unsigned char c);
void upperInPlace(std::string& bytes);
void upperInPlace(uint8_t* bytes, size_t n);

}  // namespace xbase::cp1252
