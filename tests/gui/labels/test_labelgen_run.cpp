// Label runs over a real address book: who gets a label for each occasion, the count shown
// beforehand, and the interactive runs with their dialogs answered by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressDialog>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

#include <map>
#include <optional>
#include <tuple>

#include "PaintCounter.h"
#include "gui/common/Installed.h"
#include "gui/common/RunProgress.h"
#include "MessageLog.h"
#include "TestData.h"
#include "TestStocks.h"
#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/labels/LabPrint.h"
#include "core/labels/LabelGen.h"
#include "gui/labels/LabelRunDialogs.h"
#include "gui/labels/OccasionLabelRun.h"
#include "core/occasions/Occasions.h"
#include "gui/labels/LabelPreview.h"
#include "core/labels/SheetMemory.h"
#include "core/print/Calibration.h"
#include "ReadWatchingFileSystem.h"
#include "RecordingPrinter.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

const char* const kColumns[] = {
    "First", "Last", "Street", "Street2", "City", "State", "Zip", "Country", "email",
    "phone", "fax", "mobile", "Birthdate", "Annavdate", "Other1Date", "Other2Date",
    "Birthday", "Annav", "Valentine", "Mother", "Father", "Secretary", "Halloween",
    "ThanksGiv", "Christmas", "Other1", "Other2"};

// One AddrBook row: the name, a plain address, no dates, every flag off, then `set`
// (column name -> text, "T" for a flag, "yyyymmdd" for a date).
std::vector<std::string> Person(const std::string& first, const std::string& last,
                                const std::map<std::string, std::string>& set = {}) {
    std::vector<std::string> row;
    for (const char* c : kColumns) {
        const std::string col = c;
        std::string v;
        if (col == "First") v = first;
        else if (col == "Last") v = last;
        else if (col == "Street") v = "1 Main St";
        else if (col == "City") v = "Dover";
        else if (col == "State") v = "DE";
        else if (col == "Zip") v = "19901";
        else if (col.size() > 4 && (col.find("date") != std::string::npos ||
                                    col.find("Date") != std::string::npos)) v = "";
        else if (col == "email" || col == "phone" || col == "fax" || col == "mobile" ||
                 col == "Street2" || col == "Country") v = "";
        else v = "F";
        if (auto it = set.find(col); it != set.end()) v = it->second;
        row.push_back(v);
    }
    return row;
}

// The first lines of the labels drawn, in drawing order.
QStringList NamesDrawn(const RecordingPrinter& p) {
    // Line 1 of every label is drawn at the row's top; the name lines are the ones that hold a
    // blank and no comma or digit.
    QStringList out;
    for (const auto& c : p.textOuts())
        if (!c.text.isEmpty() && !c.text.contains(',') && !c.text.at(0).isDigit()) out << c.text;
    return out;
}

// A printer the run owns and destroys; what it saw is copied to `keep` when it goes.
struct KeptPrinter : RecordingPrinter {
    explicit KeptPrinter(RecordingPrinter* k) : keep(k) {}
    ~KeptPrinter() override { *keep = *this; }
    RecordingPrinter* keep;
};

