#pragma once
// Where the keyboard goes when a window closes. A dialog that closes while a message box of its
// own is still going away, or a box shown while no window of the program was active, leaves the
// window system with nothing to hand the activation back to: no window is active and the
// keyboard (Alt mnemonics included) does nothing until a click. The program therefore gives the
// activation back itself whenever one of its windows closes and none is left active: to the
// modal dialog still open, else to the window the closed one belonged to, else to the main
// window.

class QWidget;

// Installs that rule for every window of the application, present and future (once; later
// calls do nothing). Needs the QApplication.
void InstallFocusReturn();

// The window a box or dialog belongs to when its caller names none: the active window, else the
// topmost modal dialog still shown, else the main window (the first shown window that belongs
// to no other). nullptr when the program shows no window.
QWidget* OwnerWindow();
