#include <gtest/gtest.h>

#include <cstdint>

#include "counting_allocator.h"
#include "frame_composer.h"
#include "gdiplus_startup.h"
#include "layered_window.h"
#include "private_messages.h"
#include "process_state.h"
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
    test::OverlayForTest();
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const LONG w = desktop.right - desktop.left;
    const LONG h = desktop.bottom - desktop.top;
    effectSettings.centerX = 3;
    effectSettings.centerY = 4;
    FitToDesktop();
    EXPECT_EQ(overlayLayer.size.cx, w);
    EXPECT_EQ(overlayLayer.size.cy, h);
    EXPECT_EQ(overlayLayer.surface.byteSize, static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4u);
    EXPECT_EQ(effectSettings.centerX, w / 2);
    EXPECT_EQ(effectSettings.centerY, h / 2);
    EXPECT_GT(CountNonZero(overlayLayer.surface), 0u) << "a first frame was drawn";
    RECT window;
    GetWindowRect(overlayWindow, &window);
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(window.right, w) << "presenting sizes the window";
    EXPECT_EQ(window.bottom, h);
}

TEST(FitToDesktop, TwiceLeavesOneSurfaceAndANewPattern) {
    test::OverlayForTest();
    HBITMAP first = overlayLayer.surface.bitmap;
    const std::uint32_t seed = overlayLayer.random.storedSeed;
    Sleep(20);  // the seed comes from the tick count
    FitToDesktop();
    EXPECT_EQ(GetObjectType(first), 0u) << "the first surface was released";
    EXPECT_NE(overlayLayer.surface.bitmap, nullptr);
    EXPECT_NE(overlayLayer.random.storedSeed, seed);
}

TEST(FitToDesktop, HandsTheJitterPercentagesToTheRandomSource) {
    test::OverlayForTest();
    effectSettings.densityJitter = 11;
    effectSettings.thicknessJitter = 22;
    effectSettings.spaceJitter = 33;
    effectSettings.alphaJitter = 44;
    FitToDesktop();
    EXPECT_EQ(overlayLayer.random.jitterPercent[0], 11);
    EXPECT_EQ(overlayLayer.random.jitterPercent[1], 22);
    EXPECT_EQ(overlayLayer.random.jitterPercent[2], 33);
    EXPECT_EQ(overlayLayer.random.jitterPercent[3], 44);
    ApplyStartupDefaults(effectSettings);
}

TEST(OverlayWindow, MoveCentreTakesTheNewestPointAndDrawsOnce) {
    HWND w = test::OverlayForTest();
    effectSettings.centerX = 7;
    effectSettings.centerY = 8;
    EXPECT_EQ(SendMessageW(w, WM_APP_MOVE_CENTER, 0, 0), 0);
    EXPECT_EQ(effectSettings.centerX, 7) << "empty queue: centre unchanged";

    EnterCriticalSection(&queueLock);
    pointQueue.Append({10, 20});
    pointQueue.Append({30, 40});
    pointQueue.Append({50, 60});
    LeaveCriticalSection(&queueLock);
    EXPECT_EQ(SendMessageW(w, WM_APP_MOVE_CENTER, 0, 0), 0);
    EXPECT_EQ(effectSettings.centerX, 50);
    EXPECT_EQ(effectSettings.centerY, 60);
    EXPECT_EQ(pointQueue.size(), 0u);
    // The frame was drawn around the new centre: its pixel is empty, while
    // the old centre of the desktop now has lines near it.
    const auto* p = static_cast<const std::uint32_t*>(overlayLayer.surface.bits);
    EXPECT_EQ(p[60 * overlayLayer.surface.width + 50], 0u);
}

