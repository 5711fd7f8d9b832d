#include "gui/addressbook/AddressPage.h"

#include "gui/common/BusyCursor.h"
#include "gui/common/DatePicker.h"
#include "gui/common/DialogLook.h"
#include "gui/common/Fatal.h"
#include "gui/common/FocusMark.h"
#include "gui/common/Installed.h"
#include <QApplication>
#include <algorithm>
#include <iterator>
#include <QCheckBox>
#include <QDateEdit>
#include <QIcon>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>

#include "gui/common/MessageBoxes.h"
#include "gui/common/Fitting.h"
#include "gui/common/TextFit.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/addressbook/CardList.h"
#include "gui/addressbook/HouseholdDialog.h"
#include "core/households/Households.h"
#include "xbase/Cp1252.h"
#include "xbase/Library.h"

namespace {

const QColor kPageColour(247, 245, 210);

// Maximum input lengths of Edit1..Edit12. The e-mail box takes 59, not the column's 60: a
// stored text is cut to 59 characters, and a 60th character typed would be silently lost.
constexpr int kEditLimits[12] = {20, 20, 40, 40, 20, 2, 10, 35, 59, 24, 24, 24};


}  // namespace

AddressPage::AddressPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet2"));
    buildControls();
}

AddressPage::~AddressPage() = default;

