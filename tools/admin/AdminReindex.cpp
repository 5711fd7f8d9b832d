// merrowby-admin reindex DIR [--time]: rebuilds both indexes, and the card log's once there is
// one (putting stray cards back on their people by name). --time: the wall time on standard
// error, from the start of the process.

#include <chrono>
#include <cstdio>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/data/CardLog.h"
#include "core/data/DataFiles.h"
#include "core/data/Schema.h"
#include "xbase/Check.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

extern const AdminCommand kAdminReindex;

namespace {

// Taken while the program is being set up, before main.
const auto gStarted = std::chrono::steady_clock::now();

int rebuild(const QString& dir) {
    AdminSession session("reindex", dir, AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    xbase::Library& lib = session.library();
    const std::string path = dir.toStdString();
    // An index build (or a copy, or a pack) stopped part-way left its temporary file.
    xbase::removeLeftovers(lib.fs(), path);
    lib.setAutoOpen(false);
    lib.setSafety(false);
    lib.setAccessMode(xbase::AccessMode::Exclusive);
    // Every table is looked at before any index is written: a damaged table stops the command
    // with nothing changed.
    for (const TableSchema& schema : DataTables()) {
        if (schema.group.empty()) continue;
        const xbase::Status s = CheckTableFile(lib.fs(), xbase::resolveName(lib.fs(), path, schema.fileName), schema);
        if (!s.ok())
            return session.fail(QString::fromStdString(s.toString()) + QStringLiteral("; no index was rebuilt"));
    }
    int failures = 0;
    const auto failed = [&](const std::string& why) {
        session.fail(QString::fromStdString(why));
        ++failures;
    };
    for (const TableSchema& schema : DataTables()) {
        if (schema.group.empty()) continue;
        xbase::Table* t = lib.open(schema.baseName);
        if (!t || t->createIndex(schema.group, {{schema.tag, schema.key}}) < 0)
            failed(lib.lastError().toString());
        else
            std::printf("rebuilt %s (%u rows)\n", schema.tag.c_str(), t->recCount());
        if (lib.closeAll() < 0) failed(lib.lastError().toString());
    }
    if (failures == 0 && lib.fs().exists(xbase::resolveName(lib.fs(), path, CardsSchema().fileName))) {
        int moved = 0, dropped = 0;
        xbase::Status s = CardsReconcile(lib, &moved, &dropped);
        if (s.ok()) s = CardsReindex(lib);
        if (!s.ok())
            failed(s.toString());
        else
            std::printf("rebuilt %s (%d card events moved to their people, %d dropped)\n", CardsSchema().tag.c_str(),
                        moved, dropped);
    }
    return failures ? 1 : 0;
}

int run(const QStringList& args) {
    AdminArgs a("reindex", kAdminReindex.usage);
    a.flags({"time"});
    if (!a.parse(args, 1, 1)) return 2;
    const int rc = rebuild(a.plain(0));
    if (a.has(QStringLiteral("time"))) {
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - gStarted;
        std::fprintf(stderr, "merrowby-admin: reindex took %.3f s\n", took.count());
    }
    return rc;
}

}  // namespace

extern const AdminCommand kAdminReindex = {"reindex", false, run, "merrowby-admin reindex DIR [--time]"};
