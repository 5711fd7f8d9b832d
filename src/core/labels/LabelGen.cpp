#include "core/labels/LabelGen.h"

#include "core/labels/SheetMemory.h"

#include <cmath>

#include "core/data/Records.h"
#include "core/households/Households.h"
#include "core/labels/PageCapture.h"
#include "core/occasions/Occasions.h"
#include "core/print/Printer.h"
#include "xbase/Table.h"

// --- address block ----------------------------------------------------------------------------

AddressBlock BuildAddressBlock(const TAddressRecord& rec) {
    AddressBlock line;
    line[0] = TrimText(TrimText(rec.First) + QLatin1Char(' ') + rec.Last);
    line[1] = TrimText(rec.Street);
    line[2] = TrimText(rec.Street2);
    line[3] = TrimText(rec.City) + QStringLiteral(",  ") + TrimText(rec.State);
    line[4] = TrimText(rec.Country);

    // The zip code follows the last line that holds anything; a long line pushes it down.
    int k = 4;
    while (k > 0 && line[k].isEmpty()) --k;
    const QString zip = TrimText(rec.Zip);
    if (line[k].size() >= 23 && k < 4)
        line[k + 1] = QString(20, QLatin1Char(' ')) + zip;
    else
        line[k] += QStringLiteral("  ") + zip;

    // Close up empty lines below the name.
    AddressBlock block;
    block[0] = line[0];
    int to = 1;
    for (int i = 1; i < 5; ++i)
        if (!line[i].isEmpty()) block[to++] = line[i];
    return block;
}

// --- geometry ---------------------------------------------------------------------------------

int PointsToDots(double points, int dpi) {
    const double dots = double(dpi) * points / 72.0;
    if (!std::isfinite(dots) || dots >= 1e9 || dots <= -1e9) return 0;
    return int(dots);  // toward zero
}

int RowsPerPage(int usable, int height, int vGap) {
    const long long pitch = (long long)height + vGap;
    if (pitch <= 0 || usable <= 0) return 0;
    long long rows = usable / pitch;
    if (usable >= pitch * rows + height) ++rows;
    return int(rows);
}

LabelGeometry ComputeLabelGeometry(const TLabelRecord& stock, const Printer& printer) {
    LabelGeometry g;
    g.dpiX = printer.dpiX();
    g.dpiY = printer.dpiY();
    g.top = PointsToDots(stock.TopM, g.dpiY);
    g.bottom = PointsToDots(stock.BottomM, g.dpiY);
    g.height = PointsToDots(stock.Height, g.dpiY);
    g.vGap = PointsToDots(stock.VGap, g.dpiY);
    g.left = PointsToDots(stock.LeftM, g.dpiX);
    g.width = PointsToDots(stock.Width, g.dpiX);
    g.hGap = PointsToDots(stock.HGap, g.dpiX);

    // Stored margins run from the paper's edges; the device counts from the printable corner.
    const QPoint offset = printer.printingOffset();
    const QSize physical = printer.physicalPageSize();
    const QSize printable = printer.printableSize();
    g.printableWidth = printable.width();
    g.printableHeight = printable.height();
    g.top = g.top < offset.y() ? 0 : g.top - offset.y();
    g.left = g.left < offset.x() ? 0 : g.left - offset.x();
    const int footStrip = physical.height() - offset.y() - printable.height();
    g.bottom = g.bottom < footStrip ? 0 : g.bottom - footStrip;

    g.rowsPerPage = RowsPerPage(g.printableHeight - g.top - g.bottom, g.height, g.vGap);
    g.nAcross = stock.nAcross;
    g.continuous = stock.Continuous;
    return g;
}

QString CheckStock(const TLabelRecord& stock, const Printer& printer) {
    const LabelGeometry g = ComputeLabelGeometry(stock, printer);
    QString why;
    if (stock.nAcross < 1)
        why = QStringLiteral("it has no labels across.");
    else if (g.width <= 0)
        why = QStringLiteral("its label width is zero.");
    else if (g.height <= 0)
        why = QStringLiteral("its label height is zero.");
    else if (g.height + g.vGap <= 0)
        why = QStringLiteral("its vertical gap leaves no room between rows.");
    else if (g.continuous ? g.top + g.height > g.printableHeight : g.rowsPerPage < 1)
        why = QStringLiteral("not one row of its labels fits on a page of the printer.");
    if (why.isEmpty()) return {};
    return QStringLiteral("The label stock \"") + TrimText(stock.Name) +
           QStringLiteral("\" cannot be printed: ") + why +
           QStringLiteral("\r\nChoose Setup - Labels to correct it.");
}

