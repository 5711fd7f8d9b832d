// merrowby-admin dump DIR TABLE: a table's rows in index order as UTF-8 CSV, a header line of its
// field names first; deleted rows end in ",*deleted*".

#include <strings.h>

#include <cstdio>
#include <string>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/data/Schema.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

extern const AdminCommand kAdminDump;

namespace {

int run(const QStringList& args) {
    AdminArgs a("dump", kAdminDump.usage);
    if (!a.parse(args, 2, 2)) return 2;
    const std::string table = a.plain(1).toStdString();
    xbase::Library lib;
    lib.setDirectory(a.plain(0).toStdString());
    lib.setReadOnly(true);
    const TableSchema* schema = nullptr;
    for (const TableSchema& t : DataTables())
        if (strcasecmp(t.baseName.c_str(), table.c_str()) == 0) schema = &t;
    lib.setAutoOpen(schema && !schema->group.empty());
    xbase::Table* t = lib.open(schema ? schema->baseName : table);
    if (!t) return a.fail(QString::fromStdString(lib.lastError().toString()), 1);
    if (t->tagCount() > 0) t->selectTag(t->tagAt(0));
    std::string line;
    for (size_t i = 0; i < t->fieldCount(); ++i) line += (i ? "," : "") + CsvField(t->fieldAt(i)->name());
    std::printf("%s\n", line.c_str());
    int rc = t->top();
    for (; rc == xbase::kOk; rc = t->skip(1)) {
        line.clear();
        for (size_t i = 0; i < t->fieldCount(); ++i)
            line += (i ? "," : "") + CsvField(TrimRight(t->fieldAt(i)->str()));
        if (t->deleted()) line += ",*deleted*";
        std::printf("%s\n", line.c_str());
    }
    if (rc < 0) return a.fail(QString::fromStdString(lib.lastError().toString()), 1);
    t->close();
    return 0;
}

}  // namespace

extern const AdminCommand kAdminDump = {"dump", false, run, "merrowby-admin dump DIR TABLE"};
