// merrowby-admin check DIR: verifies every table and index of a data folder, the tables of our
// own once they exist; prints OK or FAIL per file and exits 1 on a fault.

#include <cstdio>
#include <string>
#include <vector>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/data/CardLog.h"
#include "core/data/OwnTables.h"
#include "core/data/Schema.h"
#include "xbase/Check.h"
#include "xbase/Library.h"

extern const AdminCommand kAdminCheck;

namespace {

// Every event of the card log on its person (its tables checked sound already); false on a fault.
bool checkCardLog(xbase::FileSystem& fs, const std::string& dir, std::vector<xbase::CheckVerdict>* verdicts) {
    // A reindex would drop the events of people the book lost count of: repair brings those
    // people back first.
    bool lostRows = false;
    for (const auto& v : *verdicts) lostRows = lostRows || v.rowsPastCount > 0;
    const std::string mend = lostRows ? "merrowby-admin repair" : "reindex";
    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setReadOnly(true);
    uint64_t events = 0, stray = 0;
    const xbase::Status s = CardsCheck(lib, &events, &stray);
    xbase::CheckVerdict v;
    v.file = xbase::resolveName(fs, dir, CardsSchema().fileName);
    v.ok = s.ok() && stray == 0;
    v.detail = !s.ok() ? s.toString()
               : stray ? std::to_string(stray) + " of " + std::to_string(events) +
                             " card events name a record that holds another name (" + mend + " puts them right)"
                       : "ok, " + std::to_string(events) + " card events on their people";
    verdicts->push_back(v);
    if (fs.exists(xbase::resolveName(fs, dir, "Cards.pck"))) {
        v.file = xbase::resolveName(fs, dir, "Cards.pck");
        v.ok = false;
        v.detail = "a delete stopped before the card log followed it (" + mend + " puts the log right)";
        verdicts->push_back(v);
    }
    return v.ok;
}

int run(const QStringList& args) {
    AdminArgs a("check", kAdminCheck.usage);
    if (!a.parse(args, 1, 1)) return 2;
    const std::string dir = a.plain(0).toStdString();
    xbase::FileSystem& fs = xbase::FileSystem::real();
    bool ok = true;
    std::vector<xbase::CheckVerdict> verdicts;
    for (const TableSchema& t : DataTables())
        ok = xbase::checkTable(fs, dir, t.baseName, !t.group.empty(), &verdicts) && ok;
    // The tables of our own, once something was stored in them, with their indexes.
    bool logOk = true;  // the card log's two tables
    for (const OwnTable& t : OwnTables()) {
        if (!t.carried || !fs.exists(xbase::resolveName(fs, dir, t.schema.fileName))) continue;
        const bool tableOk = xbase::checkTable(fs, dir, t.schema.baseName, !t.schema.group.empty(), &verdicts);
        ok = tableOk && ok;
        if (&t.schema == &CardsSchema() || &t.schema == &CardMarksSchema()) logOk = tableOk && logOk;
    }
    // The card log, once there is one and its tables are sound.
    if (logOk && fs.exists(xbase::resolveName(fs, dir, CardsSchema().fileName)))
        ok = checkCardLog(fs, dir, &verdicts) && ok;
    // A damaged file's bytes (a field name, an index expression, a group file's line) may be in
    // the texts: escaped, they cannot garble the terminal.
    for (const auto& v : verdicts)
        std::printf("%-4s %s: %s%s\n", v.ok ? "OK" : "FAIL", PrintableText(v.file).c_str(),
                    PrintableText(v.detail).c_str(),
                    v.rowsPastCount > 0 ? ("; merrowby-admin repair " + dir + " counts them back").c_str() : "");
    return ok ? 0 : 1;
}

}  // namespace

extern const AdminCommand kAdminCheck = {"check", false, run, "merrowby-admin check DIR"};
