#pragma once
// Paper sizes by name, and the system's default paper.
//
// The default follows the system the way libpaper does: the PAPERSIZE variable, else the file
// PAPERCONF names, else /etc/papersize; after those, the paper of the LC_PAPER locale when one is
// set (not C or POSIX); else US Letter.

#include <QPageSize>
#include <QString>
#include <optional>

// The paper called `name` ("A4", "letter", "Legal", "a5", "executive", ...; letter case and
// blanks at the ends ignored), or nothing for a name not known.
std::optional<QPageSize> PaperSizeNamed(const QString& name);

// The system's default paper (see above).
QPageSize DefaultPaperSize();

// "A4, Letter, Legal, ..." for usage texts.
QString PaperSizeNames();
