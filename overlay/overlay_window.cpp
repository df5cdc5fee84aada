#include "overlay_window.h"

#include "frame_drag.h"
#include "gesture_decoder.h"
#include "monitor_list.h"
#include "private_messages.h"

namespace qv {
namespace {

constexpr UINT_PTR kRestTimer = 1;  // the overlay window's one timer

const OverlayParts* PartsOf(HWND window) noexcept {
    return reinterpret_cast<const OverlayParts*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void ShowOrHide(const OverlayParts& parts, HWND window) noexcept {
    const VisibilityChange change = ToggleVisibility(parts.visible);
    parts.visible = change.visible;
    // Shown on the cursor's monitor: moved there first, with the same pattern.
    if (change.show && FollowGesture(parts, CursorPosition(), GestureReach::kInPlace))
        RedrawOverlay(parts, kReplaySelector);
    ShowWindow(window, change.show ? SW_SHOW : SW_HIDE);
}

LRESULT MoveCenter(const OverlayParts& parts) noexcept {
    EnterCriticalSection(&parts.pointsLock);
    const DrainResult drained = parts.points.Drain();
    LeaveCriticalSection(&parts.pointsLock);
    // A burst is drawn once; give the rest of the slice to whoever is
    // still producing it before spending a frame.
    if (drained.count > 1) Sleep(0);
    if (drained.count == 0) return 0;
    // The point is on the virtual screen; the centre is in the surface's
    // pixels, on whichever monitor the point took the overlay to. A move
    // onto another monitor refits the surface, and that frame is drawn whole
    // rather than made from the frame before.
    const ScreenPoint point{drained.newest.x, drained.newest.y};
    const bool refitted = FollowGesture(parts, point, GestureReach::kCenterToPointer);
    const ScreenPoint center = ToSurface(point, parts.layer.monitor.rect);
    parts.settings.centerX = center.x;
    parts.settings.centerY = center.y;
    if (refitted)
        RedrawOverlay(parts, kReplaySelector);
    else
        DragOverlay(parts);
    return 0;
}

// The exact frame after a drag's frames.
void CenterRests(const OverlayParts& parts, HWND window) noexcept {
    KillTimer(window, kRestTimer);
    if (parts.layer.dragShown) RedrawOverlay(parts, kReplaySelector);
}

void PresentAndReport(const OverlayParts& parts, ULONGLONG started) noexcept {
    HDC screenDC = GetDC(nullptr);
    parts.layer.Present(screenDC);
    ReleaseDC(nullptr, screenDC);
    if (parts.frameDrawn != nullptr) parts.frameDrawn(GetTickCount64() - started);
}

// The surface and the window over one monitor, at its top-left corner.
void Cover(GridLayerWindow& layer, const Monitor& monitor) noexcept {
    const LONG width = monitor.rect.Width();
    const LONG height = monitor.rect.Height();
    ReleaseSurface(layer.surface);
    CreateSurface(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), layer.surface);
    layer.monitor = monitor;
    layer.destinationPoint = POINT{monitor.rect.left, monitor.rect.top};
    layer.sourcePoint = POINT{0, 0};
    layer.size = SIZE{width, height};
}

// The private messages, once the window has its parts.
LRESULT HandlePrivateMessage(const OverlayParts& parts, HWND window, UINT message, WPARAM wParam) noexcept {
    if (message == WM_APP_HOTKEY) {
        if (wParam == kVkLShift) {
            FollowGesture(parts, CursorPosition(), GestureReach::kInPlace);
            RedrawOverlay(parts, kNewPatternSelector);
        } else if (wParam == kVkLMenu) {
            ShowOrHide(parts, window);
        }
    } else if (message == WM_APP_REDRAW) {
        // The wheel is a gesture and acts on the cursor's monitor; the
        // panel's own redraws leave the overlay where it is.
        if (wParam == kRedrawAfterWheel) FollowGesture(parts, CursorPosition(), GestureReach::kInPlace);
        RedrawOverlay(parts, kReplaySelector);
    } else if (message == WM_APP_MOVE_CENTER) {
        return MoveCenter(parts);
    } else if (message == WM_APP_CENTER_RESTS) {
        CenterRests(parts, window);
    }
    return 0;
}

}  // namespace

void BindOverlayWindow(HWND window, const OverlayParts& parts) noexcept {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&parts));
}

