#include "key_tracker.h"

#include <gtest/gtest.h>

#include "gesture_decoder.h"
#include "private_messages.h"

namespace qv::linuxshell {
namespace {

constexpr std::uint32_t kCtrl = 37, kShift = 50, kAlt = 64, kRightCtrl = 105, kLetterA = 38;

KeyTracker Standard() { return KeyTracker(ModifierKeycodes{kCtrl, kShift, kAlt}); }

TEST(KeyTracker, ModifiersBecomeTheDecodersKeyEvents) {
    KeyTracker t = Standard();
    EXPECT_EQ(t.Press(kCtrl)->virtualKey, kVkLControl);
    EXPECT_EQ(t.Press(kShift)->virtualKey, kVkLShift);
    const auto alt = t.Press(kAlt);
    ASSERT_TRUE(alt);
    EXPECT_EQ(alt->message, kMsgKeyDown);
    EXPECT_EQ(alt->virtualKey, kVkLMenu);
    const auto up = t.Release(kAlt);
    ASSERT_TRUE(up);
    EXPECT_EQ(up->message, kMsgKeyUp);
    EXPECT_EQ(up->virtualKey, kVkLMenu);
}

TEST(KeyTracker, RightHandAndOtherKeysGiveNothingButAreTracked) {
    KeyTracker t = Standard();
    EXPECT_FALSE(t.Press(kRightCtrl));
    EXPECT_FALSE(t.LeftCtrlDown());
    EXPECT_TRUE(t.IsDown(kRightCtrl));
    EXPECT_FALSE(t.Release(kRightCtrl));
    EXPECT_FALSE(t.IsDown(kRightCtrl));
}

TEST(KeyTracker, LeftCtrlStateFollowsTheStream) {
    KeyTracker t = Standard();
    EXPECT_FALSE(t.LeftCtrlDown());
    t.Press(kCtrl);
    EXPECT_TRUE(t.LeftCtrlDown());
    t.Release(kCtrl);
    EXPECT_FALSE(t.LeftCtrlDown());
}

TEST(KeyTracker, ReleaseOfAKeyNotKnownDownIsDropped) {
    KeyTracker t = Standard();
    EXPECT_FALSE(t.Release(kAlt));  // held before the program started
    t.Press(kCtrl);
    ASSERT_TRUE(t.Release(kCtrl));
    EXPECT_FALSE(t.Release(kCtrl));  // a second release of the same press
}

TEST(KeyTracker, DoubleAltReleaseTogglesOnlyOnceThroughTheDecoder) {
    KeyTracker t = Standard();
    std::int32_t latch = 0;
    int toggles = 0;
    auto feed = [&](std::optional<KeyEvent> e) {
        if (!e) return;
        const KeyDecision d = DecodeKeyEvent(*e, t.LeftCtrlDown(), latch);
        latch = d.ctrlLatch;
        if (d.gesture == Gesture::kToggleOverlay) ++toggles;
    };
    feed(t.Press(kCtrl));
    feed(t.Press(kAlt));
    feed(t.Release(kAlt));
    feed(t.Release(kAlt));
    EXPECT_EQ(toggles, 1);
}

TEST(KeyTracker, OnlyLeftShiftPressedLastRepeats) {
    KeyTracker t = Standard();
    EXPECT_FALSE(t.ShiftRepeating());
    t.Press(kCtrl);
    EXPECT_FALSE(t.ShiftRepeating());  // Ctrl repeats, not Shift
    t.Press(kShift);
    EXPECT_TRUE(t.ShiftRepeating());
    const auto tick = t.RepeatTick();
    ASSERT_TRUE(tick);
    EXPECT_EQ(tick->message, kMsgKeyDown);
    EXPECT_EQ(tick->virtualKey, kVkLShift);

    t.Press(kLetterA);  // another key takes the repeat over
    EXPECT_FALSE(t.ShiftRepeating());
    EXPECT_FALSE(t.RepeatTick());
    t.Release(kLetterA);
    EXPECT_FALSE(t.ShiftRepeating());  // and it does not come back to Shift
}

TEST(KeyTracker, ShiftRepeatOutlivesCtrlReleaseButStopsWithShift) {
    KeyTracker t = Standard();
    t.Press(kCtrl);
    t.Press(kShift);
    t.Release(kCtrl);  // releasing another key does not stop the repeat...
    EXPECT_TRUE(t.ShiftRepeating());
    const auto tick = t.RepeatTick();
    ASSERT_TRUE(tick);
    // ...but without left Ctrl the repeat is no gesture.
    EXPECT_EQ(DecodeKeyEvent(*tick, t.LeftCtrlDown(), 0).gesture, Gesture::kNone);
    t.Release(kShift);
    EXPECT_FALSE(t.ShiftRepeating());
}

TEST(KeyTracker, ShiftThenCtrlGivesNoNewPattern) {
    KeyTracker t = Standard();
    std::int32_t latch = 0;
    auto e = t.Press(kShift);
    EXPECT_EQ(DecodeKeyEvent(*e, t.LeftCtrlDown(), latch).gesture, Gesture::kNone);
    e = t.Press(kCtrl);
    const KeyDecision d = DecodeKeyEvent(*e, t.LeftCtrlDown(), latch);
    EXPECT_EQ(d.gesture, Gesture::kCenterToCursor);
    EXPECT_FALSE(t.ShiftRepeating());
}

TEST(KeyTracker, UnknownKeycodesAreIgnored) {
    KeyTracker t(ModifierKeycodes{kCtrl, 0, kAlt});  // a keyboard map without Shift_L
    EXPECT_FALSE(t.Press(0));
    EXPECT_FALSE(t.Press(kKeycodeLimit));
    EXPECT_FALSE(t.Press(kShift));
    EXPECT_FALSE(t.ShiftRepeating());
    EXPECT_FALSE(t.IsDown(0));
}

TEST(KeyTracker, NewKeyboardMapForgetsHeldKeys) {
    KeyTracker t = Standard();
    t.Press(kCtrl);
    t.SetKeys(ModifierKeycodes{kCtrl, kShift, kAlt});  // same map: nothing forgotten
    EXPECT_TRUE(t.LeftCtrlDown());
    t.SetKeys(ModifierKeycodes{kRightCtrl, kShift, kAlt});
    EXPECT_FALSE(t.LeftCtrlDown());
    EXPECT_FALSE(t.Release(kCtrl));
}

}  // namespace
}  // namespace qv::linuxshell
