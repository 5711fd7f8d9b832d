// Backup and restore of the three tables: targets, prompts, failures injected into the copy,
// and that no copy is ever lost or left half written.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <functional>
#include <map>

#include "TestData.h"
#include "core/backup/Backup.h"
#include "core/data/CardLog.h"
#include "core/data/DataFiles.h"
#include "core/print/Printers.h"
#include "core/calendar/CalendarSettings.h"
#include "core/labels/SheetMemory.h"
#include "core/households/Households.h"
#include "core/addressbook/AddressBookEditor.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Check.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

const QStringList kTables = {"LABELS.dbf", "AddrBook.dbf", "importf.dbf"};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class BackupTest : public ::testing::Test {
protected:
    TestDataDir data{3};
    ScopedLibrary lib{data.path()};
    RecordingPrompts msgs;
    QTemporaryDir other;
    QStringList& status = msgs.statusLines();
    xbase::FaultyFileSystem faulty{xbase::FileSystem::real()};
    RunContext ctx;

    void SetUp() override {
        ctx.lib = LibHandle;
        ctx.prompts = &msgs;
        ctx.removable = [](const QString&) { return false; };
        ctx.pause = [](double) {};
    }
    QString there(const QString& name) const { return other.path() + QLatin1Char('/') + name; }
    QStringList otherFiles() const {
        return QDir(other.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    void useFaults(const xbase::FaultyFileSystem::Plan& p) {
        faulty.setPlan(p);
        ctx.fs = &faulty;
    }
};

}  // namespace

TEST_F(BackupTest, BackupCopiesTheThreeTablesWithStatusTexts) {
    EXPECT_TRUE(BackupTo(ctx, other.path()));
    for (const QString& t : kTables) EXPECT_EQ(readAll(there(t)), data.read(t)) << t.toStdString();
    EXPECT_EQ(otherFiles(), (QStringList{"AddrBook.dbf", "LABELS.dbf", "importf.dbf"}));
    EXPECT_EQ(status, (QStringList{"Backing up LABELS.dbf", "Backing up AddrBook.dbf",
                                   "Backing up importf.dbf", "Backup Complete", ""}));
    EXPECT_TRUE(msgs.texts().isEmpty());
}

TEST_F(BackupTest, TrailingBlanksAndMissingSeparatorGiveTheSameTargets) {
    EXPECT_EQ(NormalizedDirectory(QStringLiteral("  /b/c  ")), QStringLiteral("/b/c/"));
    EXPECT_EQ(NormalizedDirectory(QStringLiteral("/b/c/")), QStringLiteral("/b/c/"));
    EXPECT_TRUE(BackupTo(ctx, QStringLiteral("  ") + other.path() + QStringLiteral("  ")));
    const QStringList first = otherFiles();
    EXPECT_TRUE(BackupTo(ctx, other.path() + QStringLiteral("/")));
    EXPECT_EQ(otherFiles(), first);
    EXPECT_EQ(first.size(), 3);
}

TEST_F(BackupTest, SameDirectoryIsRefusedInAnySpelling) {
    for (const QString& d : {data.path(), data.path() + "/", " " + data.path() + " ",
                             data.path() + "/./"}) {
        msgs.clear();
        EXPECT_FALSE(BackupTo(ctx, d));
        EXPECT_EQ(msgs.texts(), QStringList{"Backup must be to a different drive and/or directory"});
        msgs.clear();
        EXPECT_FALSE(RestoreFrom(ctx, d));
        EXPECT_EQ(msgs.texts(), QStringList{"Restore must be from a different drive and/or directory"});
    }
}

TEST_F(BackupTest, ExistingBackupIsReplaced) {
    for (const QString& t : kTables) writeAll(there(t), "older copy");
    writeAll(there("ADDRBOOK.DBF"), "older copy, other spelling");
    QFile::remove(there("AddrBook.dbf"));
    EXPECT_TRUE(BackupTo(ctx, other.path()));
    EXPECT_EQ(readAll(there("LABELS.dbf")), data.read("LABELS.dbf"));
    EXPECT_EQ(readAll(there("ADDRBOOK.DBF")), data.read("AddrBook.dbf"));
    EXPECT_EQ(otherFiles().size(), 3);
}

TEST_F(BackupTest, FullDiskPromptsWithTheNameAndResumesOnOk) {
    // Write 1 is LABELS.dbf (one chunk); write 2, the first of AddrBook.dbf, finds the disk full.
    xbase::FaultyFileSystem::Plan p;
    p.failWriteAt = 2;
    p.writeError = xbase::ErrorKind::NoSpace;
    useFaults(p);
    EXPECT_TRUE(BackupTo(ctx, other.path()));
    EXPECT_EQ(msgs.texts(), QStringList{"Disk Full. Insert another disk.AddrBook.dbf"});
    EXPECT_EQ(faulty.writes(), 4);  // LABELS once, AddrBook twice, importf once
    for (const QString& t : kTables) EXPECT_EQ(readAll(there(t)), data.read(t));
    EXPECT_EQ(otherFiles().size(), 3);
}

TEST_F(BackupTest, CancelAtFullDiskFailsAndKeepsTheOldBackup) {
    writeAll(there("AddrBook.dbf"), "the previous backup");
    xbase::FaultyFileSystem::Plan p;
    p.failWriteAt = 2;
    p.sticky = true;
    useFaults(p);
    msgs.setAnswer(false);
    EXPECT_FALSE(BackupTo(ctx, other.path()));
    EXPECT_EQ(msgs.texts(), (QStringList{"Disk Full. Insert another disk.AddrBook.dbf",
                                         "Backup Failed . . Check that disk is not write protected"}));
    EXPECT_EQ(readAll(there("AddrBook.dbf")), QByteArray("the previous backup"));
    EXPECT_EQ(readAll(there("LABELS.dbf")), data.read("LABELS.dbf"));  // copied before stays
    EXPECT_EQ(otherFiles(), (QStringList{"AddrBook.dbf", "LABELS.dbf"}));  // no partial file
    EXPECT_EQ(status.last(), QStringLiteral("Backing up AddrBook.dbf"));
}

TEST_F(BackupTest, WriteProtectedDiskPrompts) {
    xbase::FaultyFileSystem::Plan p;
    p.failWriteAt = 1;
    p.sticky = true;
    p.writeError = xbase::ErrorKind::ReadOnly;
    useFaults(p);
    msgs.setAnswer(false);
    EXPECT_FALSE(BackupTo(ctx, other.path()));
    EXPECT_EQ(msgs.texts(), (QStringList{"Disk is Write Protected",
                                         "Backup Failed . . Check that disk is not write protected"}));
}

TEST_F(BackupTest, NoBackupLostWhenACopyFailsAtAnyStep) {
    // Fail the sync, then the rename, of the AddrBook copy: the old copy must stay whole.
    for (int which = 0; which < 2; ++which) {
        writeAll(there("AddrBook.dbf"), "the previous backup");
        xbase::FaultyFileSystem::Plan p;
        // Syncs: LABELS file 1, its directory 2, AddrBook file 3. Renames: LABELS 1, AddrBook 2.
        if (which == 0) p.failSyncAt = 3; else p.failRenameAt = 2;
        useFaults(p);
        msgs.clear();
        msgs.setAnswer(false);
        EXPECT_FALSE(BackupTo(ctx, other.path()));
        ASSERT_EQ(msgs.texts().size(), 2);
        EXPECT_TRUE(msgs.texts()[0].startsWith(QStringLiteral("Unable to copy AddrBook.dbf\r\n")));
        EXPECT_EQ(readAll(there("AddrBook.dbf")), QByteArray("the previous backup"));
        EXPECT_FALSE(otherFiles().join(',').contains(QStringLiteral(".part")));
    }
    // OK on the same failure tries again, and the retry succeeds.
    xbase::FaultyFileSystem::Plan p;
    p.failRenameAt = 2;
    useFaults(p);
    msgs.clear();
    msgs.setAnswer(true);
    EXPECT_TRUE(BackupTo(ctx, other.path()));
    EXPECT_EQ(readAll(there("AddrBook.dbf")), data.read("AddrBook.dbf"));
}

TEST_F(BackupTest, MissingTableDuringBackupAborts) {
    ASSERT_TRUE(data.remove(QStringLiteral("importf.dbf")));
    EXPECT_FALSE(BackupTo(ctx, other.path()));
    ASSERT_EQ(msgs.texts().size(), 1);
    EXPECT_TRUE(msgs.texts()[0].startsWith("Backup Failed . . Unable to find importf.dbf in the data folder "))
        << msgs.texts()[0].toStdString();
    EXPECT_TRUE(msgs.texts()[0].endsWith("\r\nCopied before it: LABELS.dbf, AddrBook.dbf."));
}

TEST_F(BackupTest, RestoreReplacesTablesAndRebuildsIndexes) {
    ASSERT_TRUE(BackupTo(ctx, other.path()));
    const QByteArray saved = data.read("AddrBook.dbf");
    AppendAddressRows(data.dir(), SyntheticRows(4, 9));
    ASSERT_NE(data.read("AddrBook.dbf"), saved);
    status.clear();
    EXPECT_TRUE(RestoreFrom(ctx, other.path()));
    EXPECT_EQ(data.read("AddrBook.dbf"), saved);
    EXPECT_EQ(status, (QStringList{"Restoring LABELS.dbf", "Restoring AddrBook.dbf",
                                   "Restoring importf.dbf", "Now reindexing data files",
                                   "Restore Complete", ""}));
    // The index matches the restored table: a walk in name order visits every row once.
    EXPECT_TRUE(OpenAddrBook().ok());
    int n = 0;
    for (int rc = LastStatus; rc == xbase::kOk; rc = AddrBookTable->skip()) ++n;
    EXPECT_EQ(uint32_t(n), AddrBookTable->recCount());
    EXPECT_EQ(n, 3);
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
}

// The card log goes into the backup and comes back with the book it belongs to; a backup made
// without a log leaves the log in use, brought in step with the restored book.
TEST_F(BackupTest, RestoreBringsTheCardLogBackInStepWithTheBook) {
    xbase::Library& l = *LibHandle;
    const auto events = [&] {
        std::vector<CardEvent> all;
        EXPECT_TRUE(CardsList(l, 0, 0, nullptr, &all).ok());
        QStringList out;
        for (const CardEvent& e : all) out << QString("%1 %2 %3").arg(e.recNo).arg(e.year).arg(CardKindName(e.kind));
        out.sort();
        return out;
    };
    const auto stray = [&] {
        uint64_t n = 0, bad = 0;
        EXPECT_TRUE(CardsCheck(l, &n, &bad).ok());
        return bad;
    };
    for (uint32_t r = 1; r <= 3; ++r) ASSERT_TRUE(CardsAdd(l, r, 2025, 7, CardKind::Sent).ok());
    ASSERT_TRUE(CardsAdd(l, 3, 2025, 7, CardKind::Returned).ok());
    const QStringList logged = events();
    ASSERT_TRUE(BackupTo(ctx, other.path()));
    EXPECT_TRUE(QFile::exists(there("Cards.dbf")));
    EXPECT_TRUE(QFile::exists(there("CardAddr.dbf")));

    // After the backup: a card more, and the first person deleted (the others move down).
    ASSERT_TRUE(CardsAdd(l, 2, 2026, 7, CardKind::Received).ok());
    {
        AddressBookEditor editor;
        ASSERT_TRUE(editor.open().ok());
        editor.CurrentAddrRecNo = 1;
        ASSERT_TRUE(editor.removeCurrent());
        ASSERT_TRUE(editor.close().ok());
    }
    ASSERT_NE(events(), logged);
    EXPECT_TRUE(RestoreFrom(ctx, other.path()));
    EXPECT_EQ(events(), logged);
    EXPECT_EQ(stray(), 0u);
    std::unique_ptr<xbase::DbfFile> book;
    ASSERT_TRUE(xbase::DbfFile::open(l.fs(), l.pathFor("AddrBook.dbf"), true, &book).ok());
    const uint8_t* row = nullptr;
    ASSERT_TRUE(book->recordPtr(3, &row).ok());
    std::vector<CardEvent> third;
    ASSERT_TRUE(CardsOf(l, CardNameKeyOfRow(*book, row), 3, &third).ok());  // through the rebuilt index
    EXPECT_EQ(third.size(), 2u);
    book.reset();

    // A backup without a log: the log in use keeps what it has, each event on its person in the
    // restored book (the third person is record 3 again); the cards of the person deleted since
    // went with them.
    for (const QString& f : {QStringLiteral("Cards.dbf"), QStringLiteral("CardAddr.dbf")}) ASSERT_TRUE(QFile::remove(there(f)));
    ASSERT_TRUE(BackupTo(ctx, other.path()) && QFile::remove(there("Cards.dbf")) && QFile::remove(there("CardAddr.dbf")));
    {
        AddressBookEditor editor;
        ASSERT_TRUE(editor.open().ok());
        editor.CurrentAddrRecNo = 2;
        ASSERT_TRUE(editor.removeCurrent());
        ASSERT_TRUE(editor.close().ok());
    }
    ASSERT_TRUE(CardsAdd(l, 2, 2026, 7, CardKind::Received).ok());  // the third person, now record 2
    EXPECT_TRUE(RestoreFrom(ctx, other.path()));
    EXPECT_EQ(stray(), 0u);
    EXPECT_EQ(events(), (QStringList{"1 2025 sent", "3 2025 returned", "3 2025 sent", "3 2026 received"}));
}

// A backup table that is missing, cut short or not a table at all: the restore stops before it
// replaces anything, every live table stays byte for byte as it was, and the message names the
// file and what is wrong with it. The printers' corrections, the sheet memory and the calendar
// settings are backed up, checked and restored with the rest.
TEST_F(BackupTest, DamagedOrMissingBackupFileRestoresNothing) {
    // The tables of our own go into the backup too, and are checked the same way; a backup
    // without one of them is whole.
    xbase::Library& l = *LibHandle;
    ASSERT_TRUE(StorePrinterCalibration(l, "Office", {1.5, -0.5, 1}).ok());
    ASSERT_TRUE(SheetRemember(l, "US Letter 1 x 2-5/8 in, 30 per sheet", SheetPosition{2, 3, QDate(2026, 12, 1)}).ok());
    ASSERT_TRUE(StoreCalendarSettings(l, CalendarSettings{HolidayCountry::Canada, 3, 30, 5}).ok());
    ASSERT_TRUE(StoreHouseholdGreeting(l, QStringLiteral("1 elm st||york|10|"), QStringLiteral("The Lees")).ok());
    const QStringList ours = {"Printers.dbf", "Sheets.dbf", "Households.dbf", "Calendar.dbf"};
    ASSERT_TRUE(BackupTo(ctx, other.path()));
    AppendAddressRows(data.dir(), SyntheticRows(4, 9));
    ASSERT_TRUE(StorePrinterCalibration(l, "Office", {3, 3, 1}).ok());
    ASSERT_TRUE(SheetRemember(l, "US Letter 1 x 2-5/8 in, 30 per sheet", std::nullopt).ok());
    ASSERT_TRUE(StoreCalendarSettings(l, CalendarSettings{}).ok());
    ASSERT_TRUE(StoreHouseholdGreeting(l, QStringLiteral("1 elm st||york|10|"), QStringLiteral("Grandma")).ok());
    const QStringList live = data.files();
    std::map<QString, QByteArray> before;
    for (const QString& f : live) before[f] = data.read(f);
    std::map<QString, QByteArray> good;
    for (const QString& t : kTables + ours) good[t] = readAll(there(t));
    for (const QString& t : ours) ASSERT_NE(good[t], before[t]) << t.toStdString();

    struct Damage {
        const char* what;
        std::function<void(const QString& path)> apply;
        const char* told;  // part of the message
    };
    const std::vector<Damage> damages = {
        {"missing", [](const QString& path) { QFile::remove(path); }, "Unable to find"},
        {"truncated", [](const QString& path) {
             QByteArray b = readAll(path);
             writeAll(path, b.left(b.size() - 10));  // the last row cut short
         }, "truncated"},
        {"bad header", [](const QString& path) {
             QByteArray b = readAll(path);
             b[8] = char(0x07);  // header length inside the first descriptor
             b[9] = 0;
             writeAll(path, b);
         }, "is damaged"},
        {"garbage", [](const QString& path) { writeAll(path, QByteArray(40, '\x5a')); }, "is damaged"},
        {"another table", [&](const QString& path) { writeAll(path, good.at("importf.dbf")); }, "not a"},
    };
    for (const QString& table : kTables + ours) {
        for (const Damage& d : damages) {
            if (table == QLatin1String("importf.dbf") && QString::fromLatin1(d.what) == "another table") continue;
            if (ours.contains(table) && QString::fromLatin1(d.what) == "missing") continue;
            SCOPED_TRACE(table.toStdString() + ": " + d.what);
            for (const QString& t : kTables + ours) writeAll(there(t), good.at(t));
            d.apply(there(table));
            msgs.clear();
            status.clear();
            EXPECT_FALSE(RestoreFrom(ctx, other.path()));
            // A missing table is named first, then the restore's failure message follows; any
            // other fault is told in that message itself.
            const bool missing = QString::fromLatin1(d.what) == "missing";
            ASSERT_EQ(msgs.texts().size(), missing ? 2u : 1u) << msgs.texts().join('|').toStdString();
            EXPECT_TRUE(msgs.texts()[0].contains(table)) << msgs.texts()[0].toStdString();
            EXPECT_TRUE(msgs.texts()[0].contains(QLatin1String(d.told))) << msgs.texts()[0].toStdString();
            EXPECT_TRUE(msgs.texts().last().startsWith("Restore Failed . . ")) << msgs.texts().last().toStdString();
            EXPECT_EQ(data.files(), live);
            for (const QString& f : live) EXPECT_EQ(data.read(f), before[f]) << f.toStdString();
        }
    }
    for (const QString& t : kTables + ours) writeAll(there(t), good.at(t));
    ASSERT_TRUE(RestoreFrom(ctx, other.path())) << msgs.texts().join('|').toStdString();
    for (const QString& t : kTables + ours) EXPECT_EQ(data.read(t), good.at(t)) << t.toStdString();
    ASSERT_TRUE(QFile::remove(there("Sheets.dbf")));
    EXPECT_TRUE(RestoreFrom(ctx, other.path())) << msgs.texts().join('|').toStdString();
}

TEST_F(BackupTest, RestoreStoppedBeforeTheReindexLeavesTheIndexesToBeRebuilt) {
    ASSERT_TRUE(BackupTo(ctx, other.path()));  // three names
    AppendAddressRows(data.dir(), SyntheticRows(40, 9));
    // The copies go through; putting the rebuilt Address.ntx in place (rename 4, after the three
    // copies) fails, and the program ends there as it would when stopped at that moment.
    xbase::Library stopping(faulty);
    stopping.setDirectory(data.dir());
    xbase::Library* const previous = LibHandle;
    LibHandle = &stopping;
    xbase::FaultyFileSystem::Plan p;
    p.failRenameAt = 4;
    faulty.setPlan(p);
    ctx.lib = &stopping;
    // The failed rebuild is told, not fatal; the tables restored stay.
    EXPECT_FALSE(RestoreFrom(ctx, other.path()));
    ASSERT_FALSE(msgs.texts().isEmpty());
    EXPECT_TRUE(msgs.texts().back().startsWith("Unable to rebuild the indexes")) << msgs.texts().back().toStdString();
    stopping.closeAll();
    LibHandle = previous;
    ASSERT_EQ(data.read("AddrBook.dbf"), readAll(there("AddrBook.dbf")));

    // Both indexes still describe the tables that were replaced: each is marked, and the check
    // says so rather than reporting wrong keys.
    EXPECT_TRUE(data.exists("Address.ntx.pending"));
    EXPECT_TRUE(data.exists("Labels.ntx.pending"));
    std::vector<xbase::CheckVerdict> v;
    EXPECT_FALSE(xbase::checkTable(xbase::FileSystem::real(), data.dir(), "AddrBook", true, &v));
    ASSERT_EQ(v.size(), 3u);
    EXPECT_NE(v[2].detail.find("unfinished"), std::string::npos) << v[2].detail;

    // The next start opens the restored book in name order through a rebuilt index.
    EXPECT_TRUE(OpenAddrBook().ok());
    int n = 0;
    for (int rc = LastStatus; rc == xbase::kOk; rc = AddrBookTable->skip()) ++n;
    EXPECT_EQ(n, 3);
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
    EXPECT_FALSE(data.exists("Address.ntx.pending"));
    v.clear();
    EXPECT_TRUE(xbase::checkTable(xbase::FileSystem::real(), data.dir(), "AddrBook", true, &v));
}

TEST_F(BackupTest, RestoreCopyThatFailsLeavesTheIndexUnmarked) {
    ASSERT_TRUE(BackupTo(ctx, other.path()));
    AppendAddressRows(data.dir(), SyntheticRows(4, 9));
    const QByteArray before = data.read("LABELS.dbf");
    xbase::FaultyFileSystem::Plan p;
    p.failRenameAt = 1;  // the LABELS copy: nothing is replaced
    useFaults(p);
    msgs.setAnswer(false);
    EXPECT_FALSE(RestoreFrom(ctx, other.path()));
    EXPECT_EQ(data.read("LABELS.dbf"), before);
    EXPECT_FALSE(data.files().join(',').contains(QStringLiteral(".pending")));
    std::vector<xbase::CheckVerdict> v;
    EXPECT_TRUE(xbase::checkTable(xbase::FileSystem::real(), data.dir(), "LABELS", true, &v));
}

TEST_F(BackupTest, RemovableDiskAsksForTheDiskHoldingTheFile) {
    ASSERT_TRUE(BackupTo(ctx, other.path()));
    const QByteArray importf = readAll(there("importf.dbf"));
    QFile::remove(there("importf.dbf"));
    ctx.removable = ([](const QString&) { return true; });
    // The second time the user is asked, the disk is found.
    struct FindsTheDisk : RecordingPrompts {
        QString file;
        QByteArray bytes;
        bool asked(Kind kind, const QString& text) override {
            if (entries().size() == 1) writeAll(file, bytes);
            return RecordingPrompts::asked(kind, text);
        }
    } user;
    user.file = there("importf.dbf");
    user.bytes = importf;
    ctx.prompts = &user;
    EXPECT_TRUE(RestoreFrom(ctx, other.path()));
    EXPECT_EQ(user.texts(), QStringList(2, QStringLiteral("Insert disk containing importf.dbf")));
}

TEST_F(BackupTest, CopiesStoppedPartWayDoNotPileUp) {
    // What copies killed part-way left, and names that only look alike.
    writeAll(there(".AddrBook.dbf.part123-1"), "half a table");
    writeAll(there(".AddrBook.dbf.part77-12"), "another half");
    writeAll(there(".AddrBook.dbf.partial"), "not a copy");
    writeAll(there(".LABELS.dbf.part5-1"), "half of LABELS");
    const std::string src = data.filePath("AddrBook.dbf").toStdString();
    ASSERT_TRUE(SafeCopyFile(xbase::FileSystem::real(), src, there("AddrBook.dbf").toStdString()).ok());
    EXPECT_EQ(otherFiles(), (QStringList{".AddrBook.dbf.partial", ".LABELS.dbf.part5-1", "AddrBook.dbf"}));
    // A restore cleans the data directory the same way.
    ASSERT_TRUE(BackupTo(ctx, other.path()));
    writeAll(data.filePath(".AddrBook.dbf.part9-3"), "half a restore");
    ASSERT_TRUE(RestoreFrom(ctx, other.path()));
    EXPECT_FALSE(data.files().join(',').contains(QStringLiteral(".part")));
}

TEST_F(BackupTest, SafeCopyLeavesNothingBehindOnAnyFailure) {
    const std::string src = data.filePath("AddrBook.dbf").toStdString();
    const std::string dst = there("copy.dbf").toStdString();
    writeAll(there("copy.dbf"), "old");
    for (int n = 1;; ++n) {
        xbase::FaultyFileSystem::Plan p;
        p.failWriteAt = n;
        faulty.setPlan(p);
        const xbase::Status s = SafeCopyFile(faulty, src, dst);
        if (s.ok()) break;
        EXPECT_EQ(readAll(there("copy.dbf")), QByteArray("old"));
        EXPECT_EQ(otherFiles(), QStringList{"copy.dbf"});
        ASSERT_LT(n, 100);
    }
    EXPECT_EQ(readAll(there("copy.dbf")), data.read("AddrBook.dbf"));
}

// A backup aimed at a data folder (the two folders swapped on the command line, a slip in the
// folder dialog) would overwrite that book's tables under its indexes: it is refused before
// anything is copied, whether the folder shows its index files or only the lock of the program
// that has it open. Once the lock is gone, an earlier backup there may be written over again.
TEST_F(BackupTest, BackupOntoADataFolderIsRefusedBeforeAnythingIsCopied) {
    TestDataDir live(5);
    QTemporaryDir inUse;
    ASSERT_TRUE(BackupTo(ctx, inUse.path()));  // an earlier backup: the tables alone
    const int held = ::open(QFile::encodeName(inUse.filePath(".merrowby.lock")).constData(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);  // as the program started there holds it
    const auto contents = [](const QString& dir) {
        std::map<QString, QByteArray> m;
        for (const QString& f : QDir(dir).entryList(QDir::Files | QDir::Hidden)) m[f] = readAll(dir + "/" + f);
        return m;
    };
    for (const QString& target : {live.path(), inUse.path()}) {
        SCOPED_TRACE(target.toStdString());
        const auto before = contents(target);
        msgs.clear();
        status.clear();
        EXPECT_FALSE(BackupTo(ctx, target));
        ASSERT_EQ(msgs.texts().size(), 1);
        EXPECT_TRUE(msgs.texts()[0].startsWith(target + "/ is a")) << msgs.texts()[0].toStdString();
        EXPECT_TRUE(msgs.texts()[0].contains("data folder")) << msgs.texts()[0].toStdString();
        EXPECT_TRUE(status.isEmpty());
        EXPECT_EQ(contents(target), before);
    }
    ::close(held);
    msgs.clear();
    EXPECT_TRUE(BackupTo(ctx, inUse.path())) << msgs.texts().join('|').toStdString();
}

// A private book (every file 0600): the backup's copies are as private as their sources, even
// over an earlier backup that everyone could read, and a restore leaves the tables and indexes
// it replaces as private as they were.
TEST_F(BackupTest, CopiesKeepThePermissionsOfAPrivateBook) {
    const auto mode = [](const QString& path) {
        struct stat st {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
        return st.st_mode & 0777;
    };
    for (const QString& f : data.files()) ASSERT_EQ(::chmod(QFile::encodeName(data.filePath(f)).constData(), 0600), 0);
    writeAll(there("AddrBook.dbf"), "an earlier backup");
    ASSERT_EQ(::chmod(QFile::encodeName(there("AddrBook.dbf")).constData(), 0644), 0);
    ASSERT_TRUE(BackupTo(ctx, other.path()));
    for (const QString& f : otherFiles()) EXPECT_EQ(mode(there(f)), 0600u) << f.toStdString();

    ASSERT_EQ(::chmod(QFile::encodeName(there("LABELS.dbf")).constData(), 0644), 0);
    ASSERT_TRUE(RestoreFrom(ctx, other.path()));
    for (const QString& f : data.files()) EXPECT_EQ(mode(data.filePath(f)), 0600u) << f.toStdString();
}

// Each failure says what happened to which file: a backup folder or table that may not be read
// is neither "missing" nor "damaged", a table of the book that may not be read does not make
// the disk "write protected", and a backup stopped by a damaged card log says so (and what was
// copied before it) instead of blaming the disk.
TEST_F(BackupTest, FailuresSayWhatHappenedToWhichFile) {
    ASSERT_TRUE(CardsAdd(*LibHandle, 1, 2025, 7, CardKind::Sent).ok());
    ASSERT_TRUE(BackupTo(ctx, other.path()));
    const QString backupDir = other.path() + "/";
    struct Case {
        const char* what;
        bool backup;
        QString denied;         // made unreadable
        QString told;           // the last message starts so
        const char* forbidden;  // no message says this
    };
    const std::vector<Case> cases = {
        {"restore from an unreadable folder", false, other.path(),
         "Restore Failed . . Unable to read the folder " + backupDir + ": permission denied", "Unable to find"},
        {"restore of an unreadable table", false, there("AddrBook.dbf"),
         "Restore Failed . . Unable to read " + backupDir + "AddrBook.dbf: permission denied", "damaged"},
        {"backup of an unreadable table", true, data.filePath("AddrBook.dbf"),
         "Backup Failed . . Unable to read AddrBook.dbf: permission denied", "Write Protected"},
        {"backup of a damaged card log", true, QString(), "Backup Failed . . Cards.dbf is damaged: ", "write protected"},
    };
    const QByteArray cards = data.read("Cards.dbf");
    msgs.setAnswer(false);  // a question asked (try again?) is answered Cancel
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        xbase::FaultyFileSystem::Plan p;
        p.denied = c.denied.toStdString();
        useFaults(p);
        if (c.denied.isEmpty()) writeAll(data.filePath("Cards.dbf"), QByteArray(40, '\x5a'));
        msgs.clear();
        EXPECT_FALSE(c.backup ? BackupTo(ctx, other.path()) : RestoreFrom(ctx, other.path()));
        writeAll(data.filePath("Cards.dbf"), cards);
        ASSERT_FALSE(msgs.texts().isEmpty());
        EXPECT_TRUE(msgs.texts().last().startsWith(c.told)) << msgs.texts().join('|').toStdString();
        EXPECT_FALSE(msgs.texts().join('|').contains(QLatin1String(c.forbidden), Qt::CaseInsensitive))
            << msgs.texts().join('|').toStdString();
    }
    EXPECT_TRUE(msgs.texts().last().endsWith("\r\nCopied before it: LABELS.dbf, AddrBook.dbf, importf.dbf."))
        << msgs.texts().last().toStdString();
}

// A backup holding two of the three tables: the missing one is named, then the restore's own
// failure message says the restore failed, rather than nothing at all.
TEST_F(BackupTest, RestoreFromAnIncompleteBackupEndsWithTheRestoreFailureMessage) {
    ASSERT_TRUE(BackupTo(ctx, other.path()));
    ASSERT_TRUE(QFile::remove(there("importf.dbf")));
    EXPECT_FALSE(RestoreFrom(ctx, other.path()));
    EXPECT_EQ(msgs.texts(), (QStringList{"Unable to find " + other.path() + "/importf.dbf\r\nFunction Aborted",
                                         "Restore Failed . . Check that your disk is not full."}));
}
