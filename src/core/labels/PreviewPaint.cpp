#include "core/labels/PreviewPaint.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/print/Printer.h"

void PaintPreviewPage(QPainter& p, const PreviewPage& page, const Printer& geometry, double scale) {
    p.save();
    p.scale(scale, scale);
    const QSize sheet = geometry.physicalPageSize();
    p.fillRect(QRect(QPoint(0, 0), sheet), Qt::white);
    p.setPen(Qt::black);
    p.drawRect(QRect(QPoint(0, 0), sheet - QSize(1, 1)));
    p.translate(geometry.printingOffset());
    p.setPen(QColor(200, 200, 200));
    for (const QRect& r : page.outlines) p.drawRect(r);
    p.setPen(QPen(Qt::black, 0.25 * geometry.dpiX() / 72.0));
    for (const QLine& l : page.lines) p.drawLine(l);
    p.setPen(Qt::black);
    for (const PreviewText& t : page.texts) {
        QFont f = t.font;
        f.setPixelSize(std::max(1, int(f.pointSizeF() * geometry.dpiY() / 72.0)));
        p.setFont(f);
        p.drawText(QRect(t.x, t.y, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, t.text);
    }
    p.restore();
}

QImage RenderPreviewPage(const PreviewPage& page, const Printer& geometry, double scale) {
    const QSize sheet = geometry.physicalPageSize();
    QImage image(std::max(1, int(std::lround(sheet.width() * scale))),
                 std::max(1, int(std::lround(sheet.height() * scale))), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    PaintPreviewPage(p, page, geometry, scale);
    p.end();
    return image;
}
