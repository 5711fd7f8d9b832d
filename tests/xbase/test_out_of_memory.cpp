// Memory running out inside the engine: every allocation of a call is made to fail in turn, and
// each time the call must come back with a status (or, where the engine has a way round, succeed)
// instead of letting std::bad_alloc out. The allocation functions of this test program are
// replaced so that the Nth one after arming throws.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <random>
#include <string>

#include "ntx_test_util.h"
#include "xbase/Library.h"
#include "xbase/Ntx.h"

namespace {

std::atomic<long> gAllocs{0};   // allocations since arming
std::atomic<long> gFailAt{0};   // the one that throws; 0: none
std::atomic<bool> gFired{false};

void* allocate(std::size_t n, std::size_t align = 0) {
    if (gFailAt.load(std::memory_order_relaxed) != 0 && ++gAllocs == gFailAt.load()) {
        gFired = true;
        throw std::bad_alloc();
    }
    if (n == 0) n = 1;
    void* p = align ? std::aligned_alloc(align, (n + align - 1) / align * align) : std::malloc(n);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, std::size_t(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate(n, std::size_t(a)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace xbase {
namespace {

struct Outcome {
    int failures = 0;  // runs that reported running out of memory
    int absorbed = 0;  // runs where an allocation failed and the call still succeeded
};

// Runs `call` with allocation 1, 2, ... failing, until a run in which nothing failed (that run
// must succeed). `prepare` makes the run's inputs and `check` looks at its outcome, both with
// every allocation allowed.
Outcome failEachAllocation(const std::function<void()>& prepare, const std::function<Status()>& call,
                           const std::function<void(const Status&)>& check) {
    Outcome o;
    for (long n = 1;; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        prepare();
        Status s;
        gAllocs = 0;
        gFired = false;
        gFailAt = n;
        try {
            s = call();
        } catch (...) {
            gFailAt = 0;
            ADD_FAILURE() << "an exception left the engine";
            return o;
        }
        gFailAt = 0;
        check(s);
        if (!gFired) {
            EXPECT_TRUE(s.ok()) << s.toString();
            return o;
        }
        if (s.ok()) {
            ++o.absorbed;
        } else {
            EXPECT_EQ(s.kind, ErrorKind::NoResources) << s.toString();
            ++o.failures;
        }
    }
}

TEST(OutOfMemory, IndexBuildAndCreateIndexReportItAsAStatus) {
    ntxtest::TempDir dir;
    const uint32_t rows = 70000;  // enough for the keys to be collected on a helper thread
    std::mt19937 rng(5);
    std::vector<std::string> names;
    for (uint32_t r = 0; r < rows; ++r) names.push_back("N" + std::to_string(rng() % 5000));

    // The index build on its own: no file left behind after a failure.
    NtxSpec layout;
    layout.expression = "Name";
    layout.keySize = 12;
    const std::string path = dir.file("names.ntx");
    std::vector<uint8_t> keys;
    std::vector<uint32_t> recs;
    std::unique_ptr<NtxIndex> ix;
    const Outcome built = failEachAllocation(
        [&] {
            ix.reset();
            keys.clear();
            recs.clear();
            for (uint32_t r = 0; r < rows; ++r) {
                const std::string k = ntxtest::padded(names[r], 12);
                keys.insert(keys.end(), k.begin(), k.end());
                recs.push_back(r + 1);
            }
        },
        [&] { return NtxIndex::build(FileSystem::real(), path, layout, std::move(keys), std::move(recs), &ix); },
        [&](const Status& s) {
            EXPECT_FALSE(std::filesystem::exists(path + ".building"));
            std::string detail;
            if (s.ok()) {
                EXPECT_TRUE(ix->verify({}, &detail).ok()) << detail;
            }
        });
    EXPECT_GT(built.failures, 0);

    // Through the table: errors land in the library; a helper thread that cannot be started
    // (its state is allocated) leaves its share of the work to the caller, which still succeeds.
    Library lib;
    lib.setDirectory(dir.file(""));
    lib.setSyncOnFlush(false);
    lib.setSafety(false);
    Table* t = lib.create("Book", {{"Name", 'C', 12, 0}});
    ASSERT_NE(t, nullptr);
    for (const auto& n : names) {
        ASSERT_EQ(t->appendBlank(), kOk);
        t->field("Name")->assign(n);
    }
    ASSERT_EQ(t->flush(), kOk);
    const std::string group = "Book";
    const std::vector<TagSpec> tags = {{"Names", "Name"}};
    const Outcome created = failEachAllocation(
        [] {},
        [&] { return t->createIndex(group, tags) == kOk ? Status::Ok() : lib.lastError(); },
        [&](const Status& s) {
            std::string detail;
            if (s.ok()) {
                EXPECT_TRUE(t->tag("Names") && t->tag("Names")->index().verify({}, &detail).ok()) << detail;
            }
        });
    EXPECT_GT(created.failures, 0);
    EXPECT_GT(created.absorbed, 0);
}

}  // namespace
}  // namespace xbase
