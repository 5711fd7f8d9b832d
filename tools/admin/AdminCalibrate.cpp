// merrowby-admin calibrate: stores or shows a printer's correction (Printers.dbf), writes the
// calibration sheet into a PDF, and works the correction out of the four distances measured on it.
//
// A correction given as numbers is stored exactly as given, or not at all: like the calibration
// window it refuses (exit 1) more than 36 points each way, a scale off by more than 5 %, and more
// decimals than Printers.dbf keeps (3, the scale 5).

#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/print/CalibrationSheet.h"
#include "core/print/PaperSize.h"
#include "core/print/Printers.h"
#include "pdf/CupsPrinter.h"
#include "pdf/CupsQueue.h"
#include "pdf/PdfPrinter.h"
#include "xbase/Library.h"

extern const AdminCommand kAdminCalibrate;

namespace {

// True when `value` keeps its worth written with `decimals` decimals, as Printers.dbf keeps it.
bool storedExactly(double value, int decimals) {
    return QString::number(value, 'f', decimals).toDouble() == value;
}

// "AX,AY,BX,BY": four distances.
bool fourNumbers(const QString& text, double out[4]) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return false;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        out[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok || out[i] <= 0) return false;
    }
    return true;
}

// Where `name`'s printable corner lies on its paper, in points, as a label run printed on it
// finds it; a name the system does not know (a PDF file) prints from the paper's corner.
QPointF printableCorner(const QString& name) {
    QString ignored;
    const std::optional<CupsQueue> queue = CupsQueue::named(name, &ignored);
    if (!queue) return QPointF();
    const PdfPrinter geometry(QString(), queue->pageLayout(), CupsPrinter::kDpi);
    return PrintingOffsetPoints(geometry);
}

// The sheet into `file` on `paperName` (the system's default when empty): the exit status.
int writeSheet(const AdminArgs& a, const QString& file, const QString& paperName) {
    std::optional<QPageSize> paper;
    if (!paperName.isEmpty() && !(paper = PaperSizeNamed(paperName)))
        return a.fail(QStringLiteral("--paper needs one of ") + PaperSizeNames());
    const std::unique_ptr<PdfPrinter> pdf =
        PdfPrinter::toFile(QFileInfo(file).absoluteFilePath(), paper ? *paper : DefaultPaperSize());
    if (const RunStatus printed = PrintCalibrationSheet(*pdf); !printed) return a.fail(printed.reason, 1);
    std::printf("calibration sheet written to %s\n", file.toLocal8Bit().constData());
    return 0;
}

// The correction worked out of the distances measured on the sheet into *cal; the exit status
// (0 when worked out).
int workOut(const AdminArgs& a, const QString& printer, PrinterCalibration* cal) {
    double m[4];
    if (!fourNumbers(a.get(QStringLiteral("measured")), m))
        return a.fail(QStringLiteral("--measured needs four distances AX,AY,BX,BY"));
    const QString unitText = a.get(QStringLiteral("unit"));
    if (unitText != QLatin1String("mm") && unitText != QLatin1String("in"))
        return a.fail(QStringLiteral("--measured needs --unit mm or --unit in"));
    for (const char* given : {"dx", "dy", "scale", "show"})
        if (a.has(QLatin1String(given)))
            return a.fail(QStringLiteral("--measured works the correction out; it goes without --dx, --dy, --scale and --show"));
    const MeasureUnit unit = unitText == QLatin1String("in") ? MeasureUnit::Inch : MeasureUnit::Millimetre;
    const QPointF pa(MeasureToPoints(m[0], unit), MeasureToPoints(m[1], unit));
    const QPointF pb(MeasureToPoints(m[2], unit), MeasureToPoints(m[3], unit));
    if (printer.isEmpty()) return a.fail(QStringLiteral("--measured needs --printer NAME"));
    if (!SolveSheetCalibration(pa, pb, printableCorner(printer), cal))
        return a.fail(QStringLiteral("A and B cannot lie on the same spot; measure again"));
    if (!CalibrationWithinLimits(*cal)) return a.fail(QString::fromLatin1(kCalibrationTooFarMessage), 1);
    return 0;
}

