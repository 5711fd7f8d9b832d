// The .ntx B-tree checked against std::set of (key, record number), plus byte-level checks of
// what build() writes and of how damaged files are refused.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "xbase/LittleEndian.h"
#include "xbase/Ntx.h"
#include "xbase/NtxFormat.h"
#include "ntx_test_util.h"

namespace xbase {
namespace {

using ntxtest::Model;
using ntxtest::TempDir;

class NtxTest : public ::testing::Test {
public:
    TempDir dir;
    ntxtest::NoSyncFileSystem fs;
    std::string ixPath() const { return dir.file("test.ntx"); }

    std::unique_ptr<NtxIndex> buildFrom(const Model& m, NtxSpec layout) {
        std::vector<uint8_t> keys;
        std::vector<uint32_t> recs;
        for (const auto& [k, r] : m) {
            keys.insert(keys.end(), k.begin(), k.end());
            recs.push_back(r);
        }
        // Hand the entries over in a scrambled order: build() must sort them itself.
        ntxtest::shuffleEntries(&keys, &recs, layout.keySize, 99);
        std::unique_ptr<NtxIndex> ix;
        Status s = NtxIndex::build(fs, ixPath(), layout, std::move(keys), std::move(recs), &ix);
        EXPECT_TRUE(s.ok()) << s.toString();
        return ix;
    }
};

NtxSpec specFor(uint16_t keySize, bool descending = false, bool unique = false) {
    NtxSpec s;
    s.expression = "Upper(Last + First)";
    s.keySize = keySize;
    s.descending = descending;
    s.unique = unique;
    s.tagName = "Address";
    return s;
}

TEST(NtxMaxItems, FollowsTheUsualFormula) {
    EXPECT_EQ(NtxIndex::maxItemsFor(10), 50);
    EXPECT_EQ(NtxIndex::maxItemsFor(35), 20);
    EXPECT_EQ(NtxIndex::maxItemsFor(78), 10);
    EXPECT_EQ(NtxIndex::maxItemsFor(100), 8);
    EXPECT_EQ(NtxIndex::maxItemsFor(250), 2);
    for (uint16_t ks = 1; ks <= 250; ++ks) {
        const uint16_t m = NtxIndex::maxItemsFor(ks);
        EXPECT_EQ(m % 2, 0) << ks;
        EXPECT_GE(m, 2) << ks;
        EXPECT_LE(ntx::pageBytesUsed(m, ks), ntx::kPageSize) << ks;
        // The next even size would not fit, so pages are used well.
        EXPECT_GT(ntx::pageBytesUsed(m + 2u, ks), ntx::kPageSize) << ks;
    }
}

// Random inserts, deletes and key changes; after each round the index must scan, seek and verify
// exactly like the model, and again after a flush and reopen.
void randomWorkload(NtxTest& t, uint16_t keySize, bool descending, int rounds, int opsPerRound,
                    int keyRange, uint32_t seed) {
    std::mt19937 rng(seed);
    Model model(descending);
    std::unique_ptr<NtxIndex> ix = t.buildFrom(model, specFor(keySize, descending));
    ASSERT_TRUE(ix);
    auto randomKey = [&] { return ntxtest::numberKey(int(rng() % keyRange), keySize); };
    uint32_t nextRec = 1;
    for (int round = 0; round < rounds; ++round) {
        for (int op = 0; op < opsPerRound; ++op) {
            const unsigned what = rng() % 10;
            if (what < 5 || model.empty()) {
                std::string k = randomKey();
                uint32_t r = nextRec++;
                ASSERT_TRUE(ix->insert(k, r).ok());
                model.insert({k, r});
            } else if (what < 8) {
                auto it = model.nth(rng() % model.size());
                auto e = *it;
                Status s = ix->remove(e.first, e.second);
                ASSERT_TRUE(s.ok()) << s.toString();
                model.erase(it);
            } else {
                // Key change: the record keeps its number and gets a new key.
                auto it = model.nth(rng() % model.size());
                auto e = *it;
                std::string k = randomKey();
                ASSERT_TRUE(ix->remove(e.first, e.second).ok());
                ASSERT_TRUE(ix->insert(k, e.second).ok());
                model.erase(it);
                model.insert({k, e.second});
            }
        }
        // Removing what is not there is reported and changes nothing.
        Status missing = ix->remove(randomKey(), nextRec + 1000);
        EXPECT_EQ(missing.kind, ErrorKind::NotFound);
        ntxtest::expectSameAsModel(*ix, model, rng);
        if (::testing::Test::HasFatalFailure()) return;
    }
    ASSERT_TRUE(ix->close().ok());
    std::unique_ptr<NtxIndex> again;
    ASSERT_TRUE(NtxIndex::open(t.fs, t.ixPath(), false, &again).ok());
    ntxtest::expectSameAsModel(*again, model, rng);
}

TEST_F(NtxTest, BigKeysSplitAndMergeLikeTheModel) { randomWorkload(*this, 100, false, 12, 400, 300, 1); }
TEST_F(NtxTest, TwoKeysPerPageLikeTheModel) { randomWorkload(*this, 250, false, 8, 300, 100, 2); }
TEST_F(NtxTest, FortyByteKeysLikeTheModel) { randomWorkload(*this, 40, false, 6, 3000, 5000, 3); }
TEST_F(NtxTest, DescendingIndexLikeTheModel) { randomWorkload(*this, 100, true, 8, 400, 200, 4); }
// Very few distinct keys: long runs of duplicates ordered by record number across pages.
TEST_F(NtxTest, ManyDuplicatesStayInRecordOrder) { randomWorkload(*this, 100, false, 8, 500, 4, 5); }

TEST_F(NtxTest, BuildOfEverySmallSizeIsBalanced) {
    // Small sizes exercise the rebalancing of the last pages of every level.
    for (uint16_t ks : {uint16_t(100), uint16_t(250)}) {
        for (int n = 0; n <= 260; ++n) {
            Model model(false);
            for (int i = 0; i < n; ++i) model.insert({ntxtest::numberKey(i / 3, ks), uint32_t(n - i)});
            std::unique_ptr<NtxIndex> ix = buildFrom(model, specFor(ks));
            ASSERT_TRUE(ix);
            std::string detail;
            ASSERT_TRUE(ix->verify({}, &detail).ok()) << "keySize " << ks << " n " << n << ": " << detail;
            uint64_t c = 0;
            ASSERT_TRUE(ix->count(&c).ok());
            ASSERT_EQ(c, uint64_t(n));
        }
    }
}

TEST_F(NtxTest, BuildThenChangesThenReopen) {
    std::mt19937 rng(7);
    Model model(false);
    for (uint32_t r = 1; r <= 5000; ++r) model.insert({ntxtest::numberKey(int(rng() % 900), 40), r});
    std::unique_ptr<NtxIndex> ix = buildFrom(model, specFor(40));
    ASSERT_TRUE(ix);
    ntxtest::expectSameAsModel(*ix, model, rng);
    for (int i = 0; i < 2000; ++i) {
        auto it = model.nth(rng() % model.size());
        auto e = *it;
        ASSERT_TRUE(ix->remove(e.first, e.second).ok());
        model.erase(it);
        std::string k = ntxtest::numberKey(int(rng() % 900), 40);
        ASSERT_TRUE(ix->insert(k, e.second).ok());
        model.insert({k, e.second});
    }
    ASSERT_TRUE(ix->flush(true).ok());
    std::unique_ptr<NtxIndex> other;
    ASSERT_TRUE(NtxIndex::open(fs, ixPath(), true, &other).ok());
    ntxtest::expectSameAsModel(*other, model, rng);
    EXPECT_EQ(other->header().version, 2);  // one header write after the build's
}

// Every page a change touches must be written by the next flush: a fresh reader after each
// single change sees exactly the model.
TEST_F(NtxTest, EveryChangeReachesTheDisk) {
    std::mt19937 rng(11);
    Model model(false);
    for (uint32_t r = 1; r <= 150; ++r) model.insert({ntxtest::numberKey(int(rng() % 60), 100), r});
    std::unique_ptr<NtxIndex> ix = buildFrom(model, specFor(100));
    ASSERT_TRUE(ix);
    uint32_t nextRec = 1000;
    for (int op = 0; op < 300; ++op) {
        if (op % 3 == 0 || model.empty()) {
            std::string k = ntxtest::numberKey(int(rng() % 60), 100);
            ASSERT_TRUE(ix->insert(k, nextRec).ok());
            model.insert({k, nextRec++});
        } else {
            auto it = model.nth(rng() % model.size());
            ASSERT_TRUE(ix->remove(it->first, it->second).ok());
            model.erase(it);
        }
        ASSERT_TRUE(ix->flush(false).ok());
        std::unique_ptr<NtxIndex> reader;
        ASSERT_TRUE(NtxIndex::open(fs, ixPath(), true, &reader).ok());
        ASSERT_EQ(ntxtest::scan(*reader, false), std::vector<ntxtest::Entry>(model.begin(), model.end()))
            << "after operation " << op;
        std::string detail;
        ASSERT_TRUE(reader->verify({}, &detail).ok()) << "after operation " << op << ": " << detail;
    }
}

TEST_F(NtxTest, DeletingEverythingLeavesAnEmptyRootAndReusesPages) {
    Model model(false);
    for (uint32_t r = 1; r <= 600; ++r) model.insert({ntxtest::numberKey(int(r * 7919 % 600), 100), r});
    std::unique_ptr<NtxIndex> ix = buildFrom(model, specFor(100));
    ASSERT_TRUE(ix);
    ASSERT_TRUE(ix->flush(true).ok());
    const auto builtSize = std::filesystem::file_size(ixPath());
    for (int cycle = 0; cycle < 3; ++cycle) {
        for (const auto& [k, r] : model) ASSERT_TRUE(ix->remove(k, r).ok());
        bool ok = true;
        ASSERT_TRUE(ix->first(&ok).ok());
        EXPECT_FALSE(ok);
        SeekResult res;
        ASSERT_TRUE(ix->seek("", &res).ok());
        EXPECT_EQ(res, SeekResult::Eof);
        std::string detail;
        ASSERT_TRUE(ix->verify({}, &detail).ok()) << detail;
        for (const auto& [k, r] : model) ASSERT_TRUE(ix->insert(k, r).ok());
        ASSERT_TRUE(ix->flush(true).ok());
    }
    // Pages freed by merges come back into use instead of the file growing each cycle.
    EXPECT_LE(std::filesystem::file_size(ixPath()), builtSize * 3);
    std::unique_ptr<NtxIndex> again;
    ASSERT_TRUE(NtxIndex::open(fs, ixPath(), false, &again).ok());
    std::mt19937 rng(1);
    ntxtest::expectSameAsModel(*again, model, rng);
}

TEST_F(NtxTest, UniqueIndexKeepsTheFirstRecordOfEachKey) {
    Model all(false);
    for (uint32_t r = 1; r <= 300; ++r) all.insert({ntxtest::numberKey(int(r % 37), 10), r});
    std::unique_ptr<NtxIndex> ix = buildFrom(all, specFor(10, false, true));
    ASSERT_TRUE(ix);
    EXPECT_TRUE(ix->header().unique);
    Model expect(false);
    for (uint32_t r = 1; r <= 37; ++r) expect.insert({ntxtest::numberKey(int(r % 37), 10), r});
    std::mt19937 rng(3);
    ntxtest::expectSameAsModel(*ix, expect, rng);
    // A later record with an existing key is not added; a new key is.
    ASSERT_TRUE(ix->insert(ntxtest::numberKey(5, 10), 1000).ok());
    ASSERT_TRUE(ix->insert(ntxtest::numberKey(500, 10), 1001).ok());
    expect.insert({ntxtest::numberKey(500, 10), 1001});
    ntxtest::expectSameAsModel(*ix, expect, rng);
}

// Large sets go through the radix passes and the runs of tied prefixes. Keys that tie on their
// first bytes and then differ late, exact duplicates far apart, and both directions must all come
// out in (key, record) order, and a unique index must keep the lowest record of each key.
TEST_F(NtxTest, LargeBuildsSortAcrossBothHalvesLikeTheModel) {
    const uint32_t n = 70000;  // well above the size sorted with radix passes
    std::mt19937 rng(11);
    // With a first byte that differs, the sort parts the entries by it and sorts the parts on
    // two threads; with the stem shared from the first byte on, it cannot.
    for (const bool sharedStem : {true, false})
    for (const bool descending : {false, true}) {
        for (const bool unique : {false, true}) {
            SCOPED_TRACE(std::string(descending ? "descending" : "ascending") + (unique ? " unique" : "") +
                         (sharedStem ? "" : ", first bytes differ"));
            Model all(descending), firsts(descending);
            std::set<std::string> seen;
            for (uint32_t r = 1; r <= n; ++r) {
                // A 12-byte stem, a surname from a small set, then a tail that differs late.
                const std::string stem = sharedStem ? "SAMESTEMXXXX" : char('A' + rng() % 7) + std::string("AMESTEMXXXX");
                std::string key = stem + std::to_string(rng() % 50) + "|" + std::to_string(rng() % 3000);
                key = ntxtest::padded(key, 32);
                all.insert({key, r});
                if (seen.insert(key).second) firsts.insert({key, r});
            }
            std::unique_ptr<NtxIndex> ix = buildFrom(all, specFor(32, descending, unique));
            ASSERT_TRUE(ix);
            const std::vector<ntxtest::Entry> want(unique ? firsts.begin() : all.begin(), unique ? firsts.end() : all.end());
            ASSERT_EQ(ntxtest::scan(*ix, false), want);
            std::string detail;
            EXPECT_TRUE(ix->verify({}, &detail).ok()) << detail;
        }
    }
}

TEST_F(NtxTest, SeekUsesPrefixesAndReportsFoundAfterEof) {
    Model m(false);
    const char* names[] = {"ADAMS", "BAKER", "SMITH", "SMITH", "SMITHERS", "SMYTHE", "YOUNG"};
    uint32_t r = 1;
    for (const char* n : names) m.insert({ntxtest::padded(n, 20), r++});
    std::unique_ptr<NtxIndex> ix = buildFrom(m, specFor(20));
    ASSERT_TRUE(ix);
    SeekResult res;
    ASSERT_TRUE(ix->seek("SMI", &res).ok());
    EXPECT_EQ(res, SeekResult::Found);
    EXPECT_EQ(ix->currentRecNo(), 3u);  // first of the equal SMITH keys
    ASSERT_TRUE(ix->seek("SMITH ", &res).ok());  // trailing blank is significant
    EXPECT_EQ(res, SeekResult::Found);
    EXPECT_EQ(ix->currentRecNo(), 3u);
    ASSERT_TRUE(ix->seek("SMITHE", &res).ok());
    EXPECT_EQ(res, SeekResult::Found);
    EXPECT_EQ(ix->currentRecNo(), 5u);
    ASSERT_TRUE(ix->seek("SMIU", &res).ok());
    EXPECT_EQ(res, SeekResult::After);
    EXPECT_EQ(ix->currentRecNo(), 6u);
    ASSERT_TRUE(ix->seek("ZZ", &res).ok());
    EXPECT_EQ(res, SeekResult::Eof);
    EXPECT_FALSE(ix->positioned());
    ASSERT_TRUE(ix->seek("", &res).ok());
    EXPECT_EQ(res, SeekResult::Found);
    EXPECT_EQ(ix->currentRecNo(), 1u);
    // Longer than the key: cut to the key size.
    ASSERT_TRUE(ix->seek(ntxtest::padded("YOUNG", 20) + "XYZ", &res).ok());
    EXPECT_EQ(res, SeekResult::Found);
    bool found = false;
    ASSERT_TRUE(ix->seekEntry(ntxtest::padded("SMITH", 20), 4, &found).ok());
    EXPECT_TRUE(found);
    EXPECT_EQ(ix->currentRecNo(), 4u);
    bool ok = false;
    ASSERT_TRUE(ix->next(&ok).ok());
    EXPECT_TRUE(ok);
    EXPECT_EQ(ix->currentRecNo(), 5u);
    ASSERT_TRUE(ix->seekEntry(ntxtest::padded("SMITH", 20), 5, &found).ok());
    EXPECT_FALSE(found);
    EXPECT_FALSE(ix->positioned());
    EXPECT_EQ(ix->seekEntry("SMITH", 3, &found).kind, ErrorKind::BadArgument);
}

TEST_F(NtxTest, DescendingSoftSeekLandsOnTheNextSmallerKey) {
    Model m(true);
    for (int v : {10, 20, 30, 40}) m.insert({ntxtest::numberKey(v, 8), uint32_t(v)});
    std::unique_ptr<NtxIndex> ix = buildFrom(m, specFor(8, true));
    ASSERT_TRUE(ix);
    EXPECT_TRUE(ix->header().descending);
    SeekResult res;
    ASSERT_TRUE(ix->seek(ntxtest::numberKey(25, 8), &res).ok());
    EXPECT_EQ(res, SeekResult::After);
    EXPECT_EQ(ix->currentRecNo(), 20u);
    ASSERT_TRUE(ix->seek(ntxtest::numberKey(5, 8), &res).ok());
    EXPECT_EQ(res, SeekResult::Eof);
    bool ok = false;
    ASSERT_TRUE(ix->first(&ok).ok());
    EXPECT_EQ(ix->currentRecNo(), 40u);
}

// --- bytes on disk ----------------------------------------------------------------------------

TEST_F(NtxTest, HeaderBytesFollowTheFormat) {
    NtxSpec layout = specFor(35);
    layout.keyDecimals = 2;
    Model m(false);
    for (uint32_t r = 1; r <= 100; ++r) m.insert({ntxtest::numberKey(int(r), 35), r});
    std::unique_ptr<NtxIndex> ix = buildFrom(m, layout);
    ASSERT_TRUE(ix);
    std::vector<uint8_t> f = ntxtest::readFile(ixPath());
    ASSERT_EQ(f.size() % 1024, 0u);
    const uint8_t* h = f.data();
    EXPECT_EQ(le::get16(h + 0), 0x0006);
    EXPECT_EQ(le::get16(h + 2), 1);
    const uint32_t root = le::get32(h + 4);
    EXPECT_EQ(root % 1024, 0u);
    EXPECT_GE(root, 1024u);
    EXPECT_LT(root, f.size());
    EXPECT_EQ(le::get32(h + 8), 0u);
    EXPECT_EQ(le::get16(h + 12), 43);
    EXPECT_EQ(le::get16(h + 14), 35);
    EXPECT_EQ(le::get16(h + 16), 2);
    EXPECT_EQ(le::get16(h + 18), 20);
    EXPECT_EQ(le::get16(h + 20), 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + 22)), "Upper(Last + First)");
    EXPECT_EQ(h[278], 0);
    EXPECT_EQ(h[280], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + 538)), "Address");
    // Everything else is zero.
    std::vector<bool> used(1024, false);
    auto mark = [&](size_t from, size_t n) { std::fill(used.begin() + long(from), used.begin() + long(from + n), true); };
    mark(0, 22);
    mark(22, std::strlen("Upper(Last + First)"));
    mark(538, 7);
    for (size_t i = 0; i < 1024; ++i) {
        if (!used[i]) {
            EXPECT_EQ(h[i], 0) << "header byte " << i;
        }
    }
    // The root of a 100-key, max-20 tree is an interior page.
    EXPECT_NE(le::get32(h + root + le::get16(h + root + 2)), 0u);
    // Flushing without changes does not rewrite the header.
    ASSERT_TRUE(ix->flush(true).ok());
    EXPECT_EQ(ntxtest::readFile(ixPath())[2], 1);
}