// Once started, presses Cancel in every run's progress window as soon as there is one.
// Presses Cancel on the first progress window that takes an event once armed: the run's own
// processing of events (RunProgress::update) hands it one, so the cancel does not depend on
// timing.
struct CancelsProgress : QObject {
    CancelsProgress() {
        RunProgress::setRedrawInterval(0);
        qApp->installEventFilter(this);
    }
    ~CancelsProgress() override {
        qApp->removeEventFilter(this);
        RunProgress::setRedrawInterval(40);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Only events posted to it, handed out by an event loop: the window is made by then (the
        // events sent while it is being made reach it half-built).
        const QEvent::Type t = event->type();
        const bool posted = t == QEvent::LayoutRequest || t == QEvent::PolishRequest || t == QEvent::Timer ||
                            t == QEvent::UpdateRequest || t == QEvent::MetaCall;
        if (auto* p = qobject_cast<QProgressDialog*>(watched); armed && posted && p && !p->wasCanceled()) {
            armed = false;
            p->cancel();
            ++cancels;
        }
        return QObject::eventFilter(watched, event);
    }
    bool armed = false;
    int cancels = 0;
};

class LabelRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        AppendAddressRows(data.dir(), {
            Person("Ann", "Adams", {{"Secretary", "T"}, {"Birthday", "T"}, {"Birthdate", "19610314"}}),
            Person("Bob", "Baker", {{"Christmas", "T"}, {"Birthday", "T"}, {"Birthdate", "19700302"},
                                    {"Annav", "T"}, {"Annavdate", "19950331"}}),
            Person("Cyd", "Clark", {{"Secretary", "T"}, {"Christmas", "T"}, {"Birthday", "F"},
                                    {"Birthdate", "19800310"}}),
            Person("Dee", "Dunn", {{"Birthday", "T"}}),  // flagged, no date
            Person("Eve", "Evans", {{"Other1", "T"}, {"Other1Date", "20100301"}, {"Other2", "T"},
                                    {"Other2Date", "20100331"}, {"Annav", "T"},
                                    {"Annavdate", "20000401"}}),
        });
        lib = std::make_unique<ScopedLibrary>(data.path());
        LabelFont = QFont("Sans", 10);
    }
    void TearDown() override { Installed<LabelRunDialogs>::install(nullptr); }

    // The run's dialogs answered from the test's fields: the print options pick the stock whose
    // name starts with `stockPrefix`, the picking takes `picks` in turn; the printer the run
    // makes leaves what it saw in `out`.
    struct Answers : LabelRunDialogs {
        Answers(LabelRunTest& test, RecordingPrinter* printed) : t(test), out(printed) {}
        bool askSpan() override {
            t.asked << "span";
            SpanStart = t.spanFrom;
            SpanEnd = t.spanTo;
            return !t.spanCancel;
        }
        bool askPrintOptions() override {
            t.asked << QString("options %1").arg(LabelCount);
            for (LastStatus = LabelsTable->top(); LastStatus == 0; LastStatus = LabelsTable->skip()) {
                LoadLabelRec();
                if (LabelRec.Name.startsWith(t.stockPrefix)) break;
            }
            return !t.optionsCancel;
        }
        QString startColumnText() override { return t.column; }
        QString startRowText() override { return t.row; }
        void fillSelection() override { bookOpenWhenFilled = AddrBookTable != nullptr; }
        int askSelection(int count) override {
            countsShown << count;
            return picks.isEmpty() ? -1 : picks.takeFirst();
        }
        std::unique_ptr<Printer> makePrinter() override { return std::make_unique<KeptPrinter>(out); }

        LabelRunTest& t;
        RecordingPrinter* out;
        QList<int> picks;
        QList<int> countsShown;
        bool bookOpenWhenFilled = false;
    };
    // Installs answers that print into `out` for the runs that follow.
    void answerWith(RecordingPrinter* out) {
        answers = std::make_unique<Answers>(*this, out);
        Installed<LabelRunDialogs>::install(answers.get());
    }

    TestDataDir data;
    std::unique_ptr<ScopedLibrary> lib;
    MessageLog messages;
    QStringList asked;
    QDate spanFrom{2024, 3, 1}, spanTo{2024, 3, 31};
    bool spanCancel = false, optionsCancel = false;
    QString stockPrefix = "US Letter 1 x", column = "1", row = "1";
    std::unique_ptr<Answers> answers;
};

}  // namespace

TEST_F(LabelRunTest, HolidayOccasionsSelectByTheirFlagInNameOrder) {
    // Occasion 4 is Easter/Passover, kept in the Secretary column.
    EXPECT_EQ(CountRecipients(4, {}, {}), 2);
    EXPECT_EQ(CountRecipients(7, {}, {}), 2);
    EXPECT_EQ(CountRecipients(1, {}, {}), 0);
    EXPECT_EQ(AddrBookTable, nullptr);  // closed again

    RecordingPrinter printer;
    LabelRun run(printer, ThirtyPerSheet(), LabelFont, 1, 1);
    ASSERT_TRUE(run.printOccasion(4, {}, {}));
    EXPECT_EQ(NamesDrawn(printer), QStringList({"Ann Adams", "Cyd Clark"}));
    EXPECT_EQ(printer.jobsEnded(), 1);
    EXPECT_EQ(AddrBookTable, nullptr);

    RecordingPrinter christmas;
    LabelRun run7(christmas, ThirtyPerSheet(), LabelFont, 1, 1);
    ASSERT_TRUE(run7.printOccasion(7, {}, {}));
    EXPECT_EQ(NamesDrawn(christmas), QStringList({"Bob Baker", "Cyd Clark"}));
}

