#include "app/Fitting.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <algorithm>

namespace {

// The caption broken at blanks into lines no wider than `room`; empty when a word is wider.
QStringList wrapped(const QFontMetrics& fm, const QString& text, int room) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString joined = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (fm.horizontalAdvance(joined) <= room) {
            line = joined;
            continue;
        }
        if (fm.horizontalAdvance(word) > room) return {};
        if (!line.isEmpty()) lines.append(line);
        line = word;
    }
    if (!line.isEmpty()) lines.append(line);
    return lines;
}

}  // namespace

void FitButtonText(QAbstractButton* b, const QString& text, int designedWidth, int maxWidth) {
    b->setText(text);
    const int wanted = b->sizeHint().width();
    const int width = std::max(designedWidth, std::min(wanted, maxWidth));
    if (wanted <= width) {
        b->setToolTip(QString());
    } else {
        // What the indicator, icon and margins take beside the text stays; the text gives way.
        const QFontMetrics fm(b->font());
        const int decoration = wanted - fm.horizontalAdvance(text);
        b->setText(fm.elidedText(text, Qt::ElideRight, std::max(0, width - decoration)));
        b->setToolTip(text);
    }
    b->resize(width, b->height());
}

void FitCaption(QLabel* l, const QString& text, int left, int right, int rowY, int rowHeight,
                bool growDown) {
    const QFontMetrics fm(l->font());
    const int room = std::max(1, right - left);
    QString shown = text;
    QString tip;
    if (fm.horizontalAdvance(text) > room) {
        const QStringList lines = wrapped(fm, text, room);
        if (lines.isEmpty()) {
            shown = fm.elidedText(text, Qt::ElideRight, room);
            tip = text;
        } else {
            shown = lines.join(QLatin1Char('\n'));
        }
    }
    const int lineCount = static_cast<int>(shown.count(QLatin1Char('\n'))) + 1;
    l->setWordWrap(false);
    l->setText(shown);
    l->setToolTip(tip);
    if (lineCount == 1) {
        l->setGeometry(left, rowY, right - left, rowHeight);
        return;
    }
    const int line = fm.lineSpacing();
    const int firstTop = rowY + (rowHeight - line) / 2;  // a line centred on the row
    const int top = growDown ? firstTop : firstTop - (lineCount - 1) * line;
    l->setGeometry(left, top, right - left, lineCount * line);
}

bool ShowsWholeText(const QAbstractButton* b, const QString& text) {
    if (b->text() != text) return b->toolTip() == text;
    return b->sizeHint().width() <= b->width();
}

bool ShowsWholeText(const QLabel* l, const QString& text) {
    if (QString(l->text()).replace(QLatin1Char('\n'), QLatin1Char(' ')) != text)
        return l->toolTip() == text;
    const QFontMetrics fm(l->font());
    const QRect need = fm.boundingRect(QRect(0, 0, 10000, 10000), 0, l->text());
    return need.width() <= l->width() && need.height() <= l->height();
}
