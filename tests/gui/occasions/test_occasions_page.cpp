// The "Labels && Reminders" page: list geometry and content per mode, the connector, and which
// run a click or a key starts. Runs are caught by the page's runner hooks.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "PaintCounter.h"
#include "Installing.h"
#include "gui/occasions/OccasionRuns.h"
#include "gui/occasions/OccasionsPage.h"

namespace {

struct Started {
    char kind;  // 'L' label run, 'R' reminder run
    int occasion;
    QString title;
    bool operator==(const Started& o) const {
        return kind == o.kind && occasion == o.occasion && title == o.title;
    }
};
std::ostream& operator<<(std::ostream& os, const Started& s) {
    return os << s.kind << s.occasion << ":" << s.title.toStdString();
}

// The runs the page starts, noted in place of the program's: 'L' a label run, 'R' a reminder run,
// '1', '2' the card-log reports.
struct NotedRuns : OccasionRuns {
    void labels(int n) override { runs.push_back({'L', n, {}}); }
    void reminders(int n, const QString& title) override { runs.push_back({'R', n, title}); }
    void cardReport(CardReport r, int n) override { runs.push_back({char('0' + int(r)), n, {}}); }
    std::vector<Started> runs;
};

class OccasionsPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        page.resize(737, 437);
        page.SetOccasionsMode(1);  // as the main window does at start-up
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    }

    QStringList listTexts() const {
        QStringList out;
        for (int r = 0; r < page.StringGrid1->rowCount(); ++r)
            out << page.StringGrid1->item(r, 0)->text();
        return out;
    }

    // Mouse click on list row `row`.
    void clickRow(int row) {
        QTableWidget* g = page.StringGrid1;
        const QRect r = g->visualRect(g->model()->index(row, 0));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
    }

    NotedRuns noted;
    Installing<OccasionRuns> installed{noted};
    std::vector<Started>& runs = noted.runs;
    OccasionsPage page;
};

}  // namespace

