#include "frame_coverage.h"

#include <algorithm>

#include "fill_simd.h"

namespace qv {

namespace {

// Adds one piece's areas to out[0, cells).
void AddPiece(float lo, float hi, float h, std::int32_t cells, float* out) noexcept {
    const Ramp ramp = Ramp::Of(lo, hi);
    float left = ramp.At(0.0f);
    for (std::int32_t c = 0; c < cells; ++c) {
        const float right = ramp.At(static_cast<float>(c + 1));
        out[c] += h * (right - left);
        left = right;
    }
}

}  // namespace

void CellCoverageScalar(const float* lo, const float* hi, const float* h, std::size_t n, std::int32_t cells,
                        float base, float* out) noexcept {
    for (std::int32_t c = 0; c < cells; ++c) out[c] = base;
    for (std::size_t k = 0; k < n; ++k) AddPiece(lo[k], hi[k], h[k], cells, out);
}

void CellCoverage(const float* lo, const float* hi, const float* h, std::size_t n, std::int32_t cells,
                  float base, float* out) noexcept {
#if QV_FILL_SSE2
    // Four pieces at a time; a short tail goes the scalar way.
    const std::size_t vectorised = n & ~static_cast<std::size_t>(3);
    if (vectorised == 0) {
        CellCoverageScalar(lo, hi, h, n, cells, base, out);
        return;
    }
    constexpr std::size_t kGroups = 8;  // 32 pieces per pass over the cells
    for (std::int32_t c = 0; c < cells; ++c) out[c] = base;
    for (std::size_t first = 0; first < vectorised; first += 4 * kGroups) {
        const std::size_t groups = std::min(kGroups, (vectorised - first) / 4);
        fill::Ramps ramps[kGroups];
        __m128 vH[kGroups], vLeft[kGroups];
        const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
        for (std::size_t i = 0; i < groups; ++i) {
            const std::size_t k = first + 4 * i;
            ramps[i] = fill::Ramps::Of(_mm_loadu_ps(lo + k), _mm_loadu_ps(hi + k));
            vH[i] = _mm_loadu_ps(h + k);
            vLeft[i] = ramps[i].At(zero);
        }
        __m128 u = zero;
        for (std::int32_t c = 0; c < cells; ++c) {
            u = _mm_add_ps(u, one);
            __m128 sum = zero;
            for (std::size_t i = 0; i < groups; ++i) {
                const __m128 right = ramps[i].At(u);
                sum = _mm_add_ps(sum, _mm_mul_ps(vH[i], _mm_sub_ps(right, vLeft[i])));
                vLeft[i] = right;
            }
            out[c] += fill::HorizontalSum(sum);
        }
    }
    // The tail added on top of what the groups gave.
    for (std::size_t k = vectorised; k < n; ++k) AddPiece(lo[k], hi[k], h[k], cells, out);
#else
    CellCoverageScalar(lo, hi, h, n, cells, base, out);
#endif
}

}  // namespace qv
