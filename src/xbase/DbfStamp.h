#pragma once
// The stamp a table's header carries, the date of the last update and the row count, written
// when a table is made (Dbf.cpp) and with every header its rows bring up to date (DbfRows.cpp).

#include <algorithm>
#include <cstdint>
#include <ctime>

#include "xbase/Dbf.h"
#include "xbase/DbfFormat.h"
#include "xbase/LittleEndian.h"

namespace xbase::dbfmt {

inline DbfFile::Date today() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

inline void stampHeader(uint8_t* hdr, uint32_t count, const DbfFile::Date& d) {
    hdr[kUpdateYear] = uint8_t(std::clamp(d.year - 1900, 0, 255));
    hdr[kUpdateMonth] = uint8_t(d.month);
    hdr[kUpdateDay] = uint8_t(d.day);
    le::put32(hdr + kRecordCount, count);
    hdr[kTransaction] = 0;  // a header that counts the rows closes the write
}

}  // namespace xbase::dbfmt
