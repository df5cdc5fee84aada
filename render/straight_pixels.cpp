// Premultiplied surface pixels as straight RGBA bytes with the overall
// alpha applied: what every raster output starts from.
#include <algorithm>
#include <cstring>

#include "writers.h"

namespace qv::render {

namespace {

constexpr int kChannelMax = 255;

std::uint8_t ScaledAlpha(std::uint32_t a, std::uint8_t constantAlpha) noexcept {
    return static_cast<std::uint8_t>((a * constantAlpha + kChannelMax / 2) / kChannelMax);
}

// a > 0; inconsistent input (c > a) saturates, never wraps.
std::uint8_t Unpremultiply(std::uint32_t c, std::uint32_t a) noexcept {
    return static_cast<std::uint8_t>(std::min<std::uint32_t>(kChannelMax, (c * kChannelMax + a / 2) / a));
}

// Unpremultiply for every alpha and channel value, built once (64 KiB).
struct UnpremultiplyTable {
    std::uint8_t values[kChannelMax + 1][kChannelMax + 1];

    static const UnpremultiplyTable& Get() {
        static const UnpremultiplyTable table = [] {
            UnpremultiplyTable t{};
            for (std::uint32_t a = 1; a <= kChannelMax; ++a) {
                for (std::uint32_t c = 0; c <= kChannelMax; ++c) t.values[a][c] = Unpremultiply(c, a);
            }
            return t;
        }();
        return table;
    }
};

}  // namespace

void StraightPixel(std::uint32_t premultiplied, std::uint8_t constantAlpha, std::uint8_t rgba[4]) noexcept {
    const std::uint32_t a = premultiplied >> 24;
    const std::uint32_t alpha = ScaledAlpha(a, constantAlpha);
    if (alpha == 0) {
        std::memset(rgba, 0, 4);
        return;
    }
    rgba[0] = Unpremultiply((premultiplied >> 16) & 0xFFu, a);
    rgba[1] = Unpremultiply((premultiplied >> 8) & 0xFFu, a);
    rgba[2] = Unpremultiply(premultiplied & 0xFFu, a);
    rgba[3] = static_cast<std::uint8_t>(alpha);
}

StraightConverter::StraightConverter(std::uint8_t constantAlpha) noexcept {
    for (std::uint32_t a = 0; a <= kChannelMax; ++a) alpha_[a] = ScaledAlpha(a, constantAlpha);
}

void StraightConverter::Row(const std::uint32_t* premultiplied, std::size_t count,
                            std::uint8_t* rgba) const noexcept {
    const UnpremultiplyTable& table = UnpremultiplyTable::Get();
    for (std::size_t i = 0; i < count; ++i, rgba += 4) {
        const std::uint32_t p = premultiplied[i];
        const std::uint32_t a = p >> 24;
        const std::uint8_t alpha = alpha_[a];
        if (alpha == 0) {
            std::memset(rgba, 0, 4);
            continue;
        }
        const std::uint8_t* byAlpha = table.values[a];
        rgba[0] = byAlpha[(p >> 16) & 0xFFu];
        rgba[1] = byAlpha[(p >> 8) & 0xFFu];
        rgba[2] = byAlpha[p & 0xFFu];
        rgba[3] = alpha;
    }
}

void StraightRgba(const Surface& surface, std::uint8_t constantAlpha, std::vector<std::uint8_t>& bytes) {
    const std::size_t count =
        static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(surface.height);
    bytes.resize(count * 4);
    StraightConverter(constantAlpha).Row(surface.bits, count, bytes.data());
}

}  // namespace qv::render
