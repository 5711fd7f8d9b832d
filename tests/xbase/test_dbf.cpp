// The dBASE table file: creating, appending, reading, writing, flushing, packing, number codecs,
// and files written by other tools or damaged on purpose.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "xbase/Dbf.h"
#include "xbase/FileSystem.h"

using namespace xbase;

namespace {

using Bytes = std::vector<uint8_t>;

struct RawField {
    std::string name;
    char type;
    uint8_t len;
    uint8_t dec;
};

// Builds a table file byte by byte, the way other tools lay it out.
struct RawTable {
    uint8_t version = 0x03;
    uint8_t year = 124, month = 5, day = 17;
    std::vector<RawField> fields;
    std::vector<std::string> rows;  // whole records, flag byte included
    std::string afterDescriptors = "\x0D";
    int recordLengthOverride = -1;
    int headerLengthOverride = -1;
    int countOverride = -1;
    uint8_t transaction = 0;  // header byte 14
    std::string tail = "\x1A";

    std::string bytes() const {
        std::string h(32, '\0');
        h[0] = char(version);
        h[1] = char(year), h[2] = char(month), h[3] = char(day);
        int rec = 1;
        for (const RawField& f : fields) rec += f.len + (f.type == 'C' ? 256 * f.dec : 0);
        if (recordLengthOverride >= 0) rec = recordLengthOverride;
        const uint32_t count = countOverride >= 0 ? uint32_t(countOverride) : uint32_t(rows.size());
        std::memcpy(&h[4], &count, 4);  // test hosts are little-endian
        h[14] = char(transaction);
        for (const RawField& f : fields) {
            std::string d(32, '\0');
            std::memcpy(&d[0], f.name.data(), std::min<size_t>(f.name.size(), 11));
            d[11] = f.type;
            d[12] = '\x7f';  // old writers leave garbage here
            d[16] = char(f.len);
            d[17] = char(f.dec);
            d[20] = 1;
            h += d;
        }
        h += afterDescriptors;
        const int hl = headerLengthOverride >= 0 ? headerLengthOverride : int(h.size());
        h[8] = char(hl & 0xFF), h[9] = char(hl >> 8);
        h[10] = char(rec & 0xFF), h[11] = char(rec >> 8);
        for (const std::string& r : rows) h += r;
        return h + tail;
    }
};

std::string pad(std::string s, size_t n) {
    s.resize(n, ' ');
    return s;
}

class DbfTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/xbase_dbf_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string path(const std::string& name = "t.dbf") const { return dir_ + "/" + name; }
    void put(const std::string& name, const std::string& bytes) {
        // A new file rather than a truncated one: ext4 flushes truncated-and-rewritten files on close.
        std::remove(path(name).c_str());
        FILE* f = std::fopen(path(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
    }
    std::string get(const std::string& name = "t.dbf") {
        std::string s;
        EXPECT_TRUE(readWholeFile(fs_, path(name), &s).ok());
        return s;
    }
    std::vector<std::string> entries() {
        std::vector<std::string> n;
        EXPECT_TRUE(fs_.listDir(dir_, &n).ok());
        return n;
    }

    // NAME C(12), QTY N(6,2), OK L, BORN D: 28-byte records.
    static std::vector<FieldSpec> schema() {
        return {{"Name", 'C', 12, 0}, {"qty", 'N', 6, 2}, {"Ok", 'L', 1, 0}, {"Born", 'D', 8, 0}};
    }
    static Bytes row(int i, char flag = ' ') {
        std::string s(1, flag);
        s += pad("row" + std::to_string(i), 12);
        char num[8];
        std::snprintf(num, sizeof num, "%6.2f", (i % 1000) / 4.0);
        s += num;
        s += (i % 2) ? 'T' : 'F';
        s += "20240" + std::to_string(i % 9 + 1) + "15";
        return Bytes(s.begin(), s.end());
    }
    static std::string str(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

    std::unique_ptr<DbfFile> createWith(int rows, bool flush = true) {
        std::unique_ptr<DbfFile> d;
        EXPECT_TRUE(DbfFile::create(fs_, path(), schema(), true, &d).ok());
        for (int i = 1; i <= rows; ++i) {
            uint32_t rn = 0;
            EXPECT_TRUE(d->appendRecord(row(i).data(), &rn).ok());
            EXPECT_EQ(rn, uint32_t(i));
        }
        if (flush) {
            EXPECT_TRUE(d->flush(false).ok());
        }
        return d;
    }
    void expectRows(DbfFile& d, const std::vector<Bytes>& want) {
        ASSERT_EQ(d.recordCount(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            Bytes got(d.recordLength());
            ASSERT_TRUE(d.readRecord(uint32_t(i + 1), got.data()).ok()) << i + 1;
            EXPECT_EQ(got, want[i]) << "record " << i + 1;
        }
    }
    Status openStatus(const std::string& bytes) {
        put("x.dbf", bytes);
        std::unique_ptr<DbfFile> d;
        return DbfFile::open(fs_, path("x.dbf"), true, &d);
    }

    FileSystem& fs_ = FileSystem::real();
    std::string dir_;
};

}  // namespace

// ---- creating ----

TEST_F(DbfTest, CreateWritesADbase3HeaderWithTodaysDate) {
    auto d = createWith(0);
    EXPECT_EQ(d->headerLength(), 32 + 4 * 32 + 1);
    EXPECT_EQ(d->recordLength(), 28);
    ASSERT_TRUE(d->close().ok());

    const std::string b = get();
    ASSERT_EQ(b.size(), 32u + 4 * 32 + 1 + 1);
    EXPECT_EQ(uint8_t(b[0]), 0x03);
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    EXPECT_EQ(uint8_t(b[1]), tm.tm_year);  // year - 1900
    EXPECT_EQ(uint8_t(b[2]), tm.tm_mon + 1);
    EXPECT_EQ(uint8_t(b[3]), tm.tm_mday);
    EXPECT_EQ(b.substr(4, 4), std::string(4, '\0'));
    EXPECT_EQ(uint8_t(b[8]) | uint8_t(b[9]) << 8, 161);
    EXPECT_EQ(uint8_t(b[10]) | uint8_t(b[11]) << 8, 28);
    EXPECT_EQ(uint8_t(b[29]), 0x03);  // code page 1252
    for (int i : {12, 13, 14, 15, 16, 20, 27, 28, 30, 31}) EXPECT_EQ(b[size_t(i)], '\0') << i;
    // Descriptors: names as given, NUL padded; type, length, decimals; nothing else set.
    EXPECT_EQ(b.substr(32, 11), std::string("Name\0\0\0\0\0\0\0", 11));
    EXPECT_EQ(b[32 + 11], 'C');
    EXPECT_EQ(b.substr(64, 4), std::string("qty\0", 4));
    EXPECT_EQ(b[64 + 11], 'N');
    EXPECT_EQ(uint8_t(b[64 + 16]), 6);
    EXPECT_EQ(uint8_t(b[64 + 17]), 2);
    EXPECT_EQ(b.substr(64 + 18, 14), std::string(14, '\0'));
    EXPECT_EQ(uint8_t(b[96 + 16]), 1);   // L
    EXPECT_EQ(uint8_t(b[128 + 16]), 8);  // D
    EXPECT_EQ(b[160], '\x0D');
    EXPECT_EQ(b[161], '\x1A');
}

TEST_F(DbfTest, CreateRejectsBadSchemasAndExistingFiles) {
    std::unique_ptr<DbfFile> d;
    auto kindOf = [&](std::vector<FieldSpec> f) { return DbfFile::create(fs_, path("s.dbf"), f, true, &d).kind; };
    EXPECT_EQ(kindOf({}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"A", 'M', 10, 0}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"A", 'X', 10, 0}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"ELEVENCHARS", 'C', 10, 0}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"", 'C', 10, 0}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"1ST", 'C', 10, 0}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"A B", 'C', 10, 0}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"Last", 'C', 10, 0}, {"LAST", 'C', 5, 0}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"A", 'C', 0, 0}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"A", 'C', 255, 0}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"A", 'C', 5, 2}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"A", 'N', 21, 0}}), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf({{"A", 'N', 4, 3}}), ErrorKind::BadArgument);  // no room for "0."
    EXPECT_EQ(kindOf({{"A", 'L', 1, 1}}), ErrorKind::BadArgument);
    EXPECT_FALSE(fs_.exists(path("s.dbf")));

    // L and D lengths are fixed by their type.
    ASSERT_TRUE(DbfFile::create(fs_, path("s.dbf"), {{"F", 'L', 3, 0}, {"D", 'D', 1, 0}, {"N", 'N', 4, 2}}, false, &d).ok());
    EXPECT_EQ(d->recordLength(), 1 + 1 + 8 + 4);
    ASSERT_TRUE(d->close().ok());
    EXPECT_EQ(DbfFile::create(fs_, path("s.dbf"), schema(), false, &d).kind, ErrorKind::Exists);
    ASSERT_TRUE(DbfFile::create(fs_, path("s.dbf"), schema(), true, &d).ok());
    EXPECT_EQ(d->fields().size(), 4u);
}

