#pragma once
// Data-file utilities: the start-up presence test and the index rebuild.

#include "core/data/DataStatus.h"

// True when both AddrBook.dbf and LABELS.dbf exist in the working directory (any letter case).
bool DataFilesPresent();

// Rebuilds the address-book index (Address.ntx in group AddrBook.cgp, key "Upper(Last + First)")
// and the label-stock index (Labels.ntx in group LABELS.cgp, key "Name"), and the card log's
// (Cards.ntx) when there is a log; a full rebuild also reconciles the log with the book. With onlyIfMissing,
// each table's index is rebuilt only when its index or group file is missing, the group file
// cannot be read or lists an index file that is missing, or the index is marked as left
// unfinished (IndexFilesPresent). Stops at the
// first table that cannot be opened or index that cannot be written and reports it (the engine's
// description names the file); the library's error is left recorded for its exit test. Runs
// only while no table is open; every table is closed after.
DataStatus RebuildIndexes(bool onlyIfMissing);

// The library's exit test: the error the library holds, or Ok. The error stays recorded.
DataStatus LibraryStatus();

// Waits `days` (of 86,400 seconds), asleep: processing nothing meanwhile, and using no processor.
// 0.00002 days is the 1.728-second pause after start-up. The wait is multiplied by PauseScale,
// which tests set to 0.
void Pause(double days);
extern double PauseScale;
