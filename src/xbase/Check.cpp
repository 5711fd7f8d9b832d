#include "xbase/Check.h"

#include <algorithm>
#include <memory>

#include "xbase/Dbf.h"
#include "xbase/KeyExpr.h"
#include "xbase/Group.h"
#include "xbase/Ntx.h"

namespace xbase {

namespace {

// Most memory the index entries waiting for their rows take.
constexpr size_t kCheckBatchBytes = 48u << 20;

bool checkIndex(FileSystem& fs, DbfFile& dbf, const std::string& ixPath, std::vector<CheckVerdict>* out) {
    CheckVerdict v;
    v.file = ixPath;
    auto bad = [&](const std::string& why) {
        v.ok = false;
        v.detail = why;
        out->push_back(v);
        return false;
    };
    std::unique_ptr<NtxIndex> ix;
    Status s = NtxIndex::open(fs, ixPath, true, &ix);
    if (!s.ok()) return bad(s.message);
    KeyExpr expr;
    s = KeyExpr::compile(ix->header().expression, dbf.fields(), &expr);
    if (!s.ok()) return bad(s.message);
    if (expr.keySize() != ix->keySize())
        return bad("key size " + std::to_string(ix->keySize()) + " does not match the expression's " +
                   std::to_string(expr.keySize()));
    const uint32_t n = dbf.recordCount();
    std::vector<uint8_t> seen(size_t(n) + 1, 0);
    std::string problem;
    uint64_t entries = 0;
    std::string key;
    std::string detail;
    // The entries come in key order, which is no order in the table: they are taken in batches
    // and their rows read in file order (a large table is not mapped, and a read per entry would
    // cost far more than the rest of the check). The first entry in key order that does not
    // match its row is the one reported, as a check entry by entry would find it.
    const size_t width = expr.keySize();  // the index's too (checked above)
    const size_t batchLimit = std::max<size_t>(4096, kCheckBatchBytes / (width + sizeof(uint32_t)));
    std::vector<uint32_t> batch;  // record numbers, in key order
    std::string keys;             // their entries' keys, `width` bytes each
    const auto settle = [&] {
        size_t first = batch.size();  // the earliest entry in key order whose key is wrong
        const Status rs = dbf.visitRows(batch, [&](size_t i, const uint8_t* rec) {
            if (i > first) return;
            expr.evaluate(rec, &key);
            if (std::string_view(keys).substr(i * width, width) != key) first = i;
        });
        if (!rs.ok()) problem = rs.message;
        else if (first < batch.size())
            problem = "key of record " + std::to_string(batch[first]) + " does not match its row";
        batch.clear();
        keys.clear();
    };
    s = ix->verify(
        [&](std::string_view k, uint32_t recNo) {
            ++entries;
            if (!problem.empty()) return;
            if (recNo < 1 || recNo > n) {
                settle();
                if (problem.empty())
                    problem = "entry for record " + std::to_string(recNo) + " beyond the table's " +
                              std::to_string(n) + " rows";
                return;
            }
            if (seen[recNo]++) {
                settle();
                if (problem.empty()) problem = "record " + std::to_string(recNo) + " is indexed twice";
                return;
            }
            batch.push_back(recNo);
            keys.append(k);
            if (batch.size() >= batchLimit) settle();
        },
        &detail);
    if (s.ok() && problem.empty()) settle();
    if (!s.ok()) return bad(detail.empty() ? s.message : detail);
    if (!problem.empty()) return bad(problem);
    if (!ix->header().unique) {
        for (uint32_t r = 1; r <= n; ++r)
            if (!seen[r]) return bad("record " + std::to_string(r) + " is missing from the index");
    }
    v.detail = "ok, " + std::to_string(entries) + " keys";
    out->push_back(v);
    return true;
}
}  // namespace

bool checkTable(FileSystem& fs, const std::string& dir, const std::string& baseName, bool withIndexes,
                std::vector<CheckVerdict>* out) try {
    const std::string path = resolveName(fs, dir, baseName + ".dbf");
    CheckVerdict v;
    v.file = path;
    if (!fs.exists(path)) {
        v.ok = false;
        v.detail = "missing";
        out->push_back(v);
        return false;
    }
    std::string detail;
    Status s = DbfFile::inspect(fs, path, &detail);
    std::unique_ptr<DbfFile> dbf;
    if (s.ok()) s = DbfFile::open(fs, path, true, &dbf);
    if (!s.ok()) {
        v.ok = false;
        v.detail = detail.empty() ? s.message : detail;
        out->push_back(v);
        return false;
    }
    s = dbf->countsEveryRow();
    if (!s.ok()) {
        // The indexes are not looked at: they describe rows the table does not count.
        v.ok = false;
        v.detail = s.message;
        v.rowsPastCount = dbf->rowsPastCount();
        out->push_back(v);
        return false;
    }
    v.detail = "ok, " + std::to_string(dbf->recordCount()) + " rows";
    if (dbf->unfinishedRows() > 0)
        v.detail += " (and " + std::to_string(dbf->unfinishedRows()) +
                    " of a write that stopped, past the count, which the next write drops)";
    out->push_back(v);
    if (!withIndexes) return true;

    const std::string group = resolveName(fs, dir, baseName + ".cgp");
    CheckVerdict g;
    g.file = group;
    std::vector<std::string> names;
    s = readGroupFile(fs, group, &names);
    if (!s.ok()) {
        // The group file itself is named; what it lists is not looked at, let alone followed.
        g.ok = false;
        g.detail = fs.exists(group) ? s.message : "missing";
        out->push_back(g);
        return false;
    }
    g.detail = "ok, " + std::to_string(names.size()) + " index file(s)";
    if (names.empty()) {
        g.ok = false;
        g.detail = "lists no index file";
    }
    out->push_back(g);
    bool ok = g.ok;
    for (const std::string& name : names) {
        const std::string ixPath = resolveName(fs, dir, name);
        if (!fs.exists(ixPath)) {
            out->push_back({ixPath, false, "missing (listed in " + xbase::baseName(group) + ")"});
            ok = false;
            continue;
        }
        if (fs.exists(ixPath + ".pending")) {
            out->push_back({ixPath, false, "left unfinished by a program that stopped; run reindex"});
            ok = false;
            continue;
        }
        ok = checkIndex(fs, *dbf, ixPath, out) && ok;
    }
    return ok;
} catch (...) {
    // Out of memory part-way: the check did not finish, which is a fault to report.
    try {
        out->push_back({baseName, false, caughtFailure(baseName).toString()});
    } catch (...) {
    }
    return false;
}

}  // namespace xbase
