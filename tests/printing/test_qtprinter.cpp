// The Qt printer: PDF geometry, labels that land inside their stock's positions in the rendered
// page, documents across pages (its printing through CUPS: test_cups.cpp).
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>

#include "TestData.h"
#include "TestStocks.h"
#include "core/data/Globals.h"
#include "core/labels/LabelGen.h"
#include "core/print/PaperSize.h"
#include "printing/QtPrinter.h"

namespace {

QString RunTool(const QString& program, const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    if (exitCode) *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool HavePoppler() { return !QStandardPaths::findExecutable("pdftotext").isEmpty(); }

int PdfPages(const QString& pdf) {
    const QString info = RunTool("pdfinfo", {pdf});
    for (const QString& line : info.split('\n'))
        if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
}

AddressBlock Block(const QString& name) {
    return {name, "12 Oak St", "Dover,  DE  19901", "", ""};
}

QFont LabelFace(int points) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSize(points);
    return f;
}

}  // namespace

TEST(QtPrinterPdf, GeometryIsLetterAt300DotsWithTheWholeSheetPrintable) {
    QTemporaryDir dir;
    auto p = QtPrinter::toPdf(dir.filePath("g.pdf"));
    EXPECT_EQ(p->dpiX(), 300);
    EXPECT_EQ(p->dpiY(), 300);
    EXPECT_EQ(p->printingOffset(), QPoint(0, 0));
    EXPECT_EQ(p->physicalPageSize(), QSize(2550, 3300));
    EXPECT_EQ(p->printableSize(), QSize(2550, 3300));
    EXPECT_EQ(p->outputFile(), dir.filePath("g.pdf"));
    EXPECT_FALSE(p->isFallback());
    // Text extents grow with the text and the font, in device dots.
    p->setFont(LabelFace(10));
    const QSize a = p->textExtent("A"), five = p->textExtent("Abcde");
    EXPECT_GT(a.height(), 30);  // 10 points at 300 dpi is about 42 dots
    EXPECT_LT(a.height(), 80);
    EXPECT_GT(five.width(), 3 * a.width());
    p->setFont(LabelFace(20));
    EXPECT_GT(p->textExtent("Abcde").width(), five.width() * 3 / 2);
}

// The PDF's paper: the one asked for, else PAPERSIZE, else the paper file (PAPERCONF, else
// /etc/papersize), else Letter when the locale is C; the fallback PDF follows the same rules.
TEST(QtPrinterPdf, PaperIsTheOneAskedForElseTheSystems) {
    QTemporaryDir dir;
    const QString conf = dir.filePath("papersize");
    {
        QFile f(conf);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("# the paper of this machine\n\n  legal\n");
    }
    const QByteArray lang = qgetenv("LANG"), lcAll = qgetenv("LC_ALL");
    struct Case {
        const char* papersize;
        QString paperconf;
        std::optional<QPageSize> asked;
        bool fallback;
        QSize dots;
    };
    const QSize letter(2550, 3300), a4(2479, 3508), legal(2550, 4200);
    const Case cases[] = {
        {"a4", conf, std::nullopt, false, a4},
        {" A4 ", conf, std::nullopt, true, a4},
        {"", conf, std::nullopt, false, legal},
        {"bogus", conf, std::nullopt, true, legal},
        {"", dir.filePath("none"), std::nullopt, false, letter},
        {"a4", conf, QPageSize(QPageSize::Letter), false, letter},
        {"", conf, *PaperSizeNamed("a4"), false, a4},
    };
    qputenv("LANG", "C");
    qunsetenv("LC_ALL");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.papersize) + " " + c.paperconf.toStdString() + (c.fallback ? " fallback" : ""));
        qputenv("PAPERSIZE", c.papersize);
        qputenv("PAPERCONF", c.paperconf.toLocal8Bit());
        auto p = c.fallback ? QtPrinter::fallbackPdf() : QtPrinter::toPdf(dir.filePath("p.pdf"), c.asked);
        EXPECT_EQ(p->physicalPageSize(), c.dots);
        EXPECT_EQ(p->printableSize(), c.dots);
    }
    qputenv("PAPERSIZE", "letter");
    qunsetenv("PAPERCONF");
    qputenv("LANG", lang);
    if (!lcAll.isEmpty()) qputenv("LC_ALL", lcAll);
    EXPECT_FALSE(PaperSizeNamed("A10-ish"));
}

