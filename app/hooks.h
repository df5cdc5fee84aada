// The two system-wide low-level input hooks. Their callbacks decode the
// gestures (gesture_decoder.h), queue cursor points, post one private
// message to the overlay window and always pass the event on: they never
// draw, so input is not held up by rendering.
#pragma once

#include "../overlay/win32.h"

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

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM message, LPARAM record);
LRESULT CALLBACK MouseHookProc(int code, WPARAM message, LPARAM record);

}  // namespace qv
