// Load and store of the four in-memory records, and the conversions they use.
#include <gtest/gtest.h>

#include "TestData.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

// --- conversions ----------------------------------------------------------------------------

TEST(DateConversion, ValidDatesRoundTrip) {
    for (const QDate d : {QDate(1900, 1, 1), QDate(2000, 2, 29), QDate(2024, 2, 29),
                          QDate(1999, 12, 31), QDate(2038, 1, 19)}) {
        const QString text = DateToField(d);
        EXPECT_EQ(text.size(), 8) << d.toString().toStdString();
        EXPECT_EQ(FieldToDate(text), d) << text.toStdString();
    }
    EXPECT_EQ(DateToField(QDate(2024, 3, 5)), QStringLiteral("20240305"));
}

TEST(DateConversion, NoDateIsBlankBothWays) {
    EXPECT_EQ(DateToField(ZeroDate), QString());
    EXPECT_EQ(DateToField(QDate(1850, 6, 1)), QString());  // before the zero date
    EXPECT_EQ(DateToField(QDate()), QString());
    EXPECT_EQ(DateToField(QDate(1899, 12, 31)), QStringLiteral("18991231"));  // one day after

    EXPECT_EQ(FieldToDate(QString()), ZeroDate);
    EXPECT_EQ(FieldToDate(QStringLiteral("        ")), ZeroDate);
    EXPECT_EQ(FieldToDate(QStringLiteral("2024022")), ZeroDate);   // short
    EXPECT_EQ(FieldToDate(QStringLiteral(" 2024022 ")), ZeroDate); // short once trimmed
}

TEST(DateConversion, MalformedDatesLoadAsZeroDate) {
    EXPECT_EQ(FieldToDate(QStringLiteral("20240229")), QDate(2024, 2, 29));  // leap year
    EXPECT_EQ(FieldToDate(QStringLiteral("20000229")), QDate(2000, 2, 29));
    EXPECT_EQ(FieldToDate(QStringLiteral("20230229")), ZeroDate);  // common year
    EXPECT_EQ(FieldToDate(QStringLiteral("19000229")), ZeroDate);  // century, not leap
    EXPECT_EQ(FieldToDate(QStringLiteral("20231301")), ZeroDate);  // month 13
    EXPECT_EQ(FieldToDate(QStringLiteral("20230001")), ZeroDate);
    EXPECT_EQ(FieldToDate(QStringLiteral("20230431")), ZeroDate);
    EXPECT_EQ(FieldToDate(QStringLiteral("2023x101")), ZeroDate);
    EXPECT_EQ(FieldToDate(QStringLiteral("2023-1-1")), ZeroDate);
    EXPECT_EQ(FieldToDate(QStringLiteral("00000101")), ZeroDate);  // no year 0
}

TEST(SmallConversions, IsIntegerAndBlanks) {
    EXPECT_TRUE(IsInteger(QStringLiteral("12")));
    EXPECT_TRUE(IsInteger(QStringLiteral("-3")));
    EXPECT_TRUE(IsInteger(QStringLiteral("+7")));
    EXPECT_TRUE(IsInteger(QStringLiteral(" 5")));
    EXPECT_FALSE(IsInteger(QString()));
    EXPECT_FALSE(IsInteger(QStringLiteral(" ")));
    EXPECT_FALSE(IsInteger(QStringLiteral("-")));
    EXPECT_FALSE(IsInteger(QStringLiteral("1.5")));
    EXPECT_FALSE(IsInteger(QStringLiteral("5 ")));
    EXPECT_FALSE(IsInteger(QStringLiteral("a1")));
    EXPECT_FALSE(IsInteger(QStringLiteral("99999999999")));  // beyond 32 bits

    EXPECT_EQ(Blanks(3), QStringLiteral("   "));
    EXPECT_EQ(Blanks(0), QString());
    EXPECT_EQ(Blanks(-4), QString());
}

// --- records --------------------------------------------------------------------------------

