// Contacts read from the files other programs write (vCard, header-row CSV, each encoding),
// stored through the data routines with the duplicate and last-name rules, exported again and
// read back; damaged input leaves the book as it was.
#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <string>
#include <vector>

#include "TestData.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/import/ContactExport.h"
#include "core/import/ContactFormats.h"
#include "core/occasions/Occasions.h"
#include "core/reminders/ReminderGen.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

QByteArray utf16le(const QString& s) {
    QByteArray b("\xFF\xFE", 2);
    for (QChar c : s) {
        b += char(c.unicode() & 0xFF);
        b += char(c.unicode() >> 8);
    }
    return b;
}

QByteArray utf16be(const QString& s) {
    QByteArray b("\xFE\xFF", 2);
    for (QChar c : s) {
        b += char(c.unicode() >> 8);
        b += char(c.unicode() & 0xFF);
    }
    return b;
}

// Written the way each program writes its export, trimmed to the columns that matter.
const QByteArray kGoogle =
    "Name,Given Name,Additional Name,Family Name,Nickname,Birthday,Notes,Group Membership,"
    "E-mail 1 - Type,E-mail 1 - Value,E-mail 2 - Type,E-mail 2 - Value,Phone 1 - Type,Phone 1 - Value,"
    "Phone 2 - Type,Phone 2 - Value,Address 1 - Type,Address 1 - Formatted,Address 1 - Street,"
    "Address 1 - City,Address 1 - PO Box,Address 1 - Region,Address 1 - Postal Code,"
    "Address 1 - Country,Address 1 - Extended Address\r\n"
    "Ren\xC3\xA9" " Dubois,Ren\xC3\xA9,,Dubois,,1971-06-30,,* myContacts,* Home,rene@example.fr,,,"
    "Mobile,+33 6 12 34 56 78,Home,+33 1 42 00 00 00,Home,\"12 rue de la Paix\n75002 Paris\","
    "12 rue de la Paix,Paris,,IDF,75002,France,B\xC3\xA2timent A\r\n"
    "Only Name,,,,,--12-24,,* myContacts,,,,,Work Fax,555 0100,,,,,,,,,,,\r\n";

const QByteArray kOutlook =
    "\"Title\",\"First Name\",\"Middle Name\",\"Last Name\",\"Suffix\",\"Company\",\"Business Street\","
    "\"Business City\",\"Business State\",\"Business Postal Code\",\"Business Country/Region\","
    "\"Home Street\",\"Home Street 2\",\"Home City\",\"Home State\",\"Home Postal Code\","
    "\"Home Country/Region\",\"Business Fax\",\"Business Phone\",\"Home Phone\",\"Mobile Phone\","
    "\"Anniversary\",\"Birthday\",\"E-mail Address\"\r\n"
    "\"\",\"Mary\",\"\",\"O'Neil\",\"\",\"Acme\",\"1 Office Park\",\"Dallas\",\"TX\",\"75001\",\"USA\","
    "\"22 Elm St\",\"Apt 3\",\"Austin\",\"TX\",\"73301\",\"USA\",\"214 555 0101\",\"214 555 0102\","
    "\"512 555 0103\",\"512 555 0104\",\"6/15/1990\",\"4/12/1965\",\"mary@example.com\"\r\n"
    "\"\",\"Tom\",\"\",\"Baker, Jr\",\"\",\"Acme\",\"1 Office Park\",\"Dallas\",\"TX\",\"75001\",\"USA\","
    "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"214 555 0105\",\"\",\"\",\"0/0/00\",\"0/0/00\",\"\"\r\n";

