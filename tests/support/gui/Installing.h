#pragma once
// A test's object in place of the program's for as long as the Installing lives (Installed<T>,
// gui/common/Installed.h); the one it replaced comes back when it goes.

#include "gui/common/Installed.h"

template <class T>
class Installing {
public:
    explicit Installing(T& object) : previous_(Installed<T>::install(&object)) {}
    ~Installing() { Installed<T>::install(previous_); }
    Installing(const Installing&) = delete;
    Installing& operator=(const Installing&) = delete;

private:
    T* previous_;
};
