#pragma once
// The printer layer: what label printing and the report viewer ask of a printer, in device dots
// with the origin at the printable area's top-left corner.
//
// QtPrinter (printing/QtPrinter.h) prints to the system's default printer without a dialog, or
// into a PDF file when the system has no printer; the tools print without Qt's print support,
// into PDF files (pdf/PdfPrinter.h) and on the system's printers through CUPS
// (pdf/CupsPrinter.h); RecordingPrinter (tests/support/RecordingPrinter.h) has configurable
// geometry and keeps every call, for tests.

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QTextDocument;

class Printer {
public:
    virtual ~Printer() = default;

    // Starts a print job (the first page is open). False when the job cannot start.
    virtual bool beginDoc(const QString& title) = 0;
    // Ends the page and opens the next one. False when the device refused (the job is then
    // broken: the caller abandons it).
    virtual bool newPage() = 0;
    // Ends the job; false when what was printed did not reach the device or file whole.
    virtual bool endDoc() = 0;
    // Abandons the job (nothing printed where the device allows it).
    virtual void abortDoc() = 0;

    // Device geometry, valid once the printer is chosen (before beginDoc as well).
    virtual int dpiX() const = 0;                  // dots per inch across (LOGPIXELSX)
    virtual int dpiY() const = 0;                  // dots per inch down (LOGPIXELSY)
    virtual QPoint printingOffset() const = 0;     // dots from the paper's corner to the printable corner
    virtual QSize physicalPageSize() const = 0;    // whole sheet, in dots
    virtual QSize printableSize() const = 0;       // printable area, in dots

    // Text: the font in use, its extent and output. Coordinates in dots from the printable corner;
    // y is the top of the text cell.
    virtual void setFont(const QFont& font) = 0;
    virtual QFont font() const = 0;
    virtual QSize textExtent(const QString& text) const = 0;
    virtual void textOut(int x, int y, const QString& text) = 0;

    // Lines: a thin pen (a quarter point), ends in dots from the printable corner like text, in
    // the line colour (black until set; text stays black).
    virtual void drawLine(int x1, int y1, int x2, int y2) = 0;
    virtual void setLineColor(const QColor& color) { (void)color; }
    // The outline of `r` (corners at r.left(), r.top() and r.left() + r.width(), r.top() +
    // r.height(), so that rectangles side by side share their edges) as four lines; a printer
    // that can draw it in one go may.
    virtual void drawRect(const QRect& r) {
        const int x2 = r.x() + r.width(), y2 = r.y() + r.height();
        drawLine(r.x(), r.y(), x2, r.y());
        drawLine(x2, r.y(), x2, y2);
        drawLine(x2, y2, r.x(), y2);
        drawLine(r.x(), y2, r.x(), r.y());
    }

    // Prints a whole rich-text document across pages, filling the printable area (no margins of
    // its own), as one job with the given title. False when the job cannot start or finish.
    virtual bool printDocument(QTextDocument& doc, const QString& title) = 0;

    // Where the output went when it went to a file (PDF fallback), else empty.
    virtual QString outputFile() const = 0;
};
