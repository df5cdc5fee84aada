// The fill's log domain. A pixel under lines of coverage c_i and alpha a_i
// has alpha 1 - prod(1 - a_i c_i), so the fill adds -ln(1 - a_i c_i) per
// pixel in fixed point and turns each sum into a pixel once. This file owns
// the fixed-point scale, the table from coverage to log, the table from sum
// to alpha, and the frame's table from sum to premultiplied pixel.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace qv::fill {

// Fixed-point units of -ln(transmittance) per 1.0.
inline constexpr std::uint32_t kLogScale = 8192;

// Coverage is looked up in steps of 1/kCoverageSteps: at most 6e-5 of alpha.
inline constexpr int kCoverageSteps = 8192;

// -ln(1 - a) is capped here; one fully covering opaque line then already
// saturates the pixel (see kSaturated). With at most 12 x 3600 triangles a
// frame's sum stays below 2^32.
inline constexpr double kMaxLogPerLine = 8.0;

// The smallest sum that converts to alpha 255: 1 - exp(-L) >= 254.5 / 255.
inline const std::uint32_t kSaturated = static_cast<std::uint32_t>(std::ceil(std::log(510.0) * kLogScale));

// Sums are converted to pixels in steps of this many units, through a table
// small enough for the first-level cache: at most 2.5e-4 of alpha.
inline constexpr std::uint32_t kSumStep = 4;
inline constexpr int kSumShift = 2;
static_assert(kSumStep == 1u << kSumShift);

// Coverage (times kCoverageSteps) to fixed-point -ln(1 - coverage).
const std::array<std::uint32_t, kCoverageSteps + 1>& LogTable();

inline std::uint32_t LogOf(const std::uint32_t* table, float coverage) noexcept {
    const float a = std::min(1.0f, std::max(0.0f, coverage));
    return table[static_cast<std::size_t>(a * kCoverageSteps + 0.5f)];
}

// Fixed-point sum to the 8-bit alpha of 1 - exp(-sum), for sums below kSaturated.
const std::vector<std::uint8_t>& AlphaTable();

// The frame's colour as premultiplied pixels: by 8-bit alpha, and by sum in
// steps of kSumStep up to saturation.
class PixelTable {
public:
    void SetColour(std::uint32_t rgb);
    std::uint32_t Opaque() const noexcept { return byAlpha_[255]; }
    const std::uint32_t* BySum() const noexcept { return bySum_.data(); }

private:
    std::uint32_t byAlpha_[256] = {};
    std::vector<std::uint32_t> bySum_;
};

}  // namespace qv::fill
