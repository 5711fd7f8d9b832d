#include "printing/QtPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QTextFrame>

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
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        setUpPdf(DefaultPaperSize());
    } else {
        printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
}

QtPrinter::QtPrinter(FallbackTag, Prompts* prompts) : prompts_(prompts) {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
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

QtPrinter::QtPrinter(const QPrinterInfo& info, Prompts* prompts)
    : printer_(std::make_unique<QPrinter>(info, QPrinter::HighResolution)), prompts_(prompts) {}

QtPrinter::QtPrinter(PdfTag, const QString& file, const QPageSize& paper) : file_(file) {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    pdf_ = true;
    setUpPdf(paper);
    printer_->setOutputFileName(file_);
}

QtPrinter::~QtPrinter() {
    if (painter_ && painter_->isActive()) painter_->end();
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

int QtPrinter::dpiX() const { return printer_->resolution(); }
int QtPrinter::dpiY() const { return printer_->resolution(); }

QPoint QtPrinter::printingOffset() const {
    if (printer_->fullPage()) return {0, 0};
    const QRectF paper = printer_->paperRect(QPrinter::DevicePixel);
    const QRectF page = printer_->pageRect(QPrinter::DevicePixel);
    return (page.topLeft() - paper.topLeft()).toPoint();
}

QSize QtPrinter::physicalPageSize() const {
    return printer_->paperRect(QPrinter::DevicePixel).size().toSize();
}

QSize QtPrinter::printableSize() const {
    return printer_->pageRect(QPrinter::DevicePixel).size().toSize();
}

const QFontMetricsF& QtPrinter::metrics() const {
    if (!metrics_) metrics_.emplace(font_, printer_.get());
    return *metrics_;
}

void QtPrinter::setFont(const QFont& font) {
    font_ = font;
    metrics_.reset();
    if (painter_ && painter_->isActive()) painter_->setFont(font_);
}

QSize QtPrinter::textExtent(const QString& text) const {
    const QFontMetricsF& fm = metrics();
    return QSize(int(fm.horizontalAdvance(text)), int(fm.height()));
}

void QtPrinter::textOut(int x, int y, const QString& text) {
    if (!painter_ || !painter_->isActive() || text.isEmpty()) return;
    // y is the top of the text cell; QPainter draws on the baseline.
    painter_->drawText(QPointF(x, y + metrics().ascent()), text);
}

void QtPrinter::drawLine(int x1, int y1, int x2, int y2) {
    if (!painter_ || !painter_->isActive()) return;
    const QPen text = painter_->pen();
    painter_->setPen(QPen(lineColor_, 0.25 * printer_->resolution() / 72.0, Qt::SolidLine, Qt::FlatCap));
    painter_->drawLine(QPointF(x1, y1), QPointF(x2, y2));
    painter_->setPen(text);
}

bool QtPrinter::beginDoc(const QString& title) {
    printer_->setDocName(title);
    if (fallback_) {
        file_ = fallbackFileName(title);
        printer_->setOutputFileName(file_);
    }
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(printer_.get())) {
        painter_.reset();
        return false;
    }
    painter_->setFont(font_);
    return true;
}

bool QtPrinter::newPage() {
    return painter_ && painter_->isActive() && printer_->newPage();
}

bool QtPrinter::endDoc() {
    if (!painter_) return false;
    const bool ended = painter_->end();
    painter_.reset();
    if (ended && fallback_) tellWhereTheFileWent();
    return ended;
}

void QtPrinter::abortDoc() {
    if (!painter_) return;
    printer_->abort();
    if (painter_->isActive()) painter_->end();
    painter_.reset();
}

void QtPrinter::tellWhereTheFileWent() const {
    const QString text = QStringLiteral("No printer is set up on this system. The output was "
                                        "saved as a PDF file:\r\n") +
                         QDir::toNativeSeparators(file_);
    if (!prompts_) return;
    prompts_->status(text.section(QStringLiteral("\r\n"), 0, 0) + ' ' + QDir::toNativeSeparators(file_));
    prompts_->info(text);
}

bool QtPrinter::printDocument(QTextDocument& doc, const QString& title) {
    if (!beginDoc(title)) return false;
    // Lay a copy out at the printer's resolution, one page per printable area, with no margins
    // of our own; then draw each page through a clip of its own.
    std::unique_ptr<QTextDocument> copy(doc.clone());
    copy->documentLayout()->setPaintDevice(printer_.get());
    const QSizeF page = printableSize();
    copy->setPageSize(page);
    QTextFrameFormat frame = copy->rootFrame()->frameFormat();
    frame.setMargin(0);
    frame.setPadding(0);
    copy->rootFrame()->setFrameFormat(frame);
    const int pages = std::max(1, copy->pageCount());
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !printer_->newPage()) {
            abortDoc();
            return false;
        }
        painter_->save();
        painter_->translate(0, -i * page.height());
        copy->drawContents(painter_.get(), QRectF(0, i * page.height(), page.width(), page.height()));
        painter_->restore();
    }
    return endDoc();
}
