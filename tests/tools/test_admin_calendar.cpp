// `merrowby-admin upcoming` and `calendar`: what is coming up in date order on the terminal and as
// one desktop notice on a private session bus, and the calendar file with the options given.
#include <QDate>
#include <QFile>
#include <QLocale>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <tuple>
#include <gtest/gtest.h>

#include "AdminProcess.h"
#include "TestData.h"
#include "core/calendar/CalendarSettings.h"
#include "xbase/Library.h"

namespace {

// The tool run with the C locale (English day and month names), and `bus` as the session bus's
// address when given.
AdminRun adminInC(const QString& program, const QStringList& args, const QString& bus = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    if (!bus.isNull()) env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
    p.setProcessEnvironment(env);
    p.start(program, args);
    AdminRun r;
    if (!p.waitForFinished(60000)) return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    return r;
}

std::string yyyymmdd(const QDate& d) { return d.toString(QStringLiteral("yyyyMMdd")).toStdString(); }

class AdminCalendarTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(kAdmin)) GTEST_SKIP() << "merrowby-admin not built";
    }
    // A book whose dates come within the 364 days from today, the last one on the last of those
    // days (in next year, past the year's end) and none twice. Gives the lines `upcoming --days
    // 364` prints, with their days, in date order, a day's dates in name order.
    std::vector<std::pair<QDate, QString>> fillBook() {
        const QDate today = QDate::currentDate(), tomorrow = today.addDays(1), last = today.addDays(364);
        const QDate janSecond(today.year() + (today > QDate(today.year(), 1, 2) ? 1 : 0), 1, 2);
        AppendAddressRows(data.dir(), {
            AddressRow("Ann", "Lee", {{Birthdate, yyyymmdd(QDate(1980, last.month(), last.day()))}}, {Birthday}),
            AddressRow("Bo", "Kay", {{Annavdate, "20000102"}}, {Annav}),
            AddressRow("Cy", "Dee", {{Birthdate, yyyymmdd(QDate(1904, tomorrow.month(), tomorrow.day()))}}, {Birthday}),
            AddressRow("Di", "Eve", {{Other1Date, yyyymmdd(today.addYears(-30))}}, {Other1}),
            AddressRow("Ed", "Fox", {}, {Birthday}),
        });
        std::vector<std::tuple<QDate, QString, QString>> dates = {
            {last, "Lee", QStringLiteral("Birthday  Ann Lee (%1)").arg(last.year() - 1980)},
            {janSecond, "Kay", QStringLiteral("Anniversary  Bo Kay (%1)").arg(janSecond.year() - 2000)},
            {tomorrow, "Dee", "Birthday  Cy Dee"},
            {today, "Eve", "Other date  Di Eve"},
        };
        std::sort(dates.begin(), dates.end());
        std::vector<std::pair<QDate, QString>> lines;
        for (const auto& [day, last, text] : dates)
            lines.emplace_back(day, QLocale::c().toString(day, QStringLiteral("ddd d MMM")) + QStringLiteral("  ") + text);
        return lines;
    }
    // The lines of days up to `last`, joined by line breaks.
    static QString upTo(const std::vector<std::pair<QDate, QString>>& lines, const QDate& last) {
        QStringList out;
        for (const auto& [day, text] : lines)
            if (day <= last) out << text;
        return out.join(QLatin1Char('\n'));
    }
    TestDataDir data;
};

}  // namespace

// Nothing coming: exit 0 and nothing printed. Most of a year ahead: every date in date order, the
// last one in next year; an age where the year is known, none where it is not.
TEST_F(AdminCalendarTest, UpcomingListsTheDaysAheadInDateOrderAcrossTheYearsEnd) {
    AdminRun r = adminInC(kAdmin, {"upcoming", data.path()});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out + r.err, QString());

    const auto lines = fillBook();
    const QDate today = QDate::currentDate();
    r = adminInC(kAdmin, {"upcoming", data.path(), "--days", "364"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, upTo(lines, today.addDays(364)) + '\n');
    EXPECT_EQ(adminInC(kAdmin, {"upcoming", data.path(), "--days=1"}).out, upTo(lines, today.addDays(1)) + '\n');
}

// --notify sends one notice with the same lines through the session bus, and none when nothing
// is coming; without a session bus it says so and exits 1.
TEST_F(AdminCalendarTest, NotifySendsOneNoticeOverTheSessionBus) {
    const QString session = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
    if (session.isEmpty()) GTEST_SKIP() << "dbus-run-session not found (Debian package dbus-daemon)";
    QTemporaryDir tmp;
    const auto notices = [&](const QStringList& args) {
        const QString out = tmp.filePath(QStringLiteral("notices.json"));
        QFile::remove(out);
        const AdminRun r = adminInC(session, QStringList{"--", NOTICE_LISTENER, out, kAdmin} + args);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        QFile f(out);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << r.err.toStdString();
        return QJsonDocument::fromJson(f.readAll()).array();
    };
    EXPECT_EQ(notices({"upcoming", data.path(), "--notify"}), QJsonArray());

    const auto lines = fillBook();
    const QJsonArray sent = notices({"upcoming", data.path(), "--notify", "--days", "364"});
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0]["app"].toString(), "Merrowby");
    EXPECT_EQ(sent[0]["summary"].toString(), "Coming up in the next 364 days");
    EXPECT_EQ(sent[0]["body"].toString(), upTo(lines, QDate::currentDate().addDays(364)));

    const AdminRun r = adminInC(kAdmin, {"upcoming", data.path(), "--notify"}, "unix:path=" + tmp.filePath("no-bus"));
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith("merrowby-admin: upcoming: no session bus")) << r.err.toStdString();
}

// The calendar file takes the alarms and years given, the stored choices where none are given,
// and leaves the stored choices as they were.
TEST_F(AdminCalendarTest, CalendarTakesTheOptionsGivenOverTheStoredChoices) {
    AppendAddressRows(data.dir(), {AddressRow("Ann", "Lee", {{Birthdate, "19610314"}}, {Birthday, Christmas})});
    {
        xbase::Library lib;
        lib.setDirectory(data.dir());
        ASSERT_TRUE(StoreCalendarSettings(lib, CalendarSettings{HolidayCountry::UnitedKingdom, 5, 20, 1}).ok());
    }
    const QByteArray stored = data.read("Calendar.dbf");
    QTemporaryDir tmp;
    const QString file = tmp.filePath(QStringLiteral("book.ics"));
    // The number of alarms so many days before.
    const auto alarms = [&](const QStringList& options, const QStringList& days) {
        const AdminRun r = adminInC(kAdmin, QStringList{"calendar", data.path(), "--ics", file} + options);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        EXPECT_EQ(r.out, QStringLiteral("%1 calendar events written to %2\n").arg(text.count("BEGIN:VEVENT")).arg(file));
        std::vector<qsizetype> out;
        for (const QString& d : days) out.push_back(text.count("TRIGGER:-P" + d.toLatin1() + "D\r\n"));
        return out;
    };
    // The birthday, Christmas, and Chanukah in each of the years.
    EXPECT_EQ(alarms({"--alarm-days", "3"}, {"3", "20"}), (std::vector<qsizetype>{1, 2}));
    EXPECT_EQ(alarms({"--holiday-alarm-days=30", "--years", "4"}, {"5", "30"}), (std::vector<qsizetype>{1, 5}));
    EXPECT_EQ(data.read("Calendar.dbf"), stored);
}