const QByteArray kThunderbird =
    "First Name,Last Name,Display Name,Nickname,Primary Email,Secondary Email,Screen Name,Work Phone,"
    "Home Phone,Fax Number,Pager Number,Mobile Number,Home Address,Home Address 2,Home City,"
    "Home State,Home ZipCode,Home Country,Work Address,Work Address 2,Work City,Work State,"
    "Work ZipCode,Work Country,Job Title,Department,Organization,Web Page 1,Web Page 2,Birth Year,"
    "Birth Month,Birth Day,Custom 1,Custom 2,Custom 3,Custom 4,Notes,\r\n"
    "Anna,Svensson,Anna Svensson,,anna@example.se,,,08 111,08 222,08 333,,070 444,Storgatan 1,,"
    "Stockholm,,11122,Sweden,,,,,,,,,,,,1985,2,28,,,,,,\r\n"
    ",,Per Lind,,per@example.se,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n";

const QByteArray kVCard30 =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iOS 17//EN\r\n"
    "N:Nakamura;Hiro;;;\r\nFN:Hiro Nakamura\r\n"
    "item1.ADR;type=WORK;type=pref:;;5 Work Road;Osaka;;530-0001;Japan\r\n"
    "item2.ADR;type=HOME:;;1-2-3 Very Long Street Name That Goes On And On And On And Folds\r\n"
    " Here;Tokyo;;100-0001;Japan\r\n"
    "EMAIL;type=INTERNET;type=HOME;type=pref:hiro@example.jp\r\n"
    "EMAIL;type=INTERNET;type=WORK:hiro@work.example.jp\r\n"
    "TEL;type=WORK;type=VOICE:03 1111\r\nTEL;type=HOME;type=VOICE:03 2222\r\n"
    "TEL;type=CELL:090 3333\r\nTEL;type=HOME;type=FAX:03 4444\r\n"
    "BDAY;value=date:1979-11-02\r\nX-ANNIVERSARY:2005-05-05\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;;;;\r\nFN:Grace\r\n  Hopper\r\nNOTE:line\\, with\\nescapes\r\n"
    "END:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Xu;;;;\r\nEND:VCARD\r\n";

const QByteArray kVCard21 =
    "BEGIN:VCARD\r\nVERSION:2.1\r\n"
    "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen\r\n"
    "ADR;HOME;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:;;Stra=DFe 1=0D=0AHinterhaus;K=F6ln;NRW;=\r\n"
    "50667;Germany\r\n"
    "TEL;HOME;VOICE:0221 1\r\nTEL;CELL:0170 2\r\nBDAY:19600101\r\nEND:VCARD\r\n";

struct Sample {
    const char* name;
    QByteArray bytes;
    ContactFormat format;
    ContactEncoding encoding;
    int contacts;
    // the first contact
    const char* first;
    const char* last;
    const char* street;
    const char* street2;
    const char* city;
    const char* zip;
    const char* email;
    const char* phone;
    const char* fax;
    const char* mobile;
    QDate birthday;
    QDate anniversary;
};

