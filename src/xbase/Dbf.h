#pragma once
// A dBASE III+/IV (and FoxPro 2.x, no memo) table file: header, field descriptors and
// fixed-length records. Byte layout in docs/formats.md; the constants are in DbfFormat.h.
//
// DbfFile knows nothing of indexes or of a "current row": it reads and writes whole records by
// number. Table (Table.h) builds the cursor, fields and index upkeep on top of it.
//
// Writes are buffered: appended records collect in memory and reach the file on flush(), when
// the buffer grows large, or on close(). The header (record count, last-update date) and the
// 0x1A end marker are written by flush(). Record data always reaches the file before the header
// that counts it, so a crash leaves at worst rows the header does not yet count; the header's
// incomplete-transaction byte says so meanwhile, and such rows are dropped by the next write.
// Rows past the count without it are rows the count lost: the table is then refused for writing
// (rowsPastCount()), since a write would cut them off.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/FileSystem.h"
#include "xbase/Status.h"

namespace xbase {

struct FieldSpec {
    std::string name;   // at most 10 ASCII characters
    char type = 'C';    // C, N, F, L or D
    int length = 1;     // C: 1-254, N/F: 1-20, L: 1, D: 8
    int decimals = 0;   // N/F only
};

struct FieldInfo {
    std::string name;   // as stored in the file (case kept)
    char type = 'C';
    uint16_t length = 0;
    uint8_t decimals = 0;
    uint16_t offset = 0;  // byte offset within the record; the deletion flag is byte 0
};

class DbfFile {
public:
    ~DbfFile();

    // Opens an existing table. Corrupt when the header does not parse (see check()); Unsupported
    // for memo tables. With readOnly the file is opened for reading only.
    static Status open(FileSystem& fs, const std::string& path, bool readOnly,
                       std::unique_ptr<DbfFile>* out);
    // Creates a new empty table (version 0x03, language driver 0x03 = code page 1252).
    // Exists when the file is already there and !overwrite. BadArgument for an invalid schema:
    // a name that is empty, longer than 10 characters, not a letter followed by letters, digits
    // or '_', or used twice (case ignored); a bad type or length; decimals on a non-numeric
    // field. L fields always get length 1 and D fields length 8, whatever `length` says.
    static Status create(FileSystem& fs, const std::string& path,
                         const std::vector<FieldSpec>& fields, bool overwrite,
                         std::unique_ptr<DbfFile>* out);

    const std::string& path() const { return path_; }
    uint32_t recordCount() const { return recordCount_; }
    uint16_t recordLength() const { return recordLength_; }
    uint16_t headerLength() const { return headerLength_; }
    uint8_t versionByte() const { return version_; }
    uint8_t languageDriver() const { return langDriver_; }
    // Last-update date from the header (a year byte below 100 is read with a 1980-2079 window).
    struct Date {
        int year = 0, month = 0, day = 0;
    };
    Date lastUpdate() const { return lastUpdate_; }
    bool readOnly() const { return readOnly_; }
    const std::vector<FieldInfo>& fields() const { return fields_; }
    // Index of the field named `name`, letter case ignored; -1 when there is none.
    int fieldIndex(std::string_view name) const;

    // A record filled with blanks (flag byte 0x20).
    std::vector<uint8_t> blankRecord() const;

    // Copies record recNo (1-based) into buf (recordLength() bytes). BadArgument when out of range.
    Status readRecord(uint32_t recNo, uint8_t* buf);
    // Copies `count` rows from row index `first` (0-based) into buf, straight from the file (or
    // the rows not yet written), leaving the read cache alone: safe to call from several threads
    // at once while nothing changes the table.
    Status readRows(uint64_t first, size_t count, uint8_t* buf) const;
    // The same rows for a pass over many of them, without the copy where it can: mapped in
    // place from the file into *view when all are in it, else read into *buf. *rows points at
    // the first; valid while view and buf are unchanged. Thread-safe as readRows is.
    Status viewRows(uint64_t first, size_t count, MappedView* view, std::vector<uint8_t>* buf,
                    const uint8_t** rows) const;
    // Reads the rows numbered in `recs` (1-based, in any order, repeats allowed) in file order,
    // rows lying close together in one call, and hands each to visit(i, row), i being its place
    // in recs: a pass over rows met in another order (an index's) reads the file once, front to
    // back, however large it is. BadArgument when a number is out of range; nothing more is
    // visited after a read that fails. Thread-safe as readRows is.
    Status visitRows(const std::vector<uint32_t>& recs,
                     const std::function<void(size_t i, const uint8_t* row)>& visit) const;
    // Returns a pointer to the record's bytes, valid until the next call on this object.
    Status recordPtr(uint32_t recNo, const uint8_t** out);
    Status writeRecord(uint32_t recNo, const uint8_t* buf);
    // Writes `count` whole rows from row index `first` (0-based) in one call: the bulk partner
    // of readRows, for passes that change many rows in place. BadArgument when out of range.
    Status writeRows(uint64_t first, size_t count, const uint8_t* buf);
    // Appends a record; *recNo receives its number.
    Status appendRecord(const uint8_t* buf, uint32_t* recNo);

    // Writes buffered records, then the header and the end marker; with sync, fsyncs the file.
    Status flush(bool sync);
    // Writes a new file holding the rows not marked deleted, syncs it and renames it over this
    // one, then reopens. On failure the table is unchanged. `kept` (may be null) receives the
    // old record numbers of the kept rows, in their new order. `visit` (may be empty) sees each
    // kept row's bytes with its new record number, in order. With sync the new file is fsynced
    // before the rename (without, a stopped program still leaves one whole table, but a power
    // cut may not).
    Status pack(std::vector<uint32_t>* kept, bool sync = true,
                const std::function<void(const uint8_t* row, uint32_t recNo)>& visit = {});
    // Flushes and closes. The object is unusable afterwards.
    Status close();

