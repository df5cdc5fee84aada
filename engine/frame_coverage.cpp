#include "frame_coverage.h"

#include <algorithm>

#if !defined(QV_NO_SIMD) && (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define QV_COVERAGE_SSE2 1
#include <emmintrin.h>
#endif

namespace qv {

namespace {

// Mean over a piece of max(0, u - x): zero left of it, a parabola across it,
// linear right of it.
inline float G(float u, float lo, float hi, float mid, float inv) noexcept {
    if (u >= hi) return u - mid;
    const float d = std::max(0.0f, u - lo);
    return d * d * inv;
}

}  // namespace

void CellCoverageScalar(const float* lo, const float* hi, const float* h, std::size_t n, std::int32_t cells,
                        float base, float* out) noexcept {
    for (std::int32_t c = 0; c < cells; ++c) out[c] = base;
    for (std::size_t k = 0; k < n; ++k) {
        const float mid = (lo[k] + hi[k]) * 0.5f;
        const float inv = 1.0f / std::max(2.0f * (hi[k] - lo[k]), kMinTwiceWidth);
        float left = G(0.0f, lo[k], hi[k], mid, inv);
        for (std::int32_t c = 0; c < cells; ++c) {
            const float right = G(static_cast<float>(c + 1), lo[k], hi[k], mid, inv);
            out[c] += h[k] * (right - left);
            left = right;
        }
    }
}

void CellCoverage(const float* lo, const float* hi, const float* h, std::size_t n, std::int32_t cells, float base,
                  float* out) noexcept {
#if QV_COVERAGE_SSE2
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
        __m128 vLo[kGroups], vHi[kGroups], vMid[kGroups], vInv[kGroups], vH[kGroups], vLeft[kGroups];
        const __m128 half = _mm_set1_ps(0.5f), two = _mm_set1_ps(2.0f), zero = _mm_setzero_ps();
        const __m128 one = _mm_set1_ps(1.0f), minWidth = _mm_set1_ps(kMinTwiceWidth);
        auto g = [&](std::size_t i, __m128 u) {
            const __m128 lin = _mm_sub_ps(u, vMid[i]);
            const __m128 d = _mm_max_ps(zero, _mm_sub_ps(u, vLo[i]));
            const __m128 quad = _mm_mul_ps(_mm_mul_ps(d, d), vInv[i]);
            const __m128 right = _mm_cmpge_ps(u, vHi[i]);
            return _mm_or_ps(_mm_and_ps(right, lin), _mm_andnot_ps(right, quad));
        };
        for (std::size_t i = 0; i < groups; ++i) {
            const std::size_t k = first + 4 * i;
            vLo[i] = _mm_loadu_ps(lo + k);
            vHi[i] = _mm_loadu_ps(hi + k);
            vH[i] = _mm_loadu_ps(h + k);
            vMid[i] = _mm_mul_ps(_mm_add_ps(vLo[i], vHi[i]), half);
            vInv[i] = _mm_div_ps(one, _mm_max_ps(_mm_mul_ps(two, _mm_sub_ps(vHi[i], vLo[i])), minWidth));
            vLeft[i] = g(i, zero);
        }
        __m128 u = zero;
        for (std::int32_t c = 0; c < cells; ++c) {
            u = _mm_add_ps(u, one);
            __m128 sum = zero;
            for (std::size_t i = 0; i < groups; ++i) {
                const __m128 right = g(i, u);
                sum = _mm_add_ps(sum, _mm_mul_ps(vH[i], _mm_sub_ps(right, vLeft[i])));
                vLeft[i] = right;
            }
            // Horizontal sum of the four lanes.
            sum = _mm_add_ps(sum, _mm_movehl_ps(sum, sum));
            sum = _mm_add_ss(sum, _mm_shuffle_ps(sum, sum, 1));
            out[c] += _mm_cvtss_f32(sum);
        }
    }
    if (vectorised < n) {
        // The tail added on top of what the groups gave.
        for (std::size_t k = vectorised; k < n; ++k) {
            const float mid = (lo[k] + hi[k]) * 0.5f;
            const float inv = 1.0f / std::max(2.0f * (hi[k] - lo[k]), kMinTwiceWidth);
            float left = G(0.0f, lo[k], hi[k], mid, inv);
            for (std::int32_t c = 0; c < cells; ++c) {
                const float right = G(static_cast<float>(c + 1), lo[k], hi[k], mid, inv);
                out[c] += h[k] * (right - left);
                left = right;
            }
        }
    }
#else
    CellCoverageScalar(lo, hi, h, n, cells, base, out);
#endif
}

}  // namespace qv