TEST_F(DbfTest, FieldLookupIgnoresCaseAndFieldsHaveOffsets) {
    auto d = createWith(0);
    EXPECT_EQ(d->fieldIndex("NAME"), 0);
    EXPECT_EQ(d->fieldIndex("name"), 0);
    EXPECT_EQ(d->fieldIndex("QTY"), 1);
    EXPECT_EQ(d->fieldIndex("born"), 3);
    EXPECT_EQ(d->fieldIndex("Bornx"), -1);
    EXPECT_EQ(d->fieldIndex(""), -1);
    EXPECT_EQ(d->fields()[0].name, "Name");  // stored as given
    EXPECT_EQ(d->fields()[1].offset, 13);
    EXPECT_EQ(d->fields()[1].decimals, 2);
    EXPECT_EQ(d->fields()[3].offset, 20);
    EXPECT_EQ(d->blankRecord(), Bytes(28, ' '));
}

// ---- records ----

TEST_F(DbfTest, AppendReadWriteFlushAndReopen) {
    auto d = createWith(3, false);
    // Rows still in the append buffer read back and can be rewritten.
    expectRows(*d, {row(1), row(2), row(3)});
    ASSERT_TRUE(d->writeRecord(2, row(20).data()).ok());
    expectRows(*d, {row(1), row(20), row(3)});
    ASSERT_TRUE(d->flush(false).ok());

    // Writes to rows in the file go through and show in cached reads.
    const uint8_t* p = nullptr;
    ASSERT_TRUE(d->recordPtr(1, &p).ok());
    ASSERT_TRUE(d->writeRecord(1, row(10, '*').data()).ok());
    ASSERT_TRUE(d->recordPtr(1, &p).ok());
    EXPECT_EQ(str(p, 28), str(row(10, '*').data(), 28));
    uint32_t rn = 0;
    ASSERT_TRUE(d->appendRecord(row(4).data(), &rn).ok());
    EXPECT_EQ(rn, 4u);
    EXPECT_EQ(d->readRecord(0, Bytes(28).data()).kind, ErrorKind::BadArgument);
    EXPECT_EQ(d->readRecord(5, Bytes(28).data()).kind, ErrorKind::BadArgument);
    EXPECT_EQ(d->writeRecord(5, row(5).data()).kind, ErrorKind::BadArgument);
    ASSERT_TRUE(d->close().ok());
    EXPECT_EQ(d->readRecord(1, Bytes(28).data()).kind, ErrorKind::BadArgument);  // closed

    const std::string b = get();
    EXPECT_EQ(b.size(), 161u + 4 * 28 + 1);
    EXPECT_EQ(uint8_t(b[4]), 4);
    EXPECT_EQ(b.back(), '\x1A');
    EXPECT_EQ(b.substr(161, 28), str(row(10, '*').data(), 28));

    ASSERT_TRUE(DbfFile::open(fs_, path(), false, &d).ok());
    expectRows(*d, {row(10, '*'), row(20), row(3), row(4)});
    EXPECT_EQ(d->fields()[2].type, 'L');
    EXPECT_EQ(d->languageDriver(), 0x03);
}

