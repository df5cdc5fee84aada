// Exact area coverage of a run of cells in one row by a set of straight edge
// pieces, each a weighted signed height, the way a font rasteriser sums
// signed areas: cell c gets base + sum_k h_k * (area of c right of piece k).
//
// A piece runs linearly from x = a_k to x = b_k (either order) over its part
// of the row; xs are relative to the left side of the first cell. With
// G_k(u) = mean over the piece of max(0, u - x) = (max(0, u - lo)^2 -
// max(0, u - hi)^2) / (2 (hi - lo)), the area of cell c right of the piece
// is G_k(c + 1) - G_k(c): the cells of a piece need no clipping or splitting,
// and many pieces are summed four at a time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qv {

// A vertical piece (lo == hi) has no ramp; the bound keeps 0 * (1 / width)
// finite on its left.
inline constexpr float kMinTwiceWidth = 1e-20f;

// One piece's ramp: At(u) is the mean over the piece of max(0, u - x), zero
// left of it, a parabola across it, linear right of it. Ramps in fill_simd.h
// is its four-lane twin, operation for operation.
struct Ramp {
    float lo, hi, mid, inv;
    static Ramp Of(float lo, float hi) noexcept {
        return Ramp{lo, hi, (lo + hi) * 0.5f, 1.0f / std::max(2.0f * (hi - lo), kMinTwiceWidth)};
    }
    float At(float u) const noexcept {
        if (u >= hi) return u - mid;
        const float d = std::max(0.0f, u - lo);
        return d * d * inv;
    }
};

// out[c] for c in [0, cells). n pieces; lo[k] <= hi[k].
void CellCoverage(const float* lo, const float* hi, const float* h, std::size_t n, std::int32_t cells,
                  float base, float* out) noexcept;

// The same without vector instructions: what non-x86 builds use, and what
// the vector form is tested against.
void CellCoverageScalar(const float* lo, const float* hi, const float* h, std::size_t n, std::int32_t cells,
                        float base, float* out) noexcept;

}  // namespace qv
