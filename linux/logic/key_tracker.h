// The keyboard as the raw XInput2 stream shows it, turned into the key
// events the gesture decoder understands.
//
// Raw events differ from what a low-level keyboard hook sees in three ways
// this class absorbs:
//  - they carry keycodes, not virtual keys: left Ctrl, Shift and Alt are
//    told apart by the keycodes the keyboard map gives for Control_L,
//    Shift_L and Alt_L;
//  - they never auto-repeat, so the repeat of left Shift (one new pattern
//    per repeat while left Ctrl is held) has to come from a timer, and only
//    the key pressed last repeats, as on any keyboard;
//  - a release can arrive for a key that was never seen going down (a key
//    held when the program started, or an injector releasing twice); such a
//    release is dropped, so that it cannot hide the overlay or clear the
//    Ctrl latch by surprise.
// Left Ctrl's state is kept from the stream itself: querying the keymap
// reports the state at the time of the query, not at the time of the event.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>

#include "gesture_decoder.h"

namespace qv::linuxshell {

// Keycodes of the three left-hand modifiers; 0 where the keyboard map has
// no such key (0 is never a valid X keycode).
struct ModifierKeycodes {
    std::uint32_t leftCtrl = 0;
    std::uint32_t leftShift = 0;
    std::uint32_t leftAlt = 0;
};

inline constexpr std::uint32_t kKeycodeLimit = 256;  // X keycodes are 8 bits

class KeyTracker {
public:
    explicit KeyTracker(ModifierKeycodes keys) noexcept : keys_(keys) {}

    // A raw press: the key event for the decoder when the key is one of the
    // three modifiers, nothing for any other key.
    std::optional<KeyEvent> Press(std::uint32_t keycode) noexcept;

    // A raw release: the decoder's key-up for a modifier that was known to
    // be down; nothing for other keys or for keys not known to be down.
    std::optional<KeyEvent> Release(std::uint32_t keycode) noexcept;

    // One tick of the auto-repeat timer: another left-Shift key-down while
    // left Shift is the repeating key, nothing otherwise.
    std::optional<KeyEvent> RepeatTick() const noexcept;

    // Whether the repeat timer should be running now.
    bool ShiftRepeating() const noexcept;

    bool LeftCtrlDown() const noexcept { return IsDown(keys_.leftCtrl); }
    bool IsDown(std::uint32_t keycode) const noexcept;

    // Forgets every key, as when the keyboard map changed under held keys.
    void Forget() noexcept;

    const ModifierKeycodes& keys() const noexcept { return keys_; }
    void SetKeys(ModifierKeycodes keys) noexcept;

private:
    std::optional<std::uint32_t> VirtualKeyFor(std::uint32_t keycode) const noexcept;

    ModifierKeycodes keys_;
    std::bitset<kKeycodeLimit> down_;
    std::uint32_t lastPressed_ = 0;  // the key that auto-repeats, 0 for none
};

}  // namespace qv::linuxshell
