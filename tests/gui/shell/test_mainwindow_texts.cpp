// (Kept beside the main window tests: it needs the program's windows before the start-up tests
// take them down, when the whole file runs in one process.)
// Every window shows its whole texts with the face this desktop has: nothing is cut at a
// control's edge unless it is elided with the whole text in its tooltip. The suite runs this
// again at twice the scale (QT_SCALE_FACTOR=2), with another face (MERROWBY_SANS_FACE) and with
// a label face chosen, which the main window takes (MERROWBY_TEST_LABEL_FACE).
#include <gtest/gtest.h>

#include <cmath>

#include <QApplication>
#include <QFontMetricsF>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>

#include "MessageLog.h"
#include "TestData.h"
#include "gui/shell/AboutForm.h"
#include "gui/common/Fitting.h"
#include "gui/common/Forms.h"
#include "gui/shell/Quenlow.h"
#include "gui/backup/DriveDir.h"
#include "core/data/Records.h"
#include "gui/import/DetectImport.h"
#include "gui/import/ExportContacts.h"
#include "gui/import/Import.h"
#include "gui/labels/Calibrate.h"
#include "gui/labels/CatalogueWindow.h"
#include "gui/labels/LabPrint.h"
#include "core/labels/SheetMemory.h"
#include "xbase/Library.h"
#include "core/labels/LabelFont.h"
#include "gui/labels/LabSel.h"
#include "gui/labels/LabelDef.h"
#include "gui/labels/PickLab.h"
#include "gui/occasions/OccasionsPage.h"
#include "gui/reminders/DateSpan.h"
#include "gui/reminders/REReport.h"

namespace {

std::string joined(const QStringList& lines) { return lines.join(QLatin1Char('\n')).toStdString(); }

}  // namespace

TEST(WholeTexts, TheCheckFindsACaptionLongerThanItsControl) {
    QWidget w;
    auto* label = new QLabel(QStringLiteral("Short"), &w);
    auto* box = new QCheckBox(QStringLiteral("Tick"), &w);
    label->setGeometry(0, 0, 200, 30);
    box->setGeometry(0, 40, 200, 30);
    w.show();
    EXPECT_TRUE(CutTexts(&w).isEmpty()) << joined(CutTexts(&w));
    label->setText(QStringLiteral("A caption far too long for the room it was given"));
    box->setText(QStringLiteral("A check box caption far too long for its box"));
    label->resize(60, 30);
    box->resize(60, 30);
    EXPECT_EQ(CutTexts(&w).size(), 2) << joined(CutTexts(&w));
    FitButtonText(box, box->text(), 60, 60);  // elided with the whole text as its tooltip
    EXPECT_EQ(CutTexts(&w).size(), 1) << joined(CutTexts(&w));
}

TEST(WholeTexts, TheCheckFindsDropDownsAndListsThatCutTheirEntries) {
    QWidget w;
    const QString name = QStringLiteral("Continuous 3-1/2 x 15/16 in, pin feed");
    auto* pick = new QComboBox(&w);
    auto* typed = new QComboBox(&w);
    typed->setEditable(true);
    auto* list = new QListWidget(&w);
    list->addItem(name);
    list->item(0)->setToolTip(name);
    list->setGeometry(0, 60, 120, 100);
    for (QComboBox* box : {pick, typed}) {
        box->addItem(name);
        box->setGeometry(0, box == pick ? 30 : 0, 120, 23);
    }
    w.show();
    EXPECT_EQ(CutTexts(&w).size(), 5) << joined(CutTexts(&w));  // both boxes closed and open, the list
    // Fitted, the boxes show the entry elided and whole in the tooltip, the list elides it too.
    FitComboEntries(pick);
    FitComboEntries(typed);
    FitListEntries(list);
    EXPECT_TRUE(CutTexts(&w).isEmpty()) << joined(CutTexts(&w));
    for (QComboBox* box : {pick, typed}) EXPECT_EQ(box->toolTip(), name);
}

