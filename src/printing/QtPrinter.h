#pragma once
// The printer layer on Qt's QPrinter: how the program's windows print.
//
// QtPrinter() prints to the system's default printer, without a dialog. When the system has no
// printer at all it writes a PDF file instead, named after the job and the time, in the working
// directory (or the home directory when that is not writable), and when the job ends it tells
// the user where the file is: on the main window's status bar and in a message box. A run is
// therefore never lost for want of a printer.
//
// QtPrinter::toPdf(file) always writes a PDF file at 300 dots per inch, the whole sheet printable
// (offset 0), on the paper asked for or else the system's default paper (core/print/PaperSize.h, US
// Letter when the system names none); so does the fallback. Pages go out to the file as they are
// finished, so a long job holds one page at a time. The drawing itself is PagedPrinter's, which
// the PDF printer of the tools (pdf/PdfPrinter.h) shares.

#include <QPageSize>
#include <QString>
#include <memory>
#include <optional>

#include "pdf/PagedPrinter.h"

class Prompts;
class QPrinter;
class QPrinterInfo;

class QtPrinter : public PagedPrinter {
public:
    // `prompts` (may be null) is told where the output went when it had to go to a PDF file.
    explicit QtPrinter(Prompts* prompts = nullptr);
    ~QtPrinter() override;
    static std::unique_ptr<QtPrinter> toPdf(const QString& pdfFile,
                                            const std::optional<QPageSize>& paper = std::nullopt);
    // What QtPrinter() becomes on a system without printers (also for tests on systems with one).
    static std::unique_ptr<QtPrinter> fallbackPdf(Prompts* prompts = nullptr);
    // The system's printer called `name`, or null when there is none by that name.
    static std::unique_ptr<QtPrinter> named(const QString& name, Prompts* prompts = nullptr);

    // True when this printer writes a PDF file because the system has no printer.
    bool isFallback() const { return fallback_; }
    // The printer's name ("" for a PDF file).
    QString printerName() const;

    bool endDoc() override;
    QString outputFile() const override { return file_; }

protected:
    void setTitle(const QString& title) override;
    void discard() override;

private:
    struct PdfTag {};
    struct FallbackTag {};
    QtPrinter(PdfTag, const QString& file, const QPageSize& paper);
    QtPrinter(FallbackTag, Prompts* prompts);
    QtPrinter(const QPrinterInfo& info, Prompts* prompts);
    void use(std::unique_ptr<QPrinter> printer);
    void setUpPdf(const QPageSize& paper);
    void tellWhereTheFileWent() const;

    QPrinter* printer_ = nullptr;  // the device, owned by the base
    bool pdf_ = false;       // writing a file (by request or for want of a printer)
    bool fallback_ = false;  // ... for want of a printer
    QString file_;
    Prompts* prompts_ = nullptr;
};
