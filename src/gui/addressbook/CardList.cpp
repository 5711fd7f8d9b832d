#include "gui/addressbook/CardList.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QSpinBox>

#include "core/occasions/Occasions.h"

#include <algorithm>

QString CardOccasionText(const CardEvent& e) {
    if (e.occasion >= 1 && e.occasion <= 8) {
        QString text = QString::fromLatin1(ReminderTitles[size_t(e.occasion - 1)]);
        static const char* const entries[] = {"Birthday", "Anniversary", "Other 1", "Other 2"};
        if (e.occasion == OccasionDated && e.entry >= 1 && e.entry <= 4)
            text += QStringLiteral(": ") + QString::fromLatin1(entries[e.entry - 1]);
        return text;
    }
    return e.occasion == OccasionSelected ? QStringLiteral("Selected") : QString::number(e.occasion);
}

CardList::CardList(QWidget* parent) : QTableWidget(0, 3, parent) {
    setObjectName(QStringLiteral("CardList"));
    setHorizontalHeaderLabels({QStringLiteral("Year"), QStringLiteral("Occasion"), QStringLiteral("Kind")});
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
}

void CardList::fitToFont(int rowHeight) {
    verticalHeader()->setDefaultSectionSize(rowHeight);
    horizontalHeader()->setFixedHeight(rowHeight);
    horizontalHeader()->setFont(font());
    const QFontMetrics fm(font());
    setColumnWidth(0, std::max(fm.horizontalAdvance(QStringLiteral("Year")), fm.horizontalAdvance(QStringLiteral("0000"))) + 14);
    setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("received")) + 14);
}

void CardList::showEvents(const std::vector<CardEvent>& events) {
    events_ = events;
    setRowCount(0);
    setRowCount(int(events.size()));
    for (int i = 0; i < int(events.size()); ++i) {
        const CardEvent& e = events[size_t(i)];
        setItem(i, 0, new QTableWidgetItem(QString::number(e.year)));
        auto* occasion = new QTableWidgetItem(CardOccasionText(e));
        occasion->setToolTip(occasion->text());
        setItem(i, 1, occasion);
        setItem(i, 2, new QTableWidgetItem(QString::fromLatin1(CardKindName(e.kind))));
    }
}

const CardEvent* CardList::selectedEvent() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().row() >= int(events_.size())) return nullptr;
    return &events_[size_t(rows.first().row())];
}

void CardList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        if (const CardEvent* e = selectedEvent()) emit removeRequested(CardEvent(*e));
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void CardList::contextMenuEvent(QContextMenuEvent* event) {
    // A click names its row (the position is the viewport's); the menu key takes the selected one.
    QPoint where = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QModelIndex at = indexAt(event->pos());
        if (!at.isValid()) return;
        selectRow(at.row());
    }
    const CardEvent* e = selectedEvent();
    if (!e) return;
    if (event->reason() != QContextMenuEvent::Mouse)
        where = viewport()->mapToGlobal(visualRect(selectionModel()->selectedRows().first()).bottomLeft());
    const CardEvent chosen = *e;
    QMenu menu(this);
    QAction* remove = menu.addAction(QStringLiteral("&Remove"));
    remove->setShortcut(QKeySequence::Delete);  // shown as a hint; the key itself is handled above
    if (menu.exec(where) == remove) emit removeRequested(chosen);
}

AddCardDialog::AddCardDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Add a Card"));
    auto* form = new QFormLayout(this);
    kind_ = new QComboBox(this);
    kind_->setObjectName(QStringLiteral("CardKind"));
    kind_->addItem(QStringLiteral("Received from them"), int(CardKind::Received));
    kind_->addItem(QStringLiteral("Returned undelivered"), int(CardKind::Returned));
    occasion_ = new QComboBox(this);
    occasion_->setObjectName(QStringLiteral("CardOccasion"));
    for (int n = 1; n <= 8; ++n) occasion_->addItem(QString::fromLatin1(ReminderTitles[size_t(n - 1)]), n);
    occasion_->setCurrentIndex(6);  // Christmas / Chanukah: the card most people keep track of
    year_ = new QSpinBox(this);
    year_->setObjectName(QStringLiteral("CardYear"));
    year_->setRange(1900, 9999);
    year_->setValue(QDate::currentDate().year());
    form->addRow(QStringLiteral("Card"), kind_);
    form->addRow(QStringLiteral("Occasion"), occasion_);
    form->addRow(QStringLiteral("Year"), year_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

CardKind AddCardDialog::kind() const { return CardKind(char(kind_->currentData().toInt())); }
int AddCardDialog::occasion() const { return occasion_->currentData().toInt(); }
int AddCardDialog::year() const { return year_->value(); }

bool CardQuestion::askCard(QWidget* owner, CardKind* kind, int* occasion, int* year) {
    AddCardDialog dialog(owner);
    if (dialog.exec() != QDialog::Accepted) return false;
    *kind = dialog.kind();
    *occasion = dialog.occasion();
    *year = dialog.year();
    return true;
}
