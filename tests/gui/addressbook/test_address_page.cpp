// The "Address Book" page driven through its widgets, on a fresh data set in a temporary
// directory: listing, seeking, saving on leaving a control, new records and deleting.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QSpinBox>
#include <QKeyEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QWheelEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Installing.h"
#include "MessageLog.h"
#include "TestData.h"
#include "gui/common/MessageBoxes.h"
#include "gui/common/WheelGuard.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include <QLabel>

#include "gui/common/Fitting.h"
#include "gui/addressbook/AddressPage.h"
#include "gui/addressbook/CardList.h"
#include "gui/addressbook/HouseholdDialog.h"
#include "core/households/Households.h"
#include <QListWidget>
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

struct Name {
    std::string last, first, street = "";
};

// One AddrBook row as stored.
struct Row {
    uint32_t recNo = 0;
    std::string first, last, street, city, birthdate, annavdate, other1date, other2date;
    bool birthday = false, valentine = false;
};

std::string trimmed(const std::string& s) { return QString::fromStdString(s).trimmed().toStdString(); }

class AddressPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        lib_ = std::make_unique<ScopedLibrary>(data_.path());
        LibHandle->setSyncOnFlush(false);
    }

    void TearDown() override {
        if (page_) {
            page_->TabSheet2Hide();
            delete page_;
        }
        lib_.reset();
    }

    // Appends names (while the page has the book closed).
    void addNames(const std::vector<Name>& names) {
        std::vector<std::vector<std::string>> rows;
        for (const Name& n : names) {
            std::vector<std::string> r(27);
            r[0] = n.first;
            r[1] = n.last;
            r[2] = n.street;
            rows.push_back(r);
        }
        AppendAddressRows(data_.dir(), rows);
    }

    // Every row in index order, read through the page's open table or a table opened here.
    std::vector<Row> book() {
        xbase::Table* t = AddrBookTable;
        const bool own = t == nullptr;
        if (own) t = LibHandle->open("AddrBook");
        std::vector<Row> rows;
        if (!t) return rows;
        t->selectTag(t->tag("Address"));
        for (int rc = t->top(); rc == xbase::kOk; rc = t->skip(1)) {
            Row r;
            r.recNo = t->recNo();
            r.first = t->field("First")->str();
            r.last = t->field("Last")->str();
            r.street = t->field("Street")->str();
            r.city = t->field("City")->str();
            r.birthdate = t->field("Birthdate")->str();
            r.annavdate = t->field("Annavdate")->str();
            r.other1date = t->field("Other1Date")->str();
            r.other2date = t->field("Other2Date")->str();
            r.birthday = t->field("Birthday")->isTrue();
            r.valentine = t->field("Valentine")->isTrue();
            rows.push_back(r);
        }
        if (own) t->close();
        return rows;
    }

    std::vector<std::string> lastNames() {
        std::vector<std::string> v;
        for (const Row& r : book()) v.push_back(trimmed(r.last));
        return v;
    }

    AddressPage& showPage() {
        page_ = new AddressPage();
        tester_ = std::make_unique<QAbstractItemModelTester>(
            page_->listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        page_->show();
        QApplication::setActiveWindow(page_);
        EXPECT_TRUE(QTest::qWaitForWindowActive(page_));
        page_->TabSheet2Show();
        return *page_;
    }

    template <class W>
    W* control(const char* name) {
        W* w = page_->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* edit(int n) { return control<QLineEdit>(("Edit" + std::to_string(n)).c_str()); }
    QDateEdit* picker(int n) { return control<QDateEdit>(("DateTimePicker" + std::to_string(n)).c_str()); }
    QCheckBox* check(int n) { return control<QCheckBox>(("CheckBox" + std::to_string(n)).c_str()); }

    // Puts the keyboard into a control, as a click or Tab would.
    void enter(QWidget* w) {
        w->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), w);
    }
    // Types into a box the user has entered.
    void type(QLineEdit* e, const QString& text) {
        enter(e);
        QTest::keyClicks(e, text);
    }
    // Leaves the focused control for the seek box, which is not bound to the save rule.
    void leave() { enter(control<QLineEdit>("Edit13")); }
    void seek(const QString& text) { control<QLineEdit>("Edit13")->setText(text); }

    int selectedRow() { return page_->nameList()->selectionModel()->currentIndex().row(); }
    void chooseRow(int row) {
        QTableView* list = page_->nameList();
        const QRect r = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        QApplication::processEvents();
    }
    void clickNew() { QTest::mouseClick(control<QPushButton>("LMDButton7"), Qt::LeftButton); }
    void clickDelete() { QTest::mouseClick(control<QPushButton>("LMDButton8"), Qt::LeftButton); }

    TestDataDir data_;
    std::unique_ptr<ScopedLibrary> lib_;
    MessageLog messages_;
    AddressPage* page_ = nullptr;
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

