#include "printing/QtPrinter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

#include "core/run/RunContext.h"
#include "core/print/PaperSize.h"

namespace {

// A file name for a fallback PDF: the job title (characters a file name cannot hold replaced)
// and the time, in the working directory or, when that cannot be written, the home directory.
QString fallbackFileName(const QString& title) {
    QString base = title.isEmpty() ? QStringLiteral("Merrowby") : title;
    for (QChar& c : base)
        if (c == '/' || c == '\\' || c == ':' || c < QChar(' ')) c = '-';
    const QString name =
        base + QLatin1Char(' ') + QDateTime::currentDateTime().toString("yyyy-MM-dd hh-mm-ss") +
        QStringLiteral(".pdf");
    QDir dir = QDir::current();
    if (!QFileInfo(dir.absolutePath()).isWritable()) dir = QDir::home();
    return dir.absoluteFilePath(name);
}

}  // namespace

QtPrinter::QtPrinter(Prompts* prompts) : prompts_(prompts) {
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
        if (!all.isEmpty()) info = all.first();
    }
    if (info.isNull()) {
        pdf_ = fallback_ = true;
        use(std::make_unique<QPrinter>(QPrinter::HighResolution));
        setUpPdf(DefaultPaperSize());
    } else {
        use(std::make_unique<QPrinter>(info, QPrinter::HighResolution));
    }
}

QtPrinter::QtPrinter(FallbackTag, Prompts* prompts) : prompts_(prompts) {
    use(std::make_unique<QPrinter>(QPrinter::HighResolution));
    pdf_ = fallback_ = true;
    setUpPdf(DefaultPaperSize());
}

std::unique_ptr<QtPrinter> QtPrinter::fallbackPdf(Prompts* prompts) {
    return std::unique_ptr<QtPrinter>(new QtPrinter(FallbackTag{}, prompts));
}

std::unique_ptr<QtPrinter> QtPrinter::named(const QString& name, Prompts* prompts) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    if (info.isNull()) return nullptr;
    return std::unique_ptr<QtPrinter>(new QtPrinter(info, prompts));
}

QtPrinter::QtPrinter(const QPrinterInfo& info, Prompts* prompts) : prompts_(prompts) {
    use(std::make_unique<QPrinter>(info, QPrinter::HighResolution));
}

QtPrinter::QtPrinter(PdfTag, const QString& file, const QPageSize& paper) : file_(file) {
    use(std::make_unique<QPrinter>(QPrinter::HighResolution));
    pdf_ = true;
    setUpPdf(paper);
    printer_->setOutputFileName(file_);
}

QtPrinter::~QtPrinter() = default;

void QtPrinter::use(std::unique_ptr<QPrinter> printer) {
    printer_ = printer.get();
    setDevice(std::move(printer));
}

std::unique_ptr<QtPrinter> QtPrinter::toPdf(const QString& pdfFile, const std::optional<QPageSize>& paper) {
    return std::unique_ptr<QtPrinter>(new QtPrinter(PdfTag{}, pdfFile, paper ? *paper : DefaultPaperSize()));
}

void QtPrinter::setUpPdf(const QPageSize& paper) {
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setResolution(300);
    printer_->setPageSize(paper);
    printer_->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    printer_->setFullPage(true);
}

QString QtPrinter::printerName() const { return pdf_ ? QString() : printer_->printerName(); }

void QtPrinter::setTitle(const QString& title) {
    printer_->setDocName(title);
    if (fallback_) {
        file_ = fallbackFileName(title);
        printer_->setOutputFileName(file_);
    }
}

void QtPrinter::discard() { printer_->abort(); }

bool QtPrinter::endDoc() {
    const bool ended = PagedPrinter::endDoc();
    if (ended && fallback_) tellWhereTheFileWent();
    return ended;
}

void QtPrinter::tellWhereTheFileWent() const {
    const QString text = QStringLiteral("No printer is set up on this system. The output was "
                                        "saved as a PDF file:\r\n") +
                         QDir::toNativeSeparators(file_);
    if (!prompts_) return;
    prompts_->status(text.section(QStringLiteral("\r\n"), 0, 0) + ' ' + QDir::toNativeSeparators(file_));
    prompts_->info(text);
}
