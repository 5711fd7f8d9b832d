#include "core/import/ContactReader.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "core/import/HeaderCsvReader.h"
#include "core/import/ImportText.h"
#include "core/import/VCardReader.h"

using namespace contactread;

namespace {

// How much of the text the format and the CSV separator are told from.
constexpr size_t kHeadBytes = size_t(1) << 16;
// Pieces the file is read in.
constexpr size_t kChunkBytes = size_t(1) << 16;

}  // namespace

QString ContactEncodingName(ContactEncoding e) {
    switch (e) {
    case ContactEncoding::Utf8: return QStringLiteral("UTF-8");
    case ContactEncoding::Utf8Bom: return QStringLiteral("UTF-8 with BOM");
    case ContactEncoding::Utf16Le: return QStringLiteral("UTF-16 LE");
    case ContactEncoding::Utf16Be: return QStringLiteral("UTF-16 BE");
    case ContactEncoding::Windows1252: return QStringLiteral("Windows-1252");
    }
    return {};
}

QString ContactFormatName(ContactFormat f) {
    switch (f) {
    case ContactFormat::VCard: return QStringLiteral("vCard");
    case ContactFormat::HeaderCsv: return QStringLiteral("CSV with a header row");
    case ContactFormat::Unknown: break;
    }
    return QStringLiteral("unknown");
}

namespace {

ContactEncoding encodingOf(const TextScan& scan) {
    switch (scan.mark) {
    case TextMark::Utf8: return ContactEncoding::Utf8Bom;
    case TextMark::Utf16Le: return ContactEncoding::Utf16Le;
    case TextMark::Utf16Be: return ContactEncoding::Utf16Be;
    case TextMark::None: break;
    }
    return scan.validUtf8 ? ContactEncoding::Utf8 : ContactEncoding::Windows1252;
}

// The whole reading: `raw` is scanned for its encoding (ImportText.h), started again through
// `rewind`, and read once more as vCard or header rows. `size` is the file's size in bytes.
ContactParse readContacts(const ByteSource& raw, const std::function<bool()>& rewind, qint64 size,
                          const ContactReadOptions& options) {
    ContactParse out;
    TextScan scan;
    if (!ScanText(raw, false, &scan) || !rewind()) {
        out.status = RunStatus::failure(QStringLiteral("The file could not be read."));
        return out;
    }
    out.encoding = encodingOf(scan);
    if (!scan.solid) {
        out.status = RunStatus::failure(QStringLiteral("The file is empty."));
        return out;
    }
    qint64 done = 0;
    const ByteSource counted = [&raw, &done](char* buf, size_t n) {
        const long long k = raw(buf, n);
        if (k > 0) done += k;
        return k;
    };
    TextMark mark = TextMark::None;
    const ByteSource text = TextAfterMark(counted, &mark);
    std::string head;
    {
        std::string buf(kHeadBytes, '\0');
        long long k = 0;
        while (head.size() < kHeadBytes && (k = text(buf.data(), kHeadBytes - head.size())) > 0)
            head.append(buf.data(), size_t(k));
        if (k < 0) {
            out.status = RunStatus::failure(QStringLiteral("The file could not be read."));
            return out;
        }
    }
    // Text has no NUL and few other control characters in its first 4,096 bytes.
    const size_t probe = std::min<size_t>(head.size(), 4096);
    size_t controls = 0;
    for (size_t i = 0; i < probe; ++i) {
        const unsigned char c = static_cast<unsigned char>(head[i]);
        if (c < 0x20 && c != '\r' && c != '\n' && c != '\t') ++controls;
    }
    if (scan.nul || controls * 20 > probe) {
        out.status = RunStatus::failure(QStringLiteral("The file does not look like text (a vCard or CSV file)."));
        return out;
    }

    const bool utf8 = out.encoding != ContactEncoding::Windows1252;
    const int keep = std::max(options.keep, 0);
    const auto onContact = [&out, &options, keep](TAddressRecord& r) {
        ++out.count;
        if (int(out.contacts.size()) < keep) out.contacts.push_back(r);
        if (options.each && !options.each(r)) out.stopped = true;
        return !out.stopped;
    };
    size_t lead = 0;
    while (lead < head.size() && static_cast<unsigned char>(head[lead]) <= ' ') ++lead;
    const bool vcard = head.size() - lead >= 11 && QByteArray(head.data() + lead, 11).toUpper() == "BEGIN:VCARD";
    std::function<bool(const char*, size_t)> feed;
    std::function<bool()> finish;
    VCardReader cards(utf8, !options.countOnly, onContact);
    LineCutter lines;
    std::unique_ptr<HeaderCsvReader> rows;
    const auto oneLine = [&cards](const QByteArray& l) { return cards.line(l); };
    if (vcard) {
        out.format = ContactFormat::VCard;
        feed = [&](const char* p, size_t n) { return lines.feed(p, n, oneLine); };
        finish = [&] { return lines.finish(oneLine) && cards.finish(); };
    } else {
        out.format = ContactFormat::HeaderCsv;
        const char sep = csvSeparator(head, utf8);
        if (!sep) {
            out.status = RunStatus::failure(QStringLiteral("No header row naming known columns was found in the first lines "
                                       "(such as First Name, Last Name, Street, City, E-mail); nothing was "
                                       "imported."));
            return out;
        }
        rows = std::make_unique<HeaderCsvReader>(sep, utf8, !options.countOnly, out, onContact);
        feed = [&](const char* p, size_t n) { return rows->feed(p, n); };
        finish = [&] { return rows->finish(); };
    }

    bool going = feed(head.data(), head.size());
    std::string buf(kChunkBytes, '\0');
    while (going) {
        if (options.reading && !options.reading(done, size)) {
            out.stopped = true;
            break;
        }
        const long long k = text(buf.data(), buf.size());
        if (k < 0) {
            out.status = RunStatus::failure(QStringLiteral("The file could not be read to its end."));
            break;
        }
        if (k == 0) {
            going = finish();
            break;
        }
        going = feed(buf.data(), size_t(k));
    }
    if (out.status.ok() && cards.status().failed()) out.status = cards.status();
    if (out.status.failed()) out.contacts.clear();
    return out;
}

}  // namespace

// --- whole files ------------------------------------------------------------------------------

ContactParse ParseContacts(const QByteArray& bytes, const ContactReadOptions& options) {
    qsizetype at = 0;
    const ByteSource raw = [&bytes, &at](char* buf, size_t n) -> long long {
        const qsizetype k = std::min<qsizetype>(qsizetype(n), bytes.size() - at);
        std::memcpy(buf, bytes.constData() + at, size_t(k));
        at += k;
        return k;
    };
    return readContacts(raw, [&at] { at = 0; return true; }, bytes.size(), options);
}

ContactParse ReadContactsFile(const QString& path, const ContactReadOptions& options) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ContactParse out;
        out.status = RunStatus::failure(QStringLiteral("Unable to read ") + path + QStringLiteral(": ") + f.errorString());
        return out;
    }
    const ByteSource raw = [&f](char* buf, size_t n) -> long long { return f.read(buf, qint64(n)); };
    ContactParse out = readContacts(raw, [&f] { return f.seek(0); }, f.size(), options);
    if (out.status.reason.startsWith(QLatin1String("The file could not be read")))
        out.status = RunStatus::failure(QStringLiteral("Unable to read ") + path + QStringLiteral(" to its end: ") + f.errorString());
    return out;
}
