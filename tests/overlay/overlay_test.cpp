#include <gtest/gtest.h>

#include <cstdint>

#include "counting_allocator.h"
#include "frame_composer.h"
#include "gdiplus_startup.h"
#include "layered_window.h"
#include "private_messages.h"
#include "win_test_env.h"

namespace qv {
namespace {

std::size_t CountNonZero(const OverlaySurface& s) {
    const auto* p = static_cast<const std::uint32_t*>(s.bits);
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.byteSize / 4; ++i) n += p[i] != 0;
    return n;
}

TEST(OverlaySurface, FullHdSurfaceHasItsBytesAndReleasesToNothing) {
    OverlaySurface s;
    EXPECT_EQ(CreateSurface(1920, 1080, s), 1);
    ASSERT_NE(s.bits, nullptr);
    ASSERT_NE(s.memoryDC, nullptr);
    EXPECT_EQ(s.byteSize, 8294400u);
    EXPECT_EQ(GetCurrentObject(s.memoryDC, OBJ_BITMAP), s.bitmap);
    HBITMAP bitmap = s.bitmap;
    ReleaseSurface(s);
    EXPECT_EQ(s.memoryDC, nullptr);
    EXPECT_EQ(s.bitmap, nullptr);
    EXPECT_EQ(s.bits, nullptr);
    EXPECT_EQ(s.byteSize, 0u);
    EXPECT_EQ(GetObjectType(bitmap), 0u) << "the DIB section is deleted";
    ReleaseSurface(s);  // nothing held: nothing happens
    EXPECT_EQ(s.memoryDC, nullptr);
}

TEST(OverlaySurface, ByteSizeOfTheLargestSurfaceDoesNotWrap) {
    // 65535 x 65535 x 4 is beyond 32 bits; the DIB section may well fail,
    // but the size must never be a wrapped small number.
    OverlaySurface s;
    CreateSurface(65535, 65535, s);
    if (s.bits != nullptr) EXPECT_EQ(s.byteSize, 65535ull * 65535ull * 4ull);
    else EXPECT_EQ(s.byteSize, 0u);
    ReleaseSurface(s);
}

TEST(OverlaySurface, SurfaceWithoutPixelsIsNeverDrawnInto) {
    OverlaySurface s;
    CreateSurface(0, 0, s);  // no DIB section can be made
    EXPECT_EQ(s.bits, nullptr);
    EXPECT_EQ(s.byteSize, 0u);
    EffectSettings settings = kStartupSettings;
    RandomSource random;
    std::uint8_t alpha = 0;
    Surface view = s.View();
    RenderFrame(kNewPatternSelector, settings, random, view, alpha);  // must not write through null
    EXPECT_EQ(alpha, 255) << "the frame still takes its constant alpha";
    ReleaseSurface(s);
}

TEST(FitToDesktop, SizesToTheDesktopAndCentres) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const LONG w = desktop.right - desktop.left;
    const LONG h = desktop.bottom - desktop.top;
    o.settings.centerX = 3;
    o.settings.centerY = 4;
    FitToDesktop(o.parts);
    EXPECT_EQ(o.layer.size.cx, w);
    EXPECT_EQ(o.layer.size.cy, h);
    EXPECT_EQ(o.layer.surface.byteSize, static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4u);
    EXPECT_EQ(o.settings.centerX, w / 2);
    EXPECT_EQ(o.settings.centerY, h / 2);
    EXPECT_GT(CountNonZero(o.layer.surface), 0u) << "a first frame was drawn";
    RECT window;
    GetWindowRect(o.window, &window);
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(window.right, w) << "presenting sizes the window";
    EXPECT_EQ(window.bottom, h);
}

TEST(FitToDesktop, TwiceLeavesOneSurfaceAndANewPattern) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    HBITMAP first = o.layer.surface.bitmap;
    const std::uint32_t seed = o.layer.random.storedSeed;
    Sleep(20);  // the seed comes from the tick count
    FitToDesktop(o.parts);
    EXPECT_EQ(GetObjectType(first), 0u) << "the first surface was released";
    EXPECT_NE(o.layer.surface.bitmap, nullptr);
    EXPECT_NE(o.layer.random.storedSeed, seed);
}

