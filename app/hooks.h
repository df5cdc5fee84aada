// The two system-wide low-level input hooks. Their callbacks decode the
// gestures (gesture_decoder.h), queue cursor points, post one private
// message to the overlay window and always pass the event on: they never
// draw. The frames are drawn on their thread all the same, so a slow one
// holds input up, and the hooks are put back after it.
#pragma once

#include <cstdint>

#include "win32.h"

namespace qv {

class Hook {
public:
    Hook() = default;
    virtual int HookType() const noexcept = 0;
    virtual ~Hook() = default;  // removes no hook: Uninstall does, explicitly
    Hook(const Hook&) = delete;
    Hook& operator=(const Hook&) = delete;

    // 1 when this call installed the hook; 0 when it was installed already
    // or the system refused.
    int Install(HOOKPROC callback) noexcept;
    void Uninstall() noexcept;
    // 1 when a fresh hook took the place of the one held, which the system
    // may have dropped; 0 when none is held or the system refused, and then
    // the one held stays.
    int Renew(HOOKPROC callback) noexcept;

    HHOOK handle = nullptr;
};

class KeyboardHook : public Hook {
public:
    int HookType() const noexcept override;
};

class MouseHook : public Hook {
public:
    int HookType() const noexcept override;
};

// A frame drawn on this thread keeps every input event of the desktop
// waiting for the hooks. Windows silently removes a low-level hook whose
// call waits past the LowLevelHooksTimeout (300 ms unless an administrator
// changed it), and the gestures would stop without a word; so after a frame
// that long, or nearly, both installed hooks are put back. The overlay
// tells every frame's length here.
inline constexpr std::uint64_t kSlowFrameMs = 200;
void RenewHooksAfterFrame(std::uint64_t frameMs) noexcept;

// The panel's Reset: both hooks taken out, then put back, keyboard first;
// what Install answers does not matter there.
void ReinstallHooks() noexcept;

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM message, LPARAM record);
LRESULT CALLBACK MouseHookProc(int code, WPARAM message, LPARAM record);

}  // namespace qv
