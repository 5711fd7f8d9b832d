// The calendar export: the events a small book gives, their UIDs from one export to the next,
// and the holiday rules of the three countries.
#include <QMap>
#include <gtest/gtest.h>

#include "TestData.h"
#include "core/calendar/CalendarFile.h"
#include "core/calendar/CalendarSettings.h"
#include "xbase/Library.h"

namespace {

using Event = QMap<QString, QString>;  // property (with its parameters) -> value

// The events of an iCalendar text; lines unfolded. Fails the test on a line longer than 75
// octets or one not ended by CRLF.
std::vector<Event> events(const QByteArray& text) {
    std::vector<Event> out;
    EXPECT_TRUE(text.endsWith("\r\n"));
    QStringList lines;
    for (const QByteArray& l : text.split('\n')) {
        if (l.isEmpty()) continue;
        EXPECT_TRUE(l.endsWith('\r')) << l.toStdString();
        EXPECT_LE(l.size() - 1, 75) << l.toStdString();
        const QString s = QString::fromUtf8(l.chopped(1));
        if (s.startsWith(QLatin1Char(' '))) lines.last() += s.mid(1);
        else lines << s;
    }
    bool inAlarm = false;
    for (const QString& l : lines) {
        const QString name = l.section(QLatin1Char(':'), 0, 0), value = l.section(QLatin1Char(':'), 1);
        if (l == "BEGIN:VEVENT") out.emplace_back();
        else if (l == "BEGIN:VALARM") inAlarm = true;
        else if (l == "END:VALARM") inAlarm = false;
        else if (!out.empty() && !l.startsWith("END:")) out.back()[(inAlarm ? "ALARM." : "") + name] = value;
    }
    return out;
}

const Event* find(const std::vector<Event>& es, const QString& summary, const QString& start = {}) {
    for (const Event& e : es)
        if (e.value("SUMMARY") == summary && (start.isEmpty() || e.value("DTSTART;VALUE=DATE") == start)) return &e;
    return nullptr;
}

class CalendarFileTest : public ::testing::Test {
protected:
    QByteArray exportNow(const QDate& today = QDate(2026, 6, 1), CalendarSettings settings = {}) {
        xbase::Library lib;
        lib.setDirectory(data.dir());
        BookDates book;
        EXPECT_TRUE(ReadBookDates(lib, &book).ok());
        CalendarOptions o;
        o.settings = settings;
        o.today = today;
        o.stamp = QDateTime(today, QTime(9, 30), Qt::UTC);
        return CalendarText(book, o);
    }
    TestDataDir data;
};

}  // namespace

// Each kind of event once: a birthday with its year, an anniversary on 29 February, a birthday
// whose year is not known, a flag without a date and a date without its flag (neither gives an
// event), and the card-sending days of the holidays someone is flagged for, by their rules.
TEST_F(CalendarFileTest, SmallBookGivesEachKindOfEvent) {
    AppendAddressRows(data.dir(), {
        AddressRow("Ann", "Lee", {{Birthdate, "19610314"}}, {Birthday, Christmas, Mother}),
        AddressRow("Bo", "Kay", {{Annavdate, "19880229"}}, {Annav, Christmas}),
        AddressRow("Cy", "Dee", {{Birthdate, "19041225"}}, {Birthday, Valentine}),
        AddressRow("Di", "Eve", {}, {Other1}),
        AddressRow("Ed", "Fox", {{Other2Date, "19990704"}}, {}),
        AddressRow("Fay", "Gale", {{Other1Date, "20010911"}}, {Other1}),
    });
    const QByteArray text = exportNow(QDate(2026, 6, 1), CalendarSettings{HolidayCountry::UnitedStates, 7, 21, 3});
    const std::vector<Event> es = events(text);
    EXPECT_TRUE(text.startsWith("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"));

    const Event* ann = find(es, "Birthday: Ann Lee");
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->value("DTSTART;VALUE=DATE"), "19610314");
    EXPECT_EQ(ann->value("RRULE"), "FREQ=YEARLY");
    EXPECT_EQ(ann->value("TRANSP"), "TRANSPARENT");
    EXPECT_EQ(ann->value("ALARM.ACTION"), "DISPLAY");
    EXPECT_EQ(ann->value("ALARM.TRIGGER"), "-P7D");
    const Event* bo = find(es, "Anniversary: Bo Kay");
    ASSERT_TRUE(bo);
    EXPECT_EQ(bo->value("DTSTART;VALUE=DATE"), "19880229");
    EXPECT_EQ(bo->value("RRULE"), "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1");
    // No year anywhere for Cy: the event starts in the year of the export.
    const Event* cy = find(es, "Birthday: Cy Dee");
    ASSERT_TRUE(cy);
    EXPECT_EQ(cy->value("DTSTART;VALUE=DATE"), "20261225");
    EXPECT_FALSE(text.contains("1904"));
    EXPECT_TRUE(find(es, "Other date: Fay Gale"));
    EXPECT_FALSE(text.contains("Di Eve"));
    EXPECT_FALSE(text.contains("Ed Fox"));

    struct Holiday {
        const char* summary;
        const char* start;
        const char* rule;
    } const holidays[] = {
        {"Valentines Day cards: 1 to send", "20260214", "FREQ=YEARLY"},
        {"Mother's Day cards: 1 to send", "20260510", "FREQ=YEARLY;BYMONTH=5;BYDAY=2SU"},
        {"Christmas / Chanukah cards: 2 to send (Christmas)", "20261225", "FREQ=YEARLY"},
        // Three years of Chanukah from the day of the export.
        {"Christmas / Chanukah cards: 2 to send (Chanukah)", "20261205", ""},
        {"Christmas / Chanukah cards: 2 to send (Chanukah)", "20271225", ""},
        {"Christmas / Chanukah cards: 2 to send (Chanukah)", "20281213", ""},
    };
    for (const Holiday& h : holidays) {
        SCOPED_TRACE(h.summary + std::string(" ") + h.start);
        const Event* e = find(es, h.summary, h.start);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->value("RRULE"), h.rule);
        EXPECT_EQ(e->value("ALARM.TRIGGER"), "-P21D");
    }
    EXPECT_EQ(es.size(), 4u + std::size(holidays));
    // Every event has the properties a reader requires.
    for (const Event& e : es)
        for (const char* p : {"UID", "DTSTAMP", "DTSTART;VALUE=DATE", "SUMMARY", "ALARM.DESCRIPTION"})
            EXPECT_FALSE(e.value(p).isEmpty()) << p << " of " << e.value("SUMMARY").toStdString();
}

