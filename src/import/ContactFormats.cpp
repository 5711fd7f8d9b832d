#include "import/ContactFormats.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <map>

#include "data/Schema.h"
#include "data/dbFiles.h"
#include "import/ImportStore.h"
#include "xbase/cp1252.h"
#include "xbase/library.h"
#include "xbase/table.h"

namespace {

// Larger files are refused rather than read into memory.
constexpr qint64 kMostFileBytes = qint64(512) << 20;

QString fromWindows1252(const QByteArray& b) {
    return QString::fromStdString(xbase::cp1252::toUtf8(std::string_view(b.constData(), size_t(b.size()))));
}

QString decodeValue(const QByteArray& b, bool utf8) {
    return utf8 ? QString::fromUtf8(b) : fromWindows1252(b);
}

// No column is wider than this; longer values are cut before they are kept.
constexpr qsizetype kMostValueChars = 1024;

// Control characters inside a value (line breaks of a street, a stray tab) become blanks.
QString clean(QString s) {
    if (s.size() > kMostValueChars) s.truncate(kMostValueChars);
    for (QChar& c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char(' ');
    return s.trimmed();
}

// Dates as contact programs write them: 1965-04-12, 19650412, 1965-04-12T00:00:00Z, 4/12/1965
// (month first, as Outlook writes them in the US), 12.4.1965, and --04-12 / --0412 without a
// year, which is stored in 1904 (a leap year, so 29 February survives).
QDate parseDate(QString s) {
    s = s.trimmed();
    if (s.isEmpty()) return {};
    const int t = s.indexOf(QLatin1Char('T'));
    if (t > 0) s = s.left(t);
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-?(\\d{2})-?(\\d{2})$"));
    static const QRegularExpression noYear(QStringLiteral("^--(\\d{2})-?(\\d{2})$"));
    static const QRegularExpression us(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    static const QRegularExpression eu(QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})$"));
    static const QRegularExpression slash(QStringLiteral("^(\\d{4})/(\\d{1,2})/(\\d{1,2})$"));
    QRegularExpressionMatch m;
    auto n = [&m](int i) { return m.captured(i).toInt(); };
    QDate d;
    if ((m = iso.match(s)).hasMatch() || (m = slash.match(s)).hasMatch()) d = QDate(n(1), n(2), n(3));
    else if ((m = noYear.match(s)).hasMatch()) d = QDate(1904, n(1), n(2));
    else if ((m = us.match(s)).hasMatch()) d = QDate(n(3), n(1), n(2));
    else if ((m = eu.match(s)).hasMatch()) d = QDate(n(3), n(2), n(1));
    return d.isValid() && d > ZeroDate ? d : QDate();
}

// The holiday and dated flags under the names the export writes.
struct FlagName {
    const char* name;
    bool TAddressRecord::*flag;
};
const FlagName kFlags[] = {
    {"Birthday", &TAddressRecord::Birthday},   {"Anniversary", &TAddressRecord::Annav},
    {"Valentine", &TAddressRecord::Valentine}, {"Mother", &TAddressRecord::Mother},
    {"Father", &TAddressRecord::Father},       {"Easter", &TAddressRecord::Secretary},
    {"Halloween", &TAddressRecord::Halloween}, {"Thanksgiving", &TAddressRecord::ThanksGiv},
    {"Christmas", &TAddressRecord::Christmas}, {"Other1", &TAddressRecord::Other1},
    {"Other2", &TAddressRecord::Other2},
};

void setFlagsFrom(TAddressRecord& rec, const QString& words) {
    for (const FlagName& f : kFlags) rec.*f.flag = false;
    for (const QString& w : words.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts))
        for (const FlagName& f : kFlags)
            if (w.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0) rec.*f.flag = true;
}

void splitFullName(const QString& full, TAddressRecord& rec) {
    const QString s = full.simplified();
    const int comma = s.indexOf(QLatin1Char(','));
    if (comma > 0) {  // "Last, First"
        rec.Last = s.left(comma).trimmed();
        rec.First = s.mid(comma + 1).trimmed();
        return;
    }
    const int space = s.lastIndexOf(QLatin1Char(' '));
    rec.Last = space < 0 ? s : s.mid(space + 1);
    rec.First = space < 0 ? QString() : s.left(space);
}

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

// --- encoding ---------------------------------------------------------------------------------

ContactEncoding DetectContactEncoding(const QByteArray& b) {
    if (b.startsWith("\xFF\xFE")) return ContactEncoding::Utf16Le;
    if (b.startsWith("\xFE\xFF")) return ContactEncoding::Utf16Be;
    if (b.startsWith("\xEF\xBB\xBF")) return ContactEncoding::Utf8Bom;
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)dec.decode(b).operator QString();
    return dec.hasError() ? ContactEncoding::Windows1252 : ContactEncoding::Utf8;
}

