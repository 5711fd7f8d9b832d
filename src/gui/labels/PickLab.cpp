#include "gui/labels/PickLab.h"
#include "gui/common/DialogLook.h"
#include "gui/common/Fitting.h"
#include "gui/common/Placement.h"

#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>

#include "gui/common/MessageBoxes.h"
#include "gui/labels/CatalogueWindow.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Table.h"

TPickLab::TPickLab(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("PickLab"));
    setFixedSize(268, 307);  // room below the buttons for Catalogue…
    FillBackground(this, DialogGrey());

    ListBox1 = new QListWidget(this);
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setGeometry(24, 16, 217, 193);
    FitListEntries(ListBox1);  // names longer than the list show elided, not cut at its edge
    BtnSelect = new QPushButton(QStringLiteral("Select"), this);
    BtnSelect->setGeometry(24, 232, 65, 27);
    BtnNew = new QPushButton(QStringLiteral("New"), this);
    BtnNew->setGeometry(100, 232, 65, 27);
    BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BtnCancel->setGeometry(176, 232, 65, 27);
    BtnCatalogue = new QPushButton(QStringLiteral("&Catalogue\u2026"), this);
    BtnCatalogue->setGeometry(24, 268, 217, 27);
    BtnCatalogue->setToolTip(QStringLiteral("Add a maker's label sheet, such as Avery 5160"));

    connect(BtnSelect, &QPushButton::clicked, this, &TPickLab::BtnSelectClick);
    connect(BtnNew, &QPushButton::clicked, this, &TPickLab::BtnNewClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TPickLab::BtnCancelClick);
    connect(BtnCatalogue, &QPushButton::clicked, this, &TPickLab::BtnCatalogueClick);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TPickLab::ListBox1DblClick);
}

void TPickLab::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TPickLab::FormShow() {
    ListBox1->clear();
    int preselect = -1;
    LastStatus = LabelsTable ? LabelsTable->top() : xbase::kEof;
    while (LastStatus == xbase::kOk) {
        LoadLabelRec();
        QString entry = LabelRec.Name;
        if (LabelsTable->deleted()) entry += QStringLiteral("<DELETED>");
        if (static_cast<int>(LabelsTable->recNo()) == CurrentStockRecNo)
            preselect = ListBox1->count();
        ListBox1->addItem(entry);
        // The list is narrower than the longest names; the tooltip shows the whole of one.
        ListBox1->item(ListBox1->count() - 1)->setToolTip(entry.simplified());
        LastStatus = LabelsTable->skip(1);
    }
    if (ListBox1->count() > 0) ListBox1->setCurrentRow(preselect >= 0 ? preselect : 0);
    CurrentStockRecNo = -1;
    ListBox1->setFocus(Qt::OtherFocusReason);
}

void TPickLab::BtnSelectClick() {
    const int pos = ListBox1->currentRow();
    if (pos < 0 || !LabelsTable || ListBox1->selectedItems().isEmpty()) {
        UserPrompts(this).info(QStringLiteral("Item Not Selected"));
        return;
    }
    LastStatus = LabelsTable->top();
    if (LastStatus == xbase::kOk && pos > 0) LastStatus = LabelsTable->skip(pos);
    if (LastStatus != xbase::kOk) {
        // The table no longer holds as many rows as the list shows.
        UserPrompts(this).info(QStringLiteral("Item Not Selected"));
        return;
    }
    CurrentStockRecNo = static_cast<int>(LabelsTable->recNo());
    accept();
}

void TPickLab::ListBox1DblClick() {
    BtnSelectClick();
}

void TPickLab::BtnNewClick() {
    CurrentStockRecNo = 0;
    accept();
}

void TPickLab::BtnCancelClick() {
    CurrentStockRecNo = -1;
    reject();
}

void TPickLab::BtnCatalogueClick() {
    QString problem;
    const StockCatalogue* cat = SystemCatalogue(&problem);
    if (!cat) {
        UserPrompts(this).info(problem);
        return;
    }
    TCatalogueWindow window(*cat, this);
    if (window.exec() != QDialog::Accepted || !window.chosen() || !LabelsTable) return;
    int recNo = 0;
    bool added = false;
    const DataStatus s = AddCatalogueStock(window.chosen()->stock, &recNo, &added);
    if (!s) {
        UserPrompts(this).error(QStringLiteral("The stock could not be added:\r\n") + s.toString());
        return;
    }
    // The list again, in name order, standing on the new stock.
    CurrentStockRecNo = recNo;
    FormShow();
    BtnSelect->setFocus(Qt::OtherFocusReason);
}
