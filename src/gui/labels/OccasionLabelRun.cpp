// The interactive label runs: the occasions page calls OccasionLabelRun; the dialogs are reached
// through Installed<LabelRunDialogs>::get() so that tests can answer in their place.
#include "gui/labels/OccasionLabelRun.h"

#include <QApplication>
#include <optional>
#include <set>

#include "core/data/CardLog.h"
#include "core/data/Records.h"
#include "core/labels/LabelGen.h"
#include "core/occasions/Occasions.h"
#include "core/print/Printers.h"
#include "gui/common/BusyCursor.h"
#include "gui/common/Fatal.h"
#include "gui/common/Installed.h"
#include "gui/common/MessageBoxes.h"
#include "gui/common/RunProgress.h"
#include "gui/labels/LabPrint.h"
#include "gui/labels/LabelPreview.h"
#include "gui/labels/LabelRunDialogs.h"
#include "xbase/Library.h"

namespace {

// A start field as an integer; a text that is no number is reported like any conversion error.
bool startField(const QString& text, int* value) {
    bool ok = false;
    *value = TrimText(text).toInt(&ok);
    if (!ok) UserPrompts().error(QLatin1Char('\'') + text + QStringLiteral("' is not a valid integer value"));
    return ok;
}

bool startPosition(int* column, int* row) {
    return startField(Installed<LabelRunDialogs>::get().startColumnText(), column) && startField(Installed<LabelRunDialogs>::get().startRowText(), row);
}

// Opens LABELS; with no stock in it tells the user and closes it again.
bool labelStockDefined() {
    EndUnlessOpened(OpenLabels());
    if (LastStatus == 0) return true;
    UserPrompts().info(QString::fromLatin1(kNoStockMessage));
    (void)CloseTable(LabelsTable);  // nothing was changed in it
    return false;
}

// Lays a run out for the preview as the printer would get it: through the printer's stored
// correction, if it has one, and without touching the sheet memory. A run that stops short shows
// the pages laid out before it stopped.
void runForPreview(Printer& capture, const BookProgress& progress, const Printer& printer,
                   const std::function<void(LabelRun&)>& lay, const TLabelRecord& stock, const QFont& font,
                   int column, int row) {
    const auto* calibrated = dynamic_cast<const CalibratedPrinter*>(&printer);
    std::optional<CalibratedPrinter> corrected;
    if (calibrated) corrected.emplace(capture, calibrated->calibration());
    LabelRun run(corrected ? static_cast<Printer&>(*corrected) : capture, stock, font, column, row);
    run.setRemembersSheet(false);
    run.setProgress(progress);
    lay(run);
}

// Installs "Preview" in the print options for the run that `lay` describes and `print` prints.
// The household box is read when Preview is pressed: the preview follows it.
void offerPreview(std::function<void(LabelRun&)> lay,
                  std::function<void(Printer&, int column, int row, bool households)> print) {
    TLabPrint::PreviewAction() = [lay, print] {
        int column, row;
        if (!startPosition(&column, &row)) return false;
        const bool households = Installed<LabelRunDialogs>::get().oneLabelPerHousehold();
        std::unique_ptr<Printer> printer = Installed<LabelRunDialogs>::get().makePrinter();
        const TLabelRecord stock = LabelRec;
        const QFont font = LabelFont;
        TLabelPreview preview(
            [&](Printer& p, const BookProgress& progress) {
                runForPreview(p, progress, *printer,
                              [&](LabelRun& run) { run.setHouseholds(households), lay(run); }, stock, font, column,
                              row);
            },
            *printer, stock, [&] { print(*printer, column, row, households); }, QApplication::activeWindow());
        return preview.exec() == QDialog::Accepted;  // printed
    };
}

}  // namespace

QString OccasionName(int n) {
    if (n >= 1 && n <= 8) return QString::fromLatin1(ReminderTitles[size_t(n - 1)]);
    return n == OccasionSelected ? QStringLiteral("Selected") : QString();
}

void OfferMarkSent(int n, const std::vector<CardPick>& picks, int year) {
    if (picks.empty() || !LibHandle) return;
    // A person picked twice, or with two dated entries, is one recipient.
    std::set<uint32_t> people;
    for (const CardPick& p : picks) people.insert(p.recNo);
    const QString question = QStringLiteral("Mark these %1 recipients as sent a card for %2 %3?")
                                 .arg(people.size())
                                 .arg(OccasionName(n))
                                 .arg(year);
    // Logged cards are not undone by a key: a stray Return answers No.
    if (!UserPrompts().yesNo(question, Prompts::Default::No)) return;
    const xbase::Status s = CardsMarkSent(*LibHandle, n, year, picks);
    if (!s.ok())
        UserPrompts().error(QStringLiteral("The card log could not be written:\r\n") +
                            QString::fromStdString(s.toString()));
}

