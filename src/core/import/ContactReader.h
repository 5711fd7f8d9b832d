#pragma once
// Reading contacts as other programs write them: vCard files (2.1, 3.0, 4.0) and comma-separated
// files with a header row (Google Contacts, Outlook, Thunderbird, LibreOffice, or names typed by
// hand). A file is read as a stream (ImportText.h finds its encoding), its format recognised and
// every contact turned into an Address record, one at a time, so that memory stays the same
// whatever the size of the file. ContactFormats.h fits them to the book and appends them.
//
// This sits beside the positional import of ImportRun.h, which keeps its own rules: a header line
// there is a contact like any other, and its quote rule is not the one used here.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <climits>
#include <functional>
#include <vector>

#include "core/data/Globals.h"
#include "core/data/RunStatus.h"

enum class ContactEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Windows1252 };
enum class ContactFormat { Unknown, VCard, HeaderCsv };

QString ContactEncodingName(ContactEncoding e);  // "UTF-8", "UTF-8 with BOM", ...
QString ContactFormatName(ContactFormat f);      // "vCard", "CSV with a header row"

struct ContactParse {
    ContactFormat format = ContactFormat::Unknown;
    ContactEncoding encoding = ContactEncoding::Windows1252;
    // The first contacts (as many as ContactReadOptions::keep), trimmed texts as found, not yet
    // cut to the columns.
    std::vector<TAddressRecord> contacts;
    int count = 0;        // contacts in the whole file (up to where the reading stopped)
    // For a header file: one "Column name -> field" line per column used, in column order.
    QStringList mapping;
    int headerLine = 0;   // header files: the header's record number (from 1)
    bool stopped = false; // a callback of ContactReadOptions asked to stop
    RunStatus status;     // why the file cannot be imported; ok when it was understood
};

struct ContactReadOptions {
    int keep = INT_MAX;  // how many contacts to keep in ContactParse::contacts
    // Only count the contacts and check the file's structure (cards that close, a header row):
    // `contacts` and `each` get empty records.
    bool countOnly = false;
    // Every contact in file order; returning false stops the reading (`stopped`).
    std::function<bool(const TAddressRecord&)> each;
    // How many bytes of the file were read, of how many; returning false stops the reading.
    std::function<bool(qint64 done, qint64 total)> reading;
};

// Recognises and reads the bytes of a whole file held in memory.
ContactParse ParseContacts(const QByteArray& bytes, const ContactReadOptions& options = {});
// The same for a file on disk, read as a stream. A missing or unreadable file is reported in
// `error`; so is a vCard file whose cards do not close, found at its end after `each` was
// given the cards before.
ContactParse ReadContactsFile(const QString& path, const ContactReadOptions& options = {});
