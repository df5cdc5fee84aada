// quorvane.exe as a whole, under Wine: the overlay window start-up leaves,
// the single-instance rule, the gestures seen by the global hooks (sent
// with SendInput), and the end of the program.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "panel_e2e_support.h"
#include "private_messages.h"
#include "shell.h"

namespace qv::e2e {
namespace {

constexpr LONG kFinalExStyle = 0x000800A8;  // layered, tool window, topmost, click-through
constexpr DWORD kExitTimeoutMs = 15000;
constexpr int kProbe = 20;  // half the side of a square probed around a point
constexpr int kWheelNotch = 120;

RECT Around(int x, int y, int half) { return RECT{x - half, y - half, x + half, y + half}; }

RECT Desktop() {
    RECT r{};
    GetWindowRect(GetDesktopWindow(), &r);
    return r;
}

// One event at a time, with a pause between, as a hand would: the hooks ask
// for the key state when they handle an event, and under Wine a burst can
// be over before the hook sees its first event.
void Send(std::vector<INPUT> inputs) {
    constexpr DWORD kBetweenEventsMs = 40;
    for (INPUT& in : inputs) {
        SendInput(1, &in, sizeof(INPUT));
        Sleep(kBetweenEventsMs);
    }
}

INPUT KeyInput(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    // The right-hand modifiers are extended keys; without the flag the
    // system takes them for the left-hand ones.
    if (vk == VK_RCONTROL || vk == VK_RMENU) in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return in;
}

// Starts a copy of the program and runs it with its panel out of the way,
// so the picture can be looked at over the whole screen.
class ProgramE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(FindWindowW(kWindowClassName, kWindowClassName), nullptr) << "another copy is still running";
        program = std::make_unique<RunningProgram>(QuorvanePath());
        ASSERT_TRUE(program->Started()) << "quorvane.exe did not show its overlay and panel";
        ShowWindow(program->Panel(), SW_HIDE);
        desktop = Desktop();
        centreX = (desktop.right - desktop.left) / 2;
        centreY = (desktop.bottom - desktop.top) / 2;
        background = program->Background();
    }

    long LinesAround(const Screenshot& shot, int x, int y, int half = kProbe) const {
        return CountMarked(shot, background, Around(x, y, half), RECT{});
    }

    std::unique_ptr<RunningProgram> program;
    RECT desktop{};
    int centreX = 0;
    int centreY = 0;
    Screenshot background;
};

TEST_F(ProgramE2E, OverlayWindowClassTitleStyleAndPlace) {
    HWND overlay = program->Overlay();
    wchar_t text[64] = {};
    GetClassNameW(overlay, text, 64);
    EXPECT_STREQ(text, kWindowClassName);
    GetWindowTextW(overlay, text, 64);
    EXPECT_STREQ(text, kWindowClassName);
    EXPECT_EQ(FindWindowW(kWindowClassName, kWindowClassName), overlay);
    EXPECT_EQ(GetWindowLongW(overlay, GWL_EXSTYLE), kFinalExStyle);
    EXPECT_EQ(GetWindowLongW(overlay, GWL_STYLE) & (WS_POPUP | WS_CAPTION), static_cast<LONG>(WS_POPUP));
    EXPECT_TRUE(IsWindowVisible(overlay));
    RECT r{};
    GetWindowRect(overlay, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, desktop.right - desktop.left);
    EXPECT_EQ(r.bottom, desktop.bottom - desktop.top);
    // The first frame is up: lines away from the centre, an empty centre.
    const Screenshot shot = program->Capture();
    EXPECT_GT(CountMarked(shot, background, RECT{0, 0, r.right, r.bottom}, RECT{}), 0);
    EXPECT_EQ(LinesAround(shot, centreX, centreY), 0);
}

TEST_F(ProgramE2E, SecondStartBringsTheFirstForwardAndEndsWithMinusOne) {
    ShowWindow(program->Overlay(), SW_HIDE);
    ASSERT_FALSE(IsWindowVisible(program->Overlay()));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION second{};
    std::wstring path = QuorvanePath();
    std::wstring commandLine = L"\"" + path + L"\"";
    ASSERT_TRUE(CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &second));
    ASSERT_EQ(WaitForSingleObject(second.hProcess, kExitTimeoutMs), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(second.hProcess, &code);
    CloseHandle(second.hThread);
    CloseHandle(second.hProcess);
    EXPECT_EQ(code, static_cast<DWORD>(kExitFailure)) << "the shell sees 255";

    EXPECT_FALSE(program->Exited(0)) << "the first copy keeps running";
    EXPECT_TRUE(IsWindowVisible(program->Overlay())) << "and its overlay is shown again";
    EXPECT_EQ(FindWindowW(kWindowClassName, kWindowClassName), program->Overlay()) << "one overlay window";
}