TEST_F(DbfTest, ManyRowsAcrossCacheBlocksAndAppendChunks) {
    // 60,000 rows of 28 bytes pass both the 1 MiB append chunk and many read blocks.
    const int n = 60000;
    auto d = createWith(n, false);
    std::vector<Bytes> want;
    for (int i = 1; i <= n; ++i) want.push_back(row(i));
    // Rewrite rows in the file, in the buffer, and at block edges, then read in a scattered order.
    for (int i : {1, 4681, 4682, 9362, 37449, 37450, 59999, 60000}) {
        want[size_t(i - 1)] = row(i + 100000, '*');
        ASSERT_TRUE(d->writeRecord(uint32_t(i), want[size_t(i - 1)].data()).ok());
    }
    std::mt19937 rng(7);
    for (int k = 0; k < 2000; ++k) {
        const uint32_t r = rng() % n + 1;
        const uint8_t* p = nullptr;
        ASSERT_TRUE(d->recordPtr(r, &p).ok());
        ASSERT_EQ(str(p, 28), str(want[r - 1].data(), 28)) << r;
    }
    ASSERT_TRUE(d->flush(true).ok());
    ASSERT_TRUE(d->close().ok());
    ASSERT_TRUE(DbfFile::open(fs_, path(), true, &d).ok());
    expectRows(*d, want);
    // Backward, then forward from a random start: read-ahead in either direction.
    for (uint32_t r = n; r >= 1; --r) {
        const uint8_t* p = nullptr;
        ASSERT_TRUE(d->recordPtr(r, &p).ok());
        ASSERT_EQ(str(p, 28), str(want[r - 1].data(), 28)) << r;
    }
    for (uint32_t r = 12345; r <= 30000; ++r) {
        const uint8_t* p = nullptr;
        ASSERT_TRUE(d->recordPtr(r, &p).ok());
        ASSERT_EQ(str(p, 28), str(want[r - 1].data(), 28)) << r;
    }
    EXPECT_EQ(d->writeRecord(1, want[0].data()).kind, ErrorKind::ReadOnly);
    EXPECT_EQ(d->appendRecord(want[0].data(), nullptr).kind, ErrorKind::ReadOnly);
    EXPECT_EQ(d->pack(nullptr).kind, ErrorKind::ReadOnly);
}

