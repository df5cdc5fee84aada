// Every global object of the program, in the one order of construction
// that process_state.h documents. Do not split this file: the order of
// construction is only guaranteed within one translation unit.
#include "process_state.h"

namespace qv {

QvGDIPlus gdiplusGuard;
KeyboardHook keyboardHook;
MouseHook mouseHook;
PointQueue pointQueue;
GridLayerWindow overlayLayer;
FrameScratch frameScratch;

EffectSettings effectSettings;
CRITICAL_SECTION queueLock;
HWND overlayWindow = nullptr;
std::int32_t overlayVisible = 1;
std::int32_t ctrlLatch = 0;
TrackbarSlots trackbarSlots;
HWND spaceTrackbar = nullptr;

// References and functions only: constant-initialised, so no order either.
constinit const OverlayParts overlayParts{
    .layer = overlayLayer,
    .settings = effectSettings,
    .scratch = frameScratch,
    .visible = overlayVisible,
    .points = pointQueue,
    .pointsLock = queueLock,
    .frameDrawn = &RenewHooksAfterFrame,
};
constinit const PanelParts panelParts{
    .settings = effectSettings,
    .random = overlayLayer.random,
    .slots = trackbarSlots,
    .overlayWindow = overlayWindow,
    .spaceTrackbar = spaceTrackbar,
    .reinstallHooks = &ReinstallHooks,
};

}  // namespace qv