void AddressPage::buildControls() {
    resize(737, 437);
    FillBackground(this, kPageColour);

    const QFont bold = BoldWeight();
    auto label = [&](const QString& text, int x, int y, int w, Qt::Alignment align, bool isBold) {
        auto* l = new QLabel(text, this);
        if (isBold) l->setFont(bold);
        l->setAlignment(align | Qt::AlignVCenter);
        l->setGeometry(x, y, w, 21);
        return l;
    };

    // Names list.
    model_ = new AddressListModel(this);
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("StringGrid2"));
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->setWordWrap(false);
    list_->setTabKeyNavigation(false);
    list_->verticalHeader()->hide();
    // Fixed, uniform rows: the view never measures a row, however long the book.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setMinimumSectionSize(1);
    list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setSectionsClickable(false);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->setColumnHidden(AddressListModel::RecNoColumn, true);
    new FocusMark(list_);  // the table style shows no focus of its own
    ShowWithoutPadding(list_);  // names are stored padded to 20 letters
    applyFontMetrics();
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex&, const QModelIndex&) {
                if (!selecting_) StringGrid2Click();
            });

    // Seek box.
    label(QStringLiteral("Seek"), 56, 364, 38, Qt::AlignLeft, true);
    seek_ = new QLineEdit(this);
    seek_->setObjectName(QStringLiteral("Edit13"));
    seek_->setGeometry(96, 364, 200, 21);
    connect(seek_, &QLineEdit::textChanged, this, [this] { Edit13Change(); });

    // Editor boxes: right-aligned bold captions ending at x = 433, boxes from x = 440.
    struct Box { int x, y, w; };
    const Box boxes[12] = {
        {440, 36, 121},  {565, 36, 160},   // First, Last
        {440, 60, 285},  {440, 80, 285},   // Street, Street2
        {440, 100, 145}, {589, 100, 30}, {623, 100, 102},  // City, State, Zip
        {440, 132, 200},                   // Country
        {440, 164, 285},                   // email
        {440, 196, 140}, {585, 196, 140},  // phone, fax
        {440, 228, 140},                   // mobile
    };
    const struct { const char* text; int y; } captions[] = {
        {"First/Last Name", 36}, {"Street Address", 60}, {"City - State - Zip", 100},
        {"Country", 132},        {"EMail", 164},         {"Phone - Fax", 196},
        {"Mobile", 228},
    };
    for (const auto& c : captions)
        captions_.push_back({label(QString::fromLatin1(c.text), 283, c.y, 150, Qt::AlignRight, true),
                             QString::fromLatin1(c.text), c.y});
    for (int i = 0; i < 12; ++i) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        e->setGeometry(boxes[i].x, boxes[i].y, boxes[i].w, 21);
        e->setMaxLength(kEditLimits[i]);
        connect(e, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
        bindControl(e);
        edits_[i] = e;
    }

    // Dated rows: check box at x = 328, its picker at x = 416.
    const int rowsY[4] = {272, 304, 336, 368};
    const struct { int box; const char* text; } dated[4] = {
        {1, "Birthday"}, {2, "Anniversary"}, {10, "Other 1"}, {11, "Other 2"}};
    // Each check box may grow into the free room on its right (up to `room` pixels in all).
    auto makeCheck = [&](int number, const QString& text, int x, int y, int w, int room) {
        checkTexts_[number - 1] = {text, w, room};
        auto* c = new QCheckBox(text, this);
        c->setObjectName(QStringLiteral("CheckBox%1").arg(number));
        c->setGeometry(x, y, w, 21);
        c->setAutoFillBackground(true);
        c->setPalette(palette());  // the page's colour
        c->setBackgroundRole(QPalette::Window);  // a button's own role would fill it grey
        // A tick that is never saved would be lost, so "Birthday" takes the bindings of the others.
        connect(c, &QCheckBox::clicked, this, [this] { Edit1Change(); });
        bindControl(c);
        checks_[number - 1] = c;
    };
    const QString format = ShortDateFormat();  // whole years: the zero date is not 1999
    for (int i = 0; i < 4; ++i) {
        makeCheck(dated[i].box, QString::fromLatin1(dated[i].text), 328, rowsY[i], 86, 86);
        auto* d = new DatePicker(this);
        d->setObjectName(QStringLiteral("DateTimePicker%1").arg(i + 1));
        d->setGeometry(416, rowsY[i], 110, 21);
        d->setCalendarPopup(true);
        d->setDateRange(ZeroDate, QDate(9999, 12, 31));
        d->setDateFormat(format);
        d->setDate(QDate::currentDate());
        connect(d, &QDateEdit::dateChanged, this, [this] { Edit1Change(); });
        bindControl(d);
        pickers_[i] = d;
    }

    // Occasions: two columns.
    // The left column reaches the right one; "Easter/Passover" reaches the "Chanukah" line.
    const struct { int box; const char* text; int x, y, room; } occasions[] = {
        {3, "Valentines", 536, 272, 102},  {4, "Mother's Day", 536, 304, 102},
        {5, "Father's Day", 536, 336, 102}, {6, "Easter/Passover", 536, 368, 120},
        {7, "Halloween", 640, 272, 97},    {8, "Thanksgiving", 640, 304, 97},
        {9, "Christmas/", 640, 336, 97},
    };
    for (const auto& o : occasions)
        makeCheck(o.box, QString::fromLatin1(o.text), o.x, o.y, 100, o.room);
    chanukah_ = label(QStringLiteral("Chanukah"), 658, 352, 70, Qt::AlignLeft, false);

    newButton_ = new QPushButton(QIcon(QStringLiteral(":/new.png")), QStringLiteral("&New"), this);
    newButton_->setObjectName(QStringLiteral("LMDButton7"));
    newButton_->setGeometry(272, 408, 75, 25);
    connect(newButton_, &QPushButton::clicked, this, [this] { LMDButton7Click(); });
    deleteButton_ = new QPushButton(QIcon(QStringLiteral(":/delete.png")),
                                    QStringLiteral("&Delete"), this);
    deleteButton_->setObjectName(QStringLiteral("LMDButton8"));
    deleteButton_->setGeometry(368, 408, 75, 25);
    connect(deleteButton_, &QPushButton::clicked, this, [this] { LMDButton8Click(); });

    // The Cards list under the names list (placed by layoutList), its button below the seek box.
    cards_ = new CardList(this);
    addCardButton_ = new QPushButton(QStringLiteral("Add Card..."), this);
    addCardButton_->setObjectName(QStringLiteral("AddCard"));
    addCardButton_->setGeometry(8, 408, 110, 25);
    addCardButton_->setToolTip(QStringLiteral("Log a card received from this person, or one that came back"));
    connect(addCardButton_, &QPushButton::clicked, this, [this] { AddCardClick(); });
    connect(cards_, &CardList::removeRequested, this, [this](const CardEvent& e) { RemoveCard(e); });
    householdButton_ = new QPushButton(QStringLiteral("Ho&usehold..."), this);
    householdButton_->setObjectName(QStringLiteral("Household"));
    householdButton_->setGeometry(124, 408, 110, 25);
    householdButton_->setToolTip(QStringLiteral("Who else lives here, the line their label prints, a greeting"));
    connect(householdButton_, &QPushButton::clicked, this, [this] { HouseholdClick(); });
    layoutList(model_->rowCount());

    // Keyboard order: list, seek, the boxes top to bottom, dated rows, occasions, buttons.
    QWidget* order[] = {list_, seek_, edits_[0], edits_[1], edits_[2], edits_[3], edits_[4],
                        edits_[5], edits_[6], edits_[7], edits_[8], edits_[9], edits_[10],
                        edits_[11], checks_[0], pickers_[0], checks_[1], pickers_[1],
                        checks_[9], pickers_[2], checks_[10], pickers_[3], checks_[2],
                        checks_[3], checks_[4], checks_[5], checks_[6], checks_[7], checks_[8],
                        newButton_, deleteButton_, addCardButton_, householdButton_, cards_};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    fitTexts();
}