// The correction as given with --dx, --dy and --scale, into *cal; the exit status (0 when it
// can be stored exactly as given).
int given(const AdminArgs& a, PrinterCalibration* cal) {
    const auto number = [&a](const char* name, double* into) {
        bool ok = true;
        if (a.has(QLatin1String(name))) *into = a.get(QLatin1String(name)).toDouble(&ok);
        return ok;
    };
    if (!number("dx", &cal->dxPt)) return a.fail(QStringLiteral("--dx needs points"));
    if (!number("dy", &cal->dyPt)) return a.fail(QStringLiteral("--dy needs points"));
    if (!number("scale", &cal->scale) || cal->scale <= 0) return a.fail(QStringLiteral("--scale needs a positive number"));
    if (a.has(QStringLiteral("show")) || a.has(QStringLiteral("measured"))) return 0;
    if (!std::isfinite(cal->dxPt) || !std::isfinite(cal->dyPt) || !std::isfinite(cal->scale))
        return a.fail(QStringLiteral("--dx, --dy and --scale need numbers (not nan or inf)"), 1);
    if (!CalibrationWithinLimits(*cal))
        return a.fail(QStringLiteral("a correction is at most 36 points (half an inch) each way and a scale "
                                     "from 0.95 to 1.05; a larger one is a misreading, not a printer"),
                      1);
    if (!storedExactly(cal->dxPt, 3) || !storedExactly(cal->dyPt, 3))
        return a.fail(QStringLiteral("--dx and --dy are kept to three decimals of a point; give no more"), 1);
    if (!storedExactly(cal->scale, 5)) return a.fail(QStringLiteral("--scale is kept to five decimals; give no more"), 1);
    return 0;
}

// Stores `cal` for `printer` (unless only showing) and prints what is stored; the exit status.
int storeAndShow(const AdminArgs& a, const QString& dir, const QString& printer, bool show,
                 const PrinterCalibration& cal) {
    // Storing a correction writes Printers.dbf: it waits its turn behind the program.
    AdminSession session("calibrate", dir, show ? AdminSession::Access::ReadOnly : AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    xbase::Library& lib = session.library();
    if (!show) {
        const xbase::Status s = StorePrinterCalibration(lib, printer.toStdString(), cal);
        if (!s.ok()) return a.fail(QString::fromStdString(s.file + ": " + s.message));
    }
    bool found = false;
    PrinterCalibration stored;
    const xbase::Status s = LoadPrinterCalibration(lib, printer.toStdString(), &stored, &found);
    if (!s.ok()) return a.fail(QString::fromStdString(s.file + ": " + s.message));
    if (!found) std::printf("%s: no calibration\n", printer.toLocal8Bit().constData());
    else
        std::printf("%s: dx %.3f pt, dy %.3f pt, scale %.5f\n", printer.toLocal8Bit().constData(), stored.dxPt,
                    stored.dyPt, stored.scale);
    return 0;
}

int run(const QStringList& args) {
    AdminArgs a("calibrate", kAdminCalibrate.usage);
    a.values({{"printer", "--printer needs a name"},
              {"dx", "--dx needs points"},
              {"dy", "--dy needs points"},
              {"scale", "--scale needs a positive number"},
              {"sheet", "--sheet needs a PDF file name"},
              {"paper", "--paper needs a paper size"},
              {"measured", "--measured needs AX,AY,BX,BY"},
              {"unit", "--unit needs mm or in"}});
    a.flags({"show"});
    if (!a.parse(args, 1, 1)) return 2;
    const QString dir = a.plain(0), printer = a.get(QStringLiteral("printer")), sheet = a.get(QStringLiteral("sheet"));
    const bool measured = a.has(QStringLiteral("measured")), show = a.has(QStringLiteral("show"));
    if (!a.isDirectory(dir)) return 2;
    PrinterCalibration cal;
    if (const int rc = given(a, &cal); rc != 0) return rc;
    if (!sheet.isEmpty() || a.has(QStringLiteral("paper"))) {
        if (sheet.isEmpty()) return a.fail(QStringLiteral("--paper goes with --sheet"));
        if (const int rc = writeSheet(a, sheet, a.get(QStringLiteral("paper"))); rc != 0) return rc;
        if (printer.isEmpty() && !measured) return 0;
    }
    if (measured) {
        if (const int rc = workOut(a, printer, &cal); rc != 0) return rc;
    } else if (printer.isEmpty() || (!show && !(a.has(QStringLiteral("dx")) && a.has(QStringLiteral("dy"))))) {
        return a.usage();
    }
    return storeAndShow(a, dir, printer, show, cal);
}

}  // namespace

extern const AdminCommand kAdminCalibrate = {
    "calibrate", true, run,
    "merrowby-admin calibrate DIR --printer NAME --dx PT --dy PT [--scale S]\n"
    "  merrowby-admin calibrate DIR --printer NAME --show\n"
    "  merrowby-admin calibrate DIR --sheet FILE.pdf [--paper A4|Letter|Legal]\n"
    "  merrowby-admin calibrate DIR --measured AX,AY,BX,BY --unit mm|in --printer NAME"};
