#include "test_overlay_window.h"

namespace qv::test {

HWND CreateTestOverlayWindow(const OverlayParts& parts) {
    static const wchar_t kClassName[] = L"qv overlay under test";
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &OverlayWndProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // fails, harmlessly, once the class exists
    HWND window = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    parts.layer.window = window;
    BindOverlayWindow(window, parts);
    ApplyStartupDefaults(parts.settings);
    FitToDesktop(parts);
    return window;
}

}  // namespace qv::test
