// The program's private window messages and the virtual keys its gestures
// use. Platform-free on purpose: the gesture decoder, the native Linux shell
// and the tests share these numbers with the Windows program, and each
// number is written here and nowhere else.
#pragma once

#include <cstdint>

namespace qv {

// Sent or posted to the overlay window.
inline constexpr std::uint32_t WM_APP_HOTKEY = 0x8000;       // wParam: kVkLShift new pattern, kVkLMenu show/hide
inline constexpr std::uint32_t WM_APP_REDRAW = 0x8001;       // redraw, same pattern
// WM_APP_REDRAW's wParam when the wheel gesture posts it: a gesture, which
// first takes the overlay to the cursor's monitor. The panel sends 0.
inline constexpr std::uint32_t kRedrawAfterWheel = 1;
inline constexpr std::uint32_t WM_APP_MOVE_CENTER = 0x8002;  // centre to the newest queued point, same pattern
inline constexpr std::uint32_t WM_APP_CENTER_RESTS = 0x8003; // left Ctrl released: the exact frame follows a drag

// Sent by the panel to itself.
inline constexpr std::uint32_t WM_APP_PARAM_LABELS = 0x8020;
inline constexpr std::uint32_t WM_APP_COLOR_LABELS = 0x8021;
inline constexpr std::uint32_t WM_APP_JITTER_LABELS = 0x8022;

// Virtual-key codes of the left-hand modifier keys (the right-hand ones
// have their own codes and take part in no gesture).
inline constexpr std::uint32_t kVkLShift = 160;
inline constexpr std::uint32_t kVkLControl = 162;
inline constexpr std::uint32_t kVkLMenu = 164;  // left Alt

// Window message numbers the low-level hooks report, so that platform-free
// code can decode them without the platform's headers.
inline constexpr std::uint32_t kMsgKeyDown = 0x0100;     // WM_KEYDOWN
inline constexpr std::uint32_t kMsgKeyUp = 0x0101;       // WM_KEYUP
inline constexpr std::uint32_t kMsgSysKeyDown = 0x0104;  // WM_SYSKEYDOWN: not a gesture
inline constexpr std::uint32_t kMsgSysKeyUp = 0x0105;    // WM_SYSKEYUP: not a gesture
inline constexpr std::uint32_t kMsgMouseMove = 0x0200;   // WM_MOUSEMOVE
inline constexpr std::uint32_t kMsgMouseWheel = 0x020A;  // WM_MOUSEWHEEL
inline constexpr std::uint32_t kMsgMouseHWheel = 0x020E; // WM_MOUSEHWHEEL: not a gesture

}  // namespace qv
