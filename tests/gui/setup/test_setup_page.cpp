// The "Setup && Maintenance" page: its buttons at their places, Reindex, the import dialog
// opened over the layout table, and the label font preference through a restart.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/common/Installed.h"
#include "MessageLog.h"
#include "TestData.h"
#include "gui/common/Forms.h"
#include "gui/shell/Quenlow.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/import/Import.h"
#include "gui/setup/LabelFontPref.h"
#include "gui/setup/SetupPage.h"
#include "xbase/Table.h"

namespace {

class SetupPageTest : public ::testing::Test {
protected:
    TestDataDir data;
    ScopedLibrary lib{data.path()};
    MessageLog msgs;
    SetupPage page;

    void TearDown() override { Installed<FontQuestion>::install(nullptr); }

    // A restart as far as the label font goes: the settings row read again and applied.
    QFont fontAfterRestart() {
        EXPECT_TRUE(OpenSettings().ok());
        LoadSettings();
        EXPECT_TRUE(CloseTable(SettingsTable).ok());
        ApplyLabelFontPreference();
        return LabelFont;
    }
};

}  // namespace

TEST_F(SetupPageTest, ButtonsAtTheirPlaces) {
    const struct {
        QPushButton* b;
        const char* caption;
        QRect at;
    } expect[] = {
        {page.LMDButton1, "&Backup", {64, 72, 161, 41}},
        {page.LMDButton2, "&Restore", {64, 184, 161, 41}},
        {page.LMDButton3, "Rei&ndex", {64, 304, 161, 41}},
        {page.LMDButton4, "&Import Contacts", {288, 176, 161, 57}},
        {page.LMDButton5, "&Edit Label Definition", {504, 256, 161, 49}},
        {page.LMDButton6, "&Choose Label Font", {504, 104, 161, 49}},
        {page.BtnExport, "E&xport Contacts\u2026", {288, 264, 161, 57}},
    };
    for (const auto& e : expect) {
        EXPECT_EQ(e.b->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(e.b->geometry(), e.at) << e.caption;
        EXPECT_FALSE(e.b->icon().isNull()) << e.caption;
    }
    // The buttons added beside them cover none of them, nor one another.
    const QList<QPushButton*> all = page.findChildren<QPushButton*>();
    for (QPushButton* a : all)
        for (QPushButton* b : all)
            EXPECT_TRUE(a == b || !a->geometry().intersects(b->geometry()))
                << a->text().toStdString() << " overlaps " << b->text().toStdString();
}

TEST_F(SetupPageTest, ReindexRebuildsBothIndexesSilently) {
    AppendAddressRows(data.dir(), SyntheticRows(3));
    ASSERT_TRUE(data.remove(QStringLiteral("Address.ntx")));
    ASSERT_TRUE(data.remove(QStringLiteral("Labels.ntx")));
    QTest::mouseClick(page.LMDButton3, Qt::LeftButton);
    EXPECT_TRUE(data.exists(QStringLiteral("Address.ntx")));
    EXPECT_TRUE(data.exists(QStringLiteral("Labels.ntx")));
    EXPECT_TRUE(msgs.texts().isEmpty());
    EXPECT_TRUE(OpenAddrBook().ok());
    int n = 0;
    for (int rc = LastStatus; rc == 0; rc = AddrBookTable->skip()) ++n;
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
    EXPECT_EQ(n, 3);
}

TEST_F(SetupPageTest, ImportContactsShowsTheDialogWithTheLayoutTableOpen) {
    TImport dlg;
    TImport* saved = Import;
    Import = &dlg;
    bool tableOpenWhileShown = false;
    QString firstPosition;
    QTimer::singleShot(0, &dlg, [&] {
        tableOpenWhileShown = ImportTable != nullptr;
        firstPosition = dlg.positionEdit(1)->text();
        QTest::mouseClick(dlg.BtnExit, Qt::LeftButton);
    });
    QTest::mouseClick(page.LMDButton4, Qt::LeftButton);
    Import = saved;
    EXPECT_TRUE(tableOpenWhileShown);
    EXPECT_EQ(firstPosition, QStringLiteral("1"));
    EXPECT_EQ(ImportTable, nullptr);
}

TEST_F(SetupPageTest, LabelFontChoiceLastsAndFaceAndSizeSurviveARestart) {
    ApplyLabelFontPreference();  // a fresh settings row: the design font
    EXPECT_EQ(LabelFont.family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(LabelFont.pointSize(), 8);

    // The font chosen: DejaVu Serif 14, bold, italic and underlined.
    struct Chosen : FontQuestion {
        QFont askFont(const QFont& current, QWidget*) override {
            given = current;
            QFont f(QStringLiteral("DejaVu Serif"), 14);
            f.setBold(true);
            f.setItalic(true);
            f.setUnderline(true);
            return f;
        }
        QFont given;
    } chosen;
    Installed<FontQuestion>::install(&chosen);
    QTest::mouseClick(page.LMDButton6, Qt::LeftButton);
    EXPECT_EQ(chosen.given.family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(LabelFont.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(LabelFont.bold() && LabelFont.italic() && LabelFont.underline());
    EXPECT_EQ(LabelFont.pointSize(), 14);

    const QFont after = fontAfterRestart();
    EXPECT_EQ(after.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(after.pointSize(), 14);
    EXPECT_FALSE(after.bold() || after.italic() || after.underline());
    EXPECT_EQ(SettingsRec.FontName.trimmed(), QStringLiteral("DejaVu Serif"));
}

TEST_F(SetupPageTest, CancelledFontDialogStoresWhatWasInForceAndKeepsOtherSettings) {
    EXPECT_TRUE(OpenSettings().ok());
    LoadSettings();
    SettingsRec.FontName = QStringLiteral("Arial");
    SettingsRec.FontSize = 12;
    SettingsRec.LabID = QStringLiteral("Avery 5160");
    StoreSettings();
    EXPECT_TRUE(CloseTable(SettingsTable).ok());
    const QFont start = fontAfterRestart();
    EXPECT_EQ(start.family(), QStringLiteral("Arial"));
    EXPECT_EQ(start.pointSize(), 12);

    SettingsRec = TSettingsRecord{};  // whatever memory holds, the row's other fields survive
    struct Unchanged : FontQuestion {
        QFont askFont(const QFont& current, QWidget*) override { return current; }
    } unchanged;
    Installed<FontQuestion>::install(&unchanged);
    QTest::mouseClick(page.LMDButton6, Qt::LeftButton);
    const QFont after = fontAfterRestart();
    EXPECT_EQ(after.family(), QStringLiteral("Arial"));
    EXPECT_EQ(after.pointSize(), 12);
    EXPECT_EQ(SettingsRec.LabID.trimmed(), QStringLiteral("Avery 5160"));
}

TEST_F(SetupPageTest, FontDialogOpensOnThePlainStyleAndOkWithoutChangeKeepsTheStoredFont) {
    int tried = 0;
    for (const char* face : {"DejaVu Serif", "DejaVu Sans", "Liberation Sans"}) {
        if (!QFontDatabase::families().contains(QString::fromLatin1(face))) continue;
        SCOPED_TRACE(face);
        ++tried;
        ASSERT_TRUE(OpenSettings());
        LoadSettings();
        SettingsRec.FontName = QString::fromLatin1(face);
        SettingsRec.FontSize = 14;
        StoreSettings();
        ASSERT_TRUE(CloseTable(SettingsTable));
        const QFont stored = fontAfterRestart();

        // Qt's own dialog, answered with OK as soon as it is up.
        Installed<FontQuestion>::install(nullptr);
        QString shown;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dlg = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
            if (!dlg) return;
            shown = dlg->currentFont().styleName();
            dlg->accept();
        });
        poll.start(10);
        QTest::mouseClick(page.LMDButton6, Qt::LeftButton);
        poll.stop();

        ASSERT_FALSE(shown.isEmpty());
        EXPECT_FALSE(QFontDatabase::italic(QString::fromLatin1(face), shown)) << shown.toStdString();
        EXPECT_EQ(QFontDatabase::weight(QString::fromLatin1(face), shown), QFont::Normal);
        EXPECT_FALSE(shown.contains(QLatin1String("Condensed"))) << shown.toStdString();
        EXPECT_EQ(LabelFont, stored);
        const QFontInfo used(LabelFont);
        EXPECT_EQ(used.family(), QString::fromLatin1(face));
        EXPECT_FALSE(used.italic());
        EXPECT_FALSE(used.styleName().contains(QLatin1String("Condensed"))) << used.styleName().toStdString();
    }
    if (tried == 0) GTEST_SKIP() << "none of the faces is installed";
}

// Picking another family in Qt's font dialog keeps the upright regular style: DejaVu's first
// style in the list is its oblique, which the dialog would otherwise take.
TEST_F(SetupPageTest, PickingAFamilyInTheFontDialogKeepsLabelsUpright) {
    int tried = 0;
    for (const char* face : {"DejaVu Sans", "DejaVu Serif"}) {
        if (!QFontDatabase::families().contains(QString::fromLatin1(face))) continue;
        SCOPED_TRACE(face);
        ++tried;
        ApplyLabelFontPreference();  // a fresh settings row: the design font, style Normal
        Installed<FontQuestion>::install(nullptr);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dlg = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
            if (!dlg) return;
            poll.stop();
            for (QListView* list : dlg->findChildren<QListView*>()) {
                const QModelIndexList at = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole,
                                                                QString::fromLatin1(face), 1, Qt::MatchExactly);
                if (!at.isEmpty()) list->setCurrentIndex(at.first());  // the family list
            }
            QTest::qWait(50);
            dlg->accept();
        });
        poll.start(10);
        QTest::mouseClick(page.LMDButton6, Qt::LeftButton);
        const QFontInfo used(LabelFont);
        EXPECT_EQ(used.family(), QString::fromLatin1(face));
        EXPECT_FALSE(used.italic()) << used.styleName().toStdString();
        EXPECT_EQ(used.weight(), QFont::Normal);
        EXPECT_FALSE(used.styleName().contains(QLatin1String("Condensed"))) << used.styleName().toStdString();
        EXPECT_EQ(LabelFont.style(), QFont::StyleNormal);
    }
    if (tried == 0) GTEST_SKIP() << "fonts-dejavu is not installed";
}
