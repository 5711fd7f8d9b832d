#include "AdminArgs.h"

#include <QFileInfo>
#include <cstdio>

#include "core/data/Globals.h"
#include "core/occasions/Occasions.h"

AdminArgs::AdminArgs(const char* command, const char* usage) : command_(command), usage_(usage) {
    // "-x" is an option named x, not the letters x; nothing here has a one-letter option.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
}

void AdminArgs::values(std::initializer_list<Valued> options) {
    for (const Valued& o : options) {
        const QString name = QLatin1String(o.name);
        parser_.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
        missing_.insert(name, o.missing);
    }
}

void AdminArgs::numbers(std::initializer_list<Numbered> options) {
    for (const Numbered& o : options) {
        values({{o.name, QStringLiteral("--%1 needs a number from %2 to %3")
                             .arg(QLatin1String(o.name)).arg(o.lowest).arg(o.highest)}});
        ranges_.insert(QLatin1String(o.name), {o.lowest, o.highest});
    }
}

void AdminArgs::flags(std::initializer_list<const char*> names) {
    for (const char* name : names) parser_.addOption(QCommandLineOption(QLatin1String(name)));
}

void AdminArgs::occasionOptions(int highest) {
    highestOccasion_ = highest;
    values({{"occasion", QStringLiteral("--occasion needs a number from 1 to %1").arg(highest)},
            {"from", "--from needs a date"},
            {"to", "--to needs a date"}});
}

bool AdminArgs::parse(const QStringList& args, int least, int most) {
    // The parser skips the program's name: the command's stands in for it.
    if (!parser_.parse(QStringList{QString::fromLatin1(command_)} + args)) {
        const QStringList unknown = parser_.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString& name = unknown.first();
            return failWithUsage(QStringLiteral("unknown option ") + (name.size() > 1 ? "--" : "-") + name), false;
        }
        // The parser takes whatever follows an option as its value: only the last argument can
        // lack one.
        const QString last = args.isEmpty() ? QString() : args.last();
        const QString name = last.mid(last.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
        if (missing_.contains(name) && !last.contains(QLatin1Char('='))) return fail(missing_.value(name)), false;
        return failWithUsage(parser_.errorText()), false;
    }
    const QStringList plain = parser_.positionalArguments();
    if (plain.size() > most) return failWithUsage(QStringLiteral("unexpected argument ") + plain.at(most)), false;
    if (plain.size() < least) return usage(), false;
    return true;
}

int AdminArgs::occasionGiven() const {
    if (!has(QStringLiteral("occasion"))) return 0;
    bool ok = false;
    const int n = get(QStringLiteral("occasion")).toInt(&ok);
    return ok ? n : -1;
}

bool AdminArgs::occasion(bool required, int* out) const {
    const int n = occasionGiven();
    if ((!has(QStringLiteral("occasion")) && !required) || (n >= 1 && n <= highestOccasion_)) {
        *out = n;
        return true;
    }
    fail(missing_.value(QStringLiteral("occasion")));
    return false;
}

bool AdminArgs::span(int occasion, QDate* from, QDate* to) const {
    const QString fromText = get(QStringLiteral("from")), toText = get(QStringLiteral("to"));
    if (fromText.isEmpty() != toText.isEmpty()) return fail(QStringLiteral("--from and --to go together")), false;
    SetDefaultSpan();
    *from = SpanStart;
    *to = SpanEnd;
    if (fromText.isEmpty()) return true;
    if (occasion != OccasionDated) return fail(QStringLiteral("--from and --to apply to occasion 8 only")), false;
    *from = QDate::fromString(fromText, Qt::ISODate);
    *to = QDate::fromString(toText, Qt::ISODate);
    if (!from->isValid()) return fail(QStringLiteral("bad date ") + fromText), false;
    if (!to->isValid()) return fail(QStringLiteral("bad date ") + toText), false;
    if (*to < *from) return fail(QString::fromLatin1(kSpanOrderMessage)), false;
    return true;
}

bool AdminArgs::number(const char* name, int* out) const {
    const QString option = QLatin1String(name);
    if (!has(option)) return true;
    bool ok = false;
    const int n = get(option).toInt(&ok);
    const auto [lowest, highest] = ranges_.value(option);
    if (ok && n >= lowest && n <= highest) {
        *out = n;
        return true;
    }
    fail(missing_.value(option));
    return false;
}

bool AdminArgs::isDirectory(const QString& path) const {
    if (QFileInfo(path).isDir()) return true;
    fail(QStringLiteral("no such directory: ") + path);
    return false;
}

int AdminArgs::fail(const QString& text, int code) const {
    std::fprintf(stderr, "merrowby-admin: %s: %s\n", command_, text.toLocal8Bit().constData());
    std::fflush(stderr);
    return code;
}

int AdminArgs::usage() const { return fail(QStringLiteral("usage: ") + QLatin1String(usage_)); }

int AdminArgs::failWithUsage(const QString& text) const {
    return fail(text + QStringLiteral("\nusage: ") + QLatin1String(usage_));
}
