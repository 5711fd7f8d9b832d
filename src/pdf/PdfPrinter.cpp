#include "pdf/PdfPrinter.h"

#include <QPdfWriter>

std::unique_ptr<PdfPrinter> PdfPrinter::toFile(const QString& file, const QPageSize& paper) {
    QPageLayout whole(paper, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    whole.setMode(QPageLayout::FullPageMode);
    return std::make_unique<PdfPrinter>(file, whole, 300);
}

PdfPrinter::PdfPrinter(const QString& file, const QPageLayout& layout, int dpi) : file_(file) {
    setUp(std::make_unique<QPdfWriter>(file), layout, dpi);
}

PdfPrinter::PdfPrinter(QIODevice* device, const QPageLayout& layout, int dpi) {
    setUp(std::make_unique<QPdfWriter>(device), layout, dpi);
}

PdfPrinter::~PdfPrinter() = default;

void PdfPrinter::setUp(std::unique_ptr<QPdfWriter> writer, const QPageLayout& layout, int dpi) {
    writer_ = writer.get();
    writer_->setResolution(dpi);
    writer_->setPageLayout(layout);
    setDevice(std::move(writer));
}

void PdfPrinter::setTitle(const QString& title) { writer_->setTitle(title); }
