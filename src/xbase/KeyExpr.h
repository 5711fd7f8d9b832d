#pragma once
// Index key expressions, evaluated from the text stored in an .ntx header.
//
// Understood: field names (letter case ignored, an "alias->" prefix dropped), "+" joining texts,
// and the functions Upper, Lower, Trim/RTrim, LTrim, AllTrim, Left, Right, Substr, Dtos and
// Str. The result type follows the expression: a lone N/F field gives a numeric key, a lone D
// field a date key (yyyymmdd), a lone L field a logical key; everything else is text.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/Dbf.h"
#include "xbase/Status.h"

namespace xbase {

class KeyExpr {
public:
    KeyExpr();
    ~KeyExpr();
    KeyExpr(KeyExpr&&) noexcept;
    KeyExpr& operator=(KeyExpr&&) noexcept;

    // Parses text against a table's fields. BadArgument for a syntax error, NotFound for an
    // unknown field or function (the message names it).
    static Status compile(std::string_view text, const std::vector<FieldInfo>& fields, KeyExpr* out);

    const std::string& text() const;
    char type() const;          // 'C', 'N', 'D' or 'L'
    uint16_t keySize() const;   // length of the result on a blank record (capped at 250)
    uint16_t keyDecimals() const;

    // Computes the key of a raw record: exactly keySize() bytes (text padded with blanks or cut).
    void evaluate(const uint8_t* record, std::string* out) const;
    // The same into out[0, keySize()).
    void evaluateInto(const uint8_t* record, uint8_t* out) const;
    // The first byte of a record that evaluating reads (0 when that is not known).
    size_t firstByteRead() const;

    // Turns a seek value given as UTF-8 into key bytes: character keys are converted to
    // Windows-1252 and cut to keySize (not padded: a shorter value is a prefix); numeric keys take
    // the number's text and encode it like a stored key; date keys take "yyyymmdd".
    std::string seekKey(std::string_view utf8) const;

    // Numeric key encoding of formats.md 2.9 (width = keySize, decimals = keyDecimals).
    static std::string encodeNumber(double value, int width, int decimals);

    struct Node;  // parsed expression (defined in KeyExpr.cpp)

private:
    std::string text_;
    std::unique_ptr<Node> root_;
    char type_ = 'C';
    uint16_t keySize_ = 0;
    uint16_t keyDecimals_ = 0;
    // Set when the key is field texts joined (optionally upper-cased): their (offset, length).
    std::vector<std::pair<uint16_t, uint16_t>> slices_;
    bool fastUpper_ = false;
};

}  // namespace xbase
