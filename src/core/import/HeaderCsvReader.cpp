#include "core/import/HeaderCsvReader.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <map>

#include "core/data/Records.h"

namespace contactread {

namespace {

const char* colName(Col c) {
    static const char* const names[] = {
        "First", "Last", "full name", "Street", "Street2", "City", "State", "Zip", "Country",
        "email", "phone", "fax", "mobile", "Birthdate", "Annavdate", "Other1Date", "Other2Date",
        "occasions", "birth year", "birth month", "birth day", "phone by type", "phone type"};
    return names[int(c)];
}

bool isAddress(Col c) { return c >= Col::Street && c <= Col::Country; }

struct KnownColumn {
    const char* name;  // lower case, letters and digits only
    Col col;
    int group;         // addresses: 0 home or plain, 1 business, 2 other
};

// In priority order within each field: of two columns for the same field the first non-empty one
// in this table is taken.
const KnownColumn kKnown[] = {
    // names
    {"first", Col::First, 0}, {"firstname", Col::First, 0}, {"givenname", Col::First, 0},
    {"given", Col::First, 0}, {"forename", Col::First, 0},
    {"last", Col::Last, 0}, {"lastname", Col::Last, 0}, {"surname", Col::Last, 0},
    {"familyname", Col::Last, 0}, {"family", Col::Last, 0},
    {"name", Col::FullName, 0}, {"fullname", Col::FullName, 0}, {"displayname", Col::FullName, 0},
    // home or plain address (Outlook "Home ...", Thunderbird and LibreOffice "Home...", Google
    // "Address 1 - ...")
    {"street", Col::Street, 0}, {"address", Col::Street, 0}, {"address1", Col::Street, 0},
    {"streetaddress", Col::Street, 0}, {"homestreet", Col::Street, 0},
    {"homeaddress", Col::Street, 0}, {"address1street", Col::Street, 0},
    {"street2", Col::Street2, 0}, {"address2", Col::Street2, 0}, {"homestreet2", Col::Street2, 0},
    {"homeaddress2", Col::Street2, 0}, {"address1extendedaddress", Col::Street2, 0},
    {"extendedaddress", Col::Street2, 0},
    {"city", Col::City, 0}, {"town", Col::City, 0}, {"homecity", Col::City, 0},
    {"address1city", Col::City, 0}, {"locality", Col::City, 0},
    {"state", Col::State, 0}, {"region", Col::State, 0}, {"province", Col::State, 0},
    {"homestate", Col::State, 0}, {"address1region", Col::State, 0},
    {"zip", Col::Zip, 0}, {"zipcode", Col::Zip, 0}, {"postalcode", Col::Zip, 0},
    {"postcode", Col::Zip, 0}, {"homepostalcode", Col::Zip, 0}, {"homezipcode", Col::Zip, 0},
    {"address1postalcode", Col::Zip, 0},
    {"country", Col::Country, 0}, {"homecountry", Col::Country, 0},
    {"homecountryregion", Col::Country, 0}, {"address1country", Col::Country, 0},
    {"countryregion", Col::Country, 0},
    // business address
    {"businessstreet", Col::Street, 1}, {"workaddress", Col::Street, 1},
    {"businessstreet2", Col::Street2, 1}, {"workaddress2", Col::Street2, 1},
    {"businesscity", Col::City, 1}, {"workcity", Col::City, 1},
    {"businessstate", Col::State, 1}, {"workstate", Col::State, 1},
    {"businesspostalcode", Col::Zip, 1}, {"workzipcode", Col::Zip, 1},
    {"businesscountryregion", Col::Country, 1}, {"businesscountry", Col::Country, 1},
    {"workcountry", Col::Country, 1},
    // Google's second address
    {"address2street", Col::Street, 1}, {"address2extendedaddress", Col::Street2, 1},
    {"address2city", Col::City, 1}, {"address2region", Col::State, 1},
    {"address2postalcode", Col::Zip, 1}, {"address2country", Col::Country, 1},
    // other address (Outlook), Google's third
    {"otherstreet", Col::Street, 2}, {"otherstreet2", Col::Street2, 2},
    {"othercity", Col::City, 2}, {"otherstate", Col::State, 2},
    {"otherpostalcode", Col::Zip, 2}, {"othercountryregion", Col::Country, 2},
    {"othercountry", Col::Country, 2},
    {"address3street", Col::Street, 2}, {"address3extendedaddress", Col::Street2, 2},
    {"address3city", Col::City, 2}, {"address3region", Col::State, 2},
    {"address3postalcode", Col::Zip, 2}, {"address3country", Col::Country, 2},
    // e-mail
    {"email", Col::Email, 0}, {"emailaddress", Col::Email, 0}, {"mail", Col::Email, 0},
    {"primaryemail", Col::Email, 0}, {"email1value", Col::Email, 0},
    {"email2address", Col::Email, 0}, {"secondemail", Col::Email, 0},
    {"secondaryemail", Col::Email, 0}, {"email2value", Col::Email, 0},
    // telephones
    {"phone", Col::Phone, 0}, {"telephone", Col::Phone, 0}, {"tel", Col::Phone, 0},
    {"homephone", Col::Phone, 0}, {"phonepriv", Col::Phone, 0}, {"primaryphone", Col::Phone, 0},
    {"homephone2", Col::Phone, 0}, {"workphone", Col::Phone, 0},
    {"businessphone", Col::Phone, 0}, {"phonecomp", Col::Phone, 0},
    {"fax", Col::Fax, 0}, {"faxnumber", Col::Fax, 0}, {"homefax", Col::Fax, 0},
    {"businessfax", Col::Fax, 0}, {"otherfax", Col::Fax, 0},
    {"mobile", Col::Mobile, 0}, {"cell", Col::Mobile, 0}, {"cellphone", Col::Mobile, 0},
    {"mobilephone", Col::Mobile, 0}, {"mobilenumber", Col::Mobile, 0},
    {"cellularnumber", Col::Mobile, 0},
    // dates and flags
    {"birthday", Col::Birthday, 0}, {"birthdate", Col::Birthday, 0},
    {"dateofbirth", Col::Birthday, 0}, {"anniversary", Col::Anniversary, 0},
    {"other1", Col::Other1, 0}, {"other2", Col::Other2, 0}, {"occasions", Col::Occasions, 0},
    {"birthyear", Col::BirthYear, 0}, {"birthmonth", Col::BirthMonth, 0},
};

QString normalised(const QString& header) {
    QString out;
    for (QChar c : header)
        if (c.isLetterOrNumber()) out += c.toLower();
    return out;
}

std::vector<Mapped> mapHeader(const QStringList& header) {
    static const QRegularExpression typed(QStringLiteral("^phone(\\d+)(value|type|label)$"));
    std::vector<Mapped> out;
    bool splitBirth = false;
    for (const QString& h : header) {
        const QString n = normalised(h);
        splitBirth = splitBirth || n == QLatin1String("birthyear") || n == QLatin1String("birthmonth");
    }
    for (int i = 0; i < header.size(); ++i) {
        const QString n = normalised(header[i]);
        if (n.isEmpty()) continue;
        if (splitBirth && n == QLatin1String("birthday")) {  // Thunderbird's "Birth Day"
            out.push_back({i, Col::BirthDayOfMonth, 0, 0, 0});
            continue;
        }
        if (const QRegularExpressionMatch m = typed.match(n); m.hasMatch()) {
            const Col c = m.captured(2) == QLatin1String("value") ? Col::TypedPhoneValue : Col::TypedPhoneType;
            out.push_back({i, c, 0, 0, m.captured(1).toInt()});
            continue;
        }
        for (size_t k = 0; k < std::size(kKnown); ++k) {
            if (n == QLatin1String(kKnown[k].name)) {
                out.push_back({i, kKnown[k].col, kKnown[k].group, int(k), 0});
                break;
            }
        }
    }
    return out;
}

bool looksLikeHeader(const std::vector<Mapped>& m) {
    bool name = false;
    for (const Mapped& x : m) name = name || x.col == Col::First || x.col == Col::Last || x.col == Col::FullName;
    return name && m.size() >= 2;
}

QString* textField(TAddressRecord& r, Col c) {
    switch (c) {
    case Col::First: return &r.First;
    case Col::Last: return &r.Last;
    case Col::Street: return &r.Street;
    case Col::Street2: return &r.Street2;
    case Col::City: return &r.City;
    case Col::State: return &r.State;
    case Col::Zip: return &r.Zip;
    case Col::Country: return &r.Country;
    case Col::Email: return &r.email;
    case Col::Phone: return &r.phone;
    case Col::Fax: return &r.fax;
    case Col::Mobile: return &r.mobile;
    default: return nullptr;
    }
}

// The first of several values that Google writes into one cell ("a@x ::: b@y").
QString firstValue(const QString& v) {
    const qsizetype at = v.indexOf(QLatin1String(":::"));
    return at < 0 ? v : v.left(at).trimmed();
}

TAddressRecord csvContact(const QStringList& row, const std::vector<Mapped>& map) {
    TAddressRecord r;
    auto cell = [&row](int i) { return clean(row.value(i)); };
    // The address of the first group that has any of its fields filled.
    int group = -1;
    for (int g = 0; g < 3 && group < 0; ++g)
        for (const Mapped& m : map)
            if (m.group == g && isAddress(m.col) && !cell(m.column).isEmpty()) group = g;
    QString fullName, birthYear, birthMonth, birthDay;
    std::map<int, std::pair<QString, QString>> typedPhones;  // N -> (value, type)
    for (const Mapped& m : map) {
        const QString v = cell(m.column);
        if (v.isEmpty()) continue;
        if (isAddress(m.col) && m.group != group) continue;
        if (textField(r, m.col)) continue;  // below, by priority
        switch (m.col) {
        case Col::FullName: if (fullName.isEmpty()) fullName = v; break;
        case Col::Birthday:
            if (const QDate d = parseDate(v); d.isValid()) r.Birthdate = d, r.Birthday = true;
            break;
        case Col::Anniversary:
            if (const QDate d = parseDate(v); d.isValid()) r.Annavdate = d, r.Annav = true;
            break;
        case Col::Other1:
            if (const QDate d = parseDate(v); d.isValid()) r.Other1Date = d, r.Other1 = true;
            break;
        case Col::Other2:
            if (const QDate d = parseDate(v); d.isValid()) r.Other2Date = d, r.Other2 = true;
            break;
        case Col::BirthYear: birthYear = v; break;
        case Col::BirthMonth: birthMonth = v; break;
        case Col::BirthDayOfMonth: birthDay = v; break;
        case Col::TypedPhoneValue: typedPhones[m.pair].first = v; break;
        case Col::TypedPhoneType: typedPhones[m.pair].second = v; break;
        default: break;
        }
    }
    // Of several columns for one text field the one earliest in the table of known names wins.
    std::vector<const Mapped*> byPriority;
    for (const Mapped& m : map) byPriority.push_back(&m);
    std::stable_sort(byPriority.begin(), byPriority.end(),
                     [](const Mapped* a, const Mapped* b) { return a->priority < b->priority; });
    TAddressRecord best;
    for (const Mapped* m : byPriority) {
        if (isAddress(m->col) && m->group != group) continue;
        QString* t = textField(best, m->col);
        if (!t || !t->isEmpty()) continue;
        switch (m->col) {
        case Col::Street: *t = row.value(m->column).left(kMostValueChars).trimmed(); break;  // lines kept
        case Col::Email: case Col::Phone: case Col::Fax: case Col::Mobile: *t = firstValue(cell(m->column)); break;
        default: *t = cell(m->column); break;
        }
    }
    splitStreet(best.Street, best.Street2);
    best.Street = clean(best.Street);
    for (Col c : {Col::First, Col::Last, Col::Street, Col::Street2, Col::City, Col::State, Col::Zip,
                  Col::Country, Col::Email, Col::Phone, Col::Fax, Col::Mobile})
        *textField(r, c) = *textField(best, c);
    for (const auto& [n, vt] : typedPhones) {
        if (vt.first.isEmpty()) continue;
        const QString type = vt.second.toLower();
        QString* into = type.contains(QLatin1String("mobile")) || type.contains(QLatin1String("cell")) ? &r.mobile
                        : type.contains(QLatin1String("fax"))                                            ? &r.fax
                                                                                                         : &r.phone;
        if (into->isEmpty()) *into = firstValue(vt.first);
    }
    if (!birthMonth.isEmpty() && !birthDay.isEmpty()) {
        const int y = birthYear.isEmpty() ? kYearUnknown : birthYear.toInt();
        if (const QDate d(y, birthMonth.toInt(), birthDay.toInt()); d.isValid() && d > ZeroDate)
            r.Birthdate = d, r.Birthday = true;
    }
    lastFromFullName(r, fullName);
    for (const Mapped& m : map)
        if (m.col == Col::Occasions) setFlagsFrom(r, cell(m.column));
    return r;
}

QStringList decodeRecord(const QList<QByteArray>& rec, bool utf8) {
    QStringList out;
    out.reserve(rec.size());
    for (const QByteArray& f : rec) out << decodeValue(f, utf8);
    return out;
}

}  // namespace

// The separator under which one of the first records of `head` reads as a header; none when
// no separator does.
char csvSeparator(const std::string& head, bool utf8) {
    for (char sep : {',', ';', '\t'}) {
        int seen = 0;
        bool found = false;
        CsvRecords split(sep);
        const auto look = [&](const QList<QByteArray>& rec) {
            found = looksLikeHeader(mapHeader(decodeRecord(rec, utf8)));
            return !found && ++seen < 10;
        };
        if (split.feed(head.data(), head.size(), look)) (void)split.finish(look);
        if (found) return sep;
    }
    return 0;
}

bool HeaderCsvReader::feed(const char* p, size_t n) {
    return split_.feed(p, n, [this](const QList<QByteArray>& rec) { return record(rec); });
}

bool HeaderCsvReader::finish() {
    if (!split_.finish([this](const QList<QByteArray>& rec) { return record(rec); })) return false;
    if (out_.headerLine == 0) {  // cannot happen: the header was seen in the head of the same text
        out_.status = RunStatus::failure(QStringLiteral("The header row could not be read again."));
        return false;
    }
    return true;
}

bool HeaderCsvReader::record(const QList<QByteArray>& rec) {
    ++records_;
    if (out_.headerLine != 0 && !full_) {
        TAddressRecord none;
        return onContact_(none);
    }
    const QStringList row = decodeRecord(rec, utf8_);
    if (out_.headerLine == 0) {
        map_ = mapHeader(row);
        if (!looksLikeHeader(map_)) return true;
        out_.headerLine = records_;
        for (const Mapped& m : map_)
            out_.mapping << row[m.column].trimmed() + QStringLiteral(" -> ") + QLatin1String(colName(m.col));
        return true;
    }
    TAddressRecord r = csvContact(row, map_);
    return onContact_(r);
}

}  // namespace contactread
