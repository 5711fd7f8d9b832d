#include "gui/common/MaskField.h"

#include <QFocusEvent>
#include <QLocale>

namespace {
constexpr QChar kBlankChar = u'_';
}

MaskField::MaskField(const QString& mask, QWidget* parent) : QLineEdit(parent) {
    setInputMask(mask + QStringLiteral(";_"));
}

QString MaskField::fieldText() const {
    QString t = displayText();
    t.replace(kBlankChar, u' ');
    return t;
}

void MaskField::setFieldText(const QString& text) {
    // A blank is not valid input for a mask position, but the blank character is: handing it
    // over keeps every character at its place instead of shifting the rest left.
    QString t = text;
    t.replace(u' ', kBlankChar);
    setText(t);
}

void MaskField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    const auto reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
        reason == Qt::ShortcutFocusReason)
        selectAll();
}

QChar DecimalSeparator() {
    const QString p = QLocale().decimalPoint();
    return p.isEmpty() ? QChar(u'.') : p.at(0);
}

QString TrimControls(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && text.at(b).unicode() <= 32) ++b;
    while (e > b && text.at(e - 1).unicode() <= 32) --e;
    return text.mid(b, e - b);
}

bool TextToFloat(const QString& text, double* value) {
    const QString t = TrimControls(text);
    const QChar sep = DecimalSeparator();
    qsizetype i = 0;
    QString c;  // the number in C notation
    if (i < t.size() && (t.at(i) == u'+' || t.at(i) == u'-')) c += t.at(i++);
    int digits = 0;
    while (i < t.size() && t.at(i).isDigit() && t.at(i).unicode() < 128) {
        c += t.at(i++);
        ++digits;
    }
    if (i < t.size() && t.at(i) == sep) {
        c += u'.';
        ++i;
        while (i < t.size() && t.at(i).isDigit() && t.at(i).unicode() < 128) {
            c += t.at(i++);
            ++digits;
        }
    }
    if (digits == 0 || i != t.size()) return false;
    bool ok = false;
    const double v = c.toDouble(&ok);  // C locale
    if (!ok) return false;
    *value = v;
    return true;
}

bool TextToInt(const QString& text, int* value) {
    const QString t = TrimControls(text);
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (!ok) return false;
    *value = v;
    return true;
}

QString FloatConvertError(const QString& text) {
    return QStringLiteral("'") + text + QStringLiteral("' is not a valid floating point value");
}

QString IntConvertError(const QString& text) {
    return QStringLiteral("'") + text + QStringLiteral("' is not a valid integer value");
}
