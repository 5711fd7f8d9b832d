#include "gui/occasions/EditListWindow.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <vector>

#include "core/data/Globals.h"
#include "core/households/Households.h"
#include "core/households/OccasionList.h"
#include "core/occasions/Occasions.h"
#include "gui/common/Fatal.h"
#include "gui/common/MessageBoxes.h"
#include "gui/common/Placement.h"

namespace {

constexpr int kRecNoRole = Qt::UserRole + 1;
constexpr int kHouseRole = Qt::UserRole + 2;  // the household (band) a row belongs to
constexpr int kOrderRole = Qt::UserRole + 3;  // its place in name order, households together

// Filters on the name, city and zip columns, all words of the filter text in any of them.
class ListFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setText(const QString& text) {
        words_ = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        invalidateFilter();
    }

protected:
    // Name order keeps households together; the other columns sort by what they show, ties in
    // name order.
    bool lessThan(const QModelIndex& a, const QModelIndex& b) const override {
        if (a.column() != EditListWindow::NameColumn && a.column() != EditListWindow::CheckColumn) {
            const int c = QString::compare(a.data().toString(), b.data().toString(), Qt::CaseInsensitive);
            if (c != 0) return c < 0;
        }
        return a.data(kOrderRole).toInt() < b.data(kOrderRole).toInt();
    }
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QAbstractItemModel* m = sourceModel();
        const QString hay = m->index(row, EditListWindow::NameColumn, parent).data().toString() + QLatin1Char(' ') +
                            m->index(row, EditListWindow::CityColumn, parent).data().toString() + QLatin1Char(' ') +
                            m->index(row, EditListWindow::ZipColumn, parent).data().toString();
        for (const QString& w : words_)
            if (!hay.contains(w, Qt::CaseInsensitive)) return false;
        return true;
    }

private:
    QStringList words_;
};

}  // namespace

