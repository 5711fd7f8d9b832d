#pragma once
// Values as contact programs write them, for the vCard and the header-row readers of
// ContactReader.h: how much of a line, a field and a value is kept, the text of a value, and
// the dates, flags, streets and names made of it.

#include <QByteArray>
#include <QDate>
#include <QString>

#include "core/data/Globals.h"

namespace contactread {

// Of a line or field longer than this only its start is kept (no column is wider than 60
// characters; a photo folded into a card or a runaway quote must not fill the memory).
constexpr qsizetype kMostLineBytes = qsizetype(1) << 20;
constexpr qsizetype kMostFieldBytes = 4096;
constexpr qsizetype kMostFields = 4096;

// No column is wider than this; longer values are cut before they are kept.
constexpr qsizetype kMostValueChars = 1024;

QString decodeValue(const QByteArray& b, bool utf8);

// Control characters inside a value (line breaks of a street, a stray tab) become blanks.
QString clean(QString s);

// Dates as contact programs write them: 1965-04-12, 19650412, 1965-04-12T00:00:00Z, 4/12/1965
// (month first, as Outlook writes them in the US), 12.4.1965, and --04-12 / --0412 without a
// year, which is stored in the year that stands for "not known" (kYearUnknown, dbFiles.h).
QDate parseDate(QString s);

// The flags named in `words` (as the export writes them, kFlags) set on `rec`, the others cleared.
void setFlagsFrom(TAddressRecord& rec, const QString& words);

// A street of several lines: the first line stays the street, the others go to the second
// street line, before what it held.
void splitStreet(QString& street, QString& street2);

// A contact without a family name takes it from the full name. A full name that is the given
// name alone ("Cher") is one name: it is filed as the last name, as the address index sorts and
// the label prints it, and the first name stays empty.
void lastFromFullName(TAddressRecord& r, const QString& fullName);

}  // namespace contactread
