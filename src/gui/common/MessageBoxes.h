#pragma once
// The one way the program shows message boxes. Tests install a responder that answers instead
// of a person and sees every message.

#include <QString>
#include <functional>

class QWidget;

namespace Messages {

enum class Kind { Info, Plain, OkCancel, Error, YesNo };

// Information box with one OK button.
void info(const QString& text, QWidget* parent = nullptr);
// Plain box (no icon) with one OK button.
void plain(const QString& text, QWidget* parent = nullptr);
// Information box with OK and Cancel; true when OK was chosen.
bool okCancel(const QString& text, QWidget* parent = nullptr);
// The button Return presses in a question box.
enum class Default { Yes, No };
// Question box with Yes and No; true when Yes was chosen.
bool yesNo(const QString& text, QWidget* parent = nullptr, Default button = Default::Yes);
// The application's general error report (for example a number that does not convert).
void error(const QString& text, QWidget* parent = nullptr);

// With a responder installed no box is shown: the responder gets each message and, for
// OkCancel and YesNo, returns the answer (true = OK, Yes). Pass nullptr to go back to real boxes.
using Responder = std::function<bool(Kind kind, const QString& text)>;
void setResponder(Responder responder);

}  // namespace Messages