namespace {

// Where the captions end and the boxes begin, and the gap the names list keeps from a caption.
constexpr int kCaptionsRight = 433;
constexpr int kCaptionGap = 4;
// Below the boxes: the dated rows' check boxes at x = 328, 86 wide, with their pickers at
// x = 416, 110 wide; the occasions in two columns at x = 536 and 640, up to the page's edge.
constexpr int kDatedX = 328, kDatedWidth = 86, kPickerX = 416, kPickerWidth = 110;
constexpr int kLeftColumn = 536, kRightColumn = 640, kPageRight = 737, kOccasionWidth = 100;
constexpr int kDatedChecks[4] = {0, 1, 9, 10};  // CheckBox1, CheckBox2, CheckBox10, CheckBox11
constexpr int kLeftChecks[3] = {2, 3, 4};       // Valentines, Mother's Day, Father's Day
constexpr int kEaster = 5;                      // below them, with the free room on its right
constexpr int kRightChecks[3] = {6, 7, 8};      // Halloween, Thanksgiving, Christmas/

}  // namespace

int AddressPage::widestCaption() const {
    int widest = 0;
    for (const Caption& c : captions_)
        widest = std::max(widest, QFontMetrics(c.label->font()).horizontalAdvance(c.text));
    return widest;
}

void AddressPage::fitTexts() {
    if (captions_.empty()) return;  // still being built
    // Captions end at x = 433 and stay clear of the names list and its scroll bar.
    const int left = std::max(283, list_->geometry().right() + 1 + kCaptionGap);
    // A caption that needs two lines grows into the free room: the first upwards, the others down.
    for (const Caption& c : captions_)
        FitCaption(c.label, c.text, left, kCaptionsRight, c.y, 21, &c != &captions_.front());
    fitLowerRows();
}

