// The import file's line reader, field splitter and encoding detection, without tables.
#include <gtest/gtest.h>

#include <QString>
#include <string>
#include <vector>

#include "TestData.h"
#include "core/import/ImportRun.h"

namespace {

ImportLineReader::Source memorySource(const std::string& bytes, size_t* at) {
    return [&bytes, at](char* buf, size_t n) -> long long {
        const size_t k = std::min(n, bytes.size() - *at);
        std::memcpy(buf, bytes.data() + *at, k);
        *at += k;
        return static_cast<long long>(k);
    };
}

// Splits one line, feeding it in pieces of `piece` bytes; returns the fields as text.
std::vector<std::string> split(const std::string& line, size_t piece = 0, int keep = 99) {
    ImportFieldSplitter s(keep);
    if (piece == 0) piece = line.size() + 1;
    for (size_t i = 0; i < line.size(); i += piece)
        s.feed(line.data() + i, std::min(piece, line.size() - i));
    s.finish();
    std::vector<std::string> out;
    for (uint64_t p = 1; p <= s.fieldCount() && p <= uint64_t(keep); ++p)
        out.push_back(s.field(int(p))->head);
    return out;
}

using Fields = std::vector<std::string>;

// Every line the reader yields, in order (empty lines included).
std::vector<std::string> lines(const std::string& bytes, size_t bufferSize = 7) {
    size_t at = 0;
    ImportLineReader r(memorySource(bytes, &at), bufferSize);
    ImportFieldSplitter s(1);
    std::vector<std::string> out;
    uint64_t n = 0;
    while (r.next(s, &n)) out.push_back(n ? s.field(1)->head : std::string());
    return out;
}

}  // namespace

