#include "gui/occasions/OccasionsPage.h"
#include "gui/occasions/EditListWindow.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QPushButton>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMainWindow>
#include <QStatusBar>
#include <QMouseEvent>
#include <QPainter>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>
#include <functional>

#include "gui/common/DialogLook.h"
#include "gui/common/Fitting.h"
#include "gui/common/FocusMark.h"
#include "gui/common/Installed.h"
#include "gui/occasions/OccasionRuns.h"

const std::array<const char*, 9> LabelRows{
    "Valentines Day", "Mother's Day", "Father's Day", "Easter/Passover", "Halloween",
    "Thanksgiving", "Christmas / Chanukah", "Birthday, Etc", "Selected"};
const std::array<const char*, 8> ReminderRows{
    "Valentines Day", "Mother's Day", "Father's Day", "Easter/Passover", "Halloween",
    "Thanksgiving", "Christmas / Chanukah", "Birthday, Etc"};

namespace {

template <size_t N>
QStringList rowTexts(const std::array<const char*, N>& rows) {
    QStringList out;
    for (const char* r : rows) out.append(QString::fromUtf8(r));
    return out;
}

// The occasions list. Row 0 is the fixed title row: the cursor never goes there and a press on
// it does nothing. A mouse click on a row, a keyboard move onto a row, and Space on the current
// row each report that row as chosen, so the row already selected can be run again. Return and
// Enter start nothing: one pressed too many after closing a run's message would start another.
class OccasionsGrid : public QTableWidget {
public:
    using QTableWidget::QTableWidget;
    std::function<void(int)> chosen;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        QModelIndex next = QTableWidget::moveCursor(action, modifiers);
        if (next.isValid() && next.row() < 1) {
            next = model()->index(rowCount() > 1 ? 1 : 0, 0);
        }
        return next;
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (rowAt(event->position().toPoint().y()) < 1) {
            event->accept();  // the title row: selects nothing
            return;
        }
        QTableWidget::mousePressEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        const int row = rowAt(event->position().toPoint().y());
        QTableWidget::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && row >= 1 && row == currentRow() && chosen)
            chosen(row);
    }

    void keyPressEvent(QKeyEvent* event) override {
        const int before = currentRow();
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        case Qt::Key_Space:
            if (before >= 1 && chosen) chosen(before);
            event->accept();
            return;
        default:
            break;
        }
        QTableWidget::keyPressEvent(event);
        const int after = currentRow();
        if (after != before && after >= 1 && chosen) chosen(after);
    }
};

QFrame* connectorLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::NoFrame);
    FillBackground(line, QColor(230, 230, 230));
    return line;
}

QToolButton* modeButton(const QString& caption, const QString& glyph, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(caption);
    b->setCheckable(true);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QIcon icon(glyph);
    if (!icon.availableSizes().isEmpty()) {
        b->setIcon(icon);
        b->setIconSize(QSize(32, 32));
    }
    b->setFont(BoldWeight());
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

}  // namespace

