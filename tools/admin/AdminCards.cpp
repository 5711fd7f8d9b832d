#include "AdminCards.h"

#include <QDate>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "AdminSession.h"
#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/occasions/Occasions.h"
#include "xbase/Cp1252.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

int fail(const QString& text) {
    std::fprintf(stderr, "merrowby-admin: cards: %s\n", text.toLocal8Bit().constData());
    return 2;
}

const char* OccasionNameText(int occasion) {
    return occasion >= 1 && occasion <= 8 ? ReminderTitles[size_t(occasion - 1)] : "Selected";
}

// Whom a run of `occasion` would print for (occasion 8: each dated entry within from..to).
DataStatus recipients(int occasion, const QDate& from, const QDate& to, std::vector<CardPick>* picks) {
    const DataStatus opened = OpenAddrBook();
    if (!opened) return opened;
    while (LastStatus == 0) {
        LoadAddrRec();
        const uint32_t rec = AddrBookTable->recNo();
        if (!AddrBookTable->deleted()) {
            if (occasion <= 7 && HolidayFlag(AddressRec, occasion)) picks->push_back({rec, 0});
            if (occasion == OccasionDated) {
                DatedEntry e[4];
                for (int i = 0, n = DatedEntries(AddressRec, e); i < n; ++i)
                    if (e[i].flag && MonthDayInWindow(e[i].date, from, to)) picks->push_back({rec, i + 1});
            }
        }
        LastStatus = AddrBookTable->skip();
    }
    return CloseTable(AddrBookTable);
}

// Takes the sent cards of `occasion` in `year` out of the log: all of them, or with `bySpan`
// those of the dated entries within SpanStart..SpanEnd as the book holds them now.
int unmarkRun(const QString& dir, int occasion, int year, bool bySpan) {
    AdminSession session("cards", dir, AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    std::vector<CardPick> picks;
    if (bySpan) {
        const DataStatus read = recipients(occasion, SpanStart, SpanEnd, &picks);
        if (!read) return session.fail(read);
    }
    int removed = 0;
    const xbase::Status s = CardsRemove(
        session.library(),
        [&](const CardEvent& e) {
            if (e.kind != CardKind::Sent || e.occasion != occasion || e.year != year) return false;
            return !bySpan || std::any_of(picks.begin(), picks.end(), [&](const CardPick& p) {
                return p.recNo == e.recNo && p.entry == e.entry;
            });
        },
        &removed);
    if (!s.ok()) return session.fail(QString::fromStdString(s.toString()));
    std::printf("removed %d sent card%s for %s %d\n", removed, removed == 1 ? "" : "s",
                OccasionNameText(occasion), year);
    return session.finish();
}

}  // namespace