EditListWindow::EditListWindow(int occasion, QWidget* parent) : QDialog(parent), occasion_(occasion) {
    setWindowTitle(QStringLiteral("Edit List - ") + QString::fromLatin1(ReminderTitles[size_t(std::clamp(occasion, 1, 7) - 1)]));
    model_ = new QStandardItemModel(0, ColumnCount, this);
    model_->setHorizontalHeaderLabels({QString(), QStringLiteral("Name"), QStringLiteral("City"), QStringLiteral("Zip"),
                                       QStringLiteral("Sent last year"), QStringLiteral("Received last year")});

    std::vector<ListPerson> people;
    const DataStatus read = ReadOccasionList(occasion, ListLastYear(occasion, QDate::currentDate()), &people);
    HouseholdNotes notes;
    if (LibHandle && !LoadHouseholdNotes(*LibHandle, &notes).ok()) notes = HouseholdNotes{};

    // People at one address together, at the name-order place of the first of them; a person
    // marked own card, or without a street, is a household alone.
    std::vector<int> houseOf(people.size());
    QHash<QString, int> firstOf;
    std::vector<std::vector<size_t>> houses;
    for (size_t i = 0; i < people.size(); ++i) {
        const ListPerson& p = people[i];
        TAddressRecord who;
        who.First = p.first;
        who.Last = p.last;
        const bool alone = p.householdKey.isEmpty() || notes.hasOwnCard(p.householdKey, HouseholdPersonKey(who));
        const auto it = alone ? firstOf.cend() : firstOf.constFind(p.householdKey);
        if (it != firstOf.cend()) {
            houses[size_t(it.value())].push_back(i);
        } else {
            if (!alone) firstOf.insert(p.householdKey, int(houses.size()));
            houses.push_back({i});
        }
    }
    const QColor shades[2] = {palette().color(QPalette::Base), palette().color(QPalette::AlternateBase)};
    int order = 0;
    for (size_t h = 0; h < houses.size(); ++h) {
        for (size_t k = 0; k < houses[h].size(); ++k) {
            const ListPerson& p = people[houses[h][k]];
            stored_[p.recNo] = p.flag;
            auto* check = new QStandardItem;
            check->setCheckable(true);
            check->setCheckState(p.flag ? Qt::Checked : Qt::Unchecked);
            check->setData(p.recNo, kRecNoRole);
            check->setData(int(h), kHouseRole);
            const QString name = (k > 0 ? QStringLiteral("    ") : QString()) + p.first + QLatin1Char(' ') + p.last;
            QList<QStandardItem*> row = {check,
                                         new QStandardItem(name),
                                         new QStandardItem(p.city),
                                         new QStandardItem(p.zip),
                                         new QStandardItem(p.sentLastYear ? QStringLiteral("sent") : QString()),
                                         new QStandardItem(p.receivedLastYear ? QStringLiteral("received") : QString())};
            for (QStandardItem* item : row) {
                item->setEditable(false);
                item->setData(order, kOrderRole);
                item->setBackground(shades[h % 2]);
                if (houses[h].size() > 1) item->setToolTip(QStringLiteral("%1 people at this address").arg(houses[h].size()));
            }
            model_->appendRow(row);
            ++order;
        }
    }

    proxy_ = new ListFilter(this);
    proxy_->setSourceModel(model_);
    view_ = new QTableView(this);
    view_->setModel(proxy_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->setSortingEnabled(true);
    view_->sortByColumn(NameColumn, Qt::AscendingOrder);
    view_->installEventFilter(this);

    filter_ = new QLineEdit(this);
    filter_->setPlaceholderText(QStringLiteral("Filter by name, city or zip"));
    filter_->setClearButtonEnabled(true);
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& t) {
        static_cast<ListFilter*>(proxy_)->setText(t);
    });
    all_ = new QPushButton(QStringLiteral("&All shown"), this);
    none_ = new QPushButton(QStringLiteral("&None shown"), this);
    connect(all_, &QPushButton::clicked, this, [this] { setShown(true); });
    connect(none_, &QPushButton::clicked, this, [this] { setShown(false); });
    count_ = new QLabel(this);
    connect(model_, &QStandardItemModel::itemChanged, this, [this] { showCount(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setEnabled(bool(read));
    connect(buttons, &QDialogButtonBox::accepted, this, &EditListWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &EditListWindow::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("&Filter:"), this));
    static_cast<QLabel*>(top->itemAt(0)->widget())->setBuddy(filter_);
    top->addWidget(filter_, 1);
    top->addWidget(all_);
    top->addWidget(none_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(count_, 1);
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    layout->addLayout(bottom);

    view_->resizeColumnsToContents();
    view_->setColumnWidth(NameColumn, std::max(view_->columnWidth(NameColumn), 200));
    resize(640, 480);
    showCount();
    if (!read) UserPrompts().error(QStringLiteral("Unable to open file ") + read.file + QStringLiteral("\r\n") + read.detail);
}

uint32_t EditListWindow::recNoAt(int row) const {
    return proxy_->index(row, CheckColumn).data(kRecNoRole).toUInt();
}

int EditListWindow::checkedPeople() const {
    int n = 0;
    for (int r = 0; r < model_->rowCount(); ++r) n += model_->item(r, CheckColumn)->checkState() == Qt::Checked;
    return n;
}

int EditListWindow::checkedHouseholds() const {
    QSet<int> houses;
    for (int r = 0; r < model_->rowCount(); ++r)
        if (model_->item(r, CheckColumn)->checkState() == Qt::Checked)
            houses.insert(model_->item(r, CheckColumn)->data(kHouseRole).toInt());
    return int(houses.size());
}

void EditListWindow::showCount() {
    count_->setText(QStringLiteral("On the list: %1 people in %2 households").arg(checkedPeople()).arg(checkedHouseholds()));
}

void EditListWindow::setShown(bool on) {
    for (int r = 0; r < proxy_->rowCount(); ++r)
        model_->itemFromIndex(proxy_->mapToSource(proxy_->index(r, CheckColumn)))->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

bool EditListWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        const QModelIndex at = view_->currentIndex();
        if (at.isValid()) {
            QStandardItem* check = model_->itemFromIndex(proxy_->mapToSource(proxy_->index(at.row(), CheckColumn)));
            check->setCheckState(check->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void EditListWindow::accept() {
    std::map<uint32_t, bool> wanted;
    for (int r = 0; r < model_->rowCount(); ++r) {
        const QStandardItem* check = model_->item(r, CheckColumn);
        const uint32_t recNo = check->data(kRecNoRole).toUInt();
        const bool on = check->checkState() == Qt::Checked;
        if (stored_[recNo] != on) wanted[recNo] = on;
    }
    if (!wanted.empty()) {
        const DataStatus s = WriteOccasionFlags(occasion_, [&](uint32_t recNo, bool flag) {
            const auto it = wanted.find(recNo);
            return it == wanted.end() ? flag : it->second;
        });
        if (!WriteSucceeded(s, this)) return;  // the window stays: nothing is lost
    }
    QDialog::accept();
}

void EditOccasionList(int occasion, QWidget* parent) {
    EditListWindow window(occasion, parent);
    window.exec();
}