void AddressPage::fitLowerRows() {
    // A face wider than the design's may need more room than the check boxes were given. The
    // occasions' columns move left into what the date pickers do not need, and the dated rows'
    // check boxes grow into the rest and, by up to 16 pixels, to the left into the Cards list;
    // only beyond that is a text elided (with the whole in its tooltip).
    const auto wants = [this](const auto& boxes) {
        int most = 0;
        for (int i : boxes) {
            checks_[i]->setText(checkTexts_[i].text);
            most = std::max(most, checks_[i]->sizeHint().width());
        }
        return most;
    };
    int pickerNeeds = 0;
    for (QDateEdit* d : pickers_) pickerNeeds = std::max(pickerNeeds, std::min(kPickerWidth, d->sizeHint().width()));
    const int right = std::min(kRightColumn, kPageRight - wants(kRightChecks));
    const int left = std::clamp(right - 2 - wants(kLeftChecks), kPickerX + pickerNeeds + 4, kLeftColumn);
    const int pickersEnd = left - 4;
    const int datedRoom = pickersEnd - pickerNeeds - 2;  // where the dated check boxes must end
    const int datedX = std::clamp(datedRoom - wants(kDatedChecks), kDatedX - 16, kDatedX);
    const int dated = std::max(kDatedWidth, datedRoom - datedX);
    for (int i : kDatedChecks) {
        checks_[i]->move(datedX, checks_[i]->y());
        FitButtonText(checks_[i], checkTexts_[i].text, dated, dated);
    }
    if (cards_) cards_->resize(std::min(cards_->width(), datedX - 4 - 8), cards_->height());
    const int pickerX = std::max(kPickerX, datedX + dated + 2);
    for (QDateEdit* d : pickers_) d->setGeometry(pickerX, d->y(), std::min(kPickerWidth, pickersEnd - pickerX), d->height());

    const auto place = [this](int i, int x, int room) {
        checks_[i]->move(x, checks_[i]->y());
        FitButtonText(checks_[i], checkTexts_[i].text, kOccasionWidth, room);
    };
    for (int i : kLeftChecks) place(i, left, right - 2 - left);
    // The last row's right column is empty: its box may reach past the start of "Chanukah",
    // whose text stands above it.
    place(kEaster, left, std::max(right + 16, kPageRight - 4) - left);
    for (int i : kRightChecks) place(i, right, kPageRight - right);
    chanukah_->move(right + 18, chanukah_->y());
}

void AddressPage::bindControl(QWidget* w) { w->installEventFilter(this); }

void AddressPage::applyFontMetrics() {
    const QFontMetrics fm(font());
    letterB_ = fm.horizontalAdvance(QLatin1Char('B'));
    rowHeight_ = fm.height() + 8;
    list_->verticalHeader()->setDefaultSectionSize(rowHeight_);
    list_->horizontalHeader()->setFixedHeight(rowHeight_);
    // The header keeps the face it was first painted with unless it is told again.
    list_->horizontalHeader()->setFont(font());
    layoutList(model_->rowCount());
}

void AddressPage::changeEvent(QEvent* event) {
    // The main window takes its face from the label font at start-up; the list follows.
    if (event->type() == QEvent::FontChange && list_) applyFontMetrics();
    QWidget::changeEvent(event);
}

bool AddressPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // A popup (the calendar) or another window taking the keyboard is not leaving the control.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            // A click on a name is on its way: the list must still be the one the user clicked
            // when it arrives, so the rebuild after the save waits until it has been handled.
            rebuildLater_ = reason == Qt::MouseFocusReason && QApplication::focusWidget() == list_;
            Edit1Exit();
            rebuildLater_ = false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AddressPage::layoutList(int records) {
    const int frame = 2 * list_->frameWidth();
    // Two columns of 20 letters "B"; with more than ten names, three more for the scroll bar.
    const int spare = records > 10 ? 3 * letterB_ : 0;
    int width = 40 * letterB_ + spare;
    // A wide face widens the list into the captions of the boxes. The list gives way to the
    // widest caption, down to columns of 15 letters; only beyond that do the captions wrap.
    if (!captions_.empty())
        width = std::clamp(kCaptionsRight - widestCaption() - kCaptionGap - 8 - frame, 30 * letterB_ + spare, width);
    list_->setColumnWidth(AddressListModel::LastColumn, (width - spare) / 2);
    list_->setColumnWidth(AddressListModel::FirstColumn, (width - spare) / 2);
    list_->setGeometry(8, 16, width + frame, 11 * rowHeight_ + frame);
    if (cards_) {
        // From under the names list down to just above the seek box at y = 364.
        const int top = list_->geometry().bottom() + 1 + 6;
        cards_->setFont(font());
        cards_->fitToFont(rowHeight_);
        // Left of the dated rows' check boxes at x = 328, which start below the names list.
        cards_->setGeometry(8, top, std::min(width + frame, 328 - 4 - 8), std::max(rowHeight_ + frame, 358 - top));
    }
    fitTexts();
}