const std::vector<Name> kFive = {{"Adams", "Amy"}, {"Brown", "Bob"}, {"Clark", "Cy"},
                                 {"Dunn", "Di"},   {"Evans", "Eve"}};

TEST_F(AddressPageTest, EmptyBookShowsBlankNewRecordAndFirstLeaveAppends) {
    AddressPage& page = showPage();
    EXPECT_EQ(page.listModel()->rowCount(), 0);
    EXPECT_EQ(page.currentRecNo(), 0);
    const QDate today = QDate::currentDate();
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(picker(i)->date(), today) << i;
    for (int i = 1; i <= 12; ++i) EXPECT_TRUE(edit(i)->text().isEmpty()) << i;
    for (int i = 1; i <= 11; ++i) EXPECT_FALSE(check(i)->isChecked()) << i;

    type(edit(2), "Zeller");
    EXPECT_TRUE(page.EditorChanged);
    leave();

    ASSERT_EQ(page.listModel()->rowCount(), 1);
    EXPECT_EQ(page.currentRecNo(), 1);
    EXPECT_EQ(selectedRow(), 0);
    EXPECT_EQ(edit(2)->text(), "Zeller");
    EXPECT_FALSE(page.EditorChanged);
    const auto rows = book();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(trimmed(rows[0].last), "Zeller");

    // The next change edits that record rather than appending another.
    type(edit(1), "Zoe");
    leave();
    ASSERT_EQ(book().size(), 1u);
    EXPECT_EQ(trimmed(book()[0].first), "Zoe");
}

TEST_F(AddressPageTest, NewRecordSavedWithoutTouchingThePickersStoresTodayFourTimes) {
    addNames({{"Brown", "Bob"}});
    AddressPage& page = showPage();
    clickNew();
    EXPECT_EQ(page.currentRecNo(), 0);
    EXPECT_EQ(selectedRow(), 0);  // the list selection stays where it was
    type(edit(2), "Allen");
    leave();

    const std::string today = QDate::currentDate().toString("yyyyMMdd").toStdString();
    const auto rows = book();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(trimmed(rows[0].last), "Allen");
    EXPECT_EQ(rows[0].birthdate, today);
    EXPECT_EQ(rows[0].annavdate, today);
    EXPECT_EQ(rows[0].other1date, today);
    EXPECT_EQ(rows[0].other2date, today);
    EXPECT_FALSE(rows[0].birthday);
    EXPECT_EQ(page.currentRecNo(), static_cast<int>(rows[0].recNo));
    EXPECT_EQ(selectedRow(), 0);
}

TEST_F(AddressPageTest, ZeroDateIsStoredBlankAndBlankDateShowsAsZeroDate) {
    addNames({{"Brown", "Bob"}});  // stored with blank dates
    AddressPage& page = showPage();
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(picker(i)->date(), ZeroDate) << i;
    EXPECT_TRUE(picker(1)->text().contains("1899")) << picker(1)->text().toStdString();

    enter(picker(2));
    picker(2)->setDate(QDate(1990, 6, 15));
    leave();
    auto rows = book();
    EXPECT_EQ(rows[0].annavdate, "19900615");
    EXPECT_EQ(trimmed(rows[0].birthdate), "");

    enter(picker(2));
    picker(2)->setDate(ZeroDate);
    leave();
    rows = book();
    EXPECT_EQ(trimmed(rows[0].annavdate), "");
    EXPECT_EQ(picker(2)->date(), ZeroDate);
    EXPECT_FALSE(page.EditorChanged);
}

TEST_F(AddressPageTest, BirthdayOfUnknownYearShowedTheStandInYear) {
    std::vector<std::string> row(27);
    row[0] = "Holly";
    row[1] = "Noel";
    row[12] = "19041225";  // a birthday imported without its year
    AppendAddressRows(data_.dir(), {row});
    AddressPage& page = showPage();
    EXPECT_FALSE(picker(1)->text().contains("1904")) << picker(1)->text().toStdString();
    EXPECT_TRUE(picker(1)->text().contains("25")) << picker(1)->text().toStdString();
    enter(picker(1));  // in the box the whole date is there to edit
    EXPECT_TRUE(picker(1)->text().contains("1904")) << picker(1)->text().toStdString();
    leave();
    EXPECT_FALSE(picker(1)->text().contains("1904"));
    EXPECT_FALSE(page.EditorChanged);
    EXPECT_EQ(book()[0].birthdate, "19041225");
}

