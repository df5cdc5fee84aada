// The picture buffer: width x height pixels, rows top to bottom without gaps,
// each a little-endian 0xAARRGGBB word, premultiplied, all-zero transparent.
// The buffer is owned elsewhere (a DIB section, a std::vector, a GTK image).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

struct Surface {
    std::uint32_t* bits = nullptr;  // null when no pixels could be made
    std::size_t byteSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    // True when bits can hold width x height pixels; nothing draws otherwise.
    bool Drawable() const noexcept {
        return bits != nullptr && width > 0 && height > 0 &&
               byteSize >= static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u;
    }
};

// Bytes for a width x height surface, computed without 32-bit overflow;
// 0 for a non-positive side.
inline std::size_t SurfaceByteSize(std::int32_t width, std::int32_t height) noexcept {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u;
}

}  // namespace qv
