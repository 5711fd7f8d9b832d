// Printing on the system's printers through CUPS: the program's Qt printer on the default queue,
// and the tools' CUPS printer, which must see a queue as the Qt printer does and print the same
// page. test.sh sets up the cups-pdf queue VirtualPDF, whose jobs come out as PDF files under
// ~/PDF; without it these tests skip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include "TestStocks.h"
#include "core/labels/LabelGen.h"
#include "core/print/CalibrationSheet.h"
#include "pdf/CupsPrinter.h"
#include "printing/QtPrinter.h"

namespace {

const QString kQueue = QStringLiteral("VirtualPDF");

QString RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool HavePoppler() { return !QStandardPaths::findExecutable("pdftotext").isEmpty(); }

QFont LabelFace() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSize(10);
    return f;
}

// A number for this run's job titles and names, so that its PDF can be told from others: always
// six digits, so that two jobs' texts are as wide and neither tag is part of the other.
QString NewTag() {
    return QStringLiteral("%1").arg(QRandomGenerator::global()->bounded(100000, 1000000));
}

// Four labels, named after `tag`, in a job titled after it.
void PrintFourLabels(Printer& printer, const QString& tag) {
    LabelSheet sheet(printer, ThirtyPerSheet(), LabelFace(), 1, 1, "Merrowby labels " + tag);
    bool pending = false;
    for (const char* n : {"Alpha", "Bravo", "Charlie", "Delta"})
        pending = sheet.PlaceLabel(AddressBlock{QStringLiteral("%1 Cups%2").arg(n, tag), "12 Oak St", "Dover,  DE  19901", "", ""});
    ASSERT_TRUE(sheet.finish(pending));
}

// The file cups-pdf wrote for the job titled after `tag` (it writes it a little later), or "".
QString PrintedFile(const QString& tag, const QDateTime& since) {
    const QStringList outDirs = {QDir::home().filePath("PDF"), "/root/PDF", "/var/spool/cups-pdf/ANONYMOUS"};
    for (int waited = 0; waited < 300; ++waited) {
        for (const QString& d : outDirs)
            for (const QFileInfo& f : QDir(d).entryInfoList({"*.pdf"}, QDir::Files))
                if (f.lastModified() >= since && f.fileName().contains(tag) &&
                    RunTool("pdftotext", {f.filePath(), "-"}).contains("Delta Cups" + tag))
                    return f.filePath();
        QThread::msleep(100);
    }
    return QString();
}

// Each word of a PDF with its box, in reading order ("word xMin=... yMin=... xMax=... yMax=..."),
// the job's tag in a word written TAG.
std::vector<std::string> WordBoxes(const QString& pdf, const QString& tag) {
    std::vector<std::string> words;
    static const QRegularExpression word(QStringLiteral("<word ([^>]*)>([^<]*)</word>"));
    for (auto m = word.globalMatch(RunTool("pdftotext", {"-bbox", pdf, "-"})); m.hasNext();) {
        const auto w = m.next();
        words.push_back((w.captured(2).replace(tag, QStringLiteral("TAG")) + QLatin1Char(' ') + w.captured(1)).toStdString());
    }
    return words;
}

}  // namespace

TEST(QtPrinterCups, LabelRunComesOutOfTheDefaultPrinter) {
    if (QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "no default printer: CUPS is not running or has no queue "
                        "(test.sh sets up the VirtualPDF queue)";
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils not installed";
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    const QString tag = NewTag();
    {
        QtPrinter printer;
        ASSERT_FALSE(printer.isFallback());
        PrintFourLabels(printer, tag);
    }
    const QString text = RunTool("pdftotext", {PrintedFile(tag, started), "-"});
    for (const char* n : {"Alpha", "Bravo", "Charlie", "Delta"})
        EXPECT_TRUE(text.contains(QString("%1 Cups%2").arg(n, tag))) << n << " not in the PDF";
}

// The queue's paper, resolution and printable corner as the Qt printer reports them (a stored
// correction is taken about that corner), and the same text extents; a queue the system does not
// have is said so.
TEST(CupsPrinter, SeesTheQueueAsTheQtPrinterDoes) {
    QString error;
    EXPECT_FALSE(CupsPrinter::named(QStringLiteral("NoSuchQueue"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("no printer named NoSuchQueue"))) << error.toStdString();
    if (QPrinterInfo::printerInfo(kQueue).isNull()) GTEST_SKIP() << "no VirtualPDF queue (test.sh sets it up)";
    const auto qt = QtPrinter::named(kQueue);
    const auto cups = CupsPrinter::named(kQueue, &error);
    ASSERT_TRUE(qt && cups) << error.toStdString();
    EXPECT_EQ(cups->dpiX(), qt->dpiX());
    EXPECT_EQ(cups->dpiY(), qt->dpiY());
    EXPECT_EQ(cups->physicalPageSize(), qt->physicalPageSize());
    EXPECT_EQ(cups->printingOffset(), qt->printingOffset());
    EXPECT_EQ(cups->printableSize(), qt->printableSize());
    EXPECT_EQ(PrintingOffsetPoints(*cups), PrintingOffsetPoints(*qt));
    qt->setFont(LabelFace());
    cups->setFont(LabelFace());
    EXPECT_EQ(cups->textExtent(QStringLiteral("Person40 Smith")), qt->textExtent(QStringLiteral("Person40 Smith")));
}

// The same labels printed through both come out of the queue with every word in the same place.
TEST(CupsPrinter, PrintsWhereTheQtPrinterPrints) {
    if (QPrinterInfo::printerInfo(kQueue).isNull()) GTEST_SKIP() << "no VirtualPDF queue (test.sh sets it up)";
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils not installed";
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    const QString qtTag = NewTag();
    QString cupsTag = NewTag();
    while (cupsTag == qtTag) cupsTag = NewTag();
    QString error;
    {
        const auto qt = QtPrinter::named(kQueue);
        PrintFourLabels(*qt, qtTag);
        const auto cups = CupsPrinter::named(kQueue, &error);
        ASSERT_TRUE(cups) << error.toStdString();
        PrintFourLabels(*cups, cupsTag);
        EXPECT_GT(cups->jobId(), 0);
        EXPECT_TRUE(cups->error().isEmpty()) << cups->error().toStdString();
    }
    const QString qtFile = PrintedFile(qtTag, started), cupsFile = PrintedFile(cupsTag, started);
    ASSERT_FALSE(cupsFile.isEmpty()) << "the job did not come out of " << kQueue.toStdString();
    ASSERT_FALSE(qtFile.isEmpty());
    const std::vector<std::string> qtWords = WordBoxes(qtFile, qtTag), cupsWords = WordBoxes(cupsFile, cupsTag);
    ASSERT_GE(cupsWords.size(), 8);  // four names of two words, and the addresses
    EXPECT_EQ(cupsWords, qtWords);
}
