// The monitor choice and the refit rule: which monitor holds a point, which
// is the primary, which a display change refits to, and what a move keeps.
#include "monitor_layout.h"

#include <algorithm>

namespace qv {

namespace {

// How far a point lies outside a rectangle along one axis, in pixels to the
// nearest pixel inside it (0 inside).
std::int64_t AxisGap(std::int32_t v, std::int32_t low, std::int32_t high) noexcept {
    if (v < low) return std::int64_t{low} - v;
    if (v >= high) return std::int64_t{v} - (std::int64_t{high} - 1);
    return 0;
}

std::int64_t SquaredGap(const ScreenRect& r, ScreenPoint p) noexcept {
    const std::int64_t dx = AxisGap(p.x, r.left, r.right), dy = AxisGap(p.y, r.top, r.bottom);
    return dx * dx + dy * dy;
}

}  // namespace

std::size_t MonitorAt(MonitorLayout layout, ScreenPoint point) noexcept {
    std::size_t best = kNoMonitor;
    std::int64_t bestGap = 0;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        if (layout[i].rect.Empty()) continue;
        const std::int64_t gap = SquaredGap(layout[i].rect, point);
        if (gap == 0) return i;
        if (best == kNoMonitor || gap < bestGap) {
            best = i;
            bestGap = gap;
        }
    }
    return best;
}

std::size_t PrimaryMonitor(MonitorLayout layout) noexcept {
    std::size_t first = kNoMonitor, atOrigin = kNoMonitor;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        if (layout[i].rect.Empty()) continue;
        if (layout[i].primary) return i;
        if (first == kNoMonitor) first = i;
        if (atOrigin == kNoMonitor && layout[i].rect.Holds({0, 0})) atOrigin = i;
    }
    return atOrigin != kNoMonitor ? atOrigin : first;
}

std::size_t RefitMonitor(MonitorLayout layout, const Monitor& covered) noexcept {
    if (covered.id != 0)
        for (std::size_t i = 0; i < layout.size(); ++i)
            if (!layout[i].rect.Empty() && layout[i].id == covered.id) return i;
    if (!covered.rect.Empty())
        for (std::size_t i = 0; i < layout.size(); ++i)
            if (layout[i].rect == covered.rect) return i;
    return PrimaryMonitor(layout);
}

ScreenPoint ToSurface(ScreenPoint point, const ScreenRect& surface) noexcept {
    return ScreenPoint{static_cast<std::int32_t>(std::int64_t{point.x} - surface.left),
                       static_cast<std::int32_t>(std::int64_t{point.y} - surface.top)};
}

ScreenPoint MiddleOf(const ScreenRect& surface) noexcept {
    return ScreenPoint{static_cast<std::int32_t>((std::int64_t{surface.right} - surface.left) / 2),
                       static_cast<std::int32_t>((std::int64_t{surface.bottom} - surface.top) / 2)};
}

std::optional<OverlayFit> FitForGesture(MonitorLayout layout, const Monitor& covered, ScreenPoint pointer,
                                        GestureReach reach) noexcept {
    // On the covered monitor (even where two overlap) the overlay stays,
    // so that a drag along a seam does not flap between the two.
    if (covered.rect.Holds(pointer)) return std::nullopt;
    const std::size_t target = MonitorAt(layout, pointer);
    if (target == kNoMonitor || layout[target].rect == covered.rect) return std::nullopt;
    const Monitor& m = layout[target];
    const ScreenPoint center =
        reach == GestureReach::kCenterToPointer ? ToSurface(pointer, m.rect) : MiddleOf(m.rect);
    return OverlayFit{m, center, false};
}

std::optional<OverlayFit> FitAfterDisplayChange(MonitorLayout layout, const Monitor& covered) noexcept {
    const std::size_t target = RefitMonitor(layout, covered);
    if (target == kNoMonitor) return std::nullopt;
    return OverlayFit{layout[target], MiddleOf(layout[target].rect), true};
}

}  // namespace qv
