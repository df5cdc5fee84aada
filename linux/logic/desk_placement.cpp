// The panel's place in the work area: reading the window manager's hints
// defensively and putting the frame in the bottom-right corner.
#include "desk_placement.h"

#include <algorithm>

namespace qv::linuxshell {

namespace {
constexpr std::size_t kNumbersPerWorkArea = 4;
constexpr std::size_t kExtentNumbers = 4;
}  // namespace

Box WorkAreaFrom(std::span<const long> workAreas, long currentDesktop, Box screen) noexcept {
    if (currentDesktop < 0) currentDesktop = 0;
    const auto first = static_cast<std::size_t>(currentDesktop) * kNumbersPerWorkArea;
    if (workAreas.size() < first + kNumbersPerWorkArea) return screen;
    const long x = workAreas[first], y = workAreas[first + 1];
    const long w = workAreas[first + 2], h = workAreas[first + 3];
    const long left = std::max<long>(x, screen.x), top = std::max<long>(y, screen.y);
    const long right = std::min<long>(x + w, screen.Right()), bottom = std::min<long>(y + h, screen.Bottom());
    if (w <= 0 || h <= 0 || right <= left || bottom <= top) return screen;
    return Box{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
               static_cast<std::int32_t>(right - left), static_cast<std::int32_t>(bottom - top)};
}

std::optional<FrameExtents> FrameExtentsFrom(std::span<const long> values) noexcept {
    if (values.size() < kExtentNumbers) return std::nullopt;
    for (std::size_t i = 0; i < kExtentNumbers; ++i)
        if (values[i] < 0 || values[i] > INT32_MAX / 4) return std::nullopt;
    return FrameExtents{static_cast<std::int32_t>(values[0]), static_cast<std::int32_t>(values[1]),
                        static_cast<std::int32_t>(values[2]), static_cast<std::int32_t>(values[3])};
}

Point BottomRightFramePosition(Box workArea, std::int32_t clientWidth, std::int32_t clientHeight,
                               FrameExtents extents) noexcept {
    const std::int64_t frameW = std::int64_t{extents.left} + clientWidth + extents.right;
    const std::int64_t frameH = std::int64_t{extents.top} + clientHeight + extents.bottom;
    const std::int64_t x = std::max<std::int64_t>(workArea.x, workArea.Right() - frameW);
    const std::int64_t y = std::max<std::int64_t>(workArea.y, workArea.Bottom() - frameH);
    return Point{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

}  // namespace qv::linuxshell