// A failure at any write of a flush must never leave a header that counts rows the file lacks.
TEST_F(DbfTest, FlushWritesRowsBeforeTheHeaderThatCountsThem) {
    FaultyFileSystem faulty(fs_);
    for (int n = 1;; ++n) {
        ASSERT_LT(n, 20);
        std::unique_ptr<DbfFile> d;
        ASSERT_TRUE(DbfFile::create(faulty, path(), schema(), true, &d).ok());
        for (int i = 1; i <= 5; ++i) ASSERT_TRUE(d->appendRecord(row(i).data(), nullptr).ok());
        ASSERT_TRUE(d->flush(false).ok());
        for (int i = 6; i <= 9; ++i) ASSERT_TRUE(d->appendRecord(row(i).data(), nullptr).ok());
        FaultyFileSystem::Plan p;
        p.failWriteAt = n;
        p.sticky = true;  // the disk stays full
        faulty.setPlan(p);
        const Status s = d->flush(true);
        faulty.setPlan({});

        // Look at the file as a crash would leave it, before close tries again.
        std::unique_ptr<DbfFile> r;
        ASSERT_TRUE(DbfFile::open(fs_, path(), true, &r).ok()) << "failing write " << n;
        ASSERT_TRUE(r->recordCount() == 5 || r->recordCount() == 9) << r->recordCount();
        std::vector<Bytes> want;
        for (uint32_t i = 1; i <= r->recordCount(); ++i) want.push_back(row(int(i)));
        expectRows(*r, want);
        if (s.ok()) break;
        EXPECT_EQ(s.kind, ErrorKind::NoSpace);
    }
}

TEST_F(DbfTest, RowsPastTheCountOfAStoppedWriteAreTrimmedButLostCountsAreRefusedForWriting) {
    // Four whole rows, the header counting two. Flagged, they are a write of ours that stopped
    // before its header: dropped by the next write. Unflagged, the count lost them: a write
    // would cut them off, so only reading is allowed, and recount counts them back.
    RawTable t;
    t.fields = {{"NAME", 'C', 12, 0}, {"QTY", 'N', 6, 2}, {"OK", 'L', 1, 0}, {"BORN", 'D', 8, 0}};
    for (int i = 1; i <= 4; ++i) t.rows.push_back(str(row(i).data(), 28));
    t.countOverride = 2;
    t.tail = "";
    t.transaction = 1;
    put("t.dbf", t.bytes());
    std::unique_ptr<DbfFile> d;
    ASSERT_TRUE(DbfFile::open(fs_, path(), false, &d).ok());
    EXPECT_EQ(d->recordCount(), 2u);
    EXPECT_EQ(d->unfinishedRows(), 2u);
    ASSERT_TRUE(d->appendRecord(row(7).data(), nullptr).ok());
    ASSERT_TRUE(d->close().ok());
    std::string b = get();
    EXPECT_EQ(b.size(), 161u + 3 * 28 + 1);
    EXPECT_EQ(b.substr(161 + 2 * 28, 28), str(row(7).data(), 28));
    EXPECT_EQ(b.back(), '\x1A');
    EXPECT_EQ(b[14], 0) << "the header that counts the rows closes the write";

    t.transaction = 0;
    put("t.dbf", t.bytes());
    const Status refused = DbfFile::open(fs_, path(), false, &d);
    EXPECT_EQ(refused.kind, ErrorKind::Corrupt);
    EXPECT_NE(refused.message.find("2 whole rows lie past the 2"), std::string::npos) << refused.message;
    EXPECT_EQ(get(), t.bytes()) << "a refused open changes nothing";
    ASSERT_TRUE(DbfFile::open(fs_, path(), true, &d).ok());
    EXPECT_EQ(d->recordCount(), 2u);
    EXPECT_EQ(d->rowsPastCount(), 2u);
    d.reset();
    uint32_t before = 0, after = 0;
    ASSERT_TRUE(DbfFile::recount(fs_, path(), &before, &after).ok());
    EXPECT_EQ(before, 2u);
    EXPECT_EQ(after, 4u);
    ASSERT_TRUE(DbfFile::open(fs_, path(), false, &d).ok());
    ASSERT_EQ(d->recordCount(), 4u);
    const uint8_t* p = nullptr;
    ASSERT_TRUE(d->recordPtr(4, &p).ok());
    EXPECT_EQ(str(p, 28), str(row(4).data(), 28));

    // What ordinary writers leave after their rows is no row: the end marker, with or without
    // junk after it, a partial row, or padding that does not start like a row.
    for (const std::string& tail : {std::string("\x1A"), "\x1A" + std::string(40, 'x'),
                                    str(row(9).data(), 28).substr(0, 27), std::string(60, '\0')}) {
        t.countOverride = -1;
        t.tail = tail;
        put("t.dbf", t.bytes());
        EXPECT_TRUE(DbfFile::open(fs_, path(), false, &d).ok()) << tail.size();
        EXPECT_EQ(d->rowsPastCount(), 0u);
    }
}

