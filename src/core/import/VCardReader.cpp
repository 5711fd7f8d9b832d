#include "core/import/VCardReader.h"

#include <QList>
#include <QSet>
#include <QStringList>

namespace contactread {

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

}  // namespace

bool VCardReader::line(const QByteArray& phys) {
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

bool VCardReader::finish() {
    if (!pending_.isEmpty() && !handle(pending_, pendingLine_)) return false;
    pending_.clear();
    if (depth_ > 0) {
        status_ = RunStatus::failure(QStringLiteral("The card begun on line %1 has no END:VCARD; the file looks cut "
                                "short, nothing was imported.")
                     .arg(beginLine_));
        return false;
    }
    if (!sawCard_) {
        status_ = RunStatus::failure(QStringLiteral("The file holds no BEGIN:VCARD."));
        return false;
    }
    return true;
}

bool VCardReader::isQp(const QByteArray& l) {
    const qsizetype colon = l.indexOf(':');
    return colon > 0 && l.left(colon).toUpper().contains("QUOTED-PRINTABLE");
}

void VCardReader::append(const QByteArray& more) {
    if (pending_.size() < kMostLineBytes) pending_ += more.left(kMostLineBytes - pending_.size());
}

bool VCardReader::handle(const QByteArray& line, int at) {
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
            status_ = RunStatus::failure(QStringLiteral("Line %1 ends a card that was never begun.").arg(at));
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

}  // namespace contactread
