#pragma once
// The file dialogs answered by a test: while a FileAnswer lives, every file question gets
// `answer` (none: what the dialog gives after Cancel, the preset for a file to read), and the
// preset offered is kept.

#include "gui/import/FileQuestion.h"

class FileAnswer : public FileQuestion {
public:
    FileAnswer() { InstallFileQuestion(this); }
    ~FileAnswer() override { InstallFileQuestion(nullptr); }
    FileAnswer(const FileAnswer&) = delete;
    FileAnswer& operator=(const FileAnswer&) = delete;

    QString importFile(QWidget*, const QString& preset) override {
        offered = preset;
        return answer.isEmpty() ? preset : answer;
    }
    QString exportFile(QWidget*, const QString& preset) override {
        offered = preset;
        return answer;
    }

    QString answer;
    QString offered;
};
