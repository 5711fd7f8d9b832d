#pragma once
// A complete data set whose address book holds generated names, for the program benchmarks.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "AddressGen.h"
#include "core/data/Schema.h"
#include "xbase/Library.h"

// Makes the data set in dir with `rows` names of the seed-1 book, unless it is there already.
inline void MakeGeneratedBook(const std::string& dir, uint32_t rows) {
    namespace fs = std::filesystem;
    if (fs::exists(dir + "/Address.ntx")) return;
    fs::remove_all(dir);
    if (!CreateDataSet(dir).ok()) std::abort();
    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setSyncOnFlush(false);
    lib.setAutoOpen(false);
    xbase::Table* t = lib.open("AddrBook");
    if (!t) std::abort();
    // The generator's columns, in its order, whatever the physical order of the table.
    static const char* const kColumns[addrgen::ColumnCount] = {
        "First", "Last", "Street", "Street2", "City", "State", "Zip", "Country", "email",
        "phone", "fax", "mobile", "Birthdate", "Annavdate", "Other1Date", "Other2Date",
        "Birthday", "Annav", "Valentine", "Mother", "Father", "Secretary", "Halloween",
        "ThanksGiv", "Christmas", "Other1", "Other2"};
    std::vector<xbase::Field*> f;
    for (const char* name : kColumns) f.push_back(t->field(name));
    addrgen::Gen g(1);
    for (uint32_t i = 0; i < rows; ++i) {
        auto r = g.row();
        t->appendBlank();
        for (int c = 0; c < addrgen::ColumnCount; ++c)
            if (f[size_t(c)]) f[size_t(c)]->assign(r[size_t(c)]);
    }
    lib.setSafety(false);
    if (t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}) != 0) std::abort();
    t->close();
}
