// Gesture decoding: which input event, with which key state, asks the
// overlay for what. Pure functions over plain values, no platform header:
// the Windows hooks and the native Linux shell both feed their events here
// and act on the answer (post a message, queue a point, move a slider).
//
// The gestures, all built on the left Ctrl key:
//   left Ctrl pressed (first press, not auto-repeat)  -> centre to the cursor
//   mouse moved while left Ctrl is down               -> centre to the event's point
//   left Shift pressed while left Ctrl is down        -> new pattern (auto-repeats)
//   left Alt released while left Ctrl is down         -> show or hide the overlay
//   wheel turned while left Ctrl is down              -> space grows or shrinks
//   left Ctrl released                                -> the centre rests: the exact
//                                                        frame follows the drag's frames
// No event is ever swallowed: the caller always passes the event on.
#pragma once

#include <cstdint>

#include "private_messages.h"

namespace qv {

enum class Gesture : std::uint8_t {
    kNone,
    kCenterToCursor,  // read the cursor position now, queue it, post WM_APP_MOVE_CENTER
    kCenterToPoint,   // queue the event's own point, post WM_APP_MOVE_CENTER
    kNewPattern,      // post WM_APP_HOTKEY with kVkLShift
    kToggleOverlay,   // post WM_APP_HOTKEY with kVkLMenu
    kSpaceWheel,      // store the new space, move the space slider, post WM_APP_REDRAW (kRedrawAfterWheel)
    kCenterRests,     // post WM_APP_CENTER_RESTS
};

// While the centre is dragged its frames are made from the frame before,
// close to the exact frame but not always the same; the exact frame follows
// when left Ctrl is released, or this long after the last move.
inline constexpr std::uint32_t kCenterRestMs = 150;

// A keyboard event as a low-level hook reports it.
struct KeyEvent {
    std::uint32_t message;     // kMsgKeyDown, kMsgKeyUp, or anything else (ignored)
    std::uint32_t virtualKey;  // kVkLShift, kVkLControl, kVkLMenu, ...
};

struct KeyDecision {
    Gesture gesture;
    std::int32_t ctrlLatch;  // the latch after the event; store it back
};

// ctrlLatch is 1 from a handled left-Ctrl key-down until the next left-Ctrl
// key-up, so that auto-repeated key-downs do not move the centre again. A
// release reported as a system key-up does not clear it.
KeyDecision DecodeKeyEvent(KeyEvent event, bool leftCtrlDown, std::int32_t ctrlLatch) noexcept;

// A mouse event as a low-level hook reports it.
struct MouseEvent {
    std::uint32_t message;    // kMsgMouseMove, kMsgMouseWheel, or anything else (ignored)
    std::uint32_t mouseData;  // for the wheel: the delta in the high-order 16 bits
};

struct MouseDecision {
    Gesture gesture;
    std::uint16_t space;  // the new space for kSpaceWheel; the old one otherwise
};

MouseDecision DecodeMouseEvent(MouseEvent event, bool leftCtrlDown, std::uint16_t space) noexcept;

// The signed wheel delta carried in the high-order 16 bits of mouse data.
std::int16_t WheelDelta(std::uint32_t mouseData) noexcept;

// The wheel moves space by a tenth of a standard notch (delta / 12, toward
// zero: 120 gives 10, -11..11 give 0), clamped to kSpaceRange.
inline constexpr int kWheelDeltaPerSpaceUnit = 12;
std::uint16_t WheelSpace(std::uint16_t space, std::int16_t delta) noexcept;

// What the overlay window is asked to do for a gesture. message 0: nothing
// to post (kNone).
struct GestureMessage {
    std::uint32_t message;
    std::uint32_t wParam;
};
GestureMessage MessageFor(Gesture gesture) noexcept;

// The show/hide request: a remembered visibility of exactly 1 hides, any
// other value shows. Returns whether to show, and the flag to remember.
struct VisibilityChange {
    bool show;
    std::int32_t visible;
};
VisibilityChange ToggleVisibility(std::int32_t visible) noexcept;

}  // namespace qv
