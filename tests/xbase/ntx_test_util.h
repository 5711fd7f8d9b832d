#pragma once
// Helpers shared by the index tests: a temporary directory, a std::set model of the index and a
// comparison of an index against that model.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "xbase/LittleEndian.h"
#include "xbase/Ntx.h"

namespace xbase::ntxtest {

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/ntx_test_XXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The real file system without fsync: the tests build hundreds of small indexes and would spend
// their time waiting for the disk.
class NoSyncFileSystem : public FileSystem {
public:
    Status open(const std::string& path, OpenMode mode, std::unique_ptr<File>* out) override {
        std::unique_ptr<File> f;
        XB_TRY(base_.open(path, mode, &f));
        *out = std::make_unique<NoSyncFile>(std::move(f));
        return Status::Ok();
    }
    Status rename(const std::string& from, const std::string& to) override { return base_.rename(from, to); }
    Status remove(const std::string& path) override { return base_.remove(path); }
    bool exists(const std::string& path) override { return base_.exists(path); }
    Status listDir(const std::string& dir, std::vector<std::string>* names) override {
        return base_.listDir(dir, names);
    }
    Status syncDir(const std::string&) override { return Status::Ok(); }

private:
    class NoSyncFile : public File {
    public:
        explicit NoSyncFile(std::unique_ptr<File> f) : f_(std::move(f)) {}
        Status read(uint64_t o, void* b, size_t n, size_t* got) override { return f_->read(o, b, n, got); }
        Status write(uint64_t o, const void* b, size_t n) override { return f_->write(o, b, n); }
        Status size(uint64_t* out) override { return f_->size(out); }
        Status truncate(uint64_t n) override { return f_->truncate(n); }
        Status sync() override { return Status::Ok(); }
        Status lock(LockKind k) override { return f_->lock(k); }
        const std::string& path() const override { return f_->path(); }

    private:
        std::unique_ptr<File> f_;
    };
    FileSystem& base_ = FileSystem::real();
};

using Entry = std::pair<std::string, uint32_t>;

// Orders (key, record) the way the index does: keys as unsigned bytes (inverted for a descending
// index), equal keys by ascending record number.
struct EntryLess {
    bool descending = false;
    bool operator()(const Entry& a, const Entry& b) const {
        int c = std::memcmp(a.first.data(), b.first.data(), std::min(a.first.size(), b.first.size()));
        if (c != 0) return descending ? c > 0 : c < 0;
        return a.second < b.second;
    }
};

class Model : public std::set<Entry, EntryLess> {
public:
    explicit Model(bool descending) : std::set<Entry, EntryLess>(EntryLess{descending}) {}
    bool descending() const { return key_comp().descending; }
    iterator nth(size_t i) { return std::next(begin(), long(i)); }
};

inline std::string padded(const std::string& s, size_t n) {
    std::string r = s.substr(0, n);
    r.resize(n, ' ');
    return r;
}

// Zero-padded digits, so byte order is numeric order, then blanks up to the key size.
inline std::string numberKey(int v, size_t keySize) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%08d", v);
    return padded(buf, keySize);
}