TEST_F(AddressPageTest, SeekFindsFirstNameAtOrAfterThePrefix) {
    addNames({{"Taylor", "Tom"}, {"Smythe", "Ann"}, {"Brown", "Bob"}, {"Smith", "John"}});
    AddressPage& page = showPage();
    ASSERT_EQ(lastNames(), (std::vector<std::string>{"Brown", "Smith", "Smythe", "Taylor"}));
    EXPECT_EQ(edit(2)->text(), "Brown");

    seek("sm");
    EXPECT_EQ(page.seekText(), "SM");
    EXPECT_EQ(edit(2)->text(), "Smith");
    EXPECT_EQ(selectedRow(), 1);

    seek("smy");
    EXPECT_EQ(edit(2)->text(), "Smythe");
    EXPECT_EQ(selectedRow(), 2);

    // No exact match: the next greater key.
    seek("sn");
    EXPECT_EQ(edit(2)->text(), "Taylor");

    // Only case or outer blanks changed: no new seek, even after moving elsewhere.
    chooseRow(0);
    EXPECT_EQ(edit(2)->text(), "Brown");
    seek("  Sn ");
    EXPECT_EQ(edit(2)->text(), "Brown");
    EXPECT_EQ(selectedRow(), 0);

    // Beyond the last name nothing changes, but the text is taken as the last one acted on.
    seek("zz");
    EXPECT_EQ(page.seekText(), "ZZ");
    EXPECT_EQ(edit(2)->text(), "Brown");
    EXPECT_EQ(selectedRow(), 0);
    EXPECT_EQ(page.currentRecNo(), static_cast<int>(book()[0].recNo));
}

TEST_F(AddressPageTest, NewThenSeekHitThenTypingEditsTheFoundRecord) {
    addNames({{"Brown", "Bob"}, {"Smith", "John"}});
    AddressPage& page = showPage();
    EXPECT_EQ(selectedRow(), 0);
    clickNew();
    EXPECT_TRUE(edit(2)->text().isEmpty());

    seek("BROWN");  // its row is still the selected one: the record is loaded all the same
    EXPECT_EQ(edit(2)->text(), "Brown");
    EXPECT_EQ(page.currentRecNo(), static_cast<int>(book()[0].recNo));

    type(edit(3), "1 High St");
    leave();
    const auto rows = book();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(trimmed(rows[0].street), "1 High St");
    EXPECT_EQ(trimmed(rows[1].street), "");
}

TEST_F(AddressPageTest, DeleteLeavesThePrecedingNameCurrent) {
    addNames(kFive);
    AddressPage& page = showPage();

    chooseRow(2);  // Clark
    EXPECT_EQ(edit(2)->text(), "Clark");
    clickDelete();
    EXPECT_EQ(lastNames(), (std::vector<std::string>{"Adams", "Brown", "Dunn", "Evans"}));
    EXPECT_EQ(page.listModel()->rowCount(), 4);
    EXPECT_EQ(edit(2)->text(), "Brown");
    EXPECT_EQ(selectedRow(), 1);

    chooseRow(3);  // the last name
    clickDelete();
    EXPECT_EQ(edit(2)->text(), "Dunn");

    chooseRow(0);  // the first name: the new first becomes current
    clickDelete();
    EXPECT_EQ(lastNames(), (std::vector<std::string>{"Brown", "Dunn"}));
    EXPECT_EQ(edit(2)->text(), "Brown");
    EXPECT_EQ(selectedRow(), 0);
    // Packing renumbered the rows; the editor follows the record, not the old number.
    EXPECT_EQ(page.currentRecNo(), static_cast<int>(book()[0].recNo));

    // Editing after a delete changes the right record.
    type(edit(1), "Robert");
    leave();
    EXPECT_EQ(trimmed(book()[0].first), "Robert");
    EXPECT_EQ(trimmed(book()[1].first), "Di");
}

TEST_F(AddressPageTest, DeleteOfTheOnlyNameLeavesAnEmptyBookInNewRecordMode) {
    addNames({{"Solo", "Sam"}});
    AddressPage& page = showPage();
    clickDelete();
    EXPECT_TRUE(book().empty());
    EXPECT_EQ(page.listModel()->rowCount(), 0);
    EXPECT_EQ(page.currentRecNo(), 0);
    EXPECT_TRUE(edit(2)->text().isEmpty());
    EXPECT_EQ(picker(1)->date(), QDate::currentDate());

    type(edit(2), "Next");
    leave();
    EXPECT_EQ(lastNames(), (std::vector<std::string>{"Next"}));
}