OccasionsPage::OccasionsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet1"));
    resize(737, 437);

    SBLabels = modeButton(QStringLiteral("Print &Labels"), QStringLiteral(":/print_labels.png"), this);
    SBLabels->setObjectName(QStringLiteral("SBLabels"));
    SBLabels->setGeometry(72, 112, 145, 65);
    SBRemind =
        modeButton(QStringLiteral("Print &Reminders"), QStringLiteral(":/print_reminders.png"), this);
    SBRemind->setObjectName(QStringLiteral("SBRemind"));
    SBRemind->setGeometry(72, 192, 145, 65);
    group_ = new QButtonGroup(this);
    group_->setExclusive(true);
    group_->addButton(SBLabels, OccasionsLabelMode);
    group_->addButton(SBRemind, OccasionsReminderMode);
    SBLabels->setChecked(true);

    LMDDrawEdge1 = connectorLine(this);
    LMDDrawEdge1->setObjectName(QStringLiteral("LMDDrawEdge1"));
    LMDDrawEdge1->setGeometry(216, 128, 81, 2);
    LMDDrawEdge2 = connectorLine(this);
    LMDDrawEdge2->setObjectName(QStringLiteral("LMDDrawEdge2"));
    LMDDrawEdge2->setGeometry(296, 128, 2, 0);
    LMDDrawEdge3 = connectorLine(this);
    LMDDrawEdge3->setObjectName(QStringLiteral("LMDDrawEdge3"));
    LMDDrawEdge3->setGeometry(296, 128, 129, 2);

    auto* grid = new OccasionsGrid(this);
    StringGrid1 = grid;
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    new FocusMark(StringGrid1);  // the list shows no focus of its own
    StringGrid1->setColumnCount(1);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setMinimumSectionSize(1);
    StringGrid1->verticalHeader()->setDefaultSectionSize(DefaultRowHeight + 1);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->setFont(BoldWeight());
    grid->chosen = [this](int row) { StringGrid1Click(row); };

    // Left to right: the mode buttons, then the list.
    setTabOrder(SBLabels, SBRemind);
    setTabOrder(SBRemind, StringGrid1);

    connect(SBLabels, &QToolButton::clicked, this, &OccasionsPage::SBLabelsClick);
    connect(SBRemind, &QToolButton::clicked, this, &OccasionsPage::SBRemindClick);

    ReportChoice = new QComboBox(this);
    ReportChoice->setObjectName(QStringLiteral("ReportChoice"));
    ReportChoice->addItem(QStringLiteral("Reminders"), int(CardReport::Reminders));
    ReportChoice->addItem(QStringLiteral("Not yet sent this year"), int(CardReport::NotYetSent));
    ReportChoice->addItem(QStringLiteral("Received but not sent"), int(CardReport::ReceivedNotSent));
    ReportChoice->setToolTip(QStringLiteral("For a holiday: the reminders, or a report from the card log"));
    ReportChoice->setGeometry(72, 272, 180, 24);
    ReportChoice->setVisible(false);
    setTabOrder(SBRemind, ReportChoice);
    setTabOrder(ReportChoice, StringGrid1);

    // Labels mode: a holiday's whole list in one window, for the holiday row the list stands on
    // (Christmas / Chanukah when it stands on none).
    EditList = new QPushButton(QStringLiteral("&Edit List..."), this);
    EditList->setObjectName(QStringLiteral("EditList"));
    EditList->setToolTip(QStringLiteral("Choose who is on a holiday's list, all in one window"));
    EditList->setGeometry(72, 272, 145, 27);
    EditList->setVisible(false);
    setTabOrder(SBRemind, EditList);
    connect(EditList, &QPushButton::clicked, this, [this] {
        const int row = StringGrid1->currentRow();
        EditOccasionList(row >= 1 && row <= 7 ? row : 7, this);
    });

    fitModeButtons();
}

void OccasionsPage::changeEvent(QEvent* event) {
    // The main window takes its face from the label font at start-up; the captions follow.
    if (event->type() == QEvent::FontChange && SBRemind) fitModeButtons();
    QWidget::changeEvent(event);
}

void OccasionsPage::fitModeButtons() {
    // The buttons end where the connector to the list begins (x = 217); a wider caption takes
    // room from the free page to their left, down to x = 8.
    constexpr int kRight = 72 + 145;
    const struct {
        QToolButton* button;
        const char* text;
    } buttons[] = {{SBLabels, "Print &Labels"}, {SBRemind, "Print &Reminders"}};
    int width = 145;  // the pair stays alike
    for (const auto& b : buttons) {
        b.button->setText(QString::fromLatin1(b.text));
        width = std::clamp(b.button->sizeHint().width(), width, kRight - 8);
    }
    for (const auto& b : buttons) {
        FitButtonText(b.button, QString::fromLatin1(b.text), width, width);
        b.button->move(kRight - width, b.button->y());
    }
}

void OccasionsPage::SetOccasionsMode(int mode) {
    mode_ = mode;
    ReportChoice->setVisible(mode == OccasionsReminderMode);
    EditList->setVisible(mode == OccasionsLabelMode);
    if (mode == OccasionsLabelMode) {
        SBLabels->setChecked(true);
        BuildOccasionsList(QStringLiteral("Print Labels"), rowTexts(LabelRows));
    } else if (mode == OccasionsReminderMode) {
        SBRemind->setChecked(true);
        BuildOccasionsList(QStringLiteral("Print Reminders"), rowTexts(ReminderRows));
    }
    update();
}

