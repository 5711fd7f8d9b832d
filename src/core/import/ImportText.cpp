#include "core/import/ImportText.h"

#include <QByteArray>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// What `raw` gives, after `head` (bytes read ahead of it) has been handed out.
struct AfterHead {
    std::string head;
    size_t at = 0;
    ByteSource raw;
    long long operator()(char* buf, size_t n) {
        if (at < head.size()) {
            const size_t k = std::min(n, head.size() - at);
            std::memcpy(buf, head.data() + at, k);
            at += k;
            return static_cast<long long>(k);
        }
        return raw(buf, n);
    }
};

// UTF-16 read in pieces and handed on as UTF-8.
struct Utf16AsUtf8 {
    struct State {
        ByteSource raw;
        QStringDecoder decoder;
        QByteArray out;
        qsizetype at = 0;
        bool ended = false;
    };
    std::shared_ptr<State> s;  // a ByteSource is copied; the decoding state is one

    long long operator()(char* buf, size_t n) {
        State& st = *s;
        while (st.at == st.out.size()) {
            if (st.ended) return 0;
            char in[1 << 15];
            const long long k = st.raw(in, sizeof in);
            if (k < 0) return -1;
            if (k == 0) {
                st.ended = true;  // an odd last byte is no character and is dropped
                return 0;
            }
            st.out = QString(st.decoder(QByteArrayView(in, k))).toUtf8();
            st.at = 0;
        }
        const size_t k = std::min(n, size_t(st.out.size() - st.at));
        std::memcpy(buf, st.out.constData() + st.at, k);
        st.at += qsizetype(k);
        return static_cast<long long>(k);
    }
};

}  // namespace

ByteSource PrependBytes(std::string head, ByteSource rest) {
    return AfterHead{std::move(head), 0, std::move(rest)};
}

ByteSource TextAfterMark(ByteSource raw, TextMark* mark) {
    std::string head;
    char b[3];
    while (head.size() < 3) {
        const long long k = raw(b, 3 - head.size());
        if (k < 0) {
            *mark = TextMark::None;
            return [](char*, size_t) -> long long { return -1; };
        }
        if (k == 0) break;
        head.append(b, size_t(k));
    }
    *mark = TextMark::None;
    if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        *mark = TextMark::Utf8;
        head.clear();
    } else if (head.compare(0, 2, "\xFF\xFE") == 0 || head.compare(0, 2, "\xFE\xFF") == 0) {
        const bool le = head[0] == '\xFF';
        *mark = le ? TextMark::Utf16Le : TextMark::Utf16Be;
        auto st = std::make_shared<Utf16AsUtf8::State>();
        st->raw = AfterHead{head.substr(2), 0, std::move(raw)};
        st->decoder = QStringDecoder(le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return Utf16AsUtf8{std::move(st)};
    }
    return AfterHead{std::move(head), 0, std::move(raw)};
}

bool ScanText(const ByteSource& raw, bool endMark, TextScan* scan) {
    *scan = TextScan();
    const ByteSource text = TextAfterMark(raw, &scan->mark);
    std::vector<unsigned char> buf(1 << 16);
    int need = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    bool valid = true;
    bool ended = false;  // past the end mark: only a NUL still counts
    for (;;) {
        const long long n = text(reinterpret_cast<char*>(buf.data()), buf.size());
        if (n < 0) return false;
        if (n == 0) break;
        for (long long i = 0; i < n; ++i) {
            const unsigned char b = buf[static_cast<size_t>(i)];
            if (b == 0) scan->nul = true;
            if (ended) continue;
            if (b == 26 && endMark) {
                ended = true;
                continue;
            }
            if (b > ' ') scan->solid = true;
            if (!valid) continue;
            if (need == 0) {
                if (b < 0x80) continue;
                lo = 0x80;
                hi = 0xBF;
                if (b >= 0xC2 && b <= 0xDF) {
                    need = 1;
                } else if (b == 0xE0) {
                    need = 2;
                    lo = 0xA0;
                } else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) {
                    need = 2;
                } else if (b == 0xED) {
                    need = 2;
                    hi = 0x9F;  // no surrogates
                } else if (b == 0xF0) {
                    need = 3;
                    lo = 0x90;
                } else if (b >= 0xF1 && b <= 0xF3) {
                    need = 3;
                } else if (b == 0xF4) {
                    need = 3;
                    hi = 0x8F;
                } else {
                    valid = false;
                }
            } else {
                if (b < lo || b > hi) {
                    valid = false;
                    continue;
                }
                lo = 0x80;
                hi = 0xBF;
                --need;
            }
        }
        if (scan->nul && (ended || !valid)) break;  // nothing left to learn
    }
    scan->validUtf8 = valid && need == 0;
    return true;
}

QString NotTextMessage(const QString& path) {
    return path + QStringLiteral(" is not a text file (it holds NUL bytes); nothing was imported.");
}