int AdminCards(const QStringList& args) {
    QString dir, kindText, fromText, toText;
    int year = 0, occasion = 0;
    bool markSent = false, unmark = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) return false;
            into = args.at(++i);
            return true;
        };
        auto number = [&](int& into) {
            QString v;
            bool ok = false;
            return value(v) && (into = v.toInt(&ok), ok);
        };
        if (a == QLatin1String("--year")) {
            if (!number(year) || year < 1 || year > 9999) return fail(QStringLiteral("--year needs a year"));
        } else if (a == QLatin1String("--occasion")) {
            if (!number(occasion) || occasion < 1 || occasion > 9)
                return fail(QStringLiteral("--occasion needs a number from 1 to 9"));
        } else if (a == QLatin1String("--kind")) {
            if (!value(kindText)) return fail(QStringLiteral("--kind needs sent, received or returned"));
        } else if (a == QLatin1String("--from")) {
            if (!value(fromText)) return fail(QStringLiteral("--from needs a date"));
        } else if (a == QLatin1String("--to")) {
            if (!value(toText)) return fail(QStringLiteral("--to needs a date"));
        } else if (a == QLatin1String("--mark-sent")) {
            markSent = true;
        } else if (a == QLatin1String("--unmark")) {
            unmark = true;
        } else if (a.startsWith(QLatin1String("--")) || !dir.isEmpty()) {
            return fail(QStringLiteral("unexpected argument ") + a + QStringLiteral("\nusage: ") +
                        QLatin1String(kAdminCardsUsage));
        } else {
            dir = a;
        }
    }
    if (dir.isEmpty() || year == 0) return fail(QStringLiteral("usage: ") + QLatin1String(kAdminCardsUsage));
    if (!QFileInfo(dir).isDir()) return fail(QStringLiteral("no such directory: ") + dir);
    CardKind kind = CardKind::Sent;
    if (!kindText.isEmpty() && !CardKindFromText(kindText.toStdString(), &kind))
        return fail(QStringLiteral("--kind needs sent, received or returned"));

    if (markSent && unmark) return fail(QStringLiteral("--mark-sent and --unmark go alone"));
    if (markSent || unmark) {
        const char* option = markSent ? "--mark-sent" : "--unmark";
        if (occasion < 1 || occasion > (markSent ? OccasionDated : OccasionSelected))
            return fail(QStringLiteral("%1 needs --occasion 1 to %2").arg(option).arg(markSent ? OccasionDated : OccasionSelected));
        if (!kindText.isEmpty()) return fail(QStringLiteral("%1 is about sent cards only").arg(option));
        SetDefaultSpan();
        if (fromText.isEmpty() != toText.isEmpty()) return fail(QStringLiteral("--from and --to go together"));
        if (!fromText.isEmpty()) {
            SpanStart = QDate::fromString(fromText, Qt::ISODate);
            SpanEnd = QDate::fromString(toText, Qt::ISODate);
            if (!SpanStart.isValid() || !SpanEnd.isValid()) return fail(QStringLiteral("bad date"));
            if (SpanEnd < SpanStart) return fail(QString::fromLatin1(kSpanOrderMessage));
            if (occasion != OccasionDated) return fail(QStringLiteral("--from and --to go with --occasion 8"));
        }
        if (unmark) return unmarkRun(dir, occasion, year, !fromText.isEmpty());
        AdminSession session("cards", dir, AdminSession::Access::Writes);
        if (!session.begin()) return 1;
        std::vector<CardPick> picks;
        const DataStatus read = recipients(occasion, SpanStart, SpanEnd, &picks);
        if (!read) return session.fail(read);
        int added = 0;
        const xbase::Status s = CardsMarkSent(session.library(), occasion, year, picks, &added);
        if (!s.ok()) return session.fail(QString::fromStdString(s.toString()));
        std::printf("logged %d of %zu recipients as sent a card for %s %d\n", added, picks.size(),
                    OccasionNameText(occasion), year);
        return session.finish();
    }

    AdminSession session("cards", dir, AdminSession::Access::ReadOnly);
    std::vector<CardEvent> events;
    const xbase::Status s = CardsList(session.library(), year, occasion, kindText.isEmpty() ? nullptr : &kind, &events);
    if (!s.ok()) return session.fail(QString::fromStdString(s.toString()));
    // Names as the book spells them while the record still holds the event's name key; the key's
    // upper-cased halves otherwise.
    const DataStatus opened = OpenAddrBook();
    if (!opened) return session.fail(opened);
    std::printf("Last,First,RecNo,Year,Occasion,Entry,Kind\n");
    for (const CardEvent& e : events) {
        std::string last = TrimRight(xbase::cp1252::toUtf8(e.nameKey.substr(0, 20)));
        std::string first = TrimRight(xbase::cp1252::toUtf8(e.nameKey.substr(20)));
        if (AddrBookTable->go(e.recNo) == xbase::kOk) {
            LoadAddrRec();
            const std::string l = TrimText(AddressRec.Last).toStdString(), f = TrimText(AddressRec.First).toStdString();
            if (CardNameKey(xbase::cp1252::fromUtf8(AddressRec.Last.toStdString()),
                            xbase::cp1252::fromUtf8(AddressRec.First.toStdString())) == e.nameKey) {
                last = l;
                first = f;
            }
        }
        std::printf("%s,%s,%u,%d,%d,%d,%s\n", CsvField(last).c_str(), CsvField(first).c_str(), e.recNo, e.year,
                    e.occasion, e.entry, CardKindName(e.kind));
    }
    (void)CloseTable(AddrBookTable);  // read only
    std::fflush(stdout);
    return 0;
}
