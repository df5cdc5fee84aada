// The fill's vector instructions: whether the build has them, and the small
// SSE2 helpers its kernels share (horizontal sums, the signed minimum SSE2
// lacks, the saturation test on four sums, the coverage ramp of four pieces).
// Plain builds (QV_NO_SIMD, or no SSE2) get none of it and take the scalar
// twins.
#pragma once

#if !defined(QV_NO_SIMD) && (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define QV_FILL_SSE2 1
#include <emmintrin.h>
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif
#endif

#include <cstdint>

#include "frame_coverage.h"

// The helpers a vector kernel is cut into must not cost a call each.
#if defined(__GNUC__) || defined(__clang__)
#define QV_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define QV_ALWAYS_INLINE inline
#endif

namespace qv::fill {

// Whether the engine was built with the vector kernels; a plain build has
// only the scalar twins, so comparing the two there compares nothing.
bool VectorCodeBuilt() noexcept;

#if QV_FILL_SSE2

// Truncates four floats toward zero. The fill converts only values within
// the int range, where WebAssembly's saturating conversion is exact; the
// browser build's SSE2 header converts lane by lane through lrint instead,
// which made it the costliest instruction of a frame there.
QV_ALWAYS_INLINE __m128i TruncateToInt32(__m128 v) noexcept {
#if defined(__wasm_simd128__)
    return static_cast<__m128i>(wasm_i32x4_trunc_sat_f32x4(static_cast<v128_t>(v)));
#else
    return _mm_cvttps_epi32(v);
#endif
}

inline float HorizontalSum(__m128 v) noexcept {
    v = _mm_add_ps(v, _mm_movehl_ps(v, v));
    v = _mm_add_ss(v, _mm_shuffle_ps(v, v, 1));
    return _mm_cvtss_f32(v);
}

inline std::uint32_t HorizontalSum(__m128i v) noexcept {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
}

// SSE2 has no 32-bit minimum; SSE4.1's is not assumed.
inline __m128i MinEpi32(__m128i a, __m128i b) noexcept {
    const __m128i aSmaller = _mm_cmplt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(aSmaller, a), _mm_andnot_si128(aSmaller, b));
}

// All ones in the lanes whose unsigned sum is below `limit`: SSE2 compares
// only signed, so both sides are moved by 2^31 first.
class BelowLimit {
public:
    explicit BelowLimit(std::uint32_t limit) noexcept
        : bias_(_mm_set1_epi32(static_cast<int>(0x80000000u))),
          limit_(_mm_set1_epi32(static_cast<int>(limit ^ 0x80000000u))) {}
    __m128i operator()(__m128i sums) const noexcept {
        return _mm_cmplt_epi32(_mm_xor_si128(sums, bias_), limit_);
    }

private:
    __m128i bias_, limit_;
};

// Four pieces' coverage ramps: At(u) is the mean over each piece of
// max(0, u - x), zero left of the piece, a parabola across it, linear right
// of it (see frame_coverage.h).
struct Ramps {
    __m128 lo, hi, mid, inv;
    static Ramps Of(__m128 lo, __m128 hi) noexcept {
        return Ramps{
            lo, hi, _mm_mul_ps(_mm_add_ps(lo, hi), _mm_set1_ps(0.5f)),
            _mm_div_ps(_mm_set1_ps(1.0f), _mm_max_ps(_mm_mul_ps(_mm_set1_ps(2.0f), _mm_sub_ps(hi, lo)),
                                                     _mm_set1_ps(kMinTwiceWidth)))};
    }
    __m128 At(__m128 u) const noexcept {
        const __m128 d = _mm_max_ps(_mm_setzero_ps(), _mm_sub_ps(u, lo));
        const __m128 past = _mm_cmpge_ps(u, hi);
        return _mm_or_ps(_mm_and_ps(past, _mm_sub_ps(u, mid)),
                         _mm_andnot_ps(past, _mm_mul_ps(_mm_mul_ps(d, d), inv)));
    }
};

#endif

}  // namespace qv::fill
