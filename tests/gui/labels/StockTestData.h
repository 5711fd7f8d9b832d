#pragma once
// Fixture for the label stock dialogs: a fresh data set (TestDataDir) with LibHandle on it, the
// settings row loaded, messages recorded instead of shown, a fatal open error thrown instead of
// ending the run, and small helpers to add and read LABELS rows.
//
// The fresh data set holds six standard stocks, record numbers 1..6 in the order of
// StandardStocks(); in name order they read 4, 5, 6, 1, 2, 3.

#include <QStringList>
#include <gtest/gtest.h>

#include <memory>

#include "MessageLog.h"
#include "TestData.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

class StockTestData : public ::testing::Test {
protected:
    void SetUp() override {
        lib_ = std::make_unique<ScopedLibrary>(data_.path());
        EXPECT_TRUE(OpenSettings().ok());
        LoadSettings();
        EXPECT_TRUE(CloseTable(SettingsTable).ok());
        CurrentStockRecNo = -1;
    }

    void TearDown() override { lib_.reset(); }

    // Appends a stock (LABELS must be open) and returns its record number.
    static int AddStock(const QString& name, double width = 100, double height = 50,
                        int across = 2, bool deleted = false) {
        TLabelRecord r;
        r.Name = name;
        r.Width = width;
        r.Height = height;
        r.nAcross = across;
        EXPECT_EQ(LabelsTable->appendBlank(), 0);
        LabelRec = r;
        StoreLabelRec();
        if (deleted) LabelsTable->markDeleted();
        EXPECT_EQ(LabelsTable->flush(), 0);
        return static_cast<int>(LabelsTable->recNo());
    }

    // Empties LABELS of the standard stocks (LABELS must be open).
    static void RemoveAllStocks() {
        for (int rc = LabelsTable->top(); rc == xbase::kOk; rc = LabelsTable->skip(1))
            LabelsTable->markDeleted();
        ASSERT_EQ(LabelsTable->pack(), 0);
        LastStatus = LabelsTable->top();
    }

    // Reads record `recNo` of LABELS into a record of its own (LABELS must be open).
    static TLabelRecord ReadStock(int recNo) {
        const TLabelRecord saved = LabelRec;
        EXPECT_EQ(LabelsTable->go(static_cast<uint32_t>(recNo)), xbase::kOk);
        LoadLabelRec();
        const TLabelRecord r = LabelRec;
        LabelRec = saved;
        return r;
    }

    // The settings row as stored on disk.
    static TSettingsRecord StoredSettings() {
        const TSettingsRecord saved = SettingsRec;
        EXPECT_TRUE(OpenSettings().ok());
        LoadSettings();
        EXPECT_TRUE(CloseTable(SettingsTable).ok());
        const TSettingsRecord r = SettingsRec;
        SettingsRec = saved;
        return r;
    }

    QStringList MessageTexts() const { return messages.texts(); }

    TestDataDir data_;
    MessageLog messages;
    std::unique_ptr<ScopedLibrary> lib_;
};

// The name as LABELS stores it: blank-padded to the column's 40 characters.
inline QString Padded(const QString& name) {
    return name.leftJustified(40, u' ');
}
