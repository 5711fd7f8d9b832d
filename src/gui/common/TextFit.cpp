#include "gui/common/TextFit.h"

#include <QSet>
#include <string>

#include "xbase/Cp1252.h"

namespace {

// Every code point that some Windows-1252 byte stands for.
const QSet<char32_t>& storable() {
    static const QSet<char32_t> set = [] {
        QSet<char32_t> s;
        for (int b = 0; b < 256; ++b) {
            const std::string utf8 = xbase::cp1252::toUtf8(std::string(1, static_cast<char>(b)));
            for (char32_t c : QString::fromStdString(utf8).toUcs4()) s.insert(c);
        }
        return s;
    }();
    return set;
}

}  // namespace

QString UnstorableCharacters(const QString& text) {
    QList<char32_t> found;
    for (char32_t c : text.toUcs4())
        if (!storable().contains(c) && !found.contains(c)) found.append(c);
    return QString::fromUcs4(found.constData(), found.size());
}

QString ReplacedCharactersText(const QString& characters) {
    QStringList each;
    for (char32_t c : characters.toUcs4()) each.append(QString::fromUcs4(&c, 1));
    return QStringLiteral("Stored with '?' in place of characters the data files cannot hold: ") +
           each.join(u' ');
}

QValidator::State StorableTextValidator::validate(QString& input, int&) const {
    return UnstorableCharacters(input).isEmpty() ? Acceptable : Invalid;
}
