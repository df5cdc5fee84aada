// Living with the window manager, or without one: the panel kept in the
// bottom-right corner of the work area with its decorations, and the
// overlay kept directly below the panel and above every other window.
#pragma once

namespace qv::linuxshell {

// Watches the root window's children and the desktop hints from now on.
void StartDeskWatch();

// Asks the window manager for the panel's frame extents before it is
// mapped, so that the first placement can already count them.
void RequestPanelFrameExtents();

// Puts the panel's frame in the bottom-right corner of the work area when
// the work area or the frame extents differ from those of the last
// placement (or force: always).
void PlacePanel(bool force);

// After each frame: one request, no round trip, stacking the overlay
// directly below the panel's top-level window (or on top while the panel
// has none yet).
void KeepOverlayBelowPanel();

// A full check of the root's stacking, at the next idle moment.
void ScheduleStackingCheck();

}  // namespace qv::linuxshell
