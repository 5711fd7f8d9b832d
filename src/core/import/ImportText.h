#pragma once
// How the bytes of a contact file become text, for both imports (the stored-layout import of
// ImportRun.h and the detected import of ContactFormats.h):
//   - a byte-order mark names UTF-8 or UTF-16; UTF-16 is turned into UTF-8 as it is read, so
//     everything after the mark reaches the readers as bytes they split at ASCII characters;
//   - without a mark, the text is UTF-8 when all of it is valid UTF-8, Windows-1252 otherwise;
//   - a file holding a NUL byte (or, in UTF-16, the character 0) is no text file.
// Files are read as streams: nothing here holds more than one buffer of a file.

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

// Reads up to n bytes into buf; returns the count, 0 at the end, or -1 on a read error.
using ByteSource = std::function<long long(char* buf, size_t n)>;

enum class TextMark { None, Utf8, Utf16Le, Utf16Be };

struct TextScan {
    TextMark mark = TextMark::None;
    bool validUtf8 = true;  // every byte after the mark forms valid UTF-8 (always, for UTF-16)
    bool nul = false;       // a NUL among them: not a text file
    bool solid = false;     // a byte above blank among them: not an empty file
};

// `raw` from its start with the byte-order mark read off: the bytes after the mark, UTF-16 as
// UTF-8 (a character UTF-16 cannot hold, such as a lone surrogate, becomes U+FFFD). *mark tells
// which mark there was. A read error of `raw` is handed on as -1.
ByteSource TextAfterMark(ByteSource raw, TextMark* mark);

// `head` (bytes already read off a source), then what `rest` gives.
ByteSource PrependBytes(std::string head, ByteSource rest);

// Reads `raw` from its start and tells what it holds: whether its text is valid UTF-8 up to its
// end, or up to the first character 26 when `endMark`, and whether a NUL lies anywhere in the
// file (a binary file may hold a character 26 before its first NUL). False when `raw` fails.
bool ScanText(const ByteSource& raw, bool endMark, TextScan* scan);

// The message for a file that holds NUL bytes.
QString NotTextMessage(const QString& path);
