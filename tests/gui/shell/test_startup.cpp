// The start-up sequence and the shutdown of the main window, run against real data directories.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QToolButton>
#include <QLabel>
#include <QTextDocument>
#include <QTimer>
#include <gtest/gtest.h>
#include <ctime>
#include <iostream>

#include "MessageLog.h"
#include "OtherCopy.h"
#include "TestData.h"
#include "gui/shell/AboutForm.h"
#include "gui/common/Forms.h"
#include "gui/shell/Quenlow.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/occasions/OccasionsPage.h"
#include "gui/reminders/REReport.h"
#include "version.h"
#include "xbase/Check.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

const QString kNoDataFiles = QStringLiteral(
    "Database files not found in startup directory\r\n"
    "Program must be started from the directory containing the data files.");

// Leaves no handle, splash or pause setting behind, whichever way a start-up ended.
class StartUpTest : public ::testing::Test {
protected:
    MessageLog msgs;

    void SetUp() override {
        PauseScale = 0;
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_EQ(LibHandle, nullptr);
    }
    void TearDown() override {
        if (LibHandle) {
            LibHandle->closeAll();
            delete LibHandle;
            LibHandle = nullptr;
        }
        AddrBookTable = LabelsTable = SettingsTable = ImportTable = nullptr;
        SplashMode = false;
        PauseScale = 1;
    }

    // Files of a directory with their sizes and modification times.
    static QStringList snapshot(const TestDataDir& d) {
        QStringList l;
        for (const QString& f : d.files()) {
            const QFileInfo fi(d.filePath(f));
            l << f + QLatin1Char(' ') + QString::number(fi.size()) + QLatin1Char(' ') +
                     QString::number(fi.lastModified().toMSecsSinceEpoch());
        }
        return l;
    }
};

TEST_F(StartUpTest, WithoutDataFilesItSaysSoAndEndsTouchingNothing) {
    TestDataDir empty(TestDataDir::Empty);
    ScopedCurrentDir cwd(empty.path());
    TAboutForm splash;
    AboutForm = &splash;
    // What the splash shows while the message is up.
    struct WhileTold : MessageLog {
        explicit WhileTold(TAboutForm& s) : splash(s) {}
        bool asked(Kind kind, const QString& text) override {
            splashUp = splash.isVisible() && SplashMode;
            buttonShown = splash.LMDButton1->isVisible();
            return MessageLog::asked(kind, text);
        }
        TAboutForm& splash;
        bool splashUp = false, buttonShown = true;
    };
    TQuenlow w;
    {
        WhileTold told(splash);
        EXPECT_THROW(w.FormShow(), FatalExit) << "start-up went on without data files";
        EXPECT_EQ(told.texts(), QStringList{kNoDataFiles});
        EXPECT_TRUE(told.splashUp);
        EXPECT_FALSE(told.buttonShown);
    }
    AboutForm = nullptr;
    EXPECT_EQ(LibHandle, nullptr);
    EXPECT_TRUE(empty.files().isEmpty());
    EXPECT_FALSE(w.startedUp());
}

// A second copy of the program on a data directory in use says so, and touches no table.
TEST_F(StartUpTest, OnADirectoryInUseItSaysSoAndTouchesNoTable) {
    ReleaseDataLock();
    TestDataDir data;
    const QByteArray book = data.read(QStringLiteral("AddrBook.dbf"));
    OtherCopy other(data.dir());
    ASSERT_TRUE(other.held());
    {
        ScopedCurrentDir cwd(data.path());
        TQuenlow w;
        EXPECT_THROW(w.FormShow(), FatalExit);
        EXPECT_FALSE(w.startedUp());
    }
    EXPECT_EQ(msgs.texts(),
              QStringList{QStringLiteral("The data files are in use by another copy of Merrowby.")});
    EXPECT_EQ(LibHandle, nullptr);
    EXPECT_EQ(data.read(QStringLiteral("AddrBook.dbf")), book);
}

TEST_F(StartUpTest, OneTableMissingIsEnoughAndTheOtherStaysUntouched) {
    TestDataDir data;
    ASSERT_TRUE(data.remove(QStringLiteral("AddrBook.dbf")));
    const QStringList before = snapshot(data);
    const QByteArray labels = data.read(QStringLiteral("LABELS.dbf"));
    ScopedCurrentDir cwd(data.path());
    TQuenlow w;
    EXPECT_THROW(w.FormShow(), FatalExit);
    EXPECT_EQ(msgs.texts(), QStringList{kNoDataFiles});
    EXPECT_EQ(snapshot(data), before);
    EXPECT_EQ(data.read(QStringLiteral("LABELS.dbf")), labels);
}