QString DecodeContactBytes(const QByteArray& b, ContactEncoding e) {
    switch (e) {
    case ContactEncoding::Utf8: return QString::fromUtf8(b);
    case ContactEncoding::Utf8Bom: return QString::fromUtf8(b.mid(3));
    case ContactEncoding::Utf16Le: {
        QStringDecoder dec(QStringDecoder::Utf16LE);
        return dec.decode(b.mid(2));
    }
    case ContactEncoding::Utf16Be: {
        QStringDecoder dec(QStringDecoder::Utf16BE);
        return dec.decode(b.mid(2));
    }
    case ContactEncoding::Windows1252: return fromWindows1252(b);
    }
    return {};
}

// --- RFC 4180 ---------------------------------------------------------------------------------

std::vector<QStringList> SplitCsv(const QString& text, QChar sep) {
    std::vector<QStringList> out;
    QStringList rec;
    QString field;
    bool quoted = false, any = false;
    const qsizetype n = text.size();
    auto endRecord = [&] {
        if (any || !field.isEmpty() || !rec.isEmpty()) {
            rec << field;
            out.push_back(std::move(rec));
        }
        rec = QStringList();
        field.clear();
        any = false;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (c == sep) {
            rec << field;
            field.clear();
            any = true;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ++i;
            endRecord();
        } else {
            field += c;
        }
    }
    endRecord();
    return out;
}

// --- vCard ------------------------------------------------------------------------------------

namespace {

QByteArray decodeQuotedPrintable(const QByteArray& v) {
    QByteArray out;
    out.reserve(v.size());
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == '=' && i + 2 < v.size()) {
            bool ok = false;
            const int x = v.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += char(x);
                i += 2;
                continue;
            }
        }
        if (v[i] == '=' && i == v.size() - 1) break;  // soft break left at the end
        out += v[i];
    }
    return out;
}

// Splits a structured value at unescaped `sep` and undoes the backslash escapes.
QStringList splitValue(const QString& v, QChar sep) {
    QStringList parts;
    QString cur;
    for (qsizetype i = 0; i < v.size(); ++i) {
        const QChar c = v.at(i);
        if (c == QLatin1Char('\\') && i + 1 < v.size()) {
            const QChar e = v.at(++i);
            cur += (e == QLatin1Char('n') || e == QLatin1Char('N')) ? QChar(QLatin1Char('\n')) : e;
        } else if (c == sep) {
            parts << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts << cur;
    return parts;
}

struct Property {
    QByteArray name;          // upper case, group removed
    QSet<QByteArray> types;   // upper case: HOME, CELL, FAX, ...
    QString value;            // decoded, escapes kept (structured values split later)
};

// "item1.TEL;TYPE=home,voice;CHARSET=UTF-8:..." into its parts.
bool parseProperty(const QByteArray& line, bool defaultUtf8, Property* p) {
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0) return false;
    const QList<QByteArray> head = line.left(colon).split(';');
    QByteArray name = head.first().trimmed().toUpper();
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0) name = name.mid(dot + 1);
    p->name = name;
    p->types.clear();
    bool qp = false;
    bool utf8 = defaultUtf8;
    for (qsizetype i = 1; i < head.size(); ++i) {
        const QByteArray param = head[i].trimmed();
        const qsizetype eq = param.indexOf('=');
        const QByteArray key = eq < 0 ? QByteArray("TYPE") : param.left(eq).trimmed().toUpper();
        QByteArray val = eq < 0 ? param : param.mid(eq + 1).trimmed();
        val.replace('"', "");
        if (key == "ENCODING" || (eq < 0 && val.toUpper() == "QUOTED-PRINTABLE")) {
            if (val.toUpper() == "QUOTED-PRINTABLE") qp = true;
        } else if (key == "CHARSET") {
            const QByteArray cs = val.toUpper();
            utf8 = cs == "UTF-8" || cs == "UTF8";
        } else if (key == "TYPE") {
            for (const QByteArray& t : val.split(',')) p->types.insert(t.trimmed().toUpper());
        } else if (key == "PREF") {
            p->types.insert("PREF");
        }
    }
    QByteArray raw = line.mid(colon + 1);
    if (qp) raw = decodeQuotedPrintable(raw);
    p->value = decodeValue(raw, utf8);
    return true;
}

