// Damaged .ntx files give Corrupt (never a crash or a hang), and a rebuild that fails part way
// leaves the old index whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <functional>
#include <random>

#include "xbase/LittleEndian.h"
#include "xbase/Ntx.h"
#include "ntx_test_util.h"

namespace xbase {
namespace {

using ntxtest::Model;

constexpr uint16_t kKs = 100;  // 8 keys a page: 400 entries make a three-level tree
constexpr uint32_t kPage = 1024;

class NtxDamageTest : public ::testing::Test {
public:
    ntxtest::TempDir dir;
    ntxtest::NoSyncFileSystem fs;
    std::string path = dir.file("damaged.ntx");
    Model model{false};
    std::vector<uint8_t> good;

    void SetUp() override {
        std::vector<uint8_t> keys;
        std::vector<uint32_t> recs;
        for (uint32_t r = 1; r <= 400; ++r) {
            std::string k = ntxtest::numberKey(int(r * 37 % 400), kKs);
            model.insert({k, r});
            keys.insert(keys.end(), k.begin(), k.end());
            recs.push_back(r);
        }
        NtxSpec layout;
        layout.expression = "NAME";
        layout.keySize = kKs;
        std::unique_ptr<NtxIndex> ix;
        ASSERT_TRUE(NtxIndex::build(fs, path, layout, keys, recs, &ix).ok());
        ASSERT_TRUE(ix->close().ok());
        good = ntxtest::readFile(path);
    }

    uint32_t root() const { return le::get32(good.data() + 4); }
    // Offset of logical item i of the page at `off` in `f`.
    static size_t itemAt(const std::vector<uint8_t>& f, uint32_t off, size_t i) {
        return off + le::get16(f.data() + off + 2 + 2 * i);
    }