const std::vector<Sample>& samples() {
    static const std::vector<Sample> s = {
        {"google", kGoogle, ContactFormat::HeaderCsv, ContactEncoding::Utf8, 2, "René", "Dubois",
         "12 rue de la Paix", "Bâtiment A", "Paris", "75002", "rene@example.fr", "+33 1 42 00 00 00", "",
         "+33 6 12 34 56 78", QDate(1971, 6, 30), QDate()},
        {"outlook", kOutlook, ContactFormat::HeaderCsv, ContactEncoding::Utf8, 2, "Mary", "O'Neil",
         "22 Elm St", "Apt 3", "Austin", "73301", "mary@example.com", "512 555 0103", "214 555 0101",
         "512 555 0104", QDate(1965, 4, 12), QDate(1990, 6, 15)},
        {"thunderbird", kThunderbird, ContactFormat::HeaderCsv, ContactEncoding::Utf8, 2, "Anna",
         "Svensson", "Storgatan 1", "", "Stockholm", "11122", "anna@example.se", "08 222", "08 333",
         "070 444", QDate(1985, 2, 28), QDate()},
        {"plain names, semicolons, BOM", "\xEF\xBB\xBFSurname;First;Street;Zip;City;E-mail;Cell\r\n"
         "\"Smith; Jr\";\"Al \"\"Big\"\"\";1 Main;12345;Springfield;al@example.com;555 1\r\n",
         ContactFormat::HeaderCsv, ContactEncoding::Utf8Bom, 1, "Al \"Big\"", "Smith; Jr", "1 Main", "",
         "Springfield", "12345", "al@example.com", "", "", "555 1", QDate(), QDate()},
        {"windows-1252", "Intro line of an export\r\nFirst Name,Last Name,City\r\nFran\xE7ois,C\xF4t\xE9,Qu\xE9" "bec\r\n",
         ContactFormat::HeaderCsv, ContactEncoding::Windows1252, 1, "François", "Côté", "", "", "Québec",
         "", "", "", "", "", QDate(), QDate()},
        {"vcard 3.0 folded, several cards", kVCard30, ContactFormat::VCard, ContactEncoding::Utf8, 3, "Hiro",
         "Nakamura", "1-2-3 Very Long Street Name That Goes On And On And On And FoldsHere", "", "Tokyo",
         "100-0001", "hiro@example.jp", "03 2222", "03 4444", "090 3333", QDate(1979, 11, 2), QDate(2005, 5, 5)},
        {"vcard 2.1 quoted-printable", kVCard21, ContactFormat::VCard, ContactEncoding::Utf8, 1, "Jürgen",
         "Müller", "Straße 1", "Hinterhaus", "Köln", "50667", "", "0221 1", "", "0170 2", QDate(1960, 1, 1),
         QDate()},
        {"utf-16 le vcard", utf16le(QString::fromUtf8(kVCard30)), ContactFormat::VCard,
         ContactEncoding::Utf16Le, 3, "Hiro", "Nakamura",
         "1-2-3 Very Long Street Name That Goes On And On And On And FoldsHere", "", "Tokyo", "100-0001",
         "hiro@example.jp", "03 2222", "03 4444", "090 3333", QDate(1979, 11, 2), QDate(2005, 5, 5)},
        {"utf-16 be csv", utf16be(QStringLiteral("Given Name,Family Name\r\nZoë,Ångström\r\n")),
         ContactFormat::HeaderCsv, ContactEncoding::Utf16Be, 1, "Zoë", "Ångström", "", "", "", "", "", "",
         "", "", QDate(), QDate()},
    };
    return s;
}

}  // namespace

TEST(ContactFormats, EachProgramsFileReadsAsWritten) {
    for (const Sample& s : samples()) {
        SCOPED_TRACE(s.name);
        const ContactParse p = ParseContacts(s.bytes);
        EXPECT_TRUE(p.status.ok()) << p.status.reason.toStdString();
        EXPECT_EQ(p.format, s.format);
        EXPECT_EQ(p.encoding, s.encoding);
        ASSERT_EQ(int(p.contacts.size()), s.contacts);
        const TAddressRecord& r = p.contacts.front();
        EXPECT_EQ(r.First, QString::fromUtf8(s.first));
        EXPECT_EQ(r.Last, QString::fromUtf8(s.last));
        EXPECT_EQ(r.Street, QString::fromUtf8(s.street));
        EXPECT_EQ(r.Street2, QString::fromUtf8(s.street2));
        EXPECT_EQ(r.City, QString::fromUtf8(s.city));
        EXPECT_EQ(r.Zip, QString::fromUtf8(s.zip));
        EXPECT_EQ(r.email, QString::fromUtf8(s.email));
        EXPECT_EQ(r.phone, QString::fromUtf8(s.phone));
        EXPECT_EQ(r.fax, QString::fromUtf8(s.fax));
        EXPECT_EQ(r.mobile, QString::fromUtf8(s.mobile));
        EXPECT_EQ(r.Birthday, s.birthday.isValid());
        EXPECT_EQ(r.Birthdate, s.birthday.isValid() ? s.birthday : ZeroDate);
        EXPECT_EQ(r.Annav, s.anniversary.isValid());
        EXPECT_EQ(r.Annavdate, s.anniversary.isValid() ? s.anniversary : ZeroDate);
    }
}

