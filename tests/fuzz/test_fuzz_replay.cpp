// Inputs the fuzz targets once failed on, kept under tests/fixtures/fuzz/<target>/ and replayed
// through the same targets (built here without the fuzzer): each must now run to its end. A
// target ends the process on a broken oracle, so a failing input fails this test by crashing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int ReplayDataFolder(const uint8_t* data, size_t size);
extern "C" int ReplayImportRun(const uint8_t* data, size_t size);
extern "C" int ReplayIndexWrite(const uint8_t* data, size_t size);
extern "C" int ReplayTable(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

struct Target {
    const char* name;
    int (*run)(const uint8_t*, size_t);
};

const Target kTargets[] = {
    {"fuzz_datafolder", ReplayDataFolder},
    {"fuzz_importrun", ReplayImportRun},
    {"fuzz_indexwrite", ReplayIndexWrite},
    {"fuzz_table", ReplayTable},
};

TEST(FuzzFindings, EveryKeptInputRunsThroughItsTarget) {
    int replayed = 0;
    for (const Target& t : kTargets) {
        const fs::path dir = fs::path(MERROWBY_TEST_DATA) / "fuzz" / t.name;
        std::vector<fs::path> inputs;
        if (fs::is_directory(dir))
            for (const auto& e : fs::directory_iterator(dir)) inputs.push_back(e.path());
        std::sort(inputs.begin(), inputs.end());
        for (const fs::path& p : inputs) {
            SCOPED_TRACE(std::string(t.name) + "/" + p.filename().string());
            std::ifstream in(p, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            EXPECT_EQ(t.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