class RecordTest : public ::testing::Test {
protected:
    TestDataDir data;
    ScopedLibrary lib{data.path()};
};

TAddressRecord sampleAddress() {
    TAddressRecord r;
    r.First = QStringLiteral("Ada");
    r.Last = QStringLiteral("Quillfeather");
    r.Street = QStringLiteral("12 Orchard Lane");
    r.Street2 = QStringLiteral("Flat 3");
    r.City = QStringLiteral("Dover");
    r.State = QStringLiteral("DE");
    r.Zip = QStringLiteral("19901");
    r.Country = QStringLiteral("USA");
    r.email = QStringLiteral("ada@example.com");
    r.phone = QStringLiteral("(302) 555-0101");
    r.fax = QString();
    r.mobile = QStringLiteral("(302) 555-0199");
    r.Birthdate = QDate(1960, 2, 29);
    r.Annavdate = QDate(1985, 6, 15);
    r.Other1Date = ZeroDate;
    r.Other2Date = QDate(2024, 12, 31);
    r.Birthday = true;
    r.Annav = false;
    r.Valentine = true;
    r.Mother = false;
    r.Father = true;
    r.Secretary = true;
    r.Halloween = false;
    r.ThanksGiv = true;
    r.Christmas = true;
    r.Other1 = false;
    r.Other2 = true;
    return r;
}

QString padded(const QString& s, int width) { return s.leftJustified(width, QLatin1Char(' '), true); }

TEST_F(RecordTest, AddressRoundTripKeepsPaddingDatesAndFlags) {
    ASSERT_TRUE(OpenAddrBook());
    EXPECT_NE(LastStatus, 0);  // empty book: no row current
    ASSERT_EQ(AddrBookTable->appendBlank(), 0);
    const TAddressRecord in = sampleAddress();
    AddressRec = in;
    StoreAddrRec();
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());

    AddressRec = TAddressRecord();
    ASSERT_TRUE(OpenAddrBook());
    ASSERT_EQ(LastStatus, 0);
    LoadAddrRec();
    const TAddressRecord& r = AddressRec;
    EXPECT_EQ(r.First, padded(in.First, 20));
    EXPECT_EQ(r.Last, padded(in.Last, 20));
    EXPECT_EQ(r.Street, padded(in.Street, 40));
    EXPECT_EQ(r.Street2, padded(in.Street2, 40));
    EXPECT_EQ(r.City, padded(in.City, 20));
    EXPECT_EQ(r.State, in.State);
    EXPECT_EQ(r.Zip, padded(in.Zip, 10));
    EXPECT_EQ(r.Country, padded(in.Country, 35));
    EXPECT_EQ(r.email, padded(in.email, 60));
    EXPECT_EQ(r.phone, padded(in.phone, 24));
    EXPECT_EQ(r.fax, padded(QString(), 24));
    EXPECT_EQ(r.mobile, padded(in.mobile, 24));
    EXPECT_EQ(r.Birthdate, QDate(1960, 2, 29));
    EXPECT_EQ(r.Annavdate, in.Annavdate);
    EXPECT_EQ(r.Other1Date, ZeroDate);
    EXPECT_EQ(r.Other2Date, in.Other2Date);
    const bool flagsIn[] = {in.Birthday, in.Annav, in.Valentine, in.Mother, in.Father,
                            in.Secretary, in.Halloween, in.ThanksGiv, in.Christmas, in.Other1,
                            in.Other2};
    const bool flagsOut[] = {r.Birthday, r.Annav, r.Valentine, r.Mother, r.Father, r.Secretary,
                             r.Halloween, r.ThanksGiv, r.Christmas, r.Other1, r.Other2};
    for (int i = 0; i < 11; ++i) EXPECT_EQ(flagsOut[i], flagsIn[i]) << "flag " << i;

    // Stored form: the zero date as blanks, the flags as T/F.
    EXPECT_EQ(AddrBookTable->field("Other1Date")->str(), "        ");
    EXPECT_EQ(AddrBookTable->field("Birthdate")->str(), "19600229");
    EXPECT_EQ(AddrBookTable->field("Annav")->str(), "F");
    EXPECT_EQ(AddrBookTable->field("Other2")->str(), "T");
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
    EXPECT_EQ(AddrBookTable, nullptr);
}