TEST(QtPrinterPdf, LabelsLandInsideTheirStockPositions) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils (pdftotext, pdftoppm) not installed";
    QTemporaryDir dir;
    const QString pdf = dir.filePath("labels.pdf");
    {
        auto p = QtPrinter::toPdf(pdf);
        LabelSheet sheet(*p, ThirtyPerSheet(), LabelFace(10), 2, 1);
        bool pending = false;
        for (int i = 1; i <= 32; ++i) pending = sheet.PlaceLabel(Block(QString("Person%1 Smith").arg(i)));
        ASSERT_TRUE(sheet.finish(pending));
    }
    EXPECT_EQ(PdfPages(pdf), 2);  // 29 positions on page 1 after the skipped first one
    const QString text = RunTool("pdftotext", {"-layout", pdf, "-"});
    for (int i = 1; i <= 32; ++i) EXPECT_TRUE(text.contains(QString("Person%1 Smith").arg(i))) << i;

    // Render page 1 at 75 dpi (a quarter of the 300-dpi dots) and check that all ink lies within
    // a label position, that every used position has ink and the skipped first one has none.
    int rc = 0;
    RunTool("pdftoppm", {"-png", "-r", "75", "-f", "1", "-l", "1", pdf, dir.filePath("page")}, &rc);
    ASSERT_EQ(rc, 0);
    QStringList pngs = QDir(dir.path()).entryList({"page*.png"});
    ASSERT_EQ(pngs.size(), 1);
    QImage img(dir.filePath(pngs.first()));
    ASSERT_FALSE(img.isNull());
    EXPECT_NEAR(img.width(), 638, 1);  // 8.5 in at 75 dpi
    // Label rectangles in 75-dpi pixels: left 56, pitch 824, width 787; top 150, pitch 300.
    auto labelAt = [](int x, int y, int* col, int* row) {
        const double X = x * 4.0, Y = y * 4.0;
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 10; ++r) {
                const double lx = 56 + c * 824, ty = 150 + r * 300;
                if (X >= lx - 4 && X < lx + 787 + 4 && Y >= ty - 4 && Y < ty + 300 + 4) {
                    *col = c;
                    *row = r;
                    return true;
                }
            }
        return false;
    };
    int inkOutside = 0;
    bool inked[3][10] = {};
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (qGray(img.pixel(x, y)) > 128) continue;
            int c, r;
            if (labelAt(x, y, &c, &r)) inked[c][r] = true;
            else ++inkOutside;
        }
    EXPECT_EQ(inkOutside, 0);
    EXPECT_FALSE(inked[0][0]);
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 10; ++r)
            if (c || r) {
                EXPECT_TRUE(inked[c][r]) << c << "," << r;
            }
}

TEST(QtPrinterPdf, DocumentFillsPagesWithNoEmptyPageAtTheEnd) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils not installed";
    QTemporaryDir dir;
    QTextDocument doc;
    QString html;
    for (int i = 1; i <= 150; ++i) html += QString("<p>Reminder line %1</p>").arg(i);
    doc.setHtml(html);
    const QString pdf = dir.filePath("doc.pdf");
    auto p = QtPrinter::toPdf(pdf);
    ASSERT_TRUE(p->printDocument(doc, "Holiday Reminders"));
    const int pages = PdfPages(pdf);
    EXPECT_GE(pages, 2);
    const QString all = RunTool("pdftotext", {pdf, "-"});
    EXPECT_TRUE(all.contains("Reminder line 1\n"));
    EXPECT_TRUE(all.contains("Reminder line 150"));
    const QString last = RunTool("pdftotext", {"-f", QString::number(pages), "-l",
                                           QString::number(pages), pdf, "-"});
    EXPECT_FALSE(last.trimmed().isEmpty());
    // Every line comes out exactly once: none lost or doubled at a page boundary.
    for (int i = 1; i <= 150; ++i)
        EXPECT_EQ(all.count(QString("Reminder line %1\n").arg(i)), 1) << i;
}

TEST(QtPrinterPdf, WithoutAPrinterTheRunGoesToAPdfAndTheUserIsTold) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils not installed";
    QTemporaryDir dir;
    ScopedCurrentDir cwd(dir.path());
    RecordingPrompts messages;
    QString file;
    {
        auto p = QtPrinter::fallbackPdf(&messages);
        EXPECT_TRUE(p->isFallback());
        LabelSheet sheet(*p, ThirtyPerSheet(), LabelFace(10), 1, 1, "Merrowby labels");
        ASSERT_TRUE(sheet.finish(sheet.PlaceLabel(Block("Nobody Lost"))));
        file = p->outputFile();
    }
    const QFileInfo info(file);
    EXPECT_EQ(info.absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    EXPECT_TRUE(info.fileName().startsWith("Merrowby labels 20")) << file.toStdString();
    EXPECT_TRUE(info.fileName().endsWith(".pdf"));
    EXPECT_TRUE(RunTool("pdftotext", {file, "-"}).contains("Nobody Lost"));
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts()[0].contains(QDir::toNativeSeparators(file)));
    ASSERT_FALSE(messages.statusLines().isEmpty());
    EXPECT_TRUE(messages.statusLines().back().contains(QDir::toNativeSeparators(file)));
}