TEST_F(NtxTest, LeafPageBytesFollowTheFormat) {
    Model m(false);
    m.insert({ntxtest::padded("BB", 10), 7});
    m.insert({ntxtest::padded("AA", 10), 9});
    m.insert({ntxtest::padded("CC", 10), 3});
    NtxSpec layout = specFor(10, false, true);
    layout.descending = false;
    std::unique_ptr<NtxIndex> ix = buildFrom(m, layout);
    ASSERT_TRUE(ix);
    std::vector<uint8_t> f = ntxtest::readFile(ixPath());
    EXPECT_EQ(f[278], 1);  // unique flag
    ASSERT_EQ(f.size(), 2048u);
    const uint8_t* p = f.data() + 1024;
    const uint16_t max = 50, itemSize = 18, area = 2 * (max + 2);
    EXPECT_EQ(le::get16(p), 3);
    for (uint16_t i = 0; i <= max; ++i) EXPECT_EQ(le::get16(p + 2 + 2 * i), area + i * itemSize) << i;
    const char* want[] = {"AA", "BB", "CC"};
    const uint32_t recs[] = {9, 7, 3};
    for (int i = 0; i < 3; ++i) {
        const uint8_t* it = p + area + i * itemSize;
        EXPECT_EQ(le::get32(it), 0u);
        EXPECT_EQ(le::get32(it + 4), recs[i]);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(it + 8), 10), ntxtest::padded(want[i], 10));
    }
    for (size_t i = area + 3 * itemSize; i < 1024; ++i) EXPECT_EQ(p[i], 0) << "page byte " << i;
}

