#include "core/labels/SheetMemory.h"

#include "core/data/Records.h"

#include <QLocale>
#include <algorithm>

#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

using xbase::ErrorKind;
using xbase::Status;

const char* const kFile = "Sheets.dbf";

TableSchema makeSchema() {
    TableSchema t;
    t.baseName = "Sheets";
    t.fileName = kFile;
    t.fields = {{"Stock", 'C', 40, 0}, {"NextCol", 'N', 3, 0}, {"NextRow", 'N', 4, 0},
                {"RunDate", 'D', 8, 0}};
    t.shownName = kFile;
    return t;
}

Status failure(xbase::Library& lib, const char* what) {
    Status s = lib.lastError();
    lib.errorCode();
    if (s.ok()) s = Status::error(ErrorKind::IoError, kFile, what);
    return s;
}

struct AutoOpenOff {
    explicit AutoOpenOff(xbase::Library& l) : lib(l), was(l.autoOpen()) { l.setAutoOpen(false); }
    ~AutoOpenOff() { lib.setAutoOpen(was); }
    xbase::Library& lib;
    bool was;
};

bool exists(xbase::Library& lib) {
    return lib.fs().exists(xbase::resolveName(lib.fs(), lib.directory(), kFile));
}

QString keyOf(const QString& name) { return name.trimmed().toUpper(); }

Status closeKeeping(xbase::Library& lib, xbase::Table* t, Status s) {
    if (t->close() < 0) {
        const Status c = failure(lib, "cannot write");
        if (s.ok()) s = c;
    }
    return s;
}

}  // namespace

const TableSchema& SheetsSchema() {
    static const TableSchema s = makeSchema();
    return s;
}

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
    if (!exists(lib)) return Status::Ok();
    AutoOpenOff guard(lib);
    lib.errorCode();
    xbase::Table* t = lib.open(SheetsSchema().baseName);
    if (!t) return failure(lib, "cannot open");
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
    Status s = rc < 0 ? failure(lib, "cannot read") : Status::Ok();
    return closeKeeping(lib, t, s);
}

Status SheetRemember(xbase::Library& lib, const QString& name, const std::optional<SheetPosition>& pos) {
    if (!exists(lib) && !pos) return Status::Ok();
    AutoOpenOff guard(lib);
    lib.errorCode();
    xbase::Table* t = exists(lib) ? lib.open(SheetsSchema().baseName)
                                  : lib.create(SheetsSchema().baseName, SheetsSchema().fields);
    if (!t) return failure(lib, "cannot open");
    const QString key = keyOf(name);
    bool found = false;
    int rc = t->top();
    for (; rc == xbase::kOk; rc = t->skip(1)) {
        if (t->deleted() || keyOf(QString::fromStdString(t->field("Stock")->str())) != key) continue;
        found = true;
        break;
    }
    Status s = rc < 0 ? failure(lib, "cannot read") : Status::Ok();
    if (s.ok() && !found && pos) {
        if (t->appendBlank() != 0) s = failure(lib, "cannot append");
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
            s = failure(lib, "cannot write");
        }
    }
    if (s.ok() && t->flush() < 0) s = failure(lib, "cannot write");
    return closeKeeping(lib, t, s);
}

QString SheetMemoryText(const SheetPosition& pos) {
    QString text = QStringLiteral("Last sheet of this stock: next free label column %1, row %2")
                       .arg(pos.column)
                       .arg(pos.row);
    if (pos.date.isValid()) text += QStringLiteral(" (%1)").arg(ShortDateText(pos.date));
    return text;
}
