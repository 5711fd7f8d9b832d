// The windows of the contacts that other programs write: the import dialog's "Detect…" with its
// preview, the progress window's Cancel, and the setup page's export dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "FileAnswer.h"
#include "MessageLog.h"
#include "TestData.h"
#include "gui/common/RunProgress.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/import/DetectImport.h"
#include "gui/import/ExportContacts.h"
#include "gui/import/Import.h"
#include "xbase/Table.h"

namespace {

class ContactsWindowsTest : public ::testing::Test {
protected:
    TestDataDir data{5};
    ScopedLibrary lib{data.path()};
    MessageLog msgs;
    FileAnswer files;

    void TearDown() override { RunProgress::setRedrawInterval(40); }
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = data.path() + QLatin1Char('/') + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_EQ(f.write(bytes), bytes.size());
        return path;
    }
    // Last names of the book in index order.
    QStringList lastNames() {
        QStringList out;
        EXPECT_TRUE(OpenAddrBook().ok());
        for (int rc = AddrBookTable->top(); rc == xbase::kOk; rc = AddrBookTable->skip()) {
            LoadAddrRec();
            out << AddressRec.Last.trimmed();
        }
        EXPECT_TRUE(CloseTable(AddrBookTable).ok());
        return out;
    }
    // Runs `act` on the modal preview as soon as it shows (the file is read before it).
    void onPreview(std::function<void(TDetectImport*)> act) {
        auto* poll = new QTimer(qApp);
        QObject::connect(poll, &QTimer::timeout, qApp, [act, poll] {
            auto* dlg = qobject_cast<TDetectImport*>(QApplication::activeModalWidget());
            if (!dlg) return;
            poll->stop();
            poll->deleteLater();
            act(dlg);
        });
        poll->start(5);
    }
};

const QByteArray kGoogleCsv =
    "Name,Given Name,Family Name,Address 1 - Street,Address 1 - City,Address 1 - Postal Code,E-mail 1 - Value\r\n"
    "Ann Ng,Ann,Ng,1 Elm St,Oslo,0150,ann@example.org\r\n"
    "Ann Ng,Ann,Ng,1 Elm St,Oslo,0150,ann@example.org\r\n"
    "C,C,,,,,\r\n"
    "Zoë Brandt,Zoë,Brandt,2 Oak Rd,Köln,50667,\r\n";

}  // namespace

TEST_F(ContactsWindowsTest, DetectPreviewsTheFileAndImportsOnlyOnImport) {
    const QString path = write(QStringLiteral("google.csv"), kGoogleCsv);
    TImport dlg;
    ASSERT_TRUE(OpenImportLayout().ok());
    dlg.show();
    files.answer = path;
    const QStringList before = lastNames();

    // Cancel in the preview: nothing is imported and nothing is said.
    onPreview([](TDetectImport* d) { QTest::mouseClick(d->BtnCancel, Qt::LeftButton); });
    QTest::mouseClick(dlg.BtnDetect, Qt::LeftButton);
    EXPECT_TRUE(msgs.texts().isEmpty());
    EXPECT_EQ(lastNames(), before);

    // What the preview shows, then Import with the default Skip.
    QString found, duplicates;
    int previewRows = 0;
    QString stored;
    onPreview([&](TDetectImport* d) {
        found = d->Found->text();
        duplicates = d->Duplicates->text();
        previewRows = d->Preview->rowCount();
        stored = d->Preview->item(3, 4)->text();  // Zoë's city as the table will hold it
        EXPECT_TRUE(d->SkipDuplicates->isChecked());
        EXPECT_TRUE(d->Mapping->toPlainText().contains(QStringLiteral("Family Name")));
        QTest::keyClick(d, Qt::Key_Return);
    });
    QTest::mouseClick(dlg.BtnDetect, Qt::LeftButton);
    EXPECT_TRUE(found.contains(QStringLiteral("CSV with a header row"))) << found.toStdString();
    EXPECT_TRUE(found.contains(QStringLiteral("UTF-8"))) << found.toStdString();
    EXPECT_TRUE(duplicates.startsWith(QStringLiteral("1 of these"))) << duplicates.toStdString();
    EXPECT_EQ(previewRows, 4);
    EXPECT_EQ(stored, QString::fromUtf8("Köln"));
    ASSERT_EQ(msgs.entries().size(), 1u);
    EXPECT_EQ(msgs.entries()[0].kind, MessageLog::Kind::Plain);
    EXPECT_TRUE(msgs.texts()[0].startsWith(
        QStringLiteral("2 Names Added, 1 duplicates skipped, 1 skipped without a last name")))
        << msgs.texts()[0].toStdString();
    QStringList expected = before;
    expected << QStringLiteral("Ng") << QStringLiteral("Brandt");
    QStringList after = lastNames();
    std::sort(expected.begin(), expected.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, expected);

    // The layout table is not written by Detect.
    EXPECT_TRUE(CloseTable(ImportTable).ok());
    ASSERT_TRUE(OpenImportLayout().ok());
    LoadImportLayout();
    EXPECT_EQ(ImportRec.ImpFile.trimmed(), QString());
    EXPECT_TRUE(CloseTable(ImportTable).ok());
}