TEST_F(AddressPageTest, DeleteInNewRecordModeDoesNothing) {
    addNames({{"Brown", "Bob"}, {"Smith", "John"}});
    AddressPage& page = showPage();
    clickNew();
    clickDelete();
    EXPECT_EQ(lastNames(), (std::vector<std::string>{"Brown", "Smith"}));
    EXPECT_EQ(page.currentRecNo(), 0);
    EXPECT_TRUE(messages_.texts().isEmpty());
}

TEST_F(AddressPageTest, HidingThePageRightAfterTypingSavesFirst) {
    addNames({{"Brown", "Bob"}});
    AddressPage& page = showPage();
    type(edit(5), "Leeds");
    // Hidden with the keyboard still in the box: nothing has left it yet.
    page.TabSheet2Hide();
    EXPECT_EQ(AddrBookTable, nullptr);
    EXPECT_EQ(trimmed(book()[0].city), "Leeds");

    // Shown again: the list is rebuilt, the seek reset, the first name loaded.
    page.TabSheet2Show();
    EXPECT_EQ(edit(5)->text(), "Leeds");
    EXPECT_TRUE(page.seekText().isEmpty());
    EXPECT_TRUE(control<QLineEdit>("Edit13")->text().isEmpty());
}

TEST_F(AddressPageTest, TextIsSavedAsTypedButShownTrimmed) {
    addNames({{"Brown", "Bob"}});
    showPage();
    edit(1)->clear();
    type(edit(1), "  Rob ");
    leave();
    EXPECT_EQ(book()[0].first, "  Rob" + std::string(15, ' '));
    EXPECT_EQ(edit(1)->text(), "Rob");
}

TEST_F(AddressPageTest, EveryCheckBoxTickIsSavedOnLeavingIt) {
    addNames({{"Brown", "Bob"}});
    AddressPage& page = showPage();
    enter(check(1));  // Birthday
    QTest::keyClick(check(1), Qt::Key_Space);
    EXPECT_TRUE(page.EditorChanged);
    leave();
    EXPECT_TRUE(book()[0].birthday);

    enter(check(3));  // Valentines
    QTest::keyClick(check(3), Qt::Key_Space);
    leave();
    EXPECT_TRUE(book()[0].valentine);
}

TEST_F(AddressPageTest, LeavingWithoutAChangeWritesNothing) {
    addNames({{"Brown", "Bob"}});
    AddressPage& page = showPage();
    enter(edit(1));
    leave();
    enter(picker(1));
    leave();
    EXPECT_FALSE(page.EditorChanged);
    // Loading the record into the pickers is not a change either.
    EXPECT_EQ(trimmed(book()[0].birthdate), "");
}

TEST_F(AddressPageTest, FailedAppendKeepsTheTypedDataForTheNextTry) {
    LibHandle->setReadOnly(true);
    AddressPage& page = showPage();
    type(edit(2), "Keep");
    leave();
    ASSERT_EQ(messages_.texts(), QStringList{"Unable to add record at this time"});
    EXPECT_TRUE(page.EditorChanged);
    EXPECT_EQ(page.currentRecNo(), 0);
    EXPECT_EQ(edit(2)->text(), "Keep");

    // The next exit tries again.
    enter(edit(3));
    leave();
    EXPECT_EQ(messages_.texts().size(), 2);
    EXPECT_TRUE(book().empty());
}

TEST_F(AddressPageTest, NamesListLayout) {
    AddressPage& page = showPage();
    page.setFont(QFont(QStringLiteral("Liberation Sans"), 8));  // the face the windows are drawn in
    QTableView* list = page.nameList();
    const int b = QFontMetrics(page.font()).horizontalAdvance(QLatin1Char('B'));
    EXPECT_EQ(list->columnWidth(0), 20 * b);
    EXPECT_EQ(list->columnWidth(1), 20 * b);
    EXPECT_TRUE(list->isColumnHidden(2));
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), "Last");
    EXPECT_EQ(list->viewport()->width(), 40 * b);
    // The header and ten names fit.
    EXPECT_EQ(list->viewport()->height() + list->horizontalHeader()->height(),
              11 * list->verticalHeader()->defaultSectionSize());

    page.TabSheet2Hide();
    std::vector<Name> eleven;
    for (char c = 'A'; c < 'A' + 11; ++c) eleven.push_back({std::string(1, c) + "name", "x"});
    addNames(eleven);
    page.TabSheet2Show();
    EXPECT_EQ(page.listModel()->rowCount(), 11);
    EXPECT_GE(list->width(), 43 * b);
    EXPECT_EQ(list->geometry().topLeft(), QPoint(8, 16));

    // The main window gives the page its font after start-up: the list follows it, giving way to
    // the captions of the boxes, which a face this large cannot leave room for, down to columns
    // of 15 letters.
    QFont big = page.font();
    big.setPointSize(big.pointSize() + 6);
    page.setFont(big);
    const int b2 = QFontMetrics(big).horizontalAdvance(QLatin1Char('B'));
    ASSERT_NE(b2, b);
    EXPECT_EQ(list->columnWidth(0), 15 * b2);
    EXPECT_EQ(list->columnWidth(1), 15 * b2);
    EXPECT_GE(list->width(), 33 * b2);
}