void OccasionsPage::BuildOccasionsList(const QString& title, const QStringList& rows) {
    const int n = static_cast<int>(rows.size());
    StringGrid1->clearContents();
    StringGrid1->setRowCount(n + 1);

    qsizetype longest = title.size();
    for (const QString& r : rows) longest = std::max(longest, r.size());
    const int width = 8 * static_cast<int>(longest);
    const int height = (n + 1) * (DefaultRowHeight + 1) + 3;
    StringGrid1->setColumnWidth(0, width);
    StringGrid1->resize(width, height);

    auto* head = new QTableWidgetItem(title);
    head->setFlags(Qt::ItemIsEnabled);  // fixed row: never selected
    head->setBackground(palette().button());
    head->setForeground(palette().buttonText());
    StringGrid1->setItem(0, 0, head);
    for (int i = 0; i < n; ++i) {
        auto* item = new QTableWidgetItem(rows.at(i));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        StringGrid1->setItem(i + 1, 0, item);
    }
    if (n > 0) {
        // The first occasion row starts out selected, as the cursor must sit on some row;
        // selecting it this way starts nothing.
        QSignalBlocker block(StringGrid1);
        StringGrid1->setCurrentCell(1, 0);
    }
    placeList();
}

void OccasionsPage::placeList() {
    const int top = height() / 2 - StringGrid1->height() / 2;
    StringGrid1->move(416, top);
    placeConnector();
}

void OccasionsPage::placeConnector() {
    LMDDrawEdge3->move(LMDDrawEdge3->x(), StringGrid1->y() + 15);
    const int a = LMDDrawEdge1->y();
    const int b = LMDDrawEdge3->y();
    LMDDrawEdge2->setGeometry(LMDDrawEdge2->x(), std::min(a, b), 2, std::abs(a - b));
}

void OccasionsPage::SBLabelsClick() {
    LMDDrawEdge1->move(LMDDrawEdge1->x(), SBLabels->y() + 15);
    SetOccasionsMode(OccasionsLabelMode);
}

void OccasionsPage::SBRemindClick() {
    LMDDrawEdge1->move(LMDDrawEdge1->x(), SBRemind->y() + 15);
    SetOccasionsMode(OccasionsReminderMode);
}

void OccasionsPage::StringGrid1Click(int row) {
    if (row < 1 || row >= StringGrid1->rowCount()) return;
    // What the last run left in the status bar (where its PDF went) is not this run's.
    if (auto* frame = qobject_cast<QMainWindow*>(window())) frame->statusBar()->clearMessage();
    // The row chosen is drawn selected now: the run may keep the event loop busy a while.
    StringGrid1->viewport()->repaint();
    OccasionRuns& runs = Installed<OccasionRuns>::get();
    if (mode_ == OccasionsLabelMode) {
        runs.labels(row);
    } else if (mode_ == OccasionsReminderMode) {
        const auto report = CardReport(ReportChoice->currentData().toInt());
        if (report != CardReport::Reminders && row <= 7)
            runs.cardReport(report, row);
        else if (row <= static_cast<int>(ReminderTitles.size()))
            runs.reminders(row, QString::fromUtf8(ReminderTitles[row - 1]));
    }
}

void OccasionsPage::paintEvent(QPaintEvent*) {
    // A diagonal fill of 128 bands from blue at the top left to black at the bottom right.
    QPainter p(this);
    QLinearGradient g(0, 0, width(), height());
    constexpr int steps = 128;
    for (int i = 0; i < steps; ++i) {
        const QColor c(0, 0, 255 - (255 * i) / (steps - 1));
        g.setColorAt(double(i) / steps, c);
        g.setColorAt(double(i + 1) / steps - 1e-6, c);
    }
    p.fillRect(rect(), g);
}

void OccasionsPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeList();
}