QFont FitLabelFont(Printer& printer, const QFont& font, int width, int height) {
    QFont f(font);
    printer.setFont(f);
    int size = f.pointSize() > 0 ? f.pointSize() : 10;
    const auto lower = [&] {
        --size;
        f.setPointSize(size);
        printer.setFont(f);
    };
    const QString wide = QStringLiteral("Abcde"), tall = QStringLiteral("A");
    while (size > 1 && 5LL * printer.textExtent(wide).width() > width) lower();
    while (size > 1 && 5LL * printer.textExtent(tall).height() > height) lower();
    return f;
}

// --- one print job ----------------------------------------------------------------------------

LabelSheet::LabelSheet(Printer& printer, const TLabelRecord& stock, const QFont& font,
                       int startColumn, int startRow, QString title)
    : printer_(printer), stock_(stock), font_(font), title_(std::move(title)) {
    const int across = std::max(1, stock_.nAcross);
    CurColumn = std::clamp(startColumn, 1, across);
    CurRow = std::max(1, startRow);
    RowBuffer.assign(across, AddressBlock{});
}

bool LabelSheet::PlaceLabel(const AddressBlock& block) {
    RowBuffer[CurColumn - 1] = block;
    LabelsPlaced = true;
    ++labels_;
    if (CurColumn >= int(RowBuffer.size())) {
        PrintLabelRow();
        RowBuffer.assign(RowBuffer.size(), AddressBlock{});
        CurColumn = 1;
        ++CurRow;
        return false;
    }
    ++CurColumn;
    return true;
}

bool LabelSheet::BeginLabelJob() {
    if (!printer_.beginDoc(title_)) return false;
    geo_ = ComputeLabelGeometry(stock_, printer_);
    fitted_ = FitLabelFont(printer_, font_, geo_.width, geo_.height);
    lineHeight_ = printer_.textExtent(QStringLiteral("A")).height();
    MetricsReady = true;
    return true;
}

bool LabelSheet::fitsLabelWidth(const QString& text) {
    if (!MetricsReady && !BeginLabelJob()) return true;
    return printer_.textExtent(text).width() <= geo_.width;
}

bool LabelSheet::nextPage() {
    if (printer_.newPage()) return true;
    failure_ = RunStatus::failure(QStringLiteral("The printer could not start a new page; the print job was abandoned."));
    printer_.abortDoc();
    return false;
}

void LabelSheet::PrintLabelRow() {
    if (failed()) return;
    if (!MetricsReady && !BeginLabelJob()) {
        failure_ = RunStatus::failure(QStringLiteral("The printer could not start the print job."));
        return;
    }
    if (!geo_.continuous && CurRow > geo_.rowsPerPage) {
        CurRow = 1;
        if (!nextPage()) return;
    }
    int y = (CurRow - 1) * (geo_.height + geo_.vGap) + geo_.top;
    if (geo_.continuous && y + geo_.height > geo_.printableHeight) {
        // Continuous stock has no page break of its own, but a device that prints in pages
        // would cut off a row that runs past its page: carry on at the top of the next one.
        CurRow = 1;
        if (!nextPage()) return;
        y = geo_.top;
    }
    const int pitchX = geo_.width + geo_.hGap;
    for (int i = 0; i < 5; ++i) {
        for (size_t j = 0; j < RowBuffer.size(); ++j)
            printer_.textOut(int(j) * pitchX + geo_.left, y, RowBuffer[j][i]);
        y += lineHeight_;
    }
}

bool LabelSheet::finish(bool pending) {
    if (pending) PrintLabelRow();
    if (LabelsPlaced && MetricsReady && !failed() && !printer_.endDoc())
        failure_ = RunStatus::failure(QStringLiteral("The printer could not finish the print job; the "
                                                     "labels may not all have been printed."));
    return !failed();
}

// --- the run without windows ------------------------------------------------------------------

