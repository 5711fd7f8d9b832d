#include "core/households/Households.h"

#include <QSet>
#include <algorithm>
#include <string>
#include <utility>

#include "core/data/Globals.h"
#include "core/data/OwnTables.h"
#include "core/data/Records.h"
#include "xbase/Cp1252.h"
#include "xbase/Dbf.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

using xbase::ErrorKind;
using xbase::Status;

const char* const kFile = "Households.dbf";
// The three kinds of row: a household's greeting, a person of it marked own card, an option.
constexpr char kGreeting = 'G', kOwnCard = 'O', kOption = 'P';
const char* const kOneLabelOption = "ONE LABEL PER HOUSEHOLD";

QString fold(const QString& text) { return text.simplified().toCaseFolded(); }

QString column(xbase::Table* t, const char* name) {
    return QString::fromStdString(t->field(name)->str()).trimmed();
}

// Sets the live row of (kind, key, person) to hold `value` in its Greeting column: appended when
// there is none, removed when `value` is "".
Status updateRow(xbase::Library& lib, char kind, const QString& key, const QString& person,
                 const QString& value) {
    xbase::Table* t = nullptr;
    XB_TRY(OpenOwnTable(lib, HouseholdsSchema(), !value.isEmpty(), &t));
    if (!t) return Status::Ok();  // nothing to remove
    bool found = false;
    int rc = t->top();
    for (; rc == xbase::kOk && !t->eof(); rc = t->skip(1)) {
        if (t->deleted()) continue;
        if (t->field("Kind")->str() == std::string(1, kind) && column(t, "HouseKey") == key &&
            column(t, "Person") == person) {
            found = true;
            break;
        }
    }
    Status s = rc < 0 ? LibraryFailure(lib, kFile, "cannot read") : Status::Ok();
    if (s.ok() && !found && !value.isEmpty()) {
        if (t->appendBlank() != 0) {
            s = LibraryFailure(lib, kFile, "cannot append");
        } else {
            t->field("Kind")->assign(std::string(1, kind));
            t->field("HouseKey")->assign(key.toStdString());
            t->field("Person")->assign(person.toStdString());
            found = true;
        }
    }
    if (s.ok() && found) {
        if (value.isEmpty()) {
            if (t->markDeleted() != 0) s = LibraryFailure(lib, kFile, "cannot write");
        } else {
            t->field("Greeting")->assign(value.left(60).toStdString());
        }
    }
    if (s.ok() && t->flush() < 0) s = LibraryFailure(lib, kFile, "cannot write");
    return CloseOwnTable(lib, t, s);
}

}  // namespace

QString HouseholdKey(const TAddressRecord& rec) {
    const QString street = fold(rec.Street);
    if (street.isEmpty()) return {};
    return street + QLatin1Char('|') + fold(rec.Street2) + QLatin1Char('|') + fold(rec.City) +
           QLatin1Char('|') + fold(rec.Zip) + QLatin1Char('|') + fold(rec.Country);
}

QString HouseholdPersonKey(const TAddressRecord& rec) {
    return fold(rec.First) + QLatin1Char('|') + fold(rec.Last);
}

QString HouseholdLine(const std::vector<HouseholdName>& members,
                      const std::function<bool(const QString&)>& fits) {
    if (members.empty()) return {};
    const auto whole = [](const HouseholdName& m) { return TrimText(m.first + QLatin1Char(' ') + m.last); };
    const auto sameLast = [&] {
        for (const HouseholdName& m : members)
            if (m.last.compare(members.front().last, Qt::CaseInsensitive) != 0) return false;
        return true;
    }();
    const QString family = QStringLiteral("The %1 Family").arg(members.front().last);
    QString line;
    if (members.size() == 1) {
        return whole(members.front());  // cut as any name is: a family line would be wrong
    } else if (members.size() == 2 && sameLast) {
        line = members[0].first + QStringLiteral(" & ") + whole(members[1]);
    } else if (sameLast) {
        return family;
    } else {
        for (size_t i = 0; i < members.size(); ++i) {
            if (i > 0) line += i + 1 == members.size() ? QStringLiteral(" & ") : QStringLiteral(", ");
            line += whole(members[i]);
        }
    }
    if (fits && !fits(line)) return family;
    return line;
}

// --- Households.dbf -------------------------------------------------------------------------

const TableSchema& HouseholdsSchema() { return OwnTableSchema("Households"); }

QString HouseholdNotes::greeting(const QString& key) const {
    return greetings.value(key);
}

bool HouseholdNotes::hasOwnCard(const QString& key, const QString& person) const {
    return !ownCard.empty() && ownCard.count({key, person}) > 0;
}

