#pragma once
// Printer calibration: where a real printer puts the page, corrected.
//
// A printer places what it is sent a little off and sometimes a little larger or smaller. The
// correction is an offset in points and a scale (1 = none): a position p in dots is sent as
// round(p × scale) + offset in dots. The scale is taken about the printable corner.
//
// CalibratedPrinter applies a correction to any Printer by moving what it prints; geometry,
// fonts and page breaks are the wrapped printer's, so a label run lays out exactly as before and
// only the drawn positions move (texts, and both ends of lines). With no correction it forwards everything unchanged.

#include <QFont>
#include <QPointF>
#include <memory>

#include "core/print/Printer.h"

struct PrinterCalibration {
    double dxPt = 0;    // points added across (positive: to the right)
    double dyPt = 0;    // points added down (positive: lower)
    double scale = 1;   // factor on positions from the printable corner

    bool isIdentity() const { return dxPt == 0 && dyPt == 0 && scale == 1; }
};

// An offset in points as dots at `dpi`, rounded to the nearest dot (3.6 pt at 300 dpi: 15).
int CalibrationDots(double points, int dpi);
// A position in dots as the calibrated printer sends it.
int CalibratedPosition(int dots, double scale, double offsetPt, int dpi);

// Works a correction out of a calibration sheet: two crosshairs printed at `nominalA` and
// `nominalB` were measured at `measuredA` and `measuredB`, all four in points from the corner the
// correction's scale is about: the printable corner, for CalibratedPrinter
// (SolveSheetCalibration in CalibrationSheet.h refers the paper's distances to it). The printer is taken to map p to k·p + e on each axis, k the same both ways
// (the ratio of the measured distance between the crosshairs to the nominal one); the
// correction undoes that. False when the crosshairs coincide or a measured distance is zero.
bool SolveCalibration(QPointF nominalA, QPointF nominalB, QPointF measuredA, QPointF measuredB,
                      PrinterCalibration* out);

// Whether `cal` is a correction a printer can need: at most half an inch (36 pt) each way and a
// scale within 5 % of 1, all of them numbers. More is a misreading (the wrong edge, the wrong
// unit), not a printer; the calibration window and the admin tool refuse it alike.
bool CalibrationWithinLimits(const PrinterCalibration& cal);
// What the user is told when distances measured on the sheet give a correction beyond those limits.
extern const char* const kCalibrationTooFarMessage;

class CalibratedPrinter : public Printer {
public:
    // Wraps `inner`, which must outlive this one.
    CalibratedPrinter(Printer& inner, PrinterCalibration cal);
    // Wraps and owns `inner`.
    CalibratedPrinter(std::unique_ptr<Printer> inner, PrinterCalibration cal);

    const PrinterCalibration& calibration() const { return cal_; }
    Printer& inner() { return *inner_; }

    bool beginDoc(const QString& title) override { return inner_->beginDoc(title); }
    bool newPage() override { return inner_->newPage(); }
    bool endDoc() override { return inner_->endDoc(); }
    void abortDoc() override { inner_->abortDoc(); }
    int dpiX() const override { return inner_->dpiX(); }
    int dpiY() const override { return inner_->dpiY(); }
    QPoint printingOffset() const override { return inner_->printingOffset(); }
    QSize physicalPageSize() const override { return inner_->physicalPageSize(); }
    QSize printableSize() const override { return inner_->printableSize(); }
    void setFont(const QFont& font) override { inner_->setFont(font); }
    QFont font() const override { return inner_->font(); }
    QSize textExtent(const QString& text) const override { return inner_->textExtent(text); }
    void textOut(int x, int y, const QString& text) override;
    void drawLine(int x1, int y1, int x2, int y2) override;
    void setLineColor(const QColor& color) override { inner_->setLineColor(color); }
    bool printDocument(QTextDocument& doc, const QString& title) override {
        return inner_->printDocument(doc, title);
    }
    QString outputFile() const override { return inner_->outputFile(); }

private:
    std::unique_ptr<Printer> owned_;
    Printer* inner_;
    PrinterCalibration cal_;
};