TEST_F(DbfTest, LocksExcludeASecondHandle) {
    auto a = createWith(1);
    std::unique_ptr<DbfFile> b;
    ASSERT_TRUE(DbfFile::open(fs_, path(), false, &b).ok());
    ASSERT_TRUE(a->lock(LockKind::Exclusive).ok());
    EXPECT_EQ(b->lock(LockKind::Exclusive).kind, ErrorKind::Locked);
    ASSERT_TRUE(a->lock(LockKind::Unlock).ok());
    EXPECT_TRUE(b->lock(LockKind::Exclusive).ok());
}

// ---- pack ----

TEST_F(DbfTest, PackDropsDeletedRowsAndReportsOldNumbers) {
    auto d = createWith(6);
    for (uint32_t r : {1u, 4u, 5u}) ASSERT_TRUE(d->writeRecord(r, row(int(r), '*').data()).ok());
    // A row still in the append buffer, one deleted there, and a flag byte that is neither
    // blank nor '*' (only '*' means deleted).
    ASSERT_TRUE(d->appendRecord(row(7, '*').data(), nullptr).ok());
    ASSERT_TRUE(d->appendRecord(row(8, '#').data(), nullptr).ok());
    std::vector<uint32_t> kept;
    ASSERT_TRUE(d->pack(&kept).ok());
    EXPECT_EQ(kept, (std::vector<uint32_t>{2, 3, 6, 8}));
    expectRows(*d, {row(2), row(3), row(6), row(8, '#')});
    EXPECT_EQ(entries(), std::vector<std::string>{"t.dbf"});
    // Still usable: append after pack, and the file agrees.
    ASSERT_TRUE(d->appendRecord(row(9).data(), nullptr).ok());
    ASSERT_TRUE(d->close().ok());
    EXPECT_EQ(get().size(), 161u + 5 * 28 + 1);
    ASSERT_TRUE(DbfFile::open(fs_, path(), false, &d).ok());
    expectRows(*d, {row(2), row(3), row(6), row(8, '#'), row(9)});

    // Everything deleted leaves an empty, valid table.
    for (uint32_t r = 1; r <= 5; ++r) ASSERT_TRUE(d->writeRecord(r, row(1, '*').data()).ok());
    ASSERT_TRUE(d->pack(&kept).ok());
    EXPECT_TRUE(kept.empty());
    EXPECT_EQ(d->recordCount(), 0u);
    ASSERT_TRUE(d->close().ok());
    EXPECT_EQ(get().size(), 162u);
    EXPECT_EQ(get().back(), '\x1A');
    EXPECT_EQ(uint8_t(get()[4]), 0);
}

// Fail each write, sync and rename of a pack in turn: the table must come out whole, either as
// before (and still usable) or packed, with no temporary file left.
TEST_F(DbfTest, PackFailureAtAnyStepLeavesTheOldTableWhole) {
    FaultyFileSystem faulty(fs_);
    std::vector<Bytes> before, after;
    for (int i = 1; i <= 50; ++i) {
        before.push_back(row(i, i % 3 == 0 ? '*' : ' '));
        if (i % 3 != 0) after.push_back(row(i));
    }
    for (int kind = 0; kind < 3; ++kind) {
        for (int n = 1;; ++n) {
            ASSERT_LT(n, 20);
            std::unique_ptr<DbfFile> d;
            ASSERT_TRUE(DbfFile::create(faulty, path(), schema(), true, &d).ok());
            for (const Bytes& b : before) ASSERT_TRUE(d->appendRecord(b.data(), nullptr).ok());
            ASSERT_TRUE(d->flush(false).ok());
            FaultyFileSystem::Plan p;
            (kind == 0 ? p.failWriteAt : kind == 1 ? p.failSyncAt : p.failRenameAt) = n;
            faulty.setPlan(p);
            std::vector<uint32_t> kept{999};
            const Status s = d->pack(&kept);
            const int failures = faulty.failures();
            faulty.setPlan({});
            EXPECT_EQ(entries(), std::vector<std::string>{"t.dbf"}) << kind << "/" << n;
            if (s.ok()) {
                EXPECT_EQ(kept.size(), after.size());
                expectRows(*d, after);
            } else {
                EXPECT_EQ(kept, std::vector<uint32_t>{999}) << "kept must be untouched on failure";
                expectRows(*d, before);
                ASSERT_TRUE(d->appendRecord(row(77).data(), nullptr).ok());  // still usable
            }
            ASSERT_TRUE(d->close().ok());
            std::unique_ptr<DbfFile> r;
            ASSERT_TRUE(DbfFile::open(fs_, path(), true, &r).ok());
            if (s.ok()) {
                expectRows(*r, after);
            } else {
                std::vector<Bytes> more = before;
                more.push_back(row(77));
                expectRows(*r, more);
            }
            // A failed directory sync after the rename does not undo the pack, so it succeeds.
            if (failures == 0) {
                EXPECT_TRUE(s.ok());
                break;
            }
        }
    }
}