inline void shuffleEntries(std::vector<uint8_t>* keys, std::vector<uint32_t>* recs, size_t ks, unsigned seed) {
    std::mt19937 rng(seed);
    for (size_t i = recs->size(); i > 1; --i) {
        size_t j = rng() % i;
        std::swap((*recs)[i - 1], (*recs)[j]);
        std::swap_ranges(keys->begin() + long((i - 1) * ks), keys->begin() + long(i * ks),
                         keys->begin() + long(j * ks));
    }
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

// A minimal standard header (signature 6, expression "K").
inline void writeHeader(uint8_t* h, uint16_t keySize, uint16_t maxItems, uint32_t root) {
    le::put16(h + 0, 6);
    le::put16(h + 2, 1);
    le::put32(h + 4, root);
    le::put16(h + 12, uint16_t(keySize + 8));
    le::put16(h + 14, keySize);
    le::put16(h + 18, maxItems);
    le::put16(h + 20, uint16_t(maxItems / 2));
    h[22] = 'K';
}

inline std::vector<Entry> scan(NtxIndex& ix, bool backward) {
    std::vector<Entry> out;
    bool ok = false;
    Status s = backward ? ix.last(&ok) : ix.first(&ok);
    EXPECT_TRUE(s.ok()) << s.toString();
    while (s.ok() && ok) {
        out.emplace_back(std::string(ix.currentKey()), ix.currentRecNo());
        s = backward ? ix.prev(&ok) : ix.next(&ok);
        EXPECT_TRUE(s.ok()) << s.toString();
    }
    EXPECT_FALSE(ix.positioned());
    if (backward) std::reverse(out.begin(), out.end());
    return out;
}

// Compares scans both ways, verify()'s visit order, count() and a spread of seeks.
inline void expectSameAsModel(NtxIndex& ix, const Model& model, std::mt19937& rng) {
    const std::vector<Entry> want(model.begin(), model.end());
    ASSERT_EQ(scan(ix, false), want);
    ASSERT_EQ(scan(ix, true), want);
    std::vector<Entry> visited;
    std::string detail;
    Status v = ix.verify([&](std::string_view k, uint32_t r) { visited.emplace_back(std::string(k), r); },
                         &detail);
    ASSERT_TRUE(v.ok()) << detail;
    ASSERT_EQ(visited, want);
    uint64_t n = 0;
    ASSERT_TRUE(ix.count(&n).ok());
    ASSERT_EQ(n, want.size());

    const size_t ks = ix.keySize();
    for (int probe = 0; probe < 60; ++probe) {
        std::string prefix;
        if (!want.empty() && probe % 2 == 0) {
            prefix = want[rng() % want.size()].first.substr(0, rng() % (ks + 1));
        } else {
            prefix = numberKey(int(rng() % 100000), ks).substr(0, 1 + rng() % ks);
        }
        // Expected: first entry whose leading bytes are not before the prefix.
        auto cmpPrefix = [&](const std::string& key) {
            int c = std::memcmp(key.data(), prefix.data(), prefix.size());
            return model.descending() ? -c : c;
        };
        auto it = std::find_if(want.begin(), want.end(), [&](const Entry& e) { return cmpPrefix(e.first) >= 0; });
        SeekResult res;
        ASSERT_TRUE(ix.seek(prefix, &res).ok());
        if (it == want.end()) {
            ASSERT_EQ(res, SeekResult::Eof) << "prefix '" << prefix << "'";
            ASSERT_FALSE(ix.positioned());
            continue;
        }
        ASSERT_EQ(res, cmpPrefix(it->first) == 0 ? SeekResult::Found : SeekResult::After) << "prefix '" << prefix << "'";
        ASSERT_EQ(std::string(ix.currentKey()), it->first);
        ASSERT_EQ(ix.currentRecNo(), it->second);
        // The cursor carries on from a seek in both directions.
        bool ok = false;
        ASSERT_TRUE(ix.next(&ok).ok());
        ASSERT_EQ(ok, it + 1 != want.end());
        if (ok) {
            ASSERT_EQ(ix.currentRecNo(), (it + 1)->second);
        }
        ASSERT_TRUE(ix.prev(&ok).ok());
        ASSERT_TRUE(ok || it + 1 == want.end());
        if (it + 1 != want.end()) {
            ASSERT_EQ(ix.currentRecNo(), it->second);
        }
    }
    for (int probe = 0; probe < 20 && !want.empty(); ++probe) {
        const Entry& e = want[rng() % want.size()];
        bool found = false;
        ASSERT_TRUE(ix.seekEntry(e.first, e.second, &found).ok());
        ASSERT_TRUE(found);
        ASSERT_EQ(ix.currentRecNo(), e.second);
        ASSERT_EQ(std::string(ix.currentKey()), e.first);
        ASSERT_TRUE(ix.seekEntry(e.first, 0xFFFFFFF0u, &found).ok());
        ASSERT_FALSE(found);
    }
}

}  // namespace xbase::ntxtest
