#include "gesture_decoder.h"

#include "effect_settings.h"

namespace qv {

KeyDecision DecodeKeyEvent(KeyEvent event, bool leftCtrlDown, std::int32_t ctrlLatch) noexcept {
    if (event.message == kMsgKeyUp) {
        if (event.virtualKey == kVkLControl) return {Gesture::kCenterRests, 0};
        if (event.virtualKey == kVkLMenu && leftCtrlDown) return {Gesture::kToggleOverlay, ctrlLatch};
    } else if (event.message == kMsgKeyDown) {
        if (event.virtualKey == kVkLShift && leftCtrlDown) return {Gesture::kNewPattern, ctrlLatch};
        if (event.virtualKey == kVkLControl && ctrlLatch == 0) return {Gesture::kCenterToCursor, 1};
    }
    return {Gesture::kNone, ctrlLatch};
}

std::int16_t WheelDelta(std::uint32_t mouseData) noexcept {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(mouseData >> 16));
}

std::uint16_t WheelSpace(std::uint16_t space, std::int16_t delta) noexcept {
    const int step = delta / kWheelDeltaPerSpaceUnit;  // C++ division truncates toward zero
    return static_cast<std::uint16_t>(kSpaceRange.Clamp(static_cast<int>(space) + step));
}

MouseDecision DecodeMouseEvent(MouseEvent event, bool leftCtrlDown, std::uint16_t space) noexcept {
    if (!leftCtrlDown) return {Gesture::kNone, space};
    if (event.message == kMsgMouseMove) return {Gesture::kCenterToPoint, space};
    if (event.message == kMsgMouseWheel)
        return {Gesture::kSpaceWheel, WheelSpace(space, WheelDelta(event.mouseData))};
    return {Gesture::kNone, space};
}

GestureMessage MessageFor(Gesture gesture) noexcept {
    switch (gesture) {
        case Gesture::kCenterToCursor:
        case Gesture::kCenterToPoint: return {WM_APP_MOVE_CENTER, 0};
        case Gesture::kNewPattern: return {WM_APP_HOTKEY, kVkLShift};
        case Gesture::kToggleOverlay: return {WM_APP_HOTKEY, kVkLMenu};
        case Gesture::kSpaceWheel: return {WM_APP_REDRAW, kRedrawAfterWheel};
        case Gesture::kCenterRests: return {WM_APP_CENTER_RESTS, 0};
        case Gesture::kNone: break;
    }
    return {0, 0};
}

VisibilityChange ToggleVisibility(std::int32_t visible) noexcept {
    if (visible == 1) return {false, 0};
    return {true, 1};
}

}  // namespace qv
