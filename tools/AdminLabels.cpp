#include "AdminLabels.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "AdminSession.h"
#include "data/Globals.h"
#include "data/dbFiles.h"
#include "labels/LabelFont.h"
#include "labels/LabelGen.h"
#include "labels/Occasions.h"
#include "print/QtPrinter.h"
#include "xbase/library.h"
#include "xbase/table.h"

namespace {

int say(int code, const QString& text) {
    std::fprintf(stderr, "merrowby-admin: labels: %s\n", text.toLocal8Bit().constData());
    return code;
}
int usageError(const QString& text) { return say(2, text); }

bool fileIn(const QString& dir, const QString& name) {
    const QStringList found = QDir(dir).entryList({name}, QDir::Files);  // any letter case
    return !found.isEmpty();
}

// Loads into LabelRec the stock named `name` (ends trimmed; exact, else ignoring letter case),
// or with no name the stock SettingsRec.LabID names, else the first. False when none matches
// (*opened tells when LABELS could not be opened).
bool loadStock(const QString& name, DataStatus* opened) {
    *opened = OpenLabels();
    if (!*opened) return false;
    const QString wanted = TrimText(name.isEmpty() ? SettingsRec.LabID : name);
    bool found = false, foundLoose = false;
    TLabelRecord first, loose;
    bool haveFirst = false;
    for (; LastStatus == 0 && !found; LastStatus = LabelsTable->skip()) {
        LoadLabelRec();
        if (!haveFirst) first = LabelRec, haveFirst = true;
        const QString stored = TrimText(LabelRec.Name);
        if (stored == wanted) found = true;
        else if (!foundLoose && stored.compare(wanted, Qt::CaseInsensitive) == 0)
            loose = LabelRec, foundLoose = true;
    }
    (void)CloseTable(LabelsTable);  // read only
    if (found) return true;
    if (foundLoose) return LabelRec = loose, true;
    if (name.isEmpty() && haveFirst) return LabelRec = first, true;
    return false;
}

}  // namespace

int AdminLabels(const QStringList& args) {
    QString dir, fromText, toText, stockName, startText, pdf;
    int occasion = 0;
    bool stockGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) return false;
            into = args.at(++i);
            return true;
        };
        QString v;
        if (a == QLatin1String("--occasion")) {
            bool ok = false;
            if (!value(v) || (occasion = v.toInt(&ok), !ok))
                return usageError(QStringLiteral("--occasion needs a number from 1 to 8"));
        } else if (a == QLatin1String("--from")) {
            if (!value(fromText)) return usageError(QStringLiteral("--from needs a date"));
        } else if (a == QLatin1String("--to")) {
            if (!value(toText)) return usageError(QStringLiteral("--to needs a date"));
        } else if (a == QLatin1String("--stock")) {
            if (!value(stockName)) return usageError(QStringLiteral("--stock needs a name"));
            stockGiven = true;
        } else if (a == QLatin1String("--start")) {
            if (!value(startText)) return usageError(QStringLiteral("--start needs COL,ROW"));
        } else if (a == QLatin1String("--pdf")) {
            if (!value(pdf)) return usageError(QStringLiteral("--pdf needs a file name"));
        } else if (a.startsWith(QLatin1String("--")) || !dir.isEmpty()) {
            return usageError(QStringLiteral("unexpected argument ") + a +
                              QStringLiteral("\nusage: ") + QLatin1String(kAdminLabelsUsage));
        } else {
            dir = a;
        }
    }
    if (dir.isEmpty() || pdf.isEmpty())
        return usageError(QStringLiteral("usage: ") + QLatin1String(kAdminLabelsUsage));
    if (occasion == OccasionSelected)
        return usageError(QStringLiteral("occasion 9 (recipients picked by hand) needs the "
                                         "program's window; use 1 to 8 here"));
    if (occasion < 1 || occasion > OccasionDated)
        return usageError(QStringLiteral("--occasion needs a number from 1 to 8"));
    if (fromText.isEmpty() != toText.isEmpty())
        return usageError(QStringLiteral("--from and --to go together"));
    if (!fromText.isEmpty() && occasion != OccasionDated)
        return usageError(QStringLiteral("--from and --to apply to occasion 8 only"));
    int startColumn = 1, startRow = 1;
    if (!startText.isEmpty()) {
        const QStringList parts = startText.split(QLatin1Char(','));
        bool okC = false, okR = false;
        if (parts.size() == 2) {
            startColumn = parts[0].trimmed().toInt(&okC);
            startRow = parts[1].trimmed().toInt(&okR);
        }
        if (!okC || !okR || startColumn < 1 || startRow < 1)
            return usageError(QStringLiteral("--start needs COL,ROW, both 1 or more"));
    }
    if (!QFileInfo(dir).isDir()) return usageError(QStringLiteral("no such directory: ") + dir);

    SetDefaultSpan();
    if (!fromText.isEmpty()) {
        const QDate from = QDate::fromString(fromText, Qt::ISODate);
        const QDate to = QDate::fromString(toText, Qt::ISODate);
        if (!from.isValid()) return usageError(QStringLiteral("bad date ") + fromText);
        if (!to.isValid()) return usageError(QStringLiteral("bad date ") + toText);
        if (to < from) return usageError(QString::fromLatin1(kSpanOrderMessage));
        SpanStart = from;
        SpanEnd = to;
    }

    // Reads only: the program may be open on the same book.
    AdminSession session("labels", dir, AdminSession::Access::ReadOnly);

    if (fileIn(dir, QStringLiteral("Mrby1.dbf"))) {
        const DataStatus settings = OpenSettings();
        if (!settings) return session.fail(settings);
        if (LastStatus == 0) LoadSettings();
        (void)CloseTable(SettingsTable);  // read only
    }
    ApplyLabelFontPreference();
    DataStatus stocks;
    if (!loadStock(stockGiven ? stockName : QString(), &stocks)) {
        if (!stocks) return session.fail(stocks);
        return (say(1, stockGiven ? QStringLiteral("no label stock named ") + stockName
                                      : QString::fromLatin1(kNoStockMessage)));
    }
    if (startColumn > LabelRec.nAcross && LabelRec.nAcross >= 1)
        return (usageError(QStringLiteral("the stock has %1 labels across; --start column %2 "
                                              "is beyond it")
                                   .arg(LabelRec.nAcross)
                                   .arg(startColumn)));

    std::unique_ptr<QtPrinter> printer = QtPrinter::toPdf(QFileInfo(pdf).absoluteFilePath());
    LabelRun run(*printer, LabelRec, LabelFont, startColumn, startRow);
    if (!run.refusal().isEmpty()) return (say(1, run.refusal()));
    const bool ok = run.printOccasion(occasion, SpanStart, SpanEnd);
    if (!run.opened()) return session.fail(run.opened());
    if (!ok) return (say(1, run.error() + QStringLiteral(" (") + pdf + QLatin1Char(')')));
    if (run.labelsPlaced() == 0)
        std::printf("no labels for occasion %d; no file written\n", occasion);
    else
        std::printf("%lld labels written to %s\n", run.labelsPlaced(), pdf.toLocal8Bit().constData());
    std::fflush(stdout);
    return (0);
}
