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
#include <QStringList>
#include <functional>

#include "core/run/RunContext.h"
#include "xbase/FileSystem.h"
#include "xbase/Status.h"

// After the directory is chosen: the same-directory refusal (and for a backup the refusal of a
// data folder as target), the copies, the status texts, and for a restore the index rebuild. Tell their own messages; true when every file was copied (and
// for a restore, reindexed).
bool BackupTo(const RunContext& ctx, const QString& chosenDir);
bool RestoreFrom(const RunContext& ctx, const QString& chosenDir);

// Copies the three tables in order (LABELS, AddrBook, importf), then the tables of our own that
// exist, into `dir` (backup) or from it (restore), telling the status bar which. Stops at the
// first failure, keeping the copies made; *copied (when given) lists the files copied, *why what
// stopped it (see CopyDataFile). True when all were copied.
bool CopyDataFiles(const RunContext& ctx, bool backup, const QString& dir, QStringList* copied = nullptr,
                   QString* why = nullptr);
// Copies one table, with the disk prompts; true when it was copied. On failure *why (when given)
// says which file and what happened (permission, damage, space, the system's reason), or is
// empty when the user gave up at a disk prompt or was told the file is not there.
bool CopyDataFile(const RunContext& ctx, bool backup, const QString& dir, const QString& fileName,
                  QString* why = nullptr);
// Why the backup in `dir` cannot be restored (the folder unreadable, a table missing, unreadable
// or damaged, named with its directory), or "" when every table is whole. *missing (when given)
// tells that a table is not there: the text is then "Unable to find <path>\r\nFunction Aborted".
QString CheckBackupFiles(const RunContext& ctx, const QString& dir, bool* missing = nullptr);
// Why a backup must not go into `dir`, or "" when it may: `dir` is a data folder (someone holds
// its data-folder lock, or it holds index, group or settings files, which a backup never has).
// A folder holding only the tables of an earlier backup may be written over.
QString BackupTargetRefusal(const QString& dir);

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

// Whose permissions a copy takes: its source's (a backup copy), or those of the file it replaces,
// the source's only when there is none (a table restored into the data folder).
enum class CopyPermissions { FromSource, KeepTarget };

// Copies `source` to `target` through `fs`: a temporary file beside the target, synced, checked
// (when `check` is given), then renamed over it and the directory synced. On failure the
// temporary file is removed and the target is as it was. Temporary files that earlier copies to
// the same target left when they were stopped part-way are removed first. The Status names the
// failing file: the source when it could not be read or the check refused the copy, else the
// target.
xbase::Status SafeCopyFile(xbase::FileSystem& fs, const std::string& source, const std::string& target,
                           const SafeCopyCheck& check = {},
                           CopyPermissions permissions = CopyPermissions::FromSource);
