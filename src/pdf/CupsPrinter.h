#pragma once
// A printer of the system, printed on through CUPS without Qt's print support: the pages are
// drawn into a temporary PDF file with the queue's geometry (CupsQueue::pageLayout) at 1200 dots
// per inch, as Qt's printer draws for the same queue, and the file goes to the queue as one job
// when the document ends.

#include <QString>
#include <memory>

#include "pdf/CupsQueue.h"
#include "pdf/PdfPrinter.h"

class QTemporaryFile;

class CupsPrinter : public PdfPrinter {
public:
    // Qt's printers draw at 1200 dots per inch.
    static constexpr int kDpi = 1200;

    // A printer on the queue called `name`; null, with *error saying why, when there is no such
    // queue or it cannot be asked (CupsQueue::named), or no temporary file can be made.
    static std::unique_ptr<CupsPrinter> named(const QString& name, QString* error);
    ~CupsPrinter() override;

    const CupsQueue& queue() const { return queue_; }
    // Ends the document and submits it; false when the file is not whole or the queue refused
    // the job (error() says which).
    bool endDoc() override;
    // Nothing is left in a file for the user: the job went to the printer.
    QString outputFile() const override { return QString(); }
    // Why the last job did not reach the queue; empty when it did.
    const QString& error() const { return error_; }
    // The number of the last job submitted (0 before one was).
    int jobId() const { return jobId_; }

protected:
    void setTitle(const QString& title) override;

private:
    CupsPrinter(CupsQueue queue, std::unique_ptr<QTemporaryFile> spool);

    CupsQueue queue_;
    std::unique_ptr<QTemporaryFile> spool_;
    QString title_;
    QString error_;
    int jobId_ = 0;
};
