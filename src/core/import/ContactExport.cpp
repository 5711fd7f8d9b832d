#include "core/import/ContactExport.h"

#include <QSaveFile>
#include <QStringList>
#include <cstdio>

#include "core/data/Records.h"
#include "core/import/ContentLine.h"
#include "core/households/Households.h"
#include "core/occasions/Occasions.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

// A date as ISO 8601 writes it; one whose year is not known as month and day alone ("--12-25").
QString isoDate(const QDate& d) {
    if (!d.isValid() || d <= ZeroDate) return QString();
    return d.toString(YearUnknown(d) ? QStringLiteral("--MM-dd") : QStringLiteral("yyyy-MM-dd"));
}

QString flagWords(const TAddressRecord& r) {
    const std::pair<const char*, bool> flags[] = {
        {"Birthday", r.Birthday},   {"Anniversary", r.Annav},    {"Valentine", r.Valentine},
        {"Mother", r.Mother},       {"Father", r.Father},        {"Easter", r.Secretary},
        {"Halloween", r.Halloween}, {"Thanksgiving", r.ThanksGiv}, {"Christmas", r.Christmas},
        {"Other1", r.Other1},       {"Other2", r.Other2}};
    QStringList on;
    for (const auto& [name, set] : flags)
        if (set) on << QLatin1String(name);
    return on.join(QLatin1Char(' '));
}

QByteArray csvField(const QString& s) {
    QByteArray b = s.toUtf8();
    if (b.contains(',') || b.contains('"') || b.contains('\r') || b.contains('\n') ||
        (!b.isEmpty() && (b.front() == ' ' || b.back() == ' '))) {
        b.replace("\"", "\"\"");
        b = '"' + b + '"';
    }
    return b;
}

}  // namespace

QByteArray VCardOf(const TAddressRecord& rec) {
    const QString first = rec.First.trimmed(), last = rec.Last.trimmed();
    QByteArray out, line;
    out.reserve(512);
    line.reserve(256);
    out += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    AppendValueLine(out, line, "FN:", (first + QLatin1Char(' ') + last).trimmed());
    line = "N:";
    AppendEscaped(line, last.toUtf8());
    line += ';';
    AppendEscaped(line, first.toUtf8());
    line += ";;;";
    AppendContentLine(out, line);
    const QString adr[] = {rec.Street2.trimmed(), rec.Street.trimmed(), rec.City.trimmed(),
                           rec.State.trimmed(),   rec.Zip.trimmed(),    rec.Country.trimmed()};
    bool anyAdr = false;
    for (const QString& a : adr) anyAdr = anyAdr || !a.isEmpty();
    if (anyAdr) {
        line = "ADR;TYPE=home:";
        for (const QString& a : adr) {
            line += ';';
            AppendEscaped(line, a.toUtf8());
        }
        AppendContentLine(out, line);
    }
    const auto put = [&](const char* head, const QString& v) {
        const QString t = v.trimmed();
        if (!t.isEmpty()) AppendValueLine(out, line, head, t);
    };
    put("EMAIL:", rec.email);
    put("TEL;TYPE=\"home,voice\":", rec.phone);
    put("TEL;TYPE=fax:", rec.fax);
    put("TEL;TYPE=cell:", rec.mobile);
    const auto putDate = [&](const char* head, const QDate& d) {
        if (!d.isValid() || d <= ZeroDate) return;
        char digits[16];
        if (YearUnknown(d)) std::snprintf(digits, sizeof digits, "--%02d%02d", d.month(), d.day());
        else std::snprintf(digits, sizeof digits, "%04d%02d%02d", d.year(), d.month(), d.day());
        (line = head) += digits;
        AppendContentLine(out, line);
    };
    putDate("BDAY:", rec.Birthdate);
    putDate("ANNIVERSARY:", rec.Annavdate);
    putDate("X-MERROWBY-OTHER1:", rec.Other1Date);
    putDate("X-MERROWBY-OTHER2:", rec.Other2Date);
    line = "X-MERROWBY-OCCASIONS:";
    line += flagWords(rec).toUtf8();
    AppendContentLine(out, line);
    out += "END:VCARD\r\n";
    return out;
}

QByteArray CsvHeaderLine() {
    return "First Name,Last Name,Street,Street 2,City,State,Zip,Country,E-mail,Phone,Fax,Mobile,"
           "Birthday,Anniversary,Other 1,Other 2,Occasions\r\n";
}

QByteArray CsvHouseholdHeaderLine() { return "Name Line,Street,Street 2,City,State,Zip,Country,People\r\n"; }