TEST_F(LabelRunTest, DatedEntriesWithinTheSpan) {
    const QDate mar1(2024, 3, 1), mar31(2024, 3, 31);
    // Ann's birthday, Bob's birthday and anniversary, Eve's two other dates on the span's ends;
    // Cyd's date has no flag, Eve's anniversary is in April. Five labels from three rows.
    EXPECT_EQ(CountRecipients(8, mar1, mar31), 5);
    RecordingPrinter printer;
    LabelRun run(printer, ThirtyPerSheet(), LabelFont, 1, 1);
    ASSERT_TRUE(run.printOccasion(8, mar1, mar31));
    EXPECT_EQ(run.labelsPlaced(), 5);
    EXPECT_EQ(NamesDrawn(printer),
              QStringList({"Ann Adams", "Bob Baker", "Bob Baker", "Eve Evans", "Eve Evans"}));

    // A span across the year end compares month-days as text and selects nothing, not even
    // Dee's empty date (30 December); no job is started for no labels.
    EXPECT_EQ(CountRecipients(8, QDate(2024, 12, 15), QDate(2025, 1, 15)), 0);
    RecordingPrinter none;
    LabelRun empty(none, ThirtyPerSheet(), LabelFont, 1, 1);
    ASSERT_TRUE(empty.printOccasion(8, QDate(2024, 12, 15), QDate(2025, 1, 15)));
    EXPECT_EQ(none.jobsBegun(), 0);

    // The empty date counts as 30 December when the span covers it.
    EXPECT_EQ(CountRecipients(8, QDate(2024, 12, 30), QDate(2024, 12, 30)), 1);
    EXPECT_EQ(CountRecipients(8, QDate(2024, 12, 1), QDate(2024, 12, 29)), 0);
}

TEST_F(LabelRunTest, OccasionRunAsksThenPrintsOnTheChosenStock) {
    RecordingPrinter out;
    answerWith(&out);
    column = "3";
    OccasionLabelRun(7);
    EXPECT_EQ(asked, QStringList({"options 2"}));
    EXPECT_EQ(NamesDrawn(out), QStringList({"Bob Baker", "Cyd Clark"}));
    // Start column 3: Bob alone ends row 1 in the third position, Cyd starts row 2.
    for (const auto& c : out.textOuts()) {
        if (c.text == "Bob Baker") {
            EXPECT_EQ(c.x, 1654);
            EXPECT_EQ(c.y, 100);
        } else if (c.text == "Cyd Clark") {
            EXPECT_EQ(c.x, 6);
            EXPECT_EQ(c.y, 400);
        }
    }
    EXPECT_EQ(out.jobsEnded(), 1);
    // The one message is the question whether to log the two recipients.
    ASSERT_EQ(messages.entries().size(), 1u) << messages.texts().join('|').toStdString();
    EXPECT_EQ(messages.entries()[0].kind, MessageLog::Kind::YesNo);
    EXPECT_EQ(messages.texts()[0], QString("Mark these 2 recipients as sent a card for Christmas / Chanukah %1?")
                                       .arg(CardYear(7, QDate::currentDate())));
    EXPECT_EQ(LabelsTable, nullptr);
    EXPECT_EQ(AddrBookTable, nullptr);
}

// "who, occasion, entry" of every logged card.
QStringList Logged(xbase::Library& lib) {
    std::vector<CardEvent> events;
    EXPECT_TRUE(CardsList(lib, 0, 0, nullptr, &events).ok());
    QStringList out;
    for (const CardEvent& e : events)
        out << QString("%1 %2 %3 %4").arg(e.recNo).arg(e.occasion).arg(e.entry).arg(CardKindName(e.kind));
    out.sort();
    return out;
}

TEST_F(LabelRunTest, ARunLogsItsRecipientsOnceWhenTheQuestionIsAnsweredYes) {
    RecordingPrinter out;
    answerWith(&out);
    messages.setAnswer(false);
    OccasionLabelRun(4);
    EXPECT_TRUE(Logged(lib->lib()).isEmpty());

    messages.setAnswer(true);
    OccasionLabelRun(7);
    OccasionLabelRun(7);  // the same run again the same year
    OccasionLabelRun(8);  // Ann's birthday, Bob's birthday and anniversary, Eve's two dates
    const QStringList want = {"1 8 1 sent", "2 7 0 sent", "2 8 1 sent", "2 8 2 sent",
                              "3 7 0 sent", "5 8 3 sent", "5 8 4 sent"};
    EXPECT_EQ(Logged(lib->lib()), want);
    EXPECT_EQ(messages.texts().back(), QString("Mark these 3 recipients as sent a card for Birthday, Etc %1?")  // five dates
                                           .arg(CardYear(8, QDate::currentDate(), spanTo)));
}

