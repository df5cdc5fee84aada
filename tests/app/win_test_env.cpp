#include "win_test_env.h"

#include <gtest/gtest.h>

#include "test_overlay_window.h"

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

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QueueLockEnvironment);

}  // namespace

HWND OverlayForTest() {
    if (overlayWindow == nullptr) overlayWindow = CreateTestOverlayWindow(overlayParts);
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
