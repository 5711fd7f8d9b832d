#include "gui/common/Fitting.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QTextDocument>
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

QString ElideAtBlanks(const QFontMetrics& fm, const QString& text, int room, Qt::TextElideMode mode) {
    if (fm.horizontalAdvance(text) <= room) return text;
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString mark(QChar(0x2026));
    // Whole words from the start (and, in the middle mode, from the end, taken in turn) for as
    // long as they fit with the ellipsis between them.
    QStringList head, tail;
    const auto shown = [&](const QStringList& h, const QStringList& t) {
        if (mode != Qt::ElideMiddle) return h.join(QLatin1Char(' ')) + mark;
        return (h.join(QLatin1Char(' ')) + QLatin1Char(' ') + mark + QLatin1Char(' ') + t.join(QLatin1Char(' '))).trimmed();
    };
    qsizetype first = 0, last = words.size() - 1;
    for (bool grew = true; grew && first <= last;) {
        grew = false;
        if (fm.horizontalAdvance(shown(head + QStringList{words[first]}, tail)) <= room) {
            head << words[first++];
            grew = true;
        }
        if (mode == Qt::ElideMiddle && first <= last &&
            fm.horizontalAdvance(shown(head, QStringList{words[last]} + tail)) <= room) {
            tail.prepend(words[last--]);
            grew = true;
        }
    }
    // Not even one whole word fits: the word is cut where the room ends.
    if (head.isEmpty() && tail.isEmpty()) return fm.elidedText(text, mode, room);
    return shown(head, tail);
}

namespace {

constexpr const char* kElides = "elidesCurrentEntry";

// The room for the current entry in the closed box: its field, less the pixel the style keeps
// clear at either end and what a line edit keeps on its own.
int fieldRoom(const QComboBox* box) {
    QStyleOptionComboBox opt;
    opt.initFrom(box);
    opt.editable = box->isEditable();
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box);
    int room = field.width() - 2;
    if (box->isEditable()) room -= 2;
    if (!box->itemIcon(box->currentIndex()).isNull()) room -= box->iconSize().width() + 4;
    return std::max(0, room);
}

// Draws a drop-down's current entry as ShownComboText gives it.
class ElidingComboStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* box = qobject_cast<const QComboBox*>(widget);
        const auto* cb = qstyleoption_cast<const QStyleOptionComboBox*>(option);
        if (element == CE_ComboBoxLabel && box && cb && !cb->editable) {
            QStyleOptionComboBox shown(*cb);
            shown.currentText = ShownComboText(box);
            QProxyStyle::drawControl(element, &shown, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// The typed text of a drop-down, elided while the box does not have the focus; with the focus
// the line edit shows and edits the whole text as usual.
class ElidingLineText : public QObject {
public:
    explicit ElidingLineText(QComboBox* box) : QObject(box), box_(box) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (event->type() != QEvent::Paint || !edit || edit->hasFocus()) return false;
        const QString shown = ShownComboText(box_);
        if (shown == edit->text()) return false;
        QPainter p(edit);
        p.fillRect(edit->rect(), edit->palette().brush(QPalette::Base));
        p.setPen(edit->palette().color(edit->isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
        const QRect room = edit->rect().marginsRemoved(edit->textMargins()).adjusted(2, 0, -2, 0);
        p.drawText(room, Qt::AlignLeft | Qt::AlignVCenter, shown);
        return true;
    }

private:
    QComboBox* box_;
};

QStyle* elidingComboStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new ElidingComboStyle;
        style->setParent(qApp);
    }
    return style;
}

void tipIfCut(QComboBox* box) {
    const QString text = box->currentText();
    box->setToolTip(ShownComboText(box) != text ? text : QString());
    if (box->lineEdit()) box->lineEdit()->update();
}

// Shows entries without the blanks that pad them.
class UnpaddedTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override {
        QString text = QStyledItemDelegate::displayText(value, locale);
        qsizetype end = text.size();
        while (end > 0 && text.at(end - 1) == QLatin1Char(' ')) --end;
        text.truncate(end);
        return text;
    }
};

