// The card log: logging a run once, following the book's renames, deletes and packs, and the
// two reports.
#include <gtest/gtest.h>

#include <QFile>

#include "TestData.h"
#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/addressbook/AddressBookEditor.h"
#include "xbase/Cp1252.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

std::string key(const std::string& last, const std::string& first) { return CardNameKey(last, first); }

// A book of five people, in record order: 1 Baker Ann, 2 Adams Carl, 3 Cole Dora, 4 Adams Carl
// (a second person of the same name), 5 Drew Eve.
struct CardBook {
    TestDataDir data;
    CardBook() {
        AppendAddressRows(data.dir(), {NamedRow("Ann", "Baker", {7}), NamedRow("Carl", "Adams", {7}),
                                       NamedRow("Dora", "Cole", {1, 7}), NamedRow("Carl", "Adams"),
                                       NamedRow("Eve", "Drew", {7})});
    }
};

// "year occasion kind" of each event, newest first.
std::vector<std::string> summary(xbase::Library& lib, const std::string& k, uint32_t rec) {
    std::vector<CardEvent> events;
    const xbase::Status s = CardsOf(lib, k, rec, &events);
    EXPECT_TRUE(s.ok()) << s.toString();
    std::vector<std::string> out;
    for (const CardEvent& e : events)
        out.push_back(std::to_string(e.year) + " " + std::to_string(e.occasion) + " " + CardKindName(e.kind));
    return out;
}

using Lines = std::vector<std::string>;

TEST(CardLog, ARunIsLoggedOnceEvenWhenRepeated) {
    CardBook book;
    ScopedLibrary scoped(book.data.path());
    xbase::Library& lib = scoped.lib();
    int added = -1;
    // Record 2 twice in the picks, record 9 does not exist.
    ASSERT_TRUE(CardsMarkSent(lib, 7, 2026, {{1}, {2}, {2}, {9}}, &added).ok());
    EXPECT_EQ(added, 2);
    ASSERT_TRUE(CardsMarkSent(lib, 7, 2026, {{1}, {2}, {3}}, &added).ok());
    EXPECT_EQ(added, 1);  // only Cole is new this time
    ASSERT_TRUE(CardsMarkSent(lib, 7, 2025, {{1}}, &added).ok());
    EXPECT_EQ(added, 1);  // another year is another card
    bool fresh = false;
    ASSERT_TRUE(CardsAdd(lib, 1, 2026, 7, CardKind::Received, &fresh).ok());
    EXPECT_TRUE(fresh);
    ASSERT_TRUE(CardsAdd(lib, 1, 2026, 7, CardKind::Received, &fresh).ok());
    EXPECT_FALSE(fresh);

    EXPECT_EQ(summary(lib, key("Baker", "Ann"), 1), (Lines{"2026 7 sent", "2026 7 received", "2025 7 sent"}));
    // The namesake at record 4 shares the key but none of record 2's cards.
    EXPECT_EQ(summary(lib, key("Adams", "Carl"), 2), (Lines{"2026 7 sent"}));
    EXPECT_EQ(summary(lib, key("Adams", "Carl"), 4), Lines{});
    std::vector<CardEvent> all;
    ASSERT_TRUE(CardsList(lib, 0, 0, nullptr, &all).ok());
    EXPECT_EQ(all.size(), 5u);
}

TEST(CardLog, DeletesPacksAndRenamesKeepEventsOnTheirPeople) {
    CardBook book;
    ScopedLibrary scoped(book.data.path());
    xbase::Library& lib = scoped.lib();
    for (uint32_t r = 1; r <= 5; ++r) ASSERT_TRUE(CardsAdd(lib, r, 2020 + int(r), 7, CardKind::Sent).ok());
    ASSERT_TRUE(CardsAdd(lib, 2, 2030, 1, CardKind::Returned).ok());

    AddressBookEditor editor;
    ASSERT_TRUE(editor.open().ok());
    editor.CurrentAddrRecNo = 1;  // Baker Ann goes, everyone after moves down one
    ASSERT_TRUE(editor.removeCurrent());
    EXPECT_TRUE(editor.CardLogProblem.isEmpty()) << editor.CardLogProblem.toStdString();

    // Cole Dora, now record 2, becomes Cole Dorothy.
    editor.CurrentAddrRecNo = 2;
    editor.loadCurrent();
    AddressRec.First = QStringLiteral("Dorothy");
    ASSERT_EQ(editor.save(), AddressBookEditor::SaveResult::Saved);
    ASSERT_TRUE(editor.close().ok());

    EXPECT_EQ(summary(lib, key("Adams", "Carl"), 1), (Lines{"2030 1 returned", "2022 7 sent"}));
    EXPECT_EQ(summary(lib, key("Cole", "Dorothy"), 2), (Lines{"2023 7 sent"}));
    EXPECT_EQ(summary(lib, key("Cole", "Dora"), 2), Lines{});
    EXPECT_EQ(summary(lib, key("Adams", "Carl"), 3), (Lines{"2024 7 sent"}));
    EXPECT_EQ(summary(lib, key("Drew", "Eve"), 4), (Lines{"2025 7 sent"}));
    std::vector<CardEvent> all;
    ASSERT_TRUE(CardsList(lib, 0, 0, nullptr, &all).ok());
    EXPECT_EQ(all.size(), 5u);  // Baker's card went with her
    uint64_t events = 0, stray = 0;
    ASSERT_TRUE(CardsCheck(lib, &events, &stray).ok());
    EXPECT_EQ(stray, 0u);
}

