#include "panel_e2e_support.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "shell.h"

namespace qv::e2e {
namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kPollMs = 50;
constexpr UINT kSendTimeoutMs = 10000;
constexpr DWORD kCompositorLagMs = 200;
constexpr DWORD kStableIntervalMs = 100;
constexpr int kStableTries = 50;

struct FindState {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM state) {
    auto* s = reinterpret_cast<FindState*>(state);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (pid == s->processId && std::wstring(cls) == s->className) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindWindowOf(DWORD pid, const wchar_t* className) {
    FindState s{pid, className, nullptr};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

int Channel(std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// One event at a time, with a pause between: the hooks read the key state
// when they handle an event, and under Wine a burst can be over before the
// hook sees its first event.
void SendKeys(std::initializer_list<INPUT> inputs) {
    constexpr DWORD kBetweenEventsMs = 40;
    for (INPUT in : inputs) {
        SendInput(1, &in, sizeof(INPUT));
        Sleep(kBetweenEventsMs);
    }
}

INPUT Key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

INPUT Wheel(int delta) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_WHEEL;
    in.mi.mouseData = static_cast<DWORD>(delta);
    return in;
}

}  // namespace

Screenshot CaptureScreen() {
    return CaptureScreen(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

Screenshot CaptureScreen(const RECT& area) {
    Screenshot shot;
    shot.width = area.right - area.left;
    shot.height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        shot.pixels.assign(p, p + static_cast<std::size_t>(shot.width) * shot.height);
        for (auto& px : shot.pixels) px &= 0x00FFFFFFu;
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

long CountDifferent(const Screenshot& a, const Screenshot& b, const RECT& exclude) {
    if (a.pixels.size() != b.pixels.size()) return -1;
    long n = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (!Inside(exclude, x, y) && a.At(x, y) != b.At(x, y)) ++n;
    return n;
}

long CountMarked(const Screenshot& shot, const Screenshot& background, const RECT& region, const RECT& exclude,
                 int threshold) {
    long n = 0;
    for (int y = std::max(0L, region.top); y < std::min<long>(shot.height, region.bottom); ++y) {
        for (int x = std::max(0L, region.left); x < std::min<long>(shot.width, region.right); ++x) {
            if (Inside(exclude, x, y)) continue;
            const std::uint32_t a = shot.At(x, y);
            const std::uint32_t b = background.At(x, y);
            for (int shift : {0, 8, 16}) {
                if (std::abs(Channel(a, shift) - Channel(b, shift)) > threshold) {
                    ++n;
                    break;
                }
            }
        }
    }
    return n;
}

long CountReddish(const Screenshot& shot, const RECT& region, int margin) {
    long n = 0;
    for (int y = std::max(0L, region.top); y < std::min<long>(shot.height, region.bottom); ++y)
        for (int x = std::max(0L, region.left); x < std::min<long>(shot.width, region.right); ++x) {
            const std::uint32_t c = shot.At(x, y);
            if (Channel(c, 16) - Channel(c, 0) > margin) ++n;
        }
    return n;
}

RunningProgram::RunningProgram(const std::wstring& exePath) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_)) {
        process_ = {};
        return;
    }
    WaitForInputIdle(process_.hProcess, kStartTimeoutMs);
    for (DWORD waited = 0; waited < kStartTimeoutMs; waited += kPollMs) {
        if (overlay_ == nullptr) overlay_ = FindWindowOf(process_.dwProcessId, kWindowClassName);
        if (panel_ == nullptr) panel_ = FindWindowOf(process_.dwProcessId, kDialogClass);
        if (overlay_ != nullptr && panel_ != nullptr) break;
        if (Exited(0)) break;
        Sleep(kPollMs);
    }
    Settle();  // the hooks are installed after the panel is made
}

RunningProgram::~RunningProgram() {
    if (process_.hProcess == nullptr) return;
    if (!Exited(0) && CloseAndWait() == STILL_ACTIVE) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, kStartTimeoutMs);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

std::wstring RunningProgram::Text(HWND window) const {
    wchar_t buffer[512] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                        &ignored);
    return buffer;
}

int RunningProgram::Position(int trackbarId) const {
    return static_cast<int>(SendMessageW(Item(trackbarId), TBM_GETPOS, 0, 0));
}

void RunningProgram::MoveTrackbar(int trackbarId, int position) const {
    HWND trackbar = Item(trackbarId);
    SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
    SendMessageW(panel_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(trackbar));
}

void RunningProgram::SetTrackbarOnly(int trackbarId, int position) const {
    SendMessageW(Item(trackbarId), TBM_SETPOS, TRUE, position);
}

void RunningProgram::Click(int buttonId) const { SendMessageW(Item(buttonId), BM_CLICK, 0, 0); }

bool RunningProgram::Checked(int buttonId) const {
    return SendMessageW(Item(buttonId), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void RunningProgram::Settle(int milliseconds) const {
    for (int waited = 0; waited < milliseconds; waited += static_cast<int>(kPollMs)) {
        DWORD_PTR ignored = 0;
        if (overlay_ != nullptr)
            SendMessageTimeoutW(overlay_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
        Sleep(kPollMs);
    }
}

bool RunningProgram::Exited(DWORD timeoutMs) const {
    return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD RunningProgram::CloseAndWait(DWORD timeoutMs) {
    if (panel_ != nullptr) PostMessageW(panel_, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (!Exited(timeoutMs)) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

Screenshot RunningProgram::Capture() const {
    return Capture(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

Screenshot RunningProgram::Capture(const RECT& area) const {
    Sleep(kCompositorLagMs);
    Screenshot previous = CaptureScreen(area);
    for (int i = 0; i < kStableTries; ++i) {
        Sleep(kStableIntervalMs);
        Screenshot current = CaptureScreen(area);
        if (current.pixels == previous.pixels) return current;
        previous = std::move(current);
    }
    return previous;
}

RECT RunningProgram::PanelRect() const {
    RECT r{};
    GetWindowRect(panel_, &r);
    return r;
}

Screenshot RunningProgram::Background() const {
    return Background(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

Screenshot RunningProgram::Background(const RECT& area) const {
    ShowWindow(overlay_, SW_HIDE);
    Screenshot shot = Capture(area);
    ShowWindow(overlay_, SW_SHOWNA);
    Capture(area);
    return shot;
}

void CtrlWheel(int delta) { SendKeys({Key(VK_LCONTROL, false), Wheel(delta), Key(VK_LCONTROL, true)}); }

void CtrlShift() {
    SendKeys({Key(VK_LCONTROL, false), Key(VK_LSHIFT, false), Key(VK_LSHIFT, true), Key(VK_LCONTROL, true)});
}

std::wstring QuorvanePath() {
    if (const wchar_t* fromEnv = _wgetenv(L"QV_QUORVANE_EXE"); fromEnv != nullptr && *fromEnv != L'\0')
        return fromEnv;
    // A Unix path from the build: Wine's Z: drive is the Unix root.
    std::wstring path = L"Z:" QV_QUORVANE_EXE_UNIX;
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

}  // namespace qv::e2e
