#include "core/import/ContactValues.h"

#include <QRegularExpression>
#include <QStringList>

#include "core/data/Records.h"
#include "xbase/Cp1252.h"

namespace contactread {

namespace {

QString fromWindows1252(const QByteArray& b) {
    return QString::fromStdString(xbase::cp1252::toUtf8(std::string_view(b.constData(), size_t(b.size()))));
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

QString decodeValue(const QByteArray& b, bool utf8) {
    return utf8 ? QString::fromUtf8(b) : fromWindows1252(b);
}

QString clean(QString s) {
    if (s.size() > kMostValueChars) s.truncate(kMostValueChars);
    for (QChar& c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char(' ');
    return s.trimmed();
}

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

void setFlagsFrom(TAddressRecord& rec, const QString& words) {
    for (const FlagName& f : kFlags) rec.*f.flag = false;
    for (const QString& w : words.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts))
        for (const FlagName& f : kFlags)
            if (w.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0) rec.*f.flag = true;
}

void splitStreet(QString& street, QString& street2) {
    qsizetype br = 0;
    while (br < street.size() && street.at(br) != QLatin1Char('\r') && street.at(br) != QLatin1Char('\n')) ++br;
    if (br == street.size()) return;
    const QString rest = clean(street.mid(br + 1));
    street = street.left(br);
    street2 = clean(rest + QLatin1Char(' ') + street2);
}

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

}  // namespace contactread