// A drag redraws once per mouse event: after the first frame, frames reuse
// the surface and the fill's working memory instead of allocating anew.
TEST(OverlayWindow, FramesAfterTheFirstAllocateNothing) {
    HWND w = test::OverlayForTest();
    effectSettings.blurLevel = 5;  // the blur passes need the most working memory
    SendMessageW(w, WM_APP_REDRAW, 0, 0);
    EnterCriticalSection(&queueLock);
    pointQueue.Append({100, 80});
    LeaveCriticalSection(&queueLock);
    const std::size_t before = test::allocationCount.load();
    SendMessageW(w, WM_APP_REDRAW, 0, 0);
    SendMessageW(w, WM_APP_MOVE_CENTER, 0, 0);
    SendMessageW(w, WM_APP_REDRAW, 0, 0);
    EXPECT_EQ(test::allocationCount.load(), before);
    ASSERT_GT(CountNonZero(overlayLayer.surface), 0u) << "the frames were drawn";
    effectSettings.blurLevel = 0;
    FitToDesktop();
}

TEST(OverlayWindow, ReplayKeepsThePatternAndNewPatternChangesIt) {
    HWND w = test::OverlayForTest();
    SendMessageW(w, WM_APP_REDRAW, 0, 0);
    const std::uint32_t seed = overlayLayer.random.storedSeed;
    SendMessageW(w, WM_APP_REDRAW, 0, 0);
    EXPECT_EQ(overlayLayer.random.storedSeed, seed);
    Sleep(20);
    EXPECT_EQ(SendMessageW(w, WM_APP_HOTKEY, kVkLShift, 0), 0);
    EXPECT_NE(overlayLayer.random.storedSeed, seed);
}

TEST(OverlayWindow, ShowHideFollowsTheRememberedFlag) {
    HWND w = test::OverlayForTest();
    ShowWindow(w, SW_SHOWNA);
    overlayVisible = 1;
    SendMessageW(w, WM_APP_HOTKEY, kVkLMenu, 0);
    EXPECT_EQ(overlayVisible, 0);
    EXPECT_FALSE(IsWindowVisible(w));
    SendMessageW(w, WM_APP_HOTKEY, kVkLMenu, 0);
    EXPECT_EQ(overlayVisible, 1);
    EXPECT_TRUE(IsWindowVisible(w));
    overlayVisible = 2;  // anything but 1 shows
    SendMessageW(w, WM_APP_HOTKEY, kVkLMenu, 0);
    EXPECT_EQ(overlayVisible, 1);
    EXPECT_TRUE(IsWindowVisible(w));
    // Other keys do nothing.
    const std::uint32_t seed = overlayLayer.random.storedSeed;
    EXPECT_EQ(SendMessageW(w, WM_APP_HOTKEY, 165, 0), 0);
    EXPECT_EQ(SendMessageW(w, WM_APP_HOTKEY, 0, 0), 0);
    EXPECT_EQ(overlayVisible, 1);
    EXPECT_EQ(overlayLayer.random.storedSeed, seed);
    ShowWindow(w, SW_HIDE);
}

TEST(OverlayWindow, StaysAtTheOriginButMayBeResized) {
    HWND w = test::OverlayForTest();
    SetWindowPos(w, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    SetWindowPos(w, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
    FitToDesktop();  // back to the desktop's size
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
    HWND w = test::OverlayForTest();
    ApplyStartupDefaults(effectSettings);
    overlayLayer.random.SetJitterRanges(effectSettings.densityJitter, effectSettings.thicknessJitter,
                                        effectSettings.spaceJitter, effectSettings.alphaJitter);
    for (int space = kSpaceRange.min; space <= kSpaceRange.max; space += 10) {
        effectSettings.space = static_cast<std::uint16_t>(space);
        SendMessageW(w, WM_APP_HOTKEY, kVkLShift, 0);
        HANDLE heaps[64];
        const DWORD n = GetProcessHeaps(64, heaps);
        for (DWORD k = 0; k < n && k < 64; ++k) ASSERT_TRUE(HeapValidate(heaps[k], 0, nullptr)) << "space " << space;
    }
    ApplyStartupDefaults(effectSettings);
}

}  // namespace
}  // namespace qv