void AddressPage::selectRow(int row) {
    selecting_ = true;
    const QModelIndex index = model_->index(row, AddressListModel::LastColumn);
    list_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollTo(index);
    selecting_ = false;
}

// --- routines ------------------------------------------------------------------------------

void AddressPage::FillNameList() {
    AddressListModel::Rows rows = editor_.readNames();
    // Who shares an address is read again only when it may have changed: not after every save.
    if (householdsStale_ && AddrBookTable) householdIds_ = HouseholdIdsOfBook(*AddrBookTable, LibHandle);
    householdsStale_ = false;
    MarkHouseholds(rows, householdIds_);
    layoutList(static_cast<int>(rows.size()));
    selecting_ = true;
    model_->setRows(std::move(rows));
    selecting_ = false;
    int remembered = 0;
    if (editor_.CurrentAddrRecNo > 0)
        remembered = std::max(0, model_->rowOfRecNo(static_cast<uint32_t>(editor_.CurrentAddrRecNo)));
    if (model_->rowCount() > 0) selectRow(remembered);
    SelectListedRecord();
}

void AddressPage::SelectListedRecord() {
    const int row = list_->selectionModel()->currentIndex().row();
    editor_.CurrentAddrRecNo = row < 0 ? 0 : static_cast<int>(model_->recNoAt(row));
    LoadEditor();
}

void AddressPage::LoadEditor() {
    editor_.loadCurrent();
    const TAddressRecord& r = AddressRec;
    EditorLoading = true;
    const QString* texts[12] = {&r.First, &r.Last,    &r.Street, &r.Street2,
                                &r.City,  &r.State,   &r.Zip,    &r.Country,
                                &r.email, &r.phone,   &r.fax,    &r.mobile};
    for (int i = 0; i < 12; ++i) edits_[i]->setText(texts[i]->trimmed());
    pickers_[0]->setDate(r.Birthdate);
    pickers_[1]->setDate(r.Annavdate);
    pickers_[2]->setDate(r.Other1Date);
    pickers_[3]->setDate(r.Other2Date);
    const bool flags[11] = {r.Birthday,  r.Annav,     r.Valentine, r.Mother,
                            r.Father,    r.Secretary, r.Halloween, r.ThanksGiv,
                            r.Christmas, r.Other1,    r.Other2};
    for (int i = 0; i < 11; ++i) checks_[i]->setChecked(flags[i]);
    EditorLoading = false;
    EditorChanged = false;
    ShowCards();
}

void AddressPage::ShowCards() {
    std::vector<CardEvent> events;
    if (editor_.CurrentAddrRecNo > 0 && LibHandle) {
        const std::string key = CardNameKey(xbase::cp1252::fromUtf8(AddressRec.Last.toStdString()),
                                            xbase::cp1252::fromUtf8(AddressRec.First.toStdString()));
        const xbase::Status s = CardsOf(*LibHandle, key, uint32_t(editor_.CurrentAddrRecNo), &events);
        if (!s.ok()) emit statusMessage(QStringLiteral("The card log cannot be read: ") + QString::fromStdString(s.toString()));
    }
    cards_->showEvents(events);
}

