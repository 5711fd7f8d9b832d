#include "gui/labels/LabSel.h"
#include "gui/common/DialogLook.h"
#include "gui/common/Placement.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTableView>

#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/labels/LabelGen.h"
#include "xbase/Table.h"

// --- grid model -------------------------------------------------------------------------------

void SelectionGridModel::setRows(std::vector<Row> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    rowOf_.clear();
    rowOf_.reserve(qsizetype(rows_.size()));
    for (size_t i = 0; i < rows_.size(); ++i)
        if (!rowOf_.contains(rows_[i].recNo)) rowOf_.insert(rows_[i].recNo, int(i));
    endResetModel();
}

int SelectionGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int SelectionGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant SelectionGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row& r = rows_[size_t(index.row())];
    switch (index.column()) {
    case 0: return r.last;
    case 1: return r.first;
    case 2: return r.cityState;
    case 3: return QString::number(r.recNo);
    default: return {};
    }
}

QVariant SelectionGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    switch (section) {
    case 0: return QStringLiteral("Last");
    case 1: return QStringLiteral("First");
    case 2: return QStringLiteral("City, State");
    default: return QString();
    }
}

// --- dialog -----------------------------------------------------------------------------------

TLabSel::TLabSel(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Selected Labels"));
    resize(544, 438);
    FillBackground(this, DialogGrey());
    const QFont bold = BoldFont(this);

    // Created in tab order: grid, seek box, Select, Print Selected.
    model_ = new SelectionGridModel(this);
    StringGrid1 = new QTableView(this);
    StringGrid1->setModel(model_);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setShowGrid(true);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setColumnHidden(3, true);

    Label1 = new QLabel(QStringLiteral("Seek:"), this);
    Label1->setFont(bold);
    Edit1 = new QLineEdit(this);
    Label1->setBuddy(Edit1);

    Label2 = new QLabel(QStringLiteral("0"), this);
    QFont countFont = bold;
    countFont.setPointSize(10);
    Label2->setFont(countFont);
    QPalette green = Label2->palette();
    green.setColor(QPalette::WindowText, QColor(0, 128, 0));
    Label2->setPalette(green);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label3 = new QLabel(QStringLiteral("Labels have been selected so far."), this);
    Label3->setFont(bold);

    BtnOK = new QPushButton(QStringLiteral("Select"), this);
    BtnOK->setDefault(true);  // Enter picks the current row
    BtnCancel = new QPushButton(QStringLiteral("Print Selected"), this);
    BtnCancel->setAutoDefault(false);

    connect(BtnOK, &QPushButton::clicked, this, &TLabSel::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TLabSel::BtnCancelClick);
    connect(StringGrid1, &QTableView::doubleClicked, this, &TLabSel::StringGrid1DblClick);
    connect(Edit1, &QLineEdit::textChanged, this, &TLabSel::Edit1Change);
    placeControls();
}

void TLabSel::placeControls() {
    // Column widths in letters "B" of the dialog's font; the grid shows 11 rows, header included.
    const int w = fontMetrics().horizontalAdvance(QLatin1Char('B'));
    StringGrid1->setColumnWidth(0, 20 * w);
    StringGrid1->setColumnWidth(1, 20 * w);
    StringGrid1->setColumnWidth(2, 24 * w);
    // The 11 pixels are the grid lines under the 11 rows. A table view draws a row's line inside
    // the row, so its rows are one pixel taller than the text rows, and exactly 11 fit.
    const int rowHeight = StringGrid1->verticalHeader()->defaultSectionSize();
    StringGrid1->verticalHeader()->setDefaultSectionSize(rowHeight + 1);
    StringGrid1->horizontalHeader()->setFixedHeight(rowHeight + 1);
    const int frame = 2 * StringGrid1->frameWidth();
    const int gridWidth = 67 * w;
    const int gridHeight = 11 * rowHeight + 11 + frame;
    StringGrid1->setGeometry(10, 10, gridWidth, gridHeight);

    const int y = 10 + gridHeight + 14;
    Label1->setGeometry(10, y, 40, 23);
    Edit1->setGeometry(52, y, 20 * w, 23);
    Label2->setGeometry(52 + 20 * w + 10, y, 50, 23);
    Label3->setGeometry(52 + 20 * w + 66, y, 260, 23);
    BtnOK->setGeometry(gridWidth / 2 - 130, y + 40, 110, 27);
    BtnCancel->setGeometry(gridWidth / 2 + 30, y + 40, 110, 27);
    resize(gridWidth + 50, y + 40 + 27 + 16);
}

void TLabSel::FillGrid() {
    std::vector<SelectionGridModel::Row> rows;
    if (AddrBookTable) {
        for (LastStatus = AddrBookTable->top(); LastStatus == 0;
             LastStatus = AddrBookTable->skip()) {
            LoadAddrRec();
            rows.push_back({AddressRec.Last, AddressRec.First,
                            TrimText(AddressRec.City) + QStringLiteral(", ") +
                                TrimText(AddressRec.State),
                            int(AddrBookTable->recNo())});
        }
    }
    model_->setRows(std::move(rows));
    BtnOK->setEnabled(model_->rowCount() > 0);
    if (model_->rowCount() > 0) StringGrid1->setCurrentIndex(model_->index(0, 0));
}

void TLabSel::setCount(int count) { Label2->setText(QString::number(count)); }

int TLabSel::currentRow() const {
    const QModelIndex i = StringGrid1->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void TLabSel::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TLabSel::FormShow() {
    LastSeekText.clear();
    Edit1->clear();
    ChosenRecNo = -1;
    StringGrid1->move(10, StringGrid1->y());
    resize(StringGrid1->width() + 50, height());
    StringGrid1->setFocus();
}

void TLabSel::BtnOKClick() {
    const int row = currentRow();
    if (row < 0) return;  // an empty book has nothing to pick
    ChosenRecNo = model_->row(row).recNo;
    accept();
}

void TLabSel::StringGrid1DblClick() { BtnOKClick(); }

void TLabSel::BtnCancelClick() { reject(); }

void TLabSel::Edit1Change() {
    const QString s = TrimText(Edit1->text()).toUpper();
    if (s == LastSeekText) return;
    LastSeekText = s;
    if (!AddrBookTable) return;
    LastStatus = AddrBookTable->seek(s.left(59).toStdString());
    if (LastStatus != xbase::kOk && LastStatus != xbase::kAfter) return;
    const int row = model_->rowOfRecNo(int(AddrBookTable->recNo()));
    if (row < 0) return;
    StringGrid1->setCurrentIndex(model_->index(row, 0));
    StringGrid1->scrollTo(model_->index(row, 0));
}
