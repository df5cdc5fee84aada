// The picture on the screen against the headless renderer's. With every
// variation at 0 the picture does not depend on the random pattern, so the
// overlay the program shows, captured by the X server, must be the
// renderer's PNG of the same settings composited over the same background:
// after start-up, and where a left-Ctrl drag leaves the centre.
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

// The backdrop behind the program, until it goes.
class Backdrop {
public:
    Backdrop(int w, int h) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &BackgroundProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kBackgroundClass;
        RegisterClassExW(&windowClass);  // fails harmlessly for a second backdrop
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kBackgroundClass, L"", WS_POPUP, 0, 0, w, h, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
        if (window_ == nullptr) return;
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        UpdateWindow(window_);
        Pump(500);
    }
    ~Backdrop() {
        if (window_ != nullptr) DestroyWindow(window_);
    }
    Backdrop(const Backdrop&) = delete;
    Backdrop& operator=(const Backdrop&) = delete;
    bool Shown() const { return window_ != nullptr; }

private:
    HWND window_ = nullptr;
};

// The program started over the backdrop and Reset: start-up values with
// every variation and the blur at 0, so the picture does not depend on the
// random pattern; the panel hidden.
void StartWithoutVariation(RunningProgram& program) {
    ASSERT_TRUE(program.Started());
    program.Click(IDC_RESET);
    ShowWindow(program.Panel(), SW_HIDE);
    program.Settle();
    Pump(500);
}

// The screen as the X server captures it, and the backdrop alone (the
// overlay hidden for the shot).
void CaptureWithAndWithout(RunningProgram& program, std::vector<std::uint8_t>& shot,
                           std::vector<std::uint8_t>& background) {
    ASSERT_TRUE(Capture("overlay", shot));
    ShowWindow(program.Overlay(), SW_HIDE);
    Pump(500);
    ASSERT_TRUE(Capture("background", background));
    ShowWindow(program.Overlay(), SW_SHOWNA);
    Pump(500);
}

// The shot against the renderer's PNG for a centre, composited over the
// background.
void ExpectRenderersPicture(const std::vector<std::uint8_t>& shot,
                            const std::vector<std::uint8_t>& background, int w, int h, POINT centre) {
    const std::string renderer = Env("QV_RENDER");
    ASSERT_FALSE(renderer.empty()) << "QV_RENDER must name the headless renderer (scripts/test-wine sets it)";
    const std::string reference = WorkDir() + "/reference";
    const std::string render =
        renderer + " --size " + std::to_string(w) + "x" + std::to_string(h) + " --center " +
        std::to_string(centre.x) + "," + std::to_string(centre.y) +
        " --density-jitter 0 --thickness-jitter 0 --space-jitter 0 --alpha-jitter 0 -o " + reference +
        ".png && convert " + reference + ".png -depth 8 rgba:" + reference + ".rgba";
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
    ::testing::Test::RecordProperty("largest_channel_difference", diff.largest);
    std::printf("largest channel difference: %d (tolerance %d)\n", diff.largest, kTolerance);
}

TEST(Picture, OverlayMatchesTheRenderersPictureOverTheBackground) {
    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    Backdrop backdrop(w, h);
    ASSERT_TRUE(backdrop.Shown());
    RunningProgram program(QuorvanePath());
    StartWithoutVariation(program);
    std::vector<std::uint8_t> shot, background;
    CaptureWithAndWithout(program, shot, background);
    ExpectRenderersPicture(shot, background, w, h, POINT{w / 2, h / 2});
}

// The frames of a moving centre are made from the frames before them; once
// left Ctrl is released the picture is the exact frame for where the centre
// rests. (Under Wine a pointer move puts back the modifier keys of the X
// server, which SendInput's left Ctrl is not among, so the centre is moved
// by presses of left Ctrl at one point after another, each a move-centre
// request drawn from the frame before, as a drag's are.)
TEST(Picture, AfterLeftCtrlMovesTheCentreThePictureIsTheRenderersForIt) {
    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    Backdrop backdrop(w, h);
    ASSERT_TRUE(backdrop.Shown());
    RunningProgram program(QuorvanePath());
    StartWithoutVariation(program);

    constexpr int kMoves = 24, kStepX = 8, kStepY = 5;
    POINT centre{w / 2, h / 2};
    for (int k = 1; k <= kMoves; ++k) {
        centre = POINT{w / 2 + k * kStepX, h / 2 + k * kStepY};
        SetCursorPos(centre.x, centre.y);
        for (const DWORD flags : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
            INPUT key{};
            key.type = INPUT_KEYBOARD;
            key.ki.wVk = VK_LCONTROL;
            key.ki.dwFlags = flags;
            SendInput(1, &key, sizeof(INPUT));
            Sleep(40);  // one event at a time, as a hand would
        }
    }
    program.Settle();

    std::vector<std::uint8_t> shot, background;
    CaptureWithAndWithout(program, shot, background);
    ExpectRenderersPicture(shot, background, w, h, centre);
}

}  // namespace
}  // namespace qv::e2e
