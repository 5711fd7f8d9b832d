#include "core/import/ContactReader.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "core/data/Records.h"
#include "core/import/ImportText.h"
#include "xbase/Cp1252.h"

namespace {

// Of a line or field longer than this only its start is kept (no column is wider than 60
// characters; a photo folded into a card or a runaway quote must not fill the memory).
constexpr qsizetype kMostLineBytes = qsizetype(1) << 20;
constexpr qsizetype kMostFieldBytes = 4096;
constexpr qsizetype kMostFields = 4096;
// How much of the text the format and the CSV separator are told from.
constexpr size_t kHeadBytes = size_t(1) << 16;
// Pieces the file is read in.
constexpr size_t kChunkBytes = size_t(1) << 16;

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
// year, which is stored in the year that stands for "not known" (kYearUnknown, dbFiles.h).
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
    else if ((m = noYear.match(s)).hasMatch()) d = QDate(kYearUnknown, n(1), n(2));
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

// The first of several values that Google writes into one cell ("a@x ::: b@y").
QString firstValue(const QString& v) {
    const qsizetype at = v.indexOf(QLatin1String(":::"));
    return at < 0 ? v : v.left(at).trimmed();
}

// A street of several lines: the first line stays the street, the others go to the second
// street line, before what it held.
void splitStreet(QString& street, QString& street2) {
    qsizetype br = 0;
    while (br < street.size() && street.at(br) != QLatin1Char('\r') && street.at(br) != QLatin1Char('\n')) ++br;
    if (br == street.size()) return;
    const QString rest = clean(street.mid(br + 1));
    street = street.left(br);
    street2 = clean(rest + QLatin1Char(' ') + street2);
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

// A contact without a family name takes it from the full name. A full name that is the given
// name alone ("Cher") is one name: it is filed as the last name, as the address index sorts and
// the label prints it, and the first name stays empty.
void lastFromFullName(TAddressRecord& r, const QString& fullName) {
    if (!r.Last.isEmpty() || fullName.isEmpty()) return;
    const QString full = fullName.simplified();
    if (!r.First.isEmpty() && full.compare(r.First.simplified(), Qt::CaseInsensitive) == 0) {
        r.Last = full;
        r.First.clear();
        return;
    }
    TAddressRecord named;
    splitFullName(full, named);
    r.Last = named.Last;
    if (r.First.isEmpty()) r.First = named.First;
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
        splitStreet(street, street2);
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
    lastFromFullName(r, s.fullName);
    // The program's own export: the flags are as written, whatever dates there are.
    if (s.flagsGiven) setFlagsFrom(r, s.occasions);
    return r;
}


// Reads cards from the lines of a file, one physical line at a time, and hands on each card
// as it closes.
class VCardReader {
public:
    // `full` false: the cards are only counted (onContact gets an empty record) and their
    // nesting checked; their properties are not read.
    VCardReader(bool defaultUtf8, bool full, std::function<bool(TAddressRecord&)> onContact)
        : defaultUtf8_(defaultUtf8), full_(full), onContact_(std::move(onContact)) {}

    // One physical line without its ending. False: stop (error() says why, or onContact said so).
    bool line(const QByteArray& phys) {
        ++lineNo_;
        if (!pending_.isEmpty() && pending_.endsWith('=') && isQp(pending_)) {
            pending_.chop(1);  // quoted-printable soft line break
            append(phys);
            return true;
        }
        if (!pending_.isEmpty() && !phys.isEmpty() && (phys[0] == ' ' || phys[0] == '\t')) {
            append(v21_ ? phys : phys.mid(1));
            return true;
        }
        if (!pending_.isEmpty() && !handle(pending_, pendingLine_)) return false;
        pending_ = phys;
        pendingLine_ = lineNo_;
        return true;
    }

    // The end of the file. False when the cards do not close, or none was found.
    bool finish() {
        if (!pending_.isEmpty() && !handle(pending_, pendingLine_)) return false;
        pending_.clear();
        if (depth_ > 0) {
            error_ = QStringLiteral("The card begun on line %1 has no END:VCARD; the file looks cut "
                                    "short, nothing was imported.")
                         .arg(beginLine_);
            return false;
        }
        if (!sawCard_) {
            error_ = QStringLiteral("The file holds no BEGIN:VCARD.");
            return false;
        }
        return true;
    }
    const QString& error() const { return error_; }

private:
    static bool isQp(const QByteArray& l) {
        const qsizetype colon = l.indexOf(':');
        return colon > 0 && l.left(colon).toUpper().contains("QUOTED-PRINTABLE");
    }
    void append(const QByteArray& more) {
        if (pending_.size() < kMostLineBytes) pending_ += more.left(kMostLineBytes - pending_.size());
    }
    // One unfolded line; false when the file cannot be read on.
    bool handle(const QByteArray& line, int at) {
        const QByteArray t = line.trimmed();
        if (t.isEmpty()) return true;
        const QByteArray up = t.size() == 11 || t.size() == 9 ? t.toUpper() : QByteArray();
        if (up == "BEGIN:VCARD") {
            if (depth_++ == 0) {
                card_ = CardState();
                beginLine_ = at;
                v21_ = false;
                sawCard_ = true;
            }
            return true;
        }
        if (up == "END:VCARD") {
            if (depth_ == 0) {
                error_ = QStringLiteral("Line %1 ends a card that was never begun.").arg(at);
                return false;
            }
            if (--depth_ == 0) {
                TAddressRecord r = full_ ? finishCard(card_) : TAddressRecord();
                return onContact_(r);
            }
            return true;
        }
        if (depth_ != 1 || !full_) return true;  // outside a card, or a card inside a card (2.1 AGENT)
        Property p;
        if (!parseProperty(line, defaultUtf8_, &p)) return true;
        if (p.name == "VERSION") v21_ = p.value.trimmed() == QLatin1String("2.1");
        else applyProperty(card_, p);
        return true;
    }

    bool defaultUtf8_, full_;
    std::function<bool(TAddressRecord&)> onContact_;
    int depth_ = 0, lineNo_ = 0, beginLine_ = 0, pendingLine_ = 0;
    bool v21_ = false, sawCard_ = false;
    CardState card_;
    QByteArray pending_;
    QString error_;
};

// Cuts bytes into physical lines at CR, LF or CR LF; a line longer than kMostLineBytes keeps
// its start. `onLine` returns false to stop.
class LineCutter {
public:
    template <class F>
    bool feed(const char* p, size_t n, F&& onLine) {
        for (size_t i = 0; i < n;) {
            if (afterCr_ && p[i] == '\n') {  // the LF of a CR LF pair
                afterCr_ = false;
                ++i;
                continue;
            }
            afterCr_ = false;
            size_t e = i;
            while (e < n && p[e] != '\r' && p[e] != '\n') ++e;
            if (line_.size() < kMostLineBytes)
                line_.append(p + i, qsizetype(std::min<size_t>(e - i, size_t(kMostLineBytes - line_.size()))));
            if (e == n) break;
            afterCr_ = p[e] == '\r';
            i = e + 1;
            if (!onLine(line_)) return false;
            line_.clear();
        }
        return true;
    }
    // The last line, also when it is empty (a file ending in a line break).
    template <class F>
    bool finish(F&& onLine) {
        const bool go = onLine(line_);
        line_.clear();
        return go;
    }

private:
    QByteArray line_;
    bool afterCr_ = false;
};

}  // namespace

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


// Records of comma-separated bytes under RFC 4180: a field in double quotes may hold the
// separator, line breaks and "" for one quote; empty lines give no record. The separator and the
// quote are ASCII, so UTF-8 and Windows-1252 split alike before decoding. A field keeps its first
// kMostFieldBytes bytes, a record its first kMostFields fields.
class CsvRecords {
public:
    explicit CsvRecords(char sep) : sep_(sep) {}

