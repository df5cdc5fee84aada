// Where the panel's frame goes on a desktop: the bottom-right corner of the
// work area the window manager leaves free, decorations included. Device
// pixels throughout; no X or GTK header, so the rules are tested without a
// display.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace qv::linuxshell {

struct Box {
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    std::int32_t Right() const noexcept { return x + width; }
    std::int32_t Bottom() const noexcept { return y + height; }
    bool operator==(const Box&) const = default;
};

// What a window manager adds around the client on each side.
struct FrameExtents {
    std::int32_t left = 0, right = 0, top = 0, bottom = 0;
    bool operator==(const FrameExtents&) const = default;
};

// The work area of the current desktop from the root's _NET_WORKAREA (four
// numbers per desktop), cut to the screen. The whole screen when the
// property is absent, too short for that desktop, or describes nothing on
// screen: a bad hint must not push the panel away.
Box WorkAreaFrom(std::span<const long> workAreas, long currentDesktop, Box screen) noexcept;

// The frame extents from _NET_FRAME_EXTENTS (left, right, top, bottom); none
// when the property is absent, short or negative.
std::optional<FrameExtents> FrameExtentsFrom(std::span<const long> values) noexcept;

// The top-left corner of the frame around a client of this size, so that
// the whole frame touches the work area's bottom-right corner. A frame
// larger than the work area keeps its top-left corner (title bar and close
// button) inside it instead.
struct Point {
    std::int32_t x = 0, y = 0;
    bool operator==(const Point&) const = default;
};
Point BottomRightFramePosition(Box workArea, std::int32_t clientWidth, std::int32_t clientHeight,
                               FrameExtents extents) noexcept;

}  // namespace qv::linuxshell
