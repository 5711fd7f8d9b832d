#include "gui/labels/Calibrate.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "gui/common/Fatal.h"
#include "gui/common/MessageBoxes.h"
#include "core/data/Globals.h"
#include "core/print/Printers.h"
#include "core/print/CalibrationSheet.h"
#include "printing/QtPrinter.h"
#include "xbase/Library.h"

namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;

QString number(double v, int decimals) { return QLocale::c().toString(v, 'f', decimals); }

// "0.85 pt (0.30 mm) to the right"
QString shift(double pt, const char* plus, const char* minus) {
    return QStringLiteral("%1 pt (%2 mm) %3")
        .arg(number(std::abs(pt), 2), number(std::abs(pt) * kMmPerPoint, 2),
             QString::fromLatin1(pt >= 0 ? plus : minus));
}

}  // namespace

QString DescribeCalibration(const PrinterCalibration& cal) {
    if (cal.isIdentity()) return QStringLiteral("none: printed as laid out");
    QStringList parts;
    if (cal.dxPt != 0) parts << shift(cal.dxPt, "to the right", "to the left");
    if (cal.dyPt != 0) parts << shift(cal.dyPt, "lower", "higher");
    if (cal.scale != 1) parts << QStringLiteral("scale %1").arg(number(cal.scale, 4));
    return parts.join(QStringLiteral(", "));
}

