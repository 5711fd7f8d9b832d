#pragma once
// Content lines, the text form vCard (RFC 6350) and iCalendar (RFC 5545) files share: a value's
// text escaped, and a line folded so that no line is longer than 75 octets.

#include <QByteArray>
#include <QString>

// `text` as a TEXT value: backslash, comma and semicolon escaped with a backslash, a line break
// written as "\n".
QString EscapeText(const QString& text);
// Appends `line` in UTF-8 to `out`, folded (CRLF and one blank) before the 76th octet and never
// inside a UTF-8 sequence, and ends it with CRLF.
void AppendContentLine(QByteArray& out, const QString& line);
