#pragma once
// Backup and restore of the three data tables (LABELS.dbf, AddrBook.dbf, importf.dbf) to and
// from another directory. Index and group files are not copied: a restore rebuilds them.
//
// The setup page's buttons (gui/backup/BackupButtons.h) ask for the directory with the drive dialog
// and then run BackupTo / RestoreFrom, which the admin tool also calls. Every copy is safe: the
// file is copied to a temporary name in the target directory, synced, checked as a whole table and
// only then renamed over the target, so a failed or damaged copy leaves the old target whole and no
// partial file behind. A restore from a fixed disk checks all three files before it replaces any.
//
// The runs work in a RunContext: its library is the data directory, its prompts ask and tell,
// its file system carries the copies (tests make copies fail through it).

#include <QString>
#include <functional>

#include "core/run/RunContext.h"
#include "xbase/FileSystem.h"
#include "xbase/Status.h"

// After the directory is chosen: the same-directory refusal, the copies, the status texts, and
// for a restore the index rebuild. Tell their own messages; true when every file was copied (and
// for a restore, reindexed).
bool BackupTo(const RunContext& ctx, const QString& chosenDir);
bool RestoreFrom(const RunContext& ctx, const QString& chosenDir);

// Copies the three tables in order (LABELS, AddrBook, importf) into `dir` (backup) or from it
// (restore), telling the status bar which. Stops at the first failure, keeping the copies made;
// *copied (when given) counts the files copied. True when all three were copied.
bool CopyDataFiles(const RunContext& ctx, bool backup, const QString& dir, int* copied = nullptr);
// Copies one table, with the disk prompts; true when it was copied.
bool CopyDataFile(const RunContext& ctx, bool backup, const QString& dir, const QString& fileName);
// Why the backup in `dir` cannot be restored (a table missing or damaged, named with its
// directory), or "" when all three tables are whole.
QString CheckBackupFiles(const RunContext& ctx, const QString& dir);

// `dir` without surrounding blanks and ending with "/".
QString NormalizedDirectory(const QString& dir);
// The data directory (the context library's), absolute.
QString DataDirectory(const RunContext& ctx);
// True when `a` and `b` name the same directory (same text, or the same place on disk).
bool SameDirectory(const QString& a, const QString& b);
// True when `dir` lies on a removable volume (USB stick, memory card, floppy).
bool IsOnRemovableVolume(const QString& dir);

// A test a copy must pass before it is renamed over its target: the copy's path in, a Status out.
using SafeCopyCheck = std::function<xbase::Status(xbase::FileSystem& fs, const std::string& copy)>;

// Copies `source` to `target` through `fs`: a temporary file beside the target, synced, checked
// (when `check` is given), then renamed over it and the directory synced. On failure the
// temporary file is removed and the target is as it was. Temporary files that earlier copies to
// the same target left when they were stopped part-way are removed first. The Status names the
// failing file (the source when the check refused the copy).
xbase::Status SafeCopyFile(xbase::FileSystem& fs, const std::string& source, const std::string& target,
                           const SafeCopyCheck& check = {});