TEST_F(RecordTest, LongTextsAreCutBeforeStoring) {
    ASSERT_TRUE(OpenAddrBook());
    ASSERT_EQ(AddrBookTable->appendBlank(), 0);
    AddressRec = sampleAddress();
    const QString seventy = QString(70, QLatin1Char('x'));
    AddressRec.email = seventy;  // 60-character column: 59 kept, then padded
    AddressRec.Street = seventy; // 40-character column: the column cuts further
    StoreAddrRec();
    LoadAddrRec();
    EXPECT_EQ(AddressRec.email, QString(59, QLatin1Char('x')) + QLatin1Char(' '));
    EXPECT_EQ(AddressRec.Street, QString(40, QLatin1Char('x')));
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());

    // The settings mail columns are 69 wide: exactly the cut, so the cut shows.
    ASSERT_TRUE(OpenSettings());
    SettingsRec.MailHost = QString(80, QLatin1Char('h'));
    SettingsRec.FontName = QString(65, QLatin1Char('f'));  // 30-character column
    StoreSettings();
    EXPECT_TRUE(CloseTable(SettingsTable).ok());
    ASSERT_TRUE(OpenSettings());
    LoadSettings();
    EXPECT_EQ(SettingsRec.MailHost, QString(69, QLatin1Char('h')));
    EXPECT_EQ(SettingsRec.FontName, QString(30, QLatin1Char('f')));
    EXPECT_TRUE(CloseTable(SettingsTable).ok());

    // ImpFile is 101 wide: a 120-character path keeps 101.
    ASSERT_TRUE(OpenImportLayout());
    ImportRec.ImpFile = QStringLiteral("/") + QString(119, QLatin1Char('p'));
    StoreImportLayout();
    EXPECT_TRUE(CloseTable(ImportTable).ok());
    ASSERT_TRUE(OpenImportLayout());
    LoadImportLayout();
    EXPECT_EQ(ImportRec.ImpFile.size(), 101);
    EXPECT_TRUE(CloseTable(ImportTable).ok());
}

TEST_F(RecordTest, FiftyNineCutShowsInAWideColumn) {
    // A text column wider than 59 keeps only 59 characters of a longer text.
    TestDataDir custom(TestDataDir::Empty);
    {
        xbase::Library make;
        make.setDirectory(custom.dir());
        std::vector<xbase::FieldSpec> fields = DataTables().front().fields;
        for (auto& f : fields)
            if (f.name == "Street") f.length = 80;
        xbase::Table* t = make.create("AddrBook", fields);
        ASSERT_NE(t, nullptr);
        xbase::TagSpec tag;
        tag.name = "Address";
        tag.expression = "Upper(Last + First)";
        ASSERT_EQ(t->createIndex("AddrBook", {tag}), 0);
        ASSERT_EQ(make.closeAll(), 0);
    }
    ScopedLibrary other(custom.path());
    ASSERT_TRUE(OpenAddrBook());
    ASSERT_EQ(AddrBookTable->appendBlank(), 0);
    AddressRec = sampleAddress();
    AddressRec.Street = QString(70, QLatin1Char('s'));
    StoreAddrRec();
    LoadAddrRec();
    EXPECT_EQ(AddressRec.Street, QString(59, QLatin1Char('s')) + QString(21, QLatin1Char(' ')));
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
}

