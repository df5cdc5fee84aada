// The overlay's picture and its way to the screen: a monitor-sized, 32-bit,
// top-down DIB section selected into a memory DC, pushed to the layered
// overlay window over that monitor with per-pixel alpha and the overall
// opacity.
#pragma once

#include <cstddef>
#include <cstdint>

#include "monitor_layout.h"
#include "random_source.h"
#include "surface.h"
#include "win32.h"

namespace qv {

struct OverlaySurface {
    HDC memoryDC = nullptr;           // null when no surface exists
    HBITMAP bitmap = nullptr;         // the DIB section
    HGDIOBJ previousBitmap = nullptr; // put back before memoryDC is deleted
    void* bits = nullptr;             // top row first; null when the DIB section could not be made
    std::size_t byteSize = 0;         // bytes that bits addresses; 0 without bits
    std::int32_t width = 0;           // the DIB section's own size
    std::int32_t height = 0;

    // What the engine draws into: no pixels, nothing drawn.
    Surface View() const noexcept;
};

class LayerdWindow {
public:
    LayerdWindow() = default;
    virtual ~LayerdWindow() = default;  // releases nothing: shutdown does, explicitly
    LayerdWindow(const LayerdWindow&) = delete;
    LayerdWindow& operator=(const LayerdWindow&) = delete;

    // Pushes the surface to the window; the result is not examined by anyone.
    BOOL Present(HDC screenDC) noexcept;

    HWND window = nullptr;
    OverlaySurface surface;
    Monitor monitor;               // the monitor the window covers; none before the first fit
    POINT destinationPoint{0, 0};  // the monitor's top-left corner; the window stays there
    SIZE size{0, 0};
    POINT sourcePoint{0, 0};
    std::uint8_t constantAlpha = 255;
};

// GetTickCount as the random source's clock.
std::uint32_t TickCount() noexcept;

class GridLayerWindow : public LayerdWindow {
public:
    GridLayerWindow() = default;
    ~GridLayerWindow() override = default;

    RandomSource random{&TickCount};
    // The surface holds a drag's frame, made from the frame before; the
    // exact frame follows when the centre rests.
    bool dragShown = false;
};

// Makes the DIB section and its memory DC. Always returns 1; when a step
// fails the surface is left without bits, and nothing draws into it.
int CreateSurface(std::uint16_t width, std::uint16_t height, OverlaySurface& surface) noexcept;

// Frees what the surface holds; a surface that holds nothing is left alone.
void ReleaseSurface(OverlaySurface& surface) noexcept;

}  // namespace qv
