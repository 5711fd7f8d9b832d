#include "AdminLabels.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <limits>
#include <optional>

#include "AdminSession.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/labels/LabelFont.h"
#include "core/labels/LabelGen.h"
#include "core/labels/PageCapture.h"
#include "core/occasions/Occasions.h"
#include "core/labels/PreviewPaint.h"
#include "core/print/Printers.h"
#include "core/print/Calibration.h"
#include "core/print/PaperSize.h"
#include "printing/QtPrinter.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

int say(int code, const QString& text) {
    std::fprintf(stderr, "merrowby-admin: labels: %s\n", text.toLocal8Bit().constData());
    return code;
}
int usageError(const QString& text) { return say(2, text); }

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

// Pages "A-B" or "A" (1-based); false when the text is neither.
bool pageRange(const QString& text, int* first, int* last) {
    const QStringList parts = text.split(QLatin1Char('-'));
    bool okA = false, okB = true;
    if (parts.size() < 1 || parts.size() > 2) return false;
    *first = parts[0].trimmed().toInt(&okA);
    *last = parts.size() == 2 ? parts[1].trimmed().toInt(&okB) : *first;
    return okA && okB && *first >= 1 && *last >= *first;
}

// The preview's resolution: pixels per inch of the sheet.
constexpr int kPreviewDpi = 100;

// Writes page-N.png into `dir` for the pages first..last of the run (clipped to its length),
// each laid out by streaming the run onto a PageCapture as the preview window does. Returns the
// pages written (*pages: the run's length), or -1 with *error set.
int writePreview(Printer& metrics, const QString& dir, int first, int last, int occasion, int startColumn,
                 int startRow, bool households, int* runPages, QString* error) {
    if (!QDir().mkpath(dir)) return *error = QStringLiteral("cannot make the directory ") + dir, -1;
    PreviewPage page;
    page.outlines = LabelOutlines(LabelRec, metrics);
    const double scale = double(kPreviewDpi) / std::max(1, metrics.dpiX());
    int pages = last, written = 0;
    *runPages = 0;
    for (int n = first; n <= std::min(last, pages); ++n) {
        PageCapture capture(metrics, n);
        LabelRun run(capture, LabelRec, LabelFont, startColumn, startRow);
        run.setHouseholds(households);
        if (!run.printOccasion(occasion, SpanStart, SpanEnd)) {
            *error = run.error();
            return -1;
        }
        pages = *runPages = capture.pages();
        if (n > pages) break;
        page.number = n;
        page.texts = capture.texts();
        page.lines = capture.lines();
        const QString file = QDir(dir).filePath(QStringLiteral("page-%1.png").arg(n));
        if (!RenderPreviewPage(page, metrics, scale).save(file, "PNG"))
            return *error = QStringLiteral("cannot write ") + file, -1;
        ++written;
    }
    return written;
}

}  // namespace