TEST_F(ContactsWindowsTest, DetectedFileWasImportedAgainAndReadingStayedInTheStatusLine) {
    const QString path = write(QStringLiteral("outlook.csv"), "First Name,Middle Name,Last Name\r\nMary,,Lee\r\n");
    TImport dlg;
    ASSERT_TRUE(OpenImportLayout().ok());
    dlg.show();
    const QString layoutFile = dlg.Edit13->text();
    files.answer = path;
    QString statusAtPreview = QStringLiteral("not shown");
    onPreview([&](TDetectImport* d) {
        statusAtPreview = dlg.StatusBar1->text();  // the reading is over; the summary follows
        d->accept();
    });
    QTest::mouseClick(dlg.BtnDetect, Qt::LeftButton);
    ASSERT_EQ(msgs.texts().size(), 1u);
    EXPECT_TRUE(msgs.texts()[0].startsWith(QStringLiteral("1 Names Added"))) << msgs.texts()[0].toStdString();
    EXPECT_EQ(statusAtPreview, QString());
    EXPECT_EQ(dlg.Edit13->text(), layoutFile);

    // The layout's own Import then reads the layout's file, not the detected one.
    const QStringList before = lastNames();
    QTest::mouseClick(dlg.BtnImport, Qt::LeftButton);
    EXPECT_EQ(lastNames(), before);
    EXPECT_TRUE(CloseTable(ImportTable).ok());
    ASSERT_TRUE(OpenImportLayout().ok());
    LoadImportLayout();
    EXPECT_EQ(ImportRec.ImpFile.trimmed(), layoutFile);
    EXPECT_TRUE(CloseTable(ImportTable).ok());
}

// The preview shows the first few contacts; the count it gives is that of the whole file.
TEST_F(ContactsWindowsTest, DetectCountedOnlyTheContactsItPreviewed) {
    QByteArray csv = "First Name,Last Name\r\n";
    for (int i = 0; i < 7; ++i) csv += "Ann,Lee" + QByteArray::number(i) + "\r\n";
    const QString path = write(QStringLiteral("seven.csv"), csv);
    TImport dlg;
    files.answer = path;
    QString found;
    onPreview([&](TDetectImport* d) {
        found = d->Found->text();
        d->reject();
    });
    QTest::mouseClick(dlg.BtnDetect, Qt::LeftButton);
    EXPECT_TRUE(found.contains(QStringLiteral("Contacts: 7"))) << found.toStdString();
}