// ---- number codecs ----

TEST(DbfNumbers, FormatRightJustifiedWithFixedDecimals) {
    struct Case {
        double v;
        int w, d;
        const char* want;
        bool fits;
    } cases[] = {
        {12.5, 8, 2, "   12.50", true},
        {-3, 8, 2, "   -3.00", true},
        {0, 8, 2, "    0.00", true},
        {0.5, 6, 2, "  0.50", true},
        {-0.5, 6, 2, " -0.50", true},
        {2.675, 8, 2, "    2.68", true},    // half away from zero on the decimal value
        {0.125, 6, 2, "  0.13", true},
        {-0.125, 6, 2, " -0.13", true},
        {2.5, 3, 0, "  3", true},
        {-2.5, 3, 0, " -3", true},
        {-0.004, 6, 2, "  0.00", true},     // no "-0.00"
        {-0.4, 3, 0, "  0", true},
        {-0.005, 6, 2, " -0.01", true},
        {99.995, 6, 2, "100.00", true},     // carry into a new digit
        {999.995, 6, 2, "******", false},   // the carry no longer fits
        {-99.99, 5, 2, "*****", false},     // the sign needs room too
        {123456, 6, 0, "123456", true},
        {1234567, 6, 0, "******", false},
        {9.5, 1, 0, "*", false},
        {123456789012.0, 12, 0, "123456789012", true},
        {1e300, 20, 2, "********************", false},
        {0.1 + 0.2, 5, 3, "0.300", true},
        {1234.5678, 10, 4, " 1234.5678", true},
        {7, 4, 2, "7.00", true},
        {7, 3, 2, "***", false},            // too narrow for any d=2 value
    };
    for (const Case& c : cases) {
        char out[32];
        std::memset(out, '#', sizeof out);
        EXPECT_EQ(field::formatNumber(c.v, c.w, c.d, out), c.fits) << c.v;
        EXPECT_EQ(std::string(out, size_t(c.w)), c.want) << c.v << " in N(" << c.w << "," << c.d << ")";
        EXPECT_EQ(out[c.w], '#') << "wrote past the width";
    }
    char out[8];
    EXPECT_FALSE(field::formatNumber(std::nan(""), 4, 1, out));
    EXPECT_EQ(std::string(out, 4), "****");
}

TEST(DbfNumbers, ParseToleratesBlanksAndCommasButNotGarbage) {
    struct Case {
        const char* text;
        bool ok;
        double v;
    } cases[] = {
        {"", true, 0},           {"      ", true, 0},      {"   12.50", true, 12.5},
        {"  -3.00", true, -3},   {"3,75", true, 3.75},     {" +4 ", true, 4},
        {"7", true, 7},          {".5", true, 0.5},        {"5.", true, 5},
        {"1.5E+3", true, 1500},  {"12a", false, 0},        {"abc", false, 0},
        {"1.2.3", false, 0},     {"-", false, 0},          {".", false, 0},
        {"******", false, 0},    {"- 5", false, 0},        {"1 2", false, 0},
        {"1e", false, 0},        {"1e999", false, 0},      {"0x10", false, 0},
    };
    for (const Case& c : cases) {
        double v = 99;
        EXPECT_EQ(field::parseNumber(c.text, &v), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(v, c.v) << '"' << c.text << '"';
    }
}

TEST(DbfNumbers, FormatThenParseRoundTrips) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> dist(-99999.0, 99999.0);
    for (int i = 0; i < 2000; ++i) {
        const double v = dist(rng);
        char out[12];
        ASSERT_TRUE(field::formatNumber(v, 12, 3, out));
        double back = 0;
        ASSERT_TRUE(field::parseNumber(std::string_view(out, 12), &back));
        EXPECT_NEAR(back, v, 0.0005 + 1e-9) << v;
    }
}

// ---- files from other writers ----

namespace {
RawTable sampleRaw() {
    RawTable t;
    t.fields = {{"LAST", 'C', 10, 0}, {"AMT", 'N', 7, 2}};
    t.rows = {" " + pad("Smith", 10) + "  12.50", "*" + pad("Jones", 10) + "  -1.00", " " + pad("Brown", 10) + pad("", 7)};
    return t;
}
}  // namespace