// With a wider face than the design's, and the scroll bar showing, no control lies over another
// and every caption and check box shows its whole text (or elides it with the text as tooltip).
TEST_F(AddressPageTest, NothingOverlapsAndEveryTextShowsWhole) {
    std::vector<Name> eleven;
    for (char c = 'A'; c < 'A' + 11; ++c) eleven.push_back({std::string(1, c) + "name", "x"});
    addNames(eleven);
    AddressPage& page = showPage();
    for (const char* face : {"DejaVu Sans", "DejaVu Serif", "Liberation Sans"}) {
        SCOPED_TRACE(face);
        page.setFont(QFont(QString::fromLatin1(face), 8));
        QApplication::processEvents();
        const QList<QWidget*> controls = page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* a : controls) {
            if (auto* l = qobject_cast<QLabel*>(a)) {
                // The caption's text as built: the label reads it back with its line breaks.
                QString whole = l->toolTip().isEmpty() ? l->text().replace('\n', ' ') : l->toolTip();
                EXPECT_TRUE(ShowsWholeText(l, whole)) << whole.toStdString();
            }
            if (auto* c = qobject_cast<QCheckBox*>(a)) {
                const QString whole = c->toolTip().isEmpty() ? c->text() : c->toolTip();
                EXPECT_TRUE(ShowsWholeText(c, whole)) << whole.toStdString();
            }
            for (QWidget* b : controls) {
                if (a >= b) continue;
                // "Chanukah" is the second line of the "Christmas/" check box's caption.
                const bool chanukah = (a->objectName() == "CheckBox9" || b->objectName() == "CheckBox9") &&
                                      (qobject_cast<QLabel*>(a) || qobject_cast<QLabel*>(b));
                // The boxes of the street and city rows share their edge pixel by design.
                const QRect both = a->geometry().intersected(b->geometry());
                if (!chanukah) {
                    EXPECT_FALSE(both.width() > 1 && both.height() > 1)
                        << a->metaObject()->className() << " " << a->objectName().toStdString() << " / "
                        << b->metaObject()->className() << " " << b->objectName().toStdString();
                }
            }
        }
    }
}

TEST_F(AddressPageTest, ChoosingAnotherNameSavesThePendingChangeFirst) {
    addNames({{"Brown", "Bob"}, {"Smith", "John"}});
    AddressPage& page = showPage();
    type(edit(3), "9 Elm Rd");
    chooseRow(1);
    EXPECT_EQ(edit(2)->text(), "Smith");
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_FALSE(page.EditorChanged);
    const auto rows = book();
    EXPECT_EQ(trimmed(rows[0].street), "9 Elm Rd");
    EXPECT_EQ(trimmed(rows[1].street), "");
}

// Types `text` a character at a time, letters QTest cannot name included.
void typeText(QWidget* w, const QString& text) {
    for (char32_t c : text.toUcs4()) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUcs4(&c, 1));
        QApplication::sendEvent(w, &press);
    }
}

// Three notches of the wheel over a control, as the mouse sends them.
void wheel(QWidget* w) {
    for (int i = 0; i < 3; ++i) {
        const QPointF at(w->width() / 4.0, w->height() / 2.0);
        QWheelEvent ev(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &ev);
    }
    QApplication::processEvents();
}

