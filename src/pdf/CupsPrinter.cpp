#include "pdf/CupsPrinter.h"

#include <QDir>
#include <QTemporaryFile>

std::unique_ptr<CupsPrinter> CupsPrinter::named(const QString& name, QString* error) {
    std::optional<CupsQueue> queue = CupsQueue::named(name, error);
    if (!queue) return nullptr;
    // The spool file is made (and its name taken) now; the PDF writer fills it from beginDoc on.
    auto spool = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("merrowby-XXXXXX.pdf")));
    if (!spool->open()) {
        *error = QStringLiteral("cannot make a temporary file for the print job: ") + spool->errorString();
        return nullptr;
    }
    spool->close();
    return std::unique_ptr<CupsPrinter>(new CupsPrinter(std::move(*queue), std::move(spool)));
}

CupsPrinter::CupsPrinter(CupsQueue queue, std::unique_ptr<QTemporaryFile> spool)
    : PdfPrinter(spool->fileName(), queue.pageLayout(), kDpi), queue_(std::move(queue)), spool_(std::move(spool)) {}

CupsPrinter::~CupsPrinter() = default;

void CupsPrinter::setTitle(const QString& title) {
    PdfPrinter::setTitle(title);
    title_ = title;
}

bool CupsPrinter::endDoc() {
    error_.clear();
    if (!PdfPrinter::endDoc()) {
        error_ = QStringLiteral("the print job could not be written to ") + spool_->fileName();
        return false;
    }
    jobId_ = queue_.submit(spool_->fileName(), title_, &error_);
    return jobId_ != 0;
}
