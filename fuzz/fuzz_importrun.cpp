// libFuzzer target: the whole contact import as the import dialog and merrowby-admin run it.
// The input is split at its first 0xFF byte: the part before patches importf.dbf (offset byte,
// then bytes, in pairs), the part after is the contact file. The run goes into a fresh book.
//
// Oracle: afterwards the book and its index pass the check, and the book holds exactly the rows
// it held before plus the names the run reported added.
#include <unistd.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/Globals.h"
#include "data/Schema.h"
#include "data/dbFiles.h"
#include "import/ImportRun.h"
#include "xbase/check.h"
#include "xbase/library.h"
#include "xbase/table.h"

namespace {

namespace fs = std::filesystem;

const std::string& baseDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz-importrun-XXXXXX";
        std::string d = ::mkdtemp(tmpl);
        if (!CreateDataSet(d + "/base").ok()) std::abort();
        return d;
    }();
    return dir;
}

void writeFile(const std::string& path, const uint8_t* p, size_t n) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(p, 1, n, f);
        std::fclose(f);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = baseDir() + "/work";
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::copy(baseDir() + "/base", dir, ec);
    if (ec) return 0;

    size_t split = 0;
    while (split < size && data[split] != 0xFF) ++split;
    {
        // Patches of the stored layout: pairs of (offset within the file, byte).
        FILE* f = std::fopen((dir + "/importf.dbf").c_str(), "r+b");
        if (!f) return 0;
        std::fseek(f, 0, SEEK_END);
        const long fileSize = std::ftell(f);
        for (size_t i = 0; i + 1 < split; i += 2) {
            std::fseek(f, long(data[i] * 2 % (fileSize + 1)), SEEK_SET);
            std::fputc(data[i + 1], f);
        }
        std::fclose(f);
    }
    const std::string contacts = dir + "/contacts.txt";
    if (split < size) writeFile(contacts, data + split + 1, size - split - 1);
    else writeFile(contacts, data, 0);

    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setSyncOnFlush(false);
    LibHandle = &lib;
    const DataStatus layout = OpenImportLayout();
    if (layout.ok() && LastStatus == 0) {
        LoadImportLayout();
        (void)CloseTable(ImportTable);
        const ImportOutcome out = RunImport(QString::fromStdString(contacts), ImportRec);
        if (out.bookOpened && out.error.isEmpty()) {
            std::vector<xbase::CheckVerdict> v;
            if (!xbase::checkTable(lib.fs(), dir, "AddrBook", true, &v)) {
                for (const auto& verdict : v) std::fprintf(stderr, "%s: %s\n", verdict.file.c_str(), verdict.detail.c_str());
                __builtin_trap();
            }
            if (!OpenAddrBook().ok()) __builtin_trap();
            if (AddrBookTable->recCount() != uint32_t(out.namesAdded)) {
                std::fprintf(stderr, "%d names reported added, %u rows\n", out.namesAdded, AddrBookTable->recCount());
                __builtin_trap();
            }
        }
    }
    (void)CloseAllTables();
    lib.errorCode();
    LibHandle = nullptr;
    return 0;
}
