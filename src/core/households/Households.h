#pragma once
// Households: people who live at one address get one label.
//
//  - HouseholdKey says who lives together: Street, Street2, City, Zip and Country trimmed, case
//    folded and with inner runs of blanks made one. A person without a street has no key and
//    never joins anyone.
//  - HouseholdLine builds the name line of a household's label from its members who qualify for
//    the run; a greeting stored for the household replaces it.
//  - Households.dbf, a table of our own beside the book (created on first store, found whatever
//    its letter case), keeps per household key the greeting and the people marked "own card"
//    (who keep a label of their own), and the label run's "one label per household" choice.
//    Nothing in it names a record: a move or a rename re-forms households on the next run.
//  - HouseholdGrouper groups the qualifying people of a run, in the order they come.

#include <QHash>
#include <QString>
#include <cstdint>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "core/addressbook/AddressListModel.h"
#include "core/data/Schema.h"
#include "xbase/Status.h"

namespace xbase {
class Library;
class Table;
}
struct TAddressRecord;

// The household key of an address; "" when its street is empty.
QString HouseholdKey(const TAddressRecord& rec);
// The key that marks one person within a household: first and last name, folded as the key is.
QString HouseholdPersonKey(const TAddressRecord& rec);

struct HouseholdName {
    QString first, last;  // trimmed
};
// The name line of members (at least one), in the order given: "Ann Lee"; "Ann & Bob Lee";
// "Ann Lee & Bob Gray"; "The Lee Family" for three or more of one last name; otherwise the names
// joined by commas and one "&". A line of two or more that `fits` refuses becomes "The <first
// member's last name> Family". No `fits`: every line fits.
QString HouseholdLine(const std::vector<HouseholdName>& members,
                      const std::function<bool(const QString&)>& fits = {});

// --- Households.dbf -------------------------------------------------------------------------

const TableSchema& HouseholdsSchema();

// What the table holds, read whole (it is small: a row per greeting and per own-card mark).
struct HouseholdNotes {
    QHash<QString, QString> greetings;             // household key -> greeting
    std::set<std::pair<QString, QString>> ownCard;   // (household key, person key)
    bool oneLabelPerHousehold = false;

    QString greeting(const QString& key) const;
    bool hasOwnCard(const QString& key, const QString& person) const;
};

// Reads the table; an absent table is empty notes.
xbase::Status LoadHouseholdNotes(xbase::Library& lib, HouseholdNotes* notes);
// Stores the greeting of a household ("" removes it).
xbase::Status StoreHouseholdGreeting(xbase::Library& lib, const QString& key, const QString& greeting);
// Marks or unmarks a person of a household as getting a card of their own.
xbase::Status StoreOwnCard(xbase::Library& lib, const QString& key, const QString& person, bool own);
// Remembers the label run's "one label per household" choice.
xbase::Status StoreOneLabelPerHousehold(xbase::Library& lib, bool on);

// --- grouping -------------------------------------------------------------------------------

// The households of a run's qualifying people. Each person added either joins the household of
// an earlier one with the same key or starts a new one; without a key, or marked own card, a
// person is a household alone. Households come in the order of their first member, members in
// the order added.
class HouseholdGrouper {
public:
    explicit HouseholdGrouper(const HouseholdNotes* notes = nullptr) : notes_(notes) {}

    // Adds record `recNo` (its entry: occasion 8's dated entry, else 0). A person added again
    // with another entry stays one member.
    void add(uint32_t recNo, const TAddressRecord& rec, int entry = 0);

    struct Member {
        uint32_t recNo;
        int entry;
    };
    // Household h's members: one per entry added (a person with two dated entries twice).
    std::vector<std::vector<Member>> households() const;
    // The household key of household h ("" for a person alone without a street).
    const QString& keyOf(size_t h) const { return keys_[h]; }
    size_t count() const { return keys_.size(); }

private:
    const HouseholdNotes* notes_;
    QHash<QString, uint32_t> index_;               // key -> household
    std::vector<QString> keys_;                     // by household
    std::vector<std::pair<uint32_t, Member>> members_;  // (household, member) in order added
};

// --- the book as a whole --------------------------------------------------------------------

// One person of an open AddrBook, read from the file without moving the table's cursor.
struct AddressMate {
    uint32_t recNo = 0;
    QString first, last;  // trimmed
    bool ownCard = false;
};
// The people whose household key is `key` (none for ""), rows marked deleted left out, ordered
// by last and then first name.
std::vector<AddressMate> PeopleAtAddress(xbase::Table& addrBook, const QString& key, const HouseholdNotes& notes);
// By record number (sized to the record count + 1): the household each row belongs to (the
// record number of one of its members), or 0 for a row that shares its address with nobody (no
// street, own card, alone there, marked deleted). For the names list's marks: rows are matched by
// a 64-bit digest of their key.
std::vector<uint32_t> HouseholdIdsOfBook(xbase::Table& addrBook, const HouseholdNotes& notes);
// HouseholdIdsOfBook with the notes read from `lib` (unreadable notes: none).
std::vector<uint32_t> HouseholdIdsOfBook(xbase::Table& addrBook, xbase::Library* lib);
// Fills rows.household from `ids` (HouseholdIdsOfBook).
void MarkHouseholds(AddressListModel::Rows& rows, const std::vector<uint32_t>& ids);