TEST_F(RecordTest, LabelStockRoundTrip) {
    ASSERT_TRUE(OpenLabels());
    ASSERT_EQ(LastStatus, 0);
    ASSERT_EQ(LabelsTable->appendBlank(), 0);
    LabelRec.Name = QStringLiteral("My own stock");
    LabelRec.TopM = 36.125;
    LabelRec.LeftM = 13.5;
    LabelRec.BottomM = 0;
    LabelRec.RightM = 9999.999;
    LabelRec.Width = 189;
    LabelRec.Height = 72.001;
    LabelRec.HGap = 9;
    LabelRec.VGap = 0.5;
    LabelRec.nAcross = 3;
    LabelRec.Continuous = true;
    StoreLabelRec();
    const uint32_t rec = LabelsTable->recNo();
    EXPECT_TRUE(CloseTable(LabelsTable).ok());

    LabelRec = TLabelRecord();
    ASSERT_TRUE(OpenLabels());
    ASSERT_EQ(LabelsTable->go(rec), 0);
    LoadLabelRec();
    EXPECT_EQ(LabelRec.Name, padded(QStringLiteral("My own stock"), 40));
    EXPECT_DOUBLE_EQ(LabelRec.TopM, 36.125);
    EXPECT_DOUBLE_EQ(LabelRec.LeftM, 13.5);
    EXPECT_DOUBLE_EQ(LabelRec.BottomM, 0);
    EXPECT_DOUBLE_EQ(LabelRec.RightM, 9999.999);
    EXPECT_DOUBLE_EQ(LabelRec.Width, 189);
    EXPECT_DOUBLE_EQ(LabelRec.Height, 72.001);
    EXPECT_DOUBLE_EQ(LabelRec.HGap, 9);
    EXPECT_DOUBLE_EQ(LabelRec.VGap, 0.5);
    EXPECT_EQ(LabelRec.nAcross, 3);
    EXPECT_TRUE(LabelRec.Continuous);
    LabelRec.Continuous = false;
    StoreLabelRec();
    EXPECT_EQ(LabelsTable->field("Continuous")->str(), "F");
    EXPECT_TRUE(CloseTable(LabelsTable).ok());
}

TEST_F(RecordTest, SettingsKeepFontPaddingAndTrimMail) {
    ASSERT_TRUE(OpenSettings());
    ASSERT_EQ(LastStatus, 0);
    LoadSettings();
    EXPECT_EQ(SettingsRec.FontName, QString(30, QLatin1Char(' ')));  // fresh row: blank
    EXPECT_EQ(SettingsRec.FontSize, 0);
    EXPECT_EQ(SettingsRec.LabID.trimmed(), QString());

    SettingsRec.FontName = QStringLiteral("DejaVu Serif");
    SettingsRec.FontSize = 14;
    SettingsRec.LabID = QStringLiteral("A4 70 x 37 mm, 24 per sheet");
    SettingsRec.MailHost = QStringLiteral("  mail.example.com  ");
    SettingsRec.MailID = QStringLiteral("me");
    SettingsRec.MailAddr = QStringLiteral("me@example.com");
    SettingsRec.MailName = QStringLiteral("Me Myself");
    SettingsRec.MailReply = QString();
    StoreSettings();
    EXPECT_TRUE(CloseTable(SettingsTable).ok());

    SettingsRec = TSettingsRecord();
    ASSERT_TRUE(OpenSettings());
    LoadSettings();
    EXPECT_EQ(SettingsRec.FontName, padded(QStringLiteral("DejaVu Serif"), 30));
    EXPECT_EQ(SettingsRec.FontSize, 14);
    EXPECT_EQ(SettingsRec.LabID, padded(QStringLiteral("A4 70 x 37 mm, 24 per sheet"), 40));
    EXPECT_EQ(SettingsRec.MailHost, QStringLiteral("mail.example.com"));
    EXPECT_EQ(SettingsRec.MailID, QStringLiteral("me"));
    EXPECT_EQ(SettingsRec.MailAddr, QStringLiteral("me@example.com"));
    EXPECT_EQ(SettingsRec.MailName, QStringLiteral("Me Myself"));
    EXPECT_EQ(SettingsRec.MailReply, QString());
    EXPECT_TRUE(CloseTable(SettingsTable).ok());
    EXPECT_EQ(LibHandle->openTables().size(), 0u);
}

