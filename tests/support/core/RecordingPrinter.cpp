#include "RecordingPrinter.h"

#include <QTextDocument>

RecordingPrinter::RecordingPrinter(PrinterGeometry geometry) : g_(geometry) {}

void RecordingPrinter::setMetrics(double charWidthEm, double lineHeightEm) {
    charWidthEm_ = charWidthEm;
    lineHeightEm_ = lineHeightEm;
}

std::vector<RecordingPrinter::Call> RecordingPrinter::textOuts() const {
    std::vector<Call> out;
    for (const Call& c : calls_)
        if (c.op == Op::TextOut) out.push_back(c);
    return out;
}

std::vector<RecordingPrinter::Call> RecordingPrinter::lines() const {
    std::vector<Call> out;
    for (const Call& c : calls_)
        if (c.op == Op::DrawLine) out.push_back(c);
    return out;
}

static RecordingPrinter::Call makeCall(RecordingPrinter::Op op, int x = 0, int y = 0,
                                       const QString& text = {}, int pointSize = 0) {
    RecordingPrinter::Call c;
    c.op = op;
    c.x = x;
    c.y = y;
    c.text = text;
    c.pointSize = pointSize;
    return c;
}

void RecordingPrinter::record(Call c) {
    c.page = inJob_ ? page_ : 0;
    if (keepCalls_) calls_.push_back(std::move(c));
}

bool RecordingPrinter::beginDoc(const QString& title) {
    if (failBegin_) return false;
    inJob_ = true;
    page_ = 1;
    ++jobsBegun_;
    record(makeCall(Op::BeginDoc, 0, 0, title));
    return true;
}

bool RecordingPrinter::newPage() {
    if (failPage_ > 0 && page_ + 1 == failPage_) return false;
    ++page_;
    record(makeCall(Op::NewPage));
    return true;
}

bool RecordingPrinter::endDoc() {
    if (failEnd_) return false;
    record(makeCall(Op::EndDoc));
    inJob_ = false;
    ++jobsEnded_;
    return true;
}

void RecordingPrinter::abortDoc() {
    record(makeCall(Op::AbortDoc));
    inJob_ = false;
}

void RecordingPrinter::setFont(const QFont& font) {
    font_ = font;
    record(makeCall(Op::SetFont, 0, 0, {}, font.pointSize()));
}

double RecordingPrinter::emX() const { return font_.pointSizeF() * g_.dpiX / 72.0; }
double RecordingPrinter::emY() const { return font_.pointSizeF() * g_.dpiY / 72.0; }

QSize RecordingPrinter::textExtent(const QString& text) const {
    return QSize(int(text.size() * charWidthEm_ * emX()), int(lineHeightEm_ * emY()));
}

void RecordingPrinter::textOut(int x, int y, const QString& text) {
    ++textOutCount_;
    record(makeCall(Op::TextOut, x, y, text, font_.pointSize()));
}

void RecordingPrinter::drawLine(int x1, int y1, int x2, int y2) {
    Call c = makeCall(Op::DrawLine, x1, y1);
    c.x2 = x2;
    c.y2 = y2;
    c.color = lineColor_;
    record(std::move(c));
}

bool RecordingPrinter::printDocument(QTextDocument& doc, const QString& title) {
    if (failBegin_) return false;
    ++jobsBegun_;
    inJob_ = true;
    page_ = 1;
    record(makeCall(Op::PrintDocument, 0, 0, title));
    // Keep the document's plain text as one text call so tests can see what went out.
    record(makeCall(Op::TextOut, 0, 0, doc.toPlainText()));
    inJob_ = false;
    ++jobsEnded_;
    return true;
}
