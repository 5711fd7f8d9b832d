// Tables we write must read correctly in other dBASE readers, and tables other writers make must
// read correctly here. Uses Debian's python3-dbfread and python3-dbf through /usr/bin/python3.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "xbase/Cp1252.h"
#include "xbase/Dbf.h"
#include "xbase/FileSystem.h"

using namespace xbase;

namespace {

const char* kPython = "/usr/bin/python3";

// Prints every row as "R|..." (or "X|..." when marked deleted), then the encoding dbfread chose
// from the language driver byte and the header's last-update date.
const char* kDumpScript = R"PY(
import sys, datetime
import dbfread
sys.stdout.reconfigure(encoding='utf-8')
t = dbfread.DBF(sys.argv[1])
def fmt(v):
    if v is None: return 'None'
    if isinstance(v, bool): return 'T' if v else 'F'
    if isinstance(v, float): return '%.2f' % v
    if isinstance(v, (datetime.date,)): return v.isoformat()
    return str(v)
for r in t.records:
    print('R|' + '|'.join(fmt(v) for v in r.values()))
for r in t.deleted:
    print('X|' + '|'.join(fmt(v) for v in r.values()))
print('encoding|' + t.encoding)
print('date|' + t.date.isoformat())
print('fields|' + ','.join(t.field_names))
)PY";

const char* kWriteScript = R"PY(
import sys
import dbf
t = dbf.Table(sys.argv[1], 'NAME C(20); QTY N(8,2); OK L; BORN D', dbf_type='db3', codepage='cp1252')
t.open(mode=dbf.READ_WRITE)
t.append(('Zo\u00eb \u00c6r\u00f8 \u20ac', 12.5, True, dbf.Date(2024, 2, 29)))
t.append(('gone', -3.25, False, dbf.Date(1999, 12, 31)))
t.append(('blank',))
with t[1] as r:
    dbf.delete(r)
t.close()
)PY";

class InteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(kPython, X_OK) != 0) GTEST_SKIP() << kPython << " is not installed";
        if (std::system((std::string(kPython) + " -c 'import dbfread, dbf' 2>/dev/null").c_str()) != 0)
            GTEST_SKIP() << "python3-dbfread or python3-dbf is not installed";
        char tmpl[] = "/tmp/xbase_interop_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    // Runs a Python script with the given argument; returns its output lines.
    std::vector<std::string> runPython(const char* script, const std::string& arg) {
        const std::string file = dir_ + "/script.py";
        std::ofstream(file) << script;
        const std::string cmd = std::string(kPython) + " " + file + " '" + arg + "' 2>&1";
        std::vector<std::string> lines;
        FILE* p = popen(cmd.c_str(), "r");
        if (!p) {
            ADD_FAILURE() << "cannot run " << cmd;
            return lines;
        }
        std::string all;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) all.append(buf, n);
        const int rc = pclose(p);
        EXPECT_EQ(rc, 0) << all;
        size_t start = 0;
        for (size_t nl; (nl = all.find('\n', start)) != std::string::npos; start = nl + 1)
            lines.push_back(all.substr(start, nl - start));
        return lines;
    }

    std::string dir_;
    FileSystem& fs_ = FileSystem::real();
};