// The question after a run answers No to a stray Return: nothing is logged.
TEST_F(LabelRunTest, AStrayReturnDoesNotMarkTheRunAsSent) {
    InstallPrompts(nullptr);  // the real question box
    bool asked = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        asked = true;
        QTest::keyClick(box, Qt::Key_Return);
    });
    OfferMarkSent(7, {{2}, {3}}, 2026);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(Logged(lib->lib()).isEmpty());
}

TEST_F(LabelRunTest, OccasionEightAsksForTheSpanAndStopsWhenCancelled) {
    RecordingPrinter out;
    answerWith(&out);
    OccasionLabelRun(8);
    EXPECT_EQ(asked, QStringList({"span", "options 5"}));
    EXPECT_EQ(NamesDrawn(out).size(), 5);

    asked.clear();
    spanCancel = true;
    RecordingPrinter nothing;
    answerWith(&nothing);
    OccasionLabelRun(8);
    EXPECT_EQ(asked, QStringList({"span"}));
    EXPECT_EQ(nothing.jobsBegun(), 0);
}

TEST_F(LabelRunTest, CancelledOptionsAndBadStartFieldsPrintNothing) {
    RecordingPrinter out;
    answerWith(&out);
    optionsCancel = true;
    OccasionLabelRun(4);
    EXPECT_EQ(asked, QStringList({"options 2"}));
    EXPECT_EQ(out.jobsBegun(), 0);
    EXPECT_EQ(LabelsTable, nullptr);

    optionsCancel = false;
    row = "x";
    OccasionLabelRun(4);
    EXPECT_EQ(out.jobsBegun(), 0);
    ASSERT_EQ(messages.entries().size(), 1u);
    EXPECT_EQ(messages.entries()[0].kind, MessageLog::Kind::Error);
}

TEST_F(LabelRunTest, RefusedStockIsToldAndNothingPrints) {
    RecordingPrinter out;
    struct BrokenStock : Answers {
        using Answers::Answers;
        bool askPrintOptions() override {
            LabelRec = ThirtyPerSheet();
            LabelRec.Name = "Broken";
            LabelRec.Width = 0;
            return true;
        }
    } broken(*this, &out);
    Installed<LabelRunDialogs>::install(&broken);
    OccasionLabelRun(4);
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts()[0].startsWith("The label stock \"Broken\" cannot be printed"));
    EXPECT_EQ(out.jobsBegun(), 0);
}

TEST_F(LabelRunTest, NoStockDefined) {
    {   // Empty the LABELS table.
        xbase::Table* t = lib->lib().open("LABELS");
        ASSERT_NE(t, nullptr);
        for (int rc = t->top(); rc == 0; rc = t->skip()) t->markDeleted();
        ASSERT_EQ(t->pack(), 0);
        t->close();
    }
    RecordingPrinter out;
    answerWith(&out);
    OccasionLabelRun(4);
    EXPECT_EQ(messages.texts(), QStringList({QString(kNoStockMessage)}));
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(LabelsTable, nullptr);
}

TEST_F(LabelRunTest, SelectedRunGivesOneLabelPerPickInPickingOrder) {
    RecordingPrinter out;
    answerWith(&out);
    answers->picks = {5, 2, 5};  // Eve, Bob, Eve again
    OccasionLabelRun(9);
    EXPECT_TRUE(answers->bookOpenWhenFilled);
    EXPECT_EQ(answers->countsShown, QList<int>({0, 1, 2, 3}));
    EXPECT_EQ(SelectionList, QVector<int>({5, 2, 5}));
    EXPECT_EQ(asked, QStringList({"options 3"}));
    EXPECT_EQ(NamesDrawn(out), QStringList({"Eve Evans", "Bob Baker", "Eve Evans"}));
    EXPECT_EQ(out.jobsEnded(), 1);
    EXPECT_EQ(AddrBookTable, nullptr);

    // Ending the picking at once: no print options, nothing printed.
    asked.clear();
    RecordingPrinter none;
    answerWith(&none);
    SelectedLabelRun();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(none.jobsBegun(), 0);
    EXPECT_EQ(AddrBookTable, nullptr);
}

