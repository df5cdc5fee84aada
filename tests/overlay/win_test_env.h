// An overlay window served by the real OverlayWndProc and bound to parts of
// the test's own, as the program's start-up binds its process-wide objects;
// the tests read and change them directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gdiplus_startup.h"
#include "overlay_window.h"

namespace qv {
extern QvGDIPlus gdiplusGuard;  // the test program's own, built first like the program's
}  // namespace qv

namespace qv::test {

struct OverlayUnderTest {
    GridLayerWindow& layer;
    EffectSettings& settings;
    std::int32_t& visible;
    PointQueue& points;
    CRITICAL_SECTION& pointsLock;
    const OverlayParts& parts;
    HWND window;
};

// Creates the window once (class, window, binding, start-up defaults, fit
// to the desktop) and returns it with its parts.
OverlayUnderTest OverlayForTest();

// The frames the overlay has told of so far.
std::size_t FramesTold();

}  // namespace qv::test