namespace {

// Tells `progress` (when there is one) how far a pass over AddrBook has come, after its first
// row and every 512 rows after; false when it asks the pass to stop.
bool keepReading(const BookProgress& progress, int done) {
    return !progress || done % 512 != 1 || progress(done, int(AddrBookTable->recCount()));
}

}  // namespace

LabelRun::LabelRun(Printer& printer, const TLabelRecord& stock, const QFont& font,
                   int startColumn, int startRow)
    : refusal_(CheckStock(stock, printer)), sheet_(printer, stock, font, startColumn, startRow),
      stock_(stock), startColumn_(startColumn), startRow_(startRow),
      remembersSheet_(dynamic_cast<PageCapture*>(&printer) == nullptr) {}

RunStatus LabelRun::end(bool pending) {
    if (!sheet_.finish(pending)) return sheet_.status();
    rememberSheet();
    return RunStatus::Ok();
}

void LabelRun::rememberSheet() {
    // A preview uses no labels: the sheet stays where the last printed run left it.
    if (!remembersSheet_ || stock_.Continuous || labelsPlaced() == 0 || !LibHandle) return;
    std::optional<SheetPosition> next = NextFreeLabel(sheet_.geometry().nAcross, sheet_.geometry().rowsPerPage,
                                                      startColumn_, startRow_, labelsPlaced());
    if (next) next->date = QDate::currentDate();
    const xbase::Status s = SheetRemember(*LibHandle, stock_.Name, next);
    if (!s.ok()) sheetNote_ = QString::fromStdString(s.toString());
}

void ForEachRecipient(int n, const QDate& from, const QDate& to,
                      const std::function<void(uint32_t recNo, int entry)>& take,
                      const std::function<bool()>& stop) {
    while (LastStatus == 0 && !(stop && stop())) {
        LoadAddrRec();
        if (n >= 1 && n <= 7) {
            if (HolidayFlag(AddressRec, n)) take(AddrBookTable->recNo(), 0);
        } else if (n == OccasionDated) {
            DatedEntry e[4];
            for (int i = 0, k = DatedEntries(AddressRec, e); i < k; ++i)
                if (e[i].flag && MonthDayInWindow(e[i].date, from, to)) take(AddrBookTable->recNo(), i + 1);
        }
        LastStatus = AddrBookTable->skip();
    }
}

namespace {

HouseholdNotes householdNotes() {
    HouseholdNotes notes;
    // Unreadable notes only lose the greetings and own-card marks: the run groups by address.
    if (LibHandle && !LoadHouseholdNotes(*LibHandle, &notes).ok()) notes = HouseholdNotes{};
    return notes;
}

}  // namespace

bool LabelRun::placeHouseholds(const HouseholdGrouper& grouper, const HouseholdNotes& notes) {
    bool pending = false;
    const std::vector<std::vector<HouseholdGrouper::Member>> houses = grouper.households();
    std::vector<HouseholdName> names;
    for (size_t h = 0; h < houses.size() && !sheet_.failed(); ++h) {
        names.clear();
        AddressBlock block;
        uint32_t last = 0;
        for (const HouseholdGrouper::Member& m : houses[h]) {
            picks_.push_back({m.recNo, m.entry});
            if (m.recNo == last) continue;  // one person with two dated entries
            last = m.recNo;
            if (AddrBookTable->go(m.recNo) != 0) continue;
            LoadAddrRec();
            if (names.empty()) block = BuildAddressBlock(AddressRec);
            names.push_back({TrimText(AddressRec.First), TrimText(AddressRec.Last)});
        }
        if (names.empty()) continue;
        const QString greeting = grouper.keyOf(h).isEmpty() ? QString() : notes.greeting(grouper.keyOf(h));
        block[0] = !greeting.isEmpty()
                       ? greeting
                       : HouseholdLine(names, [this](const QString& line) { return sheet_.fitsLabelWidth(line); });
        pending = sheet_.PlaceLabel(block);
    }
    return pending;
}

