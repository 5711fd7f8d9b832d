// The label definition dialog, driven through its widgets, on a fresh data set.
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include "StockTestData.h"
#include "gui/labels/LabelDef.h"
#include "gui/common/MaskField.h"

namespace {

struct FormatCase {
    const char* text;
    bool ok;
    const char* result;  // or the conversion failure text
};

QString Format(const QString& text, bool* ok, QString* error) {
    QString result;
    *ok = FormatNumberText(text, "%8.3f", &result, error);
    return result;
}

// Types `text` a character at a time, letters QTest cannot name included.
void typeText(QWidget* w, const QString& text) {
    for (char32_t c : text.toUcs4()) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUcs4(&c, 1));
        QApplication::sendEvent(w, &press);
    }
}

void ShowActive(QWidget* w) {
    w->show();
    QApplication::setActiveWindow(w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

}  // namespace

TEST(FormatNumberText, ReformatsToEightCharactersAndKeepsATypedMinusZero) {
    const FormatCase cases[] = {
        {"1.5     ", true, "   1.500"},
        {"12  .   ", true, "  12.000"},
        {"1 2 .5  ", true, "  12.500"},  // blanks inside are dropped, not separators
        {"   0.000", true, "   0.000"},
        {"-12.5   ", true, " -12.500"},
        {"+3  .   ", true, "   3.000"},
        {"-0  .   ", true, "  -0.000"},  // typed minus zero
        {"  -0.000", true, "  -0.000"},  // and it stays so when left again
        {"-   .   ", false, "'-.' is not a valid floating point value"},
        {"    .   ", false, "'.' is not a valid floating point value"},
        {"1-2 .   ", false, "'1-2.' is not a valid floating point value"},
        {"--1 .   ", false, "'--1.' is not a valid floating point value"},
    };
    for (const auto& c : cases) {
        bool ok = false;
        QString error;
        const QString r = Format(QString::fromLatin1(c.text), &ok, &error);
        EXPECT_EQ(ok, c.ok) << c.text;
        EXPECT_EQ(ok ? r : error, QString::fromLatin1(c.result)) << c.text;
    }
    // The minus-zero rule pads to the text's own length, whatever it is.
    bool ok = false;
    QString error;
    EXPECT_EQ(Format(QStringLiteral("-0"), &ok, &error), QStringLiteral("-0.000"));
    EXPECT_EQ(Format(QStringLiteral("-0          "), &ok, &error),
              QStringLiteral("      -0.000"));
}

TEST(FormatNumberText, UsesTheLocalesDecimalSeparator) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    bool ok = false;
    QString error;
    EXPECT_EQ(Format(QStringLiteral("1,5     "), &ok, &error), QStringLiteral("   1,500"));
    EXPECT_TRUE(ok);
    Format(QStringLiteral("1.5     "), &ok, &error);  // a point is no separator here
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, QStringLiteral("'1.5' is not a valid floating point value"));

    // The dialog built under this locale carries the comma as the fixed character.
    {
        TLabelDef def;
        CurrentStockRecNo = 0;
        def.show();
        EXPECT_EQ(def.numberField(0)->fieldText(), QStringLiteral("   0,000"));
        def.numberField(4)->setFieldText(QStringLiteral("  12,500"));
        double v = 0;
        EXPECT_TRUE(TextToFloat(def.numberField(4)->fieldText(), &v));
        EXPECT_DOUBLE_EQ(v, 12.5);
        def.hide();
    }
    QLocale::setDefault(saved);
}

class LabelDefTest : public StockTestData {
protected:
    void SetUp() override {
        StockTestData::SetUp();
        EXPECT_TRUE(OpenLabels().ok());
        def = new TLabelDef;
    }
    void TearDown() override {
        delete def;
        StockTestData::TearDown();
    }

