#pragma once
// merrowby-admin cards: the card log as CSV, marking a run's recipients as sent, and taking such
// a run out of the log again.

#include <QStringList>

inline constexpr const char* kAdminCardsUsage =
    "merrowby-admin cards DIR --year Y [--occasion N] [--kind sent|received|returned]\n"
    "  merrowby-admin cards DIR --mark-sent --occasion N --year Y [--from YYYY-MM-DD --to YYYY-MM-DD]\n"
    "  merrowby-admin cards DIR --unmark --occasion N --year Y [--from YYYY-MM-DD --to YYYY-MM-DD]";

int AdminCards(const QStringList& args);
