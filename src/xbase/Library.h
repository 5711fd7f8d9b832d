#pragma once
// The engine's entry point: the library handle and its settings, the open tables, and the error
// code that records and clears.
//
//   xbase::Library lib;                    // handle (working directory ".")
//   xbase::Table* t = lib.open("AddrBook"); // AddrBook.dbf + AddrBook.cgp + its .ntx files
//   if (lib.errorCode() < 0) ...           // failure: t is null, lib.lastError() says why
//   t->selectTag(t->tag("Address"));
//   for (int rc = t->top(); rc == xbase::kOk; rc = t->skip()) ...
//   t->close();
//
// Files are found in the directory whatever the letter case of their names; new files take the
// spelling asked for.

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "xbase/Dbf.h"
#include "xbase/FileSystem.h"
#include "xbase/Status.h"
#include "xbase/Table.h"

namespace xbase {

// Error codes (negative); 0 means no error.
inline constexpr int kErrOpen = -60;      // table, group or index file cannot be opened
inline constexpr int kErrCreate = -70;    // file cannot be created
inline constexpr int kErrRead = -80;
inline constexpr int kErrWrite = -90;
inline constexpr int kErrCorrupt = -100;
inline constexpr int kErrField = -210;    // unknown field, or no current row
inline constexpr int kErrTag = -330;      // unknown tag
inline constexpr int kErrLocked = -690;
inline constexpr int kErrExists = -720;
inline constexpr int kErrArgument = -910;

enum class AccessMode { Shared, Exclusive };

class Library {
public:
    explicit Library(FileSystem& fs = FileSystem::real());
    ~Library();  // closes every open table
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    FileSystem& fs() { return *fs_; }
    void setDirectory(const std::string& dir) { dir_ = dir; }
    const std::string& directory() const { return dir_; }

    // true (normal): open() opens the group and index files with the table; false: table alone.
    void setAutoOpen(bool v) { autoOpen_ = v; }
    bool autoOpen() const { return autoOpen_; }
    // false lets createIndex overwrite existing files; true (normal) refuses (kErrExists).
    void setSafety(bool v) { safety_ = v; }
    bool safety() const { return safety_; }
    // Exclusive: tables open with an exclusive lock, so no other process can open them meanwhile.
    // Shared: a shared lock, which still keeps out an exclusive opener.
    void setAccessMode(AccessMode m) { access_ = m; }
    AccessMode accessMode() const { return access_; }
    // Opens tables for reading only (no locks beyond shared, every change refused, no table
    // created).
    void setReadOnly(bool v) { readOnly_ = v; }
    bool readOnly() const { return readOnly_; }
    // flush() also fsyncs the files, and pack and index builds fsync the files they write before
    // renaming them into place (default true). Off, a stopped program still leaves whole files
    // behind, but a power cut may not.
    void setSyncOnFlush(bool v) { syncOnFlush_ = v; }
    bool syncOnFlush() const { return syncOnFlush_; }

    // Opens base name's .dbf (any letter case). nullptr on failure with the error recorded.
    Table* open(const std::string& baseName);
    // Creates a new empty table and opens it; kErrExists unless safety is off.
    Table* create(const std::string& baseName, const std::vector<FieldSpec>& fields);
    // Closes every open table. Returns 0 or the first error code met.
    int closeAll();
    const std::vector<Table*> openTables() const;

    // The error code recorded since the last call (negative), or 0; clears it when `clear`.
    int errorCode(bool clear = true);
    const Status& lastError() const { return last_; }
    // True when the recorded error code is negative: the caller must end the program.
    bool exitTest() const { return code_ < 0; }
    // Records an error; returns its (negative) code.
    int record(const Status& s, int code = 0);

    std::string pathFor(const std::string& fileName) const;  // resolves letter case in dir

private:
    friend class Table;
    void forget(Table* t);
    // Closes a file that was just renamed over (its last handle) on a thread of its own: the
    // system frees the replaced file's pages as it closes, tens of milliseconds for a large
    // index that nobody need wait for. Joined before the next one starts and on destruction;
    // closed here and now when no thread can be started.
    void retire(std::unique_ptr<File> replaced);

    FileSystem* fs_;
    std::string dir_ = ".";
    bool autoOpen_ = true;
    bool safety_ = true;
    AccessMode access_ = AccessMode::Shared;
    bool readOnly_ = false;
    bool syncOnFlush_ = true;
    int code_ = 0;
    Status last_;
    std::vector<std::unique_ptr<Table>> tables_;
    std::thread retiring_;
};

// Maps a Status to the library's negative error code.
int errorCodeFor(const Status& s);

}  // namespace xbase