TEST(WholeTexts, ElidedTextsAreCutBetweenWords) {
    const QFontMetrics fm(QApplication::font());
    const QString text = QStringLiteral("Continuous 3-1/2 x 15/16 in, pin feed");
    const QStringList words = text.split(QLatin1Char(' '));
    for (Qt::TextElideMode mode : {Qt::ElideRight, Qt::ElideMiddle}) {
        for (int room = fm.horizontalAdvance(QStringLiteral("Continuous \u2026 feed")); room < fm.horizontalAdvance(text); room += 3) {
            const QString shown = ElideAtBlanks(fm, text, room, mode);
            SCOPED_TRACE(shown.toStdString());
            EXPECT_LE(fm.horizontalAdvance(shown), room);
            ASSERT_TRUE(shown.contains(QChar(0x2026)));
            for (const QString& word : QString(shown).replace(QChar(0x2026), QLatin1Char(' ')).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                EXPECT_TRUE(words.contains(word)) << word.toStdString();
        }
    }
    EXPECT_EQ(ElideAtBlanks(fm, text, fm.horizontalAdvance(text), Qt::ElideRight), text);
}

TEST(WholeTexts, EveryWindowShowsItsWholeTexts) {
    QApplication::setQuitOnLastWindowClosed(false);
    TestDataDir data(12);
    ScopedLibrary lib(data.path());
    ScopedCurrentDir cwd(data.path());
    MessageLog messages;
    const QString face = qEnvironmentVariable("MERROWBY_SANS_FACE");
    if (!face.isEmpty()) {
        ASSERT_EQ(InstallFontSubstitutes(), face);  // the run is in the face asked for
    }
    const QString labelFace = qEnvironmentVariable("MERROWBY_TEST_LABEL_FACE");
    if (!labelFace.isEmpty()) {
        if (!QFontDatabase::families().contains(labelFace)) {
            GTEST_SKIP() << "no face " << labelFace.toStdString();
        }
        ASSERT_TRUE(OpenSettings());
        LoadSettings();
        SettingsRec.FontName = labelFace;
        StoreSettings();
        ASSERT_TRUE(CloseTable(SettingsTable));
    }
    CreateForms();

    Quenlow->show();
    QApplication::processEvents();
    if (!labelFace.isEmpty()) {
        ASSERT_EQ(Quenlow->font().family(), labelFace);  // start-up gave it the face
    }
    for (int page = 0; page < Quenlow->pageControl()->count(); ++page) {
        Quenlow->pageControl()->setCurrentIndex(page);
        QApplication::processEvents();
        SCOPED_TRACE(Quenlow->pageControl()->tabText(page).toStdString());
        EXPECT_TRUE(CutTexts(Quenlow).isEmpty()) << joined(CutTexts(Quenlow));
    }
    // The address page has room for each caption and check box on one line, whatever the face.
    for (const QLabel* l : Quenlow->pageControl()->widget(0)->findChildren<QLabel*>())
        EXPECT_FALSE(l->text().contains(QLatin1Char('\n')) || !l->toolTip().isEmpty()) << l->text().toStdString();
    for (const QCheckBox* c : Quenlow->pageControl()->widget(0)->findChildren<QCheckBox*>())
        EXPECT_TRUE(c->toolTip().isEmpty()) << "elided: " << c->toolTip().toStdString();
    // The names list shows each name whole: the padding the table stores takes no room.
    const auto* names = Quenlow->findChild<QTableView*>(QStringLiteral("StringGrid2"));
    const auto* shows = qobject_cast<const QStyledItemDelegate*>(names->itemDelegate());
    ASSERT_NE(shows, nullptr);
    for (int row = 0; row < names->model()->rowCount(); ++row) {
        for (int column : {0, 1}) {
            const QString name = shows->displayText(names->model()->index(row, column).data(), QLocale());
            // The cell's text margins and its grid line take 7 pixels.
            EXPECT_LE(std::ceil(QFontMetricsF(names->font()).horizontalAdvance(name)) + 7, names->columnWidth(column))
                << "\"" << name.toStdString() << "\"";
        }
    }
    // The occasions page in reminders mode, with each report it offers chosen.
    Quenlow->pageControl()->setCurrentIndex(1);
    Quenlow->occasionsPage()->SetOccasionsMode(2);
    for (int i = 0; i < Quenlow->occasionsPage()->ReportChoice->count(); ++i) {
        Quenlow->occasionsPage()->ReportChoice->setCurrentIndex(i);
        QApplication::processEvents();
        EXPECT_TRUE(CutTexts(Quenlow).isEmpty()) << joined(CutTexts(Quenlow));
    }
    Quenlow->occasionsPage()->SetOccasionsMode(1);
    Quenlow->pageControl()->setCurrentIndex(2);  // the book is closed while the setup page shows
    QApplication::processEvents();

    ASSERT_TRUE(OpenLabels());
    ASSERT_TRUE(OpenImportLayout());
    ASSERT_TRUE(OpenAddrBook());
    LabSel->FillGrid();
    // Every stock with a partly used sheet, so that the print options show their longest line.
    for (int rc = LabelsTable->top(); rc == 0; rc = LabelsTable->skip()) {
        LoadLabelRec();
        ASSERT_TRUE(SheetRemember(lib.lib(), LabelRec.Name, SheetPosition{3, 10, QDate(2026, 12, 28)}).ok());
    }
    QDialog* const dialogs[] = {AboutForm, PickLab, LabPrint, Import, DateSpan, LabSel, LabelDef, DriveDir};
    for (QDialog* d : dialogs) {
        SCOPED_TRACE(d->metaObject()->className());
        d->show();
        QApplication::processEvents();
        EXPECT_TRUE(CutTexts(d).isEmpty()) << joined(CutTexts(d));
        d->hide();
    }
    (void)CloseTable(AddrBookTable);
    (void)CloseTable(ImportTable);
    (void)CloseTable(LabelsTable);

    TExportContacts exporter;
    ContactParse parsed;
    parsed.format = ContactFormat::HeaderCsv;
    parsed.mapping << QStringLiteral("Family Name -> Last");
    TAddressRecord r;
    r.Last = QStringLiteral("Brandt");
    parsed.contacts.push_back(r);
    TDetectImport detect(QStringLiteral("/tmp/contacts.csv"), parsed, 0);
    StockCatalogue catalogue;
    CatalogueEntry sheet;
    sheet.maker = QStringLiteral("Avery");
    sheet.part = QStringLiteral("L7160");
    sheet.description = QStringLiteral("Address labels, 63.5 x 38.1 mm");
    sheet.perSheet = 21;
    sheet.stock.Width = 180, sheet.stock.Height = 108;
    catalogue.entries.push_back(sheet);
    catalogue.skipped = 1234;
    TCatalogueWindow catalogueWindow(catalogue);
    TCalibrate calibrate(QStringLiteral("HP LaserJet Pro M404dn on the study shelf"), nullptr);
    QDialog* const own[] = {&exporter, &detect, &catalogueWindow, &calibrate};
    for (QDialog* d : own) {
        SCOPED_TRACE(d->metaObject()->className());
        d->show();
        QApplication::processEvents();
        EXPECT_TRUE(CutTexts(d).isEmpty()) << joined(CutTexts(d));
        d->hide();
    }
    Quenlow->hide();
}