Status LoadHouseholdNotes(xbase::Library& lib, HouseholdNotes* notes) {
    *notes = HouseholdNotes{};
    xbase::Table* t = nullptr;
    XB_TRY(OpenOwnTable(lib, HouseholdsSchema(), false, &t));
    if (!t) return Status::Ok();  // nothing stored yet
    int rc = t->top();
    for (; rc == xbase::kOk && !t->eof(); rc = t->skip(1)) {
        if (t->deleted()) continue;
        const std::string kind = t->field("Kind")->str();
        const QString key = column(t, "HouseKey");
        if (kind == std::string(1, kGreeting) && !key.isEmpty())
            notes->greetings.insert(key, column(t, "Greeting"));
        else if (kind == std::string(1, kOwnCard) && !key.isEmpty())
            notes->ownCard.insert({key, column(t, "Person")});
        else if (kind == std::string(1, kOption) && column(t, "Person") == QLatin1String(kOneLabelOption))
            notes->oneLabelPerHousehold = column(t, "Greeting") == QLatin1String("T");
    }
    return CloseOwnTable(lib, t, rc < 0 ? LibraryFailure(lib, kFile, "cannot read") : Status::Ok());
}

Status StoreHouseholdGreeting(xbase::Library& lib, const QString& key, const QString& greeting) {
    if (key.isEmpty()) return Status::error(ErrorKind::BadArgument, kFile, "a person without a street has no household");
    return updateRow(lib, kGreeting, key, {}, TrimText(greeting));
}

Status StoreOwnCard(xbase::Library& lib, const QString& key, const QString& person, bool own) {
    if (key.isEmpty()) return Status::Ok();  // alone already
    return updateRow(lib, kOwnCard, key, person, own ? QStringLiteral("T") : QString());
}

Status StoreOneLabelPerHousehold(xbase::Library& lib, bool on) {
    return updateRow(lib, kOption, {}, QLatin1String(kOneLabelOption), on ? QStringLiteral("T") : QString());
}

// --- grouping -------------------------------------------------------------------------------

void HouseholdGrouper::add(uint32_t recNo, const TAddressRecord& rec, int entry) {
    // A person's entries come one after another: the later ones go where the first went.
    if (!members_.empty() && members_.back().second.recNo == recNo) {
        members_.push_back({members_.back().first, Member{recNo, entry}});
        return;
    }
    const QString key = HouseholdKey(rec);
    uint32_t h;
    const bool alone = key.isEmpty() || (notes_ && notes_->hasOwnCard(key, HouseholdPersonKey(rec)));
    const auto it = alone ? index_.cend() : index_.constFind(key);
    if (it != index_.cend()) {
        h = it.value();
    } else {
        h = uint32_t(keys_.size());
        keys_.push_back(alone ? QString() : key);
        if (!alone) index_.insert(key, h);
    }
    members_.push_back({h, Member{recNo, entry}});
}

std::vector<std::vector<HouseholdGrouper::Member>> HouseholdGrouper::households() const {
    std::vector<std::vector<Member>> out(keys_.size());
    for (const auto& [h, m] : members_) out[h].push_back(m);
    return out;
}

// --- the book as a whole --------------------------------------------------------------------

namespace {

// Reads rows of AddrBook straight from its file: the fields a household needs.
class RawRows {
public:
    explicit RawRows(xbase::Table& t) : dbf_(t.dbf()) {
        for (const char* name : {"First", "Last", "Street", "Street2", "City", "Zip", "Country"}) {
            const int i = dbf_.fieldIndex(name);
            fields_.push_back(i < 0 ? nullptr : &dbf_.fields()[size_t(i)]);
        }
    }
    uint32_t count() const { return dbf_.recordCount(); }
    // Loads row `rec` into `out` (names and address only); false when it cannot be read or is
    // marked deleted.
    bool read(uint32_t rec, TAddressRecord* out) {
        const uint8_t* p = nullptr;
        if (!dbf_.recordPtr(rec, &p).ok() || p[0] == '*') return false;
        QString* into[] = {&out->First, &out->Last, &out->Street, &out->Street2, &out->City, &out->Zip, &out->Country};
        for (size_t i = 0; i < fields_.size(); ++i)
            *into[i] = fields_[i] ? QString::fromStdString(xbase::cp1252::toUtf8(xbase::field::raw(p, *fields_[i])))
                                  : QString();
        return true;
    }

