#include "gesture_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "effect_settings.h"

namespace qv {
namespace {

constexpr std::uint32_t kVkRShift = 161;
constexpr std::uint32_t kVkRControl = 163;
constexpr std::uint32_t kVkRMenu = 165;
constexpr std::uint32_t kVkA = 0x41;

KeyDecision Key(std::uint32_t message, std::uint32_t vk, bool ctrl, std::int32_t latch) {
    return DecodeKeyEvent(KeyEvent{message, vk}, ctrl, latch);
}

std::uint32_t WheelData(int delta) { return static_cast<std::uint32_t>(static_cast<std::uint16_t>(delta)) << 16; }

TEST(KeyGestures, LeftCtrlPressMovesCentreOnceUntilReleased) {
    // First key-down: latch set, centre to cursor.
    KeyDecision d = Key(kMsgKeyDown, kVkLControl, true, 0);
    EXPECT_EQ(d.gesture, Gesture::kCenterToCursor);
    EXPECT_EQ(d.ctrlLatch, 1);
    // Auto-repeat: nothing, latch stays.
    d = Key(kMsgKeyDown, kVkLControl, true, d.ctrlLatch);
    EXPECT_EQ(d.gesture, Gesture::kNone);
    EXPECT_EQ(d.ctrlLatch, 1);
    // Key-up clears the latch, and the centre rests; the next press moves again.
    d = Key(kMsgKeyUp, kVkLControl, false, d.ctrlLatch);
    EXPECT_EQ(d.gesture, Gesture::kCenterRests);
    EXPECT_EQ(d.ctrlLatch, 0);
    d = Key(kMsgKeyDown, kVkLControl, true, d.ctrlLatch);
    EXPECT_EQ(d.gesture, Gesture::kCenterToCursor);
}

TEST(KeyGestures, SystemKeyUpOfCtrlLeavesLatchSet) {
    KeyDecision d = Key(kMsgSysKeyUp, kVkLControl, false, 1);
    EXPECT_EQ(d.ctrlLatch, 1);
    d = Key(kMsgKeyDown, kVkLControl, true, d.ctrlLatch);
    EXPECT_EQ(d.gesture, Gesture::kNone) << "no move until a plain key-up was seen";
    d = Key(kMsgSysKeyDown, kVkLControl, true, 0);
    EXPECT_EQ(d.gesture, Gesture::kNone);
    EXPECT_EQ(d.ctrlLatch, 0);
}

TEST(KeyGestures, ShiftWithCtrlGivesNewPatternEachRepeat) {
    for (int repeat = 0; repeat < 3; ++repeat) {
        const KeyDecision d = Key(kMsgKeyDown, kVkLShift, true, 1);
        EXPECT_EQ(d.gesture, Gesture::kNewPattern);
        EXPECT_EQ(d.ctrlLatch, 1);
    }
    EXPECT_EQ(Key(kMsgKeyDown, kVkLShift, false, 0).gesture, Gesture::kNone);
    EXPECT_EQ(Key(kMsgKeyUp, kVkLShift, true, 1).gesture, Gesture::kNone);
}

TEST(KeyGestures, AltReleaseWithCtrlToggles) {
    EXPECT_EQ(Key(kMsgKeyUp, kVkLMenu, true, 1).gesture, Gesture::kToggleOverlay);
    // Ctrl released before Alt: nothing.
    EXPECT_EQ(Key(kMsgKeyUp, kVkLMenu, false, 0).gesture, Gesture::kNone);
    // Alt pressed, or released as a system key: nothing.
    EXPECT_EQ(Key(kMsgKeyDown, kVkLMenu, true, 1).gesture, Gesture::kNone);
    EXPECT_EQ(Key(kMsgSysKeyUp, kVkLMenu, true, 1).gesture, Gesture::kNone);
}

TEST(KeyGestures, RightHandModifiersAndOtherKeysDoNothing) {
    for (std::uint32_t vk : {kVkRShift, kVkRControl, kVkRMenu, kVkA}) {
        for (std::uint32_t msg : {kMsgKeyDown, kMsgKeyUp}) {
            const KeyDecision d = Key(msg, vk, true, 0);
            EXPECT_EQ(d.gesture, Gesture::kNone) << vk << " " << msg;
            EXPECT_EQ(d.ctrlLatch, 0);
        }
    }
    // Right Ctrl's key-up leaves the latch alone.
    EXPECT_EQ(Key(kMsgKeyUp, kVkRControl, false, 1).ctrlLatch, 1);
}

TEST(MouseGestures, MoveWithCtrlQueuesThePoint) {
    EXPECT_EQ(DecodeMouseEvent({kMsgMouseMove, 0}, true, 100).gesture, Gesture::kCenterToPoint);
    EXPECT_EQ(DecodeMouseEvent({kMsgMouseMove, 0}, false, 100).gesture, Gesture::kNone);
}

TEST(MouseGestures, WheelWithCtrlStepsSpaceByATenthOfANotch) {
    struct Case {
        std::uint16_t space;
        int delta;
        std::uint16_t expected;
    };
    const Case cases[] = {
        {100, 120, 110}, {100, -120, 90}, {15, -120, 10}, {795, 120, 800}, {100, 11, 100},
        {100, -11, 100}, {100, 12, 101}, {100, -13, 99},  {100, 240, 120}, {800, 32767, 800},
        {10, -32768, 10},
    };
    for (const Case& c : cases) {
        const MouseDecision d = DecodeMouseEvent({kMsgMouseWheel, WheelData(c.delta)}, true, c.space);
        EXPECT_EQ(d.gesture, Gesture::kSpaceWheel) << c.delta;
        EXPECT_EQ(d.space, c.expected) << c.space << " + " << c.delta;
    }
}

TEST(MouseGestures, WheelClampsOutOfRangeSpaceIntoRange) {
    EXPECT_EQ(WheelSpace(5, 0), kSpaceRange.min);
    EXPECT_EQ(WheelSpace(65535, 0), kSpaceRange.max);
}

TEST(MouseGestures, WheelDeltaIgnoresTheLowWord) {
    EXPECT_EQ(WheelDelta(WheelData(-120) | 0xFFFFu), -120);
    EXPECT_EQ(WheelDelta(0x0000FFFFu), 0);
}

TEST(MouseGestures, OtherEventsAndNoCtrlLeaveSpaceAlone) {
    const MouseDecision noCtrl = DecodeMouseEvent({kMsgMouseWheel, WheelData(120)}, false, 100);
    EXPECT_EQ(noCtrl.gesture, Gesture::kNone);
    EXPECT_EQ(noCtrl.space, 100);
    const MouseDecision hwheel = DecodeMouseEvent({kMsgMouseHWheel, WheelData(120)}, true, 100);
    EXPECT_EQ(hwheel.gesture, Gesture::kNone);
    EXPECT_EQ(hwheel.space, 100);
    EXPECT_EQ(DecodeMouseEvent({0x0201 /* left button down */, 0}, true, 100).gesture, Gesture::kNone);
}

TEST(GestureMessages, EachGestureAsksForItsMessage) {
    EXPECT_EQ(MessageFor(Gesture::kCenterToCursor).message, WM_APP_MOVE_CENTER);
    EXPECT_EQ(MessageFor(Gesture::kCenterToPoint).message, WM_APP_MOVE_CENTER);
    EXPECT_EQ(MessageFor(Gesture::kNewPattern).message, WM_APP_HOTKEY);
    EXPECT_EQ(MessageFor(Gesture::kNewPattern).wParam, kVkLShift);
    EXPECT_EQ(MessageFor(Gesture::kToggleOverlay).message, WM_APP_HOTKEY);
    EXPECT_EQ(MessageFor(Gesture::kToggleOverlay).wParam, kVkLMenu);
    EXPECT_EQ(MessageFor(Gesture::kSpaceWheel).message, WM_APP_REDRAW);
    EXPECT_EQ(MessageFor(Gesture::kSpaceWheel).wParam, kRedrawAfterWheel) << "told from the panel's redraw";
    EXPECT_EQ(MessageFor(Gesture::kCenterRests).message, WM_APP_CENTER_RESTS);
    EXPECT_EQ(MessageFor(Gesture::kNone).message, 0u);
}

TEST(Visibility, OnlyExactlyOneHides) {
    EXPECT_FALSE(ToggleVisibility(1).show);
    EXPECT_EQ(ToggleVisibility(1).visible, 0);
    for (std::int32_t v : {0, 2, -1}) {
        EXPECT_TRUE(ToggleVisibility(v).show) << v;
        EXPECT_EQ(ToggleVisibility(v).visible, 1);
    }
}

}  // namespace
}  // namespace qv
