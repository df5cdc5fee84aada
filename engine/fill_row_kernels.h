// Row kernels: the loops over one row's fixed-point sums that every row
// runs (running sums with the count of open cells, the saturation test,
// filling pixels, turning sums into pixels). Each is written once in plain
// C++ (namespace scalar) and once in SSE2 (namespace sse2) beside it; the
// names in qv::fill are the build's choice. All of it is integer
// arithmetic, so the twins give the very same results.
#pragma once

#include <cstdint>

#include "fill_log_domain.h"
#include "fill_simd.h"

namespace qv::fill {

namespace scalar {

// The sum of p[0, n), wrapping like the row's sums.
inline std::uint32_t SumOf(const std::uint32_t* p, std::int32_t n, std::int32_t from = 0,
                           std::uint32_t sum = 0) noexcept {
    for (std::int32_t i = from; i < n; ++i) sum += p[i];
    return sum;
}

// Cells [from, n) of SumRow, the running sum standing at `sum` before `from`.
inline void SumRowFrom(std::uint32_t* p, std::int32_t from, std::int32_t n, std::uint32_t* open,
                       std::uint32_t sum) noexcept {
    for (std::int32_t i = from; i < n; ++i) {
        sum += p[i];
        p[i] = sum;
        open[i + 1] = open[i] + (sum < kSaturated ? 1u : 0u);
    }
}

// Running sums of one row of differences, in place, and beside them
// open[c] = how many of the cells before c are below saturation.
inline void SumRow(std::uint32_t* p, std::int32_t n, std::uint32_t* open) noexcept {
    open[0] = 0;
    SumRowFrom(p, 0, n, open, 0);
}

// True when every cell of [first, last] is already opaque.
inline bool AllSaturated(const std::uint32_t* sums, std::int32_t first, std::int32_t last) noexcept {
    for (std::int32_t x = first; x <= last; ++x) {
        if (sums[x] < kSaturated) return false;
    }
    return true;
}

inline void FillPixels(std::uint32_t* pixels, std::int32_t count, std::uint32_t value,
                       std::int32_t from = 0) noexcept {
    for (std::int32_t x = from; x < count; ++x) pixels[x] = value;
}

// Cells [from, count) of ResolveCells; `last` holds the last sum converted
// and its pixel, so that runs of one value are looked up once.
struct LastPixel {
    std::uint32_t sum = 0, pixel = 0;
};
inline void ResolveCellsFrom(std::uint32_t* sums, std::uint32_t* pixels, std::int32_t from,
                             std::int32_t count, const std::uint32_t* bySum, std::uint32_t opaque,
                             LastPixel& last) noexcept {
    for (std::int32_t i = from; i < count; ++i) {
        const std::uint32_t sum = sums[i];
        if (sum != last.sum) {
            last.sum = sum;
            last.pixel = sum >= kSaturated ? opaque : bySum[(sum + kSumStep / 2) / kSumStep];
        }
        pixels[i] = last.pixel;
        sums[i] = 0;
    }
}

// Sums [0, count) to pixels through the table by sum (opaque from
// saturation on), clearing the sums for the next row.
inline void ResolveCells(std::uint32_t* sums, std::uint32_t* pixels, std::int32_t count,
                         const std::uint32_t* bySum, std::uint32_t opaque) noexcept {
    LastPixel last;
    ResolveCellsFrom(sums, pixels, 0, count, bySum, opaque, last);
}

}  // namespace scalar

#if QV_FILL_SSE2
namespace sse2 {

inline std::uint32_t SumOf(const std::uint32_t* p, std::int32_t n) noexcept {
    std::int32_t i = 0;
    __m128i four = _mm_setzero_si128();
    for (; i + 4 <= n; i += 4)
        four = _mm_add_epi32(four, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    return scalar::SumOf(p, n, i, HorizontalSum(four));
}

inline void SumRow(std::uint32_t* p, std::int32_t n, std::uint32_t* open) noexcept {
    std::int32_t i = 0;
    open[0] = 0;
    const BelowLimit isOpen(kSaturated);
    const __m128i zero = _mm_setzero_si128();
    const __m128i oneToFour = _mm_setr_epi32(1, 2, 3, 4);
    __m128i carry = zero;
    __m128i openCarry = zero;
    __m128i openSteps = oneToFour;  // open counts of four cells at the carried sum
    for (; i + 4 <= n; i += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(v, zero)) == 0xFFFF) {
            // Most of a sparse row changes nothing: the sum carries through.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), carry);
            const __m128i m = _mm_add_epi32(openCarry, openSteps);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(open + i + 1), m);
            openCarry = _mm_shuffle_epi32(m, _MM_SHUFFLE(3, 3, 3, 3));
            continue;
        }
        v = _mm_add_epi32(v, _mm_slli_si128(v, 4));
        v = _mm_add_epi32(v, _mm_slli_si128(v, 8));
        v = _mm_add_epi32(v, carry);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
        carry = _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3));
        // -1 per open cell, so the count is subtracted.
        __m128i m = isOpen(v);
        m = _mm_add_epi32(m, _mm_slli_si128(m, 4));
        m = _mm_add_epi32(m, _mm_slli_si128(m, 8));
        m = _mm_sub_epi32(openCarry, m);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(open + i + 1), m);
        openCarry = _mm_shuffle_epi32(m, _MM_SHUFFLE(3, 3, 3, 3));
        openSteps = _mm_and_si128(isOpen(carry), oneToFour);
    }
    scalar::SumRowFrom(p, i, n, open, static_cast<std::uint32_t>(_mm_cvtsi128_si32(carry)));
}