TEST_F(DbfTest, ReadsHeaderVariantsOfOtherWriters) {
    struct Variant {
        const char* what;
        std::string after;
        uint8_t version;
        std::string tail;
    } variants[] = {
        {"0x0D", "\x0D", 0x03, "\x1A"},
        {"0x0D 0x00", std::string("\x0D\x00", 2), 0x03, "\x1A"},
        {"0x0A then junk", "\x0A\x55\xAA\x01", 0x03, "\x1A"},
        {"263-byte block", "\x0D" + std::string(263, '\0'), 0x30, "\x1A"},
        {"no end marker", "\x0D", 0x03, ""},
        {"junk after end marker", "\x0D", 0x03, "\x1A\x0A\x00\x17"},
        {"memo bit, no memo fields", "\x0D", 0x83, "\x1A"},
        {"FoxPro 2 memo byte", "\x0D", 0xF5, "\x1A"},
    };
    for (const Variant& v : variants) {
        RawTable t = sampleRaw();
        t.afterDescriptors = v.after;
        t.version = v.version;
        t.tail = v.tail;
        put("x.dbf", t.bytes());
        std::unique_ptr<DbfFile> d;
        ASSERT_TRUE(DbfFile::open(fs_, path("x.dbf"), true, &d).ok()) << v.what;
        EXPECT_EQ(d->headerLength(), 96 + v.after.size()) << v.what;
        ASSERT_EQ(d->fields().size(), 2u) << v.what;
        EXPECT_EQ(d->fields()[1].name, "AMT");
        EXPECT_EQ(d->fields()[1].offset, 11);
        ASSERT_EQ(d->recordCount(), 3u);
        const uint8_t* p = nullptr;
        ASSERT_TRUE(d->recordPtr(2, &p).ok());
        EXPECT_EQ(p[0], '*');
        EXPECT_EQ(field::raw(p, d->fields()[0]), "Jones     ");
        double amt = 0;
        EXPECT_TRUE(field::parseNumber(field::raw(p, d->fields()[1]), &amt));
        EXPECT_EQ(amt, -1.0);
        std::string detail;
        EXPECT_TRUE(DbfFile::inspect(fs_, path("x.dbf"), &detail).ok()) << detail;
    }
}

TEST_F(DbfTest, YearByteReadEitherWay) {
    RawTable t = sampleRaw();
    const std::pair<int, int> years[] = {{124, 2024}, {24, 2024}, {99, 1999}, {85, 1985}, {0, 2000}};
    for (auto [byte, year] : years) {
        t.year = uint8_t(byte);
        put("x.dbf", t.bytes());
        std::unique_ptr<DbfFile> d;
        ASSERT_TRUE(DbfFile::open(fs_, path("x.dbf"), true, &d).ok());
        EXPECT_EQ(d->lastUpdate().year, year) << byte;
        EXPECT_EQ(d->lastUpdate().month, 5);
        EXPECT_EQ(d->lastUpdate().day, 17);
    }
}

TEST_F(DbfTest, WideCharacterFields) {
    // A 300-byte C field stores its high length byte in the decimals byte.
    RawTable t;
    t.fields = {{"NOTE", 'C', 300 % 256, 1}, {"N", 'N', 3, 0}};
    t.rows = {" " + pad("long text", 300) + " 42"};
    put("x.dbf", t.bytes());
    std::unique_ptr<DbfFile> d;
    ASSERT_TRUE(DbfFile::open(fs_, path("x.dbf"), true, &d).ok());
    EXPECT_EQ(d->fields()[0].length, 300);
    EXPECT_EQ(d->fields()[0].decimals, 0);
    EXPECT_EQ(d->fields()[1].offset, 301);
    const uint8_t* p = nullptr;
    ASSERT_TRUE(d->recordPtr(1, &p).ok());
    EXPECT_EQ(field::raw(p, d->fields()[1]), " 42");

    // A writer that put "decimals" on a C field by mistake: the plain length adds up, use it.
    t.fields = {{"NAME", 'C', 10, 2}, {"N", 'N', 3, 0}};
    t.rows = {" " + pad("Smith", 10) + "  7"};
    t.recordLengthOverride = 14;
    put("x.dbf", t.bytes());
    ASSERT_TRUE(DbfFile::open(fs_, path("x.dbf"), true, &d).ok());
    EXPECT_EQ(d->fields()[0].length, 10);
    EXPECT_EQ(d->fields()[0].decimals, 0);
    ASSERT_TRUE(d->recordPtr(1, &p).ok());
    EXPECT_EQ(field::raw(p, d->fields()[1]), "  7");
}

// ---- damaged files ----