TCalibrate::TCalibrate(const QString& printerName, std::function<std::unique_ptr<Printer>()> makePrinter,
                       QWidget* parent)
    : QDialog(parent), printer_(printerName), makePrinter_(std::move(makePrinter)) {
    setWindowTitle(QStringLiteral("Calibrate Printer"));
    auto* top = new QVBoxLayout(this);
    auto* name = new QLabel(QStringLiteral("Printer: <b>%1</b>").arg(printer_.toHtmlEscaped()), this);
    top->addWidget(name);

    auto* step1 = new QLabel(QStringLiteral("1. Print the calibration sheet on plain paper, at full size "
                                            "(no fitting to the page)."), this);
    step1->setWordWrap(true);
    BtnPrint = new QPushButton(QStringLiteral("&Print Calibration Sheet"), this);
    auto* row1 = new QHBoxLayout;
    row1->addWidget(step1, 1);
    row1->addWidget(BtnPrint);
    top->addLayout(row1);

    auto* step2 = new QLabel(QStringLiteral("2. Measure from the paper's left and top edges to the centre "
                                            "of crosshairs A and B, and type the distances."), this);
    step2->setWordWrap(true);
    top->addWidget(step2);

    auto* grid = new QGridLayout;
    auto* unitCaption = new QLabel(QStringLiteral("&Unit:"), this);
    CmbUnit = new QComboBox(this);
    CmbUnit->addItems({QStringLiteral("millimetres"), QStringLiteral("inches")});
    unitCaption->setBuddy(CmbUnit);
    grid->addWidget(unitCaption, 0, 0);
    grid->addWidget(CmbUnit, 0, 1);
    const char* captions[4] = {"A from the &left:", "A from the &top:", "B from the l&eft:", "B from the t&op:"};
    for (int i = 0; i < 4; ++i) {
        auto* caption = new QLabel(QString::fromLatin1(captions[i]), this);
        Fields[i] = new QDoubleSpinBox(this);
        Fields[i]->setKeyboardTracking(false);
        caption->setBuddy(Fields[i]);
        Nominal[i] = new QLabel(this);
        grid->addWidget(caption, i + 1, 0);
        grid->addWidget(Fields[i], i + 1, 1);
        grid->addWidget(Nominal[i], i + 1, 2);
    }
    grid->setColumnStretch(2, 1);
    top->addLayout(grid);

    BtnWorkOut = new QPushButton(QStringLiteral("&Work Out"), this);
    LblResult = new QLabel(this);
    LblResult->setWordWrap(true);
    auto* row3 = new QHBoxLayout;
    row3->addWidget(BtnWorkOut);
    row3->addWidget(LblResult, 1);
    top->addLayout(row3);

    LblStored = new QLabel(this);
    LblStored->setWordWrap(true);
    top->addWidget(LblStored);

    auto* buttons = new QHBoxLayout;
    BtnStore = new QPushButton(QStringLiteral("&Store"), this);
    BtnClear = new QPushButton(QStringLiteral("&Clear Correction"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    buttons->addStretch();
    buttons->addWidget(BtnStore);
    buttons->addWidget(BtnClear);
    buttons->addWidget(close);
    top->addLayout(buttons);
    BtnStore->setEnabled(false);
    BtnWorkOut->setDefault(true);  // Enter in a distance works it out

    connect(BtnPrint, &QPushButton::clicked, this, &TCalibrate::BtnPrintClick);
    connect(BtnWorkOut, &QPushButton::clicked, this, &TCalibrate::BtnWorkOutClick);
    connect(BtnStore, &QPushButton::clicked, this, &TCalibrate::BtnStoreClick);
    connect(BtnClear, &QPushButton::clicked, this, &TCalibrate::BtnClearClick);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(CmbUnit, &QComboBox::currentIndexChanged, this, &TCalibrate::UnitChanged);
    UnitChanged();
    ShowStored();
    setFixedSize(sizeHint().expandedTo(QSize(460, 0)));
}

double TCalibrate::toPoints(double v) const {
    return MeasureToPoints(v, inches_ ? MeasureUnit::Inch : MeasureUnit::Millimetre);
}

void TCalibrate::UnitChanged() {
    const auto crosshairs = CalibrationCrosshairs();
    const double nominal[4] = {crosshairs[0].nominal.x(), crosshairs[0].nominal.y(), crosshairs[1].nominal.x(),
                               crosshairs[1].nominal.y()};
    // What was typed keeps its length in the other unit; an empty field offers the printed place.
    double points[4];
    for (int i = 0; i < 4; ++i) points[i] = Fields[i]->value() != 0 ? toPoints(Fields[i]->value()) : nominal[i];
    inches_ = CmbUnit->currentIndex() == 1;
    const auto shown = [this](double pt) { return inches_ ? pt / 72.0 : pt * kMmPerPoint; };
    for (int i = 0; i < 4; ++i) {
        Fields[i]->setDecimals(inches_ ? 3 : 1);
        Fields[i]->setSingleStep(inches_ ? 0.01 : 0.5);
        Fields[i]->setRange(0, inches_ ? 20 : 500);
        Fields[i]->setSuffix(inches_ ? QStringLiteral(" in") : QStringLiteral(" mm"));
        Fields[i]->setValue(shown(points[i]));
        Nominal[i]->setText(QStringLiteral("printed at %1%2")
                                .arg(number(shown(nominal[i]), inches_ ? 3 : 1),
                                     inches_ ? QStringLiteral(" in") : QStringLiteral(" mm")));
    }
}

void TCalibrate::ShowStored() {
    PrinterCalibration cal;
    bool found = false;
    if (LibHandle && LoadPrinterCalibration(*LibHandle, printer_.toStdString(), &cal, &found).ok() && found)
        LblStored->setText(QStringLiteral("Stored now: ") + DescribeCalibration(cal));
    else
        LblStored->setText(QStringLiteral("Stored now: none"));
}

void TCalibrate::BtnPrintClick() {
    std::unique_ptr<Printer> printer = makePrinter_ ? makePrinter_() : nullptr;
    const RunStatus printed = printer ? PrintCalibrationSheet(*printer) : RunStatus::Ok();
    if (!printer || !printed) {
        UserPrompts(this).error(QStringLiteral("The calibration sheet could not be printed.") +
                                (printed ? QString() : QStringLiteral("\r\n") + printed.reason));
        return;
    }
    Fields[0]->setFocus(Qt::OtherFocusReason);
    Fields[0]->selectAll();
}

void TCalibrate::BtnWorkOutClick() {
    // A box still being typed in (Alt+W, Alt+S without leaving it) counts with what it shows.
    for (QDoubleSpinBox* f : Fields) f->interpretText();
    const QPointF a(toPoints(Fields[0]->value()), toPoints(Fields[1]->value()));
    const QPointF b(toPoints(Fields[2]->value()), toPoints(Fields[3]->value()));
    // The correction moves positions from the printable corner: where that corner is on paper.
    QPointF corner;
    if (std::unique_ptr<Printer> printer = makePrinter_ ? makePrinter_() : nullptr)
        corner = PrintingOffsetPoints(*printer);
    const auto refuse = [this](const QString& why) {
        haveWorked_ = false;
        BtnStore->setEnabled(false);
        LblResult->setText(why);
    };
    PrinterCalibration cal;
    if (!SolveSheetCalibration(a, b, corner, &cal))
        return refuse(QStringLiteral("A and B cannot be measured at the same place."));
    // A measurement far out is a misreading (the wrong edge, the wrong unit), not a printer.
    if (!CalibrationWithinLimits(cal)) return refuse(QString::fromLatin1(kCalibrationTooFarMessage));
    worked_ = cal;
    haveWorked_ = true;
    BtnStore->setEnabled(true);
    LblResult->setText(QStringLiteral("Correction: ") + DescribeCalibration(cal));
}

void TCalibrate::store(const PrinterCalibration& cal) {
    if (!LibHandle) return;
    const xbase::Status s = StorePrinterCalibration(*LibHandle, printer_.toStdString(), cal);
    if (!s.ok()) {
        UserPrompts(this).error(QStringLiteral("The correction could not be stored:\r\n") +
                                QString::fromStdString(s.toString()));
        return;
    }
    ShowStored();
}

void TCalibrate::BtnStoreClick() {
    // The correction of the distances as the boxes show them now, not of those last worked out.
    BtnWorkOutClick();
    if (haveWorked_) store(worked_);
}

void TCalibrate::BtnClearClick() { store(PrinterCalibration{}); }

void CalibratePrinter1Click() {
    const QString name = QtPrinter(&UserPrompts()).printerName();
    if (name.isEmpty()) {
        UserPrompts().info(QStringLiteral("There is no printer to calibrate: labels are saved as PDF files, "
                                          "which need no correction."));
        return;
    }
    TCalibrate dialog(name, [] {
        // The sheet measures the printer as it is: no stored correction applies to it.
        return std::unique_ptr<Printer>(std::make_unique<QtPrinter>(&UserPrompts()));
    });
    dialog.exec();
}