// A page whose offset table is a permutation (as other writers leave it) reads in logical order,
// and taking changes keeps it readable.
TEST_F(NtxTest, PermutedOffsetTableReadsInLogicalOrder) {
    const uint16_t ks = 10, max = 50, itemSize = 18, area = 2 * (max + 2);
    std::vector<uint8_t> f(2048, 0);
    ntxtest::writeHeader(f.data(), ks, max, 1024);
    uint8_t* p = f.data() + 1024;
    le::put16(p, 3);
    // Logical order: slot 5, slot 0, slot 9; rightmost item in slot 2; the rest fill in.
    std::vector<uint16_t> order = {5, 0, 9, 2};
    for (uint16_t s = 0; s <= max; ++s) {
        if (std::find(order.begin(), order.end(), s) == order.end()) order.push_back(s);
    }
    for (uint16_t i = 0; i <= max; ++i) le::put16(p + 2 + 2 * i, uint16_t(area + order[i] * itemSize));
    const char* keys[] = {"ANNE", "BOB", "CARL"};
    for (int i = 0; i < 3; ++i) {
        uint8_t* it = p + area + order[i] * itemSize;
        le::put32(it + 4, uint32_t(i + 1));
        std::memcpy(it + 8, ntxtest::padded(keys[i], ks).data(), ks);
    }
    // Stale bytes in the rightmost item must be ignored.
    le::put32(p + area + 2 * itemSize + 4, 77);
    ntxtest::writeFile(ixPath(), f);

    std::unique_ptr<NtxIndex> ix;
    ASSERT_TRUE(NtxIndex::open(fs, ixPath(), false, &ix).ok());
    Model m(false);
    for (int i = 0; i < 3; ++i) m.insert({ntxtest::padded(keys[i], ks), uint32_t(i + 1)});
    std::mt19937 rng(5);
    ntxtest::expectSameAsModel(*ix, m, rng);
    for (uint32_t r = 4; r < 200; ++r) {
        std::string k = ntxtest::numberKey(int(r * 31 % 97), ks);
        ASSERT_TRUE(ix->insert(k, r).ok());
        m.insert({k, r});
    }
    ASSERT_TRUE(ix->close().ok());
    ASSERT_TRUE(NtxIndex::open(fs, ixPath(), false, &ix).ok());
    ntxtest::expectSameAsModel(*ix, m, rng);
}

