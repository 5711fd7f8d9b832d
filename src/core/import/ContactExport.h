#pragma once
// The address book out again: the whole book, or the recipients of one occasion, as a vCard 4.0
// file or a comma-separated file with a header row, both UTF-8, in name order (the Address tag).
// Every address field is written, and the four dates when set; the flags travel in a property
// and a column of their own, so that reading the file back into an empty book (ContactFormats.h)
// gives the same rows.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <functional>

#include "core/data/Globals.h"
#include "core/data/RunStatus.h"

enum class ExportFormat { VCard, Csv };

struct ExportOptions {
    ExportFormat format = ExportFormat::VCard;
    int occasion = 0;          // 0 the whole book; 1 to 8 that occasion's recipients
    QDate spanStart, spanEnd;  // occasion 8: the date span (month and day) the dates must fall in
    // CSV only: one row per household (core/households/Households.h) instead of one per person:
    // its greeting or name line, then the address of its first member and how many it has.
    bool households = false;
    // Called every few hundred rows with the rows read so far; false stops (nothing is written).
    std::function<bool(int done)> progress;
};

struct ExportOutcome {
    bool bookOpened = false;
    int written = 0;    // contacts (or households) in the file
    bool cancelled = false;
    RunStatus status;   // ok on success; the file is then complete, else it is not there
};

// The card or line of one row.
QByteArray VCardOf(const TAddressRecord& rec);
QByteArray CsvHeaderLine();
QByteArray CsvLineOf(const TAddressRecord& rec);
QByteArray CsvHouseholdHeaderLine();

// Writes the file through a temporary one renamed into place: it is whole or it is not written.
// Requires LibHandle; AddrBook must not be open.
ExportOutcome ExportContacts(const QString& path, const ExportOptions& options);
