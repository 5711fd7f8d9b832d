#pragma once
// Backup and restore of the three data tables (LABELS.dbf, AddrBook.dbf, importf.dbf) to and
// from another directory. Index and group files are not copied: a restore rebuilds them.
//
// BackupData1Click / RestoreData1Click ask for the directory with the TDriveDir dialog and then
// run BackupTo / RestoreFrom, which the admin tool also calls. Every copy is safe: the file is
// copied to a temporary name in the target directory, synced and renamed over the target, so a
// failed copy leaves the old target whole and no partial file behind.
//
// The data directory is LibHandle's directory (the working directory in the program). Copies go
// through an xbase::FileSystem, which tests replace to make copies fail.

#include <QString>
#include <functional>

#include "xbase/fileio.h"
#include "xbase/status.h"

// The setup page's "Backup" and "Restore" buttons.
void BackupData1Click();
void RestoreData1Click();

// After the directory is chosen: the same-directory refusal, the copies, the status texts, and
// for a restore the index rebuild. Show their own messages; true when every file was copied.
bool BackupTo(const QString& chosenDir);
bool RestoreFrom(const QString& chosenDir);

// Copies the three tables in order (LABELS, AddrBook, importf) into `dir` (backup) or from it
// (restore), telling the status bar which. Stops at the first failure, keeping the copies made;
// *copied (when given) counts the files copied. True when all three were copied.
bool CopyDataFiles(bool backup, const QString& dir, int* copied = nullptr);
// Copies one table, with the disk prompts; true when it was copied.
bool CopyDataFile(bool backup, const QString& dir, const QString& fileName);

// `dir` without surrounding blanks and ending with "/".
QString NormalizedDirectory(const QString& dir);
// The data directory, absolute.
QString DataDirectory();
// True when `a` and `b` name the same directory (same text, or the same place on disk).
bool SameDirectory(const QString& a, const QString& b);
// True when `dir` lies on a removable volume (USB stick, memory card, floppy).
bool IsOnRemovableVolume(const QString& dir);

// Copies `source` to `target` through `fs`: a temporary file beside the target, synced, then
// renamed over it and the directory synced. On failure the temporary file is removed and the
// target is as it was. Temporary files that earlier copies to the same target left when they
// were stopped part-way are removed first. The Status names the failing file.
xbase::Status SafeCopyFile(xbase::FileSystem& fs, const std::string& source,
                           const std::string& target);

// --- seams ---------------------------------------------------------------------------------
// The file system copies go through (nullptr: LibHandle's, or the real one).
void SetBackupFileSystem(xbase::FileSystem* fs);
// Where status texts go (nullptr: the main window's status bar).
void SetBackupStatusSink(std::function<void(const QString&)> sink);
// The removable-volume test (nullptr: the real one).
void SetRemovableTest(std::function<bool(const QString&)> test);