RunStatus LabelRun::printOccasion(int occasion, const QDate& from, const QDate& to) {
    if (!refusal_.isEmpty()) return RunStatus::failure(refusal_);
    opened_ = OpenAddrBook();
    if (!opened_) return RunStatus::failure(QStringLiteral("Unable to open file ") + opened_.file);
    bool pending = false;
    // The walk stops when the job failed (the rest of the book would print nowhere) or when the
    // progress asks it to.
    int done = 0;
    const auto stop = [&] {
        if (!keepReading(progress_, ++done)) cancelled_ = true;
        return cancelled_ || sheet_.failed();
    };
    if (households_) {
        const HouseholdNotes notes = householdNotes();
        HouseholdGrouper grouper(&notes);
        ForEachRecipient(
            occasion, from, to, [&](uint32_t recNo, int entry) { grouper.add(recNo, AddressRec, entry); }, stop);
        if (!cancelled_) pending = placeHouseholds(grouper, notes);
    } else {
        ForEachRecipient(
            occasion, from, to,
            [&](uint32_t recNo, int entry) {
                pending = sheet_.PlaceLabel(AddressRec);
                picks_.push_back({recNo, entry});
            },
            stop);
    }
    // Nothing was written to the book: a failed close loses nothing the run needs.
    (void)CloseTable(AddrBookTable);
    return end(pending);
}

RunStatus LabelRun::printRecords(const QVector<int>& recNos) {
    if (!refusal_.isEmpty()) return RunStatus::failure(refusal_);
    bool pending = false;
    if (households_) {
        const HouseholdNotes notes = householdNotes();
        HouseholdGrouper grouper(&notes);
        for (int recNo : recNos) {
            LastStatus = AddrBookTable->go(uint32_t(recNo));
            if (LastStatus != 0) continue;
            LoadAddrRec();
            grouper.add(uint32_t(recNo), AddressRec);
        }
        return end(placeHouseholds(grouper, notes));
    }
    for (int recNo : recNos) {
        if (sheet_.failed()) break;
        LastStatus = AddrBookTable->go(uint32_t(recNo));
        if (LastStatus != 0) continue;  // the row is gone: nothing to print for it
        LoadAddrRec();
        pending = sheet_.PlaceLabel(AddressRec);
        picks_.push_back({uint32_t(recNo), 0});
    }
    return end(pending);
}

std::optional<int> CountRecipients(int n, const QDate& from, const QDate& to, const BookProgress& progress,
                                   DataStatus* opened) {
    const DataStatus s = OpenAddrBook();
    if (opened) *opened = s;
    if (!s) return 0;
    // Only what decides the count is decoded; the shared Address record is left alone.
    TAddressRecord rec;
    std::optional<int> count = 0;
    for (int done = 1; LastStatus == 0; ++done) {
        LoadAddrRec(rec, AddrFlags | AddrDates);
        *count += LabelsFor(rec, n, from, to);
        LastStatus = AddrBookTable->skip();
        if (!keepReading(progress, done)) {
            count.reset();
            break;
        }
    }
    (void)CloseTable(AddrBookTable);  // read only
    return count;
}

int CountRecipients(int n, const QDate& from, const QDate& to, DataStatus* opened) {
    return *CountRecipients(n, from, to, BookProgress(), opened);
}

std::optional<int> CountHouseholdLabels(int n, const QDate& from, const QDate& to, const BookProgress& progress,
                                        DataStatus* opened) {
    const DataStatus s = OpenAddrBook();
    if (opened) *opened = s;
    if (!s) return 0;
    const HouseholdNotes notes = householdNotes();
    HouseholdGrouper grouper(&notes);
    int done = 0;
    bool cancelled = false;
    ForEachRecipient(
        n, from, to, [&](uint32_t recNo, int entry) { grouper.add(recNo, AddressRec, entry); },
        [&] { return cancelled = !keepReading(progress, ++done); });
    (void)CloseTable(AddrBookTable);  // read only
    if (cancelled) return std::nullopt;
    return int(grouper.count());
}

int CountHouseholdLabels(int n, const QDate& from, const QDate& to, DataStatus* opened) {
    return *CountHouseholdLabels(n, from, to, BookProgress(), opened);
}

int CountHouseholdLabels(const QVector<int>& recNos) {
    const HouseholdNotes notes = householdNotes();
    HouseholdGrouper grouper(&notes);
    for (int recNo : recNos)
        if (AddrBookTable && AddrBookTable->go(uint32_t(recNo)) == 0) {
            LoadAddrRec();
            grouper.add(uint32_t(recNo), AddressRec);
        }
    return int(grouper.count());
}

const char* const kNoStockMessage =
    "Label Stock has not been defined. Choose Setup - Labels to define label stock.";
