// Households: who lives together, the name line of their label, and the label run that prints
// one label per household, on a recording printer over a real address book.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "RecordingPrinter.h"
#include "TestData.h"
#include "TestStocks.h"
#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/households/Households.h"
#include "core/labels/LabelGen.h"
#include "xbase/Library.h"

namespace {

TAddressRecord Address(const QString& street, const QString& city = "York", const QString& zip = "10",
                       const QString& street2 = "", const QString& country = "") {
    TAddressRecord r;
    r.Street = street;
    r.Street2 = street2;
    r.City = city;
    r.Zip = zip;
    r.Country = country;
    return r;
}

std::vector<std::string> Resident(const std::string& first, const std::string& last, const std::string& street,
                                  bool christmas = true, const std::string& city = "York") {
    return ResidentRow(first, last, street, christmas, city, "10");
}

// The first line of every label drawn, in order: a row is drawn line by line, each line across
// its three columns, so a row's first three texts are its labels' first lines.
QStringList FirstLines(const RecordingPrinter& p) {
    QStringList out;
    const std::vector<RecordingPrinter::Call> texts = p.textOuts();
    for (size_t i = 0; i < texts.size(); ++i)
        if (i % 15 < 3 && !texts[i].text.isEmpty()) out << texts[i].text;
    return out;
}

}  // namespace

TEST(Households, NameLineRules) {
    const auto wide = [](const QString&) { return true; };
    const auto narrow = [](const QString& line) { return line.size() <= 20; };
    struct Case {
        std::vector<HouseholdName> members;
        std::function<bool(const QString&)> fits;
        const char* line;
    } cases[] = {
        {{{"Ann", "Lee"}}, narrow, "Ann Lee"},
        {{{"Ann", "Lee"}, {"Bob", "Lee"}}, wide, "Ann & Bob Lee"},
        {{{"Ann", "Lee"}, {"Bob", "Gray"}}, wide, "Ann Lee & Bob Gray"},
        {{{"Ann", "Lee"}, {"Bob", "LEE"}, {"Cy", "Lee"}}, wide, "The Lee Family"},
        {{{"Ann", "Lee"}, {"Bob", "Gray"}, {"Cy", "Park"}}, wide, "Ann Lee, Bob Gray & Cy Park"},
        {{{"Ann", "Lee"}, {"Bob", "Gray"}, {"Cy", "Park"}}, narrow, "The Lee Family"},
        {{{"Ann", "Lee"}, {"Bob", "Gray"}}, {}, "Ann Lee & Bob Gray"},
    };
    for (const Case& c : cases) EXPECT_EQ(HouseholdLine(c.members, c.fits), QString(c.line));
}

TEST(Households, KeyJoinsTheSameAddressAndNeverAnEmptyStreet) {
    const QString key = HouseholdKey(Address("1 Elm St"));
    EXPECT_FALSE(key.isEmpty());
    EXPECT_EQ(HouseholdKey(Address("  1  ELM   st ", " york ", "10 ")), key);
    for (const TAddressRecord& other : {Address("1 Elm St", "Leeds"), Address("1 Elm St", "York", "11"),
                                        Address("1 Elm St", "York", "10", "Flat 2"),
                                        Address("1 Elm St", "York", "10", "", "UK"), Address("10 Elm St")})
        EXPECT_NE(HouseholdKey(other), key) << other.Street.toStdString() << "/" << other.City.toStdString();
    EXPECT_TRUE(HouseholdKey(Address("  ", "York", "10")).isEmpty());
}

class HouseholdRun : public ::testing::Test {
protected:
    void SetUp() override {
        AppendAddressRows(data.dir(), {
            Resident("Ann", "Lee", "1 Elm St"),
            Resident("Bob", "Lee", " 1 ELM  st"),
            Resident("Kid", "Lee", "1 Elm St", false),     // not on the list: not on the line
            Resident("Cy", "Gray", "2 Oak Rd"),
            Resident("Di", "Gray", "2 Oak Rd", true, "Leeds"),  // another city: apart
            Resident("Ed", "Park", ""),                     // no street: never joins
            Resident("Flo", "Park", ""),
            Resident("Gus", "Hill", "3 Ash Ln"),
            Resident("Hal", "Moss", "3 Ash Ln"),
            Resident("Ivy", "Nash", "3 Ash Ln"),
        });
        lib = std::make_unique<ScopedLibrary>(data.path());
        LabelFont = QFont("Sans", 10);
    }

    // Runs Christmas with one label per household; returns the first lines printed.
    QStringList run(std::vector<CardPick>* picks = nullptr, long long* placed = nullptr) {
        RecordingPrinter printer;
        LabelRun r(printer, ThirtyPerSheet(), LabelFont, 1, 1);
        r.setRemembersSheet(false);
        r.setHouseholds(true);
        const RunStatus done = r.printOccasion(7, {}, {});
        EXPECT_TRUE(done) << done.reason.toStdString();
        if (picks) *picks = r.picks();
        if (placed) *placed = r.labelsPlaced();
        return FirstLines(printer);
    }

