// A small XTest injector for the end-to-end tests. Unlike warping the
// pointer, XTest's fake motion goes through the server's input path and so
// produces the raw motion the overlay listens to; each key press and
// release is sent exactly once.
#pragma once

#include <X11/Xlib.h>

#include <string>

namespace qv::e2e {

class XInjector {
public:
    explicit XInjector(Display* display) : display_(display) {}

    void KeyDown(unsigned long keysym);
    void KeyUp(unsigned long keysym);
    void MoveTo(int x, int y);  // absolute, on the default screen
    void ButtonDown(unsigned button);
    void ButtonUp(unsigned button);
    void Click(int x, int y, unsigned button = 1);
    void Wheel(int notches);  // > 0: away from the user (button 4), < 0: towards (button 5)

private:
    void Sync();
    Display* display_;
};

}  // namespace qv::e2e
