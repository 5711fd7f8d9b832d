#include "gui/import/FileQuestion.h"

#include <QFileDialog>
#include <QFileInfo>

QString FileQuestion::importFile(QWidget* owner, const QString& preset) {
    QFileDialog dlg(owner);
    dlg.setFileMode(QFileDialog::AnyFile);  // a typed name that names no file is taken too
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    if (QFileInfo(preset).isDir())
        dlg.setDirectory(preset);
    else if (!preset.isEmpty())
        dlg.selectFile(preset);
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
        return dlg.selectedFiles().constFirst();
    return preset;
}

QString FileQuestion::exportFile(QWidget* owner, const QString& preset, const QString& filters) {
    return QFileDialog::getSaveFileName(owner, owner ? owner->windowTitle() : QString(), preset, filters, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}
