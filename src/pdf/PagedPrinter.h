#pragma once
// A printer that paints on one of Qt's paged devices (QPdfWriter here, QPrinter in the printing
// layer): the font handling, text, lines, pages and rich-text documents that every such printer
// shares, and its geometry read from the device's page layout at the device's resolution.
//
// A subclass makes the device and hands it over with setDevice() before anything else is asked
// of it (the printer owns it from then on, and ends any painting on it before it goes); it says
// how a job's title reaches the device (setTitle) and how a job is dropped (discard).

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <memory>
#include <optional>

#include "core/print/Printer.h"

class QPagedPaintDevice;
class QPainter;

class PagedPrinter : public Printer {
public:
    ~PagedPrinter() override;

    // Starts painting on the device (after setTitle); false when the device cannot be painted on
    // (a file that cannot be written).
    bool beginDoc(const QString& title) override;
    bool newPage() override;
    // Ends painting; false when the device reports that the output is not whole.
    bool endDoc() override;
    void abortDoc() override;

    int dpiX() const override;
    int dpiY() const override;
    // The printable corner: the page layout's paint rectangle within its whole sheet, in dots.
    QPoint printingOffset() const override;
    QSize physicalPageSize() const override;
    QSize printableSize() const override;

    void setFont(const QFont& font) override;
    QFont font() const override { return font_; }
    // Width and height of `text` in the device's dots, from the font's metrics on the device.
    QSize textExtent(const QString& text) const override;
    void textOut(int x, int y, const QString& text) override;
    void drawLine(int x1, int y1, int x2, int y2) override;
    void setLineColor(const QColor& color) override { lineColor_ = color; }
    bool printDocument(QTextDocument& doc, const QString& title) override;

protected:
    PagedPrinter();
    // The device painted on, owned from now on.
    void setDevice(std::unique_ptr<QPagedPaintDevice> device);
    // Gives the device the job's title, before painting starts.
    virtual void setTitle(const QString& title) = 0;
    // Drops what the device holds of a job being abandoned, before painting ends.
    virtual void discard() {}

private:
    const QFontMetricsF& metrics() const;

    std::unique_ptr<QPagedPaintDevice> device_;
    std::unique_ptr<QPainter> painter_;  // after the device: it goes first
    QFont font_;
    QColor lineColor_{Qt::black};
    mutable std::optional<QFontMetricsF> metrics_;
};
