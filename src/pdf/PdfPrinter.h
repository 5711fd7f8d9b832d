#pragma once
// The printer that writes a PDF file, on QPdfWriter (QtGui alone: no print support, no widgets).
//
// PdfPrinter::toFile(file, paper) is the PDF the admin tool writes: 300 dots per inch, the whole
// sheet printable (offset 0), on the paper given; its pages, fonts and geometry are those of the
// Qt printer's PDF files (printing/QtPrinter.h), so that the two write the same file. Pages go to
// the file as they are finished, so a long job holds one page at a time.
//
// The constructor taking a page layout writes any other geometry, to a file or to a device; the
// CUPS printer (CupsPrinter.h) renders a queue's pages that way.

#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <memory>

#include "pdf/PagedPrinter.h"

class QIODevice;
class QPdfWriter;

class PdfPrinter : public PagedPrinter {
public:
    // A PDF file at 300 dots per inch on `paper`, the whole sheet printable. The file is written
    // from beginDoc on; an empty name gives a printer that is only measured, never printed on.
    static std::unique_ptr<PdfPrinter> toFile(const QString& file, const QPageSize& paper);

    // Pages of `layout` (its paint rectangle is the printable area) at `dpi` dots per inch, into
    // `file`, or into `device` (which must outlive the printer; it is opened by beginDoc).
    PdfPrinter(const QString& file, const QPageLayout& layout, int dpi);
    PdfPrinter(QIODevice* device, const QPageLayout& layout, int dpi);
    ~PdfPrinter() override;

    QString outputFile() const override { return file_; }

protected:
    void setTitle(const QString& title) override;

private:
    void setUp(std::unique_ptr<QPdfWriter> writer, const QPageLayout& layout, int dpi);

    QPdfWriter* writer_ = nullptr;  // the device, owned by the base
    QString file_;
};
