// The import dialog driven through its widgets: position repair, the file dialog, what Import
// stores and what Exit does not, and the messages of the run.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "FileAnswer.h"
#include "FullDiskImport.h"
#include "MessageLog.h"
#include "TestData.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/import/Import.h"
#include "xbase/Table.h"

namespace {

class ImportDialogTest : public ::testing::Test {
protected:
    TestDataDir data;
    ScopedLibrary lib{data.path()};
    MessageLog msgs;
    FileAnswer files;
    TImport dlg;

    void SetUp() override {
        EXPECT_TRUE(OpenImportLayout().ok());
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    }
    void TearDown() override {
        dlg.hide();
        EXPECT_TRUE(CloseTable(ImportTable).ok());
    }
    // The layout as stored in the table now.
    TImportRecord stored() {
        EXPECT_TRUE(CloseTable(ImportTable).ok());
        EXPECT_TRUE(OpenImportLayout().ok());
        LoadImportLayout();
        return ImportRec;
    }
    void typeInto(QLineEdit* e, const QString& text) {
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Tab);  // leave the edit
    }
    QString csv(const QString& name, const QByteArray& bytes) {
        const QString path = data.path() + QLatin1Char('/') + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
};

}  // namespace

TEST_F(ImportDialogTest, ShowsTheStoredLayout) {
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Import Format"));
    for (int i = 1; i <= 12; ++i) EXPECT_EQ(dlg.positionEdit(i)->text(), QString::number(i));
    EXPECT_EQ(dlg.positionEdit(1)->maxLength(), 2);
    EXPECT_TRUE(dlg.Edit13->isReadOnly());
}

TEST_F(ImportDialogTest, PositionNotAnIntegerBecomesZeroOnLeaving) {
    typeInto(dlg.positionEdit(3), QString());
    EXPECT_EQ(dlg.positionEdit(3)->text(), QStringLiteral("0"));
    typeInto(dlg.positionEdit(4), QStringLiteral("x1"));
    EXPECT_EQ(dlg.positionEdit(4)->text(), QStringLiteral("0"));
    typeInto(dlg.positionEdit(5), QStringLiteral("-1"));
    EXPECT_EQ(dlg.positionEdit(5)->text(), QStringLiteral("-1"));
}

TEST_F(ImportDialogTest, BadPositionAtImportStoresNothing) {
    dlg.positionEdit(2)->setText(QStringLiteral("q"));  // never left, so never repaired
    dlg.positionEdit(1)->setText(QStringLiteral("7"));
    QTest::mouseClick(dlg.BtnImport, Qt::LeftButton);
    EXPECT_EQ(msgs.texts(), QStringList{"Unable to import. Error found in Layout Specification"});
    EXPECT_EQ(stored().fFirst, 1);
}

TEST_F(ImportDialogTest, FileDialogCancelKeepsNameAndExitStoresNothing) {
    dlg.Edit13->setText(QStringLiteral("  old.csv  "));
    QTest::mouseClick(dlg.BtnIFile, Qt::LeftButton);  // cancelled
    EXPECT_EQ(files.offered, QStringLiteral("old.csv"));
    EXPECT_EQ(dlg.Edit13->text(), QStringLiteral("old.csv"));

    files.answer = QStringLiteral("/x/new.csv");
    QTest::mouseClick(dlg.BtnIFile, Qt::LeftButton);
    dlg.positionEdit(1)->setText(QStringLiteral("9"));
    QTest::mouseClick(dlg.BtnExit, Qt::LeftButton);
    const TImportRecord s = stored();
    EXPECT_EQ(s.ImpFile, QString());
    EXPECT_EQ(s.fFirst, 1);
}

TEST_F(ImportDialogTest, ImportStoresLayoutEvenWithoutFileAndSaysNothing) {
    files.answer = QStringLiteral("/no/such.csv");
    QTest::mouseClick(dlg.BtnIFile, Qt::LeftButton);
    dlg.positionEdit(12)->setText(QStringLiteral("3"));
    QTest::mouseClick(dlg.BtnImport, Qt::LeftButton);
    EXPECT_TRUE(msgs.texts().isEmpty());
    const TImportRecord s = stored();
    EXPECT_EQ(s.ImpFile, QStringLiteral("/no/such.csv"));
    EXPECT_EQ(s.fMobile, 3);
}

TEST_F(ImportDialogTest, FileNameTheLayoutCannotKeepIsRefusedAndThePreviousNameKept) {
    const QString good = csv(QStringLiteral("contacts.csv"), "Ann,Lee\nBob,Ray\n");
    files.answer = good;
    QTest::mouseClick(dlg.BtnIFile, Qt::LeftButton);
    ASSERT_EQ(dlg.Edit13->text(), good);

    const int width = 101;  // the ImpFile column
    const struct {
        QString name;
        bool kept;
    } cases[] = {
        {QLatin1Char('/') + QString(width - 1, u'a'), true},
        {QLatin1Char('/') + QString(width, u'a'), false},
        {QString::fromUtf8("/tmp/\u0141\u00f3d\u017a.csv"), false},
        {QString::fromUtf8("/tmp/Z\u00fcrich.csv"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        msgs.clear();
        files.answer = c.name;
        QTest::mouseClick(dlg.BtnIFile, Qt::LeftButton);
        EXPECT_EQ(dlg.Edit13->text(), c.kept ? c.name : good);
        if (c.kept) {
            EXPECT_TRUE(msgs.texts().isEmpty());
            files.answer = good;
            QTest::mouseClick(dlg.BtnIFile, Qt::LeftButton);
        } else {
            ASSERT_EQ(msgs.texts().size(), 1);
            EXPECT_TRUE(msgs.texts()[0].contains(c.name));
        }
    }

    // Import goes on with the name kept, and stores it whole.
    msgs.clear();
    QTest::mouseClick(dlg.BtnImport, Qt::LeftButton);
    EXPECT_EQ(msgs.texts(), QStringList{"2 Names Added  "});
    EXPECT_EQ(stored().ImpFile, good);
}

// The Import button on a disk that fills part-way: the count in its message is what the book
// holds (FullDiskImport.h).
TEST(ImportButton, FullDiskMidImportReportsWhatTheBookHoldsAndLeavesItWhole) {
    MessageLog msgs;
    ExpectFullDiskImportKeepsWhatItTells(true, [&](const QString& file) {
        ImportTold told;
        EXPECT_TRUE(OpenImportLayout().ok());
        TImport dlg;
        dlg.FormShow();
        dlg.Edit13->setText(file);
        msgs.clear();
        dlg.BtnImportClick();
        (void)CloseTable(ImportTable);
        for (const QString& t : msgs.texts()) {
            if (t.endsWith(QLatin1String(" Names Added  "))) told.added = t.section(' ', 0, 0).toInt();
            else told.error += t;
        }
        return told;
    });
}