TEST_F(RecordTest, ImportLayoutRoundTrip) {
    ASSERT_TRUE(OpenImportLayout());
    LoadImportLayout();
    const int32_t fresh[] = {ImportRec.fFirst, ImportRec.fLast, ImportRec.fStreet,
                             ImportRec.fStreet2, ImportRec.fCity, ImportRec.fState,
                             ImportRec.fZip, ImportRec.fCountry, ImportRec.fEmail,
                             ImportRec.fPhone, ImportRec.fFax, ImportRec.fMobile};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(fresh[i], i + 1);
    EXPECT_EQ(ImportRec.ImpFile, QString());

    ImportRec.fFirst = 2;
    ImportRec.fLast = 1;
    ImportRec.fMobile = 0;
    ImportRec.fEmail = 99;
    ImportRec.ImpFile = QStringLiteral("  /home/me/contacts.csv ");
    StoreImportLayout();
    EXPECT_TRUE(CloseTable(ImportTable).ok());

    ImportRec = TImportRecord();
    ASSERT_TRUE(OpenImportLayout());
    LoadImportLayout();
    EXPECT_EQ(ImportRec.fFirst, 2);
    EXPECT_EQ(ImportRec.fLast, 1);
    EXPECT_EQ(ImportRec.fStreet, 3);
    EXPECT_EQ(ImportRec.fMobile, 0);
    EXPECT_EQ(ImportRec.fEmail, 99);
    EXPECT_EQ(ImportRec.ImpFile, QStringLiteral("/home/me/contacts.csv"));
    EXPECT_TRUE(CloseTable(ImportTable).ok());
}

TEST_F(RecordTest, OpenAddrBookVisitsRowsInNameOrderWithEqualKeysKept) {
    ASSERT_TRUE(OpenAddrBook());
    const char* names[][2] = {{"Zoe", "adams"}, {"Bob", "Baker"}, {"Al", "Adams"},
                              {"Bob", "Baker"}, {"Cy", "ADAMS"}};
    for (auto& n : names) {
        ASSERT_EQ(AddrBookTable->appendBlank(), 0);
        AddressRec = TAddressRecord();
        AddressRec.First = QString::fromLatin1(n[0]);
        AddressRec.Last = QString::fromLatin1(n[1]);
        StoreAddrRec();
    }
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());

    ASSERT_TRUE(OpenAddrBook());
    QStringList seen;
    while (LastStatus == 0) {
        LoadAddrRec();
        seen << AddressRec.Last.trimmed() + QLatin1Char('/') + AddressRec.First.trimmed();
        LastStatus = AddrBookTable->skip();
    }
    EXPECT_EQ(seen, (QStringList{"Adams/Al", "ADAMS/Cy", "adams/Zoe", "Baker/Bob", "Baker/Bob"}));
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
}

// Column names are matched whatever their letter case in the file.
TEST(RecordColumnCase, DifferentlyCasedColumnsLoadAndStore) {
    TestDataDir custom(TestDataDir::Empty);
    {
        xbase::Library make;
        make.setDirectory(custom.dir());
        std::vector<xbase::FieldSpec> fields = DataTables().front().fields;
        for (auto& f : fields) {
            if (f.name == "Birthdate") f.name = "BirthDate";
            if (f.name == "Annavdate") f.name = "annavDate";
            if (f.name == "Zip") f.name = "zip";
            if (f.name == "ThanksGiv") f.name = "Thanksgiv";
            if (f.name == "email") f.name = "EMAIL";
        }
        xbase::Table* t = make.create("ADDRBOOK", fields);
        ASSERT_NE(t, nullptr);
        xbase::TagSpec tag;
        tag.name = "ADDRESS";
        tag.expression = "UPPER(LAST + FIRST)";
        ASSERT_EQ(t->createIndex("ADDRBOOK", {tag}), 0);
        ASSERT_EQ(make.closeAll(), 0);
    }
    ScopedLibrary lib(custom.path());
    ASSERT_NO_THROW(OpenAddrBook());
    ASSERT_EQ(AddrBookTable->appendBlank(), 0);
    AddressRec = sampleAddress();
    StoreAddrRec();
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());

    AddressRec = TAddressRecord();
    ASSERT_TRUE(OpenAddrBook());
    LoadAddrRec();
    EXPECT_EQ(AddressRec.Birthdate, QDate(1960, 2, 29));
    EXPECT_EQ(AddressRec.Annavdate, QDate(1985, 6, 15));
    EXPECT_EQ(AddressRec.Zip.trimmed(), QStringLiteral("19901"));
    EXPECT_EQ(AddressRec.email.trimmed(), QStringLiteral("ada@example.com"));
    EXPECT_TRUE(AddressRec.ThanksGiv);
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
}