// sums must be readable three cells past last.
inline bool AllSaturated(const std::uint32_t* sums, std::int32_t first, std::int32_t last) noexcept {
    const BelowLimit isOpen(kSaturated);
    const __m128i lane = _mm_setr_epi32(0, 1, 2, 3);
    const __m128i end = _mm_set1_epi32(last + 1);
    for (std::int32_t x = first; x <= last; x += 4) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + x));
        const __m128i inside = _mm_cmplt_epi32(_mm_add_epi32(lane, _mm_set1_epi32(x)), end);
        if (_mm_movemask_epi8(_mm_and_si128(inside, isOpen(four))) != 0) return false;
    }
    return true;
}

// The picture is not read again while the frame is built, so the stores
// stream past the cache: a far field of opaque rows is most of a large
// picture.
inline void FillPixels(std::uint32_t* pixels, std::int32_t count, std::uint32_t value) noexcept {
    std::int32_t x = 0;
    while (x < count && (reinterpret_cast<std::uintptr_t>(pixels + x) & 15u) != 0) pixels[x++] = value;
    const __m128i four = _mm_set1_epi32(static_cast<int>(value));
    for (; x + 4 <= count; x += 4) _mm_stream_si128(reinterpret_cast<__m128i*>(pixels + x), four);
    scalar::FillPixels(pixels, count, value, x);
}

