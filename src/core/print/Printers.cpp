#include "core/print/Printers.h"

#include <QString>

#include "xbase/Dbf.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

using xbase::ErrorKind;
using xbase::Status;

constexpr int kNameWidth = 60;

TableSchema makeSchema() {
    TableSchema t;
    t.baseName = "Printers";
    t.fileName = "Printers.dbf";
    t.fields = {{"Name", 'C', kNameWidth, 0}, {"DxPt", 'N', 8, 3}, {"DyPt", 'N', 8, 3}, {"Scale", 'N', 8, 5}};
    t.shownName = "Printers.dbf";
    return t;
}

Status failure(xbase::Library& lib, const char* what) {
    Status s = lib.lastError();
    lib.errorCode();
    if (s.ok()) s = Status::error(ErrorKind::IoError, "Printers.dbf", what);
    return s;
}

bool sameName(xbase::Table* t, const std::string& name) {
    return QString::fromStdString(t->field("Name")->str()).trimmed() ==
           QString::fromStdString(name).left(kNameWidth).trimmed();
}

// Positions `t` on the live row of `name`; false when there is none.
bool findRow(xbase::Table* t, const std::string& name) {
    for (int rc = t->top(); rc == 0 && !t->eof(); rc = t->skip())
        if (!t->deleted() && sameName(t, name)) return true;
    return false;
}

struct AutoOpenOff {
    explicit AutoOpenOff(xbase::Library& l) : lib(l), was(l.autoOpen()) { l.setAutoOpen(false); }
    ~AutoOpenOff() { lib.setAutoOpen(was); }
    xbase::Library& lib;
    bool was;
};

}  // namespace

const TableSchema& PrintersSchema() {
    static const TableSchema s = makeSchema();
    return s;
}

Status LoadPrinterCalibration(xbase::Library& lib, const std::string& name, PrinterCalibration* cal,
                              bool* found) {
    *found = false;
    if (!lib.fs().exists(xbase::resolveName(lib.fs(), lib.directory(), PrintersSchema().fileName)))
        return Status::Ok();
    AutoOpenOff guard(lib);
    lib.errorCode();
    xbase::Table* t = lib.open(PrintersSchema().baseName);
    if (!t) return failure(lib, "cannot open");
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
    AutoOpenOff guard(lib);
    lib.errorCode();
    const TableSchema& schema = PrintersSchema();
    const bool have = lib.fs().exists(xbase::resolveName(lib.fs(), lib.directory(), schema.fileName));
    xbase::Table* t = have ? lib.open(schema.baseName) : lib.create(schema.baseName, schema.fields);
    if (!t) return failure(lib, have ? "cannot open" : "cannot create");
    if (!findRow(t, name)) {
        if (t->appendBlank() != 0) {
            Status s = failure(lib, "cannot append");
            t->close();
            return s;
        }
        t->field("Name")->assign(name);
    }
    t->field("DxPt")->assignDouble(cal.dxPt);
    t->field("DyPt")->assignDouble(cal.dyPt);
    t->field("Scale")->assignDouble(cal.scale);
    if (lib.exitTest()) {
        Status s = failure(lib, "cannot write");
        t->close();
        return s;
    }
    if (t->close() < 0) return failure(lib, "cannot write");
    return Status::Ok();
}