// Shows a list's entries with their runs of blanks as one, elided between words in the middle
// when the list is too narrow for them.
class CompactTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override {
        return QStyledItemDelegate::displayText(value, locale).simplified();
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QStyle* style = option->widget ? option->widget->style() : QApplication::style();
        const int margin = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option->widget) + 1);
        option->text = ElideAtBlanks(option->fontMetrics, option->text, option->rect.width() - margin, Qt::ElideMiddle);
    }
};

}  // namespace

QString ShownComboText(const QComboBox* box) {
    const QString text = box->currentText();
    if (!box->property(kElides).toBool()) return text;
    return ElideAtBlanks(QFontMetrics(box->font()), text, fieldRoom(box), Qt::ElideRight);
}

void FitComboEntries(QComboBox* box) {
    QAbstractItemView* list = box->view();
    int widest = 0;
    // The list may not have taken the box's font yet; measure in both.
    const QFontMetrics fm(box->font());
    for (int i = 0; i < box->count(); ++i)
        widest = std::max({widest, list->sizeHintForIndex(box->model()->index(i, 0)).width(),
                           fm.horizontalAdvance(box->itemText(i)) + 8});
    list->setMinimumWidth(widest + 2 * list->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    if (!box->property(kElides).toBool()) {
        box->setProperty(kElides, true);
        if (box->lineEdit())
            box->lineEdit()->installEventFilter(new ElidingLineText(box));
        else
            box->setStyle(elidingComboStyle());
        QObject::connect(box, &QComboBox::currentTextChanged, box, [box] { tipIfCut(box); });
    }
    tipIfCut(box);
}

void ShowWithoutPadding(QAbstractItemView* view) { view->setItemDelegate(new UnpaddedTextDelegate(view)); }

void FitListEntries(QListView* list) {
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setTextElideMode(Qt::ElideMiddle);
    list->setItemDelegate(new CompactTextDelegate(list));
}

namespace {

QString nameOf(const QWidget* w) {
    return QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') +
           (w->objectName().isEmpty() ? QStringLiteral("(unnamed)") : w->objectName());
}

bool elidedWithTip(const QString& shown, const QString& tip) {
    return !tip.isEmpty() && shown != tip && shown.contains(QChar(0x2026));
}

// What a label's text needs, in its own font: the bounding box of its lines, or for rich text
// the laid-out document.
QSize labelNeeds(const QLabel* l) {
    const int pad = 2 * (l->margin() + l->frameWidth()) + (l->indent() > 0 ? l->indent() : 0);
    if (l->textFormat() == Qt::RichText || (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(l->text()))) {
        QTextDocument doc;
        doc.setDefaultFont(l->font());
        doc.setDocumentMargin(0);
        doc.setHtml(l->text());
        if (l->wordWrap()) doc.setTextWidth(std::max(1, l->width() - pad));
        return doc.size().toSize() + QSize(pad, pad);
    }
    const QFontMetrics fm(l->font());
    int flags = 0;
    if (l->wordWrap()) flags |= Qt::TextWordWrap;
    const int room = l->wordWrap() ? std::max(1, l->width() - pad) : 100000;
    QString text = l->text();
    text.remove(QLatin1Char('&'));  // a mnemonic marker takes no room (a "&&" shows as one)
    const QRect r = fm.boundingRect(QRect(0, 0, room, 100000), flags, text);
    // Fonts draw a little outside their advance at the ends; a pixel either side is not a cut.
    return QSize(r.width() - 2 + pad, r.height() + pad);
}

// The entries of a list that it cuts: wider than its width and not shown elided with the whole
// entry as the item's tooltip (a list that scrolls sideways cuts them at its edge).
QStringList cutEntries(const QListView* v) {
    QStringList cut;
    const QAbstractItemModel* model = v->model();
    if (!model) return cut;
    const auto* delegate = qobject_cast<const QStyledItemDelegate*>(v->itemDelegate());
    const bool elides = v->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff && v->textElideMode() != Qt::ElideNone;
    const QFontMetrics fm(v->font());
    const int margin = 2 * (v->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, v) + 1);
    for (int row = 0; row < model->rowCount(v->rootIndex()); ++row) {
        const QModelIndex index = model->index(row, v->modelColumn(), v->rootIndex());
        const QVariant value = model->data(index, Qt::DisplayRole);
        const QString shown = delegate ? delegate->displayText(value, v->locale()) : value.toString();
        if (fm.horizontalAdvance(shown) + margin <= v->viewport()->width()) continue;
        if (elides && model->data(index, Qt::ToolTipRole).toString().simplified() == shown.simplified()) continue;
        cut << QStringLiteral("%1 entry \"%2\": wider than the list").arg(nameOf(v), shown);
    }
    return cut;
}

}  // namespace

