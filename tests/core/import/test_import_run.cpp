// The import run over a real data set: what is appended, what is skipped, and that nothing
// existing changes whatever the file holds.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <string>
#include <vector>

#include "FullDiskImport.h"
#include "TestData.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/import/ContactFormats.h"
#include "core/import/ImportRun.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

TImportRecord layout123() {
    TImportRecord l;
    l.fFirst = 1;
    l.fLast = 2;
    l.fStreet = 3;
    return l;
}

class ImportRunTest : public ::testing::Test {
protected:
    TestDataDir data;
    ScopedLibrary lib{data.path()};

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = data.path() + QLatin1Char('/') + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    // Every AddrBook row in record (append) order.
    std::vector<TAddressRecord> rows() {
        std::vector<TAddressRecord> out;
        EXPECT_TRUE(OpenAddrBook().ok());
        AddrBookTable->selectTag(nullptr);
        for (int rc = AddrBookTable->top(); rc == xbase::kOk; rc = AddrBookTable->skip()) {
            LoadAddrRec();
            out.push_back(AddressRec);
        }
        EXPECT_TRUE(CloseTable(AddrBookTable).ok());
        return out;
    }

    // Last names in index order (the index kept up to date by the run).
    QStringList indexOrder() {
        QStringList out;
        EXPECT_TRUE(OpenAddrBook().ok());
        for (int rc = AddrBookTable->top(); rc == xbase::kOk; rc = AddrBookTable->skip()) {
            LoadAddrRec();
            out << AddressRec.Last.trimmed();
        }
        EXPECT_TRUE(CloseTable(AddrBookTable).ok());
        return out;
    }

    ImportOutcome run(const QString& path, const TImportRecord& l = layout123(),
                      QStringList* status = nullptr) {
        ImportOptions o;
        o.intervalMs = 0;
        if (status) o.status = [status](const QString& t) { *status << t; };
        return RunImport(path, l, o);
    }
};

}  // namespace

TEST_F(ImportRunTest, HeaderLineIsAContactAndIndexIsKept) {
    const QString f = write("a.csv", "First,Last,Street\nZoe,Young,1 Elm\nAl,Ames,2 Oak\n");
    const ImportOutcome out = run(f);
    EXPECT_TRUE(out.fileFound);
    EXPECT_TRUE(out.status.ok());
    EXPECT_EQ(out.namesAdded, 3);
    const auto r = rows();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].First.trimmed(), QStringLiteral("First"));
    EXPECT_EQ(r[0].Last.trimmed(), QStringLiteral("Last"));
    EXPECT_EQ(r[1].Street.trimmed(), QStringLiteral("1 Elm"));
    EXPECT_EQ(indexOrder(), (QStringList{"Ames", "Last", "Young"}));
    EXPECT_EQ(NamesAddedText(out.namesAdded), QStringLiteral("3 Names Added  "));
}

TEST_F(ImportRunTest, SameFileTwiceAddsEveryContactTwice) {
    const QString f = write("a.csv", "Ann,Lee\nBob,Ray\n");
    EXPECT_EQ(run(f).namesAdded, 2);
    EXPECT_EQ(run(f).namesAdded, 2);
    EXPECT_EQ(indexOrder(), (QStringList{"Lee", "Lee", "Ray", "Ray"}));
}

TEST_F(ImportRunTest, LastNameRuleAndLastPositionZero) {
    const QString f = write("a.csv", "A,Li\nB,X\nC,   \nD, Q \nE,\nF\n,Ng\n");
    QStringList status;
    EXPECT_EQ(run(f, layout123(), &status).namesAdded, 2);
    const auto r = rows();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].Last.trimmed(), QStringLiteral("Li"));
    EXPECT_EQ(r[1].First.trimmed(), QString());
    EXPECT_EQ(status.last(), QStringLiteral("Importing:  Ng"));

    TImportRecord none = layout123();
    none.fLast = 0;
    EXPECT_EQ(run(f, none).namesAdded, 0);
    none.fLast = -1;
    EXPECT_EQ(run(f, none).namesAdded, 0);
    EXPECT_EQ(rows().size(), 2u);
}

