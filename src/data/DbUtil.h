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

// Ends the program when the library holds an error (the library's exit test): shows the
// engine's description of the error, naming the file, then ends the process through
// ExitProgram. Returns normally when there is no error.
void ExitTest();

// Busy-waits `days` (of 86,400 seconds) on the clock, processing nothing meanwhile.
// 0.00002 days is the 1.728-second pause after start-up. The wait is multiplied by PauseScale,
// which tests set to 0.
void Pause(double days);
extern double PauseScale;