TEST_F(DbfTest, DamagedFilesGiveCorruptWithTheFault) {
    auto expectCorrupt = [&](const std::string& bytes, const std::string& words) {
        const Status s = openStatus(bytes);
        EXPECT_EQ(s.kind, ErrorKind::Corrupt) << words << ": " << s.toString();
        EXPECT_NE(s.message.find(words), std::string::npos) << s.message;
        EXPECT_EQ(s.file, path("x.dbf"));
        std::string detail;
        EXPECT_EQ(DbfFile::inspect(fs_, path("x.dbf"), &detail).kind, ErrorKind::Corrupt);
        EXPECT_EQ(detail, s.message);
    };
    const std::string good = sampleRaw().bytes();
    expectCorrupt("", "empty file");
    expectCorrupt(good.substr(0, 20), "too short");
    // Truncated: the last row is cut off (the end marker alone is not enough).
    expectCorrupt(good.substr(0, good.size() - 5), "truncated");
    expectCorrupt(good.substr(0, 90), "beyond the end of the file");

    RawTable t = sampleRaw();
    t.version = 0x44;
    expectCorrupt(t.bytes(), "version byte 0x44");

    t = sampleRaw();
    t.headerLengthOverride = 40;
    expectCorrupt(t.bytes(), "too small");

    // Header length cuts the second descriptor in two.
    t = sampleRaw();
    t.headerLengthOverride = 32 + 32 + 20;
    expectCorrupt(t.bytes(), "ends inside field descriptor 2");

    // Descriptors past the header: the header length leaves out the second field.
    t = sampleRaw();
    t.headerLengthOverride = 32 + 32 + 1;
    t.afterDescriptors = "";
    {
        std::string b = t.bytes();
        b[64] = '\x0D';  // what a header of one field would hold there
        expectCorrupt(b, "record length 18 does not match");
    }

    t = sampleRaw();
    t.recordLengthOverride = 25;
    expectCorrupt(t.bytes(), "record length 25 does not match");

    t = sampleRaw();
    t.fields[1].type = '\x07';
    expectCorrupt(t.bytes(), "invalid type byte 0x07");

    t = sampleRaw();
    t.fields[0].name = "";
    expectCorrupt(t.bytes(), "empty name");

    t = sampleRaw();
    t.fields = {{"A", 'N', 0, 0}, {"B", 'C', 17, 0}};
    expectCorrupt(t.bytes(), "length 0");

    t = sampleRaw();
    t.countOverride = 1000000000;
    expectCorrupt(t.bytes(), "truncated");
}

TEST_F(DbfTest, MemoAndForeignFieldTypesAreUnsupported) {
    RawTable t = sampleRaw();
    t.version = 0x83;
    t.fields.push_back({"NOTES", 'M', 10, 0});
    t.rows = {" " + pad("Smith", 10) + "  12.50" + "         1"};
    EXPECT_EQ(openStatus(t.bytes()).kind, ErrorKind::Unsupported);
    t.fields.back() = {"STAMP", 'T', 8, 0};
    t.rows = {" " + pad("Smith", 10) + "  12.50" + std::string(8, '\0')};
    const Status s = openStatus(t.bytes());
    EXPECT_EQ(s.kind, ErrorKind::Unsupported);
    EXPECT_NE(s.message.find("STAMP"), std::string::npos);
    // A damaged header with a memo field is reported as damaged first.
    t.recordLengthOverride = 5;
    EXPECT_EQ(openStatus(t.bytes()).kind, ErrorKind::Corrupt);
}

// Random bytes, and every single-byte change to the header of a good file, must give a clean
// answer: an error, or a table whose every row can be read.
TEST_F(DbfTest, RandomAndFlippedBytesNeverCrash) {
    std::mt19937 rng(11);
    auto tryOpen = [&](const std::string& bytes) {
        put("x.dbf", bytes);
        std::unique_ptr<DbfFile> d;
        const Status s = DbfFile::open(fs_, path("x.dbf"), false, &d);
        if (!s.ok()) {
            EXPECT_TRUE(s.kind == ErrorKind::Corrupt || s.kind == ErrorKind::Unsupported) << s.toString();
            EXPECT_FALSE(s.message.empty());
            return false;
        }
        for (uint32_t r = 1; r <= d->recordCount(); ++r) {
            const uint8_t* p = nullptr;
            EXPECT_TRUE(d->recordPtr(r, &p).ok());
        }
        return true;
    };
    for (int i = 0; i < 300; ++i) {
        std::string b(rng() % 600, '\0');
        for (char& c : b) c = char(rng());
        if (i % 2 && b.size() > 12) b[0] = 0x03;  // get past the version check
        tryOpen(b);
    }
    const std::string good = sampleRaw().bytes();
    int opened = 0;
    for (size_t at = 0; at < 97; ++at) {
        for (uint8_t x : {0x01, 0x80, 0xFF}) {
            std::string b = good;
            b[at] = char(uint8_t(b[at]) ^ x);
            opened += tryOpen(b);
        }
    }
    EXPECT_GT(opened, 0);  // changes to reserved bytes and names are harmless
}
