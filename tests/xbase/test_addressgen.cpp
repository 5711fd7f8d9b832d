// The C++ copy of the synthetic address generator must draw exactly the rows of the script, or
// benchmark figures would not compare with the reference figures.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "../../bench/AddressGen.h"

namespace {

const std::string kScript = std::string(MERROWBY_SOURCE_DIR) + "/bench/gen_addresses.py";

bool havePython() { return std::system("python3 -c '' >/dev/null 2>&1") == 0; }

std::string runScript(const std::string& args) {
    std::string out;
    if (FILE* p = popen(("python3 '" + kScript + "' " + args + " 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

TEST(AddressGen, MatchesTheGeneratorScriptRowForRow) {
    if (!havePython()) GTEST_SKIP() << "python3 is not installed: the script cannot be run";
    std::string expect = runScript("500 --seed 2");
    ASSERT_FALSE(expect.empty()) << kScript << " gave no rows";
    addrgen::Gen g(2);
    std::string got;
    for (int i = 0; i < 500; ++i) {
        auto r = g.row();
        for (size_t c = 0; c < r.size(); ++c) got += (c ? "," : "") + r[c];
        got += "\n";
    }
    EXPECT_EQ(got, expect);
}

TEST(AddressGen, MatchesTheScriptsSurnames) {
    if (!havePython()) GTEST_SKIP() << "python3 is not installed: the script cannot be run";
    std::string expect = runScript("300 --seed 3 --surnames");
    ASSERT_FALSE(expect.empty()) << kScript << " gave no rows";
    addrgen::Gen g(3);
    std::string got;
    for (int i = 0; i < 300; ++i) got += g.upperSurname() + "\n";
    EXPECT_EQ(got, expect);
}

}  // namespace