QStringList CutTexts(const QWidget* root) {
    QStringList cut;
    QList<const QWidget*> all{root};
    for (const QWidget* w : root->findChildren<QWidget*>()) all << w;
    for (const QWidget* w : all) {
        if (!w->isVisibleTo(root->window()) && w != root) continue;
        if (w->window() != root->window()) continue;  // another window's controls are its own
        const QFontMetrics fm(w->font());
        if (const auto* l = qobject_cast<const QLabel*>(w)) {
            if (l->text().isEmpty() || elidedWithTip(l->text(), l->toolTip())) continue;
            const QSize need = labelNeeds(l);
            if (need.width() > l->width() || need.height() > l->height())
                cut << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
                           .arg(nameOf(l), l->text()).arg(need.width()).arg(need.height())
                           .arg(l->width()).arg(l->height());
        } else if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
            if (b->text().isEmpty() || elidedWithTip(b->text(), b->toolTip())) continue;
            const QSize hint = b->sizeHint();
            // Push buttons get their style's generous padding in the hint; what must fit is the
            // text and the icon.
            int need = hint.width();
            if (!qobject_cast<const QCheckBox*>(b) && !qobject_cast<const QRadioButton*>(b)) {
                QString text = b->text();
                text.remove(QLatin1Char('&'));
                need = fm.horizontalAdvance(text) + (b->icon().isNull() ? 0 : b->iconSize().width() + 4) + 8;
            }
            if (need > b->width() || fm.height() > b->height())
                cut << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
                           .arg(nameOf(b), b->text()).arg(need).arg(fm.height()).arg(b->width()).arg(b->height());
        } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
            if (!g->title().isEmpty() && fm.horizontalAdvance(g->title()) + 16 > g->width())
                cut << QStringLiteral("%1 \"%2\": wider than its box").arg(nameOf(g), g->title());
        } else if (const auto* c = qobject_cast<const QComboBox*>(w)) {
            const QString current = c->currentText();
            const QString shown = ShownComboText(c);
            const bool whole = shown == current || (elidedWithTip(shown, c->toolTip()) && c->toolTip() == current);
            if (!current.isEmpty() && (!whole || fm.horizontalAdvance(shown) > fieldRoom(c)))
                cut << QStringLiteral("%1 \"%2\": cut off in the closed box").arg(nameOf(c), current);
            const int listRoom = std::max(c->width(), c->view()->minimumWidth()) - 8;
            for (int i = 0; i < c->count(); ++i)
                if (fm.horizontalAdvance(c->itemText(i)) > listRoom)
                    cut << QStringLiteral("%1 entry \"%2\": wider than the open list").arg(nameOf(c), c->itemText(i));
        } else if (const auto* v = qobject_cast<const QListView*>(w)) {
            cut << cutEntries(v);
        }
    }
    return cut;
}