// "Preview" in the options shows what the run would send through the printer's stored
// correction, for an occasion and for hand-picked recipients alike; it prints nothing and
// leaves the sheet memory as it was.
TEST_F(LabelRunTest, PreviewShowsTheCorrectedRunAndKeepsTheSheetMemory) {
    const PrinterCalibration cal{3.6, -2.4, 1.0};
    using Drawn = std::vector<std::tuple<int, int, QString>>;
    std::vector<Drawn> previews;
    for (int n : {7, int(OccasionSelected)}) {
        SCOPED_TRACE(n);
        RecordingPrinter out;
        // The options: the stock chosen, then "Preview" pressed and the preview closed, then
        // Cancel; the printer keeps the stored correction.
        struct Previewing : Answers {
            Previewing(LabelRunTest& test, RecordingPrinter* printed, PrinterCalibration c)
                : Answers(test, printed), cal(c) {}
            bool askPrintOptions() override {
                (void)Answers::askPrintOptions();
                QTimer::singleShot(0, [this] {
                    if (auto* w = qobject_cast<TLabelPreview*>(QApplication::activeModalWidget())) {
                        for (const PreviewText& t : w->pageModel().texts) previewed.emplace_back(t.x, t.y, t.text);
                        w->reject();
                    }
                });
                EXPECT_TRUE(TLabPrint::PreviewAction());
                if (TLabPrint::PreviewAction()) TLabPrint::PreviewAction()();
                return false;
            }
            std::unique_ptr<Printer> makePrinter() override {
                return std::make_unique<CalibratedPrinter>(Answers::makePrinter(), cal);
            }
            PrinterCalibration cal;
            Drawn previewed;
        } previewing(*this, &out, cal);
        previewing.picks = {2, 3};
        Installed<LabelRunDialogs>::install(&previewing);
        column = "2";
        OccasionLabelRun(n);
        previews.push_back(previewing.previewed);
        EXPECT_EQ(out.jobsBegun(), 0);
        std::optional<SheetPosition> remembered;
        ASSERT_TRUE(SheetRecall(lib->lib(), LabelRec.Name, &remembered).ok());
        EXPECT_FALSE(remembered);
    }
    Drawn expected;
    {
        RecordingPrinter direct;
        CalibratedPrinter corrected(direct, cal);
        LabelRun run(corrected, LabelRec, LabelFont, 2, 1);
        ASSERT_TRUE(run.printOccasion(7, {}, {}));  // Bob and Cyd, whom the picks above chose
        for (const auto& c : direct.textOuts())
            if (!c.text.isEmpty()) expected.emplace_back(c.x, c.y, c.text);
    }
    ASSERT_FALSE(expected.empty());
    for (const Drawn& d : previews) EXPECT_EQ(d, expected);
}

// Counting the recipients before the print options kept the normal cursor: on a large book
// the program sat seconds after the click with no sign of work.
TEST_F(LabelRunTest, TheCountBeforeThePrintOptionsShowsTheBusyCursor) {
    ReadWatchingFileSystem watched;
    xbase::Library watchedLib(watched);
    watchedLib.setDirectory(data.dir());
    xbase::Library* const previous = LibHandle;
    LibHandle = &watchedLib;
    int reads = 0, busyReads = 0;
    bool asked = false;
    watched.onRead = [&](const std::string& path) {
        if (asked || xbase::baseName(path) != "AddrBook.dbf") return;
        ++reads;
        busyReads += QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };
    RecordingPrinter out;
    struct Watching : Answers {
        Watching(LabelRunTest& test, RecordingPrinter* printed, bool& a) : Answers(test, printed), asked(a) {}
        bool askPrintOptions() override {
            asked = true;
            EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "a dialog under the busy cursor";
            return Answers::askPrintOptions();
        }
        bool& asked;
    } watching(*this, &out, asked);
    Installed<LabelRunDialogs>::install(&watching);
    optionsCancel = true;
    OccasionLabelRun(7);
    watchedLib.closeAll();
    AddrBookTable = LabelsTable = nullptr;
    LibHandle = previous;
    EXPECT_TRUE(asked);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(busyReads, reads);
}

// The count before the print options could not be stopped: on a large book the user sat it
// out. Cancel in its progress window ends the run there.
TEST_F(LabelRunTest, CancelDuringTheCountPrintsNothingAndAsksNothing) {
    RecordingPrinter out;
    answerWith(&out);
    CancelsProgress cancel;
    cancel.armed = true;
    OccasionLabelRun(7);
    EXPECT_EQ(cancel.cancels, 1);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(out.jobsBegun(), 0);
    EXPECT_EQ(AddrBookTable, nullptr);
}