namespace {

QByteArray csvLine(const QStringList& cells) {
    QByteArray out;
    for (qsizetype i = 0; i < cells.size(); ++i) out += (i ? "," : "") + csvField(cells[i]);
    return out + "\r\n";
}

// The household rows of the people `grouper` holds (AddrBook open), in its order.
QByteArray householdLines(const HouseholdGrouper& grouper, const HouseholdNotes& notes, int* written) {
    QByteArray out;
    const auto houses = grouper.households();
    for (size_t h = 0; h < houses.size(); ++h) {
        std::vector<HouseholdName> names;
        TAddressRecord first;
        for (const HouseholdGrouper::Member& m : houses[h]) {
            if (AddrBookTable->go(m.recNo) != 0) continue;
            LoadAddrRec();
            if (names.empty()) first = AddressRec;
            names.push_back({TrimText(AddressRec.First), TrimText(AddressRec.Last)});
        }
        if (names.empty()) continue;
        const QString greeting = grouper.keyOf(h).isEmpty() ? QString() : notes.greeting(grouper.keyOf(h));
        const QString line = greeting.isEmpty() ? HouseholdLine(names) : greeting;
        out += csvLine({line, first.Street.trimmed(), first.Street2.trimmed(), first.City.trimmed(),
                        first.State.trimmed(), first.Zip.trimmed(), first.Country.trimmed(),
                        QString::number(names.size())});
        ++*written;
    }
    return out;
}

}  // namespace

QByteArray CsvLineOf(const TAddressRecord& r) {
    const QString cells[] = {r.First.trimmed(), r.Last.trimmed(), r.Street.trimmed(), r.Street2.trimmed(),
                             r.City.trimmed(), r.State.trimmed(), r.Zip.trimmed(), r.Country.trimmed(),
                             r.email.trimmed(), r.phone.trimmed(), r.fax.trimmed(), r.mobile.trimmed(),
                             isoDate(r.Birthdate), isoDate(r.Annavdate), isoDate(r.Other1Date),
                             isoDate(r.Other2Date), flagWords(r)};
    QByteArray out;
    for (const QString& c : cells) {
        if (&c != cells) out += ',';
        out += csvField(c);
    }
    out += "\r\n";
    return out;
}

ExportOutcome ExportContacts(const QString& path, const ExportOptions& options) {
    ExportOutcome out;
    if (options.households && options.format != ExportFormat::Csv) {
        out.status = RunStatus::failure(QStringLiteral("One row per household is written as CSV only."));
        return out;
    }
    if (options.occasion < 0 || options.occasion > OccasionDated) {
        out.status = RunStatus::failure(QStringLiteral("Occasion %1 cannot be exported (1 to 8, or 0 for the whole book).")
                        .arg(options.occasion));
        return out;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        out.status = RunStatus::failure(QStringLiteral("Unable to write ") + path + QStringLiteral(": ") + file.errorString());
        return out;
    }
    const DataStatus opened = OpenAddrBook();
    if (!opened) {
        out.status = RunStatus::failure(QStringLiteral("Unable to open file ") + opened.file + QStringLiteral("\r\n") + opened.detail);
        return out;  // the save file is dropped unwritten
    }
    out.bookOpened = true;
    QByteArray buf;
    bool wrote = true;
    // A header line starting with a BOM: spreadsheet programs then read the file as UTF-8.
    if (options.format == ExportFormat::Csv)
        buf = "\xEF\xBB\xBF" + (options.households ? CsvHouseholdHeaderLine() : CsvHeaderLine());
    HouseholdNotes notes;
    // Unreadable notes only lose the greetings and own-card marks.
    if (options.households && !LoadHouseholdNotes(*LibHandle, &notes).ok()) notes = HouseholdNotes{};
    HouseholdGrouper grouper(&notes);
    int seen = 0;
    int rc = AddrBookTable->top();
    for (; rc == xbase::kOk && wrote; rc = AddrBookTable->skip()) {
        if (options.progress && ++seen % 500 == 0 && !options.progress(seen)) {
            out.cancelled = true;
            break;
        }
        if (AddrBookTable->deleted()) continue;
        // With an occasion, the flags and dates decide first; the rest is decoded for the rows
        // that go out.
        TAddressRecord& r = AddressRec;
        if (options.occasion != 0) {
            LoadAddrRec(r, AddrFlags | AddrDates);
            if (LabelsFor(r, options.occasion, options.spanStart, options.spanEnd) == 0) continue;
            LoadAddrRec(r, AddrNames | AddrPostal | AddrContact);
        } else {
            LoadAddrRec();
        }
        if (options.households) {
            grouper.add(AddrBookTable->recNo(), r);
            continue;
        }
        buf += options.format == ExportFormat::VCard ? VCardOf(r) : CsvLineOf(r);
        ++out.written;
        if (buf.size() >= (1 << 16)) {
            wrote = file.write(buf) == buf.size();
            buf.clear();
        }
    }
    if (options.households && rc != xbase::kError && !out.cancelled) buf += householdLines(grouper, notes, &out.written);
    if (rc == xbase::kError)
        out.status = RunStatus::failure(QStringLiteral("Unable to read the address book.\r\n") +
                    QString::fromStdString(LibHandle->lastError().toString()));
    const DataStatus closed = CloseTable(AddrBookTable);
    LibHandle->errorCode();
    if (out.status.ok() && !closed) out.status = RunStatus::failure(QStringLiteral("Unable to close the address book.\r\n") + closed.detail);
    if (out.cancelled || out.status.failed()) return out;  // the save file is dropped
    if (wrote && !buf.isEmpty()) wrote = file.write(buf) == buf.size();
    if (!wrote || !file.commit()) {
        out.status = RunStatus::failure(QStringLiteral("Unable to write ") + path + QStringLiteral(": ") + file.errorString());
        out.written = 0;
    }
    return out;
}
