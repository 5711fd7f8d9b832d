#include "AdminFlags.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cstdio>
#include <map>

#include "AdminSession.h"
#include "core/households/OccasionList.h"

namespace {

int usageError(const QString& text) {
    std::fprintf(stderr, "merrowby-admin: flags: %s\n", text.toLocal8Bit().constData());
    return 2;
}

// A name as the names file and the book are compared: "first last", folded, blanks made one.
QString nameKey(const QString& first, const QString& last) {
    return (first.simplified() + QLatin1Char(' ') + last.simplified()).simplified().toCaseFolded();
}

QString lineKey(const QString& line) {
    const qsizetype comma = line.indexOf(QLatin1Char(','));
    if (comma < 0) return line.simplified().toCaseFolded();
    return nameKey(line.mid(comma + 1), line.left(comma));
}

}  // namespace

int RunFlags(const QString& dir, int occasion, bool set, FlagsWho who, const QString& namesFile) {
    QSet<QString> wanted;
    if (who == FlagsWho::Names) {
        QFile f(namesFile);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
            return usageError(QStringLiteral("cannot read ") + namesFile + QStringLiteral(": ") + f.errorString());
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

int AdminFlags(const QStringList& args) {
    QString dir, names;
    int occasion = 0, sets = 0, whos = 0;
    bool set = false;
    FlagsWho who = FlagsWho::All;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        const bool more = i + 1 < args.size();
        if (a == QLatin1String("--occasion") && more) occasion = args.at(++i).toInt();
        else if (a == QLatin1String("--set") || a == QLatin1String("--clear")) set = a == QLatin1String("--set"), ++sets;
        else if (a == QLatin1String("--all")) who = FlagsWho::All, ++whos;
        else if (a == QLatin1String("--names") && more) who = FlagsWho::Names, names = args.at(++i), ++whos;
        else if (a == QLatin1String("--received-last-year")) who = FlagsWho::ReceivedLastYear, ++whos;
        else if (a == QLatin1String("--sent-last-year")) who = FlagsWho::SentLastYear, ++whos;
        else if (a.startsWith(QLatin1String("--")) || !dir.isEmpty()) return usageError(QStringLiteral("usage: ") + QLatin1String(kAdminFlagsUsage));
        else dir = a;
    }
    if (dir.isEmpty() || sets != 1 || whos != 1) return usageError(QStringLiteral("usage: ") + QLatin1String(kAdminFlagsUsage));
    if (occasion < 1 || occasion > 7) return usageError(QStringLiteral("--occasion needs a holiday, 1 to 7"));
    if (!QFileInfo(dir).isDir()) return usageError(QStringLiteral("no such directory: ") + dir);
    return RunFlags(dir, occasion, set, who, names);
}
