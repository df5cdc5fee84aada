// The picture on the screen against the headless renderer's. With every
// variation at 0 the picture does not depend on the random pattern, so the
// overlay the program shows, captured by the X server, must be the
// renderer's PNG of the same settings composited over the same background.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "panel_e2e_support.h"
#include "panel_ids.h"
#include "unix_command.h"

namespace qv::e2e {
namespace {

// Per channel, in 0..255. Both sides round: the renderer stores straight
// (un-premultiplied) alpha in its PNG, which loses up to half a unit per
// channel when the overlay's premultiplied pixel is divided by its alpha,
// and the compositor blends in 8-bit integers where the reference blends
// with exact rounding. Together that stays within 2; 3 leaves one unit
// of room and still fails any wrong line, colour or edge coverage.
constexpr int kTolerance = 3;

constexpr wchar_t kBackgroundClass[] = L"qv picture test background";

// A background that tells colours and alpha apart: red across, green
// down, blue in diagonal bands.
std::uint32_t BackgroundPixel(int x, int y, int w, int h) {
    const std::uint32_t r = static_cast<std::uint32_t>(x * 255 / std::max(1, w - 1));
    const std::uint32_t g = static_cast<std::uint32_t>(y * 255 / std::max(1, h - 1));
    const std::uint32_t b = ((x + y) / 64) % 2 ? 200u : 40u;
    return (r << 16) | (g << 8) | b;
}

LRESULT CALLBACK BackgroundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT r;
        GetClientRect(window, &r);
        const int w = r.right;
        const int h = r.bottom;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) pixels[static_cast<std::size_t>(y) * w + x] = BackgroundPixel(x, y, w, h);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    while (GetTickCount() < end) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        Sleep(20);
    }
}

// A screenshot by the X server, as raw RGBA bytes.
bool Capture(const std::string& name, std::vector<std::uint8_t>& rgba) {
    const std::string dir = WorkDir();
    const std::string png = dir + "/" + name + ".png";
    const std::string raw = dir + "/" + name + ".rgba";
    if (RunUnix("/usr/bin/import -window root " + png + " && convert " + png + " -depth 8 rgba:" + raw) != 0)
        return false;
    return ReadWholeFile(raw, rgba);
}

struct Difference {
    long pixels = 0;  // beyond the tolerance
    int largest = 0;
    int firstX = -1;
    int firstY = -1;
};

TEST(Picture, OverlayMatchesTheRenderersPictureOverTheBackground) {
    const std::string renderer = Env("QV_RENDER");
    ASSERT_FALSE(renderer.empty()) << "QV_RENDER must name the headless renderer (scripts/test-wine sets it)";

    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &BackgroundProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kBackgroundClass;
    RegisterClassExW(&windowClass);
    HWND backdrop = CreateWindowExW(WS_EX_TOOLWINDOW, kBackgroundClass, L"", WS_POPUP, 0, 0, w, h, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
    ASSERT_NE(backdrop, nullptr);
    ShowWindow(backdrop, SW_SHOWNOACTIVATE);
    UpdateWindow(backdrop);
    Pump(500);

    RunningProgram program(QuorvanePath());
    ASSERT_TRUE(program.Started());
    // Reset: start-up values with every variation and the blur at 0.
    program.Click(IDC_RESET);
    ShowWindow(program.Panel(), SW_HIDE);
    program.Settle();
    Pump(500);

    std::vector<std::uint8_t> shot;
    std::vector<std::uint8_t> background;
    ASSERT_TRUE(Capture("overlay", shot));
    ShowWindow(program.Overlay(), SW_HIDE);
    Pump(500);
    ASSERT_TRUE(Capture("background", background));
    ShowWindow(program.Overlay(), SW_SHOWNA);

    const std::string reference = WorkDir() + "/reference";
    const std::string render = renderer + " --size " + std::to_string(w) + "x" + std::to_string(h) + " --center " +
                               std::to_string(w / 2) + "," + std::to_string(h / 2) +
                               " --density-jitter 0 --thickness-jitter 0 --space-jitter 0 --alpha-jitter 0 -o " +
                               reference + ".png && convert " + reference + ".png -depth 8 rgba:" + reference +
                               ".rgba";
    ASSERT_EQ(RunUnix(render), 0) << "the renderer or ImageMagick failed: see " << WorkDir();
    std::vector<std::uint8_t> overlay;
    ASSERT_TRUE(ReadWholeFile(reference + ".rgba", overlay));

    const std::size_t bytes = static_cast<std::size_t>(w) * h * 4;
    ASSERT_EQ(shot.size(), bytes);
    ASSERT_EQ(background.size(), bytes);
    ASSERT_EQ(overlay.size(), bytes);

    // The background is really there, and the overlay really covers part of it.
    long lineCovered = 0;
    Difference diff;
    for (std::size_t i = 0; i < bytes; i += 4) {
        const int a = overlay[i + 3];
        lineCovered += a != 0;
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            const int expected = (overlay[i + c] * a + background[i + c] * (255 - a) + 127) / 255;
            worst = std::max(worst, std::abs(expected - static_cast<int>(shot[i + c])));
        }
        diff.largest = std::max(diff.largest, worst);
        if (worst > kTolerance) {
            if (diff.pixels == 0) {
                diff.firstX = static_cast<int>((i / 4) % w);
                diff.firstY = static_cast<int>((i / 4) / w);
            }
            ++diff.pixels;
        }
    }
    EXPECT_GT(lineCovered, static_cast<long>(bytes / 4 / 10)) << "the reference has lines";
    EXPECT_EQ(diff.pixels, 0) << "largest channel difference " << diff.largest << ", first at " << diff.firstX
                              << "," << diff.firstY << "; pictures in " << WorkDir();
    RecordProperty("largest_channel_difference", diff.largest);
    std::printf("largest channel difference: %d (tolerance %d)\n", diff.largest, kTolerance);
    DestroyWindow(backdrop);
}

}  // namespace
}  // namespace qv::e2e