TEST_F(ContactsWindowsTest, FileDetectCannotReadIsRefusedWithoutPreview) {
    const QStringList before = lastNames();
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty.csv", QByteArray()},
        {"unknown.csv", "Colour,Shape\r\nred,round\r\n"},
        {"binary.dat", QByteArray("\x00\x01\x02\xff\xfe\x00\x00\x10", 8).repeated(64)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        msgs.clear();
        const DetectedImportOutcome out = DetectAndImport(write(QString::fromLatin1(c.name), c.bytes), nullptr);
        EXPECT_FALSE(out.bookOpened);
        ASSERT_EQ(msgs.texts().size(), 1u);  // no preview was shown, or the test would hang here
        EXPECT_TRUE(msgs.texts()[0].endsWith(QStringLiteral("Nothing was imported."))) << msgs.texts()[0].toStdString();
    }
    EXPECT_EQ(lastNames(), before);
}

TEST_F(ContactsWindowsTest, CancelInTheProgressWindowKeepsTheNamesAddedSoFar) {
    QByteArray cards;
    for (int i = 0; i < 400; ++i)
        cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Person" + QByteArray::number(i) + ";Pat;;;\r\nEND:VCARD\r\n";
    const QString path = write(QStringLiteral("many.vcf"), cards);
    const int before = int(lastNames().size());

    RunProgress::setRedrawInterval(0);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<QProgressDialog*>(w); p && p->value() >= 100) p->cancel();
    });
    QWidget parent;
    parent.show();
    onPreview([&](TDetectImport* d) {
        watch.start(0);
        d->accept();
    });
    const DetectedImportOutcome out = DetectAndImport(path, &parent);
    watch.stop();
    ASSERT_TRUE(out.cancelled);
    EXPECT_GE(out.added, 100);
    EXPECT_LT(out.added, 400);
    EXPECT_EQ(int(lastNames().size()), before + out.added);
    ASSERT_EQ(msgs.texts().size(), 1u);
    EXPECT_TRUE(msgs.texts()[0].startsWith(QString::number(out.added) + QStringLiteral(" Names Added")));
    EXPECT_TRUE(msgs.texts()[0].contains(QStringLiteral("cancelled")));
}

TEST_F(ContactsWindowsTest, ExportDialogWritesTheChosenOccasionAndAsksBeforeReplacing) {
    TExportContacts dlg;
    dlg.show();
    const QString file = data.path() + QStringLiteral("/out.vcf");
    dlg.FileName->setText(file);
    QTest::mouseClick(dlg.AsCsv, Qt::LeftButton);
    EXPECT_EQ(dlg.FileName->text(), data.path() + QStringLiteral("/out.csv"));
    const QString csv = dlg.FileName->text();

    // A span ending before it starts is refused before anything is written.
    dlg.Which->setCurrentIndex(8);
    ASSERT_TRUE(dlg.SpanFrom->isEnabled());
    dlg.SpanFrom->setDate(QDate(2026, 5, 10));
    dlg.SpanTo->setDate(QDate(2026, 5, 1));
    QTest::mouseClick(dlg.BtnExport, Qt::LeftButton);
    EXPECT_EQ(msgs.texts(), QStringList{QStringLiteral("Ending date must be greater than or equal to starting date.")});
    EXPECT_FALSE(QFile::exists(csv));

    // The whole book: every row once, after the header.
    msgs.clear();
    dlg.Which->setCurrentIndex(0);
    QTest::mouseClick(dlg.BtnExport, Qt::LeftButton);
    ASSERT_EQ(msgs.texts().size(), 1u);
    EXPECT_TRUE(msgs.texts()[0].startsWith(QStringLiteral("5 contacts written to"))) << msgs.texts()[0].toStdString();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    f.close();
    EXPECT_EQ(whole.count('\n'), 6);

    // Writing over it asks first; Cancel leaves the file as it was.
    msgs.clear();
    msgs.setAnswer(false);
    dlg.show();
    dlg.Which->setCurrentIndex(7);
    QTest::mouseClick(dlg.BtnExport, Qt::LeftButton);
    ASSERT_EQ(msgs.entries().size(), 1u);
    EXPECT_EQ(msgs.entries()[0].kind, MessageLog::Kind::OkCancel);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), whole);
}
