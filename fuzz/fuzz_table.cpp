// libFuzzer target: a table file from arbitrary bytes, opened and walked. Every row is read and
// every field turned to text; then the table is opened for writing and changed: every field of
// a row assigned, a row appended, one marked deleted, the table packed. The engine must answer
// with an error code, never crash or hang. The seeds are whole tables, so that mutations of them
// reach the rows.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "xbase/Check.h"
#include "xbase/Library.h"

namespace {

const std::string& workDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz-table-XXXXXX";
        return std::string(::mkdtemp(tmpl));
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = workDir() + "/T.dbf";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    std::string detail;
    (void)xbase::DbfFile::inspect(xbase::FileSystem::real(), path, &detail);
    std::vector<xbase::CheckVerdict> verdicts;
    (void)xbase::checkTable(xbase::FileSystem::real(), workDir(), "T", false, &verdicts);

    xbase::Library lib;
    lib.setDirectory(workDir());
    lib.setAutoOpen(false);
    lib.setReadOnly(true);
    xbase::Table* t = lib.open("T");
    if (!t) return 0;
    long steps = 0;
    for (int rc = t->top(); rc == xbase::kOk && steps < 100000; rc = t->skip(1), ++steps) {
        (void)t->deleted();
        for (size_t i = 0; i < t->fieldCount(); ++i) {
            xbase::Field* fl = t->fieldAt(i);
            (void)fl->str();
            (void)fl->asDouble();
            (void)fl->isTrue();
        }
    }
    for (int rc = t->bottom(); rc == xbase::kOk && steps < 200000; rc = t->skip(-1), ++steps) {
    }
    (void)t->go(uint32_t(size));
    lib.closeAll();

    // The same file changed, rows read in pages rather than through a mapping now and then.
    xbase::DbfFile::setMapLimit(size % 2 ? 0 : (160ull << 20));
    lib.setReadOnly(false);
    t = lib.open("T");
    if (!t) return 0;
    static const char* const kValues[] = {"12.5", "T", "20240229", "Zo\xc3\xab", "-7", ""};
    auto assignAll = [&](size_t salt) {
        for (size_t i = 0; i < t->fieldCount(); ++i) t->fieldAt(i)->assign(kValues[(i + salt) % 6]);
        if (t->fieldCount()) t->fieldAt(0)->assignDouble(double(size) / 3);
    };
    if (t->go(1 + uint32_t(size % 7)) == xbase::kOk) assignAll(size);
    if (t->appendBlank() == xbase::kOk) assignAll(size + 1);
    (void)t->flush();
    if (t->go(1) == xbase::kOk) (void)t->markDeleted();
    (void)t->pack();
    for (int rc = t->top(); rc == xbase::kOk && steps < 300000; rc = t->skip(1), ++steps) (void)t->deleted();
    lib.closeAll();
    xbase::DbfFile::setMapLimit(160ull << 20);
    return 0;
}
