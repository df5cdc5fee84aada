// Driving the running program's control panel from another process: start
// quorvane.exe, find its panel and overlay, move trackbars the way the
// system does (TBM_SETPOS, then WM_HSCROLL from the trackbar), click check
// boxes, send gestures, and look at the screen.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qv::e2e {

// The screen as 0x00RRGGBB pixels, top row first.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Screenshot CaptureScreen();
// `area` of the virtual screen (every monitor), its top-left corner at (0, 0).
Screenshot CaptureScreen(const RECT& area);

// Pixels that differ between two shots, outside `exclude` (the panel).
long CountDifferent(const Screenshot& a, const Screenshot& b, const RECT& exclude);
// Pixels of `shot` that differ from `background` by more than `threshold`
// in some channel, inside `region` and outside `exclude`.
long CountMarked(const Screenshot& shot, const Screenshot& background, const RECT& region, const RECT& exclude,
                 int threshold = 24);
// Pixels inside `region` whose red exceeds their blue by more than `margin`:
// none on a grey desktop under black lines.
long CountReddish(const Screenshot& shot, const RECT& region, int margin = 80);

// One run of quorvane.exe. The constructor starts it and waits for its
// overlay and its panel; the destructor closes it if it still runs.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& exePath);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return panel_ != nullptr && overlay_ != nullptr; }
    HWND Panel() const { return panel_; }
    HWND Overlay() const { return overlay_; }
    HWND Item(int id) const { return GetDlgItem(panel_, id); }

    std::wstring Text(HWND window) const;
    std::wstring ItemText(int id) const { return Text(Item(id)); }
    int Position(int trackbarId) const;

    // What a user's drag ends with: the trackbar moves, then notifies.
    void MoveTrackbar(int trackbarId, int position) const;
    // Moves the slider only, as the wheel gesture does: no notification.
    void SetTrackbarOnly(int trackbarId, int position) const;
    void Click(int buttonId) const;
    bool Checked(int buttonId) const;
    bool Visible(int id) const { return IsWindowVisible(Item(id)) != FALSE; }

    // Lets the program handle what the hooks posted, then returns.
    void Settle(int milliseconds = 400) const;

    // Ends the program the way the close box does; returns its exit code,
    // or STILL_ACTIVE if it did not end within the timeout.
    DWORD CloseAndWait(DWORD timeoutMs = 15000);
    bool Exited(DWORD timeoutMs) const;

    // The screen once the compositor has caught up: X composites the
    // overlay after the program has presented it, so a shot taken at once
    // may still show the previous frame.
    Screenshot Capture() const;
    Screenshot Capture(const RECT& area) const;

    // The panel's rectangle, which picture checks leave out.
    RECT PanelRect() const;

    // The desktop as it is with the overlay hidden.
    Screenshot Background() const;
    Screenshot Background(const RECT& area) const;

private:
    PROCESS_INFORMATION process_{};
    HWND panel_ = nullptr;
    HWND overlay_ = nullptr;
};

// Input the hooks see: left Ctrl held around a wheel turn, or around a
// left Shift press.
void CtrlWheel(int delta);
void CtrlShift();

// The path of quorvane.exe as Wine sees it, from the QV_QUORVANE_EXE
// environment variable or the build's own path.
std::wstring QuorvanePath();

}  // namespace qv::e2e
