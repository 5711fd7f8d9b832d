#pragma once
// Sheet memory: where the last, partly used sheet of each stock stopped.
//
// After a run on sheet stock that ends part-way through a sheet, the next free label (column
// and row) is remembered for that stock with the date of the run, in a table of our own,
// Sheets.dbf (created on first use, found whatever its letter case). A run that ends on a
// sheet's last label forgets the stock's entry: the next run starts on a fresh sheet. A
// continuous stock is never remembered.

#include <QDate>
#include <QString>
#include <optional>

#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "xbase/Status.h"

namespace xbase {
class Library;
}

struct SheetPosition {
    int column = 1;
    int row = 1;
    QDate date;
};

const TableSchema& SheetsSchema();

// The next free label after `labels` labels placed from (startColumn, startRow) on a stock of
// `nAcross` labels across and `rowsPerPage` rows a sheet; nothing when the run ends exactly at
// the end of a sheet (or placed no label). The start is brought within the sheet first.
std::optional<SheetPosition> NextFreeLabel(int nAcross, int rowsPerPage, int startColumn,
                                           int startRow, long long labels);

// Rows of labels one sheet of `stock` holds on a page of `pageHeight` points (the margins and
// the row pitch as the layout uses them); 0 for a continuous stock.
int SheetRows(const TLabelRecord& stock, double pageHeight);

// What is remembered for the stock `name` (trimmed, letter case ignored); nothing when the
// table or the entry is missing. A failure to read comes back in the Status.
xbase::Status SheetRecall(xbase::Library& lib, const QString& name, std::optional<SheetPosition>* out);
// Remembers `pos` for `name`, or forgets the entry when `pos` is empty.
xbase::Status SheetRemember(xbase::Library& lib, const QString& name,
                            const std::optional<SheetPosition>& pos);

// "Last sheet of this stock: next free label column 2, row 7 (12/8/2026)", the date in the
// user's short format (ShortDateText).
QString SheetMemoryText(const SheetPosition& pos);
