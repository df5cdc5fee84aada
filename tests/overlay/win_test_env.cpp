#include "win_test_env.h"

#include <gtest/gtest.h>

#include "gdiplus_startup.h"
#include "test_overlay_window.h"

namespace qv {

// GDI+ started before anything else is built, as in the program.
QvGDIPlus gdiplusGuard;

namespace test {
namespace {

GridLayerWindow layer;
EffectSettings settings;
FrameScratch scratch;
std::int32_t visible = 1;
PointQueue points;
CRITICAL_SECTION pointsLock;
std::size_t framesTold = 0;
HWND window = nullptr;

void CountFrame(std::uint64_t /*frameMs*/) noexcept { ++framesTold; }

constinit const OverlayParts parts{layer, settings, scratch, visible, points, pointsLock, &CountFrame};

class LockEnvironment : public ::testing::Environment {
public:
    void SetUp() override { InitializeCriticalSection(&pointsLock); }
    void TearDown() override {
        if (window != nullptr) DestroyWindow(window);
        ReleaseSurface(layer.surface);
        DeleteCriticalSection(&pointsLock);
    }
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new LockEnvironment);

}  // namespace

OverlayUnderTest OverlayForTest() {
    if (window == nullptr) window = CreateTestOverlayWindow(parts);
    return {layer, settings, visible, points, pointsLock, parts, window};
}

std::size_t FramesTold() { return framesTold; }

}  // namespace test
}  // namespace qv
