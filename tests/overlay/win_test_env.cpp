#include "win_test_env.h"

#include <gtest/gtest.h>

#include "layered_window.h"
#include "overlay_window.h"

namespace qv::test {
namespace {

class QueueLockEnvironment : public ::testing::Environment {
public:
    void SetUp() override { InitializeCriticalSection(&queueLock); }
    void TearDown() override {
        if (overlayWindow != nullptr) DestroyWindow(overlayWindow);
        ReleaseSurface(overlayLayer.surface);
        DeleteCriticalSection(&queueLock);
    }
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QueueLockEnvironment);

}  // namespace

HWND OverlayForTest() {
    if (overlayWindow != nullptr) return overlayWindow;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &OverlayWndProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"qv overlay under test";
    RegisterClassExW(&windowClass);
    overlayWindow = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP, 0, 0,
                                    0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    overlayLayer.window = overlayWindow;
    ApplyStartupDefaults(effectSettings);
    FitToDesktop();
    return overlayWindow;
}

int CountPosted(UINT message) {
    int n = 0;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (message == 0 || m.message == message) ++n;
    }
    return n;
}

}  // namespace qv::test