TEST_F(ImportRunTest, BlanksKeptFlagsAndDatesClearFieldsCut) {
    // Whatever the record held before must not leak into imported rows.
    AddressRec.Christmas = AddressRec.Birthday = true;
    AddressRec.Birthdate = QDate(2001, 2, 3);
    AddressRec.City = QStringLiteral("Stale");
    const QByteArray longStreet(200, 's');
    const QString f = write("a.csv", " Ann,Lee,\"" + longStreet + "\"\n");
    TImportRecord l = layout123();
    l.fStreet2 = 1;  // the same field twice
    EXPECT_EQ(run(f, l).namesAdded, 1);
    const auto r = rows();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(r[0].First.startsWith(QStringLiteral(" Ann")));
    EXPECT_TRUE(r[0].Street2.startsWith(QStringLiteral(" Ann")));
    EXPECT_EQ(r[0].City.trimmed(), QString());
    EXPECT_FALSE(r[0].Christmas || r[0].Birthday || r[0].Valentine || r[0].Other2);
    EXPECT_EQ(r[0].Birthdate, ZeroDate);
    EXPECT_EQ(r[0].Other2Date, ZeroDate);
    EXPECT_GT(r[0].Street.size(), 0);
    EXPECT_LE(r[0].Street.size(), 59);
    EXPECT_TRUE(r[0].Street.startsWith(QStringLiteral("sss")));
}

TEST_F(ImportRunTest, CrLfCrAndLfFilesImportAlike) {
    const QByteArray body[] = {"Ann,Lee\nBob,Ray\n\nCy,Orr", "Ann,Lee\rBob,Ray\r\rCy,Orr\r",
                               "Ann,Lee\r\nBob,Ray\r\n\r\nCy,Orr\r\n\x1a" "Dee,Ignored\r\n"};
    for (const QByteArray& b : body) {
        const QString f = write("e.csv", b);
        EXPECT_EQ(run(f).namesAdded, 3) << b.toStdString();
    }
    EXPECT_EQ(rows().size(), 9u);
}

TEST_F(ImportRunTest, MissingFileDoesNothing) {
    const ImportOutcome out = run(data.path() + QStringLiteral("/nope.csv"));
    EXPECT_FALSE(out.fileFound);
    EXPECT_FALSE(out.bookOpened);
    EXPECT_EQ(run(QString()).fileFound, false);
    EXPECT_EQ(run(data.path()).fileFound, false);  // a directory is no import file
    EXPECT_TRUE(rows().empty());
}

TEST_F(ImportRunTest, Utf8AndWindows1252FilesGiveTheSameNames) {
    const QString u = write("u.csv", "J\xC3\xBCrgen,M\xC3\xBCller\n");
    const QString b = write("b.csv", "\xEF\xBB\xBFJ\xC3\xBCrgen,M\xC3\xBCller\n");
    const QString w = write("w.csv", "J\xFCrgen,M\xFCller\n");
    for (const QString& f : {u, b, w}) EXPECT_EQ(run(f).namesAdded, 1) << f.toStdString();
    for (const TAddressRecord& r : rows()) {
        EXPECT_EQ(r.First.trimmed(), QString::fromUtf8("J\xC3\xBCrgen"));
        EXPECT_EQ(r.Last.trimmed(), QString::fromUtf8("M\xC3\xBCller"));
    }
}

TEST_F(ImportRunTest, BadInputImportsEveryGoodLineAndChangesNothingExisting) {
    AppendAddressRows(data.dir(), SyntheticRows(5));
    const auto before = rows();

    QByteArray bad = "Ann,Lee\n";
    bad += QByteArray(10 * 1024 * 1024, 'z') + ",Huge\n";  // a 10 MB field, then a good name
    bad += QByteArray(50000, ',') + "\n";
    bad += QByteArray(50001, '"') + "\n";
    bad += "Control\x01,By\x02tes\n";
    QByteArray binary;  // control characters and high bytes, but no NUL (that is no text file)
    for (int i = 0; i < 4096; ++i) binary += char((i * 37 + 11) & 0xFF);
    bad += binary.replace('\x1a', 'x').replace('\0', 'y') + "\n";
    bad += "Bob,Ray\n";
    const QString f = write("bad.csv", bad);

    const ImportOutcome out = run(f);
    EXPECT_TRUE(out.status.ok());
    const auto after = rows();
    ASSERT_GE(after.size(), before.size() + 4);
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].Last, before[i].Last);
        EXPECT_EQ(after[i].Street, before[i].Street);
        EXPECT_EQ(after[i].Christmas, before[i].Christmas);
    }
    QStringList lasts;
    for (size_t i = before.size(); i < after.size(); ++i) lasts << after[i].Last.trimmed();
    EXPECT_TRUE(lasts.contains(QStringLiteral("Lee")));
    EXPECT_TRUE(lasts.contains(QStringLiteral("Huge")));
    EXPECT_TRUE(lasts.contains(QString::fromLatin1("By\x02tes")));
    EXPECT_TRUE(lasts.contains(QStringLiteral("Ray")));
    EXPECT_EQ(lasts.size(), out.namesAdded);
}

