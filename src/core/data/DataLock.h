#pragma once
// The data-directory lock: one copy of the program at a time works on a data directory.
//
// The engine's own table locks are taken only while a table is open, and the program opens and
// closes its tables all the time, so two copies could each change a table between the other's
// reads. Instead the program holds an exclusive advisory lock (flock) on `.merrowby.lock` in the
// data directory from start-up until it ends; a second copy finds it taken and stops with a plain
// message. The kernel drops the lock when the process ends, however it ends.

#include <string>

enum class DataLockResult {
    Acquired,  // this process holds the lock (also when it already held it)
    InUse,     // another process holds it
    Failed,    // the lock file cannot be created or locked (read-only directory, ...)
};

// The lock file's name inside the data directory.
inline constexpr const char* kDataLockFileName = ".merrowby.lock";

// Takes the lock on `dir` for this process, without waiting. Holding it already on the same
// directory returns Acquired; taking it on another directory gives up the previous one first.
// *detail (may be null) receives the system's reason on Failed.
DataLockResult AcquireDataLock(const std::string& dir, std::string* detail = nullptr);

// Gives the lock up (nothing when not held).
void ReleaseDataLock();

// The directory whose lock this process holds, or "" when none.
std::string HeldDataLockDir();

// True when someone (this process or another) holds the lock on `dir`: the program or an admin
// command is working on it as its data directory. Creates nothing; a directory without a lock
// file, or one that cannot be read, is not held.
bool DataLockHeld(const std::string& dir);