// A book another program made: our columns in another order, one of them (fax) missing and one
// of its own added. Each table is loaded and stored through the columns of the table opened,
// whatever was opened before it.
TEST(RecordColumnCase, AnotherProgramsColumnOrderLoadsAndStoresByName) {
    TestDataDir ours(3);
    TestDataDir theirs(TestDataDir::Empty);
    {
        std::vector<xbase::FieldSpec> fields(DataTables().front().fields.rbegin(), DataTables().front().fields.rend());
        std::erase_if(fields, [](const xbase::FieldSpec& f) { return f.name == "fax"; });
        fields.insert(fields.begin() + 3, xbase::FieldSpec{"Notes", 'C', 10, 0});
        xbase::Library make;
        make.setDirectory(theirs.dir());
        xbase::Table* t = make.create("AddrBook", fields);
        ASSERT_NE(t, nullptr);
        ASSERT_EQ(t->createIndex("AddrBook", {{"Address", "Upper(Last + First)"}}), 0);
        ASSERT_EQ(make.closeAll(), 0);
    }
    const TAddressRecord in = sampleAddress();
    for (int round = 0; round < 2; ++round) {  // ours, theirs, ours, theirs: each open binds anew
        {
            ScopedLibrary lib(ours.path());
            ASSERT_TRUE(OpenAddrBook());
            LoadAddrRec();
            EXPECT_FALSE(AddressRec.Last.trimmed().isEmpty());
            (void)CloseTable(AddrBookTable);
        }
        ScopedLibrary lib(theirs.path());
        ASSERT_TRUE(OpenAddrBook());
        if (round == 0) {
            ASSERT_EQ(AddrBookTable->appendBlank(), 0);
            AddressRec = in;
            AddressRec.fax = QStringLiteral("nowhere to go");
            StoreAddrRec();
            (void)CloseTable(AddrBookTable);
            continue;
        }
        AddressRec = TAddressRecord();
        LoadAddrRec();
        EXPECT_EQ(AddressRec.First.trimmed(), in.First);
        EXPECT_EQ(AddressRec.Last.trimmed(), in.Last);
        EXPECT_EQ(AddressRec.mobile.trimmed(), in.mobile);
        EXPECT_EQ(AddressRec.fax, QString());
        EXPECT_EQ(AddressRec.Birthdate, in.Birthdate);
        EXPECT_EQ(AddressRec.Other2Date, in.Other2Date);
        EXPECT_EQ(AddressRec.ThanksGiv, in.ThanksGiv);
        EXPECT_EQ(AddressRec.Annav, in.Annav);
        EXPECT_EQ(AddrBookTable->field("Notes")->str(), std::string(10, ' '));
        // A scan that asks for the flags and dates gets those, and nothing else changes.
        TAddressRecord part;
        part.phone = QStringLiteral("kept");
        LoadAddrRec(part, AddrFlags | AddrDates);
        EXPECT_EQ(part.phone, QStringLiteral("kept"));
        EXPECT_EQ(part.First, QString());
        EXPECT_EQ(part.Christmas, in.Christmas);
        EXPECT_EQ(part.Annavdate, in.Annavdate);
        (void)CloseTable(AddrBookTable);
    }
}

}  // namespace