inline void ResolveCells(std::uint32_t* sums, std::uint32_t* pixels, std::int32_t count,
                         const std::uint32_t* bySum, std::uint32_t opaque) noexcept {
    // Runs of one value (empty, opaque, or a line's inside), four at a time,
    // streamed past the cache once the row reaches a 16-byte boundary.
    scalar::LastPixel last;
    std::int32_t x = 0;
    while (x < count && (reinterpret_cast<std::uintptr_t>(pixels + x) & 15u) != 0) ++x;
    scalar::ResolveCellsFrom(sums, pixels, 0, x, bySum, opaque, last);
    const __m128i zero = _mm_setzero_si128();
    const BelowLimit isOpen(kSaturated);
    const __m128i opaque4 = _mm_set1_epi32(static_cast<int>(opaque));
    const __m128i half = _mm_set1_epi32(static_cast<int>(kSumStep / 2));
    __m128i lastSum4 = _mm_set1_epi32(static_cast<int>(last.sum));
    __m128i lastPixel4 = _mm_set1_epi32(static_cast<int>(last.pixel));
    for (; x + 4 <= count; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + x));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(v, lastSum4)) == 0xFFFF) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(pixels + x), lastPixel4);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + x), zero);
            continue;
        }
        // The four looked up apart, without a dependency from one cell to
        // the next or a round trip through memory: a row with lines of
        // varied alpha changes value every few cells.
        const __m128i open = isOpen(v);
        const __m128i index = _mm_srli_epi32(_mm_add_epi32(_mm_and_si128(v, open), half), kSumShift);
        const __m128i looked = _mm_setr_epi32(
            static_cast<int>(bySum[_mm_cvtsi128_si32(index)]),
            static_cast<int>(bySum[_mm_cvtsi128_si32(_mm_shuffle_epi32(index, _MM_SHUFFLE(1, 1, 1, 1)))]),
            static_cast<int>(bySum[_mm_cvtsi128_si32(_mm_shuffle_epi32(index, _MM_SHUFFLE(2, 2, 2, 2)))]),
            static_cast<int>(bySum[_mm_cvtsi128_si32(_mm_shuffle_epi32(index, _MM_SHUFFLE(3, 3, 3, 3)))]));
        const __m128i out = _mm_or_si128(_mm_and_si128(open, looked), _mm_andnot_si128(open, opaque4));
        lastSum4 = _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3));
        lastPixel4 = _mm_shuffle_epi32(out, _MM_SHUFFLE(3, 3, 3, 3));
        _mm_stream_si128(reinterpret_cast<__m128i*>(pixels + x), out);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + x), zero);
    }
    last.sum = static_cast<std::uint32_t>(_mm_cvtsi128_si32(lastSum4));
    last.pixel = static_cast<std::uint32_t>(_mm_cvtsi128_si32(lastPixel4));
    scalar::ResolveCellsFrom(sums, pixels, x, count, bySum, opaque, last);
}

// Adds the logs of four cells' coverages to the first `lanes` of them that
// are not opaque yet, without a branch per cell, which would mostly guess
// wrong; the other cells, which must be readable, add 0.
QV_ALWAYS_INLINE void AddLogsOfFour(std::uint32_t* cell, __m128 coverage, const std::uint32_t* logOf,
                                    std::int32_t lanes) {
    const __m128 one = _mm_set1_ps(1.0f);
    coverage = _mm_min_ps(one, _mm_max_ps(_mm_setzero_ps(), coverage));
    alignas(16) std::int32_t index[4];
    _mm_store_si128(
        reinterpret_cast<__m128i*>(index),
        TruncateToInt32(_mm_add_ps(_mm_mul_ps(coverage, _mm_set1_ps(static_cast<float>(kCoverageSteps))),
                                    _mm_set1_ps(0.5f))));
    const __m128i logs = _mm_setr_epi32(static_cast<int>(logOf[index[0]]), static_cast<int>(logOf[index[1]]),
                                        static_cast<int>(logOf[index[2]]), static_cast<int>(logOf[index[3]]));
    const __m128i sums = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cell));
    const __m128i open = _mm_and_si128(BelowLimit(kSaturated)(sums),
                                       _mm_cmplt_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(lanes)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cell), _mm_add_epi32(sums, _mm_and_si128(open, logs)));
}

}  // namespace sse2
using sse2::AddLogsOfFour;
using sse2::AllSaturated;
using sse2::FillPixels;
using sse2::ResolveCells;
using sse2::SumOf;
using sse2::SumRow;
#else
using scalar::AllSaturated;
using scalar::FillPixels;
using scalar::ResolveCells;
using scalar::SumOf;
using scalar::SumRow;
#endif

// The streamed stores are made visible before the frame is shown.
inline void FinishStores() noexcept {
#if QV_FILL_SSE2
    _mm_sfence();
#endif
}

}  // namespace qv::fill