    // `onRecord(const QList<QByteArray>&)` returns false to stop; feed then returns false.
    template <class F>
    bool feed(const char* p, size_t n, F&& onRecord) {
        for (size_t i = 0; i < n; ++i) {
            const char c = p[i];
            if (quoteSeen_) {  // a quote inside quotes: "" is one quote, anything else closes
                quoteSeen_ = false;
                if (c == '"') {
                    add(c);
                    continue;
                }
                quoted_ = false;
            }
            if (afterCr_) {
                afterCr_ = false;
                if (c == '\n') continue;
            }
            if (quoted_) {
                if (c == '"') quoteSeen_ = true;
                else add(c);
            } else if (c == '"') {
                quoted_ = true;
                any_ = true;
            } else if (c == sep_) {
                endField();
                any_ = true;
            } else if (c == '\r' || c == '\n') {
                afterCr_ = c == '\r';
                if (!endRecord(onRecord)) return false;
            } else {
                add(c);
            }
        }
        return true;
    }
    template <class F>
    bool finish(F&& onRecord) {
        quoteSeen_ = quoted_ = false;
        return endRecord(onRecord);
    }

private:
    void add(char c) {
        if (field_.size() < kMostFieldBytes) field_ += c;
    }
    void endField() {
        if (rec_.size() < kMostFields) rec_ << field_;
        field_.clear();
    }
    template <class F>
    bool endRecord(F&& onRecord) {
        bool go = true;
        if (any_ || !field_.isEmpty() || !rec_.isEmpty()) {
            endField();
            go = onRecord(std::as_const(rec_));
        }
        rec_.clear();
        field_.clear();
        any_ = false;
        return go;
    }

