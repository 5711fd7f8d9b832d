#pragma once
// "Household...": the household of the person in the address page's editor. It shows the others
// at this address, the line the next label run prints for the household (everyone at the
// address who has no card of their own), a box for the household's own greeting that replaces
// that line, and "Own card", which gives this person a label of their own. OK stores what
// changed in Households.dbf (core/households/Households.h); Cancel stores nothing. AddrBook must
// be open (AddrBookTable); it is read without moving.

#include <QDialog>
#include <cstdint>

#include "core/data/Globals.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class HouseholdDialog : public QDialog {
    Q_OBJECT
public:
    HouseholdDialog(const TAddressRecord& person, uint32_t recNo, QWidget* parent = nullptr);

    QListWidget* othersList() const { return others_; }
    QLabel* lineLabel() const { return line_; }
    QLineEdit* greetingBox() const { return greeting_; }
    QCheckBox* ownCardBox() const { return ownCard_; }
    QPushButton* okButton() const { return ok_; }

    void accept() override;

private:
    void showLine();

    TAddressRecord person_;
    uint32_t recNo_;
    QString key_, personKey_, storedGreeting_;
    bool storedOwnCard_ = false;
    QStringList mates_;  // "First|Last" of everyone at the address without a card of their own
    QListWidget* others_ = nullptr;
    QLabel* line_ = nullptr;
    QLineEdit* greeting_ = nullptr;
    QCheckBox* ownCard_ = nullptr;
    QPushButton* ok_ = nullptr;
};
