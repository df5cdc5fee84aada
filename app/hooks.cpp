#include "hooks.h"

#include <commctrl.h>

#include "gesture_decoder.h"
#include "private_messages.h"
#include "process_state.h"

namespace qv {
namespace {

constexpr int kKeyboardHookType = WH_KEYBOARD_LL;  // 13
constexpr int kMouseHookType = WH_MOUSE_LL;        // 14

// Asked when the event is handled, not when it happened: that is the state
// the user sees.
bool LeftCtrlDown() noexcept { return GetAsyncKeyState(static_cast<int>(kVkLControl)) < 0; }

void QueuePoint(QueuedPoint point) noexcept {
    EnterCriticalSection(&queueLock);
    pointQueue.Append(point);  // a dropped point just leaves the centre where it was
    LeaveCriticalSection(&queueLock);
}

void PostGesture(Gesture gesture) noexcept {
    const GestureMessage m = MessageFor(gesture);
    if (m.message != 0) PostMessageW(overlayWindow, m.message, m.wParam, 0);
}

}  // namespace

int Hook::Install(HOOKPROC callback) noexcept {
    if (handle != nullptr) return 0;
    handle = SetWindowsHookExW(HookType(), callback, GetModuleHandleW(nullptr), 0);
    return handle != nullptr ? 1 : 0;
}

void Hook::Uninstall() noexcept {
    if (handle == nullptr) return;
    UnhookWindowsHookEx(handle);
    handle = nullptr;
}

int Hook::Renew(HOOKPROC callback) noexcept {
    if (handle == nullptr) return 0;
    // The new hook first, so that no event passes unseen in between; this
    // thread runs no hook call until it returns, so none is seen twice.
    HHOOK fresh = SetWindowsHookExW(HookType(), callback, GetModuleHandleW(nullptr), 0);
    if (fresh == nullptr) return 0;
    UnhookWindowsHookEx(handle);  // fails, harmlessly, for a hook the system dropped
    handle = fresh;
    return 1;
}

void RenewHooksAfterFrame(std::uint64_t frameMs) noexcept {
    if (frameMs < kSlowFrameMs) return;
    keyboardHook.Renew(&KeyboardHookProc);
    mouseHook.Renew(&MouseHookProc);
}

void ReinstallHooks() noexcept {
    keyboardHook.Uninstall();
    mouseHook.Uninstall();
    keyboardHook.Install(&KeyboardHookProc);
    mouseHook.Install(&MouseHookProc);
}

int KeyboardHook::HookType() const noexcept { return kKeyboardHookType; }
int MouseHook::HookType() const noexcept { return kMouseHookType; }

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM message, LPARAM record) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(record);
        const KeyDecision d = DecodeKeyEvent(KeyEvent{static_cast<std::uint32_t>(message), event->vkCode},
                                             LeftCtrlDown(), ctrlLatch);
        ctrlLatch = d.ctrlLatch;
        if (d.gesture == Gesture::kCenterToCursor) {
            POINT cursor{0, 0};
            GetCursorPos(&cursor);
            QueuePoint({cursor.x, cursor.y});
        }
        PostGesture(d.gesture);
    }
    return CallNextHookEx(keyboardHook.handle, code, message, record);
}

LRESULT CALLBACK MouseHookProc(int code, WPARAM message, LPARAM record) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(record);
        const MouseDecision d = DecodeMouseEvent(MouseEvent{static_cast<std::uint32_t>(message), event->mouseData},
                                                 LeftCtrlDown(), effectSettings.space);
        if (d.gesture == Gesture::kCenterToPoint) {
            QueuePoint({event->pt.x, event->pt.y});
        } else if (d.gesture == Gesture::kSpaceWheel) {
            effectSettings.space = d.space;
            // The slider follows (without a panel there is none to move).
            if (spaceTrackbar != nullptr) SendMessageW(spaceTrackbar, TBM_SETPOS, TRUE, static_cast<LPARAM>(d.space));
        }
        PostGesture(d.gesture);
    }
    return CallNextHookEx(mouseHook.handle, code, message, record);
}

}  // namespace qv
