#pragma once
// "Calibrate Printer": prints the calibration sheet on the printer label runs use, takes the
// distances the user measured on it, works out the correction and stores it for that printer.
//
// The user prints the sheet, measures from the paper's left and top edges to the centre of
// crosshairs A and B (millimetres or inches), types the four distances and presses Work Out;
// Store keeps in Printers.dbf the correction of the distances as the boxes show them when it is
// pressed (worked out again), Clear stores none. A system whose labels go to a PDF file has no
// printer to calibrate.

#include <QDialog>
#include <functional>
#include <memory>

#include "core/print/Calibration.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

class TCalibrate : public QDialog {
    Q_OBJECT
public:
    // `printerName` is the printer being calibrated; `makePrinter` gives a printer for the
    // sheet (tests give a recording one).
    TCalibrate(const QString& printerName, std::function<std::unique_ptr<Printer>()> makePrinter,
               QWidget* parent = nullptr);

    QPushButton* printButton() const { return BtnPrint; }
    QPushButton* workOutButton() const { return BtnWorkOut; }
    QPushButton* storeButton() const { return BtnStore; }
    QPushButton* clearButton() const { return BtnClear; }
    QComboBox* unitBox() const { return CmbUnit; }
    // Measured distances: A across, A down, B across, B down, in the unit shown.
    QDoubleSpinBox* measured(int i) const { return Fields[i]; }
    QLabel* resultLabel() const { return LblResult; }
    QLabel* storedLabel() const { return LblStored; }
    // The correction Work Out found (identity before).
    const PrinterCalibration& workedOut() const { return worked_; }

    void BtnPrintClick();
    void BtnWorkOutClick();
    void BtnStoreClick();
    void BtnClearClick();

private:
    void UnitChanged();
    // Stores `cal` for the printer, telling the user when it cannot be written.
    void store(const PrinterCalibration& cal);
    void ShowStored();
    double toPoints(double v) const;

    QString printer_;
    std::function<std::unique_ptr<Printer>()> makePrinter_;
    PrinterCalibration worked_;
    bool haveWorked_ = false;
    bool inches_ = false;
    QComboBox* CmbUnit = nullptr;
    QDoubleSpinBox* Fields[4] = {};
    QLabel* Nominal[4] = {};
    QLabel* LblResult = nullptr;
    QLabel* LblStored = nullptr;
    QPushButton* BtnPrint = nullptr;
    QPushButton* BtnWorkOut = nullptr;
    QPushButton* BtnStore = nullptr;
    QPushButton* BtnClear = nullptr;
};

// "Calibrate Printer…" on the setup page: the dialog for the printer label runs print on, or a
// message when labels go to a PDF file.
void CalibratePrinter1Click();

// "0.85 pt right, 1.13 pt higher, scale 1.0020" (what a correction does, for the user).
QString DescribeCalibration(const PrinterCalibration& cal);
