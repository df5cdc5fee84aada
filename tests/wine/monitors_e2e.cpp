// quorvane.exe on a desktop of two monitors, under Wine on Xephyr with
// Xinerama (scripts/test-wine's two-monitor run: 1280x720 and 1024x768 right
// of it, which Wine reports as two monitors): the overlay starts on the
// first monitor only, a left-Ctrl gesture on the second moves it there with
// the empty centre under the cursor, a drag back across the seam brings it
// back, a display change keeps it on its monitor, and the panel stays where
// it was and keeps working.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "panel_e2e_support.h"
#include "panel_ids.h"

namespace qv::e2e {
namespace {

constexpr int kProbe = 20;  // half the side of a square probed around a point
constexpr DWORD kBetweenEventsMs = 40;

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        auto* monitors = reinterpret_cast<std::vector<MONITORINFO>*>(list);
        // The primary first.
        if (info.dwFlags & MONITORINFOF_PRIMARY)
            monitors->insert(monitors->begin(), info);
        else
            monitors->push_back(info);
    }
    return TRUE;
}

std::vector<MONITORINFO> Monitors() {
    std::vector<MONITORINFO> monitors;
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void Press(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
    Sleep(kBetweenEventsMs);
}

// A mouse move the hooks see, to a point of the virtual screen.
void MoveMouse(int x, int y) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x - left, 65535, width - 1);
    in.mi.dy = MulDiv(y - top, 65535, height - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &in, sizeof in);
    Sleep(kBetweenEventsMs);
}

class TwoMonitorsE2E : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<MONITORINFO> monitors = Monitors();
        ASSERT_EQ(monitors.size(), 2u) << "this run needs Wine to report two monitors";
        first = monitors[0].rcMonitor;
        second = monitors[1].rcMonitor;
        screen = RECT{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
        screen.right = screen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
        screen.bottom = screen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
        SetCursorPos(first.left + 5, first.top + 5);
        program = std::make_unique<RunningProgram>(QuorvanePath());
        ASSERT_TRUE(program->Started()) << "quorvane.exe did not show its overlay and panel";
        background = program->Background(screen);
    }

    RECT OverlayRect() const {
        RECT r{};
        GetWindowRect(program->Overlay(), &r);
        return r;
    }

    // A rectangle of the virtual screen in the shot's pixels.
    RECT InShot(const RECT& r) const {
        return RECT{r.left - screen.left, r.top - screen.top, r.right - screen.left, r.bottom - screen.top};
    }

    long Lines(const Screenshot& shot, const RECT& region) const {
        const RECT panel = program->PanelRect();
        return CountMarked(shot, background, InShot(region), InShot(panel));
    }

    long LinesAround(const Screenshot& shot, POINT p) const {
        return Lines(shot, RECT{p.x - kProbe, p.y - kProbe, p.x + kProbe, p.y + kProbe});
    }

    // The lines on one monitor only, with the empty centre at `centre`.
    void ExpectPicture(const RECT& on, const RECT& off, POINT centre, const char* when) const {
        const Screenshot shot = program->Capture(screen);
        EXPECT_GT(Lines(shot, on), 0) << when << ": no lines where the overlay is";
        EXPECT_EQ(Lines(shot, off), 0) << when << ": lines where the overlay is not";
        EXPECT_EQ(LinesAround(shot, centre), 0) << when << ": the empty centre is elsewhere";
    }

    std::unique_ptr<RunningProgram> program;
    RECT first{}, second{}, screen{};
    Screenshot background;
};

TEST_F(TwoMonitorsE2E, StartsOnTheFirstMonitorOnlyWithThePanelInItsCorner) {
    EXPECT_TRUE(Same(OverlayRect(), first));
    ExpectPicture(first, second, POINT{(first.left + first.right) / 2, (first.top + first.bottom) / 2},
                  "start");
    const RECT panel = program->PanelRect();
    EXPECT_EQ(panel.right, first.right);
    EXPECT_EQ(panel.bottom, first.bottom);
}

TEST_F(TwoMonitorsE2E, ALeftCtrlDragOnTheSecondMonitorTakesTheOverlayThereAndBackAcrossTheSeam) {
    // Left Ctrl pressed on the second monitor: the overlay moves there,
    // its empty centre under the cursor, the first monitor clear.
    const POINT there{second.left + (second.right - second.left) / 3, second.top + 400};
    SetCursorPos(there.x, there.y);
    Press(VK_LCONTROL, false);
    Press(VK_LCONTROL, true);
    program->Settle();
    EXPECT_TRUE(Same(OverlayRect(), second));
    ExpectPicture(second, first, there, "on the second monitor");

    // Dragged back across the seam with left Ctrl held: the overlay follows.
    Press(VK_LCONTROL, false);
    MoveMouse(second.left + 10, there.y);
    MoveMouse(first.right - 100, first.top + 200);
    Press(VK_LCONTROL, true);
    program->Settle();
    POINT back{};
    GetCursorPos(&back);
    EXPECT_TRUE(Same(OverlayRect(), first));
    ExpectPicture(first, second, back, "back on the first monitor");

    // The panel is where it was, and still works. (Whether it is above the
    // lines is Wine's to show: it stacks the topmost overlay above the panel
    // it owns, on one monitor as on two.)
    const RECT panel = program->PanelRect();
    EXPECT_EQ(panel.right, first.right);
    EXPECT_EQ(panel.bottom, first.bottom);
    program->Click(IDC_CB_DENSITY_JITTER);
    program->Settle();
    EXPECT_FALSE(program->Checked(IDC_CB_DENSITY_JITTER));
    EXPECT_EQ(program->CloseAndWait(), 0u);
}

TEST_F(TwoMonitorsE2E, ADisplayChangeRefitsToTheMonitorTheOverlayIsOn) {
    SetCursorPos(second.left + 50, second.top + 60);
    Press(VK_LCONTROL, false);
    Press(VK_LCONTROL, true);
    program->Settle();
    ASSERT_TRUE(Same(OverlayRect(), second));

    // Both monitors are still there: the overlay stays on the second, its
    // centre back in the middle, and runs on.
    SendMessageW(program->Overlay(), WM_DISPLAYCHANGE, 32,
                 MAKELPARAM(first.right - first.left, first.bottom - first.top));
    program->Settle();
    EXPECT_TRUE(Same(OverlayRect(), second));
    ExpectPicture(second, first, POINT{(second.left + second.right) / 2, (second.top + second.bottom) / 2},
                  "after the display change");
    EXPECT_FALSE(program->Exited(0));
}

}  // namespace
}  // namespace qv::e2e
