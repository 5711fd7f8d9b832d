#include "AdminCalibrate.h"

#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "AdminSession.h"
#include "core/print/Printers.h"
#include "core/print/CalibrationSheet.h"
#include "core/print/PaperSize.h"
#include "printing/QtPrinter.h"
#include "xbase/Library.h"

namespace {

int fail(const QString& why) {
    std::fprintf(stderr, "merrowby-admin calibrate: %s\n", why.toLocal8Bit().constData());
    return 2;
}

// A refusal of what the command was given: exit status 1.
int refuse(const QString& why) {
    std::fprintf(stderr, "merrowby-admin calibrate: %s\n", why.toLocal8Bit().constData());
    return 1;
}

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

// Where `name`'s printable area starts on its paper, in points: from the system's printer of
// that name; a name the system does not know (a PDF file) prints from the paper's corner.
QPointF printableCorner(const QString& name) {
    const std::unique_ptr<QtPrinter> p = QtPrinter::named(name);
    return p ? PrintingOffsetPoints(*p) : QPointF();
}

}  // namespace

int AdminCalibrate(const QStringList& args) {
    QString dir, printer, sheet, paperName, measuredText, unitText;
    PrinterCalibration cal;
    bool show = false, haveDx = false, haveDy = false, haveScale = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto number = [&](double& into) {
            bool ok = false;
            if (i + 1 < args.size()) into = args.at(++i).toDouble(&ok);
            return ok;
        };
        if (a == QLatin1String("--printer")) {
            if (i + 1 >= args.size()) return fail(QStringLiteral("--printer needs a name"));
            printer = args.at(++i);
        } else if (a == QLatin1String("--dx")) {
            if (!(haveDx = number(cal.dxPt))) return fail(QStringLiteral("--dx needs points"));
        } else if (a == QLatin1String("--dy")) {
            if (!(haveDy = number(cal.dyPt))) return fail(QStringLiteral("--dy needs points"));
        } else if (a == QLatin1String("--scale")) {
            if (!number(cal.scale) || cal.scale <= 0) return fail(QStringLiteral("--scale needs a positive number"));
            haveScale = true;
        } else if (a == QLatin1String("--sheet")) {
            if (i + 1 >= args.size()) return fail(QStringLiteral("--sheet needs a PDF file name"));
            sheet = args.at(++i);
        } else if (a == QLatin1String("--paper")) {
            if (i + 1 >= args.size()) return fail(QStringLiteral("--paper needs a paper size"));
            paperName = args.at(++i);
        } else if (a == QLatin1String("--measured")) {
            if (i + 1 >= args.size()) return fail(QStringLiteral("--measured needs AX,AY,BX,BY"));
            measuredText = args.at(++i);
        } else if (a == QLatin1String("--unit")) {
            if (i + 1 >= args.size()) return fail(QStringLiteral("--unit needs mm or in"));
            unitText = args.at(++i);
        } else if (a == QLatin1String("--show")) {
            show = true;
        } else if (a.startsWith(QLatin1String("--")) || !dir.isEmpty()) {
            return fail(QStringLiteral("unexpected argument ") + a + QStringLiteral("\nusage: ") +
                        QLatin1String(kAdminCalibrateUsage));
        } else {
            dir = a;
        }
    }
    const bool measured = !measuredText.isEmpty();
    if (dir.isEmpty()) return fail(QStringLiteral("usage: ") + QLatin1String(kAdminCalibrateUsage));
    if (!QFileInfo(dir).isDir()) return fail(QStringLiteral("no such directory: ") + dir);
    if (!sheet.isEmpty() || !paperName.isEmpty()) {
        if (sheet.isEmpty()) return fail(QStringLiteral("--paper goes with --sheet"));
        std::optional<QPageSize> paper;
        if (!paperName.isEmpty() && !(paper = PaperSizeNamed(paperName)))
            return fail(QStringLiteral("--paper needs one of ") + PaperSizeNames());
        const std::unique_ptr<QtPrinter> pdf = QtPrinter::toPdf(QFileInfo(sheet).absoluteFilePath(), paper);
        QString error;
        if (!PrintCalibrationSheet(*pdf, &error)) {
            std::fprintf(stderr, "merrowby-admin calibrate: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
        std::printf("calibration sheet written to %s\n", sheet.toLocal8Bit().constData());
        if (printer.isEmpty() && !measured) return 0;
    }
    if (measured) {
        double m[4];
        if (!fourNumbers(measuredText, m)) return fail(QStringLiteral("--measured needs four distances AX,AY,BX,BY"));
        if (unitText != QLatin1String("mm") && unitText != QLatin1String("in"))
            return fail(QStringLiteral("--measured needs --unit mm or --unit in"));
        if (haveDx || haveDy || haveScale || show)
            return fail(QStringLiteral("--measured works the correction out; it goes without --dx, --dy, --scale and --show"));
        const MeasureUnit unit = unitText == QLatin1String("in") ? MeasureUnit::Inch : MeasureUnit::Millimetre;
        const QPointF a(MeasureToPoints(m[0], unit), MeasureToPoints(m[1], unit));
        const QPointF b(MeasureToPoints(m[2], unit), MeasureToPoints(m[3], unit));
        if (printer.isEmpty()) return fail(QStringLiteral("--measured needs --printer NAME"));
        if (!SolveSheetCalibration(a, b, printableCorner(printer), &cal))
            return fail(QStringLiteral("A and B cannot lie on the same spot; measure again"));
        if (!CalibrationWithinLimits(cal)) return refuse(QString::fromLatin1(kCalibrationTooFarMessage));
        haveDx = haveDy = true;
    } else if (!show && (haveDx || haveDy || haveScale)) {
        // A correction given as numbers is stored exactly as given, or not at all.
        if (!std::isfinite(cal.dxPt) || !std::isfinite(cal.dyPt) || !std::isfinite(cal.scale))
            return refuse(QStringLiteral("--dx, --dy and --scale need numbers (not nan or inf)"));
        if (!CalibrationWithinLimits(cal))
            return refuse(QStringLiteral("a correction is at most 36 points (half an inch) each way and a scale "
                                         "from 0.95 to 1.05; a larger one is a misreading, not a printer"));
        if (!storedExactly(cal.dxPt, 3) || !storedExactly(cal.dyPt, 3))
            return refuse(QStringLiteral("--dx and --dy are kept to three decimals of a point; give no more"));
        if (!storedExactly(cal.scale, 5))
            return refuse(QStringLiteral("--scale is kept to five decimals; give no more"));
    }
    if (printer.isEmpty() || (!show && !(haveDx && haveDy)))
        return fail(QStringLiteral("usage: ") + QLatin1String(kAdminCalibrateUsage));
    // Storing a correction writes Printers.dbf: it waits its turn behind the program.
    AdminSession session("calibrate", dir, show ? AdminSession::Access::ReadOnly : AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    xbase::Library& lib = session.library();
    if (!show) {
        const xbase::Status s = StorePrinterCalibration(lib, printer.toStdString(), cal);
        if (!s.ok()) return fail(QString::fromStdString(s.file + ": " + s.message));
    }
    bool found = false;
    PrinterCalibration stored;
    const xbase::Status s = LoadPrinterCalibration(lib, printer.toStdString(), &stored, &found);
    if (!s.ok()) return fail(QString::fromStdString(s.file + ": " + s.message));
    if (!found) {
        std::printf("%s: no calibration\n", printer.toLocal8Bit().constData());
        return 0;
    }
    std::printf("%s: dx %.3f pt, dy %.3f pt, scale %.5f\n", printer.toLocal8Bit().constData(), stored.dxPt,
                stored.dyPt, stored.scale);
    return 0;
}
