#include "core/data/OwnTables.h"

#include "core/data/CardLog.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

using xbase::ErrorKind;
using xbase::Status;

// A table of our own named `base`: its file "<base>.dbf" as new files spell it and as messages
// name it; with a key, an index "<base>.ntx" in the group "<base>.cgp".
OwnTable own(const char* base, std::vector<xbase::FieldSpec> fields, const char* key = "",
             xbase::Status (*rebuild)(xbase::Library&, bool) = nullptr) {
    OwnTable t;
    t.rebuild = rebuild;
    t.schema.baseName = base;
    t.schema.fileName = t.schema.shownName = std::string(base) + ".dbf";
    t.schema.fields = std::move(fields);
    if (*key) {
        t.schema.group = t.schema.tag = base;
        t.schema.key = key;
        t.schema.shownIndex = std::string(base) + ".ntx";
    }
    return t;
}

std::string pathOf(xbase::Library& lib, const std::string& name) {
    return xbase::resolveName(lib.fs(), lib.directory(), name);
}

// The index opens with the table: its file is there, finished, and its group file lists it
// readably.
bool indexUsable(xbase::Library& lib, const TableSchema& s) { return IndexFilesPresent(lib.fs(), lib.directory(), s); }

}  // namespace

const std::vector<OwnTable>& OwnTables() {
    static const std::vector<OwnTable> tables = {
        // the printers' corrections (core/print/Printers.h)
        own("Printers", {{"Name", 'C', 60, 0}, {"DxPt", 'N', 8, 3}, {"DyPt", 'N', 8, 3}, {"Scale", 'N', 8, 5}}),
        // where the last sheet of each stock stopped (core/labels/SheetMemory.h)
        own("Sheets", {{"Stock", 'C', 40, 0}, {"NextCol", 'N', 3, 0}, {"NextRow", 'N', 4, 0}, {"RunDate", 'D', 8, 0}}),
        // the card log: one row per card event, found by the recipient's name key and the year
        // (core/data/CardLog.h), and the addresses returned cards were sent to
        own("Cards", {{"NameKey", 'C', 40, 0}, {"RecNo", 'N', 7, 0}, {"Year", 'N', 4, 0},
                      {"Occasion", 'N', 1, 0}, {"Entry", 'N', 1, 0}, {"Kind", 'C', 1, 0}},
            "NameKey + Str(Year,4)", CardsRebuildIndex),
        own("CardAddr", {{"NameKey", 'C', 40, 0}, {"RecNo", 'N', 7, 0}, {"AddrSum", 'C', 8, 0}}),
        // the calendar settings: one row (core/calendar/CalendarSettings.h)
        own("Calendar", {{"Country", 'C', 2, 0}, {"AlarmDays", 'N', 3, 0}, {"HolAlarm", 'N', 3, 0}, {"Years", 'N', 3, 0}}),
        // households' greetings, the people with a card of their own and the label run's "one label
        // per household" (core/households/Households.h); the key holds the five address columns
        own("Households", {{"Kind", 'C', 1, 0}, {"HouseKey", 'C', 160, 0}, {"Person", 'C', 41, 0},
                           {"Greeting", 'C', 60, 0}}),
    };
    return tables;
}

std::vector<const TableSchema*> FolderTables() {
    std::vector<const TableSchema*> out;
    for (const TableSchema& t : DataTables()) out.push_back(&t);
    for (const OwnTable& t : OwnTables()) out.push_back(&t.schema);
    return out;
}

const TableSchema* FindOwnTable(std::string_view name) {
    for (const OwnTable& t : OwnTables())
        if (xbase::equalsFolded(t.schema.fileName, name) || xbase::equalsFolded(t.schema.baseName, name))
            return &t.schema;
    return nullptr;
}

const TableSchema& OwnTableSchema(std::string_view baseName) {
    static const TableSchema none;  // a name not in the list: every use of it fails as a value
    const TableSchema* s = FindOwnTable(baseName);
    return s ? *s : none;
}

bool OwnTableExists(xbase::Library& lib, const TableSchema& schema) {
    return lib.fs().exists(pathOf(lib, schema.fileName));
}