long long PrintOccasionLabels(int n, Printer& printer, int startColumn, int startRow, bool households) {
    LabelRun run(printer, LabelRec, LabelFont, startColumn, startRow);
    run.setHouseholds(households);
    if (!run.refusal().isEmpty()) {
        UserPrompts().info(run.refusal());
        return 0;
    }
    RunStatus done;
    {
        BusyCursor busy;
        done = run.printOccasion(n, SpanStart, SpanEnd);
    }
    EndUnlessOpened(run.opened());
    if (!done) UserPrompts().error(done.reason);
    else OfferMarkSent(n, run.picks(), CardYear(n, QDate::currentDate(), SpanEnd));
    return run.labelsPlaced();
}

void OccasionLabelRun(int n) {
    if (n == OccasionSelected) {
        SelectedLabelRun();
        return;
    }
    if (n < 1 || n > OccasionDated) return;
    LabelRunDialogs& dialogs = Installed<LabelRunDialogs>::get();
    if (n == OccasionDated && !dialogs.askSpan()) return;
    DataStatus opened, openedForHouseholds;
    std::optional<int> count, houses;
    {
        BusyCursor busy;  // a large book takes seconds
        RunProgress progress(QStringLiteral("Counting Labels"), QStringLiteral("Reading the address book, rows"),
                             QApplication::activeWindow());
        const BookProgress report = [&progress](int done, int total) { return progress.update(done, total); };
        count = CountRecipients(n, SpanStart, SpanEnd, report, &opened);
        if (opened && count) houses = CountHouseholdLabels(n, SpanStart, SpanEnd, report, &openedForHouseholds);
        progress.finish();
    }
    EndUnlessOpened(opened);
    EndUnlessOpened(openedForHouseholds);
    if (!count || !houses) return;  // cancelled: nothing to print
    LabelCount = *count;
    TLabPrint::HouseholdLabelCount() = *houses;
    if (!labelStockDefined()) return;
    // "Preview" lays the run out with the options as they stand, on the printer it would use.
    const QDate from = SpanStart, to = SpanEnd;
    offerPreview([n, from, to](LabelRun& run) { (void)run.printOccasion(n, from, to); },
                 [n](Printer& printer, int column, int row, bool households) {
                     PrintOccasionLabels(n, printer, column, row, households);
                 });
    const bool chosen = dialogs.askPrintOptions();
    const bool households = dialogs.oneLabelPerHousehold();
    TLabPrint::PreviewAction() = nullptr;
    TLabPrint::HouseholdLabelCount() = -1;
    (void)CloseTable(LabelsTable);  // read only here; the options dialog stores through Mrby1
    if (!chosen) return;
    int column, row;
    if (!startPosition(&column, &row)) return;
    std::unique_ptr<Printer> printer = dialogs.makePrinter();
    PrintOccasionLabels(n, *printer, column, row, households);
}

void SelectedLabelRun() {
    LabelRunDialogs& dialogs = Installed<LabelRunDialogs>::get();
    EndUnlessOpened(OpenAddrBook());
    dialogs.fillSelection();
    LabelCount = 0;
    SelectionList.clear();
    for (ChosenRecNo = 0; ChosenRecNo >= 0;) {
        ChosenRecNo = dialogs.askSelection(LabelCount);
        if (ChosenRecNo > 0) {
            ++LabelCount;
            SelectionList.append(ChosenRecNo);
        }
    }
    const auto done = [] { (void)CloseTable(AddrBookTable); };  // read only
    if (LabelCount == 0) return done();
    if (!labelStockDefined()) return done();
    {
        BusyCursor busy;
        TLabPrint::HouseholdLabelCount() = CountHouseholdLabels(SelectionList);
    }
    offerPreview([picked = SelectionList](LabelRun& run) { (void)run.printRecords(picked); },
                 [](Printer& printer, int column, int row, bool households) {
                     PrintSelectedLabels(printer, column, row, households);
                 });
    const bool chosen = dialogs.askPrintOptions();
    const bool households = dialogs.oneLabelPerHousehold();
    TLabPrint::PreviewAction() = nullptr;
    TLabPrint::HouseholdLabelCount() = -1;
    (void)CloseTable(LabelsTable);
    int column, row;
    if (!chosen || !startPosition(&column, &row)) return done();
    std::unique_ptr<Printer> printer = dialogs.makePrinter();
    PrintSelectedLabels(*printer, column, row, households);
    done();
}

void PrintSelectedLabels(Printer& printer, int startColumn, int startRow, bool households) {
    LabelRun run(printer, LabelRec, LabelFont, startColumn, startRow);
    run.setHouseholds(households);
    if (!run.refusal().isEmpty()) {
        UserPrompts().info(run.refusal());
        return;
    }
    RunStatus done;
    {
        BusyCursor busy;
        done = run.printRecords(SelectionList);
    }
    if (!done) UserPrompts().error(done.reason);
    else OfferMarkSent(OccasionSelected, run.picks(), CardYear(OccasionSelected, QDate::currentDate()));
}
