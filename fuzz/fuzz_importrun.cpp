// libFuzzer target: the whole contact import as the import dialog and merrowby-admin run it.
//
// Input: a settings byte (bits 0-1 a disk fault during the run: 0 none, 1 the Nth write fails,
// 2 the Nth sync, 3 the Nth rename; bit 2 it stays; bits 3-7 N), then patches of the stored
// layout in importf.dbf up to the first 0xFF byte (offset in 2 bytes, then the byte, in
// threes: the header, the field descriptors and the row alike), then the contact file. The
// layout is read as the program reads it and the run goes into a fresh book.
//
// Oracle: when the run reports no error, the book and its index pass the check, and the book
// holds exactly the names the run reported added, in the order of the file, each as the
// program's own routines read it back: the lines a second reading of the file (the same
// splitter, the same rule) finds a last name of two characters in.
#include <unistd.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "core/import/ImportRun.h"
#include "xbase/Check.h"
#include "xbase/Cp1252.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

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

// What a text column of `width` shows after `text` is stored in it through the data routines
// (at most 59 characters handed on, Windows-1252, cut to the width) and read back trimmed.
QString asStored(const QString& text, size_t width) {
    std::string bytes = xbase::cp1252::fromUtf8(text.left(59).toStdString());
    if (bytes.size() > width) bytes.resize(width);
    return QString::fromStdString(xbase::cp1252::toUtf8(bytes)).trimmed();
}

// The last and first names of the lines the run should add, read from the file again;
// *notText when the file is one the run must refuse.
std::vector<std::pair<QString, QString>> expectedNames(const std::string& path, const TImportRecord& layout,
                                                       bool* notText) {
    std::vector<std::pair<QString, QString>> names;
    *notText = false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return names;
    const ByteSource source = [f](char* buf, size_t n) -> long long {
        return static_cast<long long>(std::fread(buf, 1, n, f));
    };
    ImportEncoding encoding = ImportEncoding::Windows1252;
    TextScan scan;
    if (DetectImportEncoding(source, &encoding, &scan) && std::fseek(f, 0, SEEK_SET) == 0) {
        *notText = scan.nul;
        TextMark mark;
        ImportFieldSplitter split(HighestPosition(layout));
        ImportLineReader reader(TextAfterMark(source, &mark), 4096);
        uint64_t lineBytes = 0;
        while (reader.next(split, &lineBytes)) {
            if (lineBytes == 0) continue;
            const ImportField* last = split.field(layout.fLast);
            if (!last || !HasTwoCharacters(*last, encoding)) continue;
            const TAddressRecord rec = ImportedAddress(split, layout, encoding);
            names.push_back({asStored(rec.Last, 20), asStored(rec.First, 20)});
        }
    }
    std::fclose(f);
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = baseDir() + "/work";
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::copy(baseDir() + "/base", dir, ec);
    if (ec || size == 0) return 0;
    const uint8_t settings = data[0];
    ++data;
    --size;

    size_t split = 0;
    while (split < size && data[split] != 0xFF) ++split;
    {
        // Patches of the stored layout: (offset within the file, byte).
        FILE* f = std::fopen((dir + "/importf.dbf").c_str(), "r+b");
        if (!f) return 0;
        std::fseek(f, 0, SEEK_END);
        const long fileSize = std::ftell(f);
        for (size_t i = 0; i + 2 < split; i += 3) {
            std::fseek(f, long((data[i] | data[i + 1] << 8) % (fileSize + 1)), SEEK_SET);
            std::fputc(data[i + 2], f);
        }
        std::fclose(f);
    }
    const std::string contacts = dir + "/contacts.txt";
    if (split < size) writeFile(contacts, data + split + 1, size - split - 1);
    else writeFile(contacts, data, 0);

    xbase::FaultyFileSystem faulty(xbase::FileSystem::real());
    xbase::Library lib(faulty);
    lib.setDirectory(dir);
    lib.setSyncOnFlush(false);
    LibHandle = &lib;
    const DataStatus layout = OpenImportLayout();
    if (layout.ok() && LastStatus == 0) {
        LoadImportLayout();
        (void)CloseTable(ImportTable);
        xbase::FaultyFileSystem::Plan plan;
        const int at = 1 + (settings >> 3);
        if ((settings & 3) == 1) plan.failWriteAt = at;
        if ((settings & 3) == 2) plan.failSyncAt = at;
        if ((settings & 3) == 3) plan.failRenameAt = at;
        plan.sticky = settings & 4;
        faulty.setPlan(plan);
        int told = 0;
        ImportOptions options;
        options.status = [&](const QString& text) {
            if (!text.startsWith(QStringLiteral("Importing: "))) __builtin_trap();
            ++told;
        };
        options.intervalMs = 0;
        const ImportOutcome out = RunImport(QString::fromStdString(contacts), ImportRec, options);
        faulty.setPlan({});
        (void)NamesAddedText(out.namesAdded);
        bool notText = false;
        auto names = expectedNames(contacts, ImportRec, &notText);
        if (notText != out.notText || (notText && (out.bookOpened || out.namesAdded))) __builtin_trap();
        if (out.bookOpened && out.status.ok()) {
            if (told != out.namesAdded) __builtin_trap();
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
            if (names.size() != size_t(out.namesAdded)) {
                std::fprintf(stderr, "%d names reported added, %zu lines to add\n", out.namesAdded, names.size());
                __builtin_trap();
            }
            AddrBookTable->selectTag(nullptr);
            for (uint32_t r = 1; r <= names.size(); ++r) {
                if (AddrBookTable->go(r) != xbase::kOk) __builtin_trap();
                LoadAddrRec();
                if (AddressRec.Last.trimmed() != names[r - 1].first || AddressRec.First.trimmed() != names[r - 1].second) {
                    std::fprintf(stderr, "row %u holds %s, %s; the line gave %s, %s\n", r,
                                 qPrintable(AddressRec.Last.trimmed()), qPrintable(AddressRec.First.trimmed()),
                                 qPrintable(names[r - 1].first), qPrintable(names[r - 1].second));
                    __builtin_trap();
                }
            }
        }
    }
    (void)CloseAllTables();
    lib.errorCode();
    LibHandle = nullptr;
    return 0;
}
