#include "core/print/Calibration.h"

#include <cmath>

int CalibrationDots(double points, int dpi) { return int(std::lround(points * dpi / 72.0)); }

int CalibratedPosition(int dots, double scale, double offsetPt, int dpi) {
    const int scaled = scale == 1 ? dots : int(std::lround(dots * scale));
    return scaled + CalibrationDots(offsetPt, dpi);
}

bool SolveCalibration(QPointF nominalA, QPointF nominalB, QPointF measuredA, QPointF measuredB,
                      PrinterCalibration* out) {
    const double nominal = std::hypot(nominalB.x() - nominalA.x(), nominalB.y() - nominalA.y());
    const double measured = std::hypot(measuredB.x() - measuredA.x(), measuredB.y() - measuredA.y());
    if (nominal <= 0 || measured <= 0) return false;
    const double k = measured / nominal;
    // Sent p', printed k·p' + e; for it to land on p: p' = p/k - e/k.
    out->scale = 1 / k;
    out->dxPt = -(measuredA.x() - k * nominalA.x()) / k;
    out->dyPt = -(measuredA.y() - k * nominalA.y()) / k;
    return true;
}

const char* const kCalibrationTooFarMessage =
    "These distances are more than half an inch or 5 % off the printed ones; measure again, from the "
    "paper's edges.";

bool CalibrationWithinLimits(const PrinterCalibration& cal) {
    // Written so that a NaN fails every comparison and is refused.
    return std::abs(cal.dxPt) <= 36 && std::abs(cal.dyPt) <= 36 && cal.scale >= 0.95 && cal.scale <= 1.05;
}

CalibratedPrinter::CalibratedPrinter(Printer& inner, PrinterCalibration cal) : inner_(&inner), cal_(cal) {}

CalibratedPrinter::CalibratedPrinter(std::unique_ptr<Printer> inner, PrinterCalibration cal)
    : owned_(std::move(inner)), inner_(owned_.get()), cal_(cal) {}

void CalibratedPrinter::textOut(int x, int y, const QString& text) {
    if (cal_.isIdentity()) {
        inner_->textOut(x, y, text);
        return;
    }
    inner_->textOut(CalibratedPosition(x, cal_.scale, cal_.dxPt, inner_->dpiX()),
                    CalibratedPosition(y, cal_.scale, cal_.dyPt, inner_->dpiY()), text);
}

void CalibratedPrinter::drawLine(int x1, int y1, int x2, int y2) {
    if (cal_.isIdentity()) {
        inner_->drawLine(x1, y1, x2, y2);
        return;
    }
    const int dx = inner_->dpiX(), dy = inner_->dpiY();
    inner_->drawLine(CalibratedPosition(x1, cal_.scale, cal_.dxPt, dx), CalibratedPosition(y1, cal_.scale, cal_.dyPt, dy),
                     CalibratedPosition(x2, cal_.scale, cal_.dxPt, dx), CalibratedPosition(y2, cal_.scale, cal_.dyPt, dy));
}