LibrarySettingsGuard::LibrarySettingsGuard(xbase::Library& lib)
    : lib_(lib), autoOpen_(lib.autoOpen()), safety_(lib.safety()) {}

LibrarySettingsGuard::~LibrarySettingsGuard() {
    lib_.setAutoOpen(autoOpen_);
    lib_.setSafety(safety_);
}

namespace {
// OpenOwnTable; with `rewriteIndex` the index is written anew whatever state it is in.
Status openOwn(xbase::Library& lib, const TableSchema& schema, bool create, bool rewriteIndex, xbase::Table** out) {
    *out = nullptr;
    const bool have = OwnTableExists(lib, schema);
    if (!have && !create) return Status::Ok();  // nothing stored yet
    const bool indexed = !schema.group.empty();
    const bool haveIndex = indexed && have && !rewriteIndex && indexUsable(lib, schema);
    LibrarySettingsGuard guard(lib);
    lib.setAutoOpen(haveIndex);
    lib.errorCode();  // a failure left over from earlier is not this open's
    xbase::Table* t = have ? lib.open(schema.baseName) : lib.create(schema.baseName, schema.fields);
    if (!t) return LibraryFailure(lib, schema.fileName, have ? "cannot open" : "cannot create");
    // A file of that name that is not ours (another program's, or damaged) is refused whole.
    if (Status c = CheckColumns(t->dbf(), schema, t->path()); !c.ok()) return CloseOwnTable(lib, t, c);
    if (indexed && !haveIndex) {
        lib.setSafety(false);  // what is left of the old index is written over
        if (t->createIndex(schema.group, {{schema.tag, schema.key}}) < 0)
            return CloseOwnTable(lib, t, LibraryFailure(lib, schema.tag + ".ntx", "cannot write the index"));
    }
    if (indexed) {
        xbase::Tag* tag = t->tag(schema.tag);
        if (!tag)
            return CloseOwnTable(lib, t, Status::error(ErrorKind::NotFound, schema.tag + ".ntx", "the index is missing"));
        t->selectTag(tag);
    }
    *out = t;
    return Status::Ok();
}
}  // namespace

Status OpenOwnTable(xbase::Library& lib, const TableSchema& schema, bool create, xbase::Table** out) {
    return openOwn(lib, schema, create, false, out);
}

Status EnsureOwnTable(xbase::Library& lib, const TableSchema& schema) {
    if (OwnTableExists(lib, schema) && (schema.group.empty() || indexUsable(lib, schema))) return Status::Ok();
    xbase::Table* t = nullptr;
    XB_TRY(openOwn(lib, schema, true, false, &t));
    return CloseOwnTable(lib, t, Status::Ok());
}

Status RebuildOwnIndex(xbase::Library& lib, const TableSchema& schema) {
    if (schema.group.empty()) return Status::Ok();
    xbase::Table* t = nullptr;
    XB_TRY(openOwn(lib, schema, false, true, &t));
    return CloseOwnTable(lib, t, Status::Ok());
}

Status RebuildOwnTable(xbase::Library& lib, const OwnTable& table, bool onlyIfMissing) {
    if (!OwnTableExists(lib, table.schema)) return Status::Ok();
    if (table.rebuild) return table.rebuild(lib, onlyIfMissing);
    return onlyIfMissing ? EnsureOwnTable(lib, table.schema) : RebuildOwnIndex(lib, table.schema);
}

Status CloseOwnTable(xbase::Library& lib, xbase::Table*& t, Status s) {
    if (!t) return s;
    const std::string file = t->alias() + ".dbf";
    const int rc = t->close();
    t = nullptr;
    if (rc < 0) {
        const Status c = LibraryFailure(lib, file, "cannot write");
        if (s.ok()) s = c;
    }
    return s;
}

Status LibraryFailure(xbase::Library& lib, const std::string& file, const char* what) {
    Status s = lib.lastError();
    lib.errorCode();
    if (s.ok()) s = Status::error(ErrorKind::IoError, file, what);
    return s;
}
