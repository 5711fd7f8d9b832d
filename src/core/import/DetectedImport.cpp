#include "core/import/ContactFormats.h"

#include <QFileInfo>
#include <algorithm>
#include <map>
#include <vector>

#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "core/import/ImportStore.h"
#include "xbase/Cp1252.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

// --- the run ----------------------------------------------------------------------------------

namespace {

// A set of 64-bit hashes of duplicate keys: eight bytes a slot, at most half of them used.
// Two different names sharing a hash are as good as impossible (about one chance in thirty
// million for a million names).
class KeySet {
public:
    static uint64_t hash(const std::string& key) {
        uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a, then the SplitMix64 finaliser
        for (unsigned char c : key) h = (h ^ c) * 0x100000001b3ull;
        h ^= h >> 30;
        h *= 0xbf58476d1ce4e5b9ull;
        h ^= h >> 27;
        h *= 0x94d049bb133111ebull;
        h ^= h >> 31;
        return h ? h : 1;  // 0 marks an empty slot
    }
    bool contains(uint64_t h) const {
        if (slots_.empty()) return false;
        for (size_t i = h & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            if (slots_[i] == h) return true;
            if (slots_[i] == 0) return false;
        }
    }
    void insert(uint64_t h) {
        if ((used_ + 1) * 2 > slots_.size()) grow();
        size_t i = h & (slots_.size() - 1);
        while (slots_[i] != 0) {
            if (slots_[i] == h) return;
            i = (i + 1) & (slots_.size() - 1);
        }
        slots_[i] = h;
        ++used_;
    }

private:
    void grow() {
        std::vector<uint64_t> old = std::move(slots_);
        slots_.assign(std::max<size_t>(1024, old.size() * 2), 0);
        used_ = 0;
        for (uint64_t h : old)
            if (h) insert(h);
    }
    std::vector<uint64_t> slots_;
    size_t used_ = 0;
};

// The duplicate keys of the rows of the open AddrBook; a failure says why the scan stopped short.
RunStatus BookKeys(KeySet& known) {
    int rc = AddrBookTable->top();
    for (; rc == xbase::kOk; rc = AddrBookTable->skip()) {
        if (AddrBookTable->deleted()) continue;
        TAddressRecord rec;  // the names and the street make the key
        LoadAddrRec(rec, AddrNames | AddrPostal);
        known.insert(KeySet::hash(DuplicateKey(rec)));
    }
    if (rc == xbase::kError)
        return RunStatus::failure(QStringLiteral("Unable to read the address book.\r\n") +
                                  QString::fromStdString(LibHandle->lastError().toString()));
    return RunStatus::Ok();
}

}  // namespace

ContactPreview PreviewContactsFile(const QString& path, int keep,
                                   const std::function<bool(qint64 done, qint64 total)>& reading) {
    ContactPreview preview;
    KeySet known;
    bool bookRead = false;
    if (OpenAddrBook()) {
        const RunStatus keys = BookKeys(known);
        const DataStatus closed = CloseTable(AddrBookTable);
        bookRead = keys && closed;
    }
    LibHandle->errorCode();
    int duplicates = 0;
    ContactReadOptions options;
    options.keep = keep;
    options.reading = reading;
    options.each = [&known, &duplicates](const TAddressRecord& found) {
        TAddressRecord rec = found;
        FitToAddrBook(rec);
        if (!HasUsableLastName(rec)) return true;
        const uint64_t key = KeySet::hash(DuplicateKey(rec));
        if (known.contains(key))
            ++duplicates;
        else
            known.insert(key);
        return true;
    };
    preview.parsed = ReadContactsFile(path, options);
    preview.duplicates = bookRead ? duplicates : -1;
    return preview;
}

DetectedImportOutcome RunDetectedImport(const QString& path, const DetectedImportOptions& options) {
    DetectedImportOutcome out;
    if (path.isEmpty() || !QFileInfo(path).isFile()) return out;
    out.fileFound = true;
    // Read through once first: a file that cannot be understood (a card cut short at its end)
    // adds nothing, and the count gives the progress its total.
    ContactReadOptions check;
    check.keep = 0;
    check.countOnly = true;
    check.reading = options.reading;
    const ContactParse parsed = ReadContactsFile(path, check);
    out.format = parsed.format;
    out.encoding = parsed.encoding;
    if (parsed.stopped) {
        out.cancelled = true;
        return out;
    }
    if (parsed.status.failed()) {
        out.status = parsed.status;
        return out;
    }

    const DataStatus opened = OpenAddrBook();
    if (!opened) {
        out.status = RunStatus::failure(QStringLiteral("Unable to open file ") + opened.file + QStringLiteral("\r\n") + opened.detail);
        return out;
    }
    out.bookOpened = true;
    KeySet known;
    out.status = BookKeys(known);
    ImportStore book;

    const int total = parsed.count;
    int i = 0;
    ContactReadOptions store;
    store.keep = 0;
    store.each = [&](const TAddressRecord& found) -> bool {
        if (out.status.failed()) return false;
        if (options.progress && !options.progress(i, total)) {
            out.cancelled = true;
            return false;
        }
        ++i;
        TAddressRecord rec = found;
        bool regionLeftOut = false;
        const int replaced = FitToAddrBook(rec, &regionLeftOut);
        if (!HasUsableLastName(rec)) {
            ++out.withoutLastName;
            return true;
        }
        const uint64_t key = KeySet::hash(DuplicateKey(rec));
        if (known.contains(key)) {
            if (out.duplicateNames.size() < 20)
                out.duplicateNames << (rec.First + QLatin1Char(' ') + rec.Last).trimmed();
            if (options.duplicates == DuplicatePolicy::Skip) {
                ++out.duplicatesSkipped;
                return true;
            }
            ++out.duplicatesAdded;
        }
        if (!book.add(rec)) return false;  // a failed write stops the run
        known.insert(key);
        out.replacedCharacters += replaced;
        out.regionsLeftOut += regionLeftOut ? 1 : 0;
        return true;
    };
    if (out.status.ok()) {
        const ContactParse stored = ReadContactsFile(path, store);
        if (out.status.ok() && !stored.stopped && stored.status.failed()) out.status = stored.status;
    }
    if (options.progress && !out.cancelled && out.status.ok()) (void)options.progress(total, total);

    // What is reported added is what the book holds: the names of the batches stored.
    const RunStatus finished = book.finish();
    if (out.status.ok()) out.status = finished;
    out.added = book.stored();
    return out;
}

QString DetectedImportSummary(const DetectedImportOutcome& out) {
    QStringList parts;
    parts << QString::number(out.added) + QStringLiteral(" Names Added");
    if (out.duplicatesSkipped) parts << QStringLiteral("%1 duplicates skipped").arg(out.duplicatesSkipped);
    if (out.duplicatesAdded) parts << QStringLiteral("%1 duplicates added").arg(out.duplicatesAdded);
    if (out.withoutLastName) parts << QStringLiteral("%1 skipped without a last name").arg(out.withoutLastName);
    if (out.replacedCharacters)
        parts << QStringLiteral("%1 characters stored as '?'").arg(out.replacedCharacters);
    if (out.regionsLeftOut)
        parts << (out.regionsLeftOut == 1 ? QStringLiteral("1 region")
                                          : QStringLiteral("%1 regions").arg(out.regionsLeftOut)) +
                     QStringLiteral(" left out (too long for the State column)");
    QString s = parts.join(QStringLiteral(", "));
    if (out.cancelled) s += QStringLiteral(" (cancelled; the names added so far stay)");
    return s;
}