bool AddressPage::AddCard(CardKind kind, int occasion, int year) {
    if (!editor_.isOpen() || editor_.CurrentAddrRecNo <= 0 || !LibHandle) return false;
    if (EditorChanged) SaveEditor();  // the card goes to the name and address as shown
    bool added = false;
    const xbase::Status s = CardsAdd(*LibHandle, uint32_t(editor_.CurrentAddrRecNo), year, occasion, kind, &added);
    if (!s.ok()) {
        emit statusMessage(QStringLiteral("The card could not be logged: ") + QString::fromStdString(s.toString()));
        return false;
    }
    if (kind == CardKind::Returned) FillNameList();  // the mark, and the editor loaded again
    else ShowCards();
    if (!added) emit statusMessage(QStringLiteral("That card is logged already"));
    return added;
}

bool AddressPage::RemoveCard(const CardEvent& event) {
    if (!LibHandle) return false;
    const QString card = QStringLiteral("%1 %2, %3").arg(event.year).arg(CardOccasionText(event),
                                                                          QString::fromLatin1(CardKindName(event.kind)));
    if (!UserPrompts(this).yesNo(QStringLiteral("Remove this card from the log?\r\n") + card, Prompts::Default::Yes))
        return false;
    int removed = 0;
    const xbase::Status s = CardsRemove(*LibHandle, [&](const CardEvent& e) { return e == event; }, &removed);
    if (!s.ok()) {
        emit statusMessage(QStringLiteral("The card could not be removed: ") + QString::fromStdString(s.toString()));
        return false;
    }
    if (event.kind == CardKind::Returned) FillNameList();  // the mark may go
    else ShowCards();
    return removed > 0;
}

void AddressPage::AddCardClick() {
    if (!editor_.isOpen() || editor_.CurrentAddrRecNo <= 0) return;
    CardKind kind = CardKind::Received;
    int occasion = 7, year = QDate::currentDate().year();
    if (Installed<CardQuestion>::get().askCard(this, &kind, &occasion, &year)) AddCard(kind, occasion, year);
}

void AddressPage::HouseholdClick() {
    if (!editor_.isOpen() || editor_.CurrentAddrRecNo <= 0) return;
    if (EditorChanged) SaveEditor();  // the household of the address as shown
    HouseholdDialog dialog(AddressRec, uint32_t(editor_.CurrentAddrRecNo), this);
    if (dialog.exec() != QDialog::Accepted) return;
    householdsStale_ = true;  // an own-card mark moves the marks
    FillNameList();
}

void AddressPage::SaveEditor() {
    if (saving_ || !editor_.isOpen()) return;
    saving_ = true;
    TAddressRecord& r = AddressRec;
    const QString loadedKey = HouseholdKey(r) + HouseholdPersonKey(r);  // the record as loaded
    QString* texts[12] = {&r.First, &r.Last,  &r.Street, &r.Street2, &r.City, &r.State,
                          &r.Zip,   &r.Country, &r.email, &r.phone,  &r.fax,  &r.mobile};
    for (int i = 0; i < 12; ++i) *texts[i] = edits_[i]->text();
    r.Birthdate = pickers_[0]->date();
    r.Annavdate = pickers_[1]->date();
    r.Other1Date = pickers_[2]->date();
    r.Other2Date = pickers_[3]->date();
    bool* flags[11] = {&r.Birthday, &r.Annav,     &r.Valentine, &r.Mother,
                       &r.Father,   &r.Secretary, &r.Halloween, &r.ThanksGiv,
                       &r.Christmas, &r.Other1,   &r.Other2};
    for (int i = 0; i < 11; ++i) *flags[i] = checks_[i]->isChecked();

    const bool adding = editor_.CurrentAddrRecNo <= 0;
    switch (editor_.save()) {
    case AddressBookEditor::SaveResult::Saved: {
        if (adding || HouseholdKey(r) + HouseholdPersonKey(r) != loadedKey) householdsStale_ = true;
        QString lost;
        for (int i = 0; i < 12; ++i) lost += UnstorableCharacters(*texts[i]);
        lost = UnstorableCharacters(lost);  // each once
        if (!lost.isEmpty()) emit statusMessage(ReplacedCharactersText(lost));
        else if (!editor_.CardLogProblem.isEmpty())
            emit statusMessage(QStringLiteral("The card log could not follow: ") + editor_.CardLogProblem);
        if (rebuildLater_) {
            // Record numbers do not change on a save, so the old list still leads to the right
            // records; the rebuild then selects whichever one the click made current.
            QTimer::singleShot(0, this, [this] {
                if (editor_.isOpen()) FillNameList();
            });
        } else {
            FillNameList();
        }
        break;
    }
    case AddressBookEditor::SaveResult::AppendFailed:
    case AddressBookEditor::SaveResult::WriteFailed:
        // EditorChanged stays set: the next exit from a control tries again (a new person's
        // append again: a failed one leaves no row).
        UserPrompts(this).plain(adding ? QStringLiteral("Unable to add record at this time")
                                       : QStringLiteral("Unable to save record at this time"));
        break;
    }
    saving_ = false;
}

