#pragma once
// The mouse wheel over a date picker, a spin box or a drop-down changes its value only while
// that control has the keyboard focus. Over an unfocused one the wheel goes on to the control's
// parent (a page ignores it; a scrolling area scrolls), and it never takes the focus there, so
// a value cannot change under a pointer that only passes over it.

// Installs the rule for every such control of the application, present and future (once; later
// calls do nothing). Needs the QApplication.
void InstallWheelGuard();
