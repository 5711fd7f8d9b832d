#pragma once
// Content lines, the text form vCard (RFC 6350) and iCalendar (RFC 5545) files share: a value's
// text escaped, and a line folded so that no line is longer than 75 octets. Built as UTF-8 bytes,
// with no copy made character by character.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Appends `text` (UTF-8) as a TEXT value: backslash, comma and semicolon escaped with a
// backslash, a line break written as "\n".
void AppendEscaped(QByteArray& out, QByteArrayView text);
// Appends `line` (UTF-8) to `out`, folded (CRLF and one blank) before the 76th octet and never
// inside a UTF-8 sequence, and ends it with CRLF.
void AppendContentLine(QByteArray& out, QByteArrayView line);
// Appends the line `head` followed by `value` escaped; `line` is the caller's buffer for it.
void AppendValueLine(QByteArray& out, QByteArray& line, const char* head, const QString& value);