    // Tables up to this many bytes are mapped into memory for random reads (reading rows in
    // index order); larger ones are read a page at a time, so that the process stays small.
    static void setMapLimit(uint64_t bytes);
    static uint64_t mapLimit();

    // Takes or drops an advisory lock on the table file.
    Status lock(LockKind kind);

    // Consistency of header against file size and descriptors (used by open and `check`).
    // Sets *detail to a one-line description of the first fault found.
    static Status inspect(FileSystem& fs, const std::string& path, std::string* detail);

    // Rows the header does not count: whole rows (each starting with a deletion flag) right after
    // the counted ones when the table was opened; an end marker or a partial row is none.
    // rowsPastCount() has them when the header's incomplete-transaction flag is clear: rows the
    // count lost, which any write would cut off. unfinishedRows() has them when it is set: rows
    // of a write of ours that stopped before counting them, dropped by the next write.
    uint32_t rowsPastCount() const { return unfinished_ ? 0 : rowsPast_; }
    uint32_t unfinishedRows() const { return unfinished_ ? rowsPast_ : 0; }
    // Ok when rowsPastCount() is 0; else Corrupt saying how many rows lie past the count.
    // Opening a table for writing refuses it so, reading it shows the counted rows.
    Status countsEveryRow() const;
    // Rows the header in the file counts (stored for good).
    uint32_t countedRows() const { return countedRecords_; }
    // Drops every row after row `rows` (at most countedRows()): rows still buffered, rows written
    // past the count and counted rows after it, whose header is rewritten (flagged until the file
    // is cut). Returns the first error of that work; the table holds `rows` rows all the same.
    Status dropRowsAfter(uint32_t rows);
    // Makes the header of the table at `path` count the rows past its count (rowsPastCount()),
    // ends the file after them (a partial row goes) and syncs it; *before and *after get the
    // counts. Writes nothing when no row lies past the count. The caller keeps other writers out.
    static Status recount(FileSystem& fs, const std::string& path, uint32_t* before, uint32_t* after);

private:
    DbfFile() = default;
    Status parseHeader(const uint8_t* hdr, size_t n, uint64_t fileSize);
    Status writeHeader();
    Status writePending();
    Status loadRows(uint64_t first, uint64_t count);
    Status usable(bool forWrite) const;
    Status fail(ErrorKind k, const std::string& msg) const;
    Status load();  // reads and parses the header of file_
    Status countRowsPast(uint64_t fileSize);
    Status markUncounted();  // sets the incomplete-transaction flag in the file

    FileSystem* fs_ = nullptr;
    std::unique_ptr<File> file_;
    std::string path_;
    bool readOnly_ = false;
    uint8_t version_ = 0x03;
    uint8_t langDriver_ = 0x03;
    uint32_t recordCount_ = 0;      // rows including the ones still in pending_
    uint32_t fileRecordCount_ = 0;  // rows whose bytes are in the file
    uint32_t countedRecords_ = 0;   // rows the header in the file counts
    uint32_t rowsPast_ = 0;         // whole rows past the count at open
    bool unfinished_ = false;       // the header was flagged at open
    bool flagOnDisk_ = false;       // the header in the file is flagged now
    uint16_t headerLength_ = 0;
    uint16_t recordLength_ = 0;
    std::vector<uint8_t> headerBytes_;  // the whole header as read (kept when rewriting)
    std::vector<FieldInfo> fields_;
    bool headerDirty_ = false;
    Date lastUpdate_;
    LockKind lockKind_ = LockKind::Unlock;
    uint32_t recsPerBlock_ = 1;  // rows in a read-ahead block
    uint32_t recsPerPage_ = 1;   // rows read for a random access

    // Appended rows not yet written (contiguous, starting at fileRecordCount_ + 1).
    std::vector<uint8_t> pending_;
    // Read cache: a run of whole rows, [blockStart_, blockStart_ + blockLen_) as 0-based row indexes.
    // Random reads of large tables go through a read-only mapping of the rows in the file.
    const uint8_t* mappedRow(uint64_t idx);
    void dropMap();  // before file_ is closed or replaced
    const uint8_t* map_ = nullptr;
    uint64_t mapRecords_ = 0;
    bool mapRefused_ = false;
    std::vector<uint8_t> block_;
    uint64_t blockStart_ = UINT64_MAX;
    size_t blockLen_ = 0;
    std::vector<uint8_t> scratch_;
};

// Field value codecs over raw record bytes (Windows-1252).
namespace field {
// Text of a C field (raw bytes, trailing blanks kept).
std::string_view raw(const uint8_t* rec, const FieldInfo& f);
// Parses N/F text: blanks and an empty field read as 0; a comma is accepted as the decimal mark.
// Returns false (value 0) for text that is not a number.
bool parseNumber(std::string_view text, double* out);
// Formats value right-justified in `width` with `decimals` places (half away from zero, no "-0");
// returns false and fills with '*' when it does not fit. Writes exactly `width` bytes to out,
// with no terminator, so it can format straight into a record.
bool formatNumber(double value, int width, int decimals, char* out);
// Logical field: T t Y y are true.
inline bool isTrue(uint8_t c) { return c == 'T' || c == 't' || c == 'Y' || c == 'y'; }
}  // namespace field

}  // namespace xbase
