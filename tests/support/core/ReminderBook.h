#pragma once
// A throw-away data directory for the reminder tests: a fresh data set (CreateDataSet) with the
// names the test adds, written through the program's own store routine. While it lives,
// LibHandle points at a library working in that directory.
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

class ReminderBook {
public:
    ReminderBook() {
        const xbase::Status s = CreateDataSet(dir_.path().toStdString());
        EXPECT_TRUE(s.ok()) << s.toString();
        saved_ = LibHandle;
        lib_.setDirectory(dir_.path().toStdString());
        LibHandle = &lib_;
    }
    ~ReminderBook() {
        lib_.closeAll();
        AddrBookTable = nullptr;
        LibHandle = saved_;
    }

    static TAddressRecord person(const QString& first, const QString& last) {
        TAddressRecord r;
        r.First = first;
        r.Last = last;
        return r;
    }

    // Four people: two Bakers whose letter case differs, one without a first name, and the
    // birthdays and an anniversary of March and April.
    static std::vector<TAddressRecord> sample() {
        auto p = &ReminderBook::person;
        TAddressRecord zed = p("Zed", "baker");   // lower case: still sorted as BAKER
        zed.Christmas = true;
        TAddressRecord amy = p("Amy", "Baker");
        amy.Christmas = true;
        amy.Birthday = true;
        amy.Birthdate = QDate(1961, 3, 14);
        amy.Annav = true;
        amy.Annavdate = QDate(1985, 3, 2);
        TAddressRecord noFirst = p("", "Adams");
        noFirst.Christmas = true;
        TAddressRecord carl = p("Carl", "Young");
        carl.Mother = true;
        carl.Birthday = true;
        carl.Birthdate = QDate(1970, 4, 1);
        return {zed, carl, amy, noFirst};
    }

    // Appends the records (in the order given; the index puts them in name order).
    void add(const std::vector<TAddressRecord>& records) {
        EXPECT_TRUE(OpenAddrBook().ok());
        for (const TAddressRecord& r : records) {
            ASSERT_EQ(AddrBookTable->appendBlank(), 0);
            AddressRec = r;
            StoreAddrRec();
        }
        EXPECT_TRUE(CloseTable(AddrBookTable).ok());
    }

    QString path() const { return dir_.path(); }
    xbase::Library& library() { return lib_; }

private:
    QTemporaryDir dir_;
    xbase::Library lib_;
    xbase::Library* saved_ = nullptr;
};