TEST(ContactFormats, FallbacksForNamesAddressesAndPhones) {
    // Google: a name only in "Name", a date without a year, a fax found by its type.
    const ContactParse g = ParseContacts(kGoogle);
    ASSERT_EQ(g.contacts.size(), 2u);
    EXPECT_EQ(g.contacts[1].Last, QStringLiteral("Name"));
    EXPECT_EQ(g.contacts[1].First, QStringLiteral("Only"));
    EXPECT_EQ(g.contacts[1].Birthdate, QDate(1904, 12, 24));
    EXPECT_EQ(g.contacts[1].fax, QStringLiteral("555 0100"));
    // Outlook: no home address, so the business one, whole; "0/0/00" is no date.
    const ContactParse o = ParseContacts(kOutlook);
    ASSERT_EQ(o.contacts.size(), 2u);
    EXPECT_EQ(o.contacts[1].Last, QStringLiteral("Baker, Jr"));
    EXPECT_EQ(o.contacts[1].Street, QStringLiteral("1 Office Park"));
    EXPECT_EQ(o.contacts[1].City, QStringLiteral("Dallas"));
    EXPECT_EQ(o.contacts[1].phone, QStringLiteral("214 555 0105"));
    EXPECT_FALSE(o.contacts[1].Birthday);
    // Thunderbird: display name split; vCard: FN folded when N is empty.
    EXPECT_EQ(ParseContacts(kThunderbird).contacts[1].Last, QStringLiteral("Lind"));
    const ContactParse v = ParseContacts(kVCard30);
    EXPECT_EQ(v.contacts[1].First, QStringLiteral("Grace"));
    EXPECT_EQ(v.contacts[1].Last, QStringLiteral("Hopper"));
    EXPECT_TRUE(ParseContacts(kOutlook).mapping.contains(QStringLiteral("Home Street -> Street")));
}

namespace {

class ContactRunTest : public ::testing::Test {
protected:
    TestDataDir data{3};
    ScopedLibrary lib{data.path()};

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = data.path() + QLatin1Char('/') + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_EQ(f.write(bytes), bytes.size());
        return path;
    }
};

// Every AddrBook row in index order, texts trimmed.
std::vector<TAddressRecord> bookRows() {
    std::vector<TAddressRecord> out;
    EXPECT_TRUE(OpenAddrBook().ok());
    for (int rc = AddrBookTable->top(); rc == xbase::kOk; rc = AddrBookTable->skip()) {
        LoadAddrRec();
        TAddressRecord r = AddressRec;
        for (QString* t : {&r.First, &r.Last, &r.Street, &r.Street2, &r.City, &r.State, &r.Zip, &r.Country,
                           &r.email, &r.phone, &r.fax, &r.mobile})
            *t = t->trimmed();
        out.push_back(r);
    }
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
    return out;
}

std::string rowText(const TAddressRecord& r) {
    const QStringList parts = {r.First, r.Last, r.Street, r.Street2, r.City, r.State, r.Zip, r.Country,
                               r.email, r.phone, r.fax, r.mobile, DateToField(r.Birthdate),
                               DateToField(r.Annavdate), DateToField(r.Other1Date), DateToField(r.Other2Date)};
    std::string s = parts.join(QLatin1Char('|')).toStdString();
    for (bool f : {r.Birthday, r.Annav, r.Valentine, r.Mother, r.Father, r.Secretary, r.Halloween,
                   r.ThanksGiv, r.Christmas, r.Other1, r.Other2})
        s += f ? 'T' : 'F';
    return s;
}

}  // namespace

