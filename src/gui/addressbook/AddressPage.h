#pragma once
// The "Address Book" page of the main window: the names list, the seek box, the editor of one
// recipient and the "New" and "Delete" buttons.
//
// The page opens AddrBook when it is shown (TabSheet2Show) and closes it when it is hidden
// (TabSheet2Hide). There is no Save button: leaving a bound control after any change writes the
// whole record and rebuilds the list. The table work is done by AddressBookEditor; this class
// moves data between the widgets and AddressRec and keeps the list in step.
//
// Beside the editor, under the names list, the "Cards" list shows the card events of the person
// in the editor, newest first; "Add Card..." logs a received or returned card for them by hand,
// and Delete or "Remove" on the list takes one event out of the log.
// A name whose card came back to the address it still has carries a mark in the names list.
//
// Bound controls (change -> Edit1Change, focus leaving -> Edit1Exit): Edit1..Edit12, the four
// date pickers DateTimePicker1..4 and the eleven check boxes CheckBox1..11. Controls carry
// these object names.

#include <QWidget>
#include <functional>
#include <vector>

#include "core/addressbook/AddressBookEditor.h"
#include "core/addressbook/AddressListModel.h"
#include "core/data/CardLog.h"

class CardList;

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

class AddressPage : public QWidget {
    Q_OBJECT
public:
    explicit AddressPage(QWidget* parent = nullptr);
    ~AddressPage() override;

    // Page state.
    bool EditorLoading = false;  // the page is filling its own controls: ignore their changes
    bool EditorChanged = false;  // a bound control was changed by the user since the last load
    int currentRecNo() const { return editor_.CurrentAddrRecNo; }
    const QString& seekText() const { return editor_.AddrSeekText; }

    // Rebuilds the list from the table in index order, selects the row of the current record
    // (the first row when it is not listed) and loads the selected record into the editor.
    void FillNameList();
    // The record of the selected list row (new-record mode when the list is empty) into the editor.
    void SelectListedRecord();
    // Record CurrentAddrRecNo (or the blank new record) into the controls; clears EditorChanged.
    void LoadEditor();
    // The controls into AddrBook: appends in new-record mode, otherwise overwrites the current
    // record; then rebuilds the list. On failure tells the user and leaves EditorChanged set.
    void SaveEditor();

    // Logs a card of `kind` for the person in the editor (none in new-record mode), then shows
    // the Cards list and, for a returned card, the names list anew. False when nothing was
    // logged (no person, already logged, or the log could not be written: the status bar says).
    bool AddCard(CardKind kind, int occasion, int year);
    // Fills the Cards list with the events of the person in the editor.
    void ShowCards();
    // Removes `event` of the person in the editor from the card log once the user confirms,
    // then shows the Cards list (and for a returned card the names list) anew. False when
    // nothing was removed (declined, or the log could not be written: the status bar says).
    bool RemoveCard(const CardEvent& event);

    AddressListModel* listModel() const { return model_; }
    CardList* cardList() const { return cards_; }
    QPushButton* addCardButton() const { return addCardButton_; }
    QPushButton* householdButton() const { return householdButton_; }
    // "Household...": the household of the person in the editor (HouseholdDialog.h).
    void HouseholdClick();
    QTableView* nameList() const { return list_; }

signals:
    // A text for the main window's status bar (characters the book cannot hold, for one).
    void statusMessage(const QString& text);

public slots:
    void TabSheet2Show();    // page shown: open the table, fill the list, load the first name
    void TabSheet2Hide();    // page hidden: save a pending change, close the table
    void StringGrid2Click(); // a list row chosen
    void Edit13Change();     // seek box changed: seek
    void Edit1Change();      // a bound control changed
    void Edit1Exit();        // focus left a bound control: save when changed
    void LMDButton7Click();  // "New"
    void LMDButton8Click();  // "Delete"
    void AddCardClick();     // "Add Card..."

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void bindControl(QWidget* w);
    void applyFontMetrics();  // list sizes from the letter "B" and the line height of the font
    void layoutList(int records);
    void fitTexts();  // captions clear of the list, check box texts whole or elided with a tooltip
    void fitLowerRows();  // the dated rows and the occasions: check boxes whole where room allows
    int widestCaption() const;  // the widest caption on one line, in its own font
    void selectRow(int row);

    AddressBookEditor editor_;
    AddressListModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QLineEdit* seek_ = nullptr;
    QLineEdit* edits_[12] = {};
    QDateEdit* pickers_[4] = {};
    QCheckBox* checks_[11] = {};  // CheckBox1 .. CheckBox11
    struct Caption { QLabel* label; QString text; int y; };
    std::vector<Caption> captions_;  // the right-aligned captions of the boxes
    struct CheckText { QString text; int width, room; };
    CheckText checkTexts_[11];       // designed width and the room free to its right
    QLabel* chanukah_ = nullptr;     // the second line of "Christmas/"
    QPushButton* newButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    CardList* cards_ = nullptr;
    QPushButton* addCardButton_ = nullptr;
    QPushButton* householdButton_ = nullptr;
    std::vector<uint32_t> householdIds_;  // HouseholdIdsOfBook, by record number
    bool householdsStale_ = true;
    int letterB_ = 7;      // width of "B" in the page font
    int rowHeight_ = 24;   // list row height, grid line included
    bool selecting_ = false;  // the page itself is moving the list selection
    bool saving_ = false;
    bool rebuildLater_ = false;  // a save is made on the way to a click on the names list
};
