#pragma once
// How the windows' seams are replaced. A seam is a class whose methods are the program's own
// behaviour (a dialog that asks for something, the printer a report goes to, the runs a page
// starts); the windows reach it through Installed<T>::get(). A test derives from the class,
// answers in its methods, and installs its object:
//
//   struct Answers : LabelRunDialogs { bool askSpan() override { ...; return true; } } answers;
//   Installed<LabelRunDialogs>::install(&answers);   // until install(nullptr)
//
// The user's messages and questions go the same way through the windows' prompts
// (UserPrompts, InstallPrompts: gui/common/MessageBoxes.h).

#include <utility>

template <class T>
class Installed {
public:
    // The object installed, else the program's own (a T made on first use).
    static T& get() { return installed_ ? *installed_ : program(); }
    // Puts `object` in place of the program's until install(nullptr) puts the program's back;
    // returns the object it replaces, null for the program's. The caller keeps `object` alive
    // while it is installed.
    static T* install(T* object) { return std::exchange(installed_, object); }

private:
    static T& program() {
        static T own;
        return own;
    }
    static inline T* installed_ = nullptr;
};