TEST_F(StartUpTest, MissingSettingsTableEndsWithTheFatalMessage) {
    TestDataDir data;
    ASSERT_TRUE(data.remove(QStringLiteral("Mrby1.dbf")));
    ScopedCurrentDir cwd(data.path());
    TQuenlow w;
    EXPECT_THROW(w.FormShow(), FatalExit);
    EXPECT_EQ(msgs.texts(), QStringList{QStringLiteral(
                                "Unable to open file Mrby1.DBF\r\nProgram will now terminate.")});
    EXPECT_FALSE(w.startedUp());
}

TEST_F(StartUpTest, DeletedIndexFilesAreRebuiltSilently) {
    TestDataDir data(25);
    for (const char* f : {"Address.ntx", "AddrBook.cgp", "Labels.ntx", "LABELS.cgp"})
        ASSERT_TRUE(data.remove(QString::fromLatin1(f)));
    ScopedCurrentDir cwd(data.path());
    TQuenlow w;
    ASSERT_NO_THROW(w.FormShow());
    EXPECT_TRUE(w.startedUp());
    EXPECT_TRUE(msgs.texts().isEmpty()) << msgs.texts().join('|').toStdString();
    for (const char* f : {"Address.ntx", "AddrBook.cgp", "Labels.ntx", "LABELS.cgp"})
        EXPECT_TRUE(data.exists(QString::fromLatin1(f))) << f;
    // The rebuilt index is usable and back in the normal open state.
    EXPECT_TRUE(LibHandle->autoOpen());
    EXPECT_TRUE(LibHandle->safety());
    w.FormClose();
    ScopedLibrary lib(data.path());
    ASSERT_TRUE(OpenAddrBook());
    int n = 0;
    for (; LastStatus == 0; LastStatus = AddrBookTable->skip()) ++n;
    EXPECT_EQ(n, 25);
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
}

TEST_F(StartUpTest, OnlyTheMissingAddressGroupIsRebuilt) {
    TestDataDir data(5);
    const QByteArray labelsNtx = data.read(QStringLiteral("Labels.ntx"));
    const QByteArray labelsCgp = data.read(QStringLiteral("LABELS.cgp"));
    ASSERT_TRUE(data.remove(QStringLiteral("AddrBook.cgp")));
    ScopedCurrentDir cwd(data.path());
    TQuenlow w;
    ASSERT_NO_THROW(w.FormShow());
    EXPECT_TRUE(data.exists(QStringLiteral("AddrBook.cgp")));
    EXPECT_EQ(data.read(QStringLiteral("Labels.ntx")), labelsNtx);
    EXPECT_EQ(data.read(QStringLiteral("LABELS.cgp")), labelsCgp);
    EXPECT_TRUE(msgs.texts().isEmpty());
}

// A program closed on a full disk leaves its index marked as left unfinished, perhaps cut short
// anywhere: the next start rebuilds it as it rebuilds a missing one, silently, instead of ending.
TEST_F(StartUpTest, AnIndexLeftUnfinishedIsRebuiltHoweverShortItWasCut) {
    for (const qint64 cut : {qint64(0), qint64(700), qint64(1500)}) {
        SCOPED_TRACE(cut);
        TestDataDir data(25);
        QFile marker(data.filePath(QStringLiteral("Address.ntx")) + QStringLiteral(".pending"));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        marker.close();
        ASSERT_TRUE(QFile::resize(data.filePath(QStringLiteral("Address.ntx")), cut));
        ScopedCurrentDir cwd(data.path());
        TQuenlow w;
        ASSERT_NO_THROW(w.FormShow());
        EXPECT_TRUE(msgs.texts().isEmpty()) << msgs.texts().join('|').toStdString();
        w.FormClose();
        EXPECT_FALSE(marker.exists());
        std::vector<xbase::CheckVerdict> v;
        EXPECT_TRUE(xbase::checkTable(xbase::FileSystem::real(), data.dir(), "AddrBook", true, &v))
            << v.back().file << ": " << v.back().detail;
    }
}