TEST_F(AddressPageTest, WheelChangesAPickerOnlyWhileItHasTheFocus) {
    InstallWheelGuard();
    addNames({{"Brown", "Bob"}});
    AddressPage& page = showPage();
    for (int i = 1; i <= 4; ++i) {
        SCOPED_TRACE(i);
        QDateEdit* d = picker(i);
        enter(d);
        d->setDate(QDate(1997, 3, 7));
        leave();
        ASSERT_FALSE(page.EditorChanged);
        EXPECT_NE(d->focusPolicy() & Qt::WheelFocus, Qt::WheelFocus);  // the wheel takes no focus
        wheel(d);
        EXPECT_EQ(d->date(), QDate(1997, 3, 7));
        EXPECT_FALSE(page.EditorChanged);
        chooseRow(0);  // what a click on a name would save
        const Row r = book()[0];
        const std::string stored[4] = {r.birthdate, r.annavdate, r.other1date, r.other2date};
        EXPECT_EQ(stored[i - 1], "19970307");
        enter(d);
        wheel(d);
        EXPECT_NE(d->date(), QDate(1997, 3, 7));  // focused, it takes the wheel
        leave();
    }

    // The same for the spin boxes and drop-downs of the dialogs.
    QSpinBox spin(&page);
    spin.setRange(0, 10);
    QComboBox combo(&page);
    combo.addItems({"a", "b", "c", "d"});
    spin.show();
    combo.show();
    wheel(&spin);
    wheel(&combo);
    EXPECT_EQ(spin.value(), 0);
    EXPECT_EQ(combo.currentIndex(), 0);
    EXPECT_NE(combo.focusPolicy() & Qt::WheelFocus, Qt::WheelFocus);
}

TEST_F(AddressPageTest, ClickOnANameRightAfterARenameLoadsTheNameClicked) {
    addNames(kFive);
    AddressPage& page = showPage();
    ASSERT_EQ(edit(2)->text(), "Adams");
    enter(edit(2));
    edit(2)->clear();
    QTest::keyClicks(edit(2), "Young");  // moves to the end of the list once saved
    chooseRow(1);                         // Brown, without leaving the box first
    EXPECT_EQ(edit(2)->text(), "Brown");
    EXPECT_EQ(page.listModel()->data(page.listModel()->index(selectedRow(), 0)).toString().trimmed(),
              "Brown");
    EXPECT_EQ(lastNames(), (std::vector<std::string>{"Brown", "Clark", "Dunn", "Evans", "Young"}));
}

// The first save of a new person with write n failing, for n = 1, 2, ...: it says "Unable to add
// record at this time", and however far the write got, the person is not in the book afterwards,
// the disk failing on through the retry when the page is hidden and the book is closed.
TEST_F(AddressPageTest, FailedFirstSaveOfANewPersonSaysAddAndLeavesNoRowWhicheverWriteFails) {
    lib_.reset();
    xbase::Library* const previous = LibHandle;
    for (int n = 1; n <= 50; ++n) {
        SCOPED_TRACE("write " + std::to_string(n) + " fails");
        xbase::FaultyFileSystem faulty{xbase::FileSystem::real()};
        auto* lib = new xbase::Library(faulty);
        lib->setDirectory(data_.dir());
        LibHandle = lib;
        showPage();
        clickNew();
        type(edit(2), "Keep");
        messages_.clear();
        xbase::FaultyFileSystem::Plan plan;
        plan.failWriteAt = n;
        faulty.setPlan(plan);
        leave();
        const bool failed = faulty.failures() > 0;
        const QStringList told = messages_.texts();
        const bool plain = !messages_.entries().empty() && messages_.entries()[0].kind == MessageLog::Kind::Plain;
        plan.failWriteAt = 1;
        plan.sticky = true;
        faulty.setPlan(plan);
        page_->TabSheet2Hide();
        delete page_;
        page_ = nullptr;
        (void)CloseAllTables();
        delete lib;
        LibHandle = previous;
        if (!failed) {
            EXPECT_TRUE(told.isEmpty()) << told.join('|').toStdString();
            EXPECT_GT(n, 1) << "the save wrote nothing";
            return;
        }
        EXPECT_EQ(told.value(0), "Unable to add record at this time");
        EXPECT_TRUE(plain);
        xbase::Library reader;  // opens as the next start does: an index left behind is rebuilt
        reader.setDirectory(data_.dir());
        xbase::Table* t = reader.open("AddrBook");
        ASSERT_NE(t, nullptr) << reader.lastError().toString();
        for (int rc = t->top(); rc == xbase::kOk; rc = t->skip(1))
            EXPECT_NE(trimmed(t->field("Last")->str()), "Keep") << "the failed append left its row";
        reader.closeAll();
    }
    ADD_FAILURE() << "the save never ran without a failure";
}

