// Printing the report viewer: what goes out (the view as edited, under the job title), how many
// pages, the failure path, and the real queue when the system has one.
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QDir>
#include <QMenu>
#include <QTextFrame>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QPlainTextEdit>
#include <QThread>
#include <gtest/gtest.h>

#include "gui/common/Installed.h"
#include "MessageLog.h"
#include "printing/QtPrinter.h"
#include "RecordingPrinter.h"
#include "gui/reminders/REReport.h"
#include "core/reminders/ReminderGen.h"

namespace {

QStringList entries(int n) {
    QStringList out;
    for (int i = 0; i < n; ++i) out << QStringLiteral("\tFirst%1 Last%1 ").arg(i);
    return out;
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& file) {
    const QString info = run("pdfinfo", {file});
    for (const QString& line : info.split('\n'))
        if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
}

QString pdfText(const QString& file) { return run("pdftotext", {"-layout", file, "-"}); }

class ReportPrint : public ::testing::Test {
protected:
    void TearDown() override { Installed<ReportPrinterSource>::install(nullptr); }

    // A printer into the PDF file `file`, through the real printer layer.
    struct PdfFile : ReportPrinterSource {
        QString file;
        std::unique_ptr<Printer> makePrinter() override { return QtPrinter::toPdf(file); }
    } pdf;

    // Prints the viewer's content into a PDF file through the real printer layer.
    QString printToPdf(const QString& name) {
        pdf.file = dir.path() + "/" + name;
        Installed<ReportPrinterSource>::install(&pdf);
        EXPECT_TRUE(viewer.File1Click());
        return pdf.file;
    }

    TREReport viewer;
    QTemporaryDir dir;
    MessageLog messages;
};

// The most entry lines whose report the layout engine fits on one page of `pageDots` at `dpi`,
// worked out on a separate layout of the same document.
int linesFittingOnePage(QTextDocument& viewDoc, QSizeF pageDots, int dpi) {
    QPdfWriter device(QDir::temp().filePath("merrowby-layout-probe.pdf"));
    device.setResolution(dpi);
    auto fits = [&](int n) {
        WriteReminderReport(viewDoc, "Halloween", entries(n));
        std::unique_ptr<QTextDocument> copy(viewDoc.clone());
        copy->documentLayout()->setPaintDevice(&device);
        copy->setPageSize(pageDots);
        QTextFrameFormat frame = copy->rootFrame()->frameFormat();
        frame.setMargin(0);
        copy->rootFrame()->setFrameFormat(frame);
        return copy->pageCount() == 1;
    };
    int lo = 0, hi = 1;
    while (fits(hi)) hi *= 2;
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        (fits(mid) ? lo : hi) = mid;
    }
    QFile::remove(QDir::temp().filePath("merrowby-layout-probe.pdf"));
    return lo;
}

}  // namespace

