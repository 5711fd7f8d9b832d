#pragma once
// The contact import run, without windows: a comma-separated text file is read line by line,
// each line split into fields, the fields the layout names put into a fresh Address record, and
// one AddrBook row appended for every line whose last name has at least two characters.
//
// Pieces, from the bottom up:
//   ImportFieldSplitter  splits one line, fed in pieces, into fields (the double-quote rule);
//                        memory stays bounded however long the line is
//   ImportLineReader     cuts a byte stream into lines (CR, LF, CR LF; character 26 ends it)
//   DetectImportEncoding decides UTF-8 or Windows-1252 for a whole file, and whether it is text
//                        (ImportText.h: a byte-order mark, UTF-16 read as UTF-8, NUL bytes)
//   RunImport            the run itself over AddrBook (through the data routines)
//
// The import dialog (gui/import/Import.h) and `merrowby-admin import` both call RunImport.

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/data/DataStatus.h"
#include "core/data/Globals.h"
#include "core/data/RunStatus.h"
#include "core/import/ImportText.h"

// One field of an import line. Only its first kHeadBytes bytes are kept; what the blanks around
// the whole field are is tracked all the same, so the last-name rule holds for any length.
struct ImportField {
    static constexpr size_t kHeadBytes = 1024;
    std::string head;        // the first kHeadBytes bytes
    uint64_t length = 0;     // bytes in all
    int64_t firstSolid = -1; // offset of the first byte above blank, -1 when none
    int64_t lastSolid = -1;  // offset of the last byte above blank
    char solid[8] = {};      // up to 8 bytes from firstSolid on
    int solidLen = 0;

    void add(char c);
    void clear();
    bool cut() const { return length > head.size(); }
};

// Splits one line into fields. Rules, character by character:
//   comma          ends the current field (the comma belongs to no field);
//   double quote   if another one follows later in the line, everything between the two is
//                  taken literally (commas included) and the walk goes on after the closing
//                  one; if none follows, the quote is dropped;
//   anything else  joins the current field.
// A line has one field more than it has commas outside quoted stretches. No blanks are removed.
//
// Only the first `keepFields` fields are kept (the highest layout position); the others are
// counted. Feed the bytes of a line in any number of pieces, then call finish().
class ImportFieldSplitter {
public:
    explicit ImportFieldSplitter(int keepFields = 99);
    void reset();
    void feed(const char* data, size_t n);
    void finish();

    // Number of fields of the line (after finish()).
    uint64_t fieldCount() const { return count_; }
    // Field number `pos` (from 1), or nullptr when the line has fewer fields or it is not kept.
    const ImportField* field(int pos) const;

private:
    void add(char c);
    void newField();
    void newAltField();

    int keep_;
    std::vector<ImportField> fields_;
    uint64_t count_ = 1;
    bool inQuote_ = false;
    // While inside a quote that may have no partner, the split that applies if none comes:
    // the current field as it stood at the first comma, and the fields after it.
    bool altCommaSeen_ = false;
    ImportField altCurrent_;  // metadata of the current field at the first comma (head unused)
    size_t altHeadSize_ = 0;
    std::vector<ImportField> altFields_;
    uint64_t altCount_ = 0;   // fields added by commas inside the quote
};

// Cuts a byte stream into lines. A line ends at CR (13) or LF (10), which is consumed; so a
// CR LF pair yields the line and then an empty one. The stream ends at its physical end or at
// the first character 26.
class ImportLineReader {
public:
    using Source = ByteSource;
    explicit ImportLineReader(Source source, size_t bufferSize = 1 << 16);

    // Reads the next line into `splitter` (reset first, finished after). Returns false when
    // the stream had already ended, and when a read error cut the line short (failed() then
    // tells). *lineBytes gets the length of the line.
    bool next(ImportFieldSplitter& splitter, uint64_t* lineBytes);
    bool failed() const { return failed_; }

private:
    bool fill();
    Source source_;
    std::vector<char> buf_;
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false;
    bool failed_ = false;
};

enum class ImportEncoding { Utf8, Windows1252 };

// Scans `raw` from its start up to its end or the first character 26 (ScanText). *encoding is
// Utf8 for UTF-16 (which TextAfterMark hands on as UTF-8) and for text that is valid UTF-8 with
// or without a byte-order mark, Windows1252 otherwise; *scan tells the mark and whether the file
// holds NUL bytes. Returns false when the source fails. Read the lines from
// TextAfterMark(raw) afterwards, `raw` started again.
bool DetectImportEncoding(const ByteSource& raw, ImportEncoding* encoding, TextScan* scan);

// The text of a field in the file's encoding. NUL bytes become blanks (the table columns
// cannot hold them). A field longer than its kept head yields the head.
QString DecodeImportField(const ImportField& field, ImportEncoding encoding);
// True when the field, with surrounding blanks removed, has at least two characters.
bool HasTwoCharacters(const ImportField& field, ImportEncoding encoding);

// The Address record of one split line under `layout`: texts from the named fields, the rest
// empty, dates ZeroDate, flags clear.
TAddressRecord ImportedAddress(const ImportFieldSplitter& line, const TImportRecord& layout,
                               ImportEncoding encoding);
// "Importing: " + First + " " + Last, each trimmed.
QString ImportingText(const TAddressRecord& rec);
// The highest position the layout names (0 when none).
int HighestPosition(const TImportRecord& layout);

struct ImportOutcome {
    bool fileFound = false;   // false: no file under that name; nothing was done
    bool notText = false;     // the file holds NUL bytes: refused, AddrBook not opened
    bool bookOpened = false;  // AddrBook was opened (false when the file could not be read)
    DataStatus opened;        // why AddrBook could not be opened (status says so too)
    int namesAdded = 0;
    RunStatus status;         // ok on success; else what stopped the run (rows added stay)
};

struct ImportOptions {
    // Told "Importing: ..." for the first line and then at most every intervalMs.
    std::function<void(const QString&)> status;
    int intervalMs = 250;
    // The names are stored in batches of this many milliseconds' work (ImportStore).
    int batchMs = 1000;
};

// Imports `path` (relative to the working directory or absolute) into AddrBook under `layout`:
// refuses a file holding NUL bytes (notText, error) before anything is opened; reads a file with a
// UTF-16 byte-order mark as UTF-16;
// opens AddrBook through OpenAddrBook (a failure is reported in `opened` and `error`), appends one row
// per line with a last name of two characters or more, and closes AddrBook. Never changes an
// existing row. A read error or a failed write stops the run with `error` set; the rows stored
// before stay, and `namesAdded` counts exactly the rows the book holds from this run (a full
// disk takes back the batch being written). Requires LibHandle; AddrBook must not be open.
ImportOutcome RunImport(const QString& path, const TImportRecord& layout,
                        const ImportOptions& options = {});

// The closing message: count + " Names Added  ".
QString NamesAddedText(int count);
