#pragma once
// The "Labels && Reminders" page: two grouped mode buttons ("Print Labels", "Print Reminders")
// choose what the occasions list beside them does, and a click on a row of that list starts the
// label run or the reminder run for the occasion. Three lines connect the pressed mode button to
// the list's title row.
//
// The list is sized and centred by BuildOccasionsList: (n + 1) rows of DefaultRowHeight plus one
// grid line each, plus 3; eight pixels per character of the longest text; centred vertically.
// The page starts runs and keeps no state between clicks; the runs report their own failures.
// In reminders mode a choice under the mode buttons offers, for the holidays, the card log's two
// reports beside the reminders, which stay the first choice.

#include <QWidget>
#include <array>

#include "core/occasions/Occasions.h"  // ReminderTitles

class QButtonGroup;
class QComboBox;
class QFrame;
class QPushButton;
class QTableWidget;
class QToolButton;

// The texts of the occasions list; row r of a list is entry [r - 1]. Equal texts, separate tables.
extern const std::array<const char*, 9> LabelRows;
extern const std::array<const char*, 8> ReminderRows;

inline constexpr int OccasionsLabelMode = 1;
inline constexpr int OccasionsReminderMode = 2;

class OccasionsPage : public QWidget {
    Q_OBJECT
public:
    explicit OccasionsPage(QWidget* parent = nullptr);

    static constexpr int DefaultRowHeight = 24;  // grid line not included

    QToolButton* SBLabels = nullptr;
    QToolButton* SBRemind = nullptr;
    QFrame* LMDDrawEdge1 = nullptr;  // at the pressed mode button
    QFrame* LMDDrawEdge2 = nullptr;  // vertical, joining the two horizontal lines
    QFrame* LMDDrawEdge3 = nullptr;  // at the list's title row
    QTableWidget* StringGrid1 = nullptr;
    QComboBox* ReportChoice = nullptr;  // reminders mode: which report a holiday row gives
    QPushButton* EditList = nullptr;    // labels mode: "Edit List..." (EditListWindow.h)

    int OccasionsMode() const { return mode_; }

    // 1 labels, 2 reminders: refills the list. Any other value changes the mode but rebuilds
    // nothing. Keeps the pressed button in step with the mode.
    void SetOccasionsMode(int mode);
    // Sizes, places and fills the list (title row first) and places the connector.
    void BuildOccasionsList(const QString& title, const QStringList& rows);


public slots:
    void SBLabelsClick();
    void SBRemindClick();
    // Starts the run for list row `row` (1 and up); the title row and anything outside the
    // list do nothing.
    void StringGrid1Click(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void placeList();
    void placeConnector();
    void fitModeButtons();  // captions whole: the buttons grow to the left, the connector stays

    int mode_ = 0;
    QButtonGroup* group_ = nullptr;
};