// The same book gives the same UIDs in the next export, a year later too; a renamed person's
// date gets a new one and the others keep theirs. Two people of one name and date get two.
TEST_F(CalendarFileTest, UidsStayFromOneExportToTheNextUntilARename) {
    AppendAddressRows(data.dir(), {
        AddressRow("Ann", "Lee", {{Birthdate, "19610314"}}, {Birthday}),
        AddressRow("Bo", "Kay", {{Birthdate, "19041225"}, {Annavdate, "19880229"}}, {Birthday, Annav}),
        AddressRow("Bo", "Kay", {{Birthdate, "19041225"}}, {Birthday}),
    });
    const auto uids = [](const QByteArray& text) {
        QMap<QString, QStringList> out;
        for (const Event& e : events(text)) out[e.value("SUMMARY")] << e.value("UID");
        return out;
    };
    const QMap<QString, QStringList> first = uids(exportNow(QDate(2026, 6, 1)));
    EXPECT_EQ(uids(exportNow(QDate(2027, 2, 1))), first);
    ASSERT_EQ(first.value("Birthday: Bo Kay").size(), 2);
    EXPECT_NE(first.value("Birthday: Bo Kay")[0], first.value("Birthday: Bo Kay")[1]);

    {
        xbase::Library lib;
        lib.setDirectory(data.dir());
        lib.setAutoOpen(false);
        xbase::Table* t = lib.open("AddrBook");
        ASSERT_TRUE(t && t->go(1) == xbase::kOk);
        t->field("First")->assign("Anne");
        ASSERT_EQ(t->close(), 0);
    }
    const QMap<QString, QStringList> renamed = uids(exportNow(QDate(2026, 6, 1)));
    ASSERT_EQ(renamed.value("Birthday: Anne Lee").size(), 1);
    EXPECT_NE(renamed.value("Birthday: Anne Lee"), first.value("Birthday: Ann Lee"));
    EXPECT_EQ(renamed.value("Birthday: Bo Kay"), first.value("Birthday: Bo Kay"));
    EXPECT_EQ(renamed.value("Anniversary: Bo Kay"), first.value("Anniversary: Bo Kay"));
}

// The country setting chooses the rules of Mother's Day and Thanksgiving.
TEST_F(CalendarFileTest, CountryChoosesMothersDayAndThanksgiving) {
    AppendAddressRows(data.dir(), {AddressRow("Ann", "Lee", {}, {Mother, ThanksGiv})});
    struct Case {
        HolidayCountry country;
        const char* mother;  // RRULE, or the first single day
        const char* thanks;
    } const cases[] = {
        {HolidayCountry::UnitedStates, "FREQ=YEARLY;BYMONTH=5;BYDAY=2SU", "FREQ=YEARLY;BYMONTH=11;BYDAY=4TH"},
        {HolidayCountry::UnitedKingdom, "20270307", "FREQ=YEARLY;BYMONTH=11;BYDAY=4TH"},
        {HolidayCountry::Canada, "FREQ=YEARLY;BYMONTH=5;BYDAY=2SU", "FREQ=YEARLY;BYMONTH=10;BYDAY=2MO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CountryCode(c.country));
        // After Mothering Sunday 2026 (15 March): the single events start with 2027's.
        const std::vector<Event> es = events(exportNow(QDate(2026, 6, 1), CalendarSettings{c.country, 7, 21, 2}));
        const auto ruleOrStart = [&es](const char* summary) {
            const Event* e = find(es, QString::fromLatin1(summary));
            return !e ? QString() : e->contains("RRULE") ? e->value("RRULE") : e->value("DTSTART;VALUE=DATE");
        };
        EXPECT_EQ(ruleOrStart("Mother's Day cards: 1 to send"), c.mother);
        EXPECT_EQ(ruleOrStart("Thanksgiving cards: 1 to send"), c.thanks);
    }
}
