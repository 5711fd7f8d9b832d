#pragma once
// The admin tool's "flags" command: an occasion's list changed in one go.
//
//   merrowby-admin flags DIR --occasion N --set|--clear
//                        (--all | --names FILE | --received-last-year | --sent-last-year)
//
// N is a holiday, 1 to 7. --set puts the people chosen on the occasion's list, --clear takes them
// off; the others keep their flag. --names FILE names them one a line ("First Last" or "Last,
// First", letter case and blanks ignored; empty lines and lines starting with # skipped): a name
// the book does not hold stops the command before anything is written. --received-last-year and
// --sent-last-year choose whom the card log has a card of this occasion from or to in the year
// before the one a run printed today counts for. Writes take the data folder's lock.

#include <QString>
#include <QStringList>

enum class FlagsWho { All, Names, ReceivedLastYear, SentLastYear };

// The command with its arguments parsed: returns 0 (the count changed on standard output), 1
// when it failed, 2 for a names file that cannot be read.
int RunFlags(const QString& dir, int occasion, bool set, FlagsWho who, const QString& namesFile);

int AdminFlags(const QStringList& args);

inline constexpr const char* kAdminFlagsUsage =
    "merrowby-admin flags DIR --occasion N --set|--clear (--all | --names FILE | --received-last-year | "
    "--sent-last-year)";
