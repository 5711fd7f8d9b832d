#pragma once
// The one place the program shows message boxes. The windows talk to the user through one
// Prompts object (core/run/Prompts.h), reached by UserPrompts(): the message boxes and the main
// window's status bar, unless a test has installed prompts of its own that record every message
// and answer in place of a person. The runs the windows start get the same object
// (ProgramContext, gui/common/Fatal.h).

#include <QPointer>
#include <QString>
#include <QWidget>

#include "core/run/Prompts.h"


// The windows' prompts. Every box carries the program's name as its title; Return and Escape
// press the buttons named below.
class MessageBoxes : public Prompts {
public:
    // Information icon, OK.
    void info(const QString& text) override;
    // Information icon, OK (Return) and Cancel (Escape).
    bool okCancel(const QString& text) override;
    // The main window's status bar; nothing before the main window is made.
    void status(const QString& text) override;
    // No icon, OK.
    void plain(const QString& text) override;
    // Critical icon, OK.
    void error(const QString& text) override;
    // Question icon, Yes and No; `button` pressed by Return, No by Escape.
    bool yesNo(const QString& text, Default button) override;
    // Information icon, OK: the message the user knows before the program ends.
    void fatal(const QString& text) override;

    // The window the next box belongs to; none: the active window, else the main window.
    void setOwner(QWidget* owner) { owner_ = owner; }

private:
    enum class Kind { Info, Plain, OkCancel, Error, YesNo };
    bool show(Kind kind, const QString& text, Default button = Default::Yes);

    QPointer<QWidget> owner_;
};

// The prompts the windows talk to the user through: the message boxes unless InstallPrompts has
// put others in their place. A box shown by the call made on the result belongs to `owner`.
// The object returned is the same for the program's life, and passes each call on to the prompts
// installed at the time of the call: a run or a printer may keep it.
Prompts& UserPrompts(QWidget* owner = nullptr);
// Puts `prompts` in place of the message boxes (nullptr: the boxes again) and returns the prompts
// it replaces, null for the boxes. The caller keeps `prompts` alive while it is installed.
Prompts* InstallPrompts(Prompts* prompts);
