#include "gui/labels/CatalogueWindow.h"

#include "gui/common/BusyCursor.h"
#include "gui/common/MessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QLocale>
#include <QPushButton>
#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace {

enum Column { ColMaker, ColPart, ColDescription, ColPerSheet, ColSize, ColCount };

QString cellText(const CatalogueEntry& e, int column) {
    switch (column) {
    case ColMaker: return e.maker;
    case ColPart: return e.part;
    case ColDescription: return e.description;
    case ColPerSheet: return e.perSheet > 0 ? QString::number(e.perSheet) : QStringLiteral("roll");
    case ColSize: return CatalogueLabelSize(e.stock);
    }
    return {};
}

}  // namespace

// The entries shown, as the list's rows.
class CatalogueModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(std::vector<const CatalogueEntry*> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    const std::vector<const CatalogueEntry*>& rows() const { return rows_; }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : ColCount; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= int(rows_.size())) return {};
        const CatalogueEntry& e = *rows_[size_t(index.row())];
        if (role == Qt::DisplayRole) return cellText(e, index.column());
        // A sheet that cannot become a stock is greyed, its reason in every cell's tip.
        if (role == Qt::ToolTipRole)
            return e.refusal.isEmpty() ? cellText(e, index.column())
                                       : QStringLiteral("Cannot be added: ") + e.refusal;
        if (role == Qt::ForegroundRole && !e.refusal.isEmpty())
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        if (role == Qt::TextAlignmentRole)
            return int(index.column() == ColPerSheet ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        static const char* const titles[ColCount] = {"Maker", "Part", "Description", "Per sheet", "Label size"};
        if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColCount)
            return QString::fromLatin1(titles[section]);
        return {};
    }

private:
    std::vector<const CatalogueEntry*> rows_;
};

QString CatalogueLabelSize(const TLabelRecord& stock) {
    const QLocale c = QLocale::c();
    const auto in = [&](double pt) { return c.toString(pt / 72.0, 'f', 2); };
    const auto mm = [&](double pt) { return c.toString(pt * 25.4 / 72.0, 'f', 1); };
    return QStringLiteral("%1 \u00d7 %2 in (%3 \u00d7 %4 mm)")
        .arg(in(stock.Width), in(stock.Height), mm(stock.Width), mm(stock.Height));
}

const StockCatalogue* SystemCatalogue(QString* problem) {
    static std::unique_ptr<StockCatalogue> cat;
    if (!cat) {
        if (!QDir(DefaultCatalogueDir()).exists()) {
            *problem = QString::fromLatin1(kNoCatalogueMessage);
            return nullptr;
        }
        auto read = [] {
            BusyCursor busy;
            return std::make_unique<StockCatalogue>(ReadStockCatalogue());
        }();
        if (read->entries.empty()) {
            *problem = read->problems.isEmpty() ? QString::fromLatin1(kNoCatalogueMessage)
                                                : QStringLiteral("The label catalogue could not be read:\r\n") +
                                                      read->problems.first();
            return nullptr;
        }
        cat = std::move(read);
    }
    return cat.get();
}

TCatalogueWindow::TCatalogueWindow(const StockCatalogue& catalogue, QWidget* parent)
    : QDialog(parent), cat_(catalogue) {
    setWindowTitle(QStringLiteral("Label Catalogue"));
    auto* top = new QVBoxLayout(this);
    auto* line = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("&Search:"), this);
    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QStringLiteral("maker, part number or description, e.g. Avery 5160"));
    search_->setClearButtonEnabled(true);
    caption->setBuddy(search_);
    line->addWidget(caption);
    line->addWidget(search_, 1);
    top->addLayout(line);

    model_ = new CatalogueModel(this);
    table_ = new QTableView(this);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setTabKeyNavigation(false);  // Tab leaves the list
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    // Widths once, from the widest text of the whole catalogue: measuring at every keystroke
    // would make typing slow.
    QHeaderView* h = table_->horizontalHeader();
    const QFontMetrics fm = table_->fontMetrics();
    for (int c : {ColMaker, ColPart, ColPerSheet, ColSize}) {
        int w = fm.horizontalAdvance(model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) + 24;
        for (const CatalogueEntry& e : cat_.entries) w = std::max(w, fm.horizontalAdvance(cellText(e, c)) + 12);
        h->resizeSection(c, std::min(w, c == ColSize ? 320 : 160));
    }
    h->setSectionResizeMode(ColDescription, QHeaderView::Stretch);
    top->addWidget(table_, 1);

    auto* bottom = new QHBoxLayout;
    count_ = new QLabel(this);
    add_ = new QPushButton(QStringLiteral("&Add Stock"), this);
    add_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    bottom->addWidget(count_, 1);
    bottom->addWidget(add_);
    bottom->addWidget(cancel);
    top->addLayout(bottom);

    search_->installEventFilter(this);
    connect(search_, &QLineEdit::textChanged, this, &TCatalogueWindow::filter);
    connect(table_, &QTableView::doubleClicked, this, [this] { choose(); });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TCatalogueWindow::showSelected);
    connect(add_, &QPushButton::clicked, this, &TCatalogueWindow::choose);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(760, 480);
    filter(QString());
    search_->setFocus(Qt::OtherFocusReason);
}

void TCatalogueWindow::filter(const QString& text) {
    std::vector<const CatalogueEntry*> shown = SearchCatalogue(cat_, text);
    // A part number typed whole comes first: "avery 5160" stands on 5160, not on 15160.
    const QStringList words = text.simplified().split(u' ', Qt::SkipEmptyParts);
    std::stable_partition(shown.begin(), shown.end(), [&](const CatalogueEntry* e) {
        return std::any_of(words.begin(), words.end(),
                           [&](const QString& w) { return e->part.compare(w, Qt::CaseInsensitive) == 0; });
    });
    const size_t found = shown.size();
    model_->setRows(std::move(shown));
    if (found > 0) table_->selectRow(0);
    showSelected();
}

const CatalogueEntry* TCatalogueWindow::selectedEntry() const {
    const QModelIndexList picked = table_->selectionModel()->selectedRows();
    if (picked.isEmpty()) return nullptr;
    const int row = picked.first().row();
    if (row < 0 || row >= int(model_->rows().size())) return nullptr;
    return model_->rows()[size_t(row)];
}

void TCatalogueWindow::showSelected() {
    const CatalogueEntry* e = selectedEntry();
    add_->setEnabled(e && e->refusal.isEmpty());
    if (e && !e->refusal.isEmpty()) {
        count_->setText(QStringLiteral("%1 %2 cannot be added: %3").arg(e->maker, e->part, e->refusal));
        return;
    }
    QString counted = QStringLiteral("%1 of %2 label sheets").arg(model_->rows().size()).arg(cat_.entries.size());
    if (cat_.skipped > 0) counted += QStringLiteral(" (%1 round or other shapes left out)").arg(cat_.skipped);
    count_->setText(counted);
}

bool TCatalogueWindow::eventFilter(QObject* watched, QEvent* event) {
    // Up, Down and the page keys in the search line move through the list, so that a search
    // and its choice need no mouse.
    if (watched == search_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            QApplication::sendEvent(table_, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TCatalogueWindow::choose() {
    const CatalogueEntry* e = selectedEntry();
    if (!e) return;
    if (!e->refusal.isEmpty()) {
        UserPrompts(this).info(QStringLiteral("%1 %2 cannot be added as a label stock.\r\n").arg(e->maker, e->part) + e->refusal);
        return;
    }
    chosen_ = e;
    accept();
}
