#pragma once
// Test data directories for the program's tests, and the scoped pieces of shared state that
// tests set up around the data routines.
//
//   TestDataDir data;                 // temp dir with the four tables and both indexes, exactly
//                                     // as `merrowby-admin init` makes them (CreateDataSet)
//   TestDataDir big(100000);          // ... with 100,000 synthetic names in AddrBook
//   TestDataDir none(TestDataDir::Empty);  // an empty temp dir
//
//   ScopedLibrary lib(data.path());   // LibHandle on that directory; closed and put back after
//   ScopedCurrentDir cwd(data.path()); // working directory (start-up, DataFilesPresent, Help)
//
// A run's prompts in a test are a RecordingPrompts (RecordingPrompts.h); the windows' tests
// install one as the windows' prompts with a MessageLog (tests/support/gui/MessageLog.h).
//
// A fresh data set holds: Mrby1 with one row (blank font, size 0, blank LabID), importf with one
// row (positions 1..12 in column order), LABELS with StandardStocks() (Schema.h), AddrBook empty
// unless names are asked for. Synthetic names are the rows of shared/tools/gen_addresses.py for
// the same seed (std::minstd_rand), so tests and benchmarks agree.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "RecordingPrompts.h"

// Lets GoogleTest print QStrings readably in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace xbase {
class Library;
}

class TestDataDir {
public:
    enum EmptyTag { Empty };
    explicit TestDataDir(int names = 0, uint32_t seed = 1);
    explicit TestDataDir(EmptyTag);

    const QString& path() const { return path_; }
    std::string dir() const { return path_.toStdString(); }
    // dir/name, with the letter case of an existing file when there is one.
    QString filePath(const QString& name) const;
    bool exists(const QString& name) const;
    QByteArray read(const QString& name) const;   // whole file; empty when missing
    bool remove(const QString& name) const;       // true when it existed and is gone
    QStringList files() const;                    // names in the directory, sorted

private:
    QTemporaryDir tmp_;
    QString path_;
};

// One synthetic address row: 27 texts in AddrBook column order (dates "yyyymmdd" or "", flags
// "T"/"F"), as gen_addresses.py writes them.
std::vector<std::vector<std::string>> SyntheticRows(int n, uint32_t seed = 1);

// A hand-made address row: the names, a street, every flag false except the holiday flags of
// the occasions listed (1 to 7).
std::vector<std::string> NamedRow(const std::string& first, const std::string& last,
                                  std::initializer_list<int> holidays = {});

// AddrBook's columns by number, from the dates on.
enum AddrColumn { Birthdate = 12, Annavdate, Other1Date, Other2Date, Birthday, Annav, Valentine, Mother,
                  Father, Secretary, Halloween, ThanksGiv, Christmas, Other1, Other2 };
// NamedRow with dates ("yyyymmdd" by column) and the flags of the columns listed set.
std::vector<std::string> AddressRow(const std::string& first, const std::string& last,
                                    std::initializer_list<std::pair<AddrColumn, std::string>> dates,
                                    std::initializer_list<AddrColumn> flags);
// NamedRow at `street` in `city` with `zip`, on the Christmas list or not.
std::vector<std::string> ResidentRow(const std::string& first, const std::string& last, const std::string& street,
                                     bool christmas, const std::string& city = "Springfield",
                                     const std::string& zip = "");
// The first names (trimmed) of the people on holiday `occasion`'s list, in name order; AddrBook is
// opened and closed through LibHandle.
QStringList FlaggedFirstNames(int occasion);

// Appends `rows` to dir/AddrBook.dbf and rebuilds its index. Throws std::runtime_error on an
// engine failure.
void AppendAddressRows(const std::string& dir, const std::vector<std::vector<std::string>>& rows);

// Creates LibHandle (a new xbase::Library on `dir`) and, when it goes, closes every table,
// deletes the handle, clears the four table handles and puts back the previous LibHandle.
class ScopedLibrary {
public:
    explicit ScopedLibrary(const QString& dir);
    ~ScopedLibrary();
    xbase::Library& lib() { return *lib_; }

private:
    xbase::Library* lib_;
    xbase::Library* previous_;
};

// Makes `dir` the working directory for its lifetime.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const QString& dir);
    ~ScopedCurrentDir();

private:
    QString previous_;
};
