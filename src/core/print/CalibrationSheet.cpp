#include "core/print/CalibrationSheet.h"

#include <QFont>
#include <QStringList>
#include <cmath>

#include "core/print/Printer.h"

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
constexpr double kArmMm = 8;  // each arm of a crosshair

// Ruler ticks: every millimetre, longer at 5 and 10; numbers every 10 mm.
constexpr double kTickMm = 1.5, kTick5Mm = 2.5, kTick10Mm = 4;
// The side rulers keep clear of the corners, where the top and bottom rulers and their numbers are.
constexpr double kCornerMm = 7;

QFont face(double points, bool bold = false) {
    QFont f(QStringLiteral("Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QString distanceText(const char* edge, double pt) {
    return QStringLiteral("%1 mm (%2 in) from the %3 edge")
        .arg(pt / kPointsPerMm, 0, 'f', 1)
        .arg(pt / 72.0, 0, 'f', 3)
        .arg(QLatin1String(edge));
}

// Draws on one printer in dots from its printable corner, given lengths in millimetres.
class Sheet {
public:
    explicit Sheet(Printer& p)
        : p_(p), off_(p.printingOffset()), size_(p.printableSize()), dpmX_(p.dpiX() / 25.4),
          dpmY_(p.dpiY() / 25.4) {}

    // Dots from the printable corner of a position given in millimetres from the paper's corner.
    int x(double mm) const { return int(std::lround(mm * dpmX_)) - off_.x(); }
    int y(double mm) const { return int(std::lround(mm * dpmY_)) - off_.y(); }
    int dx(double mm) const { return int(std::lround(mm * dpmX_)); }
    int dy(double mm) const { return int(std::lround(mm * dpmY_)); }
    int right() const { return size_.width() - 1; }
    int bottom() const { return size_.height() - 1; }

    bool fits(QPointF nominalPt) const {
        const double mx = nominalPt.x() / kPointsPerMm, my = nominalPt.y() / kPointsPerMm;
        return x(mx - kArmMm) >= 0 && x(mx + kArmMm) <= right() && y(my - kArmMm) >= 0 &&
               y(my + kArmMm) <= bottom();
    }

    void rulers() {
        p_.setFont(face(6));
        p_.drawLine(0, 0, right(), 0);
        p_.drawLine(0, bottom(), right(), bottom());
        p_.drawLine(0, 0, 0, bottom());
        p_.drawLine(right(), 0, right(), bottom());
        // Across: millimetres from the paper's left edge.
        for (int mm = int(std::ceil(off_.x() / dpmX_)); x(mm) <= right(); ++mm) {
            if (x(mm) < 0) continue;
            const int len = dy(tickMm(mm));
            p_.drawLine(x(mm), 0, x(mm), len);
            p_.drawLine(x(mm), bottom(), x(mm), bottom() - len);
            if (mm % 10 != 0) continue;
            const QString n = QString::number(mm);
            const QSize e = p_.textExtent(n);
            const int left = x(mm) - e.width() / 2;
            if (left < 0 || left + e.width() > right()) continue;
            p_.textOut(left, len + dy(0.5), n);
            p_.textOut(left, bottom() - len - dy(0.5) - e.height(), n);
        }
        // Down: millimetres from the paper's top edge.
        for (int mm = int(std::ceil(off_.y() / dpmY_)); y(mm) <= bottom(); ++mm) {
            if (y(mm) < dy(kCornerMm) || y(mm) > bottom() - dy(kCornerMm)) continue;
            const int len = dx(tickMm(mm));
            p_.drawLine(0, y(mm), len, y(mm));
            p_.drawLine(right(), y(mm), right() - len, y(mm));
            if (mm % 10 != 0) continue;
            const QString n = QString::number(mm);
            const QSize e = p_.textExtent(n);
            const int top = y(mm) - e.height() / 2;
            p_.textOut(len + dx(0.5), top, n);
            p_.textOut(right() - len - dx(0.5) - e.width(), top, n);
        }
    }

    // A crosshair and its label: towards the middle of the page, right of A and left of B.
    void crosshair(const CalibrationCrosshair& c, bool labelLeft) {
        const double mx = c.nominal.x() / kPointsPerMm, my = c.nominal.y() / kPointsPerMm;
        p_.drawLine(x(mx - kArmMm), y(my), x(mx + kArmMm), y(my));
        p_.drawLine(x(mx), y(my - kArmMm), x(mx), y(my + kArmMm));
        const QStringList lines = {distanceText("left", c.nominal.x()), distanceText("top", c.nominal.y())};
        p_.setFont(face(8));
        int width = 0;
        for (const QString& l : lines) width = std::max(width, p_.textExtent(l).width());
        p_.setFont(face(16, true));
        const QString letter(c.letter);
        const QSize big = p_.textExtent(letter);
        const int gap = dx(3);
        const int textLeft = labelLeft ? x(mx) - gap - width : x(mx) + gap;
        const int letterLeft = labelLeft ? x(mx) - gap - big.width() : x(mx) + gap;
        int top = y(my) + dy(1.5);
        p_.textOut(letterLeft, y(my) - dy(1.5) - big.height(), letter);
        p_.setFont(face(8));
        for (const QString& l : lines) {
            const int w = p_.textExtent(l).width();
            p_.textOut(labelLeft ? textLeft + width - w : textLeft, top, l);
            top += p_.textExtent(l).height();
        }
    }

    void instructions() {
        const std::vector<CalibrationCrosshair>& marks = CalibrationCrosshairs();
        const double left = marks.front().nominal.x() / kPointsPerMm;
        int top = y(95);
        const auto say = [&](const QFont& f, const QString& text) {
            p_.setFont(f);
            p_.textOut(x(left), top, text);
            top += p_.textExtent(text).height();
        };
        say(face(14, true), QStringLiteral("Merrowby printer calibration sheet"));
        top += dy(3);
        for (const char* line : {
                 "Measure from the paper's left and top edges to the centre of A and of B,",
                 "then type the four distances into Calibrate Printer.",
                 "",
                 "This sheet is printed with no correction. Print it at 100 % (no fit to page)",
                 "on the paper you print labels on. The rulers along the edges show millimetres",
                 "from the paper's edges as the printer places them."})
            say(face(10), QString::fromLatin1(line));
    }

private:
    static double tickMm(int mm) { return mm % 10 == 0 ? kTick10Mm : mm % 5 == 0 ? kTick5Mm : kTickMm; }

    Printer& p_;
    QPoint off_;
    QSize size_;
    double dpmX_, dpmY_;
};

}  // namespace

const std::vector<CalibrationCrosshair>& CalibrationCrosshairs() {
    static const std::vector<CalibrationCrosshair> marks = {
        {QChar('A'), QPointF(25 * kPointsPerMm, 25 * kPointsPerMm)},
        {QChar('B'), QPointF(185 * kPointsPerMm, 255 * kPointsPerMm)},
    };
    return marks;
}

double MeasureToPoints(double value, MeasureUnit unit) {
    return unit == MeasureUnit::Inch ? value * 72.0 : value * kPointsPerMm;
}

RunStatus PrintCalibrationSheet(Printer& printer) {
    Printer* raw = &printer;
    while (auto* c = dynamic_cast<CalibratedPrinter*>(raw)) raw = &c->inner();
    const auto fail = [](const QString& why) { return RunStatus::failure(why); };
    if (raw->dpiX() <= 0 || raw->dpiY() <= 0) return fail(QStringLiteral("The printer reports no resolution."));
    Sheet sheet(*raw);
    for (const CalibrationCrosshair& c : CalibrationCrosshairs())
        if (!sheet.fits(c.nominal))
            return fail(QStringLiteral("Crosshair %1 falls outside the printable area of this printer's "
                                       "paper; choose Letter or A4 paper.")
                            .arg(c.letter));
    const QFont before = raw->font();
    if (!raw->beginDoc(QStringLiteral("Merrowby calibration sheet")))
        return fail(QStringLiteral("The printer could not start the calibration sheet."));
    sheet.rulers();
    const std::vector<CalibrationCrosshair>& marks = CalibrationCrosshairs();
    for (size_t i = 0; i < marks.size(); ++i) sheet.crosshair(marks[i], i + 1 == marks.size());
    sheet.instructions();
    raw->setFont(before);
    if (!raw->endDoc()) return fail(QStringLiteral("The calibration sheet did not reach the printer whole."));
    return RunStatus::Ok();
}

QPointF PrintingOffsetPoints(const Printer& printer) {
    if (printer.dpiX() <= 0 || printer.dpiY() <= 0) return {};
    return {printer.printingOffset().x() * 72.0 / printer.dpiX(), printer.printingOffset().y() * 72.0 / printer.dpiY()};
}

bool SolveSheetCalibration(QPointF measuredA, QPointF measuredB, QPointF printingOffsetPt,
                           PrinterCalibration* out) {
    const std::vector<CalibrationCrosshair>& marks = CalibrationCrosshairs();
    return SolveCalibration(marks[0].nominal - printingOffsetPt, marks[1].nominal - printingOffsetPt,
                            measuredA - printingOffsetPt, measuredB - printingOffsetPt, out);
}
