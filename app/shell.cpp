#include "shell.h"

#include <imm.h>

#include "effect_settings.h"
#include "layered_window.h"
#include "overlay_window.h"
#include "panel_dialog.h"
#include "process_state.h"

namespace qv {
namespace {

constexpr std::size_t kMutexNameLength = 256;

// Appends text to a zero-terminated buffer of kMutexNameLength characters.
void AppendName(wchar_t (&buffer)[kMutexNameLength], const wchar_t* text) noexcept {
    std::size_t at = 0;
    while (at < kMutexNameLength - 1 && buffer[at] != L'\0') ++at;
    for (; at < kMutexNameLength - 1 && *text != L'\0'; ++at, ++text) buffer[at] = *text;
    buffer[at] = L'\0';
}

// Brings a running copy's overlay forward. False when no such window exists.
bool ActivateOtherCopy() noexcept {
    HWND other = FindWindowW(kWindowClassName, kWindowClassName);
    if (other == nullptr) return false;
    SetForegroundWindow(other);
    ShowWindow(other, SW_SHOW);
    return true;
}

}  // namespace

int IsAlreadyRunning() noexcept {
    wchar_t name[kMutexNameLength] = {};
    AppendName(name, kMutexPrefix);
    AppendName(name, kWindowClassName);

    // A null DACL: every process of every user may open the mutex.
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return 0;
    if (!SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) return 0;

    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = sizeof(SECURITY_ATTRIBUTES);
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;

    HANDLE mutex = CreateMutexW(&attributes, FALSE, name);
    if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return 1;
    }
    return mutex == nullptr ? 1 : 0;
}

int InitInstance(HINSTANCE instance, int showCommand) noexcept {
    if (IsAlreadyRunning() == 1 && ActivateOtherCopy()) return 0;

    ImmDisableIME(static_cast<DWORD>(-1));
    ApplyStartupDefaults(effectSettings);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &OverlayWndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClassName;
    if (RegisterClassExW(&windowClass) == 0) return 0;

    // Shown, sized and made click-through only after the first frame.
    overlayWindow = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kWindowClassName,
                                    kWindowClassName, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    overlayLayer.window = overlayWindow;
    if (overlayWindow == nullptr) return 0;
    BindOverlayWindow(overlayWindow, overlayParts);

    FitToDesktop(overlayParts);
    SetWindowLongW(overlayWindow, GWL_EXSTYLE, GetWindowLongW(overlayWindow, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    ShowWindow(overlayWindow, showCommand);
    overlayVisible = IsWindowVisible(overlayWindow) ? 1 : 0;

    // Nobody keeps the handle, and a panel that cannot be made leaves the
    // program running on its gestures.
    CreateControlPanel(overlayWindow, panelParts);

    keyboardHook.Install(&KeyboardHookProc);
    mouseHook.Install(&MouseHookProc);
    return 1;
}

void Cleanup() noexcept {
    ReleaseSurface(overlayLayer.surface);
    keyboardHook.Uninstall();
    mouseHook.Uninstall();
}

int RunProgram(HINSTANCE instance, int showCommand) noexcept {
    InitializeCriticalSection(&queueLock);
    if (InitInstance(instance, showCommand) == 0) {
        DeleteCriticalSection(&queueLock);
        return kExitFailure;
    }

    // No TranslateMessage and no IsDialogMessage: keys go straight to the
    // focused control.
    MSG message{};
    BOOL got = 0;
    bool retrieved = false;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        retrieved = true;
        DispatchMessageW(&message);
    }
    // The quit message carries the exit code; an error before any message
    // was retrieved has none, and counts as a failure.
    const int exitCode = got == 0 || retrieved ? static_cast<int>(message.wParam) : kExitFailure;

    Cleanup();
    DeleteCriticalSection(&queueLock);
    return exitCode;
}

}  // namespace qv