int AdminLabels(const QStringList& args) {
    QString dir, fromText, toText, stockName, startText, pdf, printerName, paperName, previewDir, pagesText;
    int occasion = 0;
    bool stockGiven = false, outlines = false, households = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) return false;
            into = args.at(++i);
            return true;
        };
        QString v;
        if (a == QLatin1String("--occasion")) {
            bool ok = false;
            if (!value(v) || (occasion = v.toInt(&ok), !ok))
                return usageError(QStringLiteral("--occasion needs a number from 1 to 8"));
        } else if (a == QLatin1String("--from")) {
            if (!value(fromText)) return usageError(QStringLiteral("--from needs a date"));
        } else if (a == QLatin1String("--to")) {
            if (!value(toText)) return usageError(QStringLiteral("--to needs a date"));
        } else if (a == QLatin1String("--stock")) {
            if (!value(stockName)) return usageError(QStringLiteral("--stock needs a name"));
            stockGiven = true;
        } else if (a == QLatin1String("--start")) {
            if (!value(startText)) return usageError(QStringLiteral("--start needs COL,ROW"));
        } else if (a == QLatin1String("--pdf")) {
            if (!value(pdf)) return usageError(QStringLiteral("--pdf needs a file name"));
        } else if (a == QLatin1String("--printer")) {
            if (!value(printerName)) return usageError(QStringLiteral("--printer needs a printer's name"));
        } else if (a == QLatin1String("--paper")) {
            if (!value(paperName)) return usageError(QStringLiteral("--paper needs a paper size"));
        } else if (a == QLatin1String("--preview-png")) {
            if (!value(previewDir)) return usageError(QStringLiteral("--preview-png needs a directory"));
        } else if (a == QLatin1String("--pages")) {
            if (!value(pagesText)) return usageError(QStringLiteral("--pages needs A-B"));
        } else if (a == QLatin1String("--outlines")) {
            outlines = true;
        } else if (a == QLatin1String("--households")) {
            households = true;
        } else if (a.startsWith(QLatin1String("--")) || !dir.isEmpty()) {
            return usageError(QStringLiteral("unexpected argument ") + a +
                              QStringLiteral("\nusage: ") + QLatin1String(kAdminLabelsUsage));
        } else {
            dir = a;
        }
    }
    if (dir.isEmpty() || (pdf.isEmpty() && printerName.isEmpty() && previewDir.isEmpty()))
        return usageError(QStringLiteral("usage: ") + QLatin1String(kAdminLabelsUsage));
    if (!pdf.isEmpty() && !printerName.isEmpty())
        return usageError(QStringLiteral("--pdf and --printer are two places to print; give one"));
    std::optional<QPageSize> paper;
    if (!paperName.isEmpty() && !(paper = PaperSizeNamed(paperName)))
        return usageError(QStringLiteral("--paper needs one of ") + PaperSizeNames());
    if (paper && !printerName.isEmpty())
        return usageError(QStringLiteral("--paper applies to the PDF; a printer prints on its own paper"));
    int firstPage = 1, lastPage = std::numeric_limits<int>::max();
    if (!pagesText.isEmpty() && (previewDir.isEmpty() || !pageRange(pagesText, &firstPage, &lastPage)))
        return usageError(previewDir.isEmpty() ? QStringLiteral("--pages goes with --preview-png")
                                               : QStringLiteral("--pages needs A-B, 1 <= A <= B"));
    if (occasion == OccasionSelected)
        return usageError(QStringLiteral("occasion 9 (recipients picked by hand) needs the "
                                         "program's window; use 1 to 8 here"));
    if (occasion < 1 || occasion > OccasionDated)
        return usageError(QStringLiteral("--occasion needs a number from 1 to 8"));
    if (fromText.isEmpty() != toText.isEmpty())
        return usageError(QStringLiteral("--from and --to go together"));
    if (!fromText.isEmpty() && occasion != OccasionDated)
        return usageError(QStringLiteral("--from and --to apply to occasion 8 only"));
    int startColumn = 1, startRow = 1;
    if (!startText.isEmpty()) {
        const QStringList parts = startText.split(QLatin1Char(','));
        bool okC = false, okR = false;
        if (parts.size() == 2) {
            startColumn = parts[0].trimmed().toInt(&okC);
            startRow = parts[1].trimmed().toInt(&okR);
        }
        if (!okC || !okR || startColumn < 1 || startRow < 1)
            return usageError(QStringLiteral("--start needs COL,ROW, both 1 or more"));
    }
    if (!QFileInfo(dir).isDir()) return usageError(QStringLiteral("no such directory: ") + dir);

    SetDefaultSpan();
    if (!fromText.isEmpty()) {
        const QDate from = QDate::fromString(fromText, Qt::ISODate);
        const QDate to = QDate::fromString(toText, Qt::ISODate);
        if (!from.isValid()) return usageError(QStringLiteral("bad date ") + fromText);
        if (!to.isValid()) return usageError(QStringLiteral("bad date ") + toText);
        if (to < from) return usageError(QString::fromLatin1(kSpanOrderMessage));
        SpanStart = from;
        SpanEnd = to;
    }

    // Reads only, until the run turns out to remember where its sheet stopped: the program may be
    // open on the same book.
    AdminSession session("labels", dir, AdminSession::Access::ReadOnly);

    if (fileIn(dir, QStringLiteral("Mrby1.dbf"))) {
        const DataStatus settings = OpenSettings();
        if (!settings) return session.fail(settings);
        if (LastStatus == 0) LoadSettings();
        (void)CloseTable(SettingsTable);  // read only
    }
    ApplyLabelFontPreference();
    DataStatus stocks;
    if (!loadStock(stockGiven ? stockName : QString(), &stocks)) {
        if (!stocks) return session.fail(stocks);
        return (say(1, stockGiven ? QStringLiteral("no label stock named ") + stockName
                                      : QString::fromLatin1(kNoStockMessage)));
    }
    if (startColumn > LabelRec.nAcross && LabelRec.nAcross >= 1)
        return (usageError(QStringLiteral("the stock has %1 labels across; --start column %2 "
                                              "is beyond it")
                                   .arg(LabelRec.nAcross)
                                   .arg(startColumn)));

    // Where the run goes: the PDF, a printer of the system, or (a preview only) nowhere, laid out
    // for a PDF of the paper asked for.
    std::unique_ptr<QtPrinter> printer;
    if (!printerName.isEmpty()) {
        printer = QtPrinter::named(printerName);
        if (!printer) return say(1, QStringLiteral("no printer named ") + printerName + QStringLiteral(" on this system"));
    } else {
        printer = QtPrinter::toPdf(pdf.isEmpty() ? QString() : QFileInfo(pdf).absoluteFilePath(), paper);
    }
    if (const QString refusal = CheckStock(LabelRec, *printer); !refusal.isEmpty()) return say(1, refusal);

    if (!previewDir.isEmpty()) {
        QString error;
        int pages = 0;
        const int written =
            writePreview(*printer, previewDir, firstPage, lastPage, occasion, startColumn, startRow, households,
                         &pages, &error);
        if (written < 0) return say(1, error);
        if (pages == 0) std::printf("no labels for occasion %d; no preview written\n", occasion);
        else if (written == 0) return say(1, QStringLiteral("the run has %1 pages; --pages starts after them").arg(pages));
        else std::printf("%d of %d preview pages written to %s\n", written, pages, previewDir.toLocal8Bit().constData());
        if (pdf.isEmpty() && printerName.isEmpty()) return std::fflush(stdout), 0;
    }

    // A printer's stored correction moves what it prints; a PDF file has none.
    PrinterCalibration cal;
    if (!printerName.isEmpty()) {
        bool found = false;
        const xbase::Status s = LoadPrinterCalibration(session.library(), printerName.toStdString(), &cal, &found);
        if (!s.ok()) return say(1, QString::fromStdString(s.toString()));
        if (found && !cal.isIdentity())
            std::printf("correction for %s: dx %.3f pt, dy %.3f pt, scale %.5f\n", printerName.toLocal8Bit().constData(),
                        cal.dxPt, cal.dyPt, cal.scale);
    }
    std::unique_ptr<Printer> target;
    if (outlines) target = std::make_unique<OutlinedPrinter>(*printer, LabelRec, cal);
    else target = std::make_unique<CalibratedPrinter>(*printer, cal);
    const QString where = printerName.isEmpty() ? pdf : printerName;

    // A run on sheets remembers where its last sheet stopped (Sheets.dbf), a write that waits
    // its turn behind the program like any other. While the program holds the book the labels
    // are still printed; only the place is not remembered, and the user is told.
    QString notRemembered;
    const bool lockRefused = !LabelRec.Continuous && !session.beginWriting(&notRemembered);
    LabelRun run(*target, LabelRec, LabelFont, startColumn, startRow);
    if (!run.refusal().isEmpty()) return (say(1, run.refusal()));
    if (lockRefused) run.setRemembersSheet(false);
    run.setHouseholds(households);
    const bool ok = run.printOccasion(occasion, SpanStart, SpanEnd);
    if (!run.opened()) return session.fail(run.opened());
    if (!ok) return (say(1, run.error() + QStringLiteral(" (") + where + QLatin1Char(')')));
    if (run.labelsPlaced() == 0)
        std::printf(printerName.isEmpty() ? "no labels for occasion %d; no file written\n"
                                          : "no labels for occasion %d; nothing printed\n",
                    occasion);
    else
        std::printf("%lld labels written to %s\n", run.labelsPlaced(), where.toLocal8Bit().constData());
    std::fflush(stdout);
    if (run.labelsPlaced() > 0 && lockRefused)
        say(0, QStringLiteral("where the last sheet stopped was not remembered: ") + notRemembered);
    else if (!run.sheetNote().isEmpty())
        say(0, QStringLiteral("where the last sheet stopped was not remembered: ") + run.sheetNote());
    return (0);
}