    char sep_;
    QList<QByteArray> rec_;
    QByteArray field_;
    bool quoted_ = false, quoteSeen_ = false, any_ = false, afterCr_ = false;
};

QStringList decodeRecord(const QList<QByteArray>& rec, bool utf8) {
    QStringList out;
    out.reserve(rec.size());
    for (const QByteArray& f : rec) out << decodeValue(f, utf8);
    return out;
}

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

// The records of a header file: those before the header are passed over, the header read into
// the mapping, each after it turned into a contact.
class HeaderCsvReader {
public:
    // `full` false: the rows after the header are only counted (onContact gets an empty record).
    HeaderCsvReader(char sep, bool utf8, bool full, ContactParse& out,
                    std::function<bool(TAddressRecord&)> onContact)
        : split_(sep), utf8_(utf8), full_(full), out_(out), onContact_(std::move(onContact)) {}

    bool feed(const char* p, size_t n) {
        return split_.feed(p, n, [this](const QList<QByteArray>& rec) { return record(rec); });
    }
    bool finish() {
        if (!split_.finish([this](const QList<QByteArray>& rec) { return record(rec); })) return false;
        if (out_.headerLine == 0) {  // cannot happen: the header was seen in the head of the same text
            out_.error = QStringLiteral("The header row could not be read again.");
            return false;
        }
        return true;
    }

private:
    bool record(const QList<QByteArray>& rec) {
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

    CsvRecords split_;
    bool utf8_, full_;
    ContactParse& out_;
    std::function<bool(TAddressRecord&)> onContact_;
    std::vector<Mapped> map_;
    int records_ = 0;
};

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
        out.error = QStringLiteral("The file could not be read.");
        return out;
    }
    out.encoding = encodingOf(scan);
    if (!scan.solid) {
        out.error = QStringLiteral("The file is empty.");
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
            out.error = QStringLiteral("The file could not be read.");
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
        out.error = QStringLiteral("The file does not look like text (a vCard or CSV file).");
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
            out.error = QStringLiteral("No header row naming known columns was found in the first lines "
                                       "(such as First Name, Last Name, Street, City, E-mail); nothing was "
                                       "imported.");
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
            out.error = QStringLiteral("The file could not be read to its end.");
            break;
        }
        if (k == 0) {
            going = finish();
            break;
        }
        going = feed(buf.data(), size_t(k));
    }
    if (out.error.isEmpty() && !cards.error().isEmpty()) out.error = cards.error();
    if (!out.error.isEmpty()) out.contacts.clear();
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
        out.error = QStringLiteral("Unable to read ") + path + QStringLiteral(": ") + f.errorString();
        return out;
    }
    const ByteSource raw = [&f](char* buf, size_t n) -> long long { return f.read(buf, qint64(n)); };
    ContactParse out = readContacts(raw, [&f] { return f.seek(0); }, f.size(), options);
    if (out.error.startsWith(QLatin1String("The file could not be read")))
        out.error = QStringLiteral("Unable to read ") + path + QStringLiteral(" to its end: ") + f.errorString();
    return out;
}
