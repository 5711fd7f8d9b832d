// Windows-1252 conversion: every byte survives a round trip, unencodable text becomes '?', and
// case mapping follows the Windows-1252 letters.

#include <gtest/gtest.h>

#include <string>

#include "xbase/Cp1252.h"

using namespace xbase;

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, char(b));
        const std::string utf8 = cp1252::toUtf8(one);
        EXPECT_EQ(cp1252::fromUtf8(utf8), one) << "byte " << b;
    }
}

TEST(Cp1252, KnownCharactersInBothDirections) {
    struct Case {
        unsigned char byte;
        const char* utf8;
    } cases[] = {
        {0x80, "\u20AC"},  // euro
        {0x8A, "\u0160"},  // S caron
        {0x9A, "\u0161"},  // s caron
        {0x8C, "\u0152"},  // OE
        {0x9C, "\u0153"},  // oe
        {0x8E, "\u017D"},  // Z caron
        {0x9F, "\u0178"},  // Y diaeresis
        {0x92, "\u2019"},  // right single quote
        {0x96, "\u2013"},  // en dash
        {0x99, "\u2122"},  // trade mark
        {0xE9, "\u00E9"},  // e acute
        {0xFC, "\u00FC"},  // u diaeresis
        {0xDF, "\u00DF"},  // sharp s
        {0xA0, "\u00A0"},  // no-break space
        {0x81, "\u0081"},  // undefined in Windows-1252: kept as the C1 control
        {0x9D, "\u009D"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cp1252::toUtf8(std::string(1, char(c.byte))), c.utf8) << int(c.byte);
        EXPECT_EQ(cp1252::fromUtf8(c.utf8), std::string(1, char(c.byte))) << int(c.byte);
    }
    EXPECT_EQ(cp1252::toUtf8("Caf\xE9 M\xFCller \x80 5"), "Café Müller € 5");
    EXPECT_EQ(cp1252::fromUtf8("Café Müller € 5"), "Caf\xE9 M\xFCller \x80 5");
}

TEST(Cp1252, UnencodableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(cp1252::fromUtf8("\u0410"), "?");             // Cyrillic A
    EXPECT_EQ(cp1252::fromUtf8("a\U0001F600b"), "a?b");     // emoji, four bytes, one '?'
    EXPECT_EQ(cp1252::fromUtf8("\u0080"), "?");             // C1 control Windows-1252 uses for the euro
    EXPECT_EQ(cp1252::fromUtf8("x\xFFy"), "x?y");           // invalid lead byte
    EXPECT_EQ(cp1252::fromUtf8("x\x80y"), "x?y");           // stray continuation
    EXPECT_EQ(cp1252::fromUtf8("x\xC3"), "x?");             // truncated at the end
    EXPECT_EQ(cp1252::fromUtf8("\xC3(a"), "?(a");           // broken sequence resumes at the next byte
    EXPECT_EQ(cp1252::fromUtf8("\xC0\xA9"), "??");          // overlong encoding of ')'
    EXPECT_EQ(cp1252::fromUtf8("\xED\xA0\x80"), "?");       // UTF-16 surrogate
    EXPECT_EQ(cp1252::fromUtf8("\xF4\x90\x80\x80"), "?");   // beyond U+10FFFF
    EXPECT_EQ(cp1252::fromUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp1252, UpperAndLowerFollowWindows1252Letters) {
    std::string s = "\xE9\x9A\x9C\x9E\xFF" "abz";  // e acute, s caron, oe, z caron, y diaeresis
    cp1252::upperInPlace(s);
    EXPECT_EQ(s, "\xC9\x8A\x8C\x8E\x9F" "ABZ");
    // Letters without a single-byte capital, and non-letters, stay as they are.
    for (int c : {0xDF /* sharp s */, 0xB5 /* micro */, 0xF7 /* division */, 0xD7 /* times */,
                  0x80 /* euro */, int('1'), int('@'), int('['), int('{')}) {
        EXPECT_EQ(cp1252::upper((unsigned char)c), c) << c;
    }
    EXPECT_EQ(cp1252::lower(0xD7), 0xD7);
    // In place, every byte at every position of a run, among plain ASCII or not, as upper() says.
    for (int b = 0; b < 256; ++b) {
        for (const char fill : {'m', '\xE9'}) {
            std::string run(19, fill), want(19, char(cp1252::upper((unsigned char)fill)));
            for (size_t at : {size_t(0), size_t(7), size_t(8), size_t(15), size_t(18)}) {
                std::string got = run, exp = want;
                got[at] = char(b);
                exp[at] = char(cp1252::upper((unsigned char)b));
                cp1252::upperInPlace(got);
                ASSERT_EQ(got, exp) << b << " at " << at;
            }
        }
    }
    // upper and lower are inverse on every pair they change.
    for (int b = 0; b < 256; ++b) {
        const unsigned char c = (unsigned char)b;
        const unsigned char u = cp1252::upper(c);
        if (u != c) {
            EXPECT_EQ(cp1252::lower(u), c) << b;
        }
        const unsigned char l = cp1252::lower(c);
        if (l != c) {
            EXPECT_EQ(cp1252::upper(l), c) << b;
        }
    }
}