    // The household key of row `rec` straight from its bytes, without decoding the row: blanks
    // trimmed and runs of them made one, ASCII letters folded, fields joined by '|', as
    // HouseholdKey makes it. A field holding any other byte above 127 cannot be folded here:
    // *exact is then false and the caller makes the key from the decoded row. "" without a
    // street; false when the row cannot be read or is marked deleted.
    bool byteKey(uint32_t rec, std::string* out, bool* exact) {
        const uint8_t* p = nullptr;
        if (!dbf_.recordPtr(rec, &p).ok() || p[0] == '*') return false;
        out->clear();
        *exact = true;
        for (size_t i = 2; i < fields_.size(); ++i) {  // Street, Street2, City, Zip, Country
            if (i > 2) out->push_back('|');
            std::string_view v = fields_[i] ? xbase::field::raw(p, *fields_[i]) : std::string_view();
            while (!v.empty() && v.back() == ' ') v.remove_suffix(1);  // the column's padding
            bool blank = false;
            const size_t start = out->size();
            for (const char ch : v) {
                const auto c = static_cast<unsigned char>(ch);
                // The blanks QString::simplified() takes away: \t to \r, space, no-break space.
                if ((c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0) {
                    blank = out->size() > start;
                    continue;
                }
                if (c >= 0x80) *exact = false;
                if (blank) out->push_back(' ');
                blank = false;
                out->push_back(c >= 'A' && c <= 'Z' ? char(c + 32) : char(c));
            }
            if (i == 2 && out->empty()) return true;  // no street: no household
        }
        return true;
    }

private:
    xbase::DbfFile& dbf_;
    std::vector<const xbase::FieldInfo*> fields_;
};

}  // namespace

std::vector<AddressMate> PeopleAtAddress(xbase::Table& addrBook, const QString& key, const HouseholdNotes& notes) {
    std::vector<AddressMate> out;
    if (key.isEmpty()) return out;
    RawRows rows(addrBook);
    TAddressRecord r;
    for (uint32_t rec = 1; rec <= rows.count(); ++rec) {
        if (!rows.read(rec, &r) || HouseholdKey(r) != key) continue;
        out.push_back({rec, TrimText(r.First), TrimText(r.Last), notes.hasOwnCard(key, HouseholdPersonKey(r))});
    }
    std::stable_sort(out.begin(), out.end(), [](const AddressMate& a, const AddressMate& b) {
        const int c = a.last.compare(b.last, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    return out;
}

std::vector<uint32_t> HouseholdIdsOfBook(xbase::Table& addrBook, const HouseholdNotes& notes) {
    // Most keys are plain ASCII and are made from the row's bytes; only a row with other letters
    // is decoded. The two kinds never match each other: a letter above 127 never folds to ASCII.
    // Rows are matched by a 64-bit digest of their key, sorted: a book of 100,000 names has about
    // one chance in a billion of two addresses sharing a digest (and a mark they should not).
    RawRows rows(addrBook);
    std::vector<uint32_t> id(size_t(rows.count()) + 1, 0);
    std::vector<std::pair<uint64_t, uint32_t>> digests;  // (digest of the key, record)
    digests.reserve(rows.count());
    QSet<QString> ownCardHouses;
    for (const auto& [house, person] : notes.ownCard) ownCardHouses.insert(house);
    const auto digest = [](const std::string& bytes) {
        uint64_t h = 1469598103934665603ULL;  // FNV-1a
        for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        return h;
    };
    TAddressRecord r;
    std::string key;
    for (uint32_t rec = 1; rec <= rows.count(); ++rec) {
        bool exact = true;
        if (!rows.byteKey(rec, &key, &exact) || key.empty()) continue;
        QString houseKey;
        if (exact && !ownCardHouses.isEmpty()) houseKey = QString::fromLatin1(key.data(), qsizetype(key.size()));
        if (!exact || (!houseKey.isEmpty() && ownCardHouses.contains(houseKey))) {
            if (!rows.read(rec, &r)) continue;
            if (!exact) {
                houseKey = HouseholdKey(r);
                key = "\x01" + houseKey.toStdString();
            }
            if (notes.hasOwnCard(houseKey, HouseholdPersonKey(r))) continue;
        }
        digests.push_back({digest(key), rec});
    }
    std::sort(digests.begin(), digests.end());
    for (size_t i = 0; i < digests.size();) {
        size_t j = i + 1;
        while (j < digests.size() && digests[j].first == digests[i].first) ++j;
        if (j - i > 1)  // alone at an address: no mark
            for (size_t k = i; k < j; ++k) id[digests[k].second] = digests[i].second;
        i = j;
    }
    return id;
}

std::vector<uint32_t> HouseholdIdsOfBook(xbase::Table& addrBook, xbase::Library* lib) {
    HouseholdNotes notes;
    if (lib && !LoadHouseholdNotes(*lib, &notes).ok()) notes = HouseholdNotes{};
    return HouseholdIdsOfBook(addrBook, notes);
}

void MarkHouseholds(AddressListModel::Rows& rows, const std::vector<uint32_t>& ids) {
    rows.household.assign(rows.size(), 0);
    for (size_t r = 0; r < rows.size(); ++r)
        if (rows.recNos[r] < ids.size()) rows.household[r] = ids[rows.recNos[r]];
}