    Status openBytes(const std::vector<uint8_t>& f, std::unique_ptr<NtxIndex>* ix) {
        ntxtest::writeFile(path, f);
        return NtxIndex::open(fs, path, false, ix);
    }
};

// Runs every reading and writing operation; each must end with Ok, Corrupt (or NotFound for a
// removal). Returns whether any of them reported Corrupt.
bool exerciseAll(NtxIndex& ix, const Model& model) {
    bool sawCorrupt = false;
    auto check = [&](const Status& s, const char* what) {
        if (s.kind == ErrorKind::Corrupt) sawCorrupt = true;
        EXPECT_TRUE(s.ok() || s.kind == ErrorKind::Corrupt || s.kind == ErrorKind::NotFound)
            << what << ": " << s.toString();
    };
    for (bool backward : {false, true}) {
        bool ok = false;
        Status s = backward ? ix.last(&ok) : ix.first(&ok);
        check(s, "first/last");
        long steps = 0;
        while (s.ok() && ok) {
            s = backward ? ix.prev(&ok) : ix.next(&ok);
            check(s, "next/prev");
            if (++steps > 10'000'000) {
                ADD_FAILURE() << "walk did not end";
                break;
            }
        }
    }
    uint64_t n = 0;
    check(ix.count(&n), "count");
    std::string detail;
    check(ix.verify({}, &detail), "verify");
    SeekResult res;
    for (const char* p : {"", "0000", "00000200", "9"}) check(ix.seek(p, &res), "seek");
    int i = 0;
    for (const auto& [k, r] : model) {
        if (i++ % 40 != 0) continue;
        bool found = false;
        check(ix.seekEntry(k, r, &found), "seekEntry");
        check(ix.remove(k, r), "remove");
        check(ix.insert(ntxtest::numberKey(int(r) + 5000, kKs), r), "insert");
    }
    check(ix.flush(false), "flush");
    return sawCorrupt;
}

TEST_F(NtxDamageTest, BadHeadersAreRefused) {
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
        ErrorKind kind;
    };
    const uint32_t size = uint32_t(good.size());
    const std::vector<Case> cases = {
        {"foreign signature", [](auto& f) { le::put16(f.data(), 0x1234); }, ErrorKind::Corrupt},
        {"zero signature", [](auto& f) { le::put16(f.data(), 0); }, ErrorKind::Corrupt},
        {"large-file variant", [](auto& f) { le::put16(f.data(), 0x0206); }, ErrorKind::Unsupported},
        {"multi-tag variant", [](auto& f) { le::put16(f.data(), 0x8006); }, ErrorKind::Unsupported},
        {"item size", [](auto& f) { le::put16(f.data() + 12, kKs + 9); }, ErrorKind::Corrupt},
        {"key size 0", [](auto& f) { le::put16(f.data() + 14, 0); le::put16(f.data() + 12, 8); }, ErrorKind::Corrupt},
        {"key size 251", [](auto& f) { le::put16(f.data() + 14, 251); le::put16(f.data() + 12, 259); }, ErrorKind::Corrupt},
        {"max 0", [](auto& f) { le::put16(f.data() + 18, 0); }, ErrorKind::Corrupt},
        {"max too big for a page", [](auto& f) { le::put16(f.data() + 18, 10); }, ErrorKind::Corrupt},
        {"half 0", [](auto& f) { le::put16(f.data() + 20, 0); }, ErrorKind::Corrupt},
        {"half above max/2", [](auto& f) { le::put16(f.data() + 20, 5); }, ErrorKind::Corrupt},
        {"root 0", [](auto& f) { le::put32(f.data() + 4, 0); }, ErrorKind::Corrupt},
        {"root off a page boundary", [&](auto& f) { le::put32(f.data() + 4, root() + 2); }, ErrorKind::Corrupt},
        {"root outside the file", [&](auto& f) { le::put32(f.data() + 4, size); }, ErrorKind::Corrupt},
        {"root far outside", [](auto& f) { le::put32(f.data() + 4, 0xFFFFFC00u); }, ErrorKind::Corrupt},
        {"short file", [](auto& f) { f.resize(500); }, ErrorKind::Corrupt},
        {"empty file", [](auto& f) { f.clear(); }, ErrorKind::Corrupt},
        {"truncated before root", [&](auto& f) { f.resize(root()); }, ErrorKind::Corrupt},
        {"root holds more than max", [&](auto& f) { le::put16(f.data() + root(), 9); }, ErrorKind::Corrupt},
        {"root offset past the page", [&](auto& f) { le::put16(f.data() + root() + 2, 1020); }, ErrorKind::Corrupt},
        {"root offset inside the table", [&](auto& f) { le::put16(f.data() + root() + 2, 4); }, ErrorKind::Corrupt},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> f = good;
        c.damage(f);
        std::unique_ptr<NtxIndex> ix;
        Status s = openBytes(f, &ix);
        EXPECT_EQ(s.kind, c.kind) << c.name << ": " << s.toString();
        EXPECT_FALSE(ix) << c.name;
    }
}

TEST_F(NtxDamageTest, PageCycleIsReportedNotFollowed) {
    // Point the first child of the root's first child back at the root.
    std::vector<uint8_t> f = good;
    const uint32_t r = root();
    const uint32_t c0 = le::get32(f.data() + itemAt(f, r, 0));
    ASSERT_NE(c0, 0u);
    le::put32(f.data() + itemAt(f, c0, 0), r);
    std::unique_ptr<NtxIndex> ix;
    ASSERT_TRUE(openBytes(f, &ix).ok());
    bool ok = true;
    EXPECT_EQ(ix->first(&ok).kind, ErrorKind::Corrupt);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(ix->positioned());
    SeekResult res;
    EXPECT_EQ(ix->seek("", &res).kind, ErrorKind::Corrupt);
    uint64_t n = 0;
    EXPECT_EQ(ix->count(&n).kind, ErrorKind::Corrupt);
    std::string detail;
    EXPECT_EQ(ix->verify({}, &detail).kind, ErrorKind::Corrupt);
    EXPECT_FALSE(detail.empty());
    EXPECT_EQ(ix->insert(ntxtest::numberKey(0, kKs), 999).kind, ErrorKind::Corrupt);
    EXPECT_TRUE(exerciseAll(*ix, model));
}

TEST_F(NtxDamageTest, SharedPagesAreFoundByVerifyAndWalksEnd) {
    // Every child of the root points at the same page: a walk would otherwise revisit it.
    std::vector<uint8_t> f = good;
    const uint32_t r = root();
    const uint16_t n = le::get16(f.data() + r);
    const uint32_t c0 = le::get32(f.data() + itemAt(f, r, 0));
    for (size_t i = 1; i <= n; ++i) le::put32(f.data() + itemAt(f, r, i), c0);
    std::unique_ptr<NtxIndex> ix;
    ASSERT_TRUE(openBytes(f, &ix).ok());
    std::string detail;
    EXPECT_EQ(ix->verify({}, &detail).kind, ErrorKind::Corrupt);
    EXPECT_NE(detail.find("twice"), std::string::npos) << detail;
    exerciseAll(*ix, model);
}

TEST_F(NtxDamageTest, DamagedInnerPagesGiveCorruptWhenReached) {
    const uint32_t r = root();
    const uint32_t c0 = le::get32(good.data() + itemAt(good, r, 0));
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
    };
    const std::vector<Case> cases = {
        {"count above max", [&](auto& f) { le::put16(f.data() + c0, 200); }},
        {"offset past the page", [&](auto& f) { le::put16(f.data() + c0 + 4, 1023); }},
        {"child off a page boundary", [&](auto& f) { le::put32(f.data() + itemAt(f, c0, 1), 1030); }},
        {"child outside the file", [&](auto& f) { le::put32(f.data() + itemAt(f, c0, 1), uint32_t(f.size())); }},
        {"child is the header", [&](auto& f) { le::put32(f.data() + itemAt(f, r, 1), 0); }},
        {"keys out of order", [&](auto& f) { std::memset(f.data() + itemAt(f, c0, 0) + 8, 'z', kKs); }},
        {"children cut off", [&](auto& f) {
             // Root moved to page 1 and the file ends right after it.
             std::memcpy(f.data() + kPage, f.data() + r, kPage);
             le::put32(f.data() + 4, kPage);
             f.resize(2 * kPage);
         }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> f = good;
        c.damage(f);
        std::unique_ptr<NtxIndex> ix;
        Status s = openBytes(f, &ix);
        if (!s.ok()) {
            EXPECT_EQ(s.kind, ErrorKind::Corrupt) << c.name;
            continue;
        }
        std::string detail;
        EXPECT_EQ(ix->verify({}, &detail).kind, ErrorKind::Corrupt) << c.name;
        EXPECT_TRUE(exerciseAll(*ix, model)) << c.name;
    }
}

// Saved finds of the random damage below would go here as fixed cases; the loop itself flips
// bytes of a good file and of random data with fixed seeds so every run is the same.
TEST_F(NtxDamageTest, RandomDamageNeverCrashesOrHangs) {
    std::mt19937 rng(20240601);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> f = good;
        const int flips = 1 + int(rng() % 12);
        for (int i = 0; i < flips; ++i) {
            // Aim mostly at counts, offset tables and child pointers, where damage matters.
            const size_t page = 1 + rng() % (f.size() / kPage - 1);
            const size_t at = rng() % 2 ? rng() % 40 : rng() % kPage;
            f[page * kPage + at] = uint8_t(rng());
        }
        if (round % 10 == 0) f.resize(f.size() - (rng() % (f.size() / 2)));
        std::unique_ptr<NtxIndex> ix;
        Status s = openBytes(f, &ix);
        if (!s.ok()) {
            EXPECT_EQ(s.kind, ErrorKind::Corrupt) << s.toString();
            continue;
        }
        exerciseAll(*ix, model);
        ix.reset();
    }
    for (int round = 0; round < 50; ++round) {
        std::vector<uint8_t> f(kPage * (2 + rng() % 5));
        for (auto& b : f) b = uint8_t(rng());
        if (round % 2) {  // a plausible header over random pages
            ntxtest::writeHeader(f.data(), 10, 50, kPage * uint32_t(1 + rng() % (f.size() / kPage - 1)));
        }
        std::unique_ptr<NtxIndex> ix;
        Status s = openBytes(f, &ix);
        if (!s.ok()) {
            EXPECT_TRUE(s.kind == ErrorKind::Corrupt || s.kind == ErrorKind::Unsupported) << s.toString();
            continue;
        }
        exerciseAll(*ix, model);
    }
}

