#include "gui/backup/BackupButtons.h"

#include <QMainWindow>
#include <QPushButton>

#include "gui/common/Fatal.h"
#include "gui/common/Forms.h"
#include "core/backup/Backup.h"
#include "gui/backup/DriveDir.h"
#include "core/data/Globals.h"

namespace {

QString chooseDirectory(const QString& caption, const QString& button) {
    if (!DriveDir) return QString();
    DriveDir->setWindowTitle(caption);
    DriveDir->BtnOK->setText(button);
    DriveDir->refreshVolumes();
    DriveDir->exec();
    return ChosenDir;
}

}  // namespace

void BackupData1Click() {
    const QString dir = chooseDirectory(QStringLiteral("Choose Backup Drive & Directory"),
                                        QStringLiteral("Backup"));
    if (QMainWindow* frame = MainFrame()) frame->repaint();
    BackupTo(ProgramContext(), dir);
}

void RestoreData1Click() {
    const QString dir = chooseDirectory(QStringLiteral("Choose Drive & Directory Containing BACKUP"),
                                        QStringLiteral("Restore"));
    if (dir.isEmpty()) return;
    if (QMainWindow* frame = MainFrame()) frame->repaint();
    RestoreFrom(ProgramContext(), dir);
}
