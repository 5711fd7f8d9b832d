// The C++ copy of the synthetic address generator must draw exactly the rows of the script, or
// benchmark figures would not compare with the reference figures.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "../../bench/AddressGen.h"

namespace {

std::string runScript(const std::string& args) {
    const std::string script = "/work/shared/tools/gen_addresses.py";
    std::string path = script;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
        std::fclose(f);
    } else {
        path = std::string(MERROWBY_SOURCE_DIR) + "/../shared/tools/gen_addresses.py";
        FILE* g = std::fopen(path.c_str(), "r");
        if (!g) return {};
        std::fclose(g);
    }
    std::string cmd = "python3 '" + path + "' " + args + " 2>/dev/null";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

TEST(AddressGen, MatchesTheGeneratorScriptRowForRow) {
    std::string expect = runScript("500 --seed 2");
    if (expect.empty()) GTEST_SKIP() << "generator script or python3 not available";
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
    std::string expect = runScript("300 --seed 3 --surnames");
    if (expect.empty()) GTEST_SKIP() << "generator script or python3 not available";
    addrgen::Gen g(3);
    std::string got;
    for (int i = 0; i < 300; ++i) got += g.upperSurname() + "\n";
    EXPECT_EQ(got, expect);
}

}  // namespace
