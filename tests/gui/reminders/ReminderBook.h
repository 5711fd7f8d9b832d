#pragma once
// A throw-away data directory for the reminder tests: a fresh data set (CreateDataSet) with the
// names the test adds, written through the program's own store routine. While it lives,
// LibHandle points at a library working in that directory.
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

    // Appends the records (in the order given; the index puts them in name order).
    void add(const std::vector<TAddressRecord>& records) {
        OpenAddrBook();
        for (const TAddressRecord& r : records) {
            ASSERT_EQ(AddrBookTable->appendBlank(), 0);
            AddressRec = r;
            StoreAddrRec();
        }
        CloseTable(AddrBookTable);
    }

    QString path() const { return dir_.path(); }
    xbase::Library& library() { return lib_; }

private:
    QTemporaryDir dir_;
    xbase::Library lib_;
    xbase::Library* saved_ = nullptr;
};
