#pragma once
// Data-file utilities: the start-up presence test and the index rebuild.

// True when both AddrBook.dbf and LABELS.dbf exist in the working directory (any letter case).
bool DataFilesPresent();

// Rebuilds the address-book index (Address.ntx in group AddrBook.cgp, key "Upper(Last + First)")
// and the label-stock index (Labels.ntx in group LABELS.cgp, key "Name"). With onlyIfMissing,
// each table's index is rebuilt only when its index or group file is missing. A table that
// cannot be opened or an index that cannot be written ends the program. Runs only while no
// table is open.
void RebuildIndexes(bool onlyIfMissing);