struct CardState {
    TAddressRecord rec;
    bool haveAdr = false, homeAdr = false, haveEmail = false, flagsGiven = false;
    QString fullName, occasions;
};

void applyProperty(CardState& s, const Property& p) {
    TAddressRecord& r = s.rec;
    const QString v = p.value;
    if (p.name == "N") {
        const QStringList f = splitValue(v, QLatin1Char(';'));
        r.Last = clean(f.value(0));
        r.First = clean(f.value(1));
    } else if (p.name == "FN") {
        s.fullName = clean(splitValue(v, QLatin1Char(';')).join(QLatin1Char(' ')));
    } else if (p.name == "ADR") {
        const bool home = p.types.contains("HOME");
        if (s.haveAdr && (s.homeAdr || !home)) return;
        const QStringList f = splitValue(v, QLatin1Char(';'));
        QString street = f.value(2).trimmed(), street2 = f.value(1).trimmed();
        const qsizetype br = street.indexOf(QLatin1Char('\n'));
        if (br >= 0) {  // a street of two lines: the second goes to the second street line
            if (street2.isEmpty()) street2 = street.mid(br + 1);
            street = street.left(br);
        }
        if (street.isEmpty() && street2.isEmpty() && !f.value(0).trimmed().isEmpty())
            street = f.value(0).trimmed();  // only a post office box
        r.Street = clean(street);
        r.Street2 = clean(street2);
        r.City = clean(f.value(3));
        r.State = clean(f.value(4));
        r.Zip = clean(f.value(5));
        r.Country = clean(f.value(6));
        s.haveAdr = true;
        s.homeAdr = home;
    } else if (p.name == "EMAIL") {
        if (!s.haveEmail) r.email = clean(splitValue(v, QLatin1Char(';')).value(0));
        s.haveEmail = !r.email.isEmpty();
    } else if (p.name == "TEL") {
        QString number = clean(splitValue(v, QLatin1Char(';')).value(0));
        if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) number = number.mid(4);
        QString* into = p.types.contains("CELL") ? &r.mobile
                        : p.types.contains("FAX") ? &r.fax
                                                  : &r.phone;
        // Of several plain numbers a home one wins over a work one.
        if (into == &r.phone && !r.phone.isEmpty() && p.types.contains("HOME") && !p.types.contains("WORK"))
            *into = number;
        else if (into->isEmpty())
            *into = number;
    } else if (p.name == "BDAY") {
        if (const QDate d = parseDate(v); d.isValid()) {
            r.Birthdate = d;
            r.Birthday = true;
        }
    } else if (p.name == "ANNIVERSARY" || p.name == "X-ANNIVERSARY" || p.name == "X-MS-ANNIVERSARY" ||
               p.name == "X-EVOLUTION-ANNIVERSARY") {
        if (const QDate d = parseDate(v); d.isValid()) {
            r.Annavdate = d;
            r.Annav = true;
        }
    } else if (p.name == "X-MERROWBY-OTHER1" || p.name == "X-MERROWBY-OTHER2") {
        if (const QDate d = parseDate(v); d.isValid()) {
            const bool one = p.name.endsWith('1');
            (one ? r.Other1Date : r.Other2Date) = d;
            (one ? r.Other1 : r.Other2) = true;
        }
    } else if (p.name == "X-MERROWBY-OCCASIONS") {
        s.occasions = v;
        s.flagsGiven = true;
    }
}

