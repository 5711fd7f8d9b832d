#include "core/labels/PageCapture.h"

PageCapture::PageCapture(Printer& metrics, int wanted) : m_(metrics), wanted_(wanted) {}

std::vector<QRect> LabelOutlines(const TLabelRecord& stock, const Printer& printer) {
    const LabelGeometry g = ComputeLabelGeometry(stock, printer);
    std::vector<QRect> out;
    if (g.width <= 0 || g.height <= 0 || g.height + g.vGap <= 0) return out;
    int rows = g.rowsPerPage;
    if (g.continuous) rows = std::max(0, (g.printableHeight - g.top + g.vGap) / (g.height + g.vGap));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < g.nAcross; ++c)
            out.emplace_back(c * (g.width + g.hGap) + g.left, r * (g.height + g.vGap) + g.top, g.width, g.height);
    return out;
}

OutlinedPrinter::OutlinedPrinter(Printer& inner, const TLabelRecord& stock, PrinterCalibration cal)
    : CalibratedPrinter(inner, cal), outlines_(LabelOutlines(stock, inner)) {}

void OutlinedPrinter::drawOutlines() {
    setLineColor(QColor(200, 200, 200));
    for (const QRect& r : outlines_) drawRect(r);
    setLineColor(Qt::black);
}