// Files written by programs that append equal keys after their group (not in record order) must
// still let a record's entry be found and removed.
TEST_F(NtxTest, EqualKeysOutOfRecordOrderCanStillBeRemoved) {
    const uint16_t ks = 10, max = 50, itemSize = 18, area = 2 * (max + 2);
    std::vector<uint8_t> f(2048, 0);
    ntxtest::writeHeader(f.data(), ks, max, 1024);
    uint8_t* p = f.data() + 1024;
    le::put16(p, 3);
    for (uint16_t i = 0; i <= max; ++i) le::put16(p + 2 + 2 * i, uint16_t(area + i * itemSize));
    const uint32_t recs[] = {8, 2, 5};
    for (int i = 0; i < 3; ++i) {
        uint8_t* it = p + area + i * itemSize;
        le::put32(it + 4, recs[i]);
        std::memcpy(it + 8, ntxtest::padded("SAME", ks).data(), ks);
    }
    ntxtest::writeFile(ixPath(), f);
    std::unique_ptr<NtxIndex> ix;
    ASSERT_TRUE(NtxIndex::open(fs, ixPath(), false, &ix).ok());
    bool found = false;
    ASSERT_TRUE(ix->seekEntry(ntxtest::padded("SAME", ks), 2, &found).ok());
    EXPECT_TRUE(found);
    EXPECT_EQ(ix->currentRecNo(), 2u);
    ASSERT_TRUE(ix->remove(ntxtest::padded("SAME", ks), 8).ok());
    ASSERT_TRUE(ix->remove(ntxtest::padded("SAME", ks), 5).ok());
    uint64_t n = 0;
    ASSERT_TRUE(ix->count(&n).ok());
    EXPECT_EQ(n, 1u);
    ASSERT_TRUE(ix->first(&found).ok());
    EXPECT_EQ(ix->currentRecNo(), 2u);
}

