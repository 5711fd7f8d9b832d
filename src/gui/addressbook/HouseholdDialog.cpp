#include "gui/addressbook/HouseholdDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "core/data/Records.h"
#include "core/households/Households.h"
#include "gui/common/Fatal.h"
#include "xbase/Library.h"

HouseholdDialog::HouseholdDialog(const TAddressRecord& person, uint32_t recNo, QWidget* parent)
    : QDialog(parent), person_(person), recNo_(recNo) {
    setWindowTitle(QStringLiteral("Household"));
    key_ = HouseholdKey(person);
    personKey_ = HouseholdPersonKey(person);
    HouseholdNotes notes;
    // Unreadable notes show as none; OK then stores what the window holds.
    if (LibHandle && !LoadHouseholdNotes(*LibHandle, &notes).ok()) notes = HouseholdNotes{};
    storedGreeting_ = notes.greeting(key_);
    storedOwnCard_ = notes.hasOwnCard(key_, personKey_);

    others_ = new QListWidget(this);
    others_->setObjectName(QStringLiteral("HouseholdOthers"));
    if (AddrBookTable && !key_.isEmpty()) {
        for (const AddressMate& m : PeopleAtAddress(*AddrBookTable, key_, notes)) {
            if (m.recNo != recNo_)
                others_->addItem(m.first + QLatin1Char(' ') + m.last + (m.ownCard ? QStringLiteral("  (own card)") : QString()));
            if (m.recNo == recNo_ || !m.ownCard) mates_ << m.first + QLatin1Char('|') + m.last;
        }
    }
    if (others_->count() == 0)
        others_->addItem(key_.isEmpty() ? QStringLiteral("No street: this person is a household alone")
                                        : QStringLiteral("Nobody else lives at this address"));
    others_->setFixedHeight(others_->sizeHintForRow(0) * 5 + 2 * others_->frameWidth());

    line_ = new QLabel(this);
    line_->setObjectName(QStringLiteral("HouseholdLine"));
    line_->setWordWrap(true);
    greeting_ = new QLineEdit(storedGreeting_, this);
    greeting_->setObjectName(QStringLiteral("HouseholdGreeting"));
    greeting_->setMaxLength(60);
    greeting_->setPlaceholderText(QStringLiteral("e.g. Grandma & Grandpa"));
    greeting_->setEnabled(!key_.isEmpty());
    ownCard_ = new QCheckBox(QStringLiteral("&Own card: a label of their own"), this);
    ownCard_->setObjectName(QStringLiteral("HouseholdOwnCard"));
    ownCard_->setChecked(storedOwnCard_);
    ownCard_->setEnabled(!key_.isEmpty());
    connect(greeting_, &QLineEdit::textChanged, this, [this] { showLine(); });
    connect(ownCard_, &QCheckBox::toggled, this, [this] { showLine(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &HouseholdDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &HouseholdDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Also at this address:"), others_);
    form->addRow(QStringLiteral("The next run prints:"), line_);
    form->addRow(QStringLiteral("&Greeting:"), greeting_);
    form->addRow(QString(), ownCard_);
    form->addRow(buttons);
    setMinimumWidth(420);
    showLine();
}

void HouseholdDialog::showLine() {
    std::vector<HouseholdName> names;
    if (ownCard_->isChecked() || key_.isEmpty()) {
        names.push_back({TrimText(person_.First), TrimText(person_.Last)});
    } else {
        for (const QString& m : mates_) names.push_back({m.section(QLatin1Char('|'), 0, 0), m.section(QLatin1Char('|'), 1)});
        if (!greeting_->text().trimmed().isEmpty()) {
            line_->setText(greeting_->text().trimmed());
            return;
        }
    }
    // A label may still shorten a long line to the family's name (the run measures it).
    line_->setText(HouseholdLine(names));
}

void HouseholdDialog::accept() {
    const auto written = [this](const xbase::Status& s) {
        return WriteSucceeded(s.ok() ? DataStatus::Ok() : DataStatus::failure(QStringLiteral("Households.dbf"), s), this);
    };
    if (LibHandle && !key_.isEmpty()) {
        const QString greeting = greeting_->text().trimmed();
        // A write that fails keeps the window open: nothing typed is lost.
        if (greeting != storedGreeting_ && !written(StoreHouseholdGreeting(*LibHandle, key_, greeting))) return;
        storedGreeting_ = greeting;
        if (ownCard_->isChecked() != storedOwnCard_ &&
            !written(StoreOwnCard(*LibHandle, key_, personKey_, ownCard_->isChecked())))
            return;
        storedOwnCard_ = ownCard_->isChecked();
    }
    QDialog::accept();
}