TEST_F(ReportPrint, ViewerIsTheDesignedWindow) {
    EXPECT_EQ(viewer.windowTitle(), "REReport");
    EXPECT_EQ(viewer.File1->text(), "&Print");
    EXPECT_EQ(viewer.File1->menu(), nullptr) << "a command, not a drop-down";
    EXPECT_FALSE(viewer.RichEdit1->isReadOnly());
    EXPECT_EQ(viewer.RichEdit1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(viewer.document()->defaultFont().pointSize(), 12);
    EXPECT_FALSE(viewer.document()->defaultFont().bold());
}

TEST_F(ReportPrint, ShortReportIsOnePageAndOneLineMoreThanAPageIsTwo) {
    auto probe = QtPrinter::toPdf(dir.path() + "/probe.pdf");
    const int n = linesFittingOnePage(*viewer.document(), QSizeF(probe->printableSize()),
                                      probe->dpiY());
    probe.reset();
    ASSERT_GT(n, 20) << "a letter page holds more than a few lines of 12-point text";

    WriteReminderReport(*viewer.document(), "Halloween", {});
    EXPECT_EQ(pdfPages(printToPdf("heading-only.pdf")), 1);

    WriteReminderReport(*viewer.document(), "Halloween", entries(n));
    EXPECT_EQ(pdfPages(printToPdf("full-page.pdf")), 1) << "an exactly full page adds no empty one";

    WriteReminderReport(*viewer.document(), "Halloween", entries(n + 1));
    const QString two = printToPdf("one-more.pdf");
    EXPECT_EQ(pdfPages(two), 2);
    const QString text = pdfText(two);
    EXPECT_TRUE(text.contains(QStringLiteral("First%1 Last%1").arg(n))) << "last line printed";
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('|').toStdString();
}

TEST_F(ReportPrint, PrintsTheViewAsEditedUnderTheJobTitle) {
    WriteReminderReport(*viewer.document(), "Mother's Day", {"\tAnn Smith ", "\tBo Jones "});
    viewer.show();
    viewer.RichEdit1->setFocus();
    viewer.RichEdit1->moveCursor(QTextCursor::End);
    QTest::keyClicks(viewer.RichEdit1, "  call Bo soon");
    viewer.hide();

    const QString file = printToPdf("edited.pdf");
    const QString text = pdfText(file);
    EXPECT_TRUE(text.contains("Mother's Day Reminders")) << text.toStdString();
    EXPECT_TRUE(text.contains("Ann Smith"));
    EXPECT_TRUE(text.contains("Bo Jones") && text.contains("call Bo soon")) << text.toStdString();
    EXPECT_TRUE(run("pdfinfo", {file}).contains("Holiday Reminders by Brantix"));

    RecordingPrinter rec;
    Installed<ReportPrinterSource>::install(nullptr);
    ASSERT_TRUE(PrintReport(*viewer.document(), rec));
    ASSERT_GE(rec.calls().size(), 1u);
    EXPECT_EQ(rec.calls().front().op, RecordingPrinter::Op::PrintDocument);
    EXPECT_EQ(rec.calls().front().text, "Holiday Reminders by Brantix");
    EXPECT_EQ(rec.jobsBegun(), 1);
}

TEST_F(ReportPrint, AJobThatCannotStartIsReportedNotSwallowed) {
    WriteReminderReport(*viewer.document(), "Halloween", {});
    // A printer whose job cannot start; with `none`, no printer at all.
    struct Failing : ReportPrinterSource {
        bool none = false;
        std::unique_ptr<Printer> makePrinter() override {
            if (none) return nullptr;
            auto p = std::make_unique<RecordingPrinter>();
            p->setFailBegin(true);
            return p;
        }
    } failing;
    Installed<ReportPrinterSource>::install(&failing);
    EXPECT_FALSE(viewer.File1Click());
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts().front().contains("could not be printed")) << messages.texts().front().toStdString();
    // No printer at all is told the same way.
    messages.clear();
    failing.none = true;
    EXPECT_FALSE(viewer.File1Click());
    EXPECT_EQ(messages.texts().size(), 1);
}

// Through the system's default queue. With the cups-pdf queue the file it writes carries the
// job title in its name.
TEST_F(ReportPrint, RealQueueGetsTheJobWithItsTitle) {
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    if (def.isNull()) GTEST_SKIP() << "no default printer (CUPS not set up)";
    const QStringList dirs{QDir::homePath() + "/PDF", "/root/PDF", "/var/spool/cups-pdf/ANONYMOUS"};
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);

    const QString marker = QStringLiteral("Queue%1").arg(QDateTime::currentMSecsSinceEpoch());
    WriteReminderReport(*viewer.document(), "Valentines Day", {"\tAnn " + marker + " "});
    Installed<ReportPrinterSource>::install(nullptr);
    ASSERT_TRUE(viewer.File1Click());

    QString found;
    QElapsedTimer waited;
    waited.start();
    while (found.isEmpty() && waited.elapsed() < 30000) {
        for (const QString& d : dirs) {
            for (const QFileInfo& fi :
                 QDir(d).entryInfoList({"Holiday_Reminders_by_Brantix*.pdf"}, QDir::Files)) {
                if (fi.lastModified() >= started && fi.size() > 0 && pdfText(fi.filePath()).contains(marker))
                    found = fi.filePath();
            }
        }
        if (found.isEmpty()) QThread::msleep(250);
    }
    if (found.isEmpty() && def.printerName() != "VirtualPDF")
        GTEST_SKIP() << "default printer " << def.printerName().toStdString()
                     << " does not write PDF files we can find";
    ASSERT_FALSE(found.isEmpty()) << "no Holiday_Reminders_by_Brantix*.pdf with the report appeared";
    EXPECT_TRUE(pdfText(found).contains("Valentines Day Reminders"));
}
