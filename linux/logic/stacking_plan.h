// Whether the overlay and the panel must be restacked: the panel on top,
// the overlay directly below it and so above everything else, as an owned
// topmost window sits on Windows. Decided from the root's children, bottom
// to top, so that it is tested without a display.
#pragma once

#include <cstdint>
#include <span>

namespace qv::linuxshell {

struct StackEntry {
    std::uint64_t window = 0;  // a child of the root window
    bool viewable = false;     // mapped, with every ancestor mapped
};

struct StackingPlan {
    // Raise the panel's top-level window first: only when no window manager
    // stands between it and the server, since a manager's own restacking of
    // a raise request could otherwise answer every check with another one.
    bool raisePanel = false;
    // Put the overlay directly below the panel's top-level window.
    bool overlayBelowPanel = false;
    // The overlay lay above the panel: what it drew there must be repainted.
    bool repaintPanel = false;
    // The panel is not on screen (minimised, or not yet mapped): the
    // overlay goes on top by itself when anything viewable lies above it.
    bool raiseOverlay = false;
};

// children: the root's children from bottom to top. overlay and panelTop:
// the overlay and the panel's top-level window (its frame under a
// reparenting window manager). Nothing is planned while the overlay is
// missing or not viewable. Only the viewability of the overlay, the panel
// and the windows above the lower of the two is read.
StackingPlan PlanStacking(std::span<const StackEntry> children, std::uint64_t overlay, std::uint64_t panelTop,
                          bool mayRaisePanel) noexcept;

}  // namespace qv::linuxshell
