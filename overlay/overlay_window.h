// The overlay window: its procedure, where every redraw of the program
// happens (asked for by the private messages, private_messages.h), and the
// frames it draws. The overlay owns none of what it works on: the program
// hands it its objects as OverlayParts, and is told how long each frame took.
#pragma once

#include <cstdint>

#include "effect_settings.h"
#include "frame_composer.h"
#include "layered_window.h"
#include "monitor_layout.h"
#include "point_queue.h"
#include "win32.h"

namespace qv {

// Everything the overlay window reads and writes, owned by the program.
struct OverlayParts {
    GridLayerWindow& layer;    // the window, its surface and the random source
    EffectSettings& settings;  // what every frame is drawn from; the centre is written here
    FrameScratch& scratch;     // the fill's working memory, kept from frame to frame
    std::int32_t& visible;     // the remembered visibility that show/hide flips
    PointQueue& points;        // drained by the move-centre request, under pointsLock
    CRITICAL_SECTION& pointsLock;
    // Told after every frame how many milliseconds drawing and presenting
    // it took. Frames are drawn on the thread that serves the desktop's
    // input hooks, so a slow one matters to whoever installed them. May be
    // null.
    void (*frameDrawn)(std::uint64_t frameMs) noexcept;
};

// Makes the parts those of the window, whose procedure is OverlayWndProc.
// Until then the procedure only pins the window to the origin, validates
// it and ends the program with it; the private messages do nothing. Once
// bound, the window stays at its monitor's top-left corner.
void BindOverlayWindow(HWND window, const OverlayParts& parts) noexcept;

// At start-up and on a display change: FitToMonitors with the monitors the
// system reports now.
void FitToDesktop(const OverlayParts& parts) noexcept;

// Rebuilds the surface over the monitor the overlay covered if it is still
// in the layout, else over the primary (at start-up: the primary, which is
// the desktop window's rectangle), puts the centre in its middle, hands the
// jitter ranges to the random source, draws a new pattern and presents it.
// An empty layout leaves the desktop window's rectangle.
void FitToMonitors(const OverlayParts& parts, MonitorLayout layout) noexcept;

// Before a gesture acts, with the cursor where it is: on another monitor
// of the layout the overlay's surface and window move there first, with the
// centre the cursor (a drag) or that monitor's middle, and the same pattern.
// Draws nothing; true when it moved. FollowGesture asks the system for the
// monitors only when the cursor has left the covered one.
bool FollowGestureOn(const OverlayParts& parts, MonitorLayout layout, ScreenPoint cursor,
                     GestureReach reach) noexcept;
bool FollowGesture(const OverlayParts& parts, ScreenPoint cursor, GestureReach reach) noexcept;

// One frame with the selector (kNewPatternSelector or kReplaySelector),
// then presented through a screen DC taken for the call.
void RedrawOverlay(const OverlayParts& parts, std::int32_t selector) noexcept;

// The frame of a moved centre, made from the frame before where it can
// (DragFrame), then presented. Such a frame is close to the exact one but
// not always the same, so the exact frame follows when the centre rests:
// WM_APP_CENTER_RESTS, or the window's rest timer kCenterRestMs after the
// last move.
void DragOverlay(const OverlayParts& parts) noexcept;

LRESULT CALLBACK OverlayWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qv
