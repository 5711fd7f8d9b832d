#pragma once
// What a table reads ahead on a scan in index order (Table.h, startReadAhead), shared by the
// table's files: TableReadAhead.cpp reads it, TableCursor.cpp steps through it, Table.cpp reads
// a row's deletion flag from it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "xbase/Status.h"
#include "xbase/Table.h"

namespace xbase {

// Read-ahead of index-order scans.
constexpr uint32_t kAheadWarmup = 64;          // single forward steps before reading ahead
constexpr size_t kAheadFirstBatch = 2048;      // rows in the first batch of a run
constexpr size_t kAheadBytes = 48u << 20;      // most memory a batch holds
constexpr int kAheadMissLimit = 16;            // reads of fields a batch lacks before it is redone
constexpr int kAheadMaxWidenings = 3;          // after that many, batches hold whole rows

struct Table::ReadAhead {
    std::vector<uint32_t> recs;  // record numbers in index order; recs[at] is the current row
    size_t at = 0;
    size_t width = 0;            // bytes kept per row
    std::vector<int32_t> colAt;  // by byte offset in the row: where that field's bytes are kept, -1
    std::vector<uint8_t> data;   // recs.size() * width bytes
    int misses = 0;
    Status tailError;            // the index failed right after the last row: the next step's result
};

}  // namespace xbase
