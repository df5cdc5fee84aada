#include "x_injector.h"

#include <X11/extensions/XTest.h>

namespace qv::e2e {

namespace {
constexpr unsigned kWheelUp = 4;
constexpr unsigned kWheelDown = 5;
}  // namespace

void XInjector::Sync() { XSync(display_, False); }

void XInjector::KeyDown(unsigned long keysym) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keysym), True, CurrentTime);
    Sync();
}

void XInjector::KeyUp(unsigned long keysym) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keysym), False, CurrentTime);
    Sync();
}

void XInjector::MoveTo(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    Sync();
}

void XInjector::ButtonDown(unsigned button) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    Sync();
}

void XInjector::ButtonUp(unsigned button) {
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    Sync();
}

void XInjector::Click(int x, int y, unsigned button) {
    MoveTo(x, y);
    ButtonDown(button);
    ButtonUp(button);
}

void XInjector::Wheel(int notches) {
    const unsigned button = notches > 0 ? kWheelUp : kWheelDown;
    for (int i = 0; i < (notches > 0 ? notches : -notches); ++i) {
        ButtonDown(button);
        ButtonUp(button);
    }
}

}  // namespace qv::e2e
