#pragma once
// Label runs: who gets a label, and how the labels are laid out and printed.
//
// From the bottom up:
//  - BuildAddressBlock turns an address into the five lines of one label.
//  - BeginLabelJob's arithmetic (ComputeLabelGeometry, FitLabelFont, RowsPerPage) converts a
//    stock from points into a printer's dots, refers the margins to the printable area, fits
//    the font and counts the rows of labels a page holds. CheckStock refuses, before anything
//    is printed, a stock that cannot be laid out.
//  - LabelSheet keeps the label cursor and the row buffer of one print job: PlaceLabel puts one
//    label into the row buffer and prints the row when it is full; PrintLabelRow prints the
//    buffer at the current row, starting the job (BeginLabelJob) the first time.
//  - LabelRun walks the address book and streams the labels of an occasion, or of a list of
//    picked records, onto a LabelSheet. It needs no window: the admin tool uses it as it is.
//  - OccasionLabelRun and SelectedLabelRun are the interactive runs started from the occasions
//    page: they ask for the span, the picks and the print options through LabelRunDialogs (the
//    program's dialogs unless a test installs its own), then hand over to LabelRun. They live
//    with the windows (gui/labels/OccasionLabelRun.h).
//
// All layout works on any Printer (core/print/Printer.h): tests use a RecordingPrinter.

#include <QDate>
#include <QFont>
#include <QString>
#include <QVector>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"  // TrimText
#include "core/data/RunStatus.h"

class Printer;
class HouseholdGrouper;
struct HouseholdNotes;

// --- address block ----------------------------------------------------------------------------

using AddressBlock = std::array<QString, 5>;


// The five lines of a label: name; street; second street line; city, state; country. The zip
// code goes after the last non-empty line (after two blanks), or alone on the next line behind
// 20 blanks when that line has 23 characters or more. Empty lines among lines 2 to 5 close up.
AddressBlock BuildAddressBlock(const TAddressRecord& rec);

// --- geometry ---------------------------------------------------------------------------------

// Dots for a length in points at `dpi`, truncated toward zero (189 pt at 300 dpi: 787).
int PointsToDots(double points, int dpi);

// Rows of labels a page of `usable` dots holds at pitch height + vGap; the last row needs no gap
// below it. 0 when the pitch is not positive.
int RowsPerPage(int usable, int height, int vGap);

// A stock converted to one printer's dots, margins referred to the printable area's corner.
struct LabelGeometry {
    int dpiX = 0, dpiY = 0;
    int top = 0, left = 0, bottom = 0;
    int width = 0, height = 0, hGap = 0, vGap = 0;
    int printableWidth = 0, printableHeight = 0;
    int rowsPerPage = 0;
    int nAcross = 0;
    bool continuous = false;
};
LabelGeometry ComputeLabelGeometry(const TLabelRecord& stock, const Printer& printer);

// Why `stock` cannot be laid out on `printer`, or "" when it can: a label width or height of no
// dots, no label across, or not one row of labels on a page.
QString CheckStock(const TLabelRecord& stock, const Printer& printer);

// Sets the printer's font to a copy of `font` and lowers its size a point at a time while five
// times "Abcde" is wider than `width` dots, then while five lines of "A" are higher than
// `height` dots; never below 1 point. `font` itself is not changed. Returns the font in use.
QFont FitLabelFont(Printer& printer, const QFont& font, int width, int height);

// --- one print job ----------------------------------------------------------------------------

// The labels of one run on one printer: the label cursor, the row buffer and the job.
class LabelSheet {
public:
    // startColumn is brought within 1..nAcross, startRow to at least 1. The stock must pass
    // CheckStock on this printer.
    LabelSheet(Printer& printer, const TLabelRecord& stock, const QFont& font, int startColumn,
               int startRow, QString title = QStringLiteral("Merrowby labels"));

    // Puts one label into column CurColumn of the row buffer. Returns true when the row is not
    // yet printed, false when this label completed the row and the row was printed.
    bool PlaceLabel(const AddressBlock& block);
    bool PlaceLabel(const TAddressRecord& rec) { return PlaceLabel(BuildAddressBlock(rec)); }
    // Prints the row buffer at CurRow (starting the job first, and a new page when the row is
    // past the page's last).
    void PrintLabelRow();
    // Starts the job and fixes the geometry and the font for the whole job. False when the
    // printer cannot start a job.
    bool BeginLabelJob();
    // True when `text` is no wider than a label in the font the job fits to the stock (the job
    // is started for that when it was not). A job that cannot start measures nothing: true.
    bool fitsLabelWidth(const QString& text);
    // Ends the run: prints a partly filled row (when `pending`) and ends the job when a label
    // was placed. Returns false when the printer could not start the job, open a page or end
    // the job (status() says which; a job broken part-way is abandoned).
    bool finish(bool pending);

    int curColumn() const { return CurColumn; }
    int curRow() const { return CurRow; }
    bool labelsPlaced() const { return LabelsPlaced; }
    bool metricsReady() const { return MetricsReady; }
    bool failed() const { return failure_.failed(); }
    const RunStatus& status() const { return failure_; }
    const LabelGeometry& geometry() const { return geo_; }
    const QFont& fittedFont() const { return fitted_; }
    int lineHeight() const { return lineHeight_; }
    long long labelCount() const { return labels_; }

private:
    bool nextPage();

