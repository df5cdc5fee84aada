// The overlay window on monitors of the test's own making beside the one
// Wine shows: its surface and window follow a gesture to another monitor
// and back, the panel's redraws leave it where it is, and a display change
// without its monitor brings it back to the primary with nothing lost.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "monitor_list.h"
#include "private_messages.h"
#include "win_test_env.h"

namespace qv {
namespace {

RECT WindowRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
}

// The overlay covers `m`: the surface at its size, the window on it.
void ExpectOver(const test::OverlayUnderTest& o, const Monitor& m) {
    EXPECT_EQ(o.layer.monitor, m);
    EXPECT_EQ(o.layer.surface.width, m.rect.Width());
    EXPECT_EQ(o.layer.surface.height, m.rect.Height());
    const RECT r = WindowRect(o.window);
    EXPECT_EQ(r.left, m.rect.left);
    EXPECT_EQ(r.top, m.rect.top);
    EXPECT_EQ(r.right, m.rect.right) << "presenting sizes the window";
    EXPECT_EQ(r.bottom, m.rect.bottom);
}

class OverlayOnMonitors : public ::testing::Test {
protected:
    void SetUp() override {
        SetCursorPos(10, 10);
        const MonitorList real = EnumerateMonitors();
        ASSERT_EQ(real.count, 1u) << "these cases add a monitor to Wine's one";
        first = real.monitors[0];
        // Right of it, smaller, as a projector beside a laptop's screen.
        second = Monitor{ScreenRect{first.rect.right, 0, first.rect.right + 640, 480}, 2, false};
    }
    void TearDown() override { FitToDesktop(o.parts); }

    const test::OverlayUnderTest o = test::OverlayForTest();
    Monitor first, second;
};

TEST_F(OverlayOnMonitors, ADragTakesSurfaceAndWindowToAnotherMonitorAndBackWithTheSamePattern) {
    const std::array<Monitor, 2> both{first, second};
    const std::uint32_t seed = o.layer.random.storedSeed;
    ASSERT_TRUE(FollowGestureOn(o.parts, both, {second.rect.left + 100, 50}, GestureReach::kCenterToPointer));
    RedrawOverlay(o.parts, kReplaySelector);
    ExpectOver(o, second);
    EXPECT_EQ(o.settings.centerX, 100);
    EXPECT_EQ(o.settings.centerY, 50);
    EXPECT_EQ(o.layer.random.storedSeed, seed);
    // Pinned there, not to the origin.
    SetWindowPos(o.window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(WindowRect(o.window).left, second.rect.left);

    EXPECT_FALSE(FollowGestureOn(o.parts, both, {second.rect.left, 479}, GestureReach::kCenterToPointer));
    ASSERT_TRUE(FollowGestureOn(o.parts, both, {second.rect.left - 1, 10}, GestureReach::kCenterToPointer));
    RedrawOverlay(o.parts, kReplaySelector);
    ExpectOver(o, first);
    EXPECT_EQ(o.settings.centerX, first.rect.right - 1);
    EXPECT_EQ(o.layer.random.storedSeed, seed);
}

TEST_F(OverlayOnMonitors, TheWheelFollowsTheCursorAndThePanelsRedrawDoesNot) {
    const std::array<Monitor, 2> both{first, second};
    ASSERT_TRUE(FollowGestureOn(o.parts, both, {second.rect.left + 5, 5}, GestureReach::kInPlace));
    EXPECT_EQ(o.settings.centerX, 320) << "the other gestures put the centre in the middle";
    EXPECT_EQ(o.settings.centerY, 240);
    RedrawOverlay(o.parts, kReplaySelector);
    const std::uint32_t seed = o.layer.random.storedSeed;

    SendMessageW(o.window, WM_APP_REDRAW, 0, 0);
    ExpectOver(o, second);
    // The cursor is on the first monitor, the only one Wine knows.
    SendMessageW(o.window, WM_APP_REDRAW, kRedrawAfterWheel, 0);
    ExpectOver(o, first);
    EXPECT_EQ(o.settings.centerX, first.rect.Width() / 2);
    EXPECT_EQ(o.layer.random.storedSeed, seed);
}

TEST_F(OverlayOnMonitors, ADisplayChangeWithoutItsMonitorBringsItBackToThePrimaryWithNothingLost) {
    const std::array<Monitor, 2> both{first, second};
    ASSERT_TRUE(FollowGestureOn(o.parts, both, {second.rect.left + 100, 50}, GestureReach::kCenterToPointer));
    RedrawOverlay(o.parts, kReplaySelector);
    o.settings.space = 150;
    o.settings.red = 200;
    const std::uint32_t seed = o.layer.random.storedSeed;

    // Still there: it stays, centre in its middle, a new pattern.
    Sleep(20);  // the seed comes from the tick count
    FitToMonitors(o.parts, both);
    ExpectOver(o, second);
    EXPECT_EQ(o.settings.centerX, 320);
    EXPECT_NE(o.layer.random.storedSeed, seed);

    // Gone: back on the primary.
    const std::array<Monitor, 1> firstOnly{first};
    FitToMonitors(o.parts, firstOnly);
    ExpectOver(o, first);
    EXPECT_EQ(o.settings.centerX, first.rect.Width() / 2);
    EXPECT_EQ(o.settings.centerY, first.rect.Height() / 2);
    EXPECT_EQ(o.settings.space, 150);
    EXPECT_EQ(o.settings.red, 200);
    EXPECT_NE(o.layer.surface.bits, nullptr);
    ApplyStartupDefaults(o.settings);
}

}  // namespace
}  // namespace qv