    TestDataDir data;
    std::unique_ptr<ScopedLibrary> lib;
};

// The count shown beforehand, the labels placed and their first lines agree; the rest of a
// household's label is its address; a long line falls back to the family name by the font the
// run fits to the stock.
TEST_F(HouseholdRun, OneLabelPerAddressWithItsNameLine) {
    std::vector<CardPick> picks;
    long long placed = 0;
    const QStringList lines = run(&picks, &placed);
    const QStringList expected = {"Cy Gray", "Di Gray", "Gus Hill, Hal Moss & Ivy Nash", "Ann & Bob Lee",
                                  "Ed Park", "Flo Park"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(placed, expected.size());
    EXPECT_EQ(CountHouseholdLabels(7, {}, {}), expected.size());
    EXPECT_EQ(CountRecipients(7, {}, {}), 9);
    EXPECT_EQ(picks.size(), 9u);  // every qualifying member, the one not flagged left out

    // A line wider than the label at the fitted font: the family line of the first member.
    ASSERT_EQ(AddrBookTable, nullptr);
    ASSERT_TRUE(OpenAddrBook());
    for (; LastStatus == 0; LastStatus = AddrBookTable->skip()) {
        LoadAddrRec();
        if (TrimText(AddressRec.Last) == "Moss") AddressRec.First = "Halbert-Maximilian-Alexander";
        StoreAddrRec();
    }
    ASSERT_TRUE(CloseTable(AddrBookTable));
    EXPECT_EQ(run()[2], "The Hill Family");
}

// An "own card" mark keeps a person apart; a greeting replaces the household's line; a hand-
// picked run joins the picked people at one address.
TEST_F(HouseholdRun, OwnCardAndGreetingAndPickedRun) {
    TAddressRecord lee = Address("1 Elm St");
    TAddressRecord bob = lee;
    bob.First = "Bob";
    bob.Last = "Lee";
    ASSERT_TRUE(StoreOwnCard(lib->lib(), HouseholdKey(lee), HouseholdPersonKey(bob), true).ok());
    ASSERT_TRUE(StoreHouseholdGreeting(lib->lib(), HouseholdKey(Address("3 ash ln")), "The Neighbours").ok());
    QStringList lines = run();
    EXPECT_TRUE(lines.contains("Ann Lee") && lines.contains("Bob Lee")) << lines.join('|').toStdString();
    EXPECT_TRUE(lines.contains("The Neighbours")) << lines.join('|').toStdString();
    EXPECT_EQ(CountHouseholdLabels(7, {}, {}), 7);

    ASSERT_TRUE(StoreOwnCard(lib->lib(), HouseholdKey(lee), HouseholdPersonKey(bob), false).ok());
    ASSERT_TRUE(StoreHouseholdGreeting(lib->lib(), HouseholdKey(Address("3 Ash Ln")), "").ok());
    HouseholdNotes notes;
    ASSERT_TRUE(LoadHouseholdNotes(lib->lib(), &notes).ok());
    EXPECT_TRUE(notes.greetings.isEmpty());
    EXPECT_TRUE(notes.ownCard.empty());

    // Picked: Kid Lee (3), Gus Hill (8), Ann Lee (1).
    ASSERT_TRUE(OpenAddrBook());
    RecordingPrinter printer;
    LabelRun picked(printer, ThirtyPerSheet(), LabelFont, 1, 1);
    picked.setRemembersSheet(false);
    picked.setHouseholds(true);
    EXPECT_EQ(CountHouseholdLabels({3, 8, 1}), 2);
    ASSERT_TRUE(picked.printRecords({3, 8, 1}));
    ASSERT_TRUE(CloseTable(AddrBookTable));
    EXPECT_EQ(FirstLines(printer), QStringList({"Kid & Ann Lee", "Gus Hill"}));
}

// The card log after a household run: every qualifying member is logged as sent, once.
TEST_F(HouseholdRun, CardLogMarksEveryQualifyingMember) {
    std::vector<CardPick> picks;
    run(&picks);
    int added = 0;
    ASSERT_TRUE(CardsMarkSent(lib->lib(), 7, 2026, picks, &added).ok());
    EXPECT_EQ(added, 9);
    std::vector<CardEvent> events;
    ASSERT_TRUE(CardsList(lib->lib(), 2026, 7, nullptr, &events).ok());
    std::set<uint32_t> people;
    for (const CardEvent& e : events) people.insert(e.recNo);
    EXPECT_EQ(people, (std::set<uint32_t>{1, 2, 4, 5, 6, 7, 8, 9, 10}));
}
