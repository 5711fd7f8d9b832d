#pragma once
// Contacts as other programs write them: vCard files (2.1, 3.0, 4.0) and comma-separated files
// with a header row (Google Contacts, Outlook, Thunderbird, LibreOffice, or names typed by
// hand). A file is read whole, its encoding found, its format recognised and every contact turned
// into an Address record as AddrBook would hold it. RunDetectedImport then appends them.
//
// This sits beside the positional import of ImportRun.h, which keeps its own rules: a header line
// there is a contact like any other, and its quote rule is not the one used here.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "core/data/Globals.h"

enum class ContactEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Windows1252 };
enum class ContactFormat { Unknown, VCard, HeaderCsv };

QString ContactEncodingName(ContactEncoding e);  // "UTF-8", "UTF-8 with BOM", ...
QString ContactFormatName(ContactFormat f);      // "vCard", "CSV with a header row"

// UTF-16 when the bytes start with its byte-order mark, UTF-8 when they start with its mark or
// are valid UTF-8 throughout, else Windows-1252.
ContactEncoding DetectContactEncoding(const QByteArray& bytes);

// The file's text as a string (byte-order mark dropped).
QString DecodeContactBytes(const QByteArray& bytes, ContactEncoding e);

// The records of a comma-separated text under RFC 4180: a field in double quotes may hold the
// separator, line breaks and "" for one quote. `sep` is the separator (',', ';' or tab).
// Empty lines give no record.
std::vector<QStringList> SplitCsv(const QString& text, QChar sep = QLatin1Char(','));

struct ContactParse {
    ContactFormat format = ContactFormat::Unknown;
    ContactEncoding encoding = ContactEncoding::Windows1252;
    std::vector<TAddressRecord> contacts;  // trimmed texts, as found (not yet cut to the columns)
    // For a header file: one "Column name -> field" line per column used, in column order.
    QStringList mapping;
    int headerLine = 0;   // header files: the header's record number (from 1)
    QString error;        // why nothing can be imported; empty when the file was understood
};

// Recognises and reads the bytes of a whole file.
ContactParse ParseContacts(const QByteArray& bytes);
// The same for a file on disk. A missing or unreadable file, or one that changes size while it is
// read, is reported in `error`.
ContactParse ParseContactsFile(const QString& path);

// The vCard reading of one or many cards. `bytes` are UTF-8 (`defaultUtf8`) or Windows-1252 (a
// UTF-16 file is turned into UTF-8 first); a CHARSET parameter overrides that for its value.
ContactParse ParseVCards(const QByteArray& bytes, bool defaultUtf8);
// The header-row reading of decoded text.
ContactParse ParseHeaderCsv(const QString& text);

// `rec` cut to the AddrBook columns and with every character Windows-1252 cannot hold made '?';
// returns how many characters were replaced.
int FitToAddrBook(TAddressRecord& rec);
// True when the trimmed last name has at least two characters.
bool HasUsableLastName(const TAddressRecord& rec);
// The key two rows are duplicates by: upper-cased trimmed Last, First and Street.
QString DuplicateKey(const TAddressRecord& rec);

enum class DuplicatePolicy { Skip, Add };

// How many usable contacts of `parsed` repeat a row already in AddrBook, or a contact earlier in
// the file: the ones the run would skip by default. -1 when the book cannot be read. Requires
// LibHandle; AddrBook must not be open.
int CountDuplicates(const ContactParse& parsed);

struct DetectedImportOptions {
    DuplicatePolicy duplicates = DuplicatePolicy::Skip;
    // Called before each contact is stored (done so far, total to go through) and once at the end;
    // returning false stops the run, the rows added so far stay.
    std::function<bool(int done, int total)> progress;
};

struct DetectedImportOutcome {
    bool fileFound = false;
    bool bookOpened = false;
    ContactFormat format = ContactFormat::Unknown;
    ContactEncoding encoding = ContactEncoding::Windows1252;
    int added = 0;
    int duplicatesSkipped = 0;
    int duplicatesAdded = 0;
    int withoutLastName = 0;
    int replacedCharacters = 0;
    bool cancelled = false;
    QStringList duplicateNames;  // "First Last" of the first duplicates met (at most 20)
    QString error;               // what stopped the run (rows added before stay)
};

// Reads `path` with ParseContactsFile and appends its contacts to AddrBook through the data
// routines: contacts without a usable last name are skipped, duplicates of a row already there
// (or added earlier in the run) skipped or added as told. Nothing is opened when the file cannot
// be understood. Requires LibHandle; AddrBook must not be open.
DetectedImportOutcome RunDetectedImport(const QString& path, const DetectedImportOptions& options = {});

// "12 Names Added, 3 duplicates skipped, 1 without a last name" and the rest that applies.
QString DetectedImportSummary(const DetectedImportOutcome& out);