    Printer& printer_;
    TLabelRecord stock_;
    QFont font_;
    QString title_;
    LabelGeometry geo_;
    QFont fitted_;
    int lineHeight_ = 0;
    int CurColumn = 1;
    int CurRow = 1;
    bool LabelsPlaced = false;
    bool MetricsReady = false;
    RunStatus failure_;  // ok while the job goes well
    long long labels_ = 0;
    std::vector<AddressBlock> RowBuffer;  // one block per column
};

// --- the run without windows ------------------------------------------------------------------

// How far a pass over the address book has come: rows read of the book's rows. Called every few
// hundred rows; returning false asks the pass to stop.
using BookProgress = std::function<bool(int done, int total)>;

// Streams the labels of a run onto a printer. The tables are reached through the data routines
// (Records.h), so LibHandle must be open on the data directory.
class LabelRun {
public:
    LabelRun(Printer& printer, const TLabelRecord& stock, const QFont& font, int startColumn,
             int startRow);

    // Why the stock cannot be printed on this printer, or "" (see CheckStock).
    QString refusal() const { return refusal_; }

    // One label per household (core/households/Households.h): the qualifying people at one
    // address share a label, in the name order of its first member; its first line is the
    // household's greeting or name line, the rest the address of that first member. picks()
    // names every qualifying member. Off by default.
    void setHouseholds(bool on) { households_ = on; }

    // Occasion 1 to 8: opens AddrBook, places a label for every qualifying entry in name order
    // (for 8, each dated entry within from..to), prints the last row, ends the job, closes
    // AddrBook. A failure when the stock was refused, AddrBook could not be opened (opened()
    // tells which file and why), or the job failed.
    RunStatus printOccasion(int occasion, const QDate& from, const QDate& to);
    // printOccasion reports its reading to `progress`; when that asks to stop, the run ends
    // where it is (the job is ended as after any row) and cancelled() is true.
    void setProgress(BookProgress progress) { progress_ = std::move(progress); }
    bool cancelled() const { return cancelled_; }
    // The records of `recNos`, in order, a label for each; AddrBook must be open.
    RunStatus printRecords(const QVector<int>& recNos);

    long long labelsPlaced() const { return sheet_.labelCount(); }
    // Whom the labels were for, one entry per label placed (occasion 8: with its dated entry).
    const std::vector<CardPick>& picks() const { return picks_; }
    const LabelSheet& sheet() const { return sheet_; }
    const DataStatus& opened() const { return opened_; }
    // Why the next free label of a partly used sheet could not be remembered, or "".
    QString sheetNote() const { return sheetNote_; }
    // A run laid out for a preview prints nothing, so it leaves the sheet memory alone. A run
    // straight onto a PageCapture knows it is one; a capture behind another printer (a
    // correction) is told.
    void setRemembersSheet(bool remember) { remembersSheet_ = remember; }

private:
    RunStatus end(bool pending);
    void rememberSheet();
    // Places one label per household of `grouper` (AddrBook open); the pending flag of the sheet.
    bool placeHouseholds(const HouseholdGrouper& grouper, const HouseholdNotes& notes);

    QString refusal_;
    LabelSheet sheet_;
    DataStatus opened_;
    std::vector<CardPick> picks_;
    TLabelRecord stock_;
    int startColumn_ = 1, startRow_ = 1;
    bool remembersSheet_ = true;
    bool households_ = false;
    QString sheetNote_;
    BookProgress progress_;
    bool cancelled_ = false;
};

// Number of labels occasion n gives over the whole address book (n 1 to 8; occasion 8 counts
// the dated entries within from..to). Opens and closes AddrBook; when it cannot be opened the
// count is 0 and *opened (when given) says why.
int CountRecipients(int n, const QDate& from, const QDate& to, DataStatus* opened = nullptr);
// The same, reporting its reading to `progress`; nothing when progress asked it to stop.
std::optional<int> CountRecipients(int n, const QDate& from, const QDate& to, const BookProgress& progress,
                                   DataStatus* opened = nullptr);
// The labels of occasion n (1 to 8) with one label per household; as CountRecipients.
int CountHouseholdLabels(int n, const QDate& from, const QDate& to, DataStatus* opened = nullptr);
// The same, reporting its reading to `progress`; nothing when progress asked it to stop.
std::optional<int> CountHouseholdLabels(int n, const QDate& from, const QDate& to, const BookProgress& progress,
                                        DataStatus* opened = nullptr);
// The labels of the picked records (AddrBook open) with one label per household.
int CountHouseholdLabels(const QVector<int>& recNos);

// Calls `take` with the record number and entry (occasion 8: 1 to 4, else 0) of every label
// occasion n (1 to 8) gives, in name order; AddressRec holds the record. AddrBook must be open
// at its first row; the walk ends at the book's end (LastStatus) or when `stop` says so.
void ForEachRecipient(int n, const QDate& from, const QDate& to,
                      const std::function<void(uint32_t recNo, int entry)>& take,
                      const std::function<bool()>& stop = {});

// --- what a run that cannot start says --------------------------------------------------------

// "Label Stock has not been defined. Choose Setup - Labels to define label stock."
extern const char* const kNoStockMessage;
