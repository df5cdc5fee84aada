#include "layered_window.h"

namespace qv {

std::uint32_t TickCount() noexcept { return static_cast<std::uint32_t>(GetTickCount()); }

Surface OverlaySurface::View() const noexcept {
    Surface view;
    view.bits = static_cast<std::uint32_t*>(bits);
    view.byteSize = bits != nullptr ? byteSize : 0;
    view.width = width;
    view.height = height;
    return view;
}

BOOL LayerdWindow::Present(HDC screenDC) noexcept {
    BLENDFUNCTION blend{};
    blend.BlendOp = AC_SRC_OVER;
    blend.BlendFlags = 0;
    blend.SourceConstantAlpha = constantAlpha;
    blend.AlphaFormat = AC_SRC_ALPHA;
    return UpdateLayeredWindow(window, screenDC, &destinationPoint, &size, surface.memoryDC, &sourcePoint, 0,
                               &blend, ULW_ALPHA);
}

int CreateSurface(std::uint16_t width, std::uint16_t height, OverlaySurface& surface) noexcept {
    HDC screenDC = GetDC(nullptr);
    surface.memoryDC = CreateCompatibleDC(screenDC);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // negative: rows top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    void* bits = nullptr;
    surface.bitmap = CreateDIBSection(screenDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    surface.bits = surface.bitmap != nullptr ? bits : nullptr;
    if (surface.memoryDC != nullptr && surface.bitmap != nullptr)
        surface.previousBitmap = SelectObject(surface.memoryDC, surface.bitmap);
    ReleaseDC(nullptr, screenDC);

    // Without pixels the size stays 0, so the frame composer draws nothing.
    surface.width = surface.bits != nullptr ? width : 0;
    surface.height = surface.bits != nullptr ? height : 0;
    surface.byteSize = SurfaceByteSize(surface.width, surface.height);
    return 1;
}

void ReleaseSurface(OverlaySurface& surface) noexcept {
    if (surface.memoryDC != nullptr) {
        if (surface.previousBitmap != nullptr) SelectObject(surface.memoryDC, surface.previousBitmap);
        DeleteDC(surface.memoryDC);
    }
    // A DIB section whose DC could not be made is freed all the same.
    if (surface.bitmap != nullptr) DeleteObject(surface.bitmap);
    surface = OverlaySurface{};
}

}  // namespace qv
