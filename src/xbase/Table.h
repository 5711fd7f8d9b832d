#pragma once
// An open table: a DbfFile with its current row, its fields and the indexes of its group file.
//
// Positioning follows the selected tag (index order) or, with no tag selected, record-number
// order. Rows marked deleted are visited like any other. Every call returns one of the result
// codes below; an error code is negative and the Status behind it is recorded in the Library
// (Library::errorCode / lastError).
//
// Field values assigned to the current row are held in the row buffer and written, with the
// index keys brought up to date, at the next flush, move or close.
//
// Rows appended are stored for good by the flush (or close) that writes them with their keys.
// Until then a write that fails, of the table or of an index, takes back every row appended
// since the last such flush, from the table file and from the indexes: a failed append leaves
// no row, and the table file is cut back to the rows it held. Changes to existing rows are
// written where they are and stay.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/Dbf.h"
#include "xbase/KeyExpr.h"
#include "xbase/Ntx.h"
#include "xbase/Status.h"

namespace xbase {

class Library;
class Table;

// Results of positioning calls.
inline constexpr int kOk = 0;      // a row is current (seek: exact prefix match)
inline constexpr int kAfter = 2;   // seek: positioned on the next greater key
inline constexpr int kEof = 3;     // past the last row (no row current)
inline constexpr int kBof = 4;     // before the first row (no row current)
inline constexpr int kError = -1;  // failed; see Library::lastError()

struct TagSpec {
    std::string name;        // tag name, also the index file's base name ("Address")
    std::string expression;  // "Upper(Last + First)"
    bool unique = false;
    bool descending = false;
};

class Field {
public:
    const std::string& name() const { return info_.name; }
    char type() const { return info_.type; }
    int length() const { return info_.length; }
    int decimals() const { return info_.decimals; }

    // Text of the current row as UTF-8, blank-padded to the column width (C), or the stored
    // text of N/F/L/D columns. Empty when no row is current.
    std::string str() const;
    long long asInt() const;     // N/F: truncated toward zero (held at the bounds of long long);
                                 // blank or bad text gives 0
    double asDouble() const;
    bool isTrue() const;         // L: T/t/Y/y

    // Assignments to the current row (recorded as BadArgument error when no row is current).
    // C: converted to Windows-1252, cut or blank-padded to the width. D: "yyyymmdd" or blanks.
    // N/F: the text is parsed and reformatted; L: first character.
    void assign(std::string_view utf8);
    void assignInt(long long v);
    void assignDouble(double v);
    void assignLogical(bool v);

private:
    friend class Table;
    Field(Table* t, FieldInfo info) : table_(t), info_(std::move(info)) {}
    Table* table_;
    FieldInfo info_;
};

class Tag {
public:
    const std::string& name() const { return name_; }
    const KeyExpr& expr() const { return expr_; }
    NtxIndex& index() { return *index_; }

private:
    friend class Table;
    std::string name_;
    KeyExpr expr_;
    std::unique_ptr<NtxIndex> index_;
};

class Table {
public:
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    const std::string& alias() const { return alias_; }  // base name as opened ("AddrBook")
    const std::string& path() const;                     // the .dbf path
    Library& library() { return *lib_; }
    DbfFile& dbf() { return *dbf_; }

    // --- positioning ---------------------------------------------------------------------------
    int top();
    int bottom();
    // kEof past the end (no row current); kBof before the start (the first row stays current).
    int skip(long n = 1);
    int go(uint32_t recNo);  // kEof when recNo is out of range
    // Seeks a key prefix in the selected tag: kOk on a match, kAfter on the next greater key,
    // kEof past the last key (no row current). Without a selected tag: kError.
    int seek(std::string_view utf8Key);
    // Current record number; recCount() + 1 when past the end, 0 before the start / no row.
    uint32_t recNo() const;
    uint32_t recCount() const;
    bool hasRow() const { return rowRecNo_ != 0; }
    bool deleted() const;
    bool eof() const { return atEof_; }
    bool bof() const { return atBof_; }

    // --- tags ----------------------------------------------------------------------------------
    Tag* tag(std::string_view name);  // letter case ignored; nullptr when absent
    void selectTag(Tag* tag);         // nullptr: record-number order
    Tag* selectedTag() const { return selected_; }
    size_t tagCount() const { return tags_.size(); }
    Tag* tagAt(size_t i) { return tags_[i].get(); }

    // --- fields --------------------------------------------------------------------------------
    Field* field(std::string_view name);  // letter case ignored; nullptr when absent
    size_t fieldCount() const { return fields_.size(); }
    Field* fieldAt(size_t i) { return fields_[i].get(); }