// A group file that cannot be used (garbage, a line naming a path out of the folder, an index
// file that is not there) is as good as missing: start-up writes it anew, silently, instead of
// ending the program with "Unable to open file AddrBook.DBF".
TEST_F(StartUpTest, UnusableGroupFileIsRebuiltNotFatal) {
    const std::pair<const char*, QByteArray> groups[] = {
        {"garbage", QByteArray("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\xff\xfe", 18)},
        {"a path", QByteArray("../../x.ntx\n")},
        {"a missing index", QByteArray("Gone.ntx\n")},
    };
    for (const auto& [what, bytes] : groups) {
        SCOPED_TRACE(what);
        TestDataDir data(25);
        QFile g(data.filePath(QStringLiteral("AddrBook.cgp")));
        ASSERT_TRUE(g.open(QIODevice::WriteOnly | QIODevice::Truncate));
        g.write(bytes);
        g.close();
        ScopedCurrentDir cwd(data.path());
        TQuenlow w;
        ASSERT_NO_THROW(w.FormShow()) << msgs.texts().join('|').toStdString();
        EXPECT_TRUE(msgs.texts().isEmpty()) << msgs.texts().join('|').toStdString();
        w.FormClose();
        std::vector<xbase::CheckVerdict> v;
        EXPECT_TRUE(xbase::checkTable(xbase::FileSystem::real(), data.dir(), "AddrBook", true, &v));
        EXPECT_EQ(v.front().detail, "ok, 25 rows");
    }
}

// What writers stopped part-way left in the data folder (a restore's copy, an index build, a
// pack, a group file's rewrite) goes at the next start; names that only look alike stay.
TEST_F(StartUpTest, LeftoversOfStoppedWritersGoAtTheNextStart) {
    TestDataDir data(3);
    const QStringList leftovers = {".AddrBook.dbf.part4242-7", "Address.ntx.building", "AddrBook.dbf.tmp-pack",
                                   "LABELS.cgp.tmp-write"};
    const QStringList lookAlikes = {".AddrBook.dbf.partial", ".AddrBook.dbf.part12", "notes.txt.building"};
    for (const QString& f : leftovers + lookAlikes) {
        QFile file(data.filePath(f));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("left behind");
    }
    ScopedCurrentDir cwd(data.path());
    TQuenlow w;
    ASSERT_NO_THROW(w.FormShow());
    for (const QString& f : leftovers) EXPECT_FALSE(data.exists(f)) << f.toStdString();
    for (const QString& f : lookAlikes) EXPECT_TRUE(data.exists(f)) << f.toStdString();
}

