#pragma once
// The setup page's "Backup" and "Restore" buttons: the drive dialog, then the run (Backup.h) in
// the program's context.

void BackupData1Click();
void RestoreData1Click();