TEST_F(ContactRunTest, StoredWithAccentsReplacementsDuplicatesAndIndex) {
    const std::vector<TAddressRecord> before = bookRows();
    const QString f = write("c.vcf",
                            "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Côté;François;;;\r\nADR:;;1 Rue;;;;\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Wang;王小明;;;\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:4.0\r\nN:CÔTÉ;françois;;;\r\nADR:;;1 rue;;;;\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:4.0\r\nN:X;Solo;;;\r\nEND:VCARD\r\n");
    const struct {
        DuplicatePolicy policy;
        int added, skipped, duplicatesAdded;
    } cases[] = {{DuplicatePolicy::Skip, 2, 1, 0}, {DuplicatePolicy::Add, 0, 0, 3}};
    int expectedRows = int(before.size());
    for (const auto& c : cases) {
        DetectedImportOptions o;
        o.duplicates = c.policy;
        const DetectedImportOutcome out = RunDetectedImport(f, o);
        EXPECT_TRUE(out.status.ok()) << out.status.reason.toStdString();
        EXPECT_EQ(out.added, c.added + c.duplicatesAdded);
        EXPECT_EQ(out.duplicatesSkipped, c.skipped);
        EXPECT_EQ(out.duplicatesAdded, c.duplicatesAdded);
        EXPECT_EQ(out.withoutLastName, 1);
        expectedRows += out.added;
    }
    // The first run: Côté, Wang (with '?' for three characters) added, the second Côté skipped.
    // The second: everything a duplicate of the first run, added all the same.
    const std::vector<TAddressRecord> rows = bookRows();
    ASSERT_EQ(int(rows.size()), expectedRows);
    int cote = 0, wang = 0;
    for (const TAddressRecord& r : rows) {
        if (r.Last.toUpper() == QStringLiteral("CÔTÉ") && r.First.toUpper() == QStringLiteral("FRANÇOIS")) ++cote;
        if (r.Last == QStringLiteral("Wang") && r.First == QStringLiteral("???")) ++wang;
    }
    EXPECT_EQ(cote, 3);
    EXPECT_EQ(wang, 2);
    for (size_t i = 1; i < rows.size(); ++i)  // the index kept in step
        EXPECT_LE((rows[i - 1].Last + rows[i - 1].First).toUpper(), (rows[i].Last + rows[i].First).toUpper());
    TAddressRecord w;
    w.First = QStringLiteral("王小明");
    EXPECT_EQ(FitToAddrBook(w), 3);
}