TEST_F(StartUpTest, CaptionFontsAndPagesAfterStartUp) {
    TestDataDir data;
    ScopedCurrentDir cwd(data.path());
    TAboutForm splash;
    AboutForm = &splash;
    TQuenlow w;
    w.occasionsPage()->SetOccasionsMode(2);  // start-up puts the page back in labels mode
    ASSERT_NO_THROW(w.FormShow());
    AboutForm = nullptr;
    EXPECT_TRUE(w.occasionsPage()->SBLabels->isChecked());

    EXPECT_EQ(VersionText, QStringLiteral(MERROWBY_VERSION_TEXT));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(VersionText).hasMatch());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Merrowby ") + VersionText + QStringLiteral(" by Brantix"));

    // The splash is gone and the About box is back in dialog mode.
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(SplashMode);

    // Blank stored font: the design font, whose name stays, rendered by an installed face.
    EXPECT_EQ(LabelFont.family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(LabelFont.pointSize(), 8);
    EXPECT_EQ(w.font().family(), QStringLiteral("MS Sans Serif"));
    const QString face = InstallFontSubstitutes();
    EXPECT_FALSE(face.isEmpty());
    EXPECT_NE(QFontInfo(LabelFont).family(), QString());

    EXPECT_EQ(w.pageControl()->currentIndex(), 0);
    EXPECT_FALSE(w.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
    EXPECT_NE(LibHandle, nullptr);
    EXPECT_EQ(SettingsTable, nullptr);  // the settings table is closed again
    EXPECT_FALSE(w.ComingUpLine->isVisible()) << "nothing is coming up in an empty book";
}

// Once start-up has ended the status bar says what is coming up; its link opens the list in the
// report viewer.
TEST_F(StartUpTest, ComingUpLineAfterStartUpOpensTheList) {
    TestDataDir data;
    const QDate soon = QDate::currentDate().addDays(3), later = QDate::currentDate().addDays(5);
    std::vector<std::string> ann = NamedRow("Ann", "Lee"), bo = NamedRow("Bo", "Kay");
    ann[12] = QDate(1980, soon.month(), soon.day()).toString("yyyyMMdd").toStdString();  // 1980: a leap year
    ann[16] = "T";
    bo[13] = QDate(1980, later.month(), later.day()).toString("yyyyMMdd").toStdString();
    bo[17] = "T";
    AppendAddressRows(data.dir(), {ann, bo});
    ScopedCurrentDir cwd(data.path());
    TQuenlow w;
    w.show();
    ASSERT_NO_THROW(w.FormShow());
    EXPECT_TRUE(w.ComingUpLine->isVisible());
    EXPECT_TRUE(w.ComingUpLine->text().contains("Coming up: 1 birthday and 1 anniversary in the next 14 days"))
        << w.ComingUpLine->text().toStdString();

    if (!REReport) REReport = new TREReport();
    QString shown;
    QTimer::singleShot(0, qApp, [&shown] {
        shown = REReport->document()->toPlainText();
        if (QWidget* m = QApplication::activeModalWidget()) m->close();
    });
    emit w.ComingUpLine->linkActivated(QStringLiteral("coming-up"));
    const QString birthday = QLocale().toString(soon, QStringLiteral("ddd d MMM")) +
                             QStringLiteral("  Birthday  Ann Lee (%1)").arg(soon.year() - 1980);
    EXPECT_TRUE(shown.startsWith("\tComing up in the next 14 days\n")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("\t" + birthday)) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Anniversary  Bo Kay")) << shown.toStdString();
}

TEST_F(StartUpTest, StoredFontPreferenceSetsTheLabelFontAndTheWindowFace) {
    TestDataDir data;
    {
        ScopedLibrary lib(data.path());
        ASSERT_TRUE(OpenSettings());
        LoadSettings();
        SettingsRec.FontName = QStringLiteral("  DejaVu Serif");
        SettingsRec.FontSize = 13;
        StoreSettings();
        EXPECT_TRUE(CloseTable(SettingsTable).ok());
    }
    ScopedCurrentDir cwd(data.path());
    TQuenlow w;
    ASSERT_NO_THROW(w.FormShow());
    EXPECT_EQ(LabelFont.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(LabelFont.pointSize(), 13);
    EXPECT_EQ(w.font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(w.font().pointSize(), 8);
    // Every control of the window shows that face: tab captions, list header, boxes.
    for (const QWidget* child : w.findChildren<QWidget*>())
        if (!child->isWindow()) {
            EXPECT_EQ(child->font().family(), QStringLiteral("DejaVu Serif"))
                << child->metaObject()->className() << " in "
                << child->parentWidget()->metaObject()->className();
        }
    // The row itself keeps its padding.
    EXPECT_EQ(SettingsRec.FontName, QStringLiteral("  DejaVu Serif").leftJustified(30));

    // A size of 0 or less keeps the design size.
    SettingsRec.FontSize = -2;
    ApplyLabelFontPreference();
    EXPECT_EQ(LabelFont.pointSize(), 8);
}

TEST_F(StartUpTest, ClosingTheWindowClosesEveryTableAndReleasesTheHandle) {
    TestDataDir data;
    ScopedCurrentDir cwd(data.path());
    {
        TQuenlow w;
        w.show();  // runs the start-up
        ASSERT_TRUE(w.startedUp());
        ASSERT_NE(LibHandle, nullptr);
        // An action left a table open with a change not yet written.
        ASSERT_TRUE(OpenLabels());
        LoadLabelRec();
        LabelRec.Name = QStringLiteral("0 changed at exit");
        StoreLabelRec();
        w.close();
        EXPECT_EQ(LibHandle, nullptr);
        EXPECT_EQ(LabelsTable, nullptr);
        EXPECT_FALSE(w.isVisible());
        w.FormClose();  // a second time is harmless
    }
    ScopedLibrary lib(data.path());
    ASSERT_TRUE(OpenLabels());
    LoadLabelRec();
    EXPECT_EQ(LabelRec.Name.trimmed(), QStringLiteral("0 changed at exit"));
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
    EXPECT_TRUE(msgs.texts().isEmpty());
}

TEST_F(StartUpTest, ExitMenuClosesTheWindow) {
    TestDataDir data;
    ScopedCurrentDir cwd(data.path());
    TQuenlow w;
    w.show();
    ASSERT_TRUE(w.isVisible());
    w.Exit1->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(LibHandle, nullptr);
}

// The start-up pause spun on the clock, keeping a processor busy for the whole of it.
TEST_F(StartUpTest, PauseWaitsTheGivenSpanAsleep) {
    PauseScale = 1;
    const auto cpuMs = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
    };
    QElapsedTimer t;
    t.start();
    const double cpu = cpuMs();
    Pause(0.000002);  // 172.8 ms
    const qint64 waited = t.elapsed();
    EXPECT_GE(waited, 172);  // never shorter; how much longer is the machine's business
    // Spinning takes whatever share of a processor the machine gives it; asleep, next to none.
    EXPECT_LT((cpuMs() - cpu) * 10, double(waited)) << "processor time while pausing";
}


}  // namespace