TAddressRecord finishCard(CardState& s) {
    TAddressRecord r = s.rec;
    if (r.Last.isEmpty() && !s.fullName.isEmpty()) {
        TAddressRecord named;
        splitFullName(s.fullName, named);
        r.Last = named.Last;
        if (r.First.isEmpty()) r.First = named.First;
    }
    // The program's own export: the flags are as written, whatever dates there are.
    if (s.flagsGiven) setFlagsFrom(r, s.occasions);
    return r;
}

}  // namespace

ContactParse ParseVCards(const QByteArray& bytes, bool defaultUtf8) {
    ContactParse out;
    out.format = ContactFormat::VCard;
    int depth = 0;
    int lineNo = 0, beginLine = 0;
    bool v21 = false;
    CardState card;
    QByteArray pending;
    int pendingLine = 0;
    bool sawCard = false;

    auto isQp = [](const QByteArray& l) {
        const qsizetype colon = l.indexOf(':');
        return colon > 0 && l.left(colon).toUpper().contains("QUOTED-PRINTABLE");
    };
    // Handles one unfolded line; false when the file cannot be read on.
    auto handle = [&](const QByteArray& line, int at) -> bool {
        const QByteArray t = line.trimmed();
        if (t.isEmpty()) return true;
        const QByteArray up = t.toUpper();
        if (up == "BEGIN:VCARD") {
            if (depth++ == 0) {
                card = CardState();
                beginLine = at;
                v21 = false;
                sawCard = true;
            }
            return true;
        }
        if (up == "END:VCARD") {
            if (depth == 0) {
                out.error = QStringLiteral("Line %1 ends a card that was never begun.").arg(at);
                return false;
            }
            if (--depth == 0) out.contacts.push_back(finishCard(card));
            return true;
        }
        if (depth != 1) return true;  // outside a card, or a card inside a card (2.1 AGENT)
        Property p;
        if (!parseProperty(line, defaultUtf8, &p)) return true;
        if (p.name == "VERSION") v21 = p.value.trimmed() == QLatin1String("2.1");
        else applyProperty(card, p);
        return true;
    };

    qsizetype pos = 0;
    const qsizetype n = bytes.size();
    bool ok = true;
    while (ok && pos <= n) {
        qsizetype end = pos;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        const QByteArray phys = bytes.mid(pos, end - pos);
        ++lineNo;
        if (end < n && bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n') ++end;
        pos = end + 1;
        if (!pending.isEmpty() && isQp(pending) && pending.endsWith('=')) {
            pending.chop(1);  // quoted-printable soft line break
            pending += phys;
            continue;
        }
        if (!pending.isEmpty() && !phys.isEmpty() && (phys[0] == ' ' || phys[0] == '\t')) {
            pending += v21 ? phys : phys.mid(1);
            continue;
        }
        if (!pending.isEmpty()) ok = handle(pending, pendingLine);
        pending = phys;
        pendingLine = lineNo;
    }
    if (ok && !pending.isEmpty()) ok = handle(pending, pendingLine);
    if (!ok) {
        out.contacts.clear();
        return out;
    }
    if (depth > 0) {
        out.contacts.clear();
        out.error = QStringLiteral("The card begun on line %1 has no END:VCARD; the file looks cut "
                                   "short, nothing was imported.")
                        .arg(beginLine);
    } else if (!sawCard) {
        out.error = QStringLiteral("The file holds no BEGIN:VCARD.");
    }
    return out;
}

// --- header rows ------------------------------------------------------------------------------

namespace {

enum class Col {
    First, Last, FullName, Street, Street2, City, State, Zip, Country, Email, Phone, Fax, Mobile,
    Birthday, Anniversary, Other1, Other2, Occasions, BirthYear, BirthMonth, BirthDayOfMonth,
    TypedPhoneValue, TypedPhoneType
};

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
    // business address
    {"businessstreet", Col::Street, 1}, {"workaddress", Col::Street, 1},
    {"businessstreet2", Col::Street2, 1}, {"workaddress2", Col::Street2, 1},
    {"businesscity", Col::City, 1}, {"workcity", Col::City, 1},
    {"businessstate", Col::State, 1}, {"workstate", Col::State, 1},
    {"businesspostalcode", Col::Zip, 1}, {"workzipcode", Col::Zip, 1},
    {"businesscountryregion", Col::Country, 1}, {"workcountry", Col::Country, 1},
    // other address (Outlook)
    {"otherstreet", Col::Street, 2}, {"otherstreet2", Col::Street2, 2},
    {"othercity", Col::City, 2}, {"otherstate", Col::State, 2},
    {"otherpostalcode", Col::Zip, 2}, {"othercountryregion", Col::Country, 2},
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

struct Mapped {
    int column;  // index in the record
    Col col;
    int group;
    int priority;
    int pair;    // typed phones: the number N of "Phone N - Value" / "Phone N - Type"
};

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
        if (t && t->isEmpty()) *t = cell(m->column);
    }
    for (Col c : {Col::First, Col::Last, Col::Street, Col::Street2, Col::City, Col::State, Col::Zip,
                  Col::Country, Col::Email, Col::Phone, Col::Fax, Col::Mobile})
        *textField(r, c) = *textField(best, c);
    for (const auto& [n, vt] : typedPhones) {
        if (vt.first.isEmpty()) continue;
        const QString type = vt.second.toLower();
        QString* into = type.contains(QLatin1String("mobile")) || type.contains(QLatin1String("cell")) ? &r.mobile
                        : type.contains(QLatin1String("fax"))                                            ? &r.fax
                                                                                                         : &r.phone;
        if (into->isEmpty()) *into = vt.first.section(QLatin1String(" ::: "), 0, 0);
    }
    if (!birthMonth.isEmpty() && !birthDay.isEmpty()) {
        const int y = birthYear.isEmpty() ? 1904 : birthYear.toInt();
        if (const QDate d(y, birthMonth.toInt(), birthDay.toInt()); d.isValid() && d > ZeroDate)
            r.Birthdate = d, r.Birthday = true;
    }
    if (r.Last.isEmpty() && !fullName.isEmpty()) {
        TAddressRecord named;
        splitFullName(fullName, named);
        r.Last = named.Last;
        if (r.First.isEmpty()) r.First = named.First;
    }
    for (const Mapped& m : map)
        if (m.col == Col::Occasions) setFlagsFrom(r, cell(m.column));
    return r;
}

}  // namespace

