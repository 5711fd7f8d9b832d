#pragma once
// The report viewer: a maximised modal window whose rich-text view shows a reminder report,
// lets the user touch it up, and prints it ("&Print", the only item of its menu bar) on the
// default printer with no dialog, as the job "Holiday Reminders by Brantix".
//
// It knows nothing of reminders: the reminder run writes into document() and calls ShowModal().
// The view is a QPlainTextEdit: it keeps character styles (the bold italic heading) and lays out
// only what is on screen, so a report of a hundred thousand lines opens at once.
// Printing goes through the printer layer (core/print/Printer.h); tests replace the printer with
// SetReportPrinterFactory.

#include <QDialog>
#include <memory>

class Printer;
class QAction;
class QMenuBar;
class QTextDocument;
class QPlainTextEdit;

inline constexpr const char* kReportJobTitle = "Holiday Reminders by Brantix";

// Where the viewer prints. The method gives the system's default printer (or the PDF-file
// fallback when there is none); the viewer reaches it through Installed<ReportPrinterSource>
// (gui/common/Installed.h), where a test installs a printer of its own.
class ReportPrinterSource {
public:
    virtual ~ReportPrinterSource() = default;
    // The printer for one job; null when there is none.
    virtual std::unique_ptr<Printer> makePrinter();
};

// Prints the whole of `doc` on `printer` as one job titled kReportJobTitle. False when the job
// could not start.
bool PrintReport(QTextDocument& doc, Printer& printer);

class TREReport : public QDialog {
    Q_OBJECT
public:
    explicit TREReport(QWidget* parent = nullptr);

    QMenuBar* MainMenu1 = nullptr;
    QAction* File1 = nullptr;       // "&Print"
    QPlainTextEdit* RichEdit1 = nullptr;  // the report view

    QTextDocument* document() const;

    // Shows the window maximised and modal; returns when the user closes it.
    void ShowModal();

public slots:
    void FormShow();
    // Prints the view as it stands, user edits included. False when nothing could be printed
    // (the user has been told).
    bool File1Click();

protected:
    void showEvent(QShowEvent* event) override;
};
