#pragma once
// What a run (label run, reminder run, import, backup, restore) is given by whoever starts it:
// the library handle of the data directory, the prompts through which it talks to the user, the
// file system its copies go through, and the clock. The windows answer the prompts with message
// boxes, the status bar and the drive dialog; the admin tool with standard error and output;
// tests with recorded answers.
//
// A run binds LibHandle (Globals.h) to the context's library while it works, so the record load
// and store routines reach the same tables.

#include <QDate>
#include <QString>
#include <functional>

#include "core/run/Prompts.h"

namespace xbase {
class FileSystem;
class Library;
}  // namespace xbase

struct RunContext {
    xbase::Library* lib = nullptr;    // the data directory's library; required
    Prompts* prompts = nullptr;       // required
    xbase::FileSystem* fs = nullptr;  // copies go through it; null: the library's
    // True when a directory lies on a removable volume; empty: the real test.
    std::function<bool(const QString&)> removable;
    // The clock: today's date and the busy pause of `days`; empty: the real ones.
    std::function<QDate()> today;
    std::function<void(double days)> pause;

    xbase::FileSystem& fileSystem() const;
    QDate currentDate() const;
    void wait(double days) const;
};

// Points LibHandle at the context's library for the lifetime of the binding and puts the previous
// handle back after.
class LibraryBinding {
public:
    explicit LibraryBinding(const RunContext& ctx);
    ~LibraryBinding();
    LibraryBinding(const LibraryBinding&) = delete;
    LibraryBinding& operator=(const LibraryBinding&) = delete;

private:
    xbase::Library* previous_;
};
