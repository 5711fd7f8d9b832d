#include "core/print/Printers.h"

#include <QString>

#include "core/data/OwnTables.h"
#include "xbase/Dbf.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

using xbase::ErrorKind;
using xbase::Status;

// The printer names as the table holds them: cut to the width of its Name column.
int nameWidth() { return PrintersSchema().fields.front().length; }

bool sameName(xbase::Table* t, const std::string& name) {
    return QString::fromStdString(t->field("Name")->str()).trimmed() ==
           QString::fromStdString(name).left(nameWidth()).trimmed();
}

// Positions `t` on the live row of `name`; false when there is none.
bool findRow(xbase::Table* t, const std::string& name) {
    for (int rc = t->top(); rc == 0 && !t->eof(); rc = t->skip())
        if (!t->deleted() && sameName(t, name)) return true;
    return false;
}

}  // namespace

const TableSchema& PrintersSchema() { return OwnTableSchema("Printers"); }

Status LoadPrinterCalibration(xbase::Library& lib, const std::string& name, PrinterCalibration* cal,
                              bool* found) {
    *found = false;
    xbase::Table* t = nullptr;
    XB_TRY(OpenOwnTable(lib, PrintersSchema(), false, &t));
    if (!t) return Status::Ok();  // no printer corrected yet
    if (findRow(t, name)) {
        *found = true;
        cal->dxPt = t->field("DxPt")->asDouble();
        cal->dyPt = t->field("DyPt")->asDouble();
        const double s = t->field("Scale")->asDouble();
        cal->scale = s > 0 ? s : 1.0;
    }
    t->close();  // read only
    lib.errorCode();
    return Status::Ok();
}

Status StorePrinterCalibration(xbase::Library& lib, const std::string& name, const PrinterCalibration& cal) {
    if (name.empty()) return Status::error(ErrorKind::BadArgument, "Printers.dbf", "a printer name is needed");
    if (!(cal.scale > 0)) return Status::error(ErrorKind::BadArgument, "Printers.dbf", "the scale must be positive");
    // A number its column cannot hold would be stored as stars and read back as 0.
    for (const auto& [column, value] : {std::pair{"DxPt", cal.dxPt}, {"DyPt", cal.dyPt}, {"Scale", cal.scale}}) {
        const xbase::FieldSpec* f = nullptr;
        for (const xbase::FieldSpec& c : PrintersSchema().fields)
            if (c.name == column) f = &c;
        char buf[64];
        if (!f || f->length >= int(sizeof buf) || !xbase::field::formatNumber(value, f->length, f->decimals, buf))
            return Status::error(ErrorKind::BadArgument, "Printers.dbf", std::string(column) + " does not fit its column");
    }
    xbase::Table* t = nullptr;
    XB_TRY(OpenOwnTable(lib, PrintersSchema(), true, &t));
    if (!findRow(t, name)) {
        if (t->appendBlank() != 0) return CloseOwnTable(lib, t, LibraryFailure(lib, "Printers.dbf", "cannot append"));
        t->field("Name")->assign(name);
    }
    t->field("DxPt")->assignDouble(cal.dxPt);
    t->field("DyPt")->assignDouble(cal.dyPt);
    t->field("Scale")->assignDouble(cal.scale);
    if (lib.exitTest()) return CloseOwnTable(lib, t, LibraryFailure(lib, "Printers.dbf", "cannot write"));
    return CloseOwnTable(lib, t, Status::Ok());
}
