#include "core/labels/SheetMemory.h"

#include "core/data/OwnTables.h"
#include "core/data/Records.h"

#include <QLocale>
#include <algorithm>

#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

using xbase::ErrorKind;
using xbase::Status;

const char* const kFile = "Sheets.dbf";

QString keyOf(const QString& name) { return name.trimmed().toUpper(); }

}  // namespace

const TableSchema& SheetsSchema() { return OwnTableSchema("Sheets"); }

std::optional<SheetPosition> NextFreeLabel(int nAcross, int rowsPerPage, int startColumn,
                                           int startRow, long long labels) {
    if (nAcross < 1 || rowsPerPage < 1 || labels < 1) return std::nullopt;
    const int col = std::clamp(startColumn, 1, nAcross);
    const int row = std::clamp(startRow, 1, rowsPerPage);
    const long long perSheet = (long long)nAcross * rowsPerPage;
    const long long next = ((row - 1) * (long long)nAcross + (col - 1) + labels) % perSheet;
    if (next == 0) return std::nullopt;
    SheetPosition p;
    p.column = int(next % nAcross) + 1;
    p.row = int(next / nAcross) + 1;
    return p;
}

int SheetRows(const TLabelRecord& stock, double pageHeight) {
    if (stock.Continuous) return 0;
    const double pitch = stock.Height + stock.VGap;
    if (stock.Height <= 0 || pitch <= 0) return 0;
    const double usable = pageHeight - stock.TopM - stock.BottomM;
    if (usable < stock.Height) return 0;
    // The last row needs no gap below it.
    return int((usable + stock.VGap + 0.01) / pitch);  // within a hundredth of a point
}

Status SheetRecall(xbase::Library& lib, const QString& name, std::optional<SheetPosition>* out) {
    out->reset();
    xbase::Table* t = nullptr;
    XB_TRY(OpenOwnTable(lib, SheetsSchema(), false, &t));
    if (!t) return Status::Ok();  // nothing remembered yet
    const QString key = keyOf(name);
    int rc = t->top();
    for (; rc == xbase::kOk; rc = t->skip(1)) {
        if (t->deleted() || keyOf(QString::fromStdString(t->field("Stock")->str())) != key) continue;
        SheetPosition p;
        p.column = int(t->field("NextCol")->asInt());
        p.row = int(t->field("NextRow")->asInt());
        p.date = QDate::fromString(QString::fromStdString(t->field("RunDate")->str()), "yyyyMMdd");
        if (p.column >= 1 && p.row >= 1) *out = p;
        break;
    }
    return CloseOwnTable(lib, t, rc < 0 ? LibraryFailure(lib, kFile, "cannot read") : Status::Ok());
}

Status SheetRemember(xbase::Library& lib, const QString& name, const std::optional<SheetPosition>& pos) {
    xbase::Table* t = nullptr;
    XB_TRY(OpenOwnTable(lib, SheetsSchema(), pos.has_value(), &t));
    if (!t) return Status::Ok();  // nothing to forget
    const QString key = keyOf(name);
    bool found = false;
    int rc = t->top();
    for (; rc == xbase::kOk; rc = t->skip(1)) {
        if (t->deleted() || keyOf(QString::fromStdString(t->field("Stock")->str())) != key) continue;
        found = true;
        break;
    }
    Status s = rc < 0 ? LibraryFailure(lib, kFile, "cannot read") : Status::Ok();
    if (s.ok() && !found && pos) {
        if (t->appendBlank() != 0) s = LibraryFailure(lib, kFile, "cannot append");
        else t->field("Stock")->assign(name.trimmed().toStdString());
        found = s.ok();
    }
    if (s.ok() && found) {
        if (pos) {
            t->field("NextCol")->assignInt(pos->column);
            t->field("NextRow")->assignInt(pos->row);
            t->field("RunDate")->assign(pos->date.isValid() ? pos->date.toString("yyyyMMdd").toStdString()
                                                            : std::string(8, ' '));
        } else if (t->markDeleted() != 0) {
            s = LibraryFailure(lib, kFile, "cannot write");
        }
    }
    if (s.ok() && t->flush() < 0) s = LibraryFailure(lib, kFile, "cannot write");
    return CloseOwnTable(lib, t, s);
}

QString SheetMemoryText(const SheetPosition& pos) {
    QString text = QStringLiteral("Last sheet of this stock: next free label column %1, row %2")
                       .arg(pos.column)
                       .arg(pos.row);
    if (pos.date.isValid()) text += QStringLiteral(" (%1)").arg(ShortDateText(pos.date));
    return text;
}
