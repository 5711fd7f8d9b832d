// (Kept beside the main window tests: it needs the program's windows before the start-up tests
// take them down, when the whole file runs in one process.)
// Every window shows its whole texts with the face this desktop has: nothing is cut at a
// control's edge unless it is elided with the whole text in its tooltip. The suite runs this
// again at twice the scale (QT_SCALE_FACTOR=2) and with another face (MERROWBY_SANS_FACE).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTabWidget>

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

TEST(WholeTexts, EveryWindowShowsItsWholeTexts) {
    QApplication::setQuitOnLastWindowClosed(false);
    TestDataDir data(12);
    ScopedLibrary lib(data.path());
    ScopedCurrentDir cwd(data.path());
    MessageLog messages;
    const QString face = qEnvironmentVariable("MERROWBY_SANS_FACE");
    if (!face.isEmpty()) ASSERT_EQ(InstallFontSubstitutes(), face);  // the run is in the face asked for
    CreateForms();

    Quenlow->show();
    QApplication::processEvents();
    for (int page = 0; page < Quenlow->pageControl()->count(); ++page) {
        Quenlow->pageControl()->setCurrentIndex(page);
        QApplication::processEvents();
        SCOPED_TRACE(Quenlow->pageControl()->tabText(page).toStdString());
        EXPECT_TRUE(CutTexts(Quenlow).isEmpty()) << joined(CutTexts(Quenlow));
    }
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