    // Fills the dialog with a usable stock named `name`.
    void Fill(const QString& name) {
        def->nameField()->setText(name);
        const char* values[] = {"  36.000", "  13.500", "  36.000", "  13.500",
                                " 189.000", "  72.000", "   9.000", "   0.000"};
        for (int i = 0; i < TLabelDef::kNumberFields; ++i)
            def->numberField(i)->setFieldText(QString::fromLatin1(values[i]));
        def->acrossField()->setFieldText(QStringLiteral("3"));
        def->continuousBox()->setChecked(true);
    }

    TLabelDef* def = nullptr;
};

TEST_F(LabelDefTest, NewStockOpensBlankWithOneAcrossAndFocusOnTheName) {
    LabelRec.Name = QStringLiteral("left over");
    LabelRec.Width = 99;
    LabelRec.Continuous = true;
    CurrentStockRecNo = 0;
    ShowActive(def);
    EXPECT_EQ(def->windowTitle(), QStringLiteral("Label Definition"));
    EXPECT_TRUE(def->nameField()->text().isEmpty());
    for (int i = 0; i < TLabelDef::kNumberFields; ++i)
        EXPECT_EQ(def->numberField(i)->fieldText(), QStringLiteral("   0.000")) << i;
    EXPECT_EQ(def->acrossField()->fieldText(), QStringLiteral("1"));
    EXPECT_FALSE(def->continuousBox()->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), def->nameField());
}

TEST_F(LabelDefTest, ExistingStockOpensWithItsValuesTrimmedAndFormatted) {
    const int rec = AddStock(QStringLiteral("  Mine"), 252, 67.5, 1);
    ReadStock(rec);
    LabelsTable->top();  // the dialog must position itself
    CurrentStockRecNo = rec;
    ShowActive(def);
    EXPECT_EQ(def->nameField()->text(), QStringLiteral("Mine"));
    EXPECT_EQ(def->numberField(4)->fieldText(), QStringLiteral(" 252.000"));
    EXPECT_EQ(def->numberField(5)->fieldText(), QStringLiteral("  67.500"));
    EXPECT_EQ(def->acrossField()->fieldText(), QStringLiteral("1"));
    // Each showing starts afresh: a new stock after an edit is blank again.
    def->hide();
    CurrentStockRecNo = -1;
    ShowActive(def);
    EXPECT_EQ(def->numberField(4)->fieldText(), QStringLiteral("   0.000"));
    EXPECT_TRUE(def->nameField()->text().isEmpty());
}

TEST_F(LabelDefTest, TypingTheSeparatorRightAlignsTheWholePartAndMovesToTheDecimals) {
    CurrentStockRecNo = 0;
    ShowActive(def);
    MaskField* f = def->numberField(4);
    f->setFocus(Qt::TabFocusReason);  // entered by Tab: the whole text is selected
    QTest::keyClicks(f, QStringLiteral("12"));
    EXPECT_EQ(f->fieldText(), QStringLiteral("12  .   "));
    QTest::keyClicks(f, QString(DecimalSeparator()));
    EXPECT_EQ(f->fieldText(), QStringLiteral("  12.000"));
    EXPECT_EQ(f->cursorPosition(), 5);
    QTest::keyClicks(f, QStringLiteral("5"));
    EXPECT_EQ(f->fieldText(), QStringLiteral("  12.500"));
}

TEST_F(LabelDefTest, LeavingANumberFieldReformatsIt) {
    CurrentStockRecNo = 0;
    ShowActive(def);
    MaskField* f = def->numberField(0);
    f->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(f, QStringLiteral("1"));
    f->setFieldText(QStringLiteral("1.5     "));
    def->numberField(1)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(f->fieldText(), QStringLiteral("   1.500"));

    // A typed minus zero.
    def->numberField(1)->selectAll();
    QTest::keyClicks(def->numberField(1), QStringLiteral("-0"));
    def->numberField(2)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(def->numberField(1)->fieldText(), QStringLiteral("  -0.000"));
    EXPECT_TRUE(messages.entries().empty());
}

