// The tools' PDF printer (QPdfWriter) against the program's (QPrinter): the same geometry and the
// same file, byte for byte apart from the creation date, for label sheets with outlines and for a
// document across pages, on the papers the tools offer.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>

#include "TestStocks.h"
#include "core/labels/LabelGen.h"
#include "core/labels/PageCapture.h"
#include "core/print/PaperSize.h"
#include "pdf/PdfPrinter.h"
#include "printing/QtPrinter.h"

namespace {

QByteArray withoutCreationDate(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return QString::fromLatin1(f.readAll())
        .replace(QRegularExpression(QStringLiteral("/CreationDate \\([^)]*\\)")), QStringLiteral("/CreationDate ()"))
        .toLatin1();
}

// Forty labels from the third row's second label on, with the stock's outlines: two pages, the
// last row part-filled.
void printLabels(Printer& printer) {
    OutlinedPrinter outlined(printer, ThirtyPerSheet());
    QFont face(QStringLiteral("DejaVu Sans"));
    face.setPointSize(10);
    LabelSheet sheet(outlined, ThirtyPerSheet(), face, 2, 3);
    bool pending = false;
    for (int i = 1; i <= 40; ++i)
        pending = sheet.PlaceLabel(AddressBlock{QStringLiteral("Person%1 Smith").arg(i), "12 Oak St", "Dover,  DE  19901", "", ""});
    ASSERT_TRUE(sheet.finish(pending));
}

void printDocument(Printer& printer) {
    QTextDocument doc;
    QString html;
    for (int i = 1; i <= 120; ++i) html += QStringLiteral("<p>Reminder line %1</p>").arg(i);
    doc.setHtml(html);
    ASSERT_TRUE(printer.printDocument(doc, QStringLiteral("Holiday Reminders")));
}

}  // namespace

TEST(PdfPrinter, WritesTheFileTheQtPrinterWrites) {
    QTemporaryDir dir;
    for (const char* paperName : {"Letter", "A4", "Legal"}) {
        const QPageSize paper = *PaperSizeNamed(QLatin1String(paperName));
        using Print = void (*)(Printer&);
        for (const auto& [what, print] : {std::pair<const char*, Print>{"labels", printLabels}, {"document", printDocument}}) {
            SCOPED_TRACE(std::string(paperName) + " " + what);
            const QString qtFile = dir.filePath(QStringLiteral("qt.pdf")), ownFile = dir.filePath(QStringLiteral("own.pdf"));
            auto qt = QtPrinter::toPdf(qtFile, paper);
            auto own = PdfPrinter::toFile(ownFile, paper);
            EXPECT_EQ(own->dpiX(), qt->dpiX());
            EXPECT_EQ(own->dpiY(), qt->dpiY());
            EXPECT_EQ(own->printingOffset(), qt->printingOffset());
            EXPECT_EQ(own->physicalPageSize(), qt->physicalPageSize());
            EXPECT_EQ(own->printableSize(), qt->printableSize());
            EXPECT_EQ(own->outputFile(), ownFile);
            print(*qt);
            print(*own);
            qt.reset();
            own.reset();
            const QByteArray expected = withoutCreationDate(qtFile);
            ASSERT_GT(expected.size(), 1000);
            EXPECT_TRUE(withoutCreationDate(ownFile) == expected) << "the two PDF files differ";
        }
    }
}