void RedrawOverlay(const OverlayParts& parts, std::int32_t selector) noexcept {
    const ULONGLONG started = GetTickCount64();
    GridLayerWindow& layer = parts.layer;
    Surface view = layer.surface.View();
    RenderFrame(selector, parts.settings, layer.random, view, layer.constantAlpha, parts.scratch);
    layer.dragShown = false;
    PresentAndReport(parts, started);
}

void DragOverlay(const OverlayParts& parts) noexcept {
    const ULONGLONG started = GetTickCount64();
    GridLayerWindow& layer = parts.layer;
    Surface view = layer.surface.View();
    const DragStats drag = DragFrame(parts.settings, layer.random, view, layer.constantAlpha, parts.scratch);
    layer.dragShown = !drag.wholeFrame;
    // Each move puts the rest off again.
    if (layer.dragShown) SetTimer(layer.window, kRestTimer, kCenterRestMs, nullptr);
    PresentAndReport(parts, started);
}

void FitToDesktop(const OverlayParts& parts) noexcept {
    const MonitorList monitors = EnumerateMonitors();
    FitToMonitors(parts, monitors.View());
}

void FitToMonitors(const OverlayParts& parts, MonitorLayout layout) noexcept {
    const std::optional<OverlayFit> fit = FitAfterDisplayChange(layout, parts.layer.monitor);
    RECT desktop{0, 0, 0, 0};
    if (!fit) GetWindowRect(GetDesktopWindow(), &desktop);
    const Monitor monitor =
        fit ? fit->monitor
            : Monitor{ScreenRect{desktop.left, desktop.top, desktop.right, desktop.bottom}, 0, true};
    GridLayerWindow& layer = parts.layer;
    Cover(layer, monitor);

    EffectSettings& settings = parts.settings;
    const ScreenPoint center = fit ? fit->center : MiddleOf(monitor.rect);
    settings.centerX = center.x;
    settings.centerY = center.y;
    layer.random.SetJitterRanges(settings.densityJitter, settings.thicknessJitter, settings.spaceJitter,
                                 settings.alphaJitter);
    RedrawOverlay(parts, kNewPatternSelector);
}

bool FollowGestureOn(const OverlayParts& parts, MonitorLayout layout, ScreenPoint cursor,
                     GestureReach reach) noexcept {
    const std::optional<OverlayFit> fit = FitForGesture(layout, parts.layer.monitor, cursor, reach);
    if (!fit) return false;
    Cover(parts.layer, fit->monitor);
    parts.settings.centerX = fit->center.x;
    parts.settings.centerY = fit->center.y;
    return true;
}

bool FollowGesture(const OverlayParts& parts, ScreenPoint cursor, GestureReach reach) noexcept {
    // A drag within the covered monitor, the common case, asks the system nothing.
    if (parts.layer.monitor.rect.Holds(cursor)) return false;
    const MonitorList monitors = EnumerateMonitors();
    return FollowGestureOn(parts, monitors.View(), cursor, reach);
}

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
            // Pinned to its monitor's corner (the screen origin until it has
            // parts); size, z-order and flags go through.
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            const OverlayParts* parts = PartsOf(window);
            pos->x = parts != nullptr ? parts->layer.destinationPoint.x : 0;
            pos->y = parts != nullptr ? parts->layer.destinationPoint.y : 0;
            return 0;
        }
        case WM_DISPLAYCHANGE:
            if (const OverlayParts* parts = PartsOf(window)) FitToDesktop(*parts);
            return 1;
        case WM_TIMER:
            if (wParam != kRestTimer) break;
            if (const OverlayParts* parts = PartsOf(window)) {
                CenterRests(*parts, window);
            } else {
                KillTimer(window, kRestTimer);
            }
            return 0;
        default:
            break;
    }
    if (message == WM_APP_HOTKEY || message == WM_APP_REDRAW || message == WM_APP_MOVE_CENTER ||
        message == WM_APP_CENTER_RESTS) {
        const OverlayParts* parts = PartsOf(window);
        return parts != nullptr ? HandlePrivateMessage(*parts, window, message, wParam) : 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace qv
