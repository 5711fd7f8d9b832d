#pragma once
// How the import and export dialogs ask for a file. The methods show the file dialogs; the
// dialogs reach them through Installed<FileQuestion> (gui/common/Installed.h), where a test
// installs its own answers.

#include <QString>

class QWidget;

class FileQuestion {
public:
    virtual ~FileQuestion() = default;
    // The file to read, the dialog over `owner` opening on `preset` (a file, or a folder to open
    // in); a name typed that names no file is taken too. `preset` when the user cancelled.
    virtual QString importFile(QWidget* owner, const QString& preset);
    // The file to write, the dialog (titled as `owner`, offering `filters`) opening on `preset`;
    // empty when the user cancelled. A file that exists is not questioned here: the export asks
    // before replacing it.
    virtual QString exportFile(QWidget* owner, const QString& preset, const QString& filters);
};
