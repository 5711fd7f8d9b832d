#pragma once
// One admin command's command line, read with QCommandLineParser.
//
// A command names its options, a value option ("--stock NAME") with what to say when the value
// is missing, or a flag ("--outlines"); the options several commands share are defined here
// once: --occasion N and the date span --from YYYY-MM-DD --to YYYY-MM-DD, with their checks.
// Options and plain arguments may come in any order; "--name=value" works as well.
//
// Every complaint is printed on standard error as "merrowby-admin: <command>: <text>"; the
// functions that complain return false (or 2, the exit status for bad arguments).
//
//   AdminArgs a("reminders", usage);
//   a.occasionOptions(8);
//   if (!a.parse(args, 1, 1)) return 2;
//   int occasion = 0;
//   if (!a.occasion(true, &occasion)) return 2;

#include <QCommandLineParser>
#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <utility>

class AdminArgs {
public:
    AdminArgs(const char* command, const char* usage);

    // Options taking a value: each name with what is said when its value is not there.
    struct Valued {
        const char* name;
        QString missing;
    };
    void values(std::initializer_list<Valued> options);
    // Options taking a whole number from `lowest` to `highest` (read with number()).
    struct Numbered {
        const char* name;
        int lowest, highest;
    };
    void numbers(std::initializer_list<Numbered> options);
    // Options without a value.
    void flags(std::initializer_list<const char*> names);
    // --occasion (a number from 1 to `highest`), --from and --to.
    void occasionOptions(int highest);

    // Reads `args` (those after the command's name) and checks that `least` to `most` plain
    // arguments came. False, with the complaint printed, on an unknown option, an option without
    // its value, or the wrong number of plain arguments (the usage follows the complaint).
    bool parse(const QStringList& args, int least, int most);

    bool has(const QString& name) const { return parser_.isSet(name); }
    // An option's value, the last one when it was given more than once; empty when not given.
    QString get(const QString& name) const { return parser_.value(name); }
    // The plain argument at `i`, empty when there are fewer.
    QString plain(int i) const { return parser_.positionalArguments().value(i); }

    // The number given with --occasion: 0 when none was given, -1 when it is not a number.
    int occasionGiven() const;
    // The occasion given, checked to be 1 to the highest; with `required` false, 0 when none was
    // given. False, with "--occasion needs a number from 1 to <highest>" printed, otherwise.
    bool occasion(bool required, int* out) const;
    // The span of --from and --to for `occasion`: both or neither, occasion 8 only, real dates
    // in order. Without them, the current month (SetDefaultSpan). False, complaint printed, when
    // they are not right.
    bool span(int occasion, QDate* from, QDate* to) const;

    // The whole number given with a number option into *out, left as it is when the option was
    // not given. False, with "--<name> needs a number from <lowest> to <highest>" printed, for
    // anything else.
    bool number(const char* name, int* out) const;

    // False, with "no such directory: <path>" printed, when `path` is not a directory.
    bool isDirectory(const QString& path) const;

    // Prints "<text>" and returns `code`.
    int fail(const QString& text, int code = 2) const;
    // Prints "usage: <the command's usage>" and returns 2.
    int usage() const;
    // Prints "<text>", then the usage on a line of its own, and returns 2.
    int failWithUsage(const QString& text) const;

private:
    const char* command_;
    const char* usage_;
    QCommandLineParser parser_;
    QHash<QString, QString> missing_;
    QHash<QString, std::pair<int, int>> ranges_;
    int highestOccasion_ = 0;
};
