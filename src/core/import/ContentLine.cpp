#include "core/import/ContentLine.h"

QString EscapeText(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        if (c == QLatin1Char('\\') || c == QLatin1Char(',') || c == QLatin1Char(';')) out += QLatin1Char('\\');
        if (c == QLatin1Char('\n')) {
            out += QStringLiteral("\\n");
            continue;
        }
        out += c;
    }
    return out;
}

void AppendContentLine(QByteArray& out, const QString& line) {
    const QByteArray b = line.toUtf8();
    qsizetype start = 0, limit = 75;
    while (b.size() - start > limit) {
        qsizetype cut = start + limit;
        while (cut > start && (static_cast<unsigned char>(b[cut]) & 0xC0) == 0x80) --cut;
        out += b.mid(start, cut - start);
        out += "\r\n ";
        start = cut;
        limit = 74;  // the blank counts
    }
    out += b.mid(start);
    out += "\r\n";
}
