#pragma once
// A printer for tests: geometry set by the test, text metrics from a simple fixed-pitch model,
// and a list of every call in the order it was made.
//
// Metrics: one em is the font's point size in dots (points × dpi / 72). A string is
// charWidthEm × em × length dots wide (truncated) and lineHeightEm × em dots high, whatever its
// characters, so tests can work out by hand where a label must land and what size the font fit
// must end on.

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>
#include <vector>

#include "core/print/Printer.h"

struct PrinterGeometry {
    int dpiX = 300;
    int dpiY = 300;
    QPoint offset{50, 50};
    QSize physical{2550, 3300};
    QSize printable{2450, 3200};
};

class RecordingPrinter : public Printer {
public:
    enum class Op { BeginDoc, NewPage, EndDoc, AbortDoc, SetFont, TextOut, DrawLine, PrintDocument };
    struct Call {
        Op op = Op::BeginDoc;
        int page = 0;   // 1-based page the call went to (0 outside a job)
        int x = 0, y = 0;
        int x2 = 0, y2 = 0;  // DrawLine: the other end (x, y is the first)
        QColor color;        // DrawLine: the line colour then
        QString text;   // TextOut: the string; BeginDoc / PrintDocument: the title
        int pointSize = 0;  // SetFont, TextOut: the font's size then
    };

    explicit RecordingPrinter(PrinterGeometry geometry = {});

    void setMetrics(double charWidthEm, double lineHeightEm);
    // Makes the next beginDoc fail, as a printer that cannot start a job would.
    void setFailBegin(bool fail) { failBegin_ = fail; }
    // Makes newPage fail when it would open page n (0: never), and endDoc fail.
    void setFailPage(int n) { failPage_ = n; }
    void setFailEnd(bool fail) { failEnd_ = fail; }
    // Keep only the counters, not the calls (for long runs).
    void setKeepCalls(bool keep) { keepCalls_ = keep; }

    const std::vector<Call>& calls() const { return calls_; }
    std::vector<Call> textOuts() const;           // TextOut calls only, in order
    std::vector<Call> lines() const;              // DrawLine calls only, in order
    int pages() const { return page_; }           // pages started by the last job
    int jobsBegun() const { return jobsBegun_; }
    int jobsEnded() const { return jobsEnded_; }
    long long textOutCount() const { return textOutCount_; }
    bool inJob() const { return inJob_; }

    bool beginDoc(const QString& title) override;
    bool newPage() override;
    bool endDoc() override;
    void abortDoc() override;
    int dpiX() const override { return g_.dpiX; }
    int dpiY() const override { return g_.dpiY; }
    QPoint printingOffset() const override { return g_.offset; }
    QSize physicalPageSize() const override { return g_.physical; }
    QSize printableSize() const override { return g_.printable; }
    void setFont(const QFont& font) override;
    QFont font() const override { return font_; }
    QSize textExtent(const QString& text) const override;
    void textOut(int x, int y, const QString& text) override;
    void drawLine(int x1, int y1, int x2, int y2) override;
    void setLineColor(const QColor& color) override { lineColor_ = color; }
    bool printDocument(QTextDocument& doc, const QString& title) override;
    QString outputFile() const override { return {}; }

private:
    void record(Call c);
    double emX() const;
    double emY() const;

    PrinterGeometry g_;
    double charWidthEm_ = 0.5;
    double lineHeightEm_ = 1.2;
    QFont font_;
    QColor lineColor_{Qt::black};
    std::vector<Call> calls_;
    bool keepCalls_ = true;
    bool failBegin_ = false;
    int failPage_ = 0;
    bool failEnd_ = false;
    bool inJob_ = false;
    int page_ = 0;
    int jobsBegun_ = 0;
    int jobsEnded_ = 0;
    long long textOutCount_ = 0;
};