void putText(uint8_t* rec, const FieldInfo& f, const std::string& utf8) {
    std::string b = cp1252::fromUtf8(utf8);
    b.resize(f.length, ' ');
    std::copy(b.begin(), b.end(), rec + f.offset);
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

TEST_F(InteropTest, DbfreadReadsEveryRowAndFieldWeWrite) {
    const std::string path = dir_ + "/ours.dbf";
    std::unique_ptr<DbfFile> d;
    ASSERT_TRUE(DbfFile::create(fs_, path,
                                {{"Name", 'C', 20, 0}, {"QTY", 'N', 8, 2}, {"CNT", 'N', 5, 0}, {"OK", 'L', 1, 0},
                                 {"BORN", 'D', 8, 0}},
                                false, &d)
                    .ok());
    const auto& f = d->fields();
    auto add = [&](const std::string& name, double qty, double cnt, char ok, const std::string& born, bool del) {
        std::vector<uint8_t> rec = d->blankRecord();
        if (del) rec[0] = '*';
        putText(rec.data(), f[0], name);
        if (!std::isnan(qty)) {
            ASSERT_TRUE(field::formatNumber(qty, 8, 2, reinterpret_cast<char*>(&rec[f[1].offset])));
        }
        if (!std::isnan(cnt)) {
            ASSERT_TRUE(field::formatNumber(cnt, 5, 0, reinterpret_cast<char*>(&rec[f[2].offset])));
        }
        rec[f[3].offset] = uint8_t(ok);
        putText(rec.data(), f[4], born);
        ASSERT_TRUE(d->appendRecord(rec.data(), nullptr).ok());
    };
    const double none = std::nan("");
    add("Café Müller €", 12.5, 7, 'T', "20240229", false);
    add("Zoë Ærø", -0.75, -12, 'F', "19991231", true);
    add("Plain", none, none, ' ', "", false);
    add("Ünïcødé ñ", 1234.567, 99999, 'y', "20000101", false);
    ASSERT_TRUE(d->close().ok());

    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char today[16];
    std::strftime(today, sizeof today, "%Y-%m-%d", &tm);

    const std::vector<std::string> want = {
        "R|Café Müller €|12.50|7|T|2024-02-29",
        "R|Plain|None|None|None|None",
        "R|Ünïcødé ñ|1234.57|99999|T|2000-01-01",
        "X|Zoë Ærø|-0.75|-12|F|1999-12-31",
        "encoding|cp1252",
        std::string("date|") + today,
        "fields|Name,QTY,CNT,OK,BORN",
    };
    EXPECT_EQ(runPython(kDumpScript, path), want);
}

TEST_F(InteropTest, WeReadWhatPythonDbfWritesAndItReadsOurChanges) {
    const std::string path = dir_ + "/theirs.dbf";
    runPython(kWriteScript, path);
    std::unique_ptr<DbfFile> d;
    ASSERT_TRUE(DbfFile::open(fs_, path, false, &d).ok());
    ASSERT_EQ(d->recordCount(), 3u);
    ASSERT_EQ(d->fields().size(), 4u);
    const int name = d->fieldIndex("name"), qty = d->fieldIndex("Qty"), ok = d->fieldIndex("ok"),
              born = d->fieldIndex("BORN");
    ASSERT_TRUE(name >= 0 && qty >= 0 && ok >= 0 && born >= 0);
    const auto& f = d->fields();
    EXPECT_EQ(f[size_t(qty)].decimals, 2);

    struct Want {
        char flag;
        const char* name;
        double qty;
        bool ok;
        const char* born;
    } want[] = {
        {' ', "Zoë Ærø €", 12.5, true, "20240229"},
        {'*', "gone", -3.25, false, "19991231"},
        {' ', "blank", 0, false, "        "},
    };
    for (uint32_t r = 1; r <= 3; ++r) {
        const uint8_t* p = nullptr;
        ASSERT_TRUE(d->recordPtr(r, &p).ok());
        const Want& w = want[r - 1];
        EXPECT_EQ(p[0], w.flag) << r;
        EXPECT_EQ(trimmed(cp1252::toUtf8(field::raw(p, f[size_t(name)]))), w.name) << r;
        double v = -1;
        EXPECT_TRUE(field::parseNumber(field::raw(p, f[size_t(qty)]), &v)) << r;
        EXPECT_EQ(v, w.qty) << r;
        EXPECT_EQ(field::isTrue(p[f[size_t(ok)].offset]), w.ok) << r;
        EXPECT_EQ(field::raw(p, f[size_t(born)]), w.born) << r;
    }

    // Append and pack here, then let dbfread see the result.
    std::vector<uint8_t> rec = d->blankRecord();
    putText(rec.data(), f[size_t(name)], "Œuvre Š");
    ASSERT_TRUE(field::formatNumber(-0.5, 8, 2, reinterpret_cast<char*>(&rec[f[size_t(qty)].offset])));
    rec[f[size_t(ok)].offset] = 'F';
    putText(rec.data(), f[size_t(born)], "20310704");
    ASSERT_TRUE(d->appendRecord(rec.data(), nullptr).ok());
    std::vector<uint32_t> kept;
    ASSERT_TRUE(d->pack(&kept).ok());
    EXPECT_EQ(kept, (std::vector<uint32_t>{1, 3, 4}));
    ASSERT_TRUE(d->close().ok());

    const std::vector<std::string> lines = runPython(kDumpScript, path);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"R|Zoë Ærø €|12.50|T|2024-02-29", "R|blank|None|None|None",
                                        "R|Œuvre Š|-0.50|F|2031-07-04", "encoding|cp1252"}));
}
