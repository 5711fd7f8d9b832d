// merrowby-admin labels: a label run printed into a PDF file or on a printer of the system, or
// previewed as pictures, for scripting and for checking a stock's layout without the program.
//
//   merrowby-admin labels DIR --occasion N [--from YYYY-MM-DD --to YYYY-MM-DD] [--stock NAME]
//                         [--start COL,ROW] [--pdf FILE [--paper SIZE] | --printer NAME]
//                         [--outlines] [--preview-png DIR [--pages A-B]] [--households]
//
// N is 1 to 8 as on the occasions page (9, the recipients picked by hand, needs the window).
// The span (occasion 8 only; default the current month) is inclusive at both ends. The stock is
// the one named (blanks at the ends ignored), else the one last chosen for printing, else the
// first in name order. The PDF is at 300 dots per inch on the paper named (A4, Letter, Legal, ...)
// or else the system's default paper (pdf/PdfPrinter.h); pages are written as they fill, so a run
// of any length needs little memory. --printer prints on a printer of the system instead,
// through CUPS (pdf/CupsPrinter.h), moved by the correction stored for it (calibrate).
// --outlines adds the stock's label outlines in light grey. --preview-png writes page-N.png (100
// pixels per inch) of the pages asked for, drawn as the preview window draws them; each page is
// laid out by streaming the run up to it. Given alone it prints nothing. --households prints one
// label per household (core/households/Households.h). The label font is the stored preference.
//
// Exit status 0 on success (the count of labels on standard output), 2 for bad arguments, 1 when
// the run fails (no stock, a stock that cannot be laid out, a file that cannot be written, a
// printer that refused the job).

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <limits>
#include <optional>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/labels/LabelFont.h"
#include "core/labels/LabelGen.h"
#include "core/labels/PageCapture.h"
#include "core/labels/PreviewPaint.h"
#include "core/occasions/Occasions.h"
#include "core/print/Calibration.h"
#include "core/print/PaperSize.h"
#include "core/print/Printers.h"
#include "pdf/CupsPrinter.h"
#include "pdf/PdfPrinter.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

extern const AdminCommand kAdminLabels;