    // --- changes -------------------------------------------------------------------------------
    int appendBlank();   // new blank row, current; 0 on success
    int markDeleted();   // marks the current row
    int recall();        // clears the mark of the current row
    int pack();          // removes marked rows, renumbers, rebuilds every open index
    int flush();         // writes the row buffer, the table and its indexes; on failure, see above
    int close();         // flushes and closes; the Table object is destroyed by the Library

    // Creates index files for this table (tags), replacing existing ones when the Library's
    // safety is off, writes the group file `groupName`.cgp listing them, and opens them on the
    // table (replacing any tags already open). Returns 0 or a negative error code.
    int createIndex(const std::string& groupName, const std::vector<TagSpec>& tags);

    // The marker beside an index file that says the index is behind its table (a program stopped
    // while it was): opening the table rebuilds that index.
    static std::string pendingMarker(const std::string& indexPath);

    // Internal: used by Field. The row's bytes are read from the file on first use after a move.
    uint8_t* rowBuffer() {
        ensureRow();
        return row_.data();
    }
    // Internal: the bytes of one field of the current row, for reading (from the row, or from
    // what a scan read ahead).
    const uint8_t* fieldBytes(const FieldInfo& f);
    void touchRow();
    int fail(const Status& s);

private:
    friend class Library;
    Table(Library* lib, std::string alias, std::unique_ptr<DbfFile> dbf);
    Status openGroup(const std::string& groupPath);
    Status writeRow();                 // row buffer to file, keys updated
    int edge(bool first);              // top() or bottom()
    Status markIndexesPending();
    void clearIndexesPending();
    // Takes back the rows appended after storedRows_ (after a failed write): from the indexes,
    // reopened as they are on disk when those agree with the stored rows, else by removing
    // their keys; then from the table file.
    void abandonUnstored();
    bool reloadIndexes();
    int loadRow(uint32_t recNo);       // makes a row current (its bytes are read lazily)
    void ensureRow() const;            // reads the current row's bytes when not yet read
    void clearRow(bool eof, bool bof);
    // *rebuilt: tags done before a failure. keys (when given): each tag's keys, in record order,
    // already collected.
    Status rebuildIndexes(size_t* rebuilt = nullptr, std::vector<std::vector<uint8_t>>* keys = nullptr);
    Status syncCursor();
    Status collectKeys(const KeyExpr& expr, KeyBlock* keys);

    // Read-ahead for scans in index order. Rows visited one by one in index order lie all over
    // the file, and one read call per row is what such a scan costs. After a run of single steps
    // forward the table takes the next stretch of record numbers from the index, reads those rows
    // in file order (neighbours in one call) and keeps, per row, the bytes of the fields the scan
    // has been reading. Any change through this table drops it.
    struct ReadAhead;
    void startReadAhead();
    Status fillReadAhead(ReadAhead& a);
    void dropReadAhead();
    void newTraversal();  // top, bottom, seek, go: the fields read so far no longer count
    bool servedAhead() const;
    Library* lib_;
    std::string alias_;
    std::unique_ptr<DbfFile> dbf_;
    std::vector<std::unique_ptr<Field>> fields_;
    std::vector<std::unique_ptr<Tag>> tags_;
    Tag* selected_ = nullptr;

    mutable std::vector<uint8_t> row_;
    mutable bool rowLoaded_ = true;  // row_ holds the current row's bytes
    uint32_t rowRecNo_ = 0;         // 0: no row current
    bool rowChanged_ = false;
    bool rowIsNew_ = false;         // appended, keys not yet in the indexes
    bool pendingAppend_ = false;    // appended row not yet handed to the table file
    bool indexesPending_ = false;   // markers say the index files are behind the table
    uint32_t storedRows_ = 0;       // rows the last complete flush stored, with their keys
    bool diskIndexesMatch_ = true;  // the index files hold those rows' keys as the rows are now
    std::vector<std::string> rowKeys_;  // keys of the row as last written, one per tag
    bool atEof_ = false, atBof_ = false;

    std::unique_ptr<ReadAhead> ahead_;
    uint32_t forwardRun_ = 0;        // single forward steps in index order since the last jump
    std::vector<uint8_t> wanted_;    // by byte offset: 1 where a field read since then starts
    int aheadBatches_ = 0;           // batches read in this run
    int aheadWidenings_ = 0;         // batches dropped for fields they did not hold
};

}  // namespace xbase