// A rebuild that fails at any write, sync or rename leaves the old index in place, whole.
TEST_F(NtxDamageTest, FailedRebuildLeavesTheOldIndex) {
    FaultyFileSystem faulty(fs);
    std::vector<uint8_t> keys;
    std::vector<uint32_t> recs;
    for (uint32_t r = 1; r <= 3000; ++r) {
        std::string k = ntxtest::numberKey(int(r), kKs);
        keys.insert(keys.end(), k.begin(), k.end());
        recs.push_back(r);
    }
    NtxSpec layout;
    layout.expression = "NAME";
    layout.keySize = kKs;
    for (int kind = 0; kind < 3; ++kind) {
        for (int n = 1;; ++n) {
            FaultyFileSystem::Plan plan;
            if (kind == 0) plan.failWriteAt = n;
            if (kind == 1) plan.failSyncAt = n;
            if (kind == 2) plan.failRenameAt = n;
            faulty.setPlan(plan);
            std::unique_ptr<NtxIndex> ix;
            Status s = NtxIndex::build(faulty, path, layout, keys, recs, &ix);
            if (s.ok()) {
                ASSERT_GE(n, 2) << "kind " << kind << ": the fault was never hit";
                uint64_t c = 0;
                ASSERT_TRUE(ix->count(&c).ok());
                EXPECT_EQ(c, 3000u);
                break;
            }
            EXPECT_FALSE(ix);
            EXPECT_EQ(ntxtest::readFile(path), good) << "kind " << kind << " n " << n;
            EXPECT_FALSE(std::filesystem::exists(path + ".building"));
            ASSERT_LT(n, 1000);
        }
        ntxtest::writeFile(path, good);
    }
}

// A failed flush keeps its pages dirty so that a later flush still writes them.
TEST_F(NtxDamageTest, FlushRetriesAfterAFailedWrite) {
    FaultyFileSystem faulty(fs);
    std::unique_ptr<NtxIndex> ix;
    ASSERT_TRUE(NtxIndex::open(faulty, path, false, &ix).ok());
    for (uint32_t r = 1000; r < 1100; ++r) {
        ASSERT_TRUE(ix->insert(ntxtest::numberKey(int(r), kKs), r).ok());
        model.insert({ntxtest::numberKey(int(r), kKs), r});
    }
    FaultyFileSystem::Plan plan;
    plan.failWriteAt = 2;
    faulty.setPlan(plan);
    EXPECT_EQ(ix->flush(false).kind, ErrorKind::NoSpace);
    faulty.setPlan({});
    ASSERT_TRUE(ix->close().ok());
    std::unique_ptr<NtxIndex> again;
    ASSERT_TRUE(NtxIndex::open(fs, path, true, &again).ok());
    std::mt19937 rng(9);
    ntxtest::expectSameAsModel(*again, model, rng);
}

}  // namespace
}  // namespace xbase