ContactParse ParseHeaderCsv(const QString& text) {
    ContactParse out;
    out.format = ContactFormat::HeaderCsv;
    // The separator is the one under which one of the first lines reads as a header.
    const QString head = text.left(1 << 16);
    QChar sep;
    for (QChar s : {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')}) {
        const std::vector<QStringList> recs = SplitCsv(head, s);
        for (size_t i = 0; i < recs.size() && i < 10; ++i)
            if (looksLikeHeader(mapHeader(recs[i]))) {
                sep = s;
                break;
            }
        if (!sep.isNull()) break;
    }
    if (sep.isNull()) {
        out.error = QStringLiteral("No header row naming known columns was found in the first lines "
                                   "(such as First Name, Last Name, Street, City, E-mail); nothing was "
                                   "imported.");
        return out;
    }
    const std::vector<QStringList> recs = SplitCsv(text, sep);
    size_t h = 0;
    while (h < recs.size() && !looksLikeHeader(mapHeader(recs[h]))) ++h;
    if (h == recs.size()) {  // cannot happen: the header was seen in the head of the same text
        out.error = QStringLiteral("The header row could not be read again.");
        return out;
    }
    out.headerLine = int(h) + 1;
    const std::vector<Mapped> map = mapHeader(recs[h]);
    for (const Mapped& m : map)
        out.mapping << recs[h][m.column].trimmed() + QStringLiteral(" -> ") + QLatin1String(colName(m.col));
    out.contacts.reserve(recs.size() - h);
    for (size_t i = h + 1; i < recs.size(); ++i) out.contacts.push_back(csvContact(recs[i], map));
    return out;
}

// --- whole files ------------------------------------------------------------------------------

ContactParse ParseContacts(const QByteArray& bytes) {
    ContactParse out;
    out.encoding = DetectContactEncoding(bytes);
    const QString text = DecodeContactBytes(bytes, out.encoding);
    if (text.trimmed().isEmpty()) {
        out.error = QStringLiteral("The file is empty.");
        return out;
    }
    // Text has no NUL and few other control characters in its first 4,096 characters.
    const QStringView probe = QStringView(text).left(4096);
    int controls = 0;
    for (QChar c : probe) {
        if (c.unicode() == 0) {
            controls = int(probe.size());
            break;
        }
        if (c.unicode() < 0x20 && c != QLatin1Char('\r') && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            ++controls;
    }
    if (controls * 20 > probe.size()) {
        out.error = QStringLiteral("The file does not look like text (a vCard or CSV file).");
        return out;
    }
    const QString start = text.trimmed().left(11).toUpper();
    ContactParse parsed;
    if (start == QLatin1String("BEGIN:VCARD")) {
        const bool utf16 = out.encoding == ContactEncoding::Utf16Le || out.encoding == ContactEncoding::Utf16Be;
        const bool bom = out.encoding == ContactEncoding::Utf8Bom;
        parsed = ParseVCards(utf16 ? text.toUtf8() : bom ? bytes.mid(3) : bytes,
                             out.encoding != ContactEncoding::Windows1252);
    } else {
        parsed = ParseHeaderCsv(text);
    }
    parsed.encoding = out.encoding;
    return parsed;
}

ContactParse ParseContactsFile(const QString& path) {
    ContactParse out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        out.error = QStringLiteral("Unable to read ") + path + QStringLiteral(": ") + f.errorString();
        return out;
    }
    const qint64 size = f.size();
    if (size > kMostFileBytes) {
        out.error = QStringLiteral("%1 is larger than %2 MB; it is not read.").arg(path).arg(kMostFileBytes >> 20);
        return out;
    }
    const QByteArray bytes = f.read(size);
    if (bytes.size() != size || (!f.atEnd() && f.error() != QFileDevice::NoError)) {
        out.error = QStringLiteral("Unable to read ") + path + QStringLiteral(" to its end: ") + f.errorString();
        return out;
    }
    return ParseContacts(bytes);
}

// --- fitting into the table -------------------------------------------------------------------

int FitToAddrBook(TAddressRecord& rec) {
    static const std::map<QString, int> widths = [] {
        std::map<QString, int> w;
        for (const xbase::FieldSpec& f : DataTables().front().fields)
            if (f.type == 'C') w[QString::fromStdString(f.name)] = f.length;
        return w;
    }();
    int replaced = 0;
    const std::pair<const char*, QString*> fields[] = {
        {"First", &rec.First}, {"Last", &rec.Last},   {"Street", &rec.Street},   {"Street2", &rec.Street2},
        {"City", &rec.City},   {"State", &rec.State}, {"Zip", &rec.Zip},         {"Country", &rec.Country},
        {"email", &rec.email}, {"phone", &rec.phone}, {"fax", &rec.fax},         {"mobile", &rec.mobile}};
    for (const auto& [name, text] : fields) {
        const std::string utf8 = text->toStdString();
        std::string bytes = xbase::cp1252::fromUtf8(utf8);
        const auto before = std::count(utf8.begin(), utf8.end(), '?');
        replaced += int(std::count(bytes.begin(), bytes.end(), '?') - before);
        const auto w = widths.find(QLatin1String(name));
        if (w != widths.end() && bytes.size() > size_t(w->second)) bytes.resize(size_t(w->second));
        *text = QString::fromStdString(xbase::cp1252::toUtf8(bytes)).trimmed();
    }
    return replaced;
}

bool HasUsableLastName(const TAddressRecord& rec) {
    int n = 0;
    for (QChar c : rec.Last.trimmed())
        if (!c.isLowSurrogate()) ++n;
    return n >= 2;
}

QString DuplicateKey(const TAddressRecord& rec) {
    return rec.Last.trimmed().toUpper() + QChar(0x1F) + rec.First.trimmed().toUpper() + QChar(0x1F) +
           rec.Street.trimmed().toUpper();
}

// --- the run ----------------------------------------------------------------------------------

namespace {

// The duplicate keys of the rows of the open AddrBook; `error` says why the scan stopped short.
QSet<QString> BookKeys(QString& error) {
    QSet<QString> known;
    int rc = AddrBookTable->top();
    for (; rc == xbase::kOk; rc = AddrBookTable->skip()) {
        if (AddrBookTable->deleted()) continue;
        LoadAddrRec();
        known.insert(DuplicateKey(AddressRec));
    }
    if (rc == xbase::kError)
        error = QStringLiteral("Unable to read the address book.\r\n") +
                QString::fromStdString(LibHandle->lastError().toString());
    return known;
}

}  // namespace

int CountDuplicates(const ContactParse& parsed) {
    if (!OpenAddrBook()) {
        LibHandle->errorCode();
        return -1;
    }
    QString error;
    QSet<QString> known = BookKeys(error);
    const DataStatus closed = CloseTable(AddrBookTable);
    LibHandle->errorCode();
    if (!error.isEmpty() || !closed) return -1;
    int n = 0;
    for (TAddressRecord rec : parsed.contacts) {
        FitToAddrBook(rec);
        if (!HasUsableLastName(rec)) continue;
        const QString key = DuplicateKey(rec);
        if (known.contains(key))
            ++n;
        else
            known.insert(key);
    }
    return n;
}

DetectedImportOutcome RunDetectedImport(const QString& path, const DetectedImportOptions& options) {
    DetectedImportOutcome out;
    if (path.isEmpty() || !QFileInfo(path).isFile()) return out;
    out.fileFound = true;
    ContactParse parsed = ParseContactsFile(path);
    out.format = parsed.format;
    out.encoding = parsed.encoding;
    if (!parsed.error.isEmpty()) {
        out.error = parsed.error;
        return out;
    }

    const DataStatus opened = OpenAddrBook();
    if (!opened) {
        out.error = QStringLiteral("Unable to open file ") + opened.file + QStringLiteral("\r\n") + opened.detail;
        return out;
    }
    out.bookOpened = true;
    QSet<QString> known = BookKeys(out.error);
    ImportStore store;

    const int total = int(parsed.contacts.size());
    for (int i = 0; i < total && out.error.isEmpty(); ++i) {
        if (options.progress && !options.progress(i, total)) {
            out.cancelled = true;
            break;
        }
        TAddressRecord rec = parsed.contacts[size_t(i)];
        const int replaced = FitToAddrBook(rec);
        if (!HasUsableLastName(rec)) {
            ++out.withoutLastName;
            continue;
        }
        const QString key = DuplicateKey(rec);
        if (known.contains(key)) {
            if (out.duplicateNames.size() < 20)
                out.duplicateNames << (rec.First + QLatin1Char(' ') + rec.Last).trimmed();
            if (options.duplicates == DuplicatePolicy::Skip) {
                ++out.duplicatesSkipped;
                continue;
            }
            ++out.duplicatesAdded;
        }
        if (!store.add(rec)) break;
        known.insert(key);
        out.replacedCharacters += replaced;
    }
    if (options.progress && !out.cancelled && out.error.isEmpty()) (void)options.progress(total, total);

    // What is reported added is what the book holds: the names of the batches stored.
    if (!store.finish() && out.error.isEmpty()) out.error = store.stoppedText();
    out.added = store.stored();
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
    QString s = parts.join(QStringLiteral(", "));
    if (out.cancelled) s += QStringLiteral(" (cancelled; the names added so far stay)");
    return s;
}
