#pragma once
// Prompts that stand in for the user in tests: every message and question is recorded with its
// kind and answered with the answer set (OK and Yes unless told otherwise), status lines are kept
// apart, and the fatal message ends the run under test by throwing FatalExit.
//
//   RecordingPrompts prompts;          // a run's prompts: ctx.prompts = &prompts
//   MessageLog msgs;                   // the windows' prompts while it lives (gui/MessageLog.h)

#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

#include "core/run/Prompts.h"

// What Prompts::fatal throws: the program would end here.
struct FatalExit : std::runtime_error {
    explicit FatalExit(const QString& message) : std::runtime_error(message.toStdString()) {}
};

class RecordingPrompts : public Prompts {
public:
    enum class Kind { Info, Plain, OkCancel, Error, YesNo, Fatal };
    struct Entry {
        Kind kind;
        QString text;
    };

    explicit RecordingPrompts(bool answer = true) : answer_(answer) {}

    void info(const QString& text) override { record(Kind::Info, text); }
    bool okCancel(const QString& text) override { return record(Kind::OkCancel, text); }
    void status(const QString& text) override { status_ << text; }
    void plain(const QString& text) override { record(Kind::Plain, text); }
    void error(const QString& text) override { record(Kind::Error, text); }
    bool yesNo(const QString& text, Default) override { return record(Kind::YesNo, text); }
    [[noreturn]] void fatal(const QString& text) override {
        record(Kind::Fatal, text);
        throw FatalExit(text);
    }

    const std::vector<Entry>& entries() const { return entries_; }
    QStringList texts() const;
    QStringList& statusLines() { return status_; }
    const QStringList& statusLines() const { return status_; }
    void setAnswer(bool answer) { answer_ = answer; }
    void clear() { entries_.clear(); }

protected:
    // Called with every message and question as it comes, before it is recorded; the answer given
    // to a question. A test that looks at the windows while a message is up overrides it.
    virtual bool asked(Kind kind, const QString& text);

private:
    bool record(Kind kind, const QString& text);

    std::vector<Entry> entries_;
    QStringList status_;
    bool answer_;
};
