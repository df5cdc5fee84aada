#include "overlay_window.h"

#include "gesture_decoder.h"
#include "private_messages.h"

namespace qv {
namespace {

const OverlayParts* PartsOf(HWND window) noexcept {
    return reinterpret_cast<const OverlayParts*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void ShowOrHide(const OverlayParts& parts, HWND window) noexcept {
    const VisibilityChange change = ToggleVisibility(parts.visible);
    parts.visible = change.visible;
    ShowWindow(window, change.show ? SW_SHOW : SW_HIDE);
}

LRESULT MoveCenter(const OverlayParts& parts) noexcept {
    EnterCriticalSection(&parts.pointsLock);
    const DrainResult drained = parts.points.Drain();
    if (drained.count >= 1) {
        parts.settings.centerX = drained.newest.x;
        parts.settings.centerY = drained.newest.y;
    }
    LeaveCriticalSection(&parts.pointsLock);
    // A burst is drawn once; give the rest of the slice to whoever is
    // still producing it before spending a frame.
    if (drained.count > 1) Sleep(0);
    if (drained.count == 0) return 0;
    RedrawOverlay(parts, kReplaySelector);
    return 0;
}

// The private messages, once the window has its parts.
LRESULT HandlePrivateMessage(const OverlayParts& parts, HWND window, UINT message, WPARAM wParam) noexcept {
    if (message == WM_APP_HOTKEY) {
        if (wParam == kVkLShift)
            RedrawOverlay(parts, kNewPatternSelector);
        else if (wParam == kVkLMenu)
            ShowOrHide(parts, window);
    } else if (message == WM_APP_REDRAW) {
        RedrawOverlay(parts, kReplaySelector);
    } else if (message == WM_APP_MOVE_CENTER) {
        return MoveCenter(parts);
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
    HDC screenDC = GetDC(nullptr);
    layer.Present(screenDC);
    ReleaseDC(nullptr, screenDC);
    if (parts.frameDrawn != nullptr) parts.frameDrawn(GetTickCount64() - started);
}

void FitToDesktop(const OverlayParts& parts) noexcept {
    RECT desktop{0, 0, 0, 0};
    GetWindowRect(GetDesktopWindow(), &desktop);
    const LONG width = desktop.right - desktop.left;
    const LONG height = desktop.bottom - desktop.top;

    GridLayerWindow& layer = parts.layer;
    ReleaseSurface(layer.surface);
    CreateSurface(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), layer.surface);
    layer.sourcePoint = POINT{0, 0};
    layer.size = SIZE{width, height};

    EffectSettings& settings = parts.settings;
    settings.centerX = width / 2;
    settings.centerY = height / 2;
    layer.random.SetJitterRanges(settings.densityJitter, settings.thicknessJitter, settings.spaceJitter,
                                 settings.alphaJitter);
    RedrawOverlay(parts, kNewPatternSelector);
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
            // Pinned to the screen origin; size, z-order and flags go through.
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            pos->x = 0;
            pos->y = 0;
            return 0;
        }
        case WM_DISPLAYCHANGE:
            if (const OverlayParts* parts = PartsOf(window)) FitToDesktop(*parts);
            return 1;
        default:
            break;
    }
    if (message == WM_APP_HOTKEY || message == WM_APP_REDRAW || message == WM_APP_MOVE_CENTER) {
        const OverlayParts* parts = PartsOf(window);
        return parts != nullptr ? HandlePrivateMessage(*parts, window, message, wParam) : 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace qv
