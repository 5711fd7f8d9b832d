#pragma once
// The file dialogs answered by a test: while a FileAnswer lives, every file question gets
// `answer` (none: what the dialog gives after Cancel, the preset for a file to read), and the
// preset offered is kept.

#include "gui/common/Installed.h"
#include "gui/import/FileQuestion.h"

class FileAnswer : public FileQuestion {
public:
    FileAnswer() : previous_(Installed<FileQuestion>::install(this)) {}
    ~FileAnswer() override { Installed<FileQuestion>::install(previous_); }
    FileAnswer(const FileAnswer&) = delete;
    FileAnswer& operator=(const FileAnswer&) = delete;

    QString importFile(QWidget*, const QString& preset) override {
        offered = preset;
        return answer.isEmpty() ? preset : answer;
    }
    QString exportFile(QWidget*, const QString& preset, const QString&) override {
        offered = preset;
        return answer;
    }

    QString answer;
    QString offered;

private:
    FileQuestion* previous_;
};
