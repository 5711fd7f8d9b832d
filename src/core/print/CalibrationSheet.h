#pragma once
// The calibration sheet: one page with a millimetre ruler along each edge of the printable area
// and two crosshairs, A and B, at known places, each labelled with its distances from the
// paper's left and top edges. It is printed with no correction, so that what the user measures
// on it is where the printer itself puts things.
//
// The user measures from the paper's left and top edges to the centre of each crosshair;
// SolveSheetCalibration turns the four distances into the printer's correction
// (core/print/Calibration.h).

#include <QChar>
#include <QPointF>
#include <QString>
#include <vector>

#include "core/data/RunStatus.h"
#include "core/print/Calibration.h"

class Printer;

struct CalibrationCrosshair {
    QChar letter;     // 'A', 'B'
    QPointF nominal;  // points from the paper's top-left corner
};

// The crosshairs of the sheet: A at 25 mm from the left and top edges, B at 185 mm from the
// left and 255 mm from the top. With their 8 mm arms both lie inside the printable area of
// Letter and of A4 on a printer that keeps up to 15 mm clear at the right and 16 mm at the bottom.
const std::vector<CalibrationCrosshair>& CalibrationCrosshairs();

enum class MeasureUnit { Millimetre, Inch };
// A length measured on paper, in points.
double MeasureToPoints(double value, MeasureUnit unit);

// Prints the sheet as one job of one page. A CalibratedPrinter is looked through: the sheet goes
// to the printer it wraps, uncorrected. A failure when a crosshair does not fit the printable
// area or the job cannot start or end.
RunStatus PrintCalibrationSheet(Printer& printer);

// Where `printer`'s printable corner lies on the paper, in points from the paper's corner (its
// printingOffset); (0, 0) for a printer that reports no resolution.
QPointF PrintingOffsetPoints(const Printer& printer);

// The correction for a printer whose sheet showed crosshair A at `measuredA` and B at
// `measuredB` (points from the paper's top-left corner), on a printer whose printable corner is
// `printingOffsetPt` points from the paper's corner. The correction applies to positions from
// the printable corner (as CalibratedPrinter moves them), so the points are referred to that
// corner before solving. False when SolveCalibration is (a measured distance of zero).
bool SolveSheetCalibration(QPointF measuredA, QPointF measuredB, QPointF printingOffsetPt,
                           PrinterCalibration* out);
