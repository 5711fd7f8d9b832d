// The table work of the address page without its widgets: the names list against a plain scan,
// the seek key, deleting with its positioning rule, loading a record that is gone.
#include <QDate>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestData.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/addressbook/AddressBookEditor.h"
#include "xbase/Cp1252.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

std::vector<std::string> row(const std::string& first, const std::string& last) {
    std::vector<std::string> r(27);
    r[0] = first;
    r[1] = last;
    for (int i = 16; i < 27; ++i) r[size_t(i)] = "F";
    return r;
}

struct Listed {
    uint32_t recNo;
    std::string last, first;
    bool operator==(const Listed&) const = default;
};

// Reference: step through the open book in index order, row by row.
std::vector<Listed> scan() {
    std::vector<Listed> v;
    xbase::Table* t = AddrBookTable;
    for (int rc = t->top(); rc == xbase::kOk; rc = t->skip(1))
        v.push_back({t->recNo(), xbase::cp1252::fromUtf8(t->field("Last")->str()),
                     xbase::cp1252::fromUtf8(t->field("First")->str())});
    return v;
}

std::vector<Listed> listed(const AddressListModel::Rows& rows) {
    std::vector<Listed> v;
    for (size_t i = 0; i < rows.size(); ++i)
        v.push_back({rows.recNos[i], rows.last.substr(i * 20, 20), rows.first.substr(i * 20, 20)});
    return v;
}

}  // namespace

TEST(AddressBookEditor, NamesListMatchesARowByRowScanInIndexOrder) {
    TestDataDir data(300);
    // Equal keys, a name that differs only in case, and a row marked deleted are all listed.
    AppendAddressRows(data.dir(), {row("Ann", "Smith"), row("Ann", "Smith"), row("ann", "SMITH"),
                                   row("Zoe", "\xC3\x89mile")});
    ScopedLibrary lib(data.path());
    AddressBookEditor editor;
    EXPECT_TRUE(editor.open().ok());
    ASSERT_EQ(AddrBookTable->go(5), xbase::kOk);
    ASSERT_EQ(AddrBookTable->markDeleted(), 0);

    const auto reference = scan();
    ASSERT_EQ(reference.size(), 304u);
    EXPECT_EQ(listed(editor.readNames()), reference);

    // A change still held in the row buffer is part of the list.
    ASSERT_EQ(AddrBookTable->go(7), xbase::kOk);
    AddrBookTable->field("Last")->assign("Aardvark");
    const auto rows = editor.readNames();
    ASSERT_EQ(rows.size(), 304u);
    EXPECT_EQ(rows.recNos[0], 7u);
    EXPECT_EQ(rows.last.substr(0, 20), std::string("Aardvark").append(12, ' '));
    EXPECT_EQ(listed(rows), scan());
    EXPECT_TRUE(editor.close().ok());
    EXPECT_TRUE(editor.readNames().recNos.empty());
}

TEST(AddressBookEditor, SeekKeyIsTrimmedAndUpperCasedAsTheIndexDoes) {
    EXPECT_EQ(AddressBookEditor::seekKey("  smi "), "SMI");
    EXPECT_EQ(AddressBookEditor::seekKey(QString::fromUtf8("\tcafé")), QString::fromUtf8("CAFÉ"));
    // The index upper-cases byte by byte: sharp s has no one-letter capital and stays.
    EXPECT_EQ(AddressBookEditor::seekKey(QString::fromUtf8("straße")), QString::fromUtf8("STRAßE"));
    EXPECT_EQ(AddressBookEditor::seekKey("   "), "");
}

