#include "core/import/ContentLine.h"

void AppendEscaped(QByteArray& out, QByteArrayView text) {
    qsizetype from = 0;  // the first byte not copied yet
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' && c != ',' && c != ';' && c != '\n') continue;
        out.append(text.sliced(from, i - from));
        if (c == '\n') {
            out.append("\\n");
        } else {
            out.append('\\');
            out.append(c);
        }
        from = i + 1;
    }
    out.append(text.sliced(from));
}

void AppendContentLine(QByteArray& out, QByteArrayView b) {
    qsizetype start = 0, limit = 75;
    while (b.size() - start > limit) {
        qsizetype cut = start + limit;
        while (cut > start && (static_cast<unsigned char>(b[cut]) & 0xC0) == 0x80) --cut;
        out.append(b.sliced(start, cut - start));
        out += "\r\n ";
        start = cut;
        limit = 74;  // the blank counts
    }
    out.append(b.sliced(start));
    out += "\r\n";
}

void AppendValueLine(QByteArray& out, QByteArray& line, const char* head, const QString& value) {
    line = head;
    AppendEscaped(line, value.toUtf8());
    AppendContentLine(out, line);
}
