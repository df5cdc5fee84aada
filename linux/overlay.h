// The overlay window: a click-through popup with the screen's RGBA visual
// over one monitor, where every frame is composed and shown. Nothing else
// draws.
#pragma once

#include <cstdint>

#include "monitor_layout.h"

namespace qv::linuxshell {

// Creates the window (not yet shown) and follows the compositing manager
// and the screen's monitors from then on. False when no window could be
// made.
bool CreateOverlay();

// The picture over the monitor the overlay covered if it is still there,
// else the primary (at start-up: the primary), the centre in its middle,
// the jitter ranges handed over, and a new pattern drawn. At start-up and
// whenever the screen or its monitors change.
void FitToDesktop();

// Before a gesture acts, with the pointer where it is: on another monitor
// the overlay moves there first and takes its centre from the move (the
// pointer for a drag, else the monitor's middle); the pattern is kept.
// True when it moved; the caller draws.
bool FollowGesture(GestureReach reach, ScreenPoint pointer);

// Composes one frame (selector: kReplaySelector or kNewPatternSelector) and
// shows it. Returns after the frame is composed.
void Redraw(std::int32_t selector);

// The frame of a moved centre, made from the frame before where it can
// (DragFrame), and shown. Such a frame is close to the exact one but not
// always the same, so the exact frame follows when the centre rests:
// CenterRests, or kCenterRestMs after the last move.
void DragRedraw();

// Left Ctrl was released: the exact frame, if a drag's frame is shown.
void CenterRests();

// Shows the overlay for the first time, or explains why it stays hidden.
void ShowOverlayAtStart();

// The show/hide gesture's request.
void ToggleOverlay();

// Another copy asked this one to present itself: the overlay is shown
// without touching the user's show/hide flag, as the reference does.
void PresentOnRequest();

// Releases the picture; the window goes with the process.
void ReleaseOverlay();

}  // namespace qv::linuxshell