TEST_F(ProgramE2E, LeftCtrlPressMovesTheCentreToTheCursor) {
    const int x = centreX / 2;
    const int y = centreY / 2;
    const Screenshot before = program->Capture();
    ASSERT_GT(LinesAround(before, x, y), 0) << "lines cross the target before the move";

    SetCursorPos(x, y);
    Send({KeyInput(VK_LCONTROL, false), KeyInput(VK_LCONTROL, true)});
    program->Settle();
    const Screenshot after = program->Capture();
    EXPECT_EQ(LinesAround(after, x, y), 0) << "the empty centre is at the cursor";
    EXPECT_GT(LinesAround(after, centreX, centreY), 0) << "and no longer in the middle";

    // A right Ctrl press is no gesture.
    SetCursorPos(centreX, centreY);
    Send({KeyInput(VK_RCONTROL, false), KeyInput(VK_RCONTROL, true)});
    program->Settle();
    EXPECT_EQ(CountDifferent(program->Capture(), after, RECT{}), 0);
}

TEST_F(ProgramE2E, LeftCtrlWithLeftShiftDrawsANewPattern) {
    SetCursorPos(centreX, centreY);  // the Ctrl press then keeps the centre where it is
    const Screenshot before = program->Capture();
    Send({KeyInput(VK_LSHIFT, false), KeyInput(VK_LSHIFT, true)});  // Shift alone: nothing
    program->Settle();
    EXPECT_EQ(CountDifferent(program->Capture(), before, RECT{}), 0);

    Send({KeyInput(VK_LCONTROL, false), KeyInput(VK_LSHIFT, false), KeyInput(VK_LSHIFT, true),
          KeyInput(VK_LCONTROL, true)});
    program->Settle();
    const Screenshot after = program->Capture();
    const long changed = CountDifferent(after, before, RECT{});
    EXPECT_GT(changed, static_cast<long>(after.pixels.size() / 100)) << "a different set of lines";
    EXPECT_EQ(LinesAround(after, centreX, centreY), 0) << "around the same centre";
}

TEST_F(ProgramE2E, LeftCtrlAndReleaseOfLeftAltHidesThenShows) {
    SetCursorPos(centreX, centreY);
    const auto toggle = [] {
        Send({KeyInput(VK_LCONTROL, false), KeyInput(VK_LMENU, false), KeyInput(VK_LMENU, true),
              KeyInput(VK_LCONTROL, true)});
    };
    toggle();
    program->Settle();
    EXPECT_FALSE(IsWindowVisible(program->Overlay()));
    EXPECT_EQ(CountDifferent(program->Capture(), background, RECT{}), 0) << "nothing of the overlay on screen";
    toggle();
    program->Settle();
    EXPECT_TRUE(IsWindowVisible(program->Overlay()));
    EXPECT_GT(CountDifferent(program->Capture(), background, RECT{}), 0);

    // Ctrl released before Alt: no gesture.
    Send({KeyInput(VK_LCONTROL, false), KeyInput(VK_LMENU, false), KeyInput(VK_LCONTROL, true),
          KeyInput(VK_LMENU, true)});
    program->Settle();
    EXPECT_TRUE(IsWindowVisible(program->Overlay()));
}

TEST_F(ProgramE2E, LeftCtrlWheelGrowsAndShrinksTheEmptyCentre) {
    SetCursorPos(centreX, centreY);
    const int probe = 150;  // beyond the start-up empty centre
    const long atStart = LinesAround(program->Capture(), centreX, centreY, probe);
    const auto wheel = [](int notches) {
        INPUT turn{};
        turn.type = INPUT_MOUSE;
        turn.mi.dwFlags = MOUSEEVENTF_WHEEL;
        turn.mi.mouseData = static_cast<DWORD>(notches * kWheelNotch);
        Send({KeyInput(VK_LCONTROL, false), turn, KeyInput(VK_LCONTROL, true)});
    };
    wheel(5);  // space 100 -> 150
    program->Settle();
    const long grown = LinesAround(program->Capture(), centreX, centreY, probe);
    EXPECT_LT(grown, atStart);
    wheel(-10);  // space 150 -> 50
    program->Settle();
    const long shrunk = LinesAround(program->Capture(), centreX, centreY, probe);
    EXPECT_GT(shrunk, atStart);

    // Without Ctrl the wheel is no gesture.
    INPUT turn{};
    turn.type = INPUT_MOUSE;
    turn.mi.dwFlags = MOUSEEVENTF_WHEEL;
    turn.mi.mouseData = static_cast<DWORD>(5 * kWheelNotch);
    Send({turn});
    program->Settle();
    EXPECT_EQ(LinesAround(program->Capture(), centreX, centreY, probe), shrunk);
}

TEST_F(ProgramE2E, CloseMessageEndsTheProgramWithZero) {
    DWORD pid = 0;
    GetWindowThreadProcessId(program->Overlay(), &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    ASSERT_NE(process, nullptr);
    PostMessageW(program->Overlay(), WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process, kExitTimeoutMs), WAIT_OBJECT_0);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(FindWindowW(kWindowClassName, kWindowClassName), nullptr) << "nothing left running";
}

}  // namespace
}  // namespace qv::e2e