TEST(CardLog, ReconcileFollowsNamesWhenTheBookWasReplaced) {
    CardBook book;
    ScopedLibrary scoped(book.data.path());
    xbase::Library& lib = scoped.lib();
    ASSERT_TRUE(CardsAdd(lib, 5, 2026, 7, CardKind::Sent).ok());  // Drew Eve
    ASSERT_TRUE(CardsAdd(lib, 2, 2026, 7, CardKind::Sent).ok());  // one of the two Carl Adams
    // The log outlives its book: a new book where Drew is record 1 and Carl Adams is not there.
    ASSERT_TRUE(book.data.remove(QStringLiteral("AddrBook.dbf")));
    TestDataDir other;
    AppendAddressRows(other.dir(), {NamedRow("Eve", "Drew"), NamedRow("Ann", "Baker")});
    ASSERT_TRUE(QFile::copy(other.filePath(QStringLiteral("AddrBook.dbf")), book.data.path() + "/AddrBook.dbf"));

    uint64_t events = 0, stray = 0;
    ASSERT_TRUE(CardsCheck(lib, &events, &stray).ok());
    EXPECT_EQ(stray, 2u);
    int moved = 0, dropped = 0;
    ASSERT_TRUE(CardsReconcile(lib, &moved, &dropped).ok());
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(summary(lib, key("Drew", "Eve"), 1), (Lines{"2026 7 sent"}));
    ASSERT_TRUE(CardsCheck(lib, &events, &stray).ok());
    EXPECT_EQ(events, 1u);
    EXPECT_EQ(stray, 0u);
}

// The program stopped between the book's pack and the log's renumbering: the next opening of
// the page finds the marker and puts the log right by name.
TEST(CardLog, ADeleteStoppedBeforeTheLogFollowedIsRecovered) {
    CardBook book;
    ScopedLibrary scoped(book.data.path());
    xbase::Library& lib = scoped.lib();
    ASSERT_TRUE(CardsAdd(lib, 5, 2026, 7, CardKind::Sent).ok());  // Drew Eve
    ASSERT_TRUE(CardsBeforePack(lib).ok());
    {
        xbase::Table* t = lib.open("AddrBook");
        ASSERT_NE(t, nullptr);
        ASSERT_EQ(t->go(1), xbase::kOk);
        ASSERT_EQ(t->markDeleted(), 0);
        ASSERT_EQ(t->pack(), 0);
        ASSERT_EQ(t->close(), 0);
    }
    bool recovered = false;
    ASSERT_TRUE(CardsRecover(lib, &recovered).ok());
    EXPECT_TRUE(recovered);
    EXPECT_EQ(summary(lib, key("Drew", "Eve"), 4), (Lines{"2026 7 sent"}));
    ASSERT_TRUE(CardsRecover(lib, &recovered).ok());
    EXPECT_FALSE(recovered);  // the marker is gone
}

TEST(CardLog, ReportsListTheRightNamesInNameOrder) {
    CardBook book;
    ScopedLibrary scoped(book.data.path());
    xbase::Library& lib = scoped.lib();
    ASSERT_TRUE(CardsMarkSent(lib, 7, 2026, {{1}}).ok());                // Baker sent to
    ASSERT_TRUE(CardsMarkSent(lib, 7, 2025, {{5}}).ok());                // Drew: last year only
    ASSERT_TRUE(CardsAdd(lib, 3, 2025, 7, CardKind::Received).ok());     // Cole sent us one
    ASSERT_TRUE(CardsAdd(lib, 4, 2026, 7, CardKind::Received).ok());     // the unflagged Adams too
    ASSERT_TRUE(CardsAdd(lib, 1, 2026, 7, CardKind::Received).ok());     // answered already
    ASSERT_TRUE(CardsAdd(lib, 5, 2024, 7, CardKind::Received).ok());     // too long ago
    ASSERT_TRUE(CardsAdd(lib, 2, 2026, 1, CardKind::Received).ok());     // another occasion

    const struct {
        bool received;
        int occasion;
        std::vector<uint32_t> want;
    } cases[] = {
        {false, 7, {2, 3, 5}},  // Adams Carl (flagged), Cole, Drew; not Baker, not the other Adams
        {false, 1, {3}},
        {true, 7, {4, 3}},      // Adams Carl of record 4 before Cole
        {true, 1, {2}},
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> got;
        const xbase::Status s = c.received ? CardsReceivedNotSent(lib, c.occasion, 2026, &got)
                                           : CardsNotYetSent(lib, c.occasion, 2026, &got);
        ASSERT_TRUE(s.ok()) << s.toString();
        EXPECT_EQ(got, c.want) << (c.received ? "received" : "not sent") << " " << c.occasion;
    }
}

TEST(CardLog, AReturnedCardMarksThePersonUntilTheAddressChanges) {
    CardBook book;
    ScopedLibrary scoped(book.data.path());
    xbase::Library& lib = scoped.lib();
    ASSERT_TRUE(CardsAdd(lib, 3, 2026, 7, CardKind::Returned).ok());
    AddressBookEditor editor;
    ASSERT_TRUE(editor.open().ok());
    const auto marked = [&] {
        std::vector<uint8_t> m;
        EXPECT_TRUE(CardsReturnedMarks(lib, AddrBookTable->dbf(), &m).ok());
        std::vector<uint32_t> recs;
        for (uint32_t r = 0; r < m.size(); ++r)
            if (m[r]) recs.push_back(r);
        return recs;
    };
    EXPECT_EQ(marked(), std::vector<uint32_t>{3});
    editor.CurrentAddrRecNo = 3;
    editor.loadCurrent();
    AddressRec.Street = QStringLiteral("9 New Road");
    ASSERT_EQ(editor.save(), AddressBookEditor::SaveResult::Saved);
    EXPECT_EQ(marked(), std::vector<uint32_t>{});
    ASSERT_TRUE(editor.close().ok());
}

}  // namespace
