#pragma once
// The printers table: Printers.dbf beside the address book, one row per printer name with the
// correction its output needs (core/print/Calibration.h). Created on first store; a data set
// without it has no printer corrected. Found whatever its letter case; new files are spelt
// Printers.dbf.

#include <string>

#include "core/data/Schema.h"
#include "core/print/Calibration.h"
#include "xbase/Status.h"

namespace xbase {
class Library;
}

const TableSchema& PrintersSchema();

// The stored correction of `name` (*found false and *cal untouched when there is none, also
// when the table does not exist).
xbase::Status LoadPrinterCalibration(xbase::Library& lib, const std::string& name,
                                     PrinterCalibration* cal, bool* found);
// Stores the correction of `name`, replacing one stored before: the offsets to three decimals,
// the scale to five. A value its column cannot hold (NaN, infinite, too many whole digits) is
// refused with BadArgument and nothing is written.
xbase::Status StorePrinterCalibration(xbase::Library& lib, const std::string& name,
                                      const PrinterCalibration& cal);