TEST(FitToDesktop, HandsTheJitterPercentagesToTheRandomSource) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    o.settings.densityJitter = 11;
    o.settings.thicknessJitter = 22;
    o.settings.spaceJitter = 33;
    o.settings.alphaJitter = 44;
    FitToDesktop(o.parts);
    EXPECT_EQ(o.layer.random.jitterPercent[0], 11);
    EXPECT_EQ(o.layer.random.jitterPercent[1], 22);
    EXPECT_EQ(o.layer.random.jitterPercent[2], 33);
    EXPECT_EQ(o.layer.random.jitterPercent[3], 44);
    ApplyStartupDefaults(o.settings);
}

TEST(OverlayWindow, MoveCentreTakesTheNewestPointAndDrawsOnce) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    HWND w = o.window;
    o.settings.centerX = 7;
    o.settings.centerY = 8;
    EXPECT_EQ(SendMessageW(w, WM_APP_MOVE_CENTER, 0, 0), 0);
    EXPECT_EQ(o.settings.centerX, 7) << "empty queue: centre unchanged";

    EnterCriticalSection(&o.pointsLock);
    o.points.Append({10, 20});
    o.points.Append({30, 40});
    o.points.Append({50, 60});
    LeaveCriticalSection(&o.pointsLock);
    EXPECT_EQ(SendMessageW(w, WM_APP_MOVE_CENTER, 0, 0), 0);
    EXPECT_EQ(o.settings.centerX, 50);
    EXPECT_EQ(o.settings.centerY, 60);
    EXPECT_EQ(o.points.size(), 0u);
    // The frame was drawn around the new centre: its pixel is empty, while
    // the old centre of the desktop now has lines near it.
    const auto* p = static_cast<const std::uint32_t*>(o.layer.surface.bits);
    EXPECT_EQ(p[60 * o.layer.surface.width + 50], 0u);
}

// A drag redraws once per mouse event: after the first frame, frames reuse
// the surface and the fill's working memory instead of allocating anew.
TEST(OverlayWindow, FramesAfterTheFirstAllocateNothing) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    HWND w = o.window;
    o.settings.blurLevel = 5;  // the blur passes need the most working memory
    SendMessageW(w, WM_APP_REDRAW, 0, 0);
    EnterCriticalSection(&o.pointsLock);
    o.points.Append({100, 80});
    LeaveCriticalSection(&o.pointsLock);
    const std::size_t before = test::allocationCount.load();
    SendMessageW(w, WM_APP_REDRAW, 0, 0);
    SendMessageW(w, WM_APP_MOVE_CENTER, 0, 0);
    SendMessageW(w, WM_APP_REDRAW, 0, 0);
    EXPECT_EQ(test::allocationCount.load(), before);
    ASSERT_GT(CountNonZero(o.layer.surface), 0u) << "the frames were drawn";
    o.settings.blurLevel = 0;
    FitToDesktop(o.parts);
}

TEST(OverlayWindow, ReplayKeepsThePatternAndNewPatternChangesIt) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    HWND w = o.window;
    SendMessageW(w, WM_APP_REDRAW, 0, 0);
    const std::uint32_t seed = o.layer.random.storedSeed;
    SendMessageW(w, WM_APP_REDRAW, 0, 0);
    EXPECT_EQ(o.layer.random.storedSeed, seed);
    Sleep(20);
    EXPECT_EQ(SendMessageW(w, WM_APP_HOTKEY, kVkLShift, 0), 0);
    EXPECT_NE(o.layer.random.storedSeed, seed);
}

TEST(OverlayWindow, ShowHideFollowsTheRememberedFlag) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    HWND w = o.window;
    ShowWindow(w, SW_SHOWNA);
    o.visible = 1;
    SendMessageW(w, WM_APP_HOTKEY, kVkLMenu, 0);
    EXPECT_EQ(o.visible, 0);
    EXPECT_FALSE(IsWindowVisible(w));
    SendMessageW(w, WM_APP_HOTKEY, kVkLMenu, 0);
    EXPECT_EQ(o.visible, 1);
    EXPECT_TRUE(IsWindowVisible(w));
    o.visible = 2;  // anything but 1 shows
    SendMessageW(w, WM_APP_HOTKEY, kVkLMenu, 0);
    EXPECT_EQ(o.visible, 1);
    EXPECT_TRUE(IsWindowVisible(w));
    // Other keys do nothing.
    const std::uint32_t seed = o.layer.random.storedSeed;
    EXPECT_EQ(SendMessageW(w, WM_APP_HOTKEY, 165, 0), 0);
    EXPECT_EQ(SendMessageW(w, WM_APP_HOTKEY, 0, 0), 0);
    EXPECT_EQ(o.visible, 1);
    EXPECT_EQ(o.layer.random.storedSeed, seed);
    ShowWindow(w, SW_HIDE);
}

