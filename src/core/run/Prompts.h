#pragma once
// How the program tells and asks the user, whoever does the telling: the runs of the core reach
// the user through the prompts of their RunContext, the windows through the one Prompts object
// they are given (gui/common/MessageBoxes.h). The windows answer with message boxes and the
// status bar, the admin tool with standard error and output, tests with recorded answers.

#include <QString>
#include <functional>

class Prompts {
public:
    virtual ~Prompts() = default;

    // A message with one OK button.
    virtual void info(const QString& text) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool okCancel(const QString& text) = 0;
    // A line for the status bar; "" clears it.
    virtual void status(const QString& text) = 0;

    // The kinds only the windows ask. Prompts that know the three above alone take each as the
    // nearest of those: a message as info, a question as okCancel.

    // A message without an icon, one OK button.
    virtual void plain(const QString& text) { info(text); }
    // A failure told to the user (a text that is no number, a write that failed), one OK button.
    virtual void error(const QString& text) { info(text); }
    // The button Return presses in a Yes/No question.
    enum class Default { Yes, No };
    // A question with Yes and No, `button` pressed by Return; true for Yes.
    virtual bool yesNo(const QString& text, Default button) {
        (void)button;
        return okCancel(text);
    }
    // The last message of a program that cannot go on, one OK button. The caller ends the
    // program when it returns; prompts standing in for the user may end the run themselves (a
    // test's throw).
    virtual void fatal(const QString& text) { info(text); }
};

// Prompts that answer Cancel to every question and forward texts to two functions (either may be
// empty): the admin tool's and the crash harness's answerer.
class FunctionPrompts : public Prompts {
public:
    std::function<void(const QString&)> onInfo;
    std::function<bool(const QString&)> onQuestion;  // empty: Cancel
    std::function<void(const QString&)> onStatus;

    void info(const QString& text) override {
        if (onInfo) onInfo(text);
    }
    bool okCancel(const QString& text) override { return onQuestion ? onQuestion(text) : false; }
    void status(const QString& text) override {
        if (onStatus) onStatus(text);
    }
};