TEST_F(ImportRunTest, StatusIsThrottled) {
    QByteArray many;
    for (int i = 0; i < 3000; ++i) many += "F" + QByteArray::number(i) + ",Name" + QByteArray::number(i) + "\n";
    const QString f = write("m.csv", many);
    QStringList status;
    ImportOptions o;
    o.intervalMs = 60 * 1000;
    o.status = [&](const QString& t) { status << t; };
    EXPECT_EQ(RunImport(f, layout123(), o).namesAdded, 3000);
    EXPECT_EQ(status, (QStringList{"Importing: F0 Name0"}));
}

// A disk that fills part-way through an import, for each run of the core: the stored-layout
// import (a batch per name, and one batch for the whole file) and the detected import.
TEST_F(ImportRunTest, FullDiskMidImportReportsWhatTheBookHoldsAndLeavesItWhole) {
    for (const int batchMs : {0, 60 * 1000}) {
        SCOPED_TRACE("batch ms " + std::to_string(batchMs));
        ExpectFullDiskImportKeepsWhatItTells(true, [&](const QString& file) {
            ImportOptions o;
            o.batchMs = batchMs;
            const ImportOutcome out = RunImport(file, layout123(), o);
            return ImportTold{out.namesAdded, out.status.reason};
        });
    }
    SCOPED_TRACE("detected");
    ExpectFullDiskImportKeepsWhatItTells(false, [](const QString& file) {
        const DetectedImportOutcome out = RunDetectedImport(file);
        return ImportTold{out.added, out.status.reason};
    });
}

TEST_F(ImportRunTest, BinaryAndUtf16FilesWereTakenAsText) {
    const auto utf16 = [](QStringEncoder::Encoding e, const char* text) {
        QStringEncoder enc(e, QStringEncoder::Flag::WriteBom);
        return QByteArray(enc(QString::fromUtf8(text)));
    };
    QByteArray binary;
    for (int i = 0; i < 4096; ++i) binary += char((i * 37 + 11) & 0xFF);
    const struct {
        const char* name;
        QByteArray bytes;
        QStringList added;  // "First Last" of the rows added; none and refused when empty
    } cases[] = {
        {"binary", binary, {}},
        {"one NUL among good lines", QByteArray("Ann,Lee\nNu\0l,Bytes\nBob,Ray\n", 27), {}},
        {"UTF-16 LE", utf16(QStringEncoder::Utf16LE, "First,Last\r\nJ\xC3\xBCrgen,M\xC3\xBCller\r\n"),
         {"First Last", "J\xC3\xBCrgen M\xC3\xBCller"}},
        {"UTF-16 BE, end mark", utf16(QStringEncoder::Utf16BE, "Zo\xC3\xAB,Lee\n\x1a" "Not,Read\n"),
         {"Zo\xC3\xAB Lee"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = rows().size();
        const ImportOutcome out = run(write("c.txt", c.bytes));
        QStringList added;
        const auto after = rows();
        for (size_t i = before; i < after.size(); ++i)
            added << after[i].First.trimmed() + QLatin1Char(' ') + after[i].Last.trimmed();
        EXPECT_EQ(added, c.added);
        if (c.added.isEmpty()) {
            EXPECT_FALSE(out.bookOpened);
            EXPECT_TRUE(out.status.reason.contains(QStringLiteral("not a text file"))) << out.status.reason.toStdString();
        }
    }
}