TEST(ImportSplit, WorkedSplitsWholeAndBytewise) {
    const struct {
        std::string line;
        Fields fields;
    } cases[] = {
        {"Smith,John", {"Smith", "John"}},
        {"\"Smith, Jr.\",John", {"Smith, Jr.", "John"}},
        {"a,,c", {"a", "", "c"}},
        {"a,b,", {"a", "b", ""}},
        {"ab\"c,d\"e,f", {"abc,de", "f"}},
        {"\"say \"\"hi\"\"\"", {"say hi"}},
        {"x\"y,z", {"xy", "z"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(split(c.line), c.fields) << c.line;
        EXPECT_EQ(split(c.line, 1), c.fields) << c.line << " fed byte by byte";
        EXPECT_EQ(split(c.line, 3), c.fields) << c.line << " fed in threes";
    }
}

TEST(ImportSplit, UnmatchedQuoteSplitsTheRestAtCommas) {
    EXPECT_EQ(split("a\"b,c,d"), (Fields{"ab", "c", "d"}));
    EXPECT_EQ(split("\"q\"x\"y,z"), (Fields{"qxy", "z"}));  // second quote has no partner
    EXPECT_EQ(split("\""), (Fields{""}));
    EXPECT_EQ(split(",,,"), (Fields{"", "", "", ""}));
    EXPECT_EQ(split(" Ann , \" Lee \" "), (Fields{" Ann ", "  Lee  "}));
}

TEST(ImportSplit, OnlyKeptFieldsStoredButAllCounted) {
    ImportFieldSplitter s(2);
    const std::string line = "a,b,c,\"d,e\",f";
    s.feed(line.data(), line.size());
    s.finish();
    EXPECT_EQ(s.fieldCount(), 5u);
    EXPECT_EQ(s.field(2)->head, "b");
    EXPECT_EQ(s.field(3), nullptr);
    EXPECT_EQ(s.field(0), nullptr);

    // Unmatched quote whose alternate fields run past the kept ones.
    ImportFieldSplitter t(2);
    const std::string l2 = "x\"1,2,3,4";
    t.feed(l2.data(), l2.size());
    t.finish();
    EXPECT_EQ(t.fieldCount(), 4u);
    EXPECT_EQ(t.field(1)->head, "x1");
    EXPECT_EQ(t.field(2)->head, "2");
}

TEST(ImportSplit, LongFieldKeepsHeadAndTrueLength) {
    const std::string big(3 * ImportField::kHeadBytes, 'x');
    ImportFieldSplitter s(3);
    const std::string line = "a," + big + ",Lee";
    s.feed(line.data(), line.size());
    s.finish();
    ASSERT_EQ(s.fieldCount(), 3u);
    EXPECT_EQ(s.field(2)->length, big.size());
    EXPECT_EQ(s.field(2)->head.size(), ImportField::kHeadBytes);
    EXPECT_EQ(s.field(3)->head, "Lee");
}

TEST(ImportSplit, LastNameRuleCountsCharactersNotBytesEvenPastTheHead) {
    auto field = [](const std::string& text) {
        ImportFieldSplitter s(1);
        s.feed(text.data(), text.size());
        s.finish();
        return *s.field(1);
    };
    EXPECT_TRUE(HasTwoCharacters(field("Li"), ImportEncoding::Utf8));
    EXPECT_FALSE(HasTwoCharacters(field(" L "), ImportEncoding::Utf8));
    EXPECT_FALSE(HasTwoCharacters(field("   "), ImportEncoding::Utf8));
    EXPECT_FALSE(HasTwoCharacters(field("\xC3\xBC"), ImportEncoding::Utf8));  // one letter, two bytes
    EXPECT_TRUE(HasTwoCharacters(field("\xC3\xBC"), ImportEncoding::Windows1252));
    // A name after more blanks than the kept head holds.
    const std::string pad(ImportField::kHeadBytes + 10, ' ');
    EXPECT_TRUE(HasTwoCharacters(field(pad + "Ng"), ImportEncoding::Utf8));
    EXPECT_FALSE(HasTwoCharacters(field(pad + "N" + pad), ImportEncoding::Utf8));
}

TEST(ImportLines, CrLfAndCrLfEndingsAndCharacter26) {
    EXPECT_EQ(lines("a\nb\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(lines("a\rb\r"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(lines("a\r\nb\r\n"), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(lines("a\nlast"), (std::vector<std::string>{"a", "last"}));
    EXPECT_EQ(lines("a\nb\x1a" "c\nd\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(lines("\x1a" "a\n").empty());
    EXPECT_EQ(lines("a\n\x1a"), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(lines("").empty());
    // A line longer than the buffer, with the buffer down to one byte.
    EXPECT_EQ(lines("abcdefghij\r\nk", 1), (std::vector<std::string>{"abcdefghij", "", "k"}));
}

TEST(ImportLines, ReadErrorEndsTheStreamAndIsReported) {
    int calls = 0;
    ImportLineReader r([&](char* buf, size_t) -> long long {
        if (calls++ == 0) {
            std::memcpy(buf, "ok\npart", 7);
            return 7;
        }
        return -1;
    });
    ImportFieldSplitter s(1);
    uint64_t n = 0;
    ASSERT_TRUE(r.next(s, &n));
    EXPECT_EQ(s.field(1)->head, "ok");
    EXPECT_FALSE(r.next(s, &n));  // the broken line is not handed on
    EXPECT_TRUE(r.failed());
}

TEST(ImportEncodingTest, Utf8WithOrWithoutMarkElseWindows1252) {
    auto detect = [](const std::string& bytes, bool* bom) {
        size_t at = 0;
        ImportEncoding e = ImportEncoding::Utf8;
        TextScan scan;
        EXPECT_TRUE(DetectImportEncoding(memorySource(bytes, &at), &e, &scan));
        *bom = scan.mark == TextMark::Utf8;
        return e;
    };
    bool bom = false;
    EXPECT_EQ(detect("M\xC3\xBCller,Hans\n", &bom), ImportEncoding::Utf8);
    EXPECT_FALSE(bom);
    EXPECT_EQ(detect("\xEF\xBB\xBFM\xC3\xBCller\n", &bom), ImportEncoding::Utf8);
    EXPECT_TRUE(bom);
    EXPECT_EQ(detect("M\xFCller,Hans\n", &bom), ImportEncoding::Windows1252);
    EXPECT_EQ(detect("ok\xC3", &bom), ImportEncoding::Windows1252);          // cut sequence
    EXPECT_EQ(detect("\xED\xA0\x80", &bom), ImportEncoding::Windows1252);    // surrogate
    EXPECT_EQ(detect("\xC0\xAF", &bom), ImportEncoding::Windows1252);        // overlong
    EXPECT_EQ(detect("ok\x1a\xFF\xFE", &bom), ImportEncoding::Utf8);         // after the end mark

    ImportFieldSplitter s(1);
    const std::string w = "M\xFCller\x80";
    s.feed(w.data(), w.size());
    s.finish();
    EXPECT_EQ(DecodeImportField(*s.field(1), ImportEncoding::Windows1252),
              QString::fromUtf8("M\xC3\xBCller\xE2\x82\xAC"));
}

TEST(ImportEncodingTest, NulBecomesBlankAndCutCharacterIsDropped) {
    ImportFieldSplitter s(1);
    const std::string w("A\0B", 3);
    s.feed(w.data(), w.size());
    s.finish();
    EXPECT_EQ(DecodeImportField(*s.field(1), ImportEncoding::Utf8), QStringLiteral("A B"));

    // "é" is two bytes; put its first byte last in the head.
    std::string line(ImportField::kHeadBytes - 1, 'a');
    line += "\xC3\xA9tail";
    ImportFieldSplitter t(1);
    t.feed(line.data(), line.size());
    t.finish();
    const QString text = DecodeImportField(*t.field(1), ImportEncoding::Utf8);
    EXPECT_EQ(text.size(), int(ImportField::kHeadBytes - 1));
    EXPECT_FALSE(text.contains(QChar::ReplacementCharacter));
}