// Frames are drawn on the thread that serves the program's input hooks:
// the program is told of every frame, and of nothing that drew none.
TEST(OverlayWindow, TellsOfEveryFrameItDraws) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    std::size_t told = test::FramesTold();
    SendMessageW(o.window, WM_APP_REDRAW, 0, 0);
    EXPECT_EQ(test::FramesTold(), ++told);
    SendMessageW(o.window, WM_APP_HOTKEY, kVkLShift, 0);
    EXPECT_EQ(test::FramesTold(), ++told);
    SendMessageW(o.window, WM_APP_MOVE_CENTER, 0, 0);  // empty queue
    SendMessageW(o.window, WM_APP_HOTKEY, 165, 0);
    EXPECT_EQ(test::FramesTold(), told);
    SendMessageW(o.window, WM_DISPLAYCHANGE, 32, 0);
    EXPECT_EQ(test::FramesTold(), ++told);
}

// Before the program binds its parts the window is only pinned, validated
// and closed; a private message must not reach for parts it has not got.
TEST(OverlayWindow, WithoutItsPartsDrawsNothing) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    HWND unbound = CreateWindowExW(0, L"qv overlay under test", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(unbound, nullptr);
    const std::size_t told = test::FramesTold();
    const std::uint32_t seed = o.layer.random.storedSeed;
    EXPECT_EQ(SendMessageW(unbound, WM_APP_HOTKEY, kVkLShift, 0), 0);
    EXPECT_EQ(SendMessageW(unbound, WM_APP_REDRAW, 0, 0), 0);
    EXPECT_EQ(SendMessageW(unbound, WM_APP_MOVE_CENTER, 0, 0), 0);
    EXPECT_EQ(SendMessageW(unbound, WM_DISPLAYCHANGE, 32, 0), 1);
    EXPECT_EQ(test::FramesTold(), told);
    EXPECT_EQ(o.layer.random.storedSeed, seed);
    SetWindowPos(unbound, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r;
    GetWindowRect(unbound, &r);
    EXPECT_EQ(r.left, 0) << "pinned all the same";
    DestroyWindow(unbound);
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "and its end ends the program";
}

TEST(OverlayWindow, StaysAtTheOriginButMayBeResized) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    HWND w = o.window;
    SetWindowPos(w, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    SetWindowPos(w, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
    FitToDesktop(o.parts);  // back to the desktop's size
}

TEST(GdiPlus, StartedOnceAndStoppedWithTheLastReference) {
    ASSERT_NE(gdiplusToken, 0u) << "gdiplusGuard started GDI+ before main";
    const std::int32_t base = gdiplusRefCount;
    const ULONG_PTR token = gdiplusToken;
    {
        StartupRef second;
        EXPECT_EQ(gdiplusRefCount, base + 1);
        EXPECT_EQ(gdiplusToken, token) << "no second start";
    }
    EXPECT_EQ(gdiplusRefCount, base);
    EXPECT_EQ(gdiplusToken, token) << "one reference left: still running";

    // Drop the guard's own reference: the last one shuts GDI+ down.
    ASSERT_EQ(base, 1);
    delete gdiplusGuard.ref;
    gdiplusGuard.ref = nullptr;
    EXPECT_EQ(gdiplusRefCount, 0);
    EXPECT_EQ(gdiplusToken, 0u);
    gdiplusGuard.ref = new StartupRef;  // started again by a later reference
    EXPECT_EQ(gdiplusRefCount, 1);
    EXPECT_NE(gdiplusToken, 0u);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(OverlayWindow, RedrawsAtEverySpaceWithTheStartUpVariation) {
    const test::OverlayUnderTest o = test::OverlayForTest();
    HWND w = o.window;
    ApplyStartupDefaults(o.settings);
    o.layer.random.SetJitterRanges(o.settings.densityJitter, o.settings.thicknessJitter,
                                   o.settings.spaceJitter, o.settings.alphaJitter);
    for (int space = kSpaceRange.min; space <= kSpaceRange.max; space += 10) {
        o.settings.space = static_cast<std::uint16_t>(space);
        SendMessageW(w, WM_APP_HOTKEY, kVkLShift, 0);
        HANDLE heaps[64];
        const DWORD n = GetProcessHeaps(64, heaps);
        for (DWORD k = 0; k < n && k < 64; ++k) ASSERT_TRUE(HeapValidate(heaps[k], 0, nullptr)) << "space " << space;
    }
    ApplyStartupDefaults(o.settings);
}

}  // namespace
}  // namespace qv
