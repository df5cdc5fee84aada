#include "key_tracker.h"

#include "private_messages.h"

namespace qv::linuxshell {

std::optional<std::uint32_t> KeyTracker::VirtualKeyFor(std::uint32_t keycode) const noexcept {
    if (keycode == 0) return std::nullopt;
    if (keycode == keys_.leftCtrl) return kVkLControl;
    if (keycode == keys_.leftShift) return kVkLShift;
    if (keycode == keys_.leftAlt) return kVkLMenu;
    return std::nullopt;
}

bool KeyTracker::IsDown(std::uint32_t keycode) const noexcept {
    return keycode != 0 && keycode < kKeycodeLimit && down_.test(keycode);
}

std::optional<KeyEvent> KeyTracker::Press(std::uint32_t keycode) noexcept {
    if (keycode == 0 || keycode >= kKeycodeLimit) return std::nullopt;
    down_.set(keycode);
    lastPressed_ = keycode;
    const auto vk = VirtualKeyFor(keycode);
    if (!vk) return std::nullopt;
    return KeyEvent{kMsgKeyDown, *vk};
}

std::optional<KeyEvent> KeyTracker::Release(std::uint32_t keycode) noexcept {
    if (!IsDown(keycode)) return std::nullopt;
    down_.reset(keycode);
    if (lastPressed_ == keycode) lastPressed_ = 0;
    const auto vk = VirtualKeyFor(keycode);
    if (!vk) return std::nullopt;
    return KeyEvent{kMsgKeyUp, *vk};
}

bool KeyTracker::ShiftRepeating() const noexcept {
    return keys_.leftShift != 0 && lastPressed_ == keys_.leftShift && IsDown(keys_.leftShift);
}

std::optional<KeyEvent> KeyTracker::RepeatTick() const noexcept {
    if (!ShiftRepeating()) return std::nullopt;
    return KeyEvent{kMsgKeyDown, kVkLShift};
}

void KeyTracker::Forget() noexcept {
    down_.reset();
    lastPressed_ = 0;
}

void KeyTracker::SetKeys(ModifierKeycodes keys) noexcept {
    if (keys.leftCtrl == keys_.leftCtrl && keys.leftShift == keys_.leftShift && keys.leftAlt == keys_.leftAlt)
        return;
    keys_ = keys;
    Forget();
}

}  // namespace qv::linuxshell
