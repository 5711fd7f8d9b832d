// merrowby-admin: data-directory chores from the command line.
//
//   merrowby-admin init DIR                 a fresh data set
//   merrowby-admin check DIR                verify every table and index; exit 1 on a fault
//   merrowby-admin dump DIR TABLE           rows in index order as UTF-8 CSV
//   merrowby-admin reindex DIR [--time]     rebuild both indexes (--time: wall time on stderr)
// and the runs of the program, headless (see usage()).

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "AdminCommands.h"
#include "AdminSession.h"
#include "core/calendar/CalendarSettings.h"
#include "core/data/CardLog.h"
#include "core/data/DataLock.h"
#include "core/print/Printers.h"
#include "core/data/Schema.h"
#include "core/labels/SheetMemory.h"
#include "version.h"
#include "xbase/Check.h"
#include "xbase/Library.h"

namespace {

// Taken while the program is being set up, before main: `reindex --time` reports from here.
const auto gStarted = std::chrono::steady_clock::now();

int usage() {
    std::fprintf(stderr,
                 "merrowby-admin " MERROWBY_VERSION_TEXT "\n"
                 "usage:\n"
                 "  merrowby-admin init DIR\n"
                 "  merrowby-admin check DIR\n"
                 "  merrowby-admin dump DIR TABLE\n"
                 "  merrowby-admin reindex DIR [--time]\n"
                 "%s",
                 AdminExtraUsage());
    return 2;
}

int cmdInit(const std::string& dir) {
    // Like every writer, init waits its turn behind the program and the other commands.
    QDir().mkpath(QString::fromStdString(dir));
    if (AcquireDataLock(dir) == DataLockResult::InUse) {
        std::fprintf(stderr, "merrowby-admin: init: the folder %s is in use by Merrowby or another merrowby-admin "
                             "command; nothing was changed.\n", dir.c_str());
        return 1;
    }
    xbase::Status s = CreateDataSet(dir);
    if (!s.ok()) {
        std::fprintf(stderr, "merrowby-admin: init: %s\n", s.toString().c_str());
        return 1;
    }
    // The user guide goes with the data: the program's Help opens mby.htm in its directory, and
    // the guide shows its pictures from guide/ beside it. A guide that cannot be written is
    // said, and the data set stands.
    const QString base = QString::fromStdString(dir) + QLatin1Char('/');
    const auto place = [](const QString& from, const QString& to) {
        if (QFile::copy(from, to))
            QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        else
            std::fprintf(stderr, "merrowby-admin: init: could not write %s\n", to.toLocal8Bit().constData());
    };
    place(QStringLiteral(":/mby.htm"), base + QStringLiteral("mby.htm"));
    const QDir pictures(QStringLiteral(":/guide"));
    (void)QDir(base).mkpath(QStringLiteral("guide"));  // when it cannot be made, each copy says so
    for (const QString& name : pictures.entryList(QDir::Files))
        place(pictures.filePath(name), base + QStringLiteral("guide/") + name);
    std::printf("created a new data set in %s\n", dir.c_str());
    return 0;
}

int cmdCheck(const std::string& dir) {
    bool ok = true;
    std::vector<xbase::CheckVerdict> verdicts;
    for (const TableSchema& t : DataTables())
        ok = xbase::checkTable(xbase::FileSystem::real(), dir, t.baseName, !t.group.empty(), &verdicts) && ok;
    // The card log, once there is one: its tables, its index, and every event on its person.
    xbase::FileSystem& fs = xbase::FileSystem::real();
    // The printers' corrections, the sheet memory and the calendar settings, once something was
    // stored in them.
    for (const TableSchema* t : {&PrintersSchema(), &SheetsSchema(), &CalendarSchema()})
        if (fs.exists(xbase::resolveName(fs, dir, t->fileName)))
            ok = xbase::checkTable(fs, dir, t->baseName, false, &verdicts) && ok;
    if (fs.exists(xbase::resolveName(fs, dir, CardsSchema().fileName))) {
        bool logOk = xbase::checkTable(fs, dir, CardsSchema().baseName, true, &verdicts);
        if (fs.exists(xbase::resolveName(fs, dir, CardMarksSchema().fileName)))
            logOk = xbase::checkTable(fs, dir, CardMarksSchema().baseName, false, &verdicts) && logOk;
        // A reindex would drop the events of people the book lost count of: repair brings
        // those people back first.
        bool lostRows = false;
        for (const auto& v : verdicts) lostRows = lostRows || v.rowsPastCount > 0;
        const std::string mend = lostRows ? "merrowby-admin repair" : "reindex";
        if (logOk) {
            xbase::Library lib;
            lib.setDirectory(dir);
            lib.setReadOnly(true);
            uint64_t events = 0, stray = 0;
            const xbase::Status s = CardsCheck(lib, &events, &stray);
            xbase::CheckVerdict v;
            v.file = xbase::resolveName(fs, dir, CardsSchema().fileName);
            v.ok = s.ok() && stray == 0;
            v.detail = !s.ok() ? s.toString()
                       : stray  ? std::to_string(stray) + " of " + std::to_string(events) +
                                     " card events name a record that holds another name (" + mend +
                                     " puts them right)"
                                : "ok, " + std::to_string(events) + " card events on their people";
            verdicts.push_back(v);
            logOk = v.ok;
            if (fs.exists(xbase::resolveName(fs, dir, "Cards.pck"))) {
                v.file = xbase::resolveName(fs, dir, "Cards.pck");
                v.ok = logOk = false;
                v.detail = "a delete stopped before the card log followed it (" + mend + " puts the log right)";
                verdicts.push_back(v);
            }
        }
        ok = logOk && ok;
    }
    // A damaged file's bytes (a field name, an index expression, a group file's line) may be in
    // the texts: escaped, they cannot garble the terminal.
    for (const auto& v : verdicts)
        std::printf("%-4s %s: %s%s\n", v.ok ? "OK" : "FAIL", PrintableText(v.file).c_str(),
                    PrintableText(v.detail).c_str(),
                    v.rowsPastCount > 0 ? ("; merrowby-admin repair " + dir + " counts them back").c_str() : "");
    return ok ? 0 : 1;
}

int cmdDump(const std::string& dir, const std::string& table) {
    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setReadOnly(true);
    const TableSchema* schema = nullptr;
    for (const TableSchema& t : DataTables())
        if (strcasecmp(t.baseName.c_str(), table.c_str()) == 0) schema = &t;
    const std::string base = schema ? schema->baseName : table;
    lib.setAutoOpen(schema && !schema->group.empty());
    xbase::Table* t = lib.open(base);
    if (!t) {
        std::fprintf(stderr, "merrowby-admin: dump: %s\n", lib.lastError().toString().c_str());
        return 1;
    }
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
    if (rc < 0) {
        std::fprintf(stderr, "merrowby-admin: dump: %s\n", lib.lastError().toString().c_str());
        return 1;
    }
    t->close();
    return 0;
}

int cmdReindex(const std::string& dir) {
    AdminSession session("reindex", QString::fromStdString(dir), AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    xbase::Library& lib = session.library();
    // An index build (or a copy, or a pack) stopped part-way left its temporary file.
    xbase::removeLeftovers(lib.fs(), dir);
    lib.setAutoOpen(false);
    lib.setSafety(false);
    lib.setAccessMode(xbase::AccessMode::Exclusive);
    // Every table is looked at before any index is written: a damaged table stops the command
    // with nothing changed.
    for (const TableSchema& schema : DataTables()) {
        if (schema.group.empty()) continue;
        const std::string path = xbase::resolveName(lib.fs(), dir, schema.fileName);
        const xbase::Status s = CheckTableFile(lib.fs(), path, schema);
        if (!s.ok())
            return session.fail(QString::fromStdString(s.toString()) + QStringLiteral("; no index was rebuilt"));
    }
    int failures = 0;
    for (const TableSchema& schema : DataTables()) {
        if (schema.group.empty()) continue;
        xbase::Table* t = lib.open(schema.baseName);
        if (!t || t->createIndex(schema.group, {{schema.tag, schema.key}}) < 0) {
            std::fprintf(stderr, "merrowby-admin: reindex: %s\n", lib.lastError().toString().c_str());
            ++failures;
        } else {
            std::printf("rebuilt %s (%u rows)\n", schema.tag.c_str(), t->recCount());
        }
        if (lib.closeAll() < 0) {
            std::fprintf(stderr, "merrowby-admin: reindex: %s\n", lib.lastError().toString().c_str());
            ++failures;
        }
    }
    if (failures == 0 && lib.fs().exists(xbase::resolveName(lib.fs(), dir, CardsSchema().fileName))) {
        int moved = 0, dropped = 0;
        xbase::Status s = CardsReconcile(lib, &moved, &dropped);
        if (s.ok()) s = CardsReindex(lib);
        if (!s.ok()) {
            std::fprintf(stderr, "merrowby-admin: reindex: %s\n", s.toString().c_str());
            ++failures;
        } else {
            std::printf("rebuilt %s (%d card events moved to their people, %d dropped)\n",
                        CardsSchema().tag.c_str(), moved, dropped);
        }
    }
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(resources);
    if (argc < 2) return usage();
    const std::string cmd = argv[1];
    if (cmd == "--version" || cmd == "version") {
        std::printf("merrowby-admin %s\n", MERROWBY_VERSION_TEXT);
        return 0;
    }
    // Runs that lay out text need fonts: a GUI application on the offscreen platform.
    std::unique_ptr<QCoreApplication> app;
    if (AdminNeedsGui(cmd)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    if (cmd == "init" && argc == 3) return cmdInit(argv[2]);
    if (cmd == "check" && argc == 3) return cmdCheck(argv[2]);
    if (cmd == "dump" && argc == 4) return cmdDump(argv[2], argv[3]);
    if (cmd == "reindex" && (argc == 3 || (argc == 4 && std::strcmp(argv[3], "--time") == 0))) {
        const int rc = cmdReindex(argv[2]);
        if (argc == 4) {
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - gStarted;
            std::fprintf(stderr, "merrowby-admin: reindex took %.3f s\n", took.count());
        }
        return rc;
    }
    QStringList args;
    for (int i = 2; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    int rc = RunAdminCommand(QString::fromStdString(cmd), args);
    if (rc == kAdminUnknownCommand) return usage();
    return rc;
}
