#include <gtest/gtest.h>

#include "win32.h"

#include <commctrl.h>

#include "hooks.h"
#include "private_messages.h"
#include "process_state.h"
#include "shell.h"
#include "win_test_env.h"

namespace qv {
namespace {

LRESULT Key(int code, UINT message, DWORD vk) {
    KBDLLHOOKSTRUCT record{};
    record.vkCode = vk;
    return KeyboardHookProc(code, message, reinterpret_cast<LPARAM>(&record));
}

LRESULT Mouse(UINT message, POINT pt, int wheelDelta) {
    MSLLHOOKSTRUCT record{};
    record.pt = pt;
    record.mouseData = static_cast<DWORD>(static_cast<WORD>(static_cast<short>(wheelDelta))) << 16;
    return MouseHookProc(HC_ACTION, message, reinterpret_cast<LPARAM>(&record));
}

void SendKey(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

TEST(SingleInstance, SecondAskFindsTheFirstMutex) {
    EXPECT_EQ(IsAlreadyRunning(), 0) << "no other copy runs during this test";
    EXPECT_EQ(IsAlreadyRunning(), 1);
}

TEST(Hooks, InstallOnceUninstallClears) {
    KeyboardHook keyboard;
    MouseHook mouse;
    EXPECT_EQ(keyboard.HookType(), WH_KEYBOARD_LL);
    EXPECT_EQ(mouse.HookType(), WH_MOUSE_LL);
    EXPECT_EQ(keyboard.Install(&KeyboardHookProc), 1);
    EXPECT_NE(keyboard.handle, nullptr);
    EXPECT_EQ(keyboard.Install(&KeyboardHookProc), 0) << "already installed";
    EXPECT_EQ(mouse.Install(&MouseHookProc), 1);
    keyboard.Uninstall();
    mouse.Uninstall();
    EXPECT_EQ(keyboard.handle, nullptr);
    EXPECT_EQ(mouse.handle, nullptr);
    keyboard.Uninstall();  // not installed: nothing
    EXPECT_EQ(keyboard.Install(&KeyboardHookProc), 1) << "installs again after removal";
    keyboard.Uninstall();
}

// Windows drops a low-level hook whose call waited too long, without a word.
TEST(Hooks, RenewBringsBackAHookTheSystemDropped) {
    KeyboardHook keyboard;
    EXPECT_EQ(keyboard.Renew(&KeyboardHookProc), 0) << "nothing to renew before Install";
    EXPECT_EQ(keyboard.handle, nullptr);
    ASSERT_EQ(keyboard.Install(&KeyboardHookProc), 1);
    ASSERT_TRUE(UnhookWindowsHookEx(keyboard.handle));  // what the system does to a hook that timed out
    EXPECT_EQ(keyboard.Renew(&KeyboardHookProc), 1);
    const HHOOK renewed = keyboard.handle;
    ASSERT_NE(renewed, nullptr);
    // A live hook is replaced, not doubled.
    EXPECT_EQ(keyboard.Renew(&KeyboardHookProc), 1);
    EXPECT_FALSE(UnhookWindowsHookEx(renewed));
    EXPECT_TRUE(UnhookWindowsHookEx(keyboard.handle));
    keyboard.handle = nullptr;
}

// What the overlay calls after every frame: only a slow one renews the hooks.
TEST(Hooks, OnlyASlowFrameRenewsTheInstalledHooks) {
    const auto frameDrawn = overlayParts.frameDrawn;
    ASSERT_NE(frameDrawn, nullptr);
    frameDrawn(kSlowFrameMs);  // none installed: nothing happens
    EXPECT_EQ(keyboardHook.handle, nullptr);
    EXPECT_EQ(mouseHook.handle, nullptr);
    ASSERT_EQ(keyboardHook.Install(&KeyboardHookProc), 1);
    ASSERT_EQ(mouseHook.Install(&MouseHookProc), 1);
    const HHOOK keyboardBefore = keyboardHook.handle, mouseBefore = mouseHook.handle;
    frameDrawn(kSlowFrameMs - 1);
    EXPECT_EQ(keyboardHook.handle, keyboardBefore);
    EXPECT_EQ(mouseHook.handle, mouseBefore);
    frameDrawn(kSlowFrameMs);
    EXPECT_NE(keyboardHook.handle, keyboardBefore);
    EXPECT_NE(mouseHook.handle, mouseBefore);
    EXPECT_FALSE(UnhookWindowsHookEx(keyboardBefore)) << "the old hooks are gone";
    EXPECT_FALSE(UnhookWindowsHookEx(mouseBefore));
    keyboardHook.Uninstall();
    mouseHook.Uninstall();
}

// The panel's Reset, through the parts the program hands the panel: both
// hooks end up installed afresh, whether or not the system dropped one.
TEST(Hooks, PanelResetPutsBothHooksBack) {
    ASSERT_NE(panelParts.reinstallHooks, nullptr);
    panelParts.reinstallHooks();
    ASSERT_NE(keyboardHook.handle, nullptr) << "hooks not installed are installed";
    ASSERT_NE(mouseHook.handle, nullptr);
    ASSERT_TRUE(UnhookWindowsHookEx(keyboardHook.handle));  // what the system does to a hook that timed out
    panelParts.reinstallHooks();
    ASSERT_NE(keyboardHook.handle, nullptr);
    EXPECT_TRUE(UnhookWindowsHookEx(keyboardHook.handle)) << "a live hook again";
    keyboardHook.handle = nullptr;
    mouseHook.Uninstall();
}

TEST(Hooks, LeftCtrlPressQueuesTheCursorOncePerPress) {
    test::OverlayForTest();
    test::CountPosted(0);
    ctrlLatch = 0;
    SetCursorPos(123, 45);
    Key(HC_ACTION, WM_KEYDOWN, VK_LCONTROL);
    EXPECT_EQ(ctrlLatch, 1);
    EXPECT_EQ(pointQueue.size(), 1u);
    EXPECT_EQ(test::CountPosted(WM_APP_MOVE_CENTER), 1);
    Key(HC_ACTION, WM_KEYDOWN, VK_LCONTROL);  // auto-repeat
    EXPECT_EQ(test::CountPosted(0), 0);
    EXPECT_EQ(pointQueue.size(), 1u);

    EnterCriticalSection(&queueLock);
    const DrainResult drained = pointQueue.Drain();
    LeaveCriticalSection(&queueLock);
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(drained.newest.x, cursor.x);
    EXPECT_EQ(drained.newest.y, cursor.y);

    Key(HC_ACTION, WM_KEYUP, VK_LCONTROL);
    EXPECT_EQ(ctrlLatch, 0);
    Key(HC_ACTION + 1, WM_KEYDOWN, VK_LCONTROL);  // not an action: not examined
    EXPECT_EQ(ctrlLatch, 0);
    EXPECT_EQ(test::CountPosted(0), 0);
}

TEST(Hooks, WithoutLeftCtrlNothingIsPosted) {
    test::OverlayForTest();
    test::CountPosted(0);
    ASSERT_GE(GetAsyncKeyState(VK_LCONTROL), 0) << "left Ctrl must be up for this test";
    Key(HC_ACTION, WM_KEYDOWN, VK_LSHIFT);
    Key(HC_ACTION, WM_KEYUP, VK_LMENU);
    Mouse(WM_MOUSEMOVE, POINT{5, 5}, 0);
    const std::uint16_t space = effectSettings.space;
    Mouse(WM_MOUSEWHEEL, POINT{5, 5}, 120);
    EXPECT_EQ(effectSettings.space, space);
    EXPECT_EQ(pointQueue.size(), 0u);
    EXPECT_EQ(test::CountPosted(0), 0);
}

TEST(Hooks, WheelWithLeftCtrlMovesSpaceAndTheSlider) {
    test::OverlayForTest();
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    HWND trackbar = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_POPUP, 0, 0, 200, 30, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(trackbar, nullptr);
    SendMessageW(trackbar, TBM_SETRANGEMAX, FALSE, 800);
    spaceTrackbar = trackbar;

    SendKey(VK_LCONTROL, false);
    for (int i = 0; i < 50 && GetAsyncKeyState(VK_LCONTROL) >= 0; ++i) Sleep(10);
    if (GetAsyncKeyState(VK_LCONTROL) >= 0) {
        SendKey(VK_LCONTROL, true);
        spaceTrackbar = nullptr;
        DestroyWindow(trackbar);
        GTEST_SKIP() << "this system does not report injected keys through GetAsyncKeyState";
    }
    test::CountPosted(0);
    effectSettings.space = 795;
    Mouse(WM_MOUSEWHEEL, POINT{0, 0}, 120);
    EXPECT_EQ(effectSettings.space, 800);
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETPOS, 0, 0), 800);
    effectSettings.space = 15;
    Mouse(WM_MOUSEWHEEL, POINT{0, 0}, -120);
    EXPECT_EQ(effectSettings.space, 10);
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETPOS, 0, 0), 10);
    EXPECT_EQ(test::CountPosted(WM_APP_REDRAW), 2);

    Mouse(WM_MOUSEMOVE, POINT{300, 200}, 0);
    EXPECT_EQ(test::CountPosted(WM_APP_MOVE_CENTER), 1);
    EnterCriticalSection(&queueLock);
    const DrainResult drained = pointQueue.Drain();
    LeaveCriticalSection(&queueLock);
    EXPECT_EQ(drained.count, 1u);
    EXPECT_EQ(drained.newest.x, 300);
    EXPECT_EQ(drained.newest.y, 200);

    SendKey(VK_LCONTROL, true);
    for (int i = 0; i < 50 && GetAsyncKeyState(VK_LCONTROL) < 0; ++i) Sleep(10);
    spaceTrackbar = nullptr;
    DestroyWindow(trackbar);
    effectSettings.space = kStartupSettings.space;
    test::CountPosted(0);
}

}  // namespace
}  // namespace qv
