#include "pdf/PagedPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextDocument>
#include <QTextFrame>

PagedPrinter::PagedPrinter() = default;

void PagedPrinter::setDevice(std::unique_ptr<QPagedPaintDevice> device) { device_ = std::move(device); }

PagedPrinter::~PagedPrinter() {
    if (painter_ && painter_->isActive()) painter_->end();
}

int PagedPrinter::dpiX() const { return device_->logicalDpiX(); }
int PagedPrinter::dpiY() const { return device_->logicalDpiY(); }

QPoint PagedPrinter::printingOffset() const {
    return device_->pageLayout().paintRectPixels(dpiX()).topLeft();
}

QSize PagedPrinter::physicalPageSize() const {
    return device_->pageLayout().fullRectPixels(dpiX()).size();
}

QSize PagedPrinter::printableSize() const {
    return device_->pageLayout().paintRectPixels(dpiX()).size();
}

const QFontMetricsF& PagedPrinter::metrics() const {
    if (!metrics_) metrics_.emplace(font_, device_.get());
    return *metrics_;
}

void PagedPrinter::setFont(const QFont& font) {
    font_ = font;
    metrics_.reset();
    if (painter_ && painter_->isActive()) painter_->setFont(font_);
}

QSize PagedPrinter::textExtent(const QString& text) const {
    const QFontMetricsF& fm = metrics();
    return QSize(int(fm.horizontalAdvance(text)), int(fm.height()));
}

void PagedPrinter::textOut(int x, int y, const QString& text) {
    if (!painter_ || !painter_->isActive() || text.isEmpty()) return;
    // y is the top of the text cell; QPainter draws on the baseline.
    painter_->drawText(QPointF(x, y + metrics().ascent()), text);
}

void PagedPrinter::drawLine(int x1, int y1, int x2, int y2) {
    if (!painter_ || !painter_->isActive()) return;
    const QPen text = painter_->pen();
    painter_->setPen(QPen(lineColor_, 0.25 * dpiX() / 72.0, Qt::SolidLine, Qt::FlatCap));
    painter_->drawLine(QPointF(x1, y1), QPointF(x2, y2));
    painter_->setPen(text);
}

bool PagedPrinter::beginDoc(const QString& title) {
    setTitle(title);
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(device_.get())) {
        painter_.reset();
        return false;
    }
    painter_->setFont(font_);
    return true;
}

bool PagedPrinter::newPage() {
    return painter_ && painter_->isActive() && device_->newPage();
}

bool PagedPrinter::endDoc() {
    if (!painter_) return false;
    const bool ended = painter_->end();
    painter_.reset();
    return ended;
}

void PagedPrinter::abortDoc() {
    if (!painter_) return;
    discard();
    if (painter_->isActive()) painter_->end();
    painter_.reset();
}

bool PagedPrinter::printDocument(QTextDocument& doc, const QString& title) {
    if (!beginDoc(title)) return false;
    // Lay a copy out at the device's resolution, one page per printable area, with no margins
    // of our own; then draw each page through a clip of its own.
    std::unique_ptr<QTextDocument> copy(doc.clone());
    copy->documentLayout()->setPaintDevice(device_.get());
    const QSizeF page = printableSize();
    copy->setPageSize(page);
    QTextFrameFormat frame = copy->rootFrame()->frameFormat();
    frame.setMargin(0);
    frame.setPadding(0);
    copy->rootFrame()->setFrameFormat(frame);
    const int pages = std::max(1, copy->pageCount());
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device_->newPage()) {
            abortDoc();
            return false;
        }
        painter_->save();
        painter_->translate(0, -i * page.height());
        copy->drawContents(painter_.get(), QRectF(0, i * page.height(), page.width(), page.height()));
        painter_->restore();
    }
    return endDoc();
}
