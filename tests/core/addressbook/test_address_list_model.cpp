// The names list model: rows held as padded bytes, shown as text, found by record number.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "core/addressbook/AddressListModel.h"

namespace {

AddressListModel::Rows makeRows(std::initializer_list<std::tuple<uint32_t, const char*, const char*>> rows) {
    AddressListModel::Rows r;
    r.lastWidth = 20;
    r.firstWidth = 20;
    for (const auto& [recNo, last, first] : rows) r.append(recNo, last, first);
    return r;
}

}  // namespace

TEST(AddressListModel, RowsArePaddedOrCutToTheColumnWidths) {
    AddressListModel::Rows r;
    r.lastWidth = 5;
    r.firstWidth = 3;
    r.append(7, "Smithson", "Al");
    r.append(9, "", "Bob");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r.last, "Smith     ");
    EXPECT_EQ(r.first, "Al Bob");

    AddressListModel model;
    model.setRows(std::move(r));
    EXPECT_EQ(model.lastBytes(0), "Smith");
    EXPECT_EQ(model.lastBytes(1), "     ");
    EXPECT_EQ(model.firstBytes(1), "Bob");
    EXPECT_EQ(model.lastBytes(2), "");
    EXPECT_EQ(model.recNoAt(-1), 0u);
    EXPECT_EQ(model.recNoAt(2), 0u);
}

TEST(AddressListModel, ShowsNamesAsStoredAndTheRecordNumberAsText) {
    AddressListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRows(makeRows({{12, "Smith", "John"}, {3, "Caf\xE9", "Ren\xE9"}}));

    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Last");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "First");
    // Padding is kept as stored; the view shows it left-aligned.
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), QString("Smith").leftJustified(20));
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), QString("John").leftJustified(20));
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), "12");
    // Windows-1252 bytes become the letters they stand for.
    EXPECT_EQ(model.data(model.index(1, 0)).toString().trimmed(), QString::fromUtf8("Café"));
    EXPECT_EQ(model.data(model.index(1, 1)).toString().trimmed(), QString::fromUtf8("René"));
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DecorationRole).isValid());
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable);
}

TEST(AddressListModel, FindsTheRowOfARecordNumber) {
    AddressListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRows(makeRows({{5, "A", ""}, {2, "B", ""}, {9, "C", ""}, {2, "D", ""}}));
    EXPECT_EQ(model.rowOfRecNo(5), 0);
    EXPECT_EQ(model.rowOfRecNo(9), 2);
    EXPECT_EQ(model.rowOfRecNo(2), 1);  // the first row holding it
    EXPECT_EQ(model.rowOfRecNo(0), -1);
    EXPECT_EQ(model.rowOfRecNo(3), -1);
    EXPECT_EQ(model.rowOfRecNo(10), -1);

    // A new set of rows forgets the old numbers.
    model.setRows(makeRows({{1, "Z", ""}}));
    EXPECT_EQ(model.rowOfRecNo(9), -1);
    EXPECT_EQ(model.rowOfRecNo(1), 0);
}

TEST(AddressListModel, ReplacingAndClearingRowsResetsTheModel) {
    AddressListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.setRows(makeRows({{1, "A", "a"}, {2, "B", "b"}}));
    EXPECT_EQ(model.rowCount(), 2);
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.rowOfRecNo(1), -1);
    EXPECT_EQ(resets.count(), 2);
    EXPECT_FALSE(model.data(model.index(0, 0)).isValid());
}
