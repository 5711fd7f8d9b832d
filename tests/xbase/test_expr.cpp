// Key expressions: parsing what index headers hold and computing keys from raw records.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "xbase/KeyExpr.h"

using namespace xbase;

namespace {

std::vector<FieldInfo> fields() {
    std::vector<FieldInfo> f = {{"LAST", 'C', 10, 0, 1}, {"First", 'C', 5, 0, 11},
                                {"AMOUNT", 'N', 6, 2, 16}, {"BORN", 'D', 8, 0, 22}, {"OK", 'L', 1, 0, 30}};
    return f;
}

std::vector<uint8_t> record(const char* last, const char* first, const char* amount, const char* born, char ok) {
    std::vector<uint8_t> r(31, ' ');
    std::memcpy(&r[1], last, std::strlen(last));
    std::memcpy(&r[11], first, std::strlen(first));
    std::memcpy(&r[16], amount, std::strlen(amount));
    std::memcpy(&r[22], born, std::strlen(born));
    r[30] = uint8_t(ok);
    return r;
}

TEST(KeyExpr, UpperOfJoinedFieldsKeepsThePaddingOfEachField) {
    KeyExpr e;
    ASSERT_TRUE(KeyExpr::compile("Upper(Last + First)", fields(), &e).ok());
    EXPECT_EQ(e.type(), 'C');
    EXPECT_EQ(e.keySize(), 15);
    std::string k;
    auto r = record("Smith", "john", "", "", ' ');
    e.evaluate(r.data(), &k);
    EXPECT_EQ(k, "SMITH     JOHN ");
}

// Keys of joined fields are cut straight from the record; they must equal what the general
// evaluation gives (the same expression with an empty literal joined on takes that road), for
// any bytes, accented letters among them.
TEST(KeyExpr, JoinedFieldKeysMatchTheGeneralEvaluation) {
    const std::pair<const char*, const char*> pairs[] = {
        {"Upper(Last + First)", "Upper(Last + First + \"\")"},
        {"Last + Born", "Last + Born + \"\""},
        {"Upper(First)", "Upper(First + \"\")"},
        {"Born", "Born + \"\""},
    };
    std::mt19937 rng(5);
    for (const auto& [fast, general] : pairs) {
        SCOPED_TRACE(fast);
        KeyExpr a, b;
        ASSERT_TRUE(KeyExpr::compile(fast, fields(), &a).ok());
        ASSERT_TRUE(KeyExpr::compile(general, fields(), &b).ok());
        ASSERT_EQ(a.keySize(), b.keySize());
        for (int i = 0; i < 2000; ++i) {
            std::vector<uint8_t> r(31);
            for (auto& c : r) c = uint8_t(1 + rng() % 255);
            std::string ka, kb;
            a.evaluate(r.data(), &ka);
            b.evaluate(r.data(), &kb);
            ASSERT_EQ(ka, kb);
            std::vector<uint8_t> into(a.keySize());
            a.evaluateInto(r.data(), into.data());
            ASSERT_EQ(std::string(into.begin(), into.end()), kb);
        }
    }
}

TEST(KeyExpr, AcceptsOtherSpellingsAndAliases) {
    KeyExpr e;
    EXPECT_TRUE(KeyExpr::compile("UPPER(LAST+FIRST)", fields(), &e).ok());
    EXPECT_TRUE(KeyExpr::compile("upper( addrbook->last + first )", fields(), &e).ok());
    EXPECT_EQ(e.keySize(), 15);
    EXPECT_TRUE(KeyExpr::compile("Trim(Last) + Dtos(Born)", fields(), &e).ok());
    std::string k;
    auto r = record("Lee", "Ann", "", "19990102", ' ');
    e.evaluate(r.data(), &k);
    EXPECT_EQ(k, std::string("Lee19990102") + std::string(7, ' '));
    EXPECT_TRUE(KeyExpr::compile("Substr(Last, 2, 3)", fields(), &e).ok());
    EXPECT_EQ(e.keySize(), 3);
    e.evaluate(r.data(), &k);
    EXPECT_EQ(k, "ee ");
}

TEST(KeyExpr, RejectsUnknownFieldsFunctionsAndBadSyntax) {
    KeyExpr e;
    EXPECT_EQ(KeyExpr::compile("Upper(Surname)", fields(), &e).kind, ErrorKind::NotFound);
    EXPECT_EQ(KeyExpr::compile("Soundex(Last)", fields(), &e).kind, ErrorKind::NotFound);
    EXPECT_EQ(KeyExpr::compile("Upper(Last", fields(), &e).kind, ErrorKind::BadArgument);
    EXPECT_EQ(KeyExpr::compile("Last +", fields(), &e).kind, ErrorKind::BadArgument);
    EXPECT_EQ(KeyExpr::compile("", fields(), &e).kind, ErrorKind::BadArgument);
    EXPECT_EQ(KeyExpr::compile("Amount + Last", fields(), &e).kind, ErrorKind::BadArgument);
}

TEST(KeyExpr, NumericKeysSortAsNumbers) {
    // Examples of the key encoding for negative and positive numbers.
    EXPECT_EQ(KeyExpr::encodeNumber(5, 5, 0), "00005");
    EXPECT_EQ(KeyExpr::encodeNumber(-5, 5, 0), ",,,,'");
    EXPECT_EQ(KeyExpr::encodeNumber(-15, 5, 0), ",,,+'");
    EXPECT_EQ(KeyExpr::encodeNumber(0, 6, 2), "000.00");
    EXPECT_EQ(KeyExpr::encodeNumber(-0.5, 4, 1), ",,.'");
    std::vector<double> values = {-999.5, -100, -10.25, -1, -0.01, 0, 0.01, 1, 9.99, 10, 250.5, 999.99};
    for (size_t i = 1; i < values.size(); ++i)
        EXPECT_LT(KeyExpr::encodeNumber(values[i - 1], 7, 2), KeyExpr::encodeNumber(values[i], 7, 2))
            << values[i - 1] << " vs " << values[i];
    KeyExpr e;
    ASSERT_TRUE(KeyExpr::compile("Amount", fields(), &e).ok());
    EXPECT_EQ(e.type(), 'N');
    EXPECT_EQ(e.keySize(), 6);
    std::string k;
    auto r = record("", "", " -3.50", "", ' ');
    e.evaluate(r.data(), &k);
    EXPECT_EQ(k, KeyExpr::encodeNumber(-3.5, 6, 2));
    EXPECT_EQ(e.seekKey("-3.5"), k);
}

TEST(KeyExpr, SeekKeysAreConvertedButNotPadded) {
    KeyExpr e;
    ASSERT_TRUE(KeyExpr::compile("Upper(Last + First)", fields(), &e).ok());
    EXPECT_EQ(e.seekKey("SM"), "SM");
    EXPECT_EQ(e.seekKey("\xC3\x89T\xC3\x89"), "\xC9T\xC9");  // ÉTÉ in Windows-1252
    EXPECT_EQ(e.seekKey(std::string(40, 'X')).size(), 15u);
}

}  // namespace
