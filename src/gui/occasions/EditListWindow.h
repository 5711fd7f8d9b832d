#pragma once
// "Edit List...": a holiday's list in one window. Everyone in the book in name order, people at
// one address together (a band of one shade per household), with a check box for the occasion's
// flag and, from the card log, whether a card of it went to them and came from them last year.
// Typing in the filter narrows the list by name, city or zip; Space toggles the focused row;
// "All shown" / "None shown" set the rows shown; the headers sort. OK writes the changed flags
// in one pass through the record store routine (core/households/OccasionList.h); Cancel writes
// nothing. AddrBook must not be open (the address page closes it when it is hidden).

#include <QDialog>
#include <cstdint>
#include <map>

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

class EditListWindow : public QDialog {
    Q_OBJECT
public:
    enum Column { CheckColumn = 0, NameColumn, CityColumn, ZipColumn, SentColumn, ReceivedColumn, ColumnCount };

    // Reads the list of holiday `occasion` (1 to 7); a book that cannot be read is told and the
    // window opens empty with OK disabled.
    EditListWindow(int occasion, QWidget* parent = nullptr);

    QLineEdit* filterBox() const { return filter_; }
    QTableView* view() const { return view_; }
    QLabel* countLine() const { return count_; }
    QPushButton* allButton() const { return all_; }
    QPushButton* noneButton() const { return none_; }
    QPushButton* okButton() const { return ok_; }
    // The record shown in view row `row` (after filter and sort).
    uint32_t recNoAt(int row) const;
    // How many rows are checked, and how many households they make.
    int checkedPeople() const;
    int checkedHouseholds() const;

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setShown(bool on);
    void showCount();

    int occasion_;
    QStandardItemModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
    QTableView* view_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* all_ = nullptr;
    QPushButton* none_ = nullptr;
    QPushButton* ok_ = nullptr;
    std::map<uint32_t, bool> stored_;  // the flag as read, by record
};

// Opens the window for `occasion` modally over `parent`.
void EditOccasionList(int occasion, QWidget* parent);