TEST(AddressBookEditor, SeekLandsOnAccentedAndPrefixedNames) {
    TestDataDir data;
    AppendAddressRows(data.dir(), {row("Zoe", "\xC3\x89mile"), row("Al", "Brown"),
                                   row("Bo", std::string(25, 'X'))});
    ScopedLibrary lib(data.path());
    AddressBookEditor editor;
    EXPECT_TRUE(editor.open().ok());
    EXPECT_EQ(editor.seek(QString::fromUtf8("émi")), AddressBookEditor::SeekResult::Found);
    EXPECT_EQ(editor.CurrentAddrRecNo, 1);
    EXPECT_EQ(editor.seek(QString::fromUtf8("ÉMI ")), AddressBookEditor::SeekResult::Unchanged);
    // The whole surname width, then the first name: a seek across both columns.
    EXPECT_EQ(editor.seek(QString(20, 'x') + "b"), AddressBookEditor::SeekResult::Found);
    EXPECT_EQ(editor.CurrentAddrRecNo, 3);
    // Keys compare as Windows-1252 bytes: "Z" sorts before the accented capitals.
    EXPECT_EQ(editor.seek("zzz"), AddressBookEditor::SeekResult::Found);
    EXPECT_EQ(editor.CurrentAddrRecNo, 1);
    EXPECT_EQ(editor.seek(QString::fromUtf8("þþ")), AddressBookEditor::SeekResult::NotFound);
    EXPECT_EQ(editor.CurrentAddrRecNo, 1);  // past the last key nothing moves
    EXPECT_TRUE(editor.close().ok());
}

TEST(AddressBookEditor, DeleteCountsItsPlaceWhenNotTold) {
    TestDataDir data;
    AppendAddressRows(data.dir(), {row("e", "Evans"), row("c", "Clark"), row("a", "Adams"),
                                   row("d", "Dunn"), row("b", "Brown")});
    ScopedLibrary lib(data.path());
    AddressBookEditor editor;
    EXPECT_TRUE(editor.open().ok());
    auto currentLast = [] {
        LoadAddrRec();
        return AddressRec.Last.trimmed();
    };

    editor.CurrentAddrRecNo = 2;  // Clark, third in name order
    ASSERT_TRUE(editor.removeCurrent());
    ASSERT_EQ(AddrBookTable->recCount(), 4u);
    ASSERT_EQ(AddrBookTable->go(uint32_t(editor.CurrentAddrRecNo)), xbase::kOk);
    EXPECT_EQ(currentLast(), "Brown");

    editor.CurrentAddrRecNo = 2;  // after packing: Adams, the first
    ASSERT_EQ(AddrBookTable->go(2), xbase::kOk);
    ASSERT_EQ(currentLast(), "Adams");
    ASSERT_TRUE(editor.removeCurrent());
    ASSERT_EQ(AddrBookTable->go(uint32_t(editor.CurrentAddrRecNo)), xbase::kOk);
    EXPECT_EQ(currentLast(), "Brown");

    // The same place given by the caller gives the same answer.
    const auto names = editor.readNames();
    ASSERT_EQ(names.size(), 3u);  // Brown, Dunn, Evans
    editor.CurrentAddrRecNo = int(names.recNos[2]);
    ASSERT_TRUE(editor.removeCurrent(3));
    ASSERT_EQ(AddrBookTable->go(uint32_t(editor.CurrentAddrRecNo)), xbase::kOk);
    EXPECT_EQ(currentLast(), "Dunn");
    EXPECT_TRUE(editor.close().ok());
}

TEST(AddressBookEditor, LoadingARecordThatIsGoneGivesTheBlankNewRecord) {
    TestDataDir data;
    AppendAddressRows(data.dir(), {row("Al", "Brown")});
    ScopedLibrary lib(data.path());
    AddressBookEditor editor;
    EXPECT_TRUE(editor.open().ok());
    editor.CurrentAddrRecNo = 1;
    editor.loadCurrent();
    EXPECT_EQ(AddressRec.Last.trimmed(), "Brown");

    editor.CurrentAddrRecNo = 9;
    editor.loadCurrent();
    EXPECT_EQ(editor.CurrentAddrRecNo, 0);  // a save now appends rather than writing nowhere
    EXPECT_TRUE(AddressRec.Last.isEmpty());
    EXPECT_EQ(AddressRec.Other2Date, QDate::currentDate());
    EXPECT_FALSE(AddressRec.Christmas);
    EXPECT_TRUE(editor.close().ok());
}
