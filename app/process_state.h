// Process-wide state of the Windows program, all of it, in one place. One
// thread does everything, so none of this needs a lock except the cursor
// queue, which the hooks and the overlay window share under queueLock. (The
// fill sweeps a frame's rows on worker threads of its own, inside
// RenderFrame; they touch nothing here.)
//
// The objects with constructors are defined in process_state.cpp, in this
// order, and are therefore built in this order before wWinMain runs and
// destroyed in the reverse order after it returns:
//   1. gdiplusGuard   GDI+ started here, shut down last of all
//   2. keyboardHook   not installed; its destructor removes nothing
//   3. mouseHook      as keyboardHook
//   4. pointQueue     empty; frees its storage at exit
//   5. overlayLayer   no window, no surface; its random source seeded from the tick count
//   6. frameScratch   the fill's working memory, allocated by the first frame
// The hooks and the surface are released by Cleanup before wWinMain
// returns, never by a destructor. The plain values below are
// constant-initialised and need no order.
//
// The overlay (overlay/) and the panel (panel/) keep nothing of their own:
// they work on these objects through overlayParts and panelParts.
#pragma once

#include <cstdint>

#include "effect_settings.h"
#include "frame_composer.h"
#include "gdiplus_startup.h"
#include "hooks.h"
#include "layered_window.h"
#include "overlay_window.h"
#include "panel_dialog.h"
#include "point_queue.h"
#include "win32.h"

namespace qv {

extern QvGDIPlus gdiplusGuard;
extern KeyboardHook keyboardHook;  // installed with KeyboardHookProc, renewed after a slow frame
extern MouseHook mouseHook;        // installed with MouseHookProc
extern PointQueue pointQueue;      // only under queueLock
extern GridLayerWindow overlayLayer;
extern FrameScratch frameScratch;  // kept from frame to frame: a drag must not allocate per frame

// The settings every frame is drawn from; start-up writes the defaults.
extern EffectSettings effectSettings;

// Guards pointQueue; created first and deleted last by wWinMain, so it
// exists whenever a hook can run.
extern CRITICAL_SECTION queueLock;

// Target of every private message; also overlayLayer.window.
extern HWND overlayWindow;

// The overlay's remembered visibility, flipped by the show/hide gesture.
extern std::int32_t overlayVisible;

// 1 from a handled left-Ctrl key-down until its key-up.
extern std::int32_t ctrlLatch;

// The panel's slot table, and its space trackbar, which the wheel gesture
// moves; null until the panel has initialised.
extern TrackbarSlots trackbarSlots;
extern HWND spaceTrackbar;

// What the overlay window and the panel work on.
extern const OverlayParts overlayParts;
extern const PanelParts panelParts;

}  // namespace qv
