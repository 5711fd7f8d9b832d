// merrowby-admin flags: a holiday's list changed in one go.
//
//   merrowby-admin flags DIR --occasion N --set|--clear
//                        (--all | --names FILE | --received-last-year | --sent-last-year)
//
// N is a holiday, 1 to 7. --set puts the people chosen on the occasion's list, --clear takes them
// off; the others keep their flag. --names FILE names them one a line ("First Last" or "Last,
// First", letter case and blanks ignored; empty lines and lines starting with # skipped): a name
// the book does not hold stops the command before anything is written. --received-last-year and
// --sent-last-year choose whom the card log has a card of this occasion from or to in the year
// before the one a run printed today counts for. The flags are written in one pass
// (core/households/OccasionList.h), under the data folder's lock.
//
// Exit status 0 (the count changed on standard output), 1 when it failed, 2 for bad arguments.

#include <QDate>
#include <QFile>
#include <QSet>
#include <cstdio>
#include <map>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/households/OccasionList.h"

extern const AdminCommand kAdminFlags;

namespace {

enum class FlagsWho { All, Names, ReceivedLastYear, SentLastYear };

// A name as the names file and the book are compared: "first last", folded, blanks made one.
QString nameKey(const QString& first, const QString& last) {
    return (first.simplified() + QLatin1Char(' ') + last.simplified()).simplified().toCaseFolded();
}

QString lineKey(const QString& line) {
    const qsizetype comma = line.indexOf(QLatin1Char(','));
    if (comma < 0) return line.simplified().toCaseFolded();
    return nameKey(line.mid(comma + 1), line.left(comma));
}

// Sets or clears `occasion`'s flag of the people `who` (and `namesFile`) chooses; the exit status.
int setFlags(const QString& dir, int occasion, bool set, FlagsWho who, const QString& namesFile) {
    QSet<QString> wanted;
    if (who == FlagsWho::Names) {
        QFile f(namesFile);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
            std::fprintf(stderr, "merrowby-admin: flags: cannot read %s: %s\n", namesFile.toLocal8Bit().constData(),
                         f.errorString().toLocal8Bit().constData());
            return 1;
        }
        for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            const QString t = line.trimmed();
            if (!t.isEmpty() && !t.startsWith(QLatin1Char('#'))) wanted.insert(lineKey(t));
        }
    }
    AdminSession session("flags", dir, AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    std::vector<ListPerson> people;
    const DataStatus read = ReadOccasionList(occasion, ListLastYear(occasion, QDate::currentDate()), &people);
    if (!read) return session.fail(read);
    std::map<uint32_t, bool> chosen;
    QSet<QString> found;
    for (const ListPerson& p : people) {
        const QString key = nameKey(p.first, p.last);
        const bool pick = who == FlagsWho::All || (who == FlagsWho::Names && wanted.contains(key)) ||
                          (who == FlagsWho::ReceivedLastYear && p.receivedLastYear) ||
                          (who == FlagsWho::SentLastYear && p.sentLastYear);
        if (pick) chosen[p.recNo] = true;
        if (pick && who == FlagsWho::Names) found.insert(key);
    }
    if (found.size() < wanted.size()) {
        QStringList missing;
        for (const QString& w : wanted)
            if (!found.contains(w)) missing << w;
        missing.sort();
        return session.fail(QStringLiteral("not in the book: ") + missing.join(QStringLiteral("; ")) +
                            QStringLiteral("; nothing was changed"));
    }
    int changed = 0;
    const DataStatus written = WriteOccasionFlags(
        occasion, [&](uint32_t recNo, bool flag) { return chosen.count(recNo) ? set : flag; }, &changed);
    if (!written) return session.fail(written, QStringLiteral("Unable to write "));
    std::printf("%d of %zu people %s\n", changed, chosen.size(), set ? "put on the list" : "taken off the list");
    std::fflush(stdout);
    return session.finish();
}

int run(const QStringList& args) {
    AdminArgs a("flags", kAdminFlags.usage);
    a.occasionOptions(7);
    a.values({{"names", "--names needs a file"}});
    a.flags({"set", "clear", "all", "received-last-year", "sent-last-year"});
    if (!a.parse(args, 1, 1)) return 2;
    int occasion = 0;
    if (!a.occasion(true, &occasion)) return 2;
    const bool set = a.has(QStringLiteral("set"));
    int whos = 0;
    FlagsWho who = FlagsWho::All;
    for (const auto& [name, w] : {std::pair{"all", FlagsWho::All}, std::pair{"names", FlagsWho::Names},
                                  std::pair{"received-last-year", FlagsWho::ReceivedLastYear},
                                  std::pair{"sent-last-year", FlagsWho::SentLastYear}})
        if (a.has(QLatin1String(name))) who = w, ++whos;
    if (set == a.has(QStringLiteral("clear")) || whos != 1) return a.usage();
    if (!a.isDirectory(a.plain(0))) return 2;
    return setFlags(a.plain(0), occasion, set, who, a.get(QStringLiteral("names")));
}

}  // namespace

extern const AdminCommand kAdminFlags = {
    "flags", false, run,
    "merrowby-admin flags DIR --occasion N --set|--clear (--all | --names FILE | --received-last-year | "
    "--sent-last-year)"};
