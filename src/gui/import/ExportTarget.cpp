#include "gui/import/ExportTarget.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/common/MessageBoxes.h"

ExportTarget AddExportTarget(QDialog* dialog, QVBoxLayout* top, QFormLayout* form, const QString& preset,
                             const QString& browseCaption, const QString& exportCaption) {
    ExportTarget t;
    auto* file = new QHBoxLayout;
    t.fileName = new QLineEdit(dialog);
    t.fileName->setObjectName(QStringLiteral("FileName"));
    t.fileName->setMinimumWidth(300);
    t.fileName->setText(QDir::home().filePath(preset));
    t.browse = new QPushButton(browseCaption, dialog);
    t.browse->setObjectName(QStringLiteral("BtnBrowse"));
    t.browse->setAutoDefault(false);
    file->addWidget(t.fileName, 1);
    file->addWidget(t.browse);
    auto* fileLabel = new QLabel(QStringLiteral("&File:"), dialog);
    fileLabel->setBuddy(t.fileName);
    form->addRow(fileLabel, file);
    top->addLayout(form);

    auto* buttons = new QDialogButtonBox(dialog);
    t.exportButton = buttons->addButton(exportCaption, QDialogButtonBox::AcceptRole);
    t.exportButton->setObjectName(QStringLiteral("BtnExport"));
    t.exportButton->setIcon(QIcon(QStringLiteral(":/ok.png")));
    t.cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    t.cancel->setObjectName(QStringLiteral("BtnCancel"));
    t.cancel->setIcon(QIcon(QStringLiteral(":/cancel.png")));
    t.exportButton->setDefault(true);
    top->addWidget(buttons);
    // The button box would accept at once; the export decides when the dialog closes.
    QObject::disconnect(buttons, nullptr, dialog, nullptr);
    QObject::connect(t.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return t;
}

bool ExportTargetAccepted(const QString& path, QLineEdit* fileName, QWidget* dialog) {
    if (path.isEmpty()) {
        UserPrompts(dialog).info(QStringLiteral("Please enter the name of the file to write."));
        fileName->setFocus();
        return false;
    }
    if (QFileInfo(path).isDir()) {
        UserPrompts(dialog).info(path + QStringLiteral(" is a folder. Please enter a file name."));
        return false;
    }
    return !QFileInfo::exists(path) ||
           UserPrompts(dialog).okCancel(path + QStringLiteral(" already exists.\r\nReplace it?"));
}
