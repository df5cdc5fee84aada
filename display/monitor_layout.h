// Which monitor the overlay covers. The monitor that holds a point, the
// primary, the monitor a display change refits to, and where the centre
// goes when a gesture moves the overlay to another monitor: pure functions
// over plain structs, shared by the Windows program and the Linux overlay,
// which only ask their systems for the list of monitors.
//
// Coordinates are device pixels of the virtual screen: the primary's
// top-left corner is usually (0, 0), and a monitor left of or above it has
// negative coordinates. A surface's own pixels start at its monitor's
// top-left corner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qv {

struct ScreenPoint {
    std::int32_t x = 0, y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// Half-open: a point on the seam between two monitors side by side belongs
// to the one on its right (or below), so every point has one owner.
struct ScreenRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::int32_t Width() const noexcept { return right - left; }
    std::int32_t Height() const noexcept { return bottom - top; }
    bool Empty() const noexcept { return right <= left || bottom <= top; }
    bool Holds(ScreenPoint p) const noexcept {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    bool operator==(const ScreenRect&) const = default;
};

struct Monitor {
    ScreenRect rect;
    // The system's lasting name for the monitor (a hash of its device or
    // output name), so that a refit finds it again after it was resized or
    // moved; 0 when the system gives none, and then only its rectangle tells.
    std::uint64_t id = 0;
    bool primary = false;
    bool operator==(const Monitor&) const = default;
};

using MonitorLayout = std::span<const Monitor>;

inline constexpr std::size_t kNoMonitor = SIZE_MAX;

// The monitor holding the point; for a point in no monitor (a gap between
// monitors of different sizes, or a stale position) the nearest one, the
// first listed on a tie. Empty monitors are never chosen. kNoMonitor when
// the layout has none.
std::size_t MonitorAt(MonitorLayout layout, ScreenPoint point) noexcept;

// The monitor the system marks primary; without a mark, the one holding the
// origin, else the first listed.
std::size_t PrimaryMonitor(MonitorLayout layout) noexcept;

// After a display change: the monitor the overlay covered if it is still
// there (found by its id, else by its unchanged rectangle), else the primary.
std::size_t RefitMonitor(MonitorLayout layout, const Monitor& covered) noexcept;

// A screen point in the pixels of a surface that covers `surface`.
ScreenPoint ToSurface(ScreenPoint point, const ScreenRect& surface) noexcept;

// The middle of a surface of that size, in its own pixels (halves rounded
// down, as the first frame puts the centre).
ScreenPoint MiddleOf(const ScreenRect& surface) noexcept;

// Where the overlay goes, and what it keeps.
struct OverlayFit {
    Monitor monitor;     // the monitor to cover: the surface is its rectangle
    ScreenPoint center;  // in the surface's pixels
    bool newPattern;     // a display change takes a new seed; a gesture's move keeps it
    bool operator==(const OverlayFit&) const = default;
};

enum class GestureReach : std::uint8_t {
    kCenterToPointer,  // left Ctrl pressed, or the mouse moved with it: the centre is the pointer
    kInPlace,          // the wheel, a new pattern, show: the centre stays or goes to the middle
};

// Before a gesture acts: when the pointer is on another monitor than the one
// the overlay covers, the overlay moves there with the same pattern, its
// centre the pointer for a drag and the monitor's middle otherwise. None
// when it stays where it is (the gesture then acts as it always does).
std::optional<OverlayFit> FitForGesture(MonitorLayout layout, const Monitor& covered, ScreenPoint pointer,
                                        GestureReach reach) noexcept;

// At start-up and after a display change: the monitor from RefitMonitor
// (the primary at start, when nothing is covered yet), the centre in its
// middle, a new pattern. None when the layout has no monitor.
std::optional<OverlayFit> FitAfterDisplayChange(MonitorLayout layout, const Monitor& covered) noexcept;

}  // namespace qv