TEST_F(LabelDefTest, LeavingAFieldThatIsNoNumberReportsItAndKeepsTheText) {
    CurrentStockRecNo = 0;
    ShowActive(def);
    MaskField* f = def->numberField(2);
    f->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f, Qt::Key_Delete);  // the selection cleared: only the separator is left
    EXPECT_EQ(f->fieldText(), QStringLiteral("    .   "));
    def->numberField(3)->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(messages.entries().size(), 1u);
    EXPECT_EQ(messages.entries()[0].kind, MessageLog::Kind::Error);
    EXPECT_EQ(messages.entries()[0].text, QStringLiteral("'.' is not a valid floating point value"));
    EXPECT_EQ(f->fieldText(), QStringLiteral("    .   "));
    EXPECT_TRUE(def->isVisible());

    // Going to "Cancel" does not complain about a text that is about to be thrown away.
    messages.clear();
    f->setFocus(Qt::TabFocusReason);
    def->cancelButton()->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(messages.entries().empty());
}

TEST_F(LabelDefTest, EnterMovesOnThroughTheFieldsAndTheCheckBoxShowingTheFocusAndNeverSaves) {
    CurrentStockRecNo = 0;
    ShowActive(def);
    QWidget* order[] = {def->nameField(),     def->numberField(0), def->numberField(1),
                        def->numberField(2),  def->numberField(3), def->numberField(4),
                        def->numberField(5),  def->numberField(6), def->numberField(7),
                        def->acrossField(),   def->continuousBox(), def->saveButton()};
    Fill(QStringLiteral("Stepped through"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        def->nameField()->setFocus(Qt::OtherFocusReason);
        for (size_t i = 0; i + 1 < std::size(order); ++i) {
            ASSERT_EQ(QApplication::focusWidget(), order[i]) << i;
            const QImage unfocused = order[i + 1]->grab().toImage();
            QTest::keyClick(order[i], key);
            // The control the focus went to looks it.
            EXPECT_NE(order[i + 1]->grab().toImage(), unfocused) << order[i + 1]->metaObject()->className();
        }
        EXPECT_EQ(QApplication::focusWidget(), def->saveButton());
        EXPECT_TRUE(def->isVisible());  // Enter in the fields never saved or closed the dialog
        EXPECT_EQ(LabelsTable->recCount(), 6u);
    }
}

TEST_F(LabelDefTest, ReturnOnAFocusedButtonPressesIt) {
    CurrentStockRecNo = 0;
    ShowActive(def);
    Fill(QStringLiteral("Saved by Return"));
    def->saveButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(def->saveButton(), Qt::Key_Return);
    EXPECT_EQ(def->result(), QDialog::Accepted);
    EXPECT_EQ(LabelsTable->recCount(), 7u);
}

TEST_F(LabelDefTest, NameRefusesCharactersLabelsCannotHold) {
    CurrentStockRecNo = 0;
    ShowActive(def);
    def->nameField()->setFocus(Qt::OtherFocusReason);
    typeText(def->nameField(), QString::fromUtf8("Z\u00fcrich \u0141\u00f3d\u017a \u20ac"));
    EXPECT_EQ(def->nameField()->text(), QString::fromUtf8("Z\u00fcrich \u00f3d \u20ac"));
}

TEST_F(LabelDefTest, SavingANewStockAppendsItAndReportsItsRecordNumber) {
    CurrentStockRecNo = 0;
    ShowActive(def);
    Fill(QStringLiteral(" \tWide labels  "));
    QTest::mouseClick(def->saveButton(), Qt::LeftButton);
    EXPECT_TRUE(messages.entries().empty()) << MessageTexts().join(u'|').toStdString();
    EXPECT_FALSE(def->isVisible());
    EXPECT_EQ(def->result(), QDialog::Accepted);
    EXPECT_EQ(CurrentStockRecNo, 7);

    // On disk, through a fresh open.
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
    EXPECT_TRUE(OpenLabels().ok());
    EXPECT_EQ(LabelsTable->recCount(), 7u);
    const TLabelRecord r = ReadStock(7);
    EXPECT_EQ(r.Name, Padded(QStringLiteral("Wide labels")));
    EXPECT_DOUBLE_EQ(r.TopM, 36);
    EXPECT_DOUBLE_EQ(r.LeftM, 13.5);
    EXPECT_DOUBLE_EQ(r.Width, 189);
    EXPECT_DOUBLE_EQ(r.Height, 72);
    EXPECT_DOUBLE_EQ(r.HGap, 9);
    EXPECT_EQ(r.nAcross, 3);
    EXPECT_TRUE(r.Continuous);
}

TEST_F(LabelDefTest, SavingAnExistingStockRewritesThatRowOnly) {
    CurrentStockRecNo = 2;
    ShowActive(def);
    def->numberField(5)->setFieldText(QStringLiteral(" 100.250"));
    def->acrossField()->setFieldText(QStringLiteral("4"));
    // A name equal to another stock's is accepted: nothing checks for duplicates.
    def->nameField()->setText(TrimControls(StandardStocks()[0].name));
    def->BtnSaveClick();
    EXPECT_FALSE(def->isVisible());
    EXPECT_EQ(CurrentStockRecNo, 2);

    EXPECT_TRUE(CloseTable(LabelsTable).ok());
    EXPECT_TRUE(OpenLabels().ok());
    EXPECT_EQ(LabelsTable->recCount(), 6u);
    const TLabelRecord r = ReadStock(2);
    EXPECT_EQ(r.Name, Padded(QString::fromLatin1(StandardStocks()[0].name)));
    EXPECT_DOUBLE_EQ(r.Height, 100.25);
    EXPECT_DOUBLE_EQ(r.Width, StandardStocks()[1].width);
    EXPECT_EQ(r.nAcross, 4);
    EXPECT_EQ(ReadStock(1).Name, Padded(QString::fromLatin1(StandardStocks()[0].name)));
}

TEST_F(LabelDefTest, CancelWritesNothing) {
    CurrentStockRecNo = 0;
    ShowActive(def);
    Fill(QStringLiteral("Abandoned"));
    QTest::mouseClick(def->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(def->isVisible());
    EXPECT_EQ(CurrentStockRecNo, 0);

    CurrentStockRecNo = 3;
    ShowActive(def);
    def->numberField(4)->setFieldText(QStringLiteral("   1.000"));
    def->close();  // the close box
    EXPECT_EQ(CurrentStockRecNo, 3);

    EXPECT_TRUE(CloseTable(LabelsTable).ok());
    EXPECT_TRUE(OpenLabels().ok());
    EXPECT_EQ(LabelsTable->recCount(), 6u);
    EXPECT_DOUBLE_EQ(ReadStock(3).Width, StandardStocks()[2].width);
}

TEST_F(LabelDefTest, SaveRefusesWhatCannotBeStoredOrUsedAndKeepsTheDialogOpen) {
    struct Case {
        const char* what;
        std::function<void(TLabelDef*)> spoil;
        MessageLog::Kind kind;
        const char* message;
    };
    const Case cases[] = {
        {"blank name", [](TLabelDef* d) { d->nameField()->setText(QStringLiteral("  \t ")); },
         MessageLog::Kind::Info, "Please fill in label name."},
        {"separator only",
         [](TLabelDef* d) { d->numberField(6)->setFieldText(QStringLiteral("    .   ")); },
         MessageLog::Kind::Error, "'    .   ' is not a valid floating point value"},
        {"blank across", [](TLabelDef* d) { d->acrossField()->setFieldText(QString()); },
         MessageLog::Kind::Error, "' ' is not a valid integer value"},
        {"zero width",
         [](TLabelDef* d) { d->numberField(4)->setFieldText(QStringLiteral("   0.000")); },
         MessageLog::Kind::Info, "Label width and height must be greater than zero."},
        {"negative height",
         [](TLabelDef* d) { d->numberField(5)->setFieldText(QStringLiteral("  -1.000")); },
         MessageLog::Kind::Info, "Label width and height must be greater than zero."},
        {"minus zero height",
         [](TLabelDef* d) { d->numberField(5)->setFieldText(QStringLiteral("  -0.000")); },
         MessageLog::Kind::Info, "Label width and height must be greater than zero."},
        {"no labels across", [](TLabelDef* d) { d->acrossField()->setFieldText(QStringLiteral("0")); },
         MessageLog::Kind::Info, "No. Labels Across must be at least 1."},
    };
    for (const auto& c : cases) {
        for (int recNo : {0, 4}) {
            messages.clear();
            CurrentStockRecNo = recNo;
            ShowActive(def);
            Fill(QStringLiteral("Spoilt"));
            c.spoil(def);
            const QString before = def->numberField(6)->fieldText();
            def->BtnSaveClick();
            ASSERT_EQ(messages.entries().size(), 1u) << c.what;
            EXPECT_EQ(messages.entries()[0].kind, c.kind) << c.what;
            EXPECT_EQ(messages.entries()[0].text, QString::fromLatin1(c.message)) << c.what;
            EXPECT_TRUE(def->isVisible()) << c.what;
            EXPECT_EQ(CurrentStockRecNo, recNo) << c.what;
            EXPECT_EQ(def->numberField(6)->fieldText(), before) << c.what;
            def->hide();
        }
    }
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
    EXPECT_TRUE(OpenLabels().ok());
    EXPECT_EQ(LabelsTable->recCount(), 6u);
    EXPECT_EQ(ReadStock(4).Name, Padded(QString::fromLatin1(StandardStocks()[3].name)));
}

TEST_F(LabelDefTest, RefusedAppendIsReportedAndLeavesTheStockNew) {
    // A table opened for reading only refuses the new row.
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
    LibHandle->setReadOnly(true);
    EXPECT_TRUE(OpenLabels().ok());
    CurrentStockRecNo = 0;
    ShowActive(def);
    Fill(QStringLiteral("Nowhere"));
    def->BtnSaveClick();
    EXPECT_EQ(MessageTexts(), QStringList{QStringLiteral("Unable to Append record . . Please try again.")});
    EXPECT_TRUE(def->isVisible());
    EXPECT_EQ(CurrentStockRecNo, 0);
    EXPECT_EQ(LibHandle->errorCode(), 0);  // nothing left over for the next caller
    LibHandle->setReadOnly(false);
}

TEST_F(LabelDefTest, AWriteFailureOnSaveIsReportedAndASecondSaveStoresTheStock) {
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
    xbase::FaultyFileSystem faulty(xbase::FileSystem::real());
    xbase::Library lib(faulty);
    lib.setDirectory(data_.dir());
    xbase::Library* const previous = LibHandle;
    LibHandle = &lib;
    EXPECT_TRUE(OpenLabels().ok());

    CurrentStockRecNo = 2;
    ShowActive(def);
    def->numberField(5)->setFieldText(QStringLiteral("  80.000"));
    xbase::FaultyFileSystem::Plan plan;
    plan.failWriteAt = 1;
    plan.sticky = true;
    faulty.setPlan(plan);
    def->BtnSaveClick();
    ASSERT_EQ(messages.entries().size(), 1u);
    EXPECT_EQ(messages.entries()[0].kind, MessageLog::Kind::Error);
    EXPECT_TRUE(messages.entries()[0].text.startsWith(
        QStringLiteral("Unable to write the label definition")));
    EXPECT_TRUE(def->isVisible());

    faulty.setPlan({});
    def->BtnSaveClick();
    EXPECT_FALSE(def->isVisible());
    EXPECT_EQ(messages.entries().size(), 1u);
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
    LibHandle = previous;

    EXPECT_TRUE(OpenLabels().ok());
    EXPECT_DOUBLE_EQ(ReadStock(2).Height, 80.0);
    EXPECT_EQ(LabelsTable->recCount(), 6u);
}
