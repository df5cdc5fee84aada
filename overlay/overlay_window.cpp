#include "overlay_window.h"

#include "frame_composer.h"
#include "gesture_decoder.h"
#include "layered_window.h"
#include "private_messages.h"
#include "process_state.h"

namespace qv {
namespace {

void ShowOrHide(HWND window) noexcept {
    const VisibilityChange change = ToggleVisibility(overlayVisible);
    overlayVisible = change.visible;
    ShowWindow(window, change.show ? SW_SHOW : SW_HIDE);
}

LRESULT MoveCenter() noexcept {
    EnterCriticalSection(&queueLock);
    const DrainResult drained = pointQueue.Drain();
    if (drained.count >= 1) {
        effectSettings.centerX = drained.newest.x;
        effectSettings.centerY = drained.newest.y;
    }
    LeaveCriticalSection(&queueLock);
    // A burst is drawn once; give the rest of the slice to whoever is
    // still producing it before spending a frame.
    if (drained.count > 1) Sleep(0);
    if (drained.count == 0) return 0;
    RedrawOverlay(kReplaySelector);
    return 0;
}

}  // namespace

LRESULT CALLBACK OverlayWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT: {
            // The picture comes only from UpdateLayeredWindow; just validate.
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 1;
        }
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_WINDOWPOSCHANGING: {
            // Pinned to the screen origin; size, z-order and flags go through.
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            pos->x = 0;
            pos->y = 0;
            return 0;
        }
        case WM_DISPLAYCHANGE:
            FitToDesktop();
            return 1;
        default: break;
    }
    if (message == WM_APP_HOTKEY) {
        if (wParam == kVkLShift) RedrawOverlay(kNewPatternSelector);
        else if (wParam == kVkLMenu) ShowOrHide(window);
        return 0;
    }
    if (message == WM_APP_REDRAW) {
        RedrawOverlay(kReplaySelector);
        return 0;
    }
    if (message == WM_APP_MOVE_CENTER) return MoveCenter();
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace qv