TEST_F(AddressPageTest, CharactersTheBookCannotHoldAreNamedInTheStatusBar) {
    addNames({{"Brown", "Bob"}});
    AddressPage& page = showPage();
    QStringList status;
    QObject::connect(&page, &AddressPage::statusMessage, [&](const QString& t) { status << t; });
    enter(edit(5));
    typeText(edit(5), QString::fromUtf8("Z\u00fcrich \u0141\u00f3d\u017a \u20ac"));
    leave();
    EXPECT_EQ(QString::fromStdString(trimmed(book()[0].city)), QString::fromUtf8("Z\u00fcrich ?\u00f3d? \u20ac"));
    ASSERT_EQ(status.size(), 1);
    EXPECT_TRUE(status[0].endsWith(QString::fromUtf8(": \u0141 \u017a"))) << status[0].toStdString();

    type(edit(4), QStringLiteral("Flat 2"));  // nothing lost: nothing said
    leave();
    EXPECT_EQ(status.size(), 1);
}

// The Cards list follows the person in the editor; a card added by hand shows at once, is not
// logged twice, and a returned one marks the name until the address changes.
TEST_F(AddressPageTest, CardsListFollowsThePersonAndReturnedCardsMarkTheName) {
    addNames({{"Brown", "Bob"}, {"Smith", "John"}});
    AddressPage& page = showPage();
    const auto shown = [&] {
        QStringList rows;
        CardList* list = page.cardList();
        for (int r = 0; r < list->rowCount(); ++r)
            rows << list->item(r, 0)->text() + " " + list->item(r, 1)->text() + " " + list->item(r, 2)->text();
        return rows;
    };
    chooseRow(1);  // Smith
    EXPECT_TRUE(page.AddCard(CardKind::Received, 7, 2025));
    EXPECT_FALSE(page.AddCard(CardKind::Received, 7, 2025));
    struct ReturnedCard : CardQuestion {
        bool askCard(QWidget*, CardKind* kind, int* occasion, int* year) override {
            *kind = CardKind::Returned;
            *occasion = 8;
            *year = 2026;
            return true;
        }
    } returned;
    Installing<CardQuestion> installed(returned);
    QTest::mouseClick(page.addCardButton(), Qt::LeftButton);
    EXPECT_EQ(shown(), (QStringList{"2026 Birthday, Etc returned", "2025 Christmas / Chanukah received"}));
    EXPECT_TRUE(page.listModel()->returnedAt(1));
    EXPECT_FALSE(page.listModel()->returnedAt(0));
    EXPECT_FALSE(page.listModel()->index(1, 0).data(Qt::DecorationRole).isNull());

    chooseRow(0);  // Brown has no cards
    EXPECT_TRUE(shown().isEmpty());
    chooseRow(1);
    type(edit(3), "2 New Street");
    chooseRow(0);  // the save of the new address clears the mark
    EXPECT_FALSE(page.listModel()->returnedAt(1));
    EXPECT_EQ(shown(), QStringList{});
}

// A card event goes from the log by the Delete key or the list's "Remove", once the user says
// yes; a returned card removed takes the name's mark with it.
TEST_F(AddressPageTest, ACardRemovedFromTheListIsGoneFromTheLog) {
    addNames({{"Brown", "Bob"}, {"Smith", "John"}});
    AddressPage& page = showPage();
    MessageLog messages;
    chooseRow(1);  // Smith
    ASSERT_TRUE(page.AddCard(CardKind::Received, 7, 2025));
    ASSERT_TRUE(page.AddCard(CardKind::Returned, 7, 2026));
    ASSERT_TRUE(page.listModel()->returnedAt(1));
    CardList* list = page.cardList();
    ASSERT_EQ(list->rowCount(), 2);

    list->setFocus(Qt::MouseFocusReason);
    list->selectRow(0);  // 2026, returned
    messages.setAnswer(false);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(page.cardList()->rowCount(), 2);  // declined
    messages.setAnswer(true);
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_EQ(page.cardList()->rowCount(), 1);
    EXPECT_EQ(page.cardList()->item(0, 2)->text(), QStringLiteral("received"));
    EXPECT_FALSE(page.listModel()->returnedAt(1));
    ASSERT_EQ(messages.texts().size(), 2);
    EXPECT_TRUE(messages.texts()[0].contains(QStringLiteral("2026 Christmas / Chanukah, returned")))
        << messages.texts()[0].toStdString();

    list = page.cardList();
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("&Remove"));
        QTest::keyClick(menu, Qt::Key_R);  // its mnemonic
    });
    const QPoint at = list->visualRect(list->model()->index(0, 1)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &click);
    EXPECT_EQ(page.cardList()->rowCount(), 0);
    std::vector<CardEvent> left;
    ASSERT_TRUE(CardsList(*LibHandle, 0, 0, nullptr, &left).ok());
    EXPECT_TRUE(left.empty());
}

}  // namespace