// --- handlers ------------------------------------------------------------------------------

void AddressPage::TabSheet2Show() {
    if (editor_.isOpen()) TabSheet2Hide();  // shown twice: never hold two handles on the book
    EndUnlessOpened(editor_.open());
    BusyCursor busy;
    // A delete whose pack the card log did not follow (the program stopped in between).
    if (LibHandle) {
        bool recovered = false;
        const xbase::Status s = CardsRecover(*LibHandle, &recovered);
        if (!s.ok()) emit statusMessage(QStringLiteral("The card log could not be put right: ") + QString::fromStdString(s.toString()));
        else if (recovered) emit statusMessage(QStringLiteral("The card log was put back in step with the book"));
    }
    editor_.CurrentAddrRecNo = -1;
    EditorLoading = true;
    editor_.AddrSeekText.clear();
    seek_->clear();
    householdsStale_ = true;
    FillNameList();
    EditorLoading = false;
}

void AddressPage::TabSheet2Hide() {
    // The main window moves the focus off the page first, which saves through Edit1Exit; this
    // catches a change that is still pending however the page came to be hidden.
    if (EditorChanged && editor_.isOpen()) SaveEditor();
    WriteSucceeded(editor_.close(), this);
}

void AddressPage::StringGrid2Click() {
    if (!editor_.isOpen()) return;
    SelectListedRecord();
}

void AddressPage::Edit13Change() {
    if (!editor_.isOpen()) return;
    if (editor_.seek(seek_->text()) != AddressBookEditor::SeekResult::Found) return;
    const int row = model_->rowOfRecNo(static_cast<uint32_t>(editor_.CurrentAddrRecNo));
    if (row >= 0) selectRow(row);
    LoadEditor();
}

void AddressPage::Edit1Change() {
    if (!EditorLoading) EditorChanged = true;
}

void AddressPage::Edit1Exit() {
    if (EditorChanged) SaveEditor();
}

void AddressPage::LMDButton7Click() {
    if (!editor_.isOpen()) return;
    editor_.CurrentAddrRecNo = 0;
    LoadEditor();
}

void AddressPage::LMDButton8Click() {
    if (!editor_.isOpen() || editor_.CurrentAddrRecNo <= 0) return;
    // The list was built in index order from this same table, so its row is the record's place.
    const int row = model_->rowOfRecNo(static_cast<uint32_t>(editor_.CurrentAddrRecNo));
    if (!editor_.removeCurrent(row >= 0 ? row + 1 : 0))
        UserPrompts(this).info(QStringLiteral("Unable to delete record at this time"));
    else if (!editor_.CardLogProblem.isEmpty())
        emit statusMessage(QStringLiteral("The card log could not follow: ") + editor_.CardLogProblem);
    householdsStale_ = true;  // the pack renumbers the records
    FillNameList();
}