namespace {

// What the command line asks for, checked.
struct LabelsRequest {
    QString dir, stockName, pdf, printerName, previewDir;
    std::optional<QPageSize> paper;
    bool stockGiven = false, outlines = false, households = false;
    int occasion = 0, startColumn = 1, startRow = 1;
    int firstPage = 1, lastPage = std::numeric_limits<int>::max();
    QDate from, to;
};

// Pages "A-B" or "A" (1-based); false when the text is neither.
bool pageRange(const QString& text, int* first, int* last) {
    const QStringList parts = text.split(QLatin1Char('-'));
    bool okA = false, okB = true;
    if (parts.size() < 1 || parts.size() > 2) return false;
    *first = parts[0].trimmed().toInt(&okA);
    *last = parts.size() == 2 ? parts[1].trimmed().toInt(&okB) : *first;
    return okA && okB && *first >= 1 && *last >= *first;
}

// "COL,ROW", both 1 or more; false when the text is not that.
bool startPosition(const QString& text, int* column, int* row) {
    const QStringList parts = text.split(QLatin1Char(','));
    bool okC = false, okR = false;
    if (parts.size() == 2) {
        *column = parts[0].trimmed().toInt(&okC);
        *row = parts[1].trimmed().toInt(&okR);
    }
    return okC && okR && *column >= 1 && *row >= 1;
}

// Reads and checks the arguments into *r; false with the complaint printed.
bool readRequest(const QStringList& args, LabelsRequest* r) {
    AdminArgs a("labels", kAdminLabels.usage);
    a.occasionOptions(OccasionDated);
    a.values({{"stock", "--stock needs a name"},
              {"start", "--start needs COL,ROW"},
              {"pdf", "--pdf needs a file name"},
              {"printer", "--printer needs a printer's name"},
              {"paper", "--paper needs a paper size"},
              {"preview-png", "--preview-png needs a directory"},
              {"pages", "--pages needs A-B"}});
    a.flags({"outlines", "households"});
    if (!a.parse(args, 1, 1)) return false;
    r->dir = a.plain(0);
    r->stockName = a.get(QStringLiteral("stock"));
    r->stockGiven = a.has(QStringLiteral("stock"));
    r->pdf = a.get(QStringLiteral("pdf"));
    r->printerName = a.get(QStringLiteral("printer"));
    r->previewDir = a.get(QStringLiteral("preview-png"));
    r->outlines = a.has(QStringLiteral("outlines"));
    r->households = a.has(QStringLiteral("households"));
    const QString paperName = a.get(QStringLiteral("paper")), pages = a.get(QStringLiteral("pages"));
    const QString start = a.get(QStringLiteral("start"));
    if (r->pdf.isEmpty() && r->printerName.isEmpty() && r->previewDir.isEmpty()) return a.usage(), false;
    if (!r->pdf.isEmpty() && !r->printerName.isEmpty())
        return a.fail(QStringLiteral("--pdf and --printer are two places to print; give one")), false;
    if (!paperName.isEmpty() && !(r->paper = PaperSizeNamed(paperName)))
        return a.fail(QStringLiteral("--paper needs one of ") + PaperSizeNames()), false;
    if (r->paper && !r->printerName.isEmpty())
        return a.fail(QStringLiteral("--paper applies to the PDF; a printer prints on its own paper")), false;
    if (!pages.isEmpty() && r->previewDir.isEmpty()) return a.fail(QStringLiteral("--pages goes with --preview-png")), false;
    if (!pages.isEmpty() && !pageRange(pages, &r->firstPage, &r->lastPage))
        return a.fail(QStringLiteral("--pages needs A-B, 1 <= A <= B")), false;
    if (a.occasionGiven() == OccasionSelected)
        return a.fail(QStringLiteral("occasion 9 (recipients picked by hand) needs the program's window; use 1 to 8 here")),
               false;
    if (!a.occasion(true, &r->occasion)) return false;
    if (!start.isEmpty() && !startPosition(start, &r->startColumn, &r->startRow))
        return a.fail(QStringLiteral("--start needs COL,ROW, both 1 or more")), false;
    return a.isDirectory(r->dir) && a.span(r->occasion, &r->from, &r->to);
}

int say(int code, const QString& text) {
    std::fprintf(stderr, "merrowby-admin: labels: %s\n", text.toLocal8Bit().constData());
    return code;
}

bool fileIn(const QString& dir, const QString& name) {
    const QStringList found = QDir(dir).entryList({name}, QDir::Files);  // any letter case
    return !found.isEmpty();
}

// Loads into LabelRec the stock named `name` (ends trimmed; exact, else ignoring letter case),
// or with no name the stock SettingsRec.LabID names, else the first. False when none matches
// (*opened tells when LABELS could not be opened).
bool loadStock(const QString& name, DataStatus* opened) {
    *opened = OpenLabels();
    if (!*opened) return false;
    const QString wanted = TrimText(name.isEmpty() ? SettingsRec.LabID : name);
    bool found = false, foundLoose = false;
    TLabelRecord first, loose;
    bool haveFirst = false;
    for (; LastStatus == 0 && !found; LastStatus = LabelsTable->skip()) {
        LoadLabelRec();
        if (!haveFirst) first = LabelRec, haveFirst = true;
        const QString stored = TrimText(LabelRec.Name);
        if (stored == wanted) found = true;
        else if (!foundLoose && stored.compare(wanted, Qt::CaseInsensitive) == 0)
            loose = LabelRec, foundLoose = true;
    }
    (void)CloseTable(LabelsTable);  // read only
    if (found) return true;
    if (foundLoose) return LabelRec = loose, true;
    if (name.isEmpty() && haveFirst) return LabelRec = first, true;
    return false;
}

// The preview's resolution: pixels per inch of the sheet.
constexpr int kPreviewDpi = 100;

// Writes page-N.png into r.previewDir for the pages asked for (clipped to the run's length),
// each laid out by streaming the run onto a PageCapture as the preview window does. Returns the
// pages written (*runPages: the run's length), or -1 with *error set.
int writePreview(Printer& metrics, const LabelsRequest& r, int* runPages, QString* error) {
    if (!QDir().mkpath(r.previewDir)) return *error = QStringLiteral("cannot make the directory ") + r.previewDir, -1;
    PreviewPage page;
    page.outlines = LabelOutlines(LabelRec, metrics);
    const double scale = double(kPreviewDpi) / std::max(1, metrics.dpiX());
    int pages = r.lastPage, written = 0;
    *runPages = 0;
    for (int n = r.firstPage; n <= std::min(r.lastPage, pages); ++n) {
        PageCapture capture(metrics, n);
        LabelRun run(capture, LabelRec, LabelFont, r.startColumn, r.startRow);
        run.setHouseholds(r.households);
        if (const RunStatus done = run.printOccasion(r.occasion, r.from, r.to); !done) {
            *error = done.reason;
            return -1;
        }
        pages = *runPages = capture.pages();
        if (n > pages) break;
        page.number = n;
        page.texts = capture.texts();
        page.lines = capture.lines();
        const QString file = QDir(r.previewDir).filePath(QStringLiteral("page-%1.png").arg(n));
        if (!RenderPreviewPage(page, metrics, scale).save(file, "PNG"))
            return *error = QStringLiteral("cannot write ") + file, -1;
        ++written;
    }
    return written;
}

// The preview, when asked for: 0 when done, 1 when it failed (said).
int preview(Printer& metrics, const LabelsRequest& r) {
    QString error;
    int pages = 0;
    const int written = writePreview(metrics, r, &pages, &error);
    if (written < 0) return say(1, error);
    if (pages == 0) std::printf("no labels for occasion %d; no preview written\n", r.occasion);
    else if (written == 0) return say(1, QStringLiteral("the run has %1 pages; --pages starts after them").arg(pages));
    else std::printf("%d of %d preview pages written to %s\n", written, pages, r.previewDir.toLocal8Bit().constData());
    std::fflush(stdout);
    return 0;
}

// Prints the run on `printer` (moved by the printer's stored correction); the exit status.
int print(AdminSession& session, PdfPrinter& printer, const LabelsRequest& r) {
    // A printer's stored correction moves what it prints; a PDF file has none.
    PrinterCalibration cal;
    if (!r.printerName.isEmpty()) {
        bool found = false;
        const xbase::Status s = LoadPrinterCalibration(session.library(), r.printerName.toStdString(), &cal, &found);
        if (!s.ok()) return say(1, QString::fromStdString(s.toString()));
        if (found && !cal.isIdentity())
            std::printf("correction for %s: dx %.3f pt, dy %.3f pt, scale %.5f\n", r.printerName.toLocal8Bit().constData(),
                        cal.dxPt, cal.dyPt, cal.scale);
    }
    std::unique_ptr<Printer> target;
    if (r.outlines) target = std::make_unique<OutlinedPrinter>(printer, LabelRec, cal);
    else target = std::make_unique<CalibratedPrinter>(printer, cal);
    const QString where = r.printerName.isEmpty() ? r.pdf : r.printerName;

    // A run on sheets remembers where its last sheet stopped (Sheets.dbf), a write that waits
    // its turn behind the program like any other. While the program holds the book the labels
    // are still printed; only the place is not remembered, and the user is told.
    QString notRemembered;
    const bool lockRefused = !LabelRec.Continuous && !session.beginWriting(&notRemembered);
    LabelRun run(*target, LabelRec, LabelFont, r.startColumn, r.startRow);
    if (!run.refusal().isEmpty()) return say(1, run.refusal());
    if (lockRefused) run.setRemembersSheet(false);
    run.setHouseholds(r.households);
    const RunStatus done = run.printOccasion(r.occasion, r.from, r.to);
    if (!run.opened()) return session.fail(run.opened());
    if (!done) {
        const auto* cups = dynamic_cast<const CupsPrinter*>(&printer);
        const QString why = cups && !cups->error().isEmpty() ? QStringLiteral(": ") + cups->error() : QString();
        return say(1, done.reason + QStringLiteral(" (") + where + QLatin1Char(')') + why);
    }
    if (run.labelsPlaced() == 0)
        std::printf(r.printerName.isEmpty() ? "no labels for occasion %d; no file written\n"
                                            : "no labels for occasion %d; nothing printed\n",
                    r.occasion);
    else
        std::printf("%lld labels written to %s\n", run.labelsPlaced(), where.toLocal8Bit().constData());
    std::fflush(stdout);
    if (run.labelsPlaced() > 0 && lockRefused)
        say(0, QStringLiteral("where the last sheet stopped was not remembered: ") + notRemembered);
    else if (!run.sheetNote().isEmpty())
        say(0, QStringLiteral("where the last sheet stopped was not remembered: ") + run.sheetNote());
    return 0;
}

int run(const QStringList& args) {
    LabelsRequest r;
    if (!readRequest(args, &r)) return 2;

    // Reads only, until the run turns out to remember where its sheet stopped: the program may be
    // open on the same book.
    AdminSession session("labels", r.dir, AdminSession::Access::ReadOnly);
    if (fileIn(r.dir, QStringLiteral("Mrby1.dbf"))) {
        const DataStatus settings = OpenSettings();
        if (!settings) return session.fail(settings);
        if (LastStatus == 0) LoadSettings();
        (void)CloseTable(SettingsTable);  // read only
    }
    ApplyLabelFontPreference();
    DataStatus stocks;
    if (!loadStock(r.stockGiven ? r.stockName : QString(), &stocks)) {
        if (!stocks) return session.fail(stocks);
        return say(1, r.stockGiven ? QStringLiteral("no label stock named ") + r.stockName
                                   : QString::fromLatin1(kNoStockMessage));
    }
    if (r.startColumn > LabelRec.nAcross && LabelRec.nAcross >= 1)
        return say(2, QStringLiteral("the stock has %1 labels across; --start column %2 is beyond it")
                          .arg(LabelRec.nAcross)
                          .arg(r.startColumn));

    // Where the run goes: a printer of the system, the PDF, or (a preview only) nowhere, laid
    // out for a PDF of the paper asked for.
    std::unique_ptr<PdfPrinter> printer;
    if (!r.printerName.isEmpty()) {
        QString why;
        printer = CupsPrinter::named(r.printerName, &why);
        if (!printer) return say(1, why);
    } else {
        printer = PdfPrinter::toFile(r.pdf.isEmpty() ? QString() : QFileInfo(r.pdf).absoluteFilePath(),
                                     r.paper ? *r.paper : DefaultPaperSize());
    }
    if (const QString refusal = CheckStock(LabelRec, *printer); !refusal.isEmpty()) return say(1, refusal);

    if (!r.previewDir.isEmpty()) {
        if (const int rc = preview(*printer, r); rc != 0) return rc;
        if (r.pdf.isEmpty() && r.printerName.isEmpty()) return 0;
    }
    return print(session, *printer, r);
}

}  // namespace

extern const AdminCommand kAdminLabels = {
    "labels", true, run,
    "merrowby-admin labels DIR --occasion N [--from YYYY-MM-DD --to YYYY-MM-DD] [--stock NAME] "
    "[--start COL,ROW] [--pdf FILE [--paper A4|Letter|Legal] | --printer NAME] [--outlines] "
    "[--preview-png DIR [--pages A-B]] [--households]"};