TEST_F(OccasionsPageTest, ListsAreSizedAndCentredByTheirTexts) {
    QTableWidget* g = page.StringGrid1;
    EXPECT_EQ(page.OccasionsMode(), 1);
    EXPECT_EQ(listTexts(), (QStringList{"Print Labels", "Valentines Day", "Mother's Day",
                                        "Father's Day", "Easter/Passover", "Halloween",
                                        "Thanksgiving", "Christmas / Chanukah", "Birthday, Etc",
                                        "Selected"}));
    EXPECT_EQ(g->geometry(), QRect(416, 437 / 2 - 253 / 2, 160, 253));
    EXPECT_EQ(g->columnWidth(0), 160);
    EXPECT_TRUE(page.SBLabels->isChecked());

    page.SBRemind->click();
    EXPECT_EQ(page.OccasionsMode(), 2);
    EXPECT_EQ(listTexts().size(), 9);
    EXPECT_EQ(listTexts().front(), "Print Reminders");
    EXPECT_EQ(listTexts().back(), "Birthday, Etc");
    EXPECT_EQ(g->geometry(), QRect(416, 218 - 114, 160, 228));

    // The list is centred on whatever height the page has.
    page.resize(737, 600);
    EXPECT_EQ(g->y(), 300 - 114);
    EXPECT_EQ(page.LMDDrawEdge3->y(), g->y() + 15);

    // Every row, the title included, is exactly one row height plus its grid line, and the
    // whole list shows without scrolling.
    for (int r = 0; r < g->rowCount(); ++r) EXPECT_EQ(g->rowHeight(r), 25) << r;
    EXPECT_EQ(g->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(g->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(g->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(OccasionsPageTest, WidthFollowsTheLongestText) {
    page.BuildOccasionsList("T", {"ab", "abcdefghijklmnopqrstuvwxyz0123", "x"});
    EXPECT_EQ(page.StringGrid1->width(), 8 * 30);
    EXPECT_EQ(page.StringGrid1->height(), 4 * 25 + 3);
    page.BuildOccasionsList("A much longer title than rows", {"a"});
    EXPECT_EQ(page.StringGrid1->width(), 8 * 29);
    EXPECT_EQ(page.StringGrid1->rowCount(), 2);
}

TEST_F(OccasionsPageTest, ConnectorJoinsThePressedButtonToTheTitleRow) {
    auto joins = [&] {
        const int a = page.LMDDrawEdge1->y(), b = page.LMDDrawEdge3->y();
        EXPECT_EQ(page.LMDDrawEdge3->y(), page.StringGrid1->y() + 15);
        EXPECT_EQ(page.LMDDrawEdge2->y(), std::min(a, b));
        EXPECT_EQ(page.LMDDrawEdge2->height(), std::abs(a - b));
        EXPECT_EQ(page.LMDDrawEdge2->x(), 296);
    };
    // Start-up keeps the design top, level with "Print Labels".
    EXPECT_EQ(page.LMDDrawEdge1->y(), 128);
    joins();
    EXPECT_EQ(page.LMDDrawEdge2->height(), 128 - 107);

    page.SBRemind->click();
    EXPECT_EQ(page.LMDDrawEdge1->y(), 192 + 15);
    joins();
    EXPECT_EQ(page.LMDDrawEdge2->height(), 207 - 119);

    // On a taller page the list line lies below the button line: the vertical line now runs
    // down from the button line.
    page.resize(737, 600);
    page.SBLabels->click();
    EXPECT_EQ(page.LMDDrawEdge1->y(), 112 + 15);
    EXPECT_EQ(page.LMDDrawEdge3->y(), 300 - 126 + 15);
    joins();
    EXPECT_EQ(page.LMDDrawEdge2->y(), 127);
}

TEST_F(OccasionsPageTest, ModeButtonsStayExclusiveWhenThePressedOneIsClickedAgain) {
    page.SBLabels->click();
    EXPECT_TRUE(page.SBLabels->isChecked());
    EXPECT_FALSE(page.SBRemind->isChecked());
    page.SBRemind->click();
    page.SBRemind->click();
    EXPECT_TRUE(page.SBRemind->isChecked());
    EXPECT_FALSE(page.SBLabels->isChecked());
    EXPECT_EQ(page.OccasionsMode(), 2);
    EXPECT_TRUE(runs.empty()) << "switching modes starts no run";
    // The glyphs come from the program's resources.
    EXPECT_FALSE(page.SBLabels->icon().isNull());
    EXPECT_FALSE(page.SBRemind->icon().isNull());
}

TEST_F(OccasionsPageTest, ClickOnARowStartsItsRunEveryTime) {
    clickRow(8);
    clickRow(8);  // the row already selected runs again
    clickRow(9);
    clickRow(0);  // the title row starts nothing
    page.SBRemind->click();
    clickRow(8);
    clickRow(4);
    EXPECT_EQ(runs, (std::vector<Started>{{'L', 8, {}},
                                          {'L', 8, {}},
                                          {'L', 9, {}},
                                          {'R', 8, "Birthday, Etc"},
                                          {'R', 4, "Easter/Passover"}}));
    EXPECT_GE(page.StringGrid1->currentRow(), 1) << "the title row never becomes current";
}

// A run started with the chosen row not yet drawn selected: on a large book the list showed the
// row before for seconds, as if the click had not been taken.
TEST_F(OccasionsPageTest, TheChosenRowIsDrawnSelectedBeforeItsRunStarts) {
    PaintCounter watch;
    QWidget* rows = page.StringGrid1->viewport();
    rows->installEventFilter(&watch);
    std::vector<int> drawnBefore;  // paints since the choice, when each run started
    struct Drawn : OccasionRuns {
        Drawn(PaintCounter& w, std::vector<int>& d) : watch(w), drawn(d) {}
        void labels(int) override { drawn.push_back(watch.paints); }
        void reminders(int, const QString&) override { drawn.push_back(watch.paints); }
        PaintCounter& watch;
        std::vector<int>& drawn;
    } drawn(watch, drawnBefore);
    Installing<OccasionRuns> noting{drawn};
    watch.paints = 0;
    clickRow(7);
    page.SBRemind->click();
    QApplication::processEvents();
    watch.paints = 0;
    QTest::keyClick(page.StringGrid1, Qt::Key_Down);
    EXPECT_EQ(drawnBefore.size(), 2u);
    for (int paints : drawnBefore) EXPECT_GT(paints, 0);
}

// The card-log reports are offered in reminders mode only and apply to the holidays; occasion
// 8 and the first choice keep the reminder run.
TEST_F(OccasionsPageTest, ReportChoiceSendsHolidayRowsToTheCardReports) {
    EXPECT_FALSE(page.ReportChoice->isVisible());
    page.SetOccasionsMode(OccasionsReminderMode);
    EXPECT_TRUE(page.ReportChoice->isVisible());
    EXPECT_EQ(page.ReportChoice->currentIndex(), 0);
    page.StringGrid1Click(7);
    page.ReportChoice->setCurrentIndex(1);
    page.StringGrid1Click(7);
    page.StringGrid1Click(8);
    page.ReportChoice->setCurrentIndex(2);
    page.StringGrid1Click(1);
    const std::vector<Started> want = {{'R', 7, "Christmas / Chanukah"}, {'1', 7, {}},
                                       {'R', 8, "Birthday, Etc"}, {'2', 1, {}}};
    EXPECT_EQ(runs, want);
    page.SetOccasionsMode(OccasionsLabelMode);
    EXPECT_FALSE(page.ReportChoice->isVisible());
}

TEST_F(OccasionsPageTest, KeyboardMovesStartTheRowMovedTo) {
    page.SBRemind->click();
    QTableWidget* g = page.StringGrid1;
    g->setFocus();
    g->setCurrentCell(1, 0);
    QTest::keyClick(g, Qt::Key_Down);  // to row 2
    QTest::keyClick(g, Qt::Key_Up);    // back to row 1
    QTest::keyClick(g, Qt::Key_Up);    // the title row is not a stop: nothing happens
    QTest::keyClick(g, Qt::Key_Space);   // run the current row again
    QTest::keyClick(g, Qt::Key_Return);  // Return and Enter start nothing
    QTest::keyClick(g, Qt::Key_Enter);
    QTest::keyClick(g, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(runs, (std::vector<Started>{{'R', 2, "Mother's Day"},
                                          {'R', 1, "Valentines Day"},
                                          {'R', 1, "Valentines Day"},
                                          {'R', 8, "Birthday, Etc"}}));
    EXPECT_EQ(g->currentRow(), 8);
}
