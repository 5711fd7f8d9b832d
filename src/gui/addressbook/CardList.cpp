#include "gui/addressbook/CardList.h"

#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QSpinBox>

#include "core/occasions/Occasions.h"

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
    setHorizontalHeaderLabels({QStringLiteral("Cards"), QStringLiteral("Occasion"), QStringLiteral("Kind")});
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setFocusPolicy(Qt::NoFocus);  // a list to look at; the keyboard goes on to the editor
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
    setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("Cards")) + 14);
    setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("received")) + 14);
}

void CardList::showEvents(const std::vector<CardEvent>& events) {
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
