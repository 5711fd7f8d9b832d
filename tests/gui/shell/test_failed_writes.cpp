// A write that fails, tried at every write of an operation in turn (the first, the second, ...
// until the operation meets no failure): every failure is told to the user, none passes for
// success. The operations are the ones where a pending row reaches the disk: closing a table,
// storing the settings, the import dialog's layout and run, and shutdown.
#include <QApplication>
#include <QLineEdit>
#include <functional>
#include <gtest/gtest.h>

#include "gui/common/Installed.h"
#include "MessageLog.h"
#include "gui/common/Fatal.h"
#include "TestData.h"
#include "gui/shell/Quenlow.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/import/Import.h"
#include "gui/setup/LabelFontPref.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

// LibHandle on a file system whose writes can be made to fail. The program's shutdown deletes
// LibHandle itself; otherwise it goes with this object.
struct FaultyLibrary {
    xbase::FaultyFileSystem faulty{xbase::FileSystem::real()};
    xbase::Library* previous = LibHandle;
    xbase::Library* lib = nullptr;

    explicit FaultyLibrary(const QString& dir) {
        lib = new xbase::Library(faulty);
        lib->setDirectory(dir.toStdString());
        LibHandle = lib;
    }
    ~FaultyLibrary() {
        if (LibHandle == lib) {
            (void)CloseAllTables();
            delete lib;
        }
        LibHandle = previous;
    }
    int failAt = 0;  // the write that is to fail, counted from arm()
    // From here on, write failAt fails.
    void arm() {
        xbase::FaultyFileSystem::Plan p;
        p.failWriteAt = failAt;
        faulty.setPlan(p);
    }
};

bool told(const MessageLog& msgs) {
    for (const QString& t : msgs.texts())
        if (t.startsWith(QLatin1String("Unable to"))) return true;
    return false;
}

// Runs `operation` with write n failing, for n = 1, 2, ... until a run meets no failure. A run
// that met one must have told the user; the run without one must have told nothing.
void atEveryWrite(const std::function<void(FaultyLibrary&, MessageLog&)>& operation) {
    for (int n = 1; n <= 100; ++n) {
        SCOPED_TRACE("write " + std::to_string(n) + " fails");
        TestDataDir data(3);
        ScopedCurrentDir cwd(data.path());
        MessageLog msgs;
        auto* lib = new FaultyLibrary(data.path());
        lib->failAt = n;
        try {
            operation(*lib, msgs);
        } catch (const FatalExit&) {
            // The program's ending after a fatal message: told too.
        }
        const bool failed = lib->faulty.failures() > 0;
        delete lib;
        if (!failed) {
            EXPECT_FALSE(told(msgs)) << msgs.texts().join('|').toStdString();
            EXPECT_GT(n, 1) << "the operation wrote nothing";
            return;
        }
        EXPECT_TRUE(told(msgs)) << "a failed write passed in silence: " << msgs.texts().join('|').toStdString();
    }
    ADD_FAILURE() << "the operation never ran without a failure";
}

TEST(FailedWrites, ClosingATableWithAPendingRow) {
    atEveryWrite([](FaultyLibrary& lib, MessageLog&) {
        ASSERT_TRUE(OpenAddrBook());
        LoadAddrRec();
        AddressRec.City = QStringLiteral("Changed");
        StoreAddrRec();
        lib.arm();
        WriteSucceeded(CloseTable(AddrBookTable));
    });
}

TEST(FailedWrites, StoringTheLabelFont) {
    struct Chosen : FontQuestion {
        QFont askFont(const QFont&, QWidget*) override { return QFont(QStringLiteral("DejaVu Sans"), 14); }
    } chosen;
    Installed<FontQuestion>::install(&chosen);
    atEveryWrite([](FaultyLibrary& lib, MessageLog&) {
        lib.arm();
        Preferences1Click(nullptr);
    });
    Installed<FontQuestion>::install(nullptr);
}

TEST(FailedWrites, TheImportDialogsLayoutAndRun) {
    atEveryWrite([](FaultyLibrary& lib, MessageLog& msgs) {
        {
            QFile f(QStringLiteral("contacts.txt"));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("Ada,Lovelace,1 Analytical Way\r\nCharles,Babbage,2 Engine Row\r\n");
        }
        ASSERT_TRUE(OpenImportLayout());
        TImport dlg;
        dlg.FormShow();
        dlg.positionEdit(1)->setText(QStringLiteral("2"));  // a changed layout to store
        dlg.Edit13->setText(QStringLiteral("contacts.txt"));
        lib.arm();
        dlg.BtnImportClick();
        WriteSucceeded(CloseTable(ImportTable));
        // A run that was told to have added names must have added them.
        for (const QString& t : msgs.texts())
            if (t.contains(QLatin1String("Names Added")) && !told(msgs)) {
                EXPECT_TRUE(t.startsWith(QLatin1String("2 "))) << t.toStdString();
            }
    });
}

TEST(FailedWrites, Shutdown) {
    QApplication::setQuitOnLastWindowClosed(false);
    PauseScale = 0;
    atEveryWrite([](FaultyLibrary& lib, MessageLog&) {
        TQuenlow w;
        w.show();
        QApplication::processEvents();
        ASSERT_TRUE(w.startedUp());
        // A change still pending in the settings row when the window closes.
        ASSERT_TRUE(OpenSettings());
        LoadSettings();
        SettingsRec.MailName = QStringLiteral("Pending");
        StoreSettings();
        lib.arm();
        w.close();
    });
    PauseScale = 1;
}

}  // namespace