TEST_F(AddressPageTest, OneTabLeavesADatePickerAndArrowsStepItsParts) {
    addNames({{"Brown", "Bob"}});
    AddressPage& page = showPage();
    page.activateWindow();
    QDateEdit* d = picker(1);
    d->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(d->hasFocus());
    const int first = d->currentSectionIndex();
    QTest::keyClick(d, Qt::Key_Right);
    EXPECT_EQ(d->currentSectionIndex(), first + 1);
    QTest::keyClick(d, Qt::Key_Left);
    EXPECT_EQ(d->currentSectionIndex(), first);
    QTest::keyClick(d, Qt::Key_Left);  // stays in the first part
    EXPECT_EQ(d->currentSectionIndex(), first);

    QTest::keyClick(d, Qt::Key_Tab);
    EXPECT_FALSE(d->hasFocus());
    QWidget* next = QApplication::focusWidget();
    QTest::keyClick(next, Qt::Key_Backtab);
    EXPECT_TRUE(d->hasFocus());
    QTest::keyClick(d, Qt::Key_Backtab);
    EXPECT_FALSE(d->hasFocus());

    // The names list marks its focus.
    QWidget* mark = page.nameList()->findChild<QWidget*>(QStringLiteral("FocusMark"));
    ASSERT_NE(mark, nullptr);
    EXPECT_FALSE(mark->isVisible());
    page.nameList()->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(mark->isVisible());
    EXPECT_EQ(mark->geometry(), page.nameList()->rect());
}

TEST_F(AddressPageTest, CheckBoxesShowThePageColour) {
    AddressPage& page = showPage();
    for (int n = 1; n <= 11; ++n) {
        auto* c = page.findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(n));
        ASSERT_NE(c, nullptr);
        const QImage shot = c->grab().toImage();
        // The far right, past the caption, is background only.
        EXPECT_EQ(shot.pixelColor(shot.width() - 2, shot.height() / 2), page.palette().color(QPalette::Window))
            << c->text().toStdString();
    }
}

// People at one address carry the household mark with the others named; the Household window
// shows them and the line the run prints, stores a greeting and an own-card mark on OK (the
// marks follow), and nothing on Cancel.
TEST_F(AddressPageTest, HouseholdMarksAndTheHouseholdWindow) {
    addNames({{"Lee", "Ann", "1 Elm St"}, {"Lee", "Bob", " 1 ELM  st"}, {"Gray", "Cy", "2 Oak Rd"},
              {"\u00d6z", "Can", "3 \u00c4pfelweg"}, {"\u00d6z", "Ece", "3  \u00e4PFELWEG"}});
    AddressPage& page = showPage();
    AddressListModel* list = page.listModel();
    EXPECT_EQ(list->householdAt(0), 0u);
    ASSERT_NE(list->householdAt(3), 0u);  // letters beyond ASCII fold as well
    EXPECT_EQ(list->householdAt(3), list->householdAt(4));
    EXPECT_NE(list->householdAt(3), list->householdAt(1));
    ASSERT_NE(list->householdAt(1), 0u);
    EXPECT_EQ(list->householdAt(1), list->householdAt(2));
    EXPECT_EQ(list->index(1, AddressListModel::FirstColumn).data(Qt::ToolTipRole).toString(), "Same address as Bob Lee");

    chooseRow(1);  // Ann
    for (bool ok : {false, true}) {
        // OK through the button, as a user gets there: the marks follow at once.
        QTimer::singleShot(0, [ok] {
            auto* dialog = qobject_cast<HouseholdDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            ASSERT_EQ(dialog->othersList()->count(), 1);
            EXPECT_EQ(dialog->othersList()->item(0)->text(), "Bob Lee");
            EXPECT_EQ(dialog->lineLabel()->text(), "Ann & Bob Lee");
            dialog->greetingBox()->setText("The Lees");
            EXPECT_EQ(dialog->lineLabel()->text(), "The Lees");
            dialog->ownCardBox()->setChecked(true);
            EXPECT_EQ(dialog->lineLabel()->text(), "Ann Lee");
            if (ok) dialog->accept();
            else dialog->reject();
        });
        QTest::mouseClick(page.householdButton(), Qt::LeftButton);
        HouseholdNotes notes;
        ASSERT_TRUE(LoadHouseholdNotes(*LibHandle, &notes).ok());
        EXPECT_EQ(notes.greetings.size(), ok ? 1 : 0);
        EXPECT_EQ(notes.ownCard.size(), ok ? 1u : 0u);
        EXPECT_EQ(list->householdAt(1) == 0, ok);  // Ann has a card of her own, Bob is alone there now
    }
    EXPECT_EQ(list->householdAt(2), 0u);
}