// The preview's page count could not be stopped either; cancelled, the window stays on page 1
// and claims no total.
TEST_F(LabelRunTest, PreviewCountCancelledKeepsPageOne) {
    RecordingPrinter out;
    CancelsProgress cancel;
    QString shown;  // the page label once the count has ended, one way or the other
    int page = 0, looks = 0;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* w = qobject_cast<TLabelPreview*>(QApplication::activeModalWidget());
        if (!w) return;
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->text().startsWith(QStringLiteral("Page ")) && !l->text().endsWith(QChar(0x2026))) {
                shown = l->text();
                page = w->page();
            }
        if (!shown.isEmpty() || ++looks > 2000) w->reject();  // ended, or never will
    });
    struct Previewing : Answers {
        Previewing(LabelRunTest& test, RecordingPrinter* printed, QTimer& l, CancelsProgress& c)
            : Answers(test, printed), look(l), cancel(c) {}
        bool askPrintOptions() override {
            (void)Answers::askPrintOptions();
            look.start(1);
            cancel.armed = true;  // the run's count is behind: the preview's count is the one to cancel
            TLabPrint::PreviewAction()();
            return false;
        }
        QTimer& look;
        CancelsProgress& cancel;
    } previewing(*this, &out, look, cancel);
    Installed<LabelRunDialogs>::install(&previewing);
    OccasionLabelRun(7);
    look.stop();
    EXPECT_EQ(cancel.cancels, 1);
    EXPECT_EQ(shown, QStringLiteral("Page 1"));
    EXPECT_EQ(page, 1);
    EXPECT_EQ(out.jobsBegun(), 0);
}

// The run was counted before the preview was first drawn: on a large book the window stood
// blank for seconds, though page 1 needs only its own labels.
TEST(LabelPreview, PageOneIsDrawnBeforeTheRunIsCounted) {
    PaintCounter watch;
    RecordingPrinter metrics;
    int runs = 0;
    int drawnBeforeCount = -1;
    TLabelPreview preview(
        [&](Printer&, const BookProgress&) {
            if (++runs == 2) drawnBeforeCount = watch.paints;  // the count, slow on a large book
        },
        metrics, ThirtyPerSheet(), {});
    ASSERT_EQ(runs, 1) << "page 1 is laid out at once";
    preview.findChild<QScrollArea*>()->widget()->installEventFilter(&watch);
    preview.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs >= 2; })) << "the run is counted after the first page";
    EXPECT_GT(drawnBeforeCount, 0);
}

// A run is logged for the next time its occasion comes round: a Valentine's run in December is
// for next February; the moving holidays fall on their days (Easter/Passover on the later of
// the two); occasion 8 goes by its span's last day, hand-picked labels by today.
TEST(CardYear, ARunIsLoggedForTheNextTimeTheOccasionComesRound) {
    const struct {
        int occasion;
        QDate today, spanEnd;
        int year;
    } cases[] = {
        {1, {2026, 12, 9}, {}, 2027},   {1, {2026, 2, 14}, {}, 2026},  {1, {2026, 2, 15}, {}, 2027},
        {2, {2026, 5, 10}, {}, 2026},   {2, {2026, 5, 11}, {}, 2027},  // second Sunday of May
        {3, {2026, 6, 21}, {}, 2026},   {3, {2026, 6, 22}, {}, 2027},  // third Sunday of June
        {4, {2024, 4, 10}, {}, 2024},   {4, {2024, 4, 24}, {}, 2025},  // Easter 31 March, Passover 23 April
        {4, {2025, 4, 20}, {}, 2025},   {4, {2025, 4, 21}, {}, 2026},  // Passover 13 April, Easter 20 April
        {4, {2026, 4, 5}, {}, 2026},    {4, {2026, 4, 6}, {}, 2027},   // Passover 2 April, Easter 5 April
        {4, {2027, 4, 22}, {}, 2027},   {4, {2027, 4, 23}, {}, 2028},  // Easter 28 March, Passover 22 April
        {5, {2026, 10, 31}, {}, 2026},  {6, {2026, 11, 26}, {}, 2026}, {6, {2026, 11, 27}, {}, 2027},
        {7, {2026, 12, 25}, {}, 2026},  {7, {2026, 12, 26}, {}, 2027},
        {8, {2026, 12, 9}, {2026, 12, 31}, 2026}, {8, {2026, 12, 9}, {2027, 1, 31}, 2027},
        {8, {2026, 12, 9}, {2026, 3, 31}, 2027},  {9, {2026, 12, 31}, {}, 2026},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CardYear(c.occasion, c.today, c.spanEnd), c.year)
            << c.occasion << " on " << c.today.toString(Qt::ISODate).toStdString();
}
