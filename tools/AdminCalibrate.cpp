#include "AdminCalibrate.h"

#include <QFileInfo>
#include <cstdio>

#include "data/Printers.h"
#include "xbase/library.h"

namespace {

int fail(const QString& why) {
    std::fprintf(stderr, "merrowby-admin calibrate: %s\n", why.toLocal8Bit().constData());
    return 2;
}

}  // namespace

int AdminCalibrate(const QStringList& args) {
    QString dir, printer;
    PrinterCalibration cal;
    bool show = false, haveDx = false, haveDy = false;
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
        } else if (a == QLatin1String("--show")) {
            show = true;
        } else if (a.startsWith(QLatin1String("--")) || !dir.isEmpty()) {
            return fail(QStringLiteral("unexpected argument ") + a + QStringLiteral("\nusage: ") +
                        QLatin1String(kAdminCalibrateUsage));
        } else {
            dir = a;
        }
    }
    if (dir.isEmpty() || printer.isEmpty() || (!show && !(haveDx && haveDy)))
        return fail(QStringLiteral("usage: ") + QLatin1String(kAdminCalibrateUsage));
    if (!QFileInfo(dir).isDir()) return fail(QStringLiteral("no such directory: ") + dir);
    xbase::Library lib;
    lib.setDirectory(dir.toStdString());
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