TEST_F(NtxTest, ReadOnlyIndexRefusesChanges) {
    Model m(false);
    m.insert({ntxtest::padded("A", 10), 1});
    ASSERT_TRUE(buildFrom(m, specFor(10)));
    std::unique_ptr<NtxIndex> ix;
    ASSERT_TRUE(NtxIndex::open(fs, ixPath(), true, &ix).ok());
    EXPECT_EQ(ix->insert(ntxtest::padded("B", 10), 2).kind, ErrorKind::ReadOnly);
    EXPECT_EQ(ix->remove(ntxtest::padded("A", 10), 1).kind, ErrorKind::ReadOnly);
    EXPECT_EQ(ix->insert("short", 2).kind, ErrorKind::ReadOnly);
}

TEST_F(NtxTest, BuildRefusesBadArguments) {
    std::unique_ptr<NtxIndex> ix;
    EXPECT_EQ(NtxIndex::build(fs, ixPath(), specFor(0), {}, {}, &ix).kind, ErrorKind::BadArgument);
    EXPECT_EQ(NtxIndex::build(fs, ixPath(), specFor(251), {}, {}, &ix).kind, ErrorKind::BadArgument);
    EXPECT_EQ(NtxIndex::build(fs, ixPath(), specFor(4), {1, 2, 3}, {1}, &ix).kind, ErrorKind::BadArgument);
    NtxSpec longTag = specFor(4);
    longTag.tagName = "ELEVENCHARS";
    EXPECT_EQ(NtxIndex::build(fs, ixPath(), longTag, {}, {}, &ix).kind, ErrorKind::BadArgument);
    EXPECT_FALSE(std::filesystem::exists(ixPath()));
}

}  // namespace
}  // namespace xbase
