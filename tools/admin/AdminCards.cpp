// merrowby-admin cards: the card log as CSV, marking a run's recipients as sent, and taking such
// a run out of the log again.

#include <QDate>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/data/CardLog.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/occasions/Occasions.h"
#include "xbase/Cp1252.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

extern const AdminCommand kAdminCards;

namespace {

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

// Logs a sent card for everyone a run of `occasion` prints for (occasion 8: within SpanStart..SpanEnd).
int markRun(const QString& dir, int occasion, int year) {
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

// The card log's events of `year` as CSV (of one occasion, of one kind, when given).
int listRun(const QString& dir, int year, int occasion, const CardKind* kind) {
    AdminSession session("cards", dir, AdminSession::Access::ReadOnly);
    std::vector<CardEvent> events;
    const xbase::Status s = CardsList(session.library(), year, occasion, kind, &events);
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

int run(const QStringList& args) {
    AdminArgs a("cards", kAdminCards.usage);
    a.values({{"year", "--year needs a year"},
              {"kind", "--kind needs sent, received or returned"}});
    a.occasionOptions(OccasionSelected);
    a.flags({"mark-sent", "unmark"});
    if (!a.parse(args, 1, 1)) return 2;
    const QString dir = a.plain(0), kindText = a.get(QStringLiteral("kind"));
    const bool markSent = a.has(QStringLiteral("mark-sent")), unmark = a.has(QStringLiteral("unmark"));
    bool yearOk = false;
    const int year = a.get(QStringLiteral("year")).toInt(&yearOk);
    if (a.has(QStringLiteral("year")) && (!yearOk || year < 1 || year > 9999))
        return a.fail(QStringLiteral("--year needs a year"));
    int occasion = 0;
    if (!a.occasion(false, &occasion)) return 2;
    if (!a.has(QStringLiteral("year"))) return a.usage();
    if (!a.isDirectory(dir)) return 2;
    CardKind kind = CardKind::Sent;
    if (!kindText.isEmpty() && !CardKindFromText(kindText.toStdString(), &kind))
        return a.fail(QStringLiteral("--kind needs sent, received or returned"));

    if (markSent && unmark) return a.fail(QStringLiteral("--mark-sent and --unmark go alone"));
    if (markSent || unmark) {
        const char* option = markSent ? "--mark-sent" : "--unmark";
        const int highest = markSent ? OccasionDated : OccasionSelected;
        if (occasion < 1 || occasion > highest)
            return a.fail(QStringLiteral("%1 needs --occasion 1 to %2").arg(option).arg(highest));
        if (!kindText.isEmpty()) return a.fail(QStringLiteral("%1 is about sent cards only").arg(option));
        if (!a.span(occasion, &SpanStart, &SpanEnd)) return 2;
        if (unmark) return unmarkRun(dir, occasion, year, !a.get(QStringLiteral("from")).isEmpty());
        return markRun(dir, occasion, year);
    }
    return listRun(dir, year, occasion, kindText.isEmpty() ? nullptr : &kind);
}

}  // namespace

extern const AdminCommand kAdminCards = {
    "cards", false, run,
    "merrowby-admin cards DIR --year Y [--occasion N] [--kind sent|received|returned]\n"
    "  merrowby-admin cards DIR --mark-sent --occasion N --year Y [--from YYYY-MM-DD --to YYYY-MM-DD]\n"
    "  merrowby-admin cards DIR --unmark --occasion N --year Y [--from YYYY-MM-DD --to YYYY-MM-DD]"};
