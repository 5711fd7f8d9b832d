#pragma once
// Label preview: one page of a label run as it would print.
//
// PageCapture stands in for a printer during a run: it takes its geometry and text metrics from
// the real printer (so the run fits the same font and breaks pages in the same places) but
// prints nothing. It keeps the texts and lines of one page only and counts the pages, so that any page of
// a run of any length is laid out by streaming the run up to it in bounded memory.

#include <QFont>
#include <QLine>
#include <QRect>
#include <QString>
#include <vector>

#include "core/labels/LabelGen.h"
#include "core/print/Calibration.h"
#include "core/print/Printer.h"

struct PreviewText {
    int x = 0, y = 0;  // dots from the printable corner, as textOut got them
    QString text;
    QFont font;        // the printer's font at the time
};

// The model of one page: its texts, the lines drawn on it and the label rectangles of the stock,
// in dots from the printable corner.
struct PreviewPage {
    int number = 0;          // 1-based
    std::vector<PreviewText> texts;
    std::vector<QLine> lines;
    std::vector<QRect> outlines;
};

class PageCapture : public Printer {
public:
    // Keeps page `wanted` (1-based) of the job run on it; `metrics` gives geometry and fonts.
    PageCapture(Printer& metrics, int wanted);

    const std::vector<PreviewText>& texts() const { return texts_; }
    const std::vector<QLine>& lines() const { return lines_; }
    int pages() const { return page_; }

    bool beginDoc(const QString&) override { page_ = 1; return true; }
    // Once the run's length is known, a run needs laying out only up to the page wanted: past it
    // the capture refuses the next page, which ends the run there.
    void stopAfterWanted() { stop_ = true; }
    bool newPage() override {
        if (stop_ && page_ >= wanted_) return false;
        ++page_;
        return true;
    }
    bool endDoc() override { return true; }
    void abortDoc() override {}
    int dpiX() const override { return m_.dpiX(); }
    int dpiY() const override { return m_.dpiY(); }
    QPoint printingOffset() const override { return m_.printingOffset(); }
    QSize physicalPageSize() const override { return m_.physicalPageSize(); }
    QSize printableSize() const override { return m_.printableSize(); }
    void setFont(const QFont& font) override { m_.setFont(font); }
    QFont font() const override { return m_.font(); }
    QSize textExtent(const QString& text) const override { return m_.textExtent(text); }
    void textOut(int x, int y, const QString& text) override {
        if (page_ == wanted_ && !text.isEmpty()) texts_.push_back({x, y, text, m_.font()});
    }
    void drawLine(int x1, int y1, int x2, int y2) override {
        if (page_ == wanted_) lines_.emplace_back(x1, y1, x2, y2);
    }
    bool printDocument(QTextDocument&, const QString&) override { return false; }
    QString outputFile() const override { return {}; }

private:
    Printer& m_;
    int wanted_;
    int page_ = 0;
    bool stop_ = false;
    std::vector<PreviewText> texts_;
    std::vector<QLine> lines_;
};

// The label rectangles of one page of `stock` on `printer` (a continuous stock: the rows that
// fit the printable height).
std::vector<QRect> LabelOutlines(const TLabelRecord& stock, const Printer& printer);

// A printer that draws the label outlines of `stock` in light grey on every page it starts, under
// what is printed on it, and otherwise prints through `inner` with the correction `cal` (the
// outlines move with the labels).
class OutlinedPrinter : public CalibratedPrinter {
public:
    OutlinedPrinter(Printer& inner, const TLabelRecord& stock, PrinterCalibration cal = {});

    bool beginDoc(const QString& title) override { return inner().beginDoc(title) && (drawOutlines(), true); }
    bool newPage() override { return inner().newPage() && (drawOutlines(), true); }

private:
    void drawOutlines();
    std::vector<QRect> outlines_;
};
