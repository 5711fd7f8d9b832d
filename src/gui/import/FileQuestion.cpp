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

QString FileQuestion::exportFile(QWidget* owner, const QString& preset) {
    return QFileDialog::getSaveFileName(owner, QStringLiteral("Export Contacts"), preset,
                                        QStringLiteral("vCard files (*.vcf);;CSV files (*.csv);;All files (*)"),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}
