#include "labels/LabPrintU.h"

TLabPrint::TLabPrint(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Print Labels"));
}
QString TLabPrint::startColumnText() const { return {}; }
QString TLabPrint::startRowText() const { return {}; }
void TLabPrint::FormShow() {}
void TLabPrint::BtnOKClick() {}
void TLabPrint::BtnCancelClick() {}
void TLabPrint::UpDown1Click(Arrow) {}
void TLabPrint::UpDown2Click(Arrow) {}
void TLabPrint::MaskEdit1Exit() {}
void TLabPrint::MaskEdit2Exit() {}
void TLabPrint::showEvent(QShowEvent* e) { QDialog::showEvent(e); }
bool TLabPrint::eventFilter(QObject* w, QEvent* e) { return QDialog::eventFilter(w, e); }
bool TLabPrint::LoadSelectedStock() { return false; }