TEST_F(ContactRunTest, CountriesRegionsSecondValuesAndLinesWereLostOrCut) {
    const struct {
        const char* name;
        QByteArray bytes;
        // the row stored: First, Last, Street, Street2, State, Country, email, phone
        const char* row[8];
        int regionsLeftOut;
    } cases[] = {
        {"Outlook, business address with its country",
         "First Name,Last Name,Business Street,Business City,Business State,Business Postal Code,Business Country\r\n"
         "Jean,Roy,1 Sparks St,Ottawa,ON,K1P 5B9,Canada\r\n",
         {"Jean", "Roy", "1 Sparks St", "", "ON", "Canada", "", ""}, 0},
        {"Outlook, other address with its country",
         "First Name,Last Name,Other Street,Other City,Other Country\r\nAna,Ruiz,Calle 1,Lima,Peru\r\n",
         {"Ana", "Ruiz", "Calle 1", "", "", "Peru", "", ""}, 0},
        {"Outlook, a street of two lines",
         "First Name,Last Name,Home Street,Home City\r\nMary,Oneil,\"22 Elm St\r\nApt 3\",Austin\r\n",
         {"Mary", "Oneil", "22 Elm St", "Apt 3", "", "", "", ""}, 0},
        {"Google, a region that is no code, two e-mails",
         "Given Name,Family Name,Address 1 - City,Address 1 - Region,Address 1 - Postal Code,E-mail 1 - Value\r\n"
         "Eva,Gil,Madrid,Madrid,28014,eva@example.es ::: gil@example.es\r\n",
         {"Eva", "Gil", "", "", "", "", "eva@example.es", ""}, 1},
        {"Google, a state written out, two phones",
         "Given Name,Family Name,Address 1 - Region,Phone\r\nBo,Park,California,555 0101 ::: 555 0102\r\n",
         {"Bo", "Park", "", "", "CA", "", "", "555 0101"}, 0},
        {"vCard, a single name",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;Cher;;;\r\nFN:Cher\r\nEND:VCARD\r\n",
         {"", "Cher", "", "", "", "", "", ""}, 0},
        {"vCard, a region that is no code",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Huber;Max;;;\r\nADR;TYPE=home:;;Hauptstr. 1;M\xC3\xBCnchen;Bayern;80331;Germany\r\n"
         "END:VCARD\r\n",
         {"Max", "Huber", "Hauptstr. 1", "", "", "Germany", "", ""}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DetectedImportOutcome out = RunDetectedImport(write("c.txt", c.bytes));
        ASSERT_EQ(out.added, 1) << out.status.reason.toStdString();
        EXPECT_EQ(DetectedImportSummary(out).contains(QStringLiteral("1 region left out")), c.regionsLeftOut == 1)
            << DetectedImportSummary(out).toStdString();
        for (const TAddressRecord& r : bookRows()) {
            if (r.Last != QLatin1String(c.row[1])) continue;
            const QStringList got = {r.First, r.Last, r.Street, r.Street2, r.State, r.Country, r.email, r.phone};
            QStringList want;
            for (const char* w : c.row) want << QString::fromUtf8(w);
            EXPECT_EQ(got, want);
        }
    }
}

TEST_F(ContactRunTest, BirthdayWithoutAYearShowedAMadeUpYear) {
    const DetectedImportOutcome out = RunDetectedImport(
        write("c.vcf", "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Noel;Holly;;;\r\nBDAY:--1225\r\nEND:VCARD\r\n"));
    ASSERT_EQ(out.added, 1) << out.status.reason.toStdString();
    for (const TAddressRecord& r : bookRows()) {
        if (r.Last != QLatin1String("Noel")) continue;
        ASSERT_TRUE(r.Birthday);
        EXPECT_EQ(r.Birthdate.month(), 12);  // the reminder and label runs go by month and day
        EXPECT_EQ(r.Birthdate.day(), 25);
        DatedEntry entries[4];
        DatedEntries(r, entries);
        EXPECT_TRUE(DatedEntryLine(r, entries[0], QLocale(QLocale::English, QLocale::UnitedStates))
                        .endsWith(QStringLiteral("Birthday 12/25")));
        EXPECT_TRUE(VCardOf(r).contains("\r\nBDAY:--1225\r\n")) << VCardOf(r).toStdString();
        EXPECT_TRUE(CsvLineOf(r).contains(",--12-25,")) << CsvLineOf(r).toStdString();
    }
}

TEST_F(ContactRunTest, CancelKeepsTheRowsAddedSoFar) {
    QByteArray csv = "First,Last\r\n";
    for (int i = 0; i < 50; ++i) csv += "A,Name" + QByteArray::number(i) + "\r\n";
    DetectedImportOptions o;
    o.progress = [](int done, int) { return done < 7; };
    const DetectedImportOutcome out = RunDetectedImport(write("c.csv", csv), o);
    EXPECT_TRUE(out.cancelled);
    EXPECT_EQ(out.added, 7);
    EXPECT_EQ(bookRows().size(), 3u + 7u);
    EXPECT_NE(DetectedImportSummary(out).indexOf(QStringLiteral("cancelled")), -1);
}

TEST_F(ContactRunTest, BadInputImportsNothingAndSaysWhy) {
    const std::vector<TAddressRecord> before = bookRows();
    QByteArray binary;
    for (int i = 0; i < 4096; ++i) binary += char((i * 7919) % 256);
    const struct {
        const char* name;
        QByteArray bytes;
        const char* says;
    } cases[] = {
        {"empty", QByteArray(), "empty"},
        {"blank lines", "\r\n \r\n\t\r\n", "empty"},
        {"binary", binary, "does not look like text"},
        {"vcard without END", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Cut;Short\r\nBEGIN:VCARD\r\nN:Ab;C\r\n",
         "no END:VCARD"},
        {"END before BEGIN", "BEGIN:VCARD\r\nN:Ab;C\r\nEND:VCARD\r\nEND:VCARD\r\n", "never begun"},
        {"header naming nothing known", "Foo,Bar,Baz\r\nAb,Cd,Ef\r\n", "No header row"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DetectedImportOutcome out = RunDetectedImport(write("bad.txt", c.bytes));
        EXPECT_TRUE(out.fileFound);
        EXPECT_FALSE(out.bookOpened);
        EXPECT_NE(out.status.reason.indexOf(QLatin1String(c.says)), -1) << out.status.reason.toStdString();
        EXPECT_EQ(out.added, 0);
    }
    EXPECT_FALSE(RunDetectedImport(data.path() + QStringLiteral("/gone.vcf")).fileFound);
    std::vector<std::string> a, b;
    for (const auto& r : before) a.push_back(rowText(r));
    for (const auto& r : bookRows()) b.push_back(rowText(r));
    EXPECT_EQ(a, b);
}

TEST_F(ContactRunTest, LineOfFiftyMegabytesIsCutToItsColumn) {
    QByteArray csv = "First,Last,Street\r\nAl,Long,\"";
    csv += QByteArray(50 << 20, 'x');
    csv += "\"\r\nBo,Short,2 Oak\r\n";
    const DetectedImportOutcome out = RunDetectedImport(write("long.csv", csv));
    EXPECT_TRUE(out.status.ok()) << out.status.reason.toStdString();
    EXPECT_EQ(out.added, 2);
    for (const TAddressRecord& r : bookRows())
        if (r.Last == QStringLiteral("Long")) {
            EXPECT_EQ(r.Street, QString(40, QLatin1Char('x')));
        }
}

TEST(ContactExport, RoundTripGivesTheSameRows) {
    TestDataDir book(10000);
    for (ExportFormat format : {ExportFormat::VCard, ExportFormat::Csv}) {
        SCOPED_TRACE(format == ExportFormat::VCard ? "vcard" : "csv");
        const QString file = book.path() + (format == ExportFormat::VCard ? "/out.vcf" : "/out.csv");
        std::vector<std::string> original;
        {
            ScopedLibrary lib(book.path());
            ExportOptions o;
            o.format = format;
            const ExportOutcome out = ExportContacts(file, o);
            ASSERT_TRUE(out.status.ok()) << out.status.reason.toStdString();
            EXPECT_EQ(out.written, 10000);
            for (const auto& r : bookRows()) original.push_back(rowText(r));
        }
        TestDataDir empty;
        ScopedLibrary lib(empty.path());
        const DetectedImportOutcome in = RunDetectedImport(file);
        ASSERT_TRUE(in.status.ok()) << in.status.reason.toStdString();
        EXPECT_EQ(in.added + in.duplicatesSkipped, 10000);
        std::vector<std::string> copy;
        for (const auto& r : bookRows()) copy.push_back(rowText(r));
        std::sort(original.begin(), original.end());
        original.erase(std::unique(original.begin(), original.end()), original.end());
        std::sort(copy.begin(), copy.end());
        ASSERT_EQ(copy.size(), original.size());
        for (size_t i = 0; i < copy.size(); ++i) ASSERT_EQ(copy[i], original[i]) << "row " << i;
    }
}
