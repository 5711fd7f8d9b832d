#pragma once
// The list of one holiday (occasions 1 to 7) as a whole: everyone in the book with that
// occasion's flag, where they live and what the card log says of last year, and the flags
// written back in one pass. The Edit List window and `merrowby-admin flags` work through these.

#include <QDate>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/data/DataStatus.h"

struct TAddressRecord;

struct ListPerson {
    uint32_t recNo = 0;
    QString first, last, city, zip;  // trimmed
    QString householdKey;            // "" without a street
    bool flag = false;               // the occasion's flag as stored
    bool sentLastYear = false;       // the card log: a card of this occasion sent last year
    bool receivedLastYear = false;   // ... and one received
};

// "Last year" for a list: the year before the one a run of `occasion` printed `today` counts for.
int ListLastYear(int occasion, const QDate& today);

// Everyone in the book in name order (rows marked deleted left out), with `occasion`'s flag and,
// from the card log of `lastYear` (when there is a log), what was sent and received. Opens and
// closes AddrBook (it must not be open); needs LibHandle.
DataStatus ReadOccasionList(int occasion, int lastYear, std::vector<ListPerson>* out);

// Sets `occasion`'s flag to want(recNo, current flag) for every row of the book, in one pass
// through the record load and store routines, and flushes once. Only rows whose flag changes are
// written; *changed counts them. Opens and closes AddrBook (it must not be open).
DataStatus WriteOccasionFlags(int occasion, const std::function<bool(uint32_t recNo, bool flag)>& want,
                              int* changed = nullptr);

// Sets the holiday flag of `rec` for occasions 1 to 7 (nothing for another number).
void SetHolidayFlag(TAddressRecord& rec, int occasion, bool on);
