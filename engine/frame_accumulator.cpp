#include "frame_accumulator.h"

#include "fast_angle.h"
#include "frame_coverage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <span>
#include <type_traits>

#if !defined(QV_NO_SIMD) && (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define QV_FRAME_SSE2 1
#include <emmintrin.h>
#endif

namespace qv {

namespace {

// An integer vertex sits at the centre of its pixel, as in SurfaceRasteriser.
constexpr double kPixelCentre = 0.5;

// Coverage is looked up in steps of 1/kCoverageSteps: at most 6e-5 of alpha.
constexpr int kCoverageSteps = 8192;

// -ln(1 - a) is capped here; one fully covering opaque line then already
// saturates the pixel (see kSaturated). With at most 12 x 3600 triangles a
// frame's sum stays below 2^32.
constexpr double kMaxLogPerLine = 8.0;

// Row numbers are kept within a few rows of the picture: far vertices would
// overflow an int and add nothing.
constexpr double kRowMargin = 4.0;

// Single-precision bounds of the fast rows are widened by what rounding can
// lose: kFloatMargin plus kFloatError of the magnitudes involved. Beyond
// kMaxFloatMargin the general path, in double, takes the shape.
constexpr double kFloatMargin = 1.0 / 256.0;
constexpr double kFloatError = 1.0 / (1 << 21);
constexpr double kMaxFloatMargin = 1.0 / 8.0;

#if QV_FRAME_SSE2
// Cells per step of the vector edge cells: most groups of four members
// touch no more.
constexpr std::int32_t kGroupCells = 4;
#endif

// Lines this far apart in drawing order are tried as each other's cover.
constexpr std::int64_t kOccluderReach = 6;

// A hidden line keeps this much more than a cell from its cover's edges.
constexpr double kHiddenMargin = 1.0 + 1.0 / 64.0;

// Fast-row bounds are widened by this much so that rounding never leaves an
// edge outside the cells that get its exact coverage.
constexpr double kBoundMargin = 1.0 / 1024.0;

// Sums are converted to pixels in steps of this many units, through a table
// small enough for the first-level cache: at most 2.5e-4 of alpha.
constexpr std::uint32_t kSumStep = 4;
constexpr int kSumShift = 2;
static_assert(kSumStep == 1u << kSumShift);

// The smallest sum that converts to alpha 255: 1 - exp(-L) >= 254.5 / 255.
const std::uint32_t kSaturated =
    static_cast<std::uint32_t>(std::ceil(std::log(510.0) * FrameAccumulator::kLogScale));

// Coverage (times kCoverageSteps) to fixed-point -ln(1 - coverage).
const std::array<std::uint32_t, kCoverageSteps + 1>& LogTable() {
    static const auto table = [] {
        std::array<std::uint32_t, kCoverageSteps + 1> t{};
        for (int i = 0; i <= kCoverageSteps; ++i) {
            const double a = static_cast<double>(i) / kCoverageSteps;
            const double l = a >= 1.0 ? kMaxLogPerLine : std::min(kMaxLogPerLine, -std::log1p(-a));
            t[static_cast<std::size_t>(i)] =
                static_cast<std::uint32_t>(l * FrameAccumulator::kLogScale + 0.5);
        }
        return t;
    }();
    return table;
}

inline std::uint32_t LogOf(const std::uint32_t* table, float coverage) {
    const float a = std::min(1.0f, std::max(0.0f, coverage));
    return table[static_cast<std::size_t>(a * kCoverageSteps + 0.5f)];
}

// Fixed-point sum to the 8-bit alpha of 1 - exp(-sum), for sums below kSaturated.
const std::vector<std::uint8_t>& AlphaTable() {
    static const auto table = [] {
        std::vector<std::uint8_t> t(kSaturated);
        for (std::uint32_t l = 0; l < kSaturated; ++l) {
            const double a = -std::expm1(-static_cast<double>(l) / FrameAccumulator::kLogScale);
            t[l] = static_cast<std::uint8_t>(std::min(255.0, a * 255.0 + 0.5));
        }
        return t;
    }();
    return table;
}

std::int32_t ClampRow(double y, std::int32_t height) {
    return static_cast<std::int32_t>(std::clamp(y, -kRowMargin, static_cast<double>(height) + kRowMargin));
}

// The cell holding x, for x already known to overlap [0, width).
std::int32_t CellOf(double x, std::int32_t width) {
    if (!(x > 0.0)) return 0;
    if (x >= width) return width - 1;
    return static_cast<std::int32_t>(x);
}

// Where an edge's piece within a row lies against the picture's columns
// [0, w]: wholly left of them (its height counts in every cell), wholly
// right (it counts in none), inside, or across a side (to be split).
enum class PieceAt { kLeftOfPicture, kRightOfPicture, kInside, kAcrossASide };

inline PieceAt LocatePiece(double x0, double x1, double w, double& xMin, double& xMax) {
    xMin = std::min(x0, x1), xMax = std::max(x0, x1);
    if (xMax <= 0.0) return PieceAt::kLeftOfPicture;
    if (xMin >= w) return PieceAt::kRightOfPicture;
    if (xMin >= 0.0 && xMax <= w) return PieceAt::kInside;
    return PieceAt::kAcrossASide;
}

// A piece of edge inside one row and within [0, width]: each cell it crosses
// gets the part of dy that lies to the cell's right, its neighbour the rest.
void AccumulatePiece(float* cover, double x0, double x1, double dy, std::int32_t& lo, std::int32_t& hi) {
    if (x0 > x1) std::swap(x0, x1);
    const int c0 = static_cast<int>(x0);
    const int c1 = static_cast<int>(x1);
    lo = std::min(lo, c0);
    hi = std::max(hi, c1 + 1);
    auto add = [cover](int cell, double part, double midFraction) {
        cover[cell] += static_cast<float>(part * (1.0 - midFraction));
        cover[cell + 1] += static_cast<float>(part * midFraction);
    };
    if (c0 == c1) {
        add(c0, dy, (x0 + x1) * 0.5 - c0);
        return;
    }
    const double dyPerX = dy / (x1 - x0);
    add(c0, (c0 + 1 - x0) * dyPerX, (x0 + c0 + 1) * 0.5 - c0);
    for (int c = c0 + 1; c < c1; ++c) add(c, dyPerX, 0.5);
    add(c1, (x1 - c1) * dyPerX, (x1 - c1) * 0.5);
}

// One row piece of an edge that overlaps [0, width): split where it crosses
// the picture's sides, then clamp, so that area left of the picture lands
// whole in column 0 and area right of it beyond the last column.
void AccumulateClipped(float* cover, double x0, double x1, double dy, double width, std::int32_t& lo,
                       std::int32_t& hi) {
    if (x0 >= 0.0 && x1 >= 0.0 && x0 <= width && x1 <= width) {
        AccumulatePiece(cover, x0, x1, dy, lo, hi);
        return;
    }
    double cuts[4] = {0.0, 1.0, 1.0, 1.0};
    int cutCount = 1;
    if (x0 != x1) {
        for (double border : {0.0, width}) {
            const double t = (border - x0) / (x1 - x0);
            if (t > 0.0 && t < 1.0) cuts[cutCount++] = t;
        }
    }
    if (cutCount == 3 && cuts[2] < cuts[1]) std::swap(cuts[1], cuts[2]);
    cuts[cutCount] = 1.0;
    for (int i = 0; i < cutCount; ++i) {
        const double t0 = cuts[i];
        const double t1 = cuts[i + 1];
        if (!(t1 > t0)) continue;
        const double px0 = std::clamp(x0 + (x1 - x0) * t0, 0.0, width);
        const double px1 = std::clamp(x0 + (x1 - x0) * t1, 0.0, width);
        AccumulatePiece(cover, px0, px1, dy * (t1 - t0), lo, hi);
    }
}

#if QV_FRAME_SSE2
// SSE2 has no 32-bit minimum; SSE4.1's is not assumed.
inline __m128i MinEpi32(__m128i a, __m128i b) {
    const __m128i aSmaller = _mm_cmplt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(aSmaller, a), _mm_andnot_si128(aSmaller, b));
}
#endif

// The sum of p[0, n), wrapping like the row's sums.
std::uint32_t SumOf(const std::uint32_t* p, std::int32_t n) {
    std::int32_t i = 0;
    std::uint32_t sum = 0;
#if QV_FRAME_SSE2
    __m128i four = _mm_setzero_si128();
    for (; i + 4 <= n; i += 4) four = _mm_add_epi32(four, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    four = _mm_add_epi32(four, _mm_shuffle_epi32(four, _MM_SHUFFLE(1, 0, 3, 2)));
    four = _mm_add_epi32(four, _mm_shuffle_epi32(four, _MM_SHUFFLE(2, 3, 0, 1)));
    sum = static_cast<std::uint32_t>(_mm_cvtsi128_si32(four));
#endif
    for (; i < n; ++i) sum += p[i];
    return sum;
}

// Running sums of one row of differences, in place, and beside them
// open[c] = how many of the cells before c are below saturation.
void SumRow(std::uint32_t* p, std::int32_t n, std::uint32_t* open) {
    std::int32_t i = 0;
    open[0] = 0;
#if QV_FRAME_SSE2
    const __m128i bias = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i below = _mm_set1_epi32(static_cast<int>(kSaturated ^ 0x80000000u));
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
        __m128i m = _mm_cmplt_epi32(_mm_xor_si128(v, bias), below);
        m = _mm_add_epi32(m, _mm_slli_si128(m, 4));
        m = _mm_add_epi32(m, _mm_slli_si128(m, 8));
        m = _mm_sub_epi32(openCarry, m);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(open + i + 1), m);
        openCarry = _mm_shuffle_epi32(m, _MM_SHUFFLE(3, 3, 3, 3));
        openSteps = _mm_and_si128(_mm_cmplt_epi32(_mm_xor_si128(carry, bias), below), oneToFour);
    }
    std::uint32_t sum = static_cast<std::uint32_t>(_mm_cvtsi128_si32(carry));
#else
    std::uint32_t sum = 0;
#endif
    for (; i < n; ++i) {
        sum += p[i];
        p[i] = sum;
        open[i + 1] = open[i] + (sum < kSaturated ? 1u : 0u);
    }
}

// True when every cell of [first, last] is already opaque: its edges could
// not change a pixel there. acc is readable three cells past last.
inline bool AllSaturated(const std::uint32_t* acc, std::int32_t first, std::int32_t last) {
#if QV_FRAME_SSE2
    const __m128i bias = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i below = _mm_set1_epi32(static_cast<int>(kSaturated ^ 0x80000000u));
    const __m128i lane = _mm_setr_epi32(0, 1, 2, 3);
    const __m128i end = _mm_set1_epi32(last + 1);
    for (std::int32_t x = first; x <= last; x += 4) {
        const __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + x)), bias);
        const __m128i inside = _mm_cmplt_epi32(_mm_add_epi32(lane, _mm_set1_epi32(x)), end);
        if (_mm_movemask_epi8(_mm_and_si128(inside, _mm_cmplt_epi32(v, below))) != 0) return false;
    }
    return true;
#else
    for (std::int32_t x = first; x <= last; ++x) {
        if (acc[x] < kSaturated) return false;
    }
    return true;
#endif
}

#if QV_FRAME_SSE2
// Adds the logs of four cells' coverages (as table indices) to the first
// `lanes` of them that are not opaque yet, without a branch per cell, which
// would mostly guess wrong; the other cells, which must be readable, add 0.
inline void AddOpenLogs(std::uint32_t* cell, const std::uint32_t* logOf, const std::int32_t* index, std::int32_t lanes) {
    const __m128i bias = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i below = _mm_set1_epi32(static_cast<int>(kSaturated ^ 0x80000000u));
    const __m128i logs = _mm_setr_epi32(static_cast<int>(logOf[index[0]]), static_cast<int>(logOf[index[1]]),
                                        static_cast<int>(logOf[index[2]]), static_cast<int>(logOf[index[3]]));
    const __m128i sums = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cell));
    const __m128i open = _mm_and_si128(_mm_cmplt_epi32(_mm_xor_si128(sums, bias), below),
                                       _mm_cmplt_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(lanes)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cell), _mm_add_epi32(sums, _mm_and_si128(open, logs)));
}
#endif

// Pixels [0, count) set to one value. The picture is not read again while
// the frame is built, so the stores stream past the cache: a far field of
// opaque rows is most of a large picture.
inline void FillPixels(std::uint32_t* pixels, std::int32_t count, std::uint32_t value) {
    std::int32_t x = 0;
#if QV_FRAME_SSE2
    while (x < count && (reinterpret_cast<std::uintptr_t>(pixels + x) & 15u) != 0) pixels[x++] = value;
    const __m128i four = _mm_set1_epi32(static_cast<int>(value));
    for (; x + 4 <= count; x += 4) _mm_stream_si128(reinterpret_cast<__m128i*>(pixels + x), four);
#endif
    for (; x < count; ++x) pixels[x] = value;
}

}  // namespace

bool FrameAccumulator::vectorCode = true;
bool FrameAccumulator::farFieldShortcut = true;
bool FrameAccumulator::fadeShortcut = true;

FrameAccumulator::FrameAccumulator(Surface& surface) : surface_(&surface) {}

void FrameAccumulator::Retarget(Surface& surface) { surface_ = &surface; }

void FrameAccumulator::BeginFrame(std::int32_t, std::int32_t) {
    drawable_ = surface_->Drawable();
    if (!drawable_ && surface_->bits != nullptr) std::memset(surface_->bits, 0, surface_->byteSize);
    any_ = false;
    passCount_ = 0;
    haveCentre_ = false;
    saturatedRadius_ = std::numeric_limits<double>::infinity();
}

void FrameAccumulator::BeginPass(const PassInfo& pass) {
    // The triangle lists of earlier frames keep their memory.
    if (passCount_ == passes_.size()) passes_.emplace_back();
    passes_[passCount_].clear();
    passes_[passCount_].reserve(pass.lineCount);
    ++passCount_;
    if (pass.hasCentre) {
        haveCentre_ = true;
        centreX_ = static_cast<double>(pass.centreX) + kPixelCentre;
        centreY_ = static_cast<double>(pass.centreY) + kPixelCentre;
    }
}

void FrameAccumulator::FillTriangle(const Triangle& t) {
    if (!drawable_) return;
    if (passCount_ == 0) BeginPass(PassInfo{});
    passes_[passCount_ - 1].push_back(t);
    // The frame's lines share one colour; the last one seen stands for all.
    rgb_ = t.argb & 0xFFFFFFu;
    any_ = true;
}

void FrameAccumulator::EndFrame() {
    if (!drawable_) return;
    const std::size_t pixels = static_cast<std::size_t>(surface_->width) * static_cast<std::size_t>(surface_->height);
    // Whatever the buffer holds beyond the picture is cleared as well.
    if (surface_->byteSize > pixels * 4u) {
        std::memset(reinterpret_cast<unsigned char*>(surface_->bits) + pixels * 4u, 0, surface_->byteSize - pixels * 4u);
    }
    if (!any_) {
        std::memset(surface_->bits, 0, pixels * 4u);
        return;
    }
    const std::uint32_t r = (rgb_ >> 16) & 0xFFu, g = (rgb_ >> 8) & 0xFFu, b = rgb_ & 0xFFu;
    for (std::uint32_t a = 0; a < 256; ++a) {
        pixelOf_[a] = (a << 24) | (((r * a + 127) / 255) << 16) | (((g * a + 127) / 255) << 8) | ((b * a + 127) / 255);
    }

    // Passes of equal length whose lines keep their corners are the blur's
    // nested lines; anything else is filled triangle by triangle.
    const std::span<const std::vector<Triangle>> passes(passes_.data(), passCount_);
    bool nested = passes.size() > 1;
    for (const auto& p : passes) nested = nested && p.size() == passes.front().size();
    const std::size_t lines = nested ? passes.front().size() : 0;
    for (std::size_t i = 0; i < lines && nested; ++i) {
        const Triangle& a = passes.front()[i];
        for (const auto& p : passes) {
            const Triangle& t = p[i];
            nested = nested && t.c1X == a.c1X && t.c1Y == a.c1Y && t.c2X == a.c2X && t.c2Y == a.c2Y;
        }
    }

    edges_.clear();
    plainEdges_.clear();
    outlines_.clear();
    outlineCorners_.clear();
    soa_.Clear();
    shapes_.clear();
    if (nested) {
        std::vector<const Triangle*>& members = memberOf_;
        std::vector<float>& weights = weightOf_;
        members.resize(passes.size());
        weights.resize(passes.size());
        for (std::size_t i = 0; i < lines; ++i) {
            float transmittance = 1.0f;
            for (std::size_t k = 0; k < passes.size(); ++k) {
                const Triangle& t = passes[k][i];
                const float a = static_cast<float>(t.argb >> 24) / 255.0f;
                members[k] = &t;
                weights[k] = transmittance * a;
                transmittance *= 1.0f - a;
            }
            BuildShape(members.data(), members.size(), weights.data());
        }
    } else {
        for (const auto& p : passes) {
            for (const Triangle& t : p) {
                const Triangle* member = &t;
                const float weight = static_cast<float>(t.argb >> 24) / 255.0f;
                BuildShape(&member, 1, &weight);
            }
        }
    }
    Sweep();
}

void FrameAccumulator::BuildShape(const Triangle* const* members, std::size_t count, const float* weights) {
    Shape shape{};
    shape.members = static_cast<std::uint32_t>(count);
    const std::int32_t height = surface_->height;
    double top = 1e300, bottom = -1e300;
    for (int e = 0; e < 3; ++e) {
        Family& f = shape.family[e];
        f.begin = static_cast<std::uint32_t>(edges_.size());
        // Room for every member's edge at once, trimmed to those there are.
        edges_.resize(f.begin + count);
        Edge* edge = edges_.data() + f.begin;
        const int n = (e + 1) % 3;
        for (std::size_t k = 0; k < count; ++k) {
            if (!(weights[k] > 0.0f)) continue;
            const Triangle& t = *members[k];
            const double x[3] = {t.tipX + kPixelCentre, t.c1X + kPixelCentre, t.c2X + kPixelCentre};
            const double y[3] = {t.tipY + kPixelCentre, t.c1Y + kPixelCentre, t.c2Y + kPixelCentre};
            const double twiceArea = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
            if (twiceArea == 0.0 || y[e] == y[n]) continue;
            // Walking down an edge, the area to its right counts +1; orient
            // every triangle so that its inside sums to +weight.
            const float oriented = twiceArea > 0.0 ? -weights[k] : weights[k];
            const bool down = y[e] < y[n];
            const double ax = down ? x[e] : x[n], ay = down ? y[e] : y[n];
            const double bx = down ? x[n] : x[e], by = down ? y[n] : y[e];
            *edge++ = Edge{ay, by, ax, (bx - ax) / (by - ay), down ? oriented : -oriented};
        }
        f.end = static_cast<std::uint32_t>(edge - edges_.data());
        edges_.resize(f.end);
        if (f.begin == f.end) continue;
        double minTop = 1e300, maxTop = -1e300, minBottom = 1e300, maxBottom = -1e300;
        float sum = 0.0f;
        for (std::uint32_t i = f.begin; i < f.end; ++i) {
            const Edge& d = edges_[i];
            minTop = std::min(minTop, d.yTop);
            maxTop = std::max(maxTop, d.yTop);
            minBottom = std::min(minBottom, d.yBottom);
            maxBottom = std::max(maxBottom, d.yBottom);
            sum += d.weight;
        }
        top = std::min(top, minTop);
        bottom = std::max(bottom, maxBottom);
        f.height = sum;
        f.activeLo = ClampRow(std::floor(minTop), height);
        f.activeHi = ClampRow(std::ceil(maxBottom), height);
        f.fastLo = ClampRow(std::ceil(maxTop), height);
        f.fastHi = ClampRow(std::floor(minBottom), height);
        // Over all its rows, the members' lines (extended past their ends)
        // lie between two chords: the lowest of them is concave in y, the
        // highest convex.
        // The members again, four to a group, for the vector edge cells: x
        // kept relative to a row in the middle of the family's rows, where
        // single precision loses least.
        {
            const double yRef = std::clamp(0.5 * (f.activeLo + f.activeHi), 0.0, static_cast<double>(height));
            f.yRef = static_cast<float>(yRef);
            f.soa = static_cast<std::uint32_t>(soa_.size());
            for (std::uint32_t i = f.begin; i < f.end; ++i) {
                const Edge& d = edges_[i];
                const double lim = static_cast<double>(height) + kRowMargin;
                soa_.Push(static_cast<float>(d.xAtTop + (yRef - d.yTop) * d.slope), static_cast<float>(d.slope),
                          static_cast<float>(std::clamp(d.yTop, -kRowMargin, lim)),
                          static_cast<float>(std::clamp(d.yBottom, -kRowMargin, lim)), d.weight);
            }
            while ((soa_.size() - f.soa) % 4 != 0) soa_.Push(0.0f, 0.0f, -8.0f, -8.0f, 0.0f);
            f.soaEnd = static_cast<std::uint32_t>(soa_.size());
        }
        if (f.activeLo < f.activeHi) {
            const double y0 = f.activeLo, y1 = f.activeHi;
            double lo0 = 1e300, lo1 = 1e300, hi0 = -1e300, hi1 = -1e300;
            for (std::uint32_t i = f.begin; i < f.end; ++i) {
                const Edge& d = edges_[i];
                const double x0 = d.xAtTop + (y0 - d.yTop) * d.slope;
                const double x1 = d.xAtTop + (y1 - d.yTop) * d.slope;
                lo0 = std::min(lo0, x0), lo1 = std::min(lo1, x1);
                hi0 = std::max(hi0, x0), hi1 = std::max(hi1, x1);
            }
            f.cLoS = (lo1 - lo0) / (y1 - y0);
            f.cHiS = (hi1 - hi0) / (y1 - y0);
            f.cLoA = lo0 + std::min(0.0, f.cLoS) - kBoundMargin;
            f.cHiA = hi0 + std::max(0.0, f.cHiS) + kBoundMargin;
        }
        if (f.fastLo >= f.fastHi) {
            f.fastLo = f.fastHi = 0;
            continue;
        }
        // The lowest member over the fast rows is concave in y and the
        // highest convex, so the chords through their ends bound them all.
        const double y0 = f.fastLo, y1 = f.fastHi;
        double lo0 = 1e300, lo1 = 1e300, hi0 = -1e300, hi1 = -1e300;
        for (std::uint32_t i = f.begin; i < f.end; ++i) {
            const Edge& d = edges_[i];
            const double x0 = d.xAtTop + (y0 - d.yTop) * d.slope;
            const double x1 = d.xAtTop + (y1 - d.yTop) * d.slope;
            lo0 = std::min(lo0, x0), lo1 = std::min(lo1, x1);
            hi0 = std::max(hi0, x0), hi1 = std::max(hi1, x1);
        }
        f.loS = (lo1 - lo0) / (y1 - y0);
        f.hiS = (hi1 - hi0) / (y1 - y0);
        // Row r spans [r, r + 1]: its lowest x is at whichever end the chord falls to.
        f.loA = lo0 + std::min(0.0, f.loS) - kBoundMargin;
        f.hiA = hi0 + std::max(0.0, f.hiS) + kBoundMargin;
    }
    if (top > bottom) return;
    shape.rowFirst = std::max<std::int32_t>(0, ClampRow(std::floor(top), height));
    shape.rowLast = std::min<std::int32_t>(height - 1, ClampRow(std::ceil(bottom), height) - 1);
    if (shape.rowFirst > shape.rowLast) return;
    // The longest run of rows that two opposite families cross whole while
    // the third is away.
    shape.segLo = shape.segHi = 0;
    for (std::uint32_t i = 0; i < 3; ++i) {
        for (std::uint32_t j = i + 1; j < 3; ++j) {
            const Family& a = shape.family[i];
            const Family& b = shape.family[j];
            if (a.begin == a.end || b.begin == b.end || a.fastLo >= a.fastHi || b.fastLo >= b.fastHi) continue;
            if (!((a.height > 0.0f && b.height < 0.0f) || (a.height < 0.0f && b.height > 0.0f))) continue;
            std::int32_t lo = std::max({a.fastLo, b.fastLo, shape.rowFirst});
            std::int32_t hi = std::min({a.fastHi, b.fastHi, shape.rowLast + 1});
            const Family& t = shape.family[3 - i - j];
            if (t.begin != t.end && t.activeLo < hi && t.activeHi > lo) {
                if (t.activeLo - lo >= hi - t.activeHi) {
                    hi = t.activeLo;
                } else {
                    lo = t.activeHi;
                }
            }
            if (hi - lo > shape.segHi - shape.segLo) {
                shape.segLo = lo;
                shape.segHi = hi;
                shape.left = a.height > 0.0f ? i : j;
                shape.right = a.height > 0.0f ? j : i;
            }
        }
    }
    for (const Family& f : shape.family) {
        plainEdges_.push_back(count == 1 && f.begin != f.end ? edges_[f.begin] : Edge{0.0, 0.0, 0.0, 0.0, 0.0f});
    }
    {
        Outline o{static_cast<std::uint32_t>(outlineCorners_.size()), 0, 0.0f};
        for (std::size_t k = 0; k < count; ++k) {
            if (!(weights[k] > 0.0f)) continue;
            const Triangle& t = *members[k];
            outlineCorners_.push_back(Corners{{t.tipX + kPixelCentre, t.c1X + kPixelCentre, t.c2X + kPixelCentre},
                                              {t.tipY + kPixelCentre, t.c1Y + kPixelCentre, t.c2Y + kPixelCentre}});
            o.weight += weights[k];
            ++o.count;
        }
        outlines_.push_back(o);
    }
    shapes_.push_back(shape);
}

void FrameAccumulator::Sweep() {
    const std::int32_t width = surface_->width;
    const std::int32_t height = surface_->height;
    acc_.assign(static_cast<std::size_t>(width) + 4, 0u);  // AllSaturated reads past the last cell
    open_.assign(static_cast<std::size_t>(width) + 1, 0u);
    // Sums to finished pixels, in steps of kSumStep.
    const std::uint8_t* alphaOf = AlphaTable().data();
    pixelOfSum_.resize(kSaturated / kSumStep + 1);
    for (std::size_t i = 0; i < pixelOfSum_.size(); ++i) {
        pixelOfSum_[i] = pixelOf_[alphaOf[std::min<std::size_t>(i * kSumStep, kSaturated - 1)]];
    }
    cover_.assign(static_cast<std::size_t>(width) + 2, 0.0f);

    // Each shape's rows, less the run of rows where other lines already
    // make its every cell opaque; the pieces in the order of their first row.
    actives_.clear();
    actives_.reserve(shapes_.size());
    for (std::uint32_t i = 0; i < shapes_.size(); ++i) actives_.push_back(MakeActive(i));
    fades_.clear();
    fades_.reserve(shapes_.size());
    for (std::uint32_t i = 0; i < shapes_.size(); ++i) fades_.push_back(fadeShortcut ? MakeFade(i) : Fade{});
    fadeRowsJoined_ = 0;
    HideCoveredRows();
    FindSaturatedRadius();
    pieces_.clear();
    for (std::uint32_t i = 0; i < shapes_.size(); ++i) {
        const Shape& shape = shapes_[i];
        std::int32_t first = shape.rowFirst, last = shape.rowLast;
        KeepRows(i, first, last);
        auto piece = [&](std::int32_t lo, std::int32_t hi) {  // rows [lo, hi] within the kept ones
            lo = std::max(lo, first);
            hi = std::min(hi, last);
            if (lo <= hi) pieces_.push_back(Piece{i, lo, hi});
        };
        const std::int32_t hideLo = hidden_[i].lo, hideHi = hidden_[i].hi;
        if (hideHi > hideLo) {
            piece(shape.rowFirst, hideLo - 1);
            piece(hideHi, shape.rowLast);
        } else {
            piece(shape.rowFirst, shape.rowLast);
        }
    }
    std::vector<std::uint32_t>& startOf = startOf_;
    startOf.assign(static_cast<std::size_t>(height) + 1, 0u);
    for (const Piece& p : pieces_) ++startOf[static_cast<std::size_t>(p.first) + 1];
    for (std::int32_t r = 0; r < height; ++r) startOf[static_cast<std::size_t>(r) + 1] += startOf[static_cast<std::size_t>(r)];
    std::vector<std::uint32_t>& order = order_;
    order.resize(pieces_.size());
    {
        std::vector<std::uint32_t>& next = next_;
        next.assign(startOf.begin(), startOf.end() - 1);
        for (std::uint32_t i = 0; i < pieces_.size(); ++i) {
            order[next[static_cast<std::size_t>(pieces_[i].first)]++] = i;
        }
    }

    std::vector<Active>& active = sweepActive_;
    active.clear();
    std::size_t nextPiece = 0;
    std::uint32_t* acc = acc_.data();
    const bool farField = saturatedRadius_ < std::numeric_limits<double>::infinity();
    const std::uint32_t opaque = pixelOf_[255];
    for (std::int32_t row = 0; row < height; ++row) {
        // The cells of this row nearer the centre than the saturated radius
        // are swept; the ones beyond it are opaque.
        std::int32_t keepFrom = 0, keepTo = width;
        if (farField) {
            const double y0 = row, y1 = row + 1.0;
            const double dy = centreY_ < y0 ? y0 - centreY_ : (centreY_ > y1 ? centreY_ - y1 : 0.0);
            keepFrom = keepTo = 0;
            if (dy < saturatedRadius_) {
                const double half = std::sqrt(saturatedRadius_ * saturatedRadius_ - dy * dy);
                keepFrom = static_cast<std::int32_t>(std::clamp(std::floor(centreX_ - half), 0.0, static_cast<double>(width)));
                keepTo = static_cast<std::int32_t>(std::clamp(std::ceil(centreX_ + half), 0.0, static_cast<double>(width)));
            }
        }
        std::uint32_t* pixels = surface_->bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
        if (keepFrom >= keepTo && active.empty() &&
            (nextPiece >= order.size() || pieces_[order[nextPiece]].first != row)) {
            FillPixels(pixels, width, opaque);  // no line here, and all of it opaque
            continue;
        }
        while (nextPiece < order.size() && pieces_[order[nextPiece]].first == row) {
            const Piece& p = pieces_[order[nextPiece++]];
            active.push_back(actives_[p.shape]);
            active.back().rowLast = p.last;
        }
        // At most three clusters per shape.
        if (clusters_.size() < 3 * active.size()) clusters_.resize(3 * active.size());
        Cluster* out = clusters_.data();
        // The order of the shapes does not matter: a finished one is
        // replaced by the last, which has not been visited in this row yet.
        std::size_t count = active.size();
        for (std::size_t i = 0; i < count;) {
            const Active& a = active[i];
            if (row >= a.segLo && row < a.segHi) {
                out = FastRow(a, row, acc, out);
            } else if (const Fade& fade = fades_[a.shape]; row >= fade.lo && row < fade.hi) {
                out = FadeRow(a, fade, row, acc, out);
            } else {
                out = SpansAndClusters(a.shape, row, acc, out);
            }
            if (a.rowLast > row) {
                ++i;
            } else {
                active[i] = active[--count];
            }
        }
        active.resize(count);
        // Most edge cells lie under other lines' insides: count the open
        // cells once, so that a cluster is skipped in constant time.
        std::uint32_t* open = open_.data();
        // Only the kept cells' sums are read; the differences left of them
        // still count. The cells beyond are written opaque whatever they hold.
        if (keepFrom < keepTo) {
            acc[keepFrom] += SumOf(acc, keepFrom);
            SumRow(acc + keepFrom, keepTo - keepFrom, open + keepFrom);
        }
        // Few clusters are open: list them without a branch per cluster.
        const Cluster* clusters = clusters_.data();
        const std::size_t total = static_cast<std::size_t>(out - clusters);
        if (openList_.size() < total) openList_.resize(total);
        std::uint32_t* list = openList_.data();
        std::size_t opened = 0;
        if (keepFrom == 0 && keepTo == width) {
            for (std::size_t i = 0; i < total; ++i) {
                list[opened] = static_cast<std::uint32_t>(i);
                opened += open[clusters[i].last + 1] != open[clusters[i].first] ? 1 : 0;
            }
        } else {
            // Cells outside [keepFrom, keepTo) are written opaque: no cluster there counts.
            for (std::size_t i = 0; i < total; ++i) {
                const Cluster& c = clusters[i];
                const std::int32_t first = std::max(c.first, keepFrom), last = std::min(c.last, keepTo - 1);
                list[opened] = static_cast<std::uint32_t>(i);
                opened += first <= last && open[last + 1] != open[first] ? 1 : 0;
            }
        }
        for (std::size_t i = 0; i < opened; ++i) {
#if QV_FRAME_SSE2
            // The shapes and edges of open clusters are far apart in memory:
            // ask for them a few clusters ahead.
            if (i + 4 < opened) {
                const Cluster& ahead = clusters[list[i + 4]];
                if ((ahead.mask & kPlainShape) != 0) {
                    const Edge* edges = plainEdges_.data() + 3 * static_cast<std::size_t>(ahead.shape);
                    _mm_prefetch(reinterpret_cast<const char*>(edges), _MM_HINT_T0);
                    _mm_prefetch(reinterpret_cast<const char*>(edges + 3) - 1, _MM_HINT_T0);
                } else {
                    _mm_prefetch(reinterpret_cast<const char*>(&shapes_[ahead.shape]), _MM_HINT_T0);
                }
            }
            if (i + 2 < opened && (clusters[list[i + 2]].mask & kPlainShape) == 0) {
                const Cluster& ahead = clusters[list[i + 2]];
                const Shape& shape = shapes_[ahead.shape];
                for (std::uint32_t e = 0; e < 3; ++e) {
                    if ((ahead.mask & (1u << e)) == 0) continue;
                    const Family& f = shape.family[e];
                    const char* from = reinterpret_cast<const char*>(soa_.Group(f.soa));
                    const char* to = reinterpret_cast<const char*>(soa_.Group(f.soaEnd));
                    for (const char* p = from; p < to; p += 64) _mm_prefetch(p, _MM_HINT_T0);
                }
            }
#endif
            // In a frame dense enough to saturate, earlier clusters' edges
            // often make a cluster's cells opaque after the open cells were
            // counted; a sparse frame is spared the look.
            const Cluster& c = clusters[list[i]];
            if (farField && AllSaturated(acc, c.first, c.last)) continue;
#if QV_FRAME_SSE2
            // A plain line's cells, the most common, without the general
            // path's frame around them.
            if (vectorCode && (c.mask & kPlainShape) != 0 && EdgeCellsSingle(c, row, acc)) continue;
#endif
            EdgeCells(c, row, acc);
        }
        ResolveRow(acc, pixels, keepFrom, keepTo);
    }
#if QV_FRAME_SSE2
    _mm_sfence();  // the streamed pixels are visible before the frame is shown
#endif
}

// The members' weighted heights within one row.
float FrameAccumulator::RowHeight(const Family& f, std::int32_t row) const {
    const float y0 = static_cast<float>(row), y1 = y0 + 1.0f;
    std::uint32_t m = f.soa;
    float h = 0.0f;
#if QV_FRAME_SSE2
    if (vectorCode) {
        __m128 sum = _mm_setzero_ps();
        const __m128 v0 = _mm_set1_ps(y0), v1 = _mm_set1_ps(y1);
        for (; m < f.soaEnd; m += 4) {
            const float* g = soa_.Group(m);
            const __m128 part = _mm_sub_ps(_mm_min_ps(v1, _mm_loadu_ps(g + Members::kBottom * 4)),
                                           _mm_max_ps(v0, _mm_loadu_ps(g + Members::kTop * 4)));
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_max_ps(part, _mm_setzero_ps()), _mm_loadu_ps(g + Members::kWeight * 4)));
        }
        sum = _mm_add_ps(sum, _mm_movehl_ps(sum, sum));
        sum = _mm_add_ss(sum, _mm_shuffle_ps(sum, sum, 1));
        h = _mm_cvtss_f32(sum);
    }
#endif
    for (; m < f.soaEnd; ++m) {
        const float part = std::min(y1, soa_.At(m, Members::kBottom)) - std::max(y0, soa_.At(m, Members::kTop));
        if (part > 0.0f) h += part * soa_.At(m, Members::kWeight);
    }
    return h;
}

FrameAccumulator::Active FrameAccumulator::MakeActive(std::uint32_t shapeIndex) const {
    const Shape& shape = shapes_[shapeIndex];
    Active a{};
    a.shape = shapeIndex;
    a.rowLast = shape.rowLast;
    a.segLo = shape.segLo;
    a.segHi = shape.segHi;
    if (a.segLo >= a.segHi) return a;
    const std::uint32_t side[2] = {shape.left, shape.right};
    const double rows = a.segHi - a.segLo;
    for (int k = 0; k < 2; ++k) {
        const Family& f = shape.family[side[k]];
        const double r = a.segLo - f.fastLo;
        const double at[2] = {f.loA + r * f.loS, f.hiA + r * f.hiS};
        const double per[2] = {f.loS, f.hiS};
        for (int b = 0; b < 2; ++b) {
            // What single precision can lose over the segment, and then some.
            const double margin = kFloatMargin + (std::fabs(at[b]) + rows * std::fabs(per[b])) * kFloatError;
            if (!(margin < kMaxFloatMargin)) {
                a.segLo = a.segHi = 0;  // far or steep beyond single precision: the general path
                return a;
            }
            a.v[2 * k + b] = static_cast<float>(b == 0 ? at[b] - margin : at[b] + margin);
            a.s[2 * k + b] = static_cast<float>(per[b]);
        }
    }
    a.heightL = shape.family[shape.left].height;
    a.q = LogOf(LogTable().data(), a.heightL);
    const std::uint32_t plain = shape.members == 1 ? kPlainShape : 0u;
    a.maskL = static_cast<std::uint16_t>((1u << shape.left) | plain);
    a.maskR = static_cast<std::uint16_t>((1u << shape.right) | plain);
    return a;
}

namespace {

// A linear function of the row: c0 + c1 * r.
struct Linear {
    double c0, c1;
    double At(double r) const { return c0 + c1 * r; }
    Linear operator-(const Linear& o) const { return Linear{c0 - o.c0, c1 - o.c1}; }
};

// A side bound of an active shape (0 left low, 1 left high, 2 right low,
// 3 right high) as a function of the row, as FastRow evaluates it.
Linear SideOf(const FrameAccumulator::Active& x, int i) {
    return Linear{static_cast<double>(x.v[i]) - x.segLo * static_cast<double>(x.s[i]), static_cast<double>(x.s[i])};
}

// Narrows the rows [lo, hi) to those where g(r) >= margin, checking the ends
// themselves against rounding.
void Narrow(const Linear& g0, double margin, std::int32_t& lo, std::int32_t& hi) {
    if (lo >= hi) return;
    const Linear g{g0.c0 - margin, g0.c1};
    const bool first = g.At(lo) >= 0.0, last = g.At(hi - 1) >= 0.0;
    if (first && last) return;  // linear: true at both ends, true between
    if (!first && !last) {
        hi = lo;
        return;
    }
    // One root inside: the rows on its true side, from the root, then
    // checked one by one against rounding.
    const double root = -g.c0 / g.c1;  // c1 != 0 here
    const std::int32_t at =
        static_cast<std::int32_t>(std::clamp(root, static_cast<double>(lo), static_cast<double>(hi)));
    if (first) {
        hi = std::min(hi, at + 1);
        while (lo < hi && !(g.At(hi - 1) >= 0.0)) --hi;
    } else {
        lo = std::max(lo, at);
        while (lo < hi && !(g.At(lo) >= 0.0)) ++lo;
    }
}

}  // namespace

// For each shape in turn, the longest run of rows in which its every cell
// lies inside one or two opaque neighbours that are drawn there themselves;
// the shape adds nothing to those rows. Deciding in turn, and only on covers
// not hidden themselves, keeps two lines from hiding each other.
void FrameAccumulator::HideCoveredRows() {
    const std::size_t n = actives_.size();
    hidden_.assign(n, Rows{0, 0});
    if (n < 2) return;
    struct Cover {
        std::uint32_t shape;
        std::int32_t lo, hi;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const Active& a = actives_[i];
        if (a.segLo >= a.segHi) continue;
        Cover left[2 * kOccluderReach], right[2 * kOccluderReach];
        int lefts = 0, rights = 0;
        for (std::int64_t d = -kOccluderReach; d <= kOccluderReach; ++d) {
            const std::size_t j = static_cast<std::size_t>(
                ((static_cast<std::int64_t>(i) + d) % static_cast<std::int64_t>(n) + static_cast<std::int64_t>(n)) %
                static_cast<std::int64_t>(n));
            if (d == 0 || j == i) continue;
            const Active& b = actives_[j];
            if (b.q < kSaturated) continue;
            std::int32_t lo = std::max(a.segLo, b.segLo), hi = std::min(a.segHi, b.segHi);
            // Only rows where b is drawn.
            const Rows& hb = hidden_[j];
            if (hb.hi > hb.lo && hb.lo < hi && hb.hi > lo) {
                if (hb.lo - lo >= hi - hb.hi) {
                    hi = hb.lo;
                } else {
                    lo = hb.hi;
                }
            }
            if (lo >= hi) continue;
            // b's inside begins a cell before a does, or ends a cell after.
            std::int32_t lLo = lo, lHi = hi, rLo = lo, rHi = hi;
            Narrow(SideOf(a, 0) - SideOf(b, 1), kHiddenMargin, lLo, lHi);
            Narrow(SideOf(b, 2) - SideOf(a, 3), kHiddenMargin, rLo, rHi);
            if (lLo < lHi) left[lefts++] = Cover{static_cast<std::uint32_t>(j), lLo, lHi};
            if (rLo < rHi) right[rights++] = Cover{static_cast<std::uint32_t>(j), rLo, rHi};
        }
        Rows best{0, 0};
        for (int p = 0; p < lefts; ++p) {
            for (int q = 0; q < rights; ++q) {
                std::int32_t lo = std::max(left[p].lo, right[q].lo), hi = std::min(left[p].hi, right[q].hi);
                if (hi - lo <= best.hi - best.lo) continue;
                // The two insides meet: the right one begins before the left one ends.
                const Active& b = actives_[left[p].shape];
                const Active& c = actives_[right[q].shape];
                Narrow(SideOf(b, 2) - SideOf(c, 1), kHiddenMargin, lo, hi);
                if (hi - lo > best.hi - best.lo) best = Rows{lo, hi};
            }
        }
        hidden_[i] = best;
    }
}

namespace {

// How far inside a line's triangle a pixel's centre must lie for the whole
// pixel to be inside it: half the pixel's diagonal, and a little for
// rounding. Such a pixel gets the line's whole weight as coverage, whether it
// falls in the line's inside span or among its edge cells, whose coverage is
// exact.
constexpr double kInsideMargin = 0.7072 + 1.0 / 64.0;

// The circle around the centre is cut into this many angular bins when
// checking that the lines' insides cover it.
constexpr std::int32_t kRingBins = 8192;

// The saturated radius is found to within this many pixels (rounded outward).
constexpr double kRadiusTolerance = 4.0;

// The sides' directions come from FastAngle; their arcs are narrowed by
// this much to make up for its error.
constexpr double kAngleSlack = 2.0 * kFastAngleError;

// The difference of two directions in [-pi, pi], within (-pi, pi].
double WrapAngle(double a) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    if (a > std::numbers::pi) a -= kTwoPi;
    if (a <= -std::numbers::pi) a += kTwoPi;
    return a;
}

}  // namespace

// The far field. Take a line's triangle shrunk by kInsideMargin: every pixel
// whose centre lies in it gets the line's whole log sum. On a circle of radius r around the centre,
// each side of the shrunk triangle keeps an arc of half-width acos(c / r)
// about its inward normal, where c is the centre's distance outside that
// side: when the centre lies outside both sides (c > 0), the arcs, and so
// the line's arc, only grow with r. If the insides of such lines give every
// angle of the circle of radius r a saturated sum, so they do on every
// larger circle within the picture (as long as no line's outer edge is
// nearer than that), and every pixel beyond r is opaque however the rest is
// drawn. Those pixels are written opaque, and each line is swept only in the
// rows where it comes nearer the centre than r.
void FrameAccumulator::FindSaturatedRadius() {
    saturatedRadius_ = std::numeric_limits<double>::infinity();
    if (!farFieldShortcut || !haveCentre_ || shapes_.size() < 2) return;
    const double w = surface_->width, h = surface_->height;
    const double farthest = std::max(std::hypot(std::max(centreX_, w - centreX_), std::max(centreY_, h - centreY_)),
                                     kRadiusTolerance);
    const std::uint32_t* logOf = LogTable().data();
    ringArcs_.clear();
    ringSides_.clear();
    for (const Outline& o : outlines_) {
        // Where every member covers a pixel the shape adds the log of its
        // summed weight; a step lower in the table stands for what float
        // rounding of that sum can lose.
        const float a = std::min(1.0f, std::max(0.0f, o.weight));
        const auto index = static_cast<std::size_t>(a * kCoverageSteps + 0.5f);
        const std::uint32_t q = index > 0 ? logOf[index - 1] : 0u;
        if (q == 0 || o.count == 0) continue;
        RingArc arc{0.0, static_cast<std::uint32_t>(ringSides_.size()), 0, q};
        bool usable = true;
        for (std::uint32_t m = o.first; m < o.first + o.count && usable; ++m) {
            const Corners& t = outlineCorners_[m];
            // Edges tip-corner 1, corner 1-corner 2, corner 2-tip, each with
            // the inward unit normal and the centre's distance outside it.
            for (int e = 0; e < 3; ++e) {
                const int n = (e + 1) % 3, v = (e + 2) % 3;
                double nx = -(t.y[n] - t.y[e]), ny = t.x[n] - t.x[e];
                const double length = std::sqrt(nx * nx + ny * ny);
                if (!(length > 1e-9)) {
                    usable = false;
                    break;
                }
                nx /= length, ny /= length;
                if (nx * (t.x[v] - t.x[e]) + ny * (t.y[v] - t.y[e]) < 0.0) nx = -nx, ny = -ny;
                const double offset = kInsideMargin - (nx * (centreX_ - t.x[e]) + ny * (centreY_ - t.y[e]));
                if (e == 1) {
                    // The outer edge must keep the whole picture inside.
                    usable = usable && offset <= -farthest;
                } else {
                    // The sides must keep the centre outside.
                    usable = usable && offset > 0.0;
                    ringSides_.push_back(RingSide{FastAngle(ny, nx), offset});
                }
            }
        }
        if (!usable) {
            ringSides_.resize(arc.first);
            continue;
        }
        const Corners& t = outlineCorners_[o.first];
        arc.reference = FastAngle(0.5 * (t.y[1] + t.y[2]) - centreY_, 0.5 * (t.x[1] + t.x[2]) - centreX_);
        arc.count = static_cast<std::uint32_t>(ringSides_.size()) - arc.first;
        for (std::uint32_t k = arc.first; k < arc.first + arc.count; ++k) {
            ringSides_[k].angle = WrapAngle(ringSides_[k].angle - arc.reference);
        }
        ringArcs_.push_back(arc);
    }
    // Directions in which the picture ends nearer than a circle need not be
    // covered on it: per bin, how far its middle ray stays in the picture,
    // widened by what the bin's width and a pixel's half can add. It depends
    // only on the centre and the picture's size, which frames mostly share.
    const std::array<double, 4> reachKey{centreX_, centreY_, w, h};
    if (ringReach_.empty() || reachKey != ringReachKey_) {
        ringReachKey_ = reachKey;
        constexpr double kBin = 2.0 * std::numbers::pi / kRingBins;
        const double margin = farthest * kBin + 1.0;
        const double left = -margin, right = w + margin, top = -margin, bottom = h + margin;
        ringReach_.resize(static_cast<std::size_t>(kRingBins));
        for (std::int32_t b = 0; b < kRingBins; ++b) {
            const double a = (b + 0.5) * kBin;
            const double dx = std::cos(a), dy = std::sin(a);
            // The ray centre + t (dx, dy), t >= 0, within the widened picture.
            double enter = 0.0, leave = std::numeric_limits<double>::infinity();
            auto slab = [&](double from, double d, double lo, double hi) {
                if (d == 0.0) {
                    if (from < lo || from > hi) leave = -1.0;
                    return;
                }
                double t0 = (lo - from) / d, t1 = (hi - from) / d;
                if (t0 > t1) std::swap(t0, t1);
                enter = std::max(enter, t0);
                leave = std::min(leave, t1);
            };
            slab(centreX_, dx, left, right);
            slab(centreY_, dy, top, bottom);
            ringReach_[static_cast<std::size_t>(b)] = enter <= leave ? leave : -1.0;
        }
    }
    if (ringArcs_.empty()) return;
    double lo = 0.0, hi = farthest;  // not covered at lo, covered at hi
    const double hint = radiusHint_;
    if (hint > kRadiusTolerance && hint < farthest) {
        if (RingCovered(hint)) {
            hi = hint;
            if (!RingCovered(hint - kRadiusTolerance)) lo = hint - kRadiusTolerance;
        } else {
            lo = hint;
        }
    }
    if (hi == farthest && !RingCovered(farthest)) return;
    while (hi - lo > kRadiusTolerance) {
        const double mid = 0.5 * (lo + hi);
        (RingCovered(mid) ? hi : lo) = mid;
    }
    saturatedRadius_ = hi;
    radiusHint_ = hi;
}

// Whether the insides give every angle of the circle of this radius a
// saturated sum; an angular bin counts a line only when the line's arc
// holds all of it.
bool FrameAccumulator::RingCovered(double radius) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    constexpr double kBin = kTwoPi / kRingBins;
    std::vector<std::uint32_t>& sums = ringSums_;
    sums.assign(static_cast<std::size_t>(kRingBins) + 1, 0u);
    auto add = [&](std::int32_t first, std::int32_t end, std::uint32_t q) {  // bins [first, end)
        if (first >= end) return;
        sums[static_cast<std::size_t>(first)] += q;
        sums[static_cast<std::size_t>(end)] -= q;
    };
    for (const RingArc& a : ringArcs_) {
        double lo = -std::numbers::pi, hi = std::numbers::pi;
        for (std::uint32_t k = a.first; k < a.first + a.count; ++k) {
            const RingSide& side = ringSides_[k];  // its angle relative to the reference
            const double ratio = side.offset / radius;
            if (!(ratio < 1.0)) {
                lo = hi;
                break;
            }
            const double half = std::acos(ratio) - kAngleSlack;
            lo = std::max(lo, side.angle - half);
            hi = std::min(hi, side.angle + half);
        }
        if (!(hi > lo)) continue;
        double start = std::fmod(a.reference + lo, kTwoPi);
        if (start < 0.0) start += kTwoPi;
        const double end = start + (hi - lo);
        const auto first = static_cast<std::int32_t>(std::ceil(start / kBin));
        const auto last = static_cast<std::int32_t>(std::floor(end / kBin));
        if (last <= kRingBins) {
            add(first, last, a.q);
        } else {
            add(std::min(first, kRingBins), kRingBins, a.q);
            add(0, std::min(last - kRingBins, kRingBins), a.q);
        }
    }
    std::uint32_t sum = 0;
    for (std::int32_t b = 0; b < kRingBins; ++b) {
        sum += sums[static_cast<std::size_t>(b)];
        if (sum < kSaturated && ringReach_[static_cast<std::size_t>(b)] >= radius) return false;
    }
    return true;
}

// The rows where a shape comes within the saturated radius (and a pixel's
// diagonal more) of the centre: its triangle cut where it passes that
// distance along its outward direction, which no nearer point passes.
void FrameAccumulator::KeepRows(std::uint32_t shapeIndex, std::int32_t& first, std::int32_t& last) const {
    if (!(saturatedRadius_ < std::numeric_limits<double>::infinity())) return;
    const Outline& o = outlines_[shapeIndex];
    if (o.count == 0) return;
    double top = std::numeric_limits<double>::infinity(), bottom = -top;
    for (std::uint32_t m = o.first; m < o.first + o.count; ++m) {
        const Corners& t = outlineCorners_[m];
        double ax = 0.5 * (t.x[1] + t.x[2]) - centreX_, ay = 0.5 * (t.y[1] + t.y[2]) - centreY_;
        const double length = std::sqrt(ax * ax + ay * ay);
        if (!(length > 1e-9)) return;
        ax /= length, ay /= length;
        const double reach = saturatedRadius_ + 2.0;
        auto along = [&](int i) { return (t.x[i] - centreX_) * ax + (t.y[i] - centreY_) * ay; };
        for (int i = 0; i < 3; ++i) {
            const int j = (i + 1) % 3;
            const double ti = along(i), tj = along(j);
            if (ti <= reach) top = std::min(top, t.y[i]), bottom = std::max(bottom, t.y[i]);
            if ((ti < reach && tj > reach) || (ti > reach && tj < reach)) {
                const double y = t.y[i] + (t.y[j] - t.y[i]) * ((reach - ti) / (tj - ti));
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    if (top > bottom) {  // no part of it comes that near
        first = last + 1;
        return;
    }
    first = std::max(first, static_cast<std::int32_t>(std::max(std::floor(top) - 1.0, -1.0)));
    last = std::min(last, static_cast<std::int32_t>(std::min(std::ceil(bottom) + 1.0, 1e9)));
}

// A row where the shape is its two sides: the cells each side crosses, and
// the constant inside between them.
inline FrameAccumulator::Cluster* FrameAccumulator::FastRow(const Active& a, std::int32_t row, std::uint32_t* acc,
                                                     Cluster* out) {
    const float r = static_cast<float>(row - a.segLo);
    const std::int32_t width = surface_->width;
    const float w = static_cast<float>(width);
    float b[4];
    std::int32_t cell[4];
#if QV_FRAME_SSE2
    const __m128 at = _mm_add_ps(_mm_load_ps(a.v), _mm_mul_ps(_mm_set1_ps(r), _mm_load_ps(a.s)));
    _mm_storeu_ps(b, at);
    // Cells in [-1, width]: -1 left of the picture, width right of it.
    const __m128 clamped = _mm_min_ps(_mm_max_ps(at, _mm_set1_ps(-1.0f)), _mm_set1_ps(w));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cell),
                     _mm_sub_epi32(_mm_cvttps_epi32(_mm_add_ps(clamped, _mm_set1_ps(1.0f))), _mm_set1_epi32(1)));
#else
    for (int i = 0; i < 4; ++i) {
        b[i] = a.v[i] + r * a.s[i];
        cell[i] = static_cast<std::int32_t>(std::min(std::max(b[i], -1.0f), w) + 1.0f) - 1;
    }
#endif
    const float lL = b[0], hL = b[1], lR = b[2], hR = b[3];
    if (hR <= 0.0f || lL >= w) return out;  // wholly left or right of the picture
    if (lR < lL || hR < hL) return SpansAndClusters(a.shape, row, acc, out);  // let the general path sort them
    const std::int32_t fL = cell[0], eL = cell[1], fR = cell[2], eR = cell[3];
    if (fR <= eL) {
        *out++ = Cluster{a.shape, std::max(fL, 0), std::min(std::max(eL, eR), width - 1), 0.0f, static_cast<std::uint32_t>(a.maskL | a.maskR)};
        return out;
    }
    *out = Cluster{a.shape, std::max(fL, 0), eL, 0.0f, a.maskL};
    out += eL >= 0 ? 1 : 0;
    // eL + 1 >= 0 and fR <= width.
    if (fR > eL + 1) {
        acc[eL + 1] += a.q;
        acc[fR] -= a.q;
    }
    *out = Cluster{a.shape, fR, std::min(eR, width - 1), a.heightL, a.maskR};
    out += fR < width ? 1 : 0;
    return out;
}

FrameAccumulator::Fade FrameAccumulator::MakeFade(std::uint32_t shapeIndex) const {
    const Shape& shape = shapes_[shapeIndex];
    Fade fade;
    if (shape.members < 2 || shape.segLo >= shape.segHi) return fade;  // no fade, or sides unknown
    const Family& l = shape.family[shape.left];
    const Family& r = shape.family[shape.right];
    const Family& third = shape.family[3 - shape.left - shape.right];
    // Rows both sides cross and neither spans whole: the tips' side of the
    // rows both sides span whole.
    const std::int32_t bothLo = std::max(l.activeLo, r.activeLo), bothHi = std::min(l.activeHi, r.activeHi);
    const std::int32_t wholeLo = std::min(l.fastLo, r.fastLo), wholeHi = std::max(l.fastHi, r.fastHi);
    std::int32_t lo = bothLo, hi = std::min(bothHi, wholeLo);
    if (std::max(bothLo, wholeHi) < bothHi && bothHi - std::max(bothLo, wholeHi) > hi - lo) {
        lo = std::max(bothLo, wholeHi);
        hi = bothHi;
    }
    // Away from the third family's rows.
    if (third.begin != third.end && third.activeLo < hi && third.activeHi > lo) {
        if (third.activeLo - lo >= hi - third.activeHi) {
            hi = third.activeLo;
        } else {
            lo = third.activeHi;
        }
    }
    if (lo >= hi) return fade;
    const double rows = hi - lo;
    const Family* side[2] = {&l, &r};
    for (int k = 0; k < 2; ++k) {
        const Family& f = *side[k];
        const double at[2] = {f.cLoA + (lo - f.activeLo) * f.cLoS, f.cHiA + (lo - f.activeLo) * f.cHiS};
        const double per[2] = {f.cLoS, f.cHiS};
        for (int b = 0; b < 2; ++b) {
            // What single precision can lose over the rows, and then some.
            const double margin = kFloatMargin + (std::fabs(at[b]) + rows * std::fabs(per[b])) * kFloatError;
            if (!(margin < kMaxFloatMargin)) return Fade{};
            fade.v[2 * k + b] = static_cast<float>(b == 0 ? at[b] - margin : at[b] + margin);
            fade.s[2 * k + b] = static_cast<float>(per[b]);
        }
    }
    fade.lo = lo;
    fade.hi = hi;
    return fade;
}

// A row of a blur shape's fade: its two sides' cells mostly overlap (the
// line is thin near its tips), and then the shape is one cluster with no
// inside span, which needs none of the general path's sums. Anything else
// goes the general way.
FrameAccumulator::Cluster* FrameAccumulator::FadeRow(const Active& a, const Fade& fade, std::int32_t row,
                                                      std::uint32_t* acc, Cluster* out) {
    const float r = static_cast<float>(row - fade.lo);
    const std::int32_t width = surface_->width;
    const float w = static_cast<float>(width);
    float b[4];
    for (int i = 0; i < 4; ++i) b[i] = fade.v[i] + r * fade.s[i];
    const float lL = b[0], hL = b[1], lR = b[2], hR = b[3];
    // Both sides inside the picture, where a cell is the floor.
    if (!(lL > 0.0f && lR > 0.0f && hL < w && hR < w)) return SpansAndClusters(a.shape, row, acc, out);
    const std::int32_t fL = static_cast<std::int32_t>(lL), eL = static_cast<std::int32_t>(hL);
    const std::int32_t fR = static_cast<std::int32_t>(lR), eR = static_cast<std::int32_t>(hR);
    if (std::max(fL, fR) > std::min(eL, eR)) return SpansAndClusters(a.shape, row, acc, out);
    const Shape& shape = shapes_[a.shape];
    *out++ = Cluster{a.shape, std::min(fL, fR), std::max(eL, eR), 0.0f, (1u << shape.left) | (1u << shape.right)};
    ++fadeRowsJoined_;
    return out;
}

FrameAccumulator::Cluster* FrameAccumulator::SpansAndClusters(std::uint32_t shapeIndex, std::int32_t row,
                                                               std::uint32_t* acc, Cluster* out) {
    const Shape& shape = shapes_[shapeIndex];
    const std::int32_t width = surface_->width;
    const double w = width;
    const std::uint32_t* logOf = LogTable().data();
    Item items[3];
    int count = 0;
    std::uint32_t fastFamilies = 0, offLeft = 0, offRight = 0;
    for (std::uint32_t e = 0; e < 3; ++e) {
        const Family& f = shape.family[e];
        if (f.begin == f.end || row < f.activeLo || row >= f.activeHi) continue;
        double lo, hi;
        if (row >= f.fastLo && row < f.fastHi) {
            const double r = row - f.fastLo;
            lo = f.loA + r * f.loS;
            hi = f.hiA + r * f.hiS;
            fastFamilies |= 1u << e;
        } else {
            // A row where some member begins or ends: the chords bound the cells.
            const double r = row - f.activeLo;
            lo = f.cLoA + r * f.cLoS;
            hi = f.cHiA + r * f.cHiS;
        }
        if (hi <= 0.0) {
            offLeft |= 1u << e;
        } else if (lo < w) {
            items[count++] = Item{CellOf(lo, width), CellOf(hi, width), 1u << e};
        } else {
            offRight |= 1u << e;
        }
    }
    // Families whose cells overlap are one cluster.
    for (int i = 1; i < count; ++i) {
        for (int j = i; j > 0 && items[j].first < items[j - 1].first; --j) std::swap(items[j], items[j - 1]);
    }
    int merged = 0;
    for (int i = 0; i < count; ++i) {
        if (merged > 0 && items[i].first <= items[merged - 1].last) {
            Item& m = items[merged - 1];
            m.last = std::max(m.last, items[i].last);
            m.mask |= items[i].mask;
        } else {
            items[merged++] = items[i];
        }
    }
    const std::uint32_t plain = shape.members == 1 ? kPlainShape : 0u;
    if (merged == 1 && offLeft == 0 && offRight == 0) {
        // Every family in one cluster: the shape's coverage is 0 on both
        // sides of it (the edges of a closed shape add up to nothing), so
        // there are no spans and the members' heights are not needed.
        *out++ = Cluster{shapeIndex, items[0].first, items[0].last, 0.0f, items[0].mask | plain};
        return out;
    }
    // The members' heights in the row sum to each family's weight.
    auto height = [&](std::uint32_t mask) {
        float h = 0.0f;
        for (std::uint32_t e = 0; e < 3; ++e) {
            if ((mask & (1u << e)) == 0) continue;
            const Family& f = shape.family[e];
            h += (fastFamilies & (1u << e)) != 0 ? f.height : RowHeight(f, row);
        }
        return h;
    };
    // Between the clusters the shape's coverage is constant: a span.
    float coverage = height(offLeft);  // of pieces left of the picture
    std::int32_t from = 0;
    auto span = [&](std::int32_t to) {
        if (to <= from) return;
        const std::uint32_t q = LogOf(logOf, coverage);
        if (q == 0) return;
        acc[from] += q;
        acc[to] -= q;
    };
    for (int i = 0; i < merged; ++i) {
        span(items[i].first);
        *out++ = Cluster{shapeIndex, items[i].first, items[i].last, coverage, items[i].mask | plain};
        coverage += height(items[i].mask);
        from = items[i].last + 1;
    }
    span(width);
    return out;
}

void FrameAccumulator::EdgeCells(const Cluster& c, std::int32_t row, std::uint32_t* acc) {
#if QV_FRAME_SSE2
    // Worth it for the blur's twelve members; the sweep has given a plain
    // line's one or two pieces to EdgeCellsSingle already.
    if (vectorCode && (c.mask & kPlainShape) == 0) {
        if (c.first >= 1 && c.last <= surface_->width - 2) {
            if (EdgeCellsVector<true>(c, row, acc)) return;
        } else {
            if (EdgeCellsVector<false>(c, row, acc)) return;
        }
    }
#endif
    const Shape& shape = shapes_[c.shape];
    const std::int32_t width = surface_->width;
    const double w = width;
    float* cover = cover_.data();
    std::int32_t lo = width + 2, hi = -1;
    float base = c.base;
    const double y0 = row, y1 = row + 1.0;
    const double origin = c.first;
    std::size_t n = 0;
    for (std::uint32_t e = 0; e < 3; ++e) {
        if ((c.mask & (1u << e)) == 0) continue;
        const Family& f = shape.family[e];
        if (pieceLo_.size() < n + (f.end - f.begin)) {
            pieceLo_.resize(n + (f.end - f.begin));
            pieceHi_.resize(n + (f.end - f.begin));
            pieceH_.resize(n + (f.end - f.begin));
        }
        for (std::uint32_t i = f.begin; i < f.end; ++i) {
            double x0, x1, dy;
            if (!edges_[i].PieceIn(y0, y1, x0, x1, dy)) continue;
            double xMin, xMax;
            switch (LocatePiece(x0, x1, w, xMin, xMax)) {
                case PieceAt::kLeftOfPicture: base += static_cast<float>(dy); break;
                case PieceAt::kRightOfPicture: break;
                case PieceAt::kInside:
                    pieceLo_[n] = static_cast<float>(xMin - origin);
                    pieceHi_[n] = static_cast<float>(xMax - origin);
                    pieceH_[n] = static_cast<float>(dy);
                    ++n;
                    break;
                case PieceAt::kAcrossASide:  // split there (rare)
                    AccumulateClipped(cover, x0, x1, dy, w, lo, hi);
                    break;
            }
        }
    }
    const std::int32_t cells = c.last - c.first + 1;
    if (cells_.size() < static_cast<std::size_t>(cells)) cells_.resize(static_cast<std::size_t>(cells));
    float* out = cells_.data();
    CellCoverage(pieceLo_.data(), pieceHi_.data(), pieceH_.data(), n, cells, base, out);
    if (hi >= lo) {
        float run = 0.0f;
        for (std::int32_t x = std::min(lo, c.first); x <= c.last; ++x) {
            run += cover[x];
            if (x >= c.first) out[x - c.first] += run;
        }
        std::fill(cover + lo, cover + hi + 1, 0.0f);
    }
    const std::uint32_t* logOf = LogTable().data();
    std::uint32_t* cell = acc + c.first;
    for (std::int32_t x = 0; x < cells; ++x) {
        if (cell[x] < kSaturated) cell[x] += LogOf(logOf, out[x]);
    }
}

#if QV_FRAME_SSE2
// A plain line's edge cells, four cells at a time: a cluster holds at most
// one piece per side, so the pieces stay in registers. The sums are the
// general path's, operation for operation. A piece across a side of the
// picture needs splitting; then it returns false and the general path does
// the cluster.
bool FrameAccumulator::EdgeCellsSingle(const Cluster& c, std::int32_t row, std::uint32_t* acc) {
    const Edge* edges = plainEdges_.data() + 3 * static_cast<std::size_t>(c.shape);
    const double w = surface_->width;
    const double y0 = row, y1 = row + 1.0;
    const double origin = c.first;
    float base = c.base;
    float pieceLo[3], pieceHi[3], pieceH[3];
    int n = 0;
    for (std::uint32_t e = 0; e < 3; ++e) {
        if ((c.mask & (1u << e)) == 0) continue;
        double x0, x1, dy;
        if (!edges[e].PieceIn(y0, y1, x0, x1, dy)) continue;
        double xMin, xMax;
        switch (LocatePiece(x0, x1, w, xMin, xMax)) {
            case PieceAt::kLeftOfPicture: base += static_cast<float>(dy); break;
            case PieceAt::kRightOfPicture: break;
            case PieceAt::kInside:
                pieceLo[n] = static_cast<float>(xMin - origin);
                pieceHi[n] = static_cast<float>(xMax - origin);
                pieceH[n] = static_cast<float>(dy);
                ++n;
                break;
            case PieceAt::kAcrossASide: return false;
        }
    }
    // The piece count is made a constant, so that the pieces stay in
    // registers: one piece is by far the most common cluster.
    const std::uint32_t* logOf = LogTable().data();
    std::uint32_t* cell = acc + c.first;
    const std::int32_t cells = c.last - c.first + 1;
    auto fill = [&]<int kPieces>(std::integral_constant<int, kPieces>) {
        __m128 lo[kPieces > 0 ? kPieces : 1], hi[kPieces > 0 ? kPieces : 1], mid[kPieces > 0 ? kPieces : 1],
            inv[kPieces > 0 ? kPieces : 1], h[kPieces > 0 ? kPieces : 1];
        const __m128 zero = _mm_setzero_ps();
        for (int k = 0; k < kPieces; ++k) {
            lo[k] = _mm_set1_ps(pieceLo[k]);
            hi[k] = _mm_set1_ps(pieceHi[k]);
            mid[k] = _mm_set1_ps((pieceLo[k] + pieceHi[k]) * 0.5f);
            inv[k] = _mm_set1_ps(1.0f / std::max(2.0f * (pieceHi[k] - pieceLo[k]), kMinTwiceWidth));
            h[k] = _mm_set1_ps(pieceH[k]);
        }
        // Mean over piece k of max(0, u - x): zero left of it, a parabola
        // across it, linear right of it.
        auto g = [&](int k, __m128 u) {
            const __m128 past = _mm_cmpge_ps(u, hi[k]);
            const __m128 d = _mm_max_ps(zero, _mm_sub_ps(u, lo[k]));
            return _mm_or_ps(_mm_and_ps(past, _mm_sub_ps(u, mid[k])),
                             _mm_andnot_ps(past, _mm_mul_ps(_mm_mul_ps(d, d), inv[k])));
        };
        const __m128 firstFour = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f), one = _mm_set1_ps(1.0f);
        const __m128 steps = _mm_set1_ps(static_cast<float>(kCoverageSteps)), rounding = _mm_set1_ps(0.5f);
        for (std::int32_t x = 0; x < cells; x += 4) {
            const __m128 left = _mm_add_ps(_mm_set1_ps(static_cast<float>(x)), firstFour);
            const __m128 right = _mm_add_ps(left, one);
            __m128 coverage = _mm_set1_ps(base);
            for (int k = 0; k < kPieces; ++k) {
                coverage = _mm_add_ps(coverage, _mm_mul_ps(h[k], _mm_sub_ps(g(k, right), g(k, left))));
            }
            coverage = _mm_min_ps(one, _mm_max_ps(zero, coverage));
            alignas(16) std::int32_t index[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(index),
                            _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(coverage, steps), rounding)));
            AddOpenLogs(cell + x, logOf, index, cells - x);
        }
    };
    switch (n) {
        case 0: fill(std::integral_constant<int, 0>{}); break;
        case 1: fill(std::integral_constant<int, 1>{}); break;
        case 2: fill(std::integral_constant<int, 2>{}); break;
        default: fill(std::integral_constant<int, 3>{}); break;
    }
    return true;
}
#endif

#if QV_FRAME_SSE2
// The edge cells four members at a time: pieces and their areas without
// leaving the vector registers. A piece across a side of the picture needs
// splitting; then it returns false and the general path does the cluster.
template <bool kInterior>
bool FrameAccumulator::EdgeCellsVector(const Cluster& c, std::int32_t row, std::uint32_t* acc) {
    const Shape& shape = shapes_[c.shape];
    const std::int32_t cells = c.last - c.first + 1;
    // Pieces within one cell go straight into signed-area cells (local), as
    // a font rasteriser does: the cell its share right of the piece's
    // middle, the next one the rest. Wider pieces add their areas to out,
    // and their whole height to local right of their cells. Both lie in one
    // buffer, cleared at once. A group's cells are done kGroupCells at a
    // time, so that the loop's length is mostly the same; cells past the
    // cluster are thrown away.
    const std::size_t room = static_cast<std::size_t>(cells) + kGroupCells + 1;
    if (cells_.size() < 2 * room) cells_.resize(2 * room);
    float* out = cells_.data();
    float* local = out + room;
    std::fill(out, out + 2 * room, 0.0f);
    const float origin = static_cast<float>(c.first);
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), half = _mm_set1_ps(0.5f);
    const __m128 two = _mm_set1_ps(2.0f), minWidth = _mm_set1_ps(1e-20f);
    const __m128 y0 = _mm_set1_ps(static_cast<float>(row)), y1 = _mm_set1_ps(static_cast<float>(row) + 1.0f);
    const __m128 leftSide = _mm_set1_ps(-origin);
    const __m128 rightSide = _mm_set1_ps(static_cast<float>(surface_->width) - origin);
    __m128 off = zero;  // heights of pieces left of the picture
    auto hsum = [](__m128 v) {
        v = _mm_add_ps(v, _mm_movehl_ps(v, v));
        v = _mm_add_ss(v, _mm_shuffle_ps(v, v, 1));
        return _mm_cvtss_f32(v);
    };
    // Held apart from the vector: the stores into the cells below would
    // otherwise make the compiler fetch its data pointer again each time.
    const float* const members = soa_.data.data();
    for (std::uint32_t e = 0; e < 3; ++e) {
        if ((c.mask & (1u << e)) == 0) continue;
        const Family& f = shape.family[e];
        const __m128 yRef = _mm_set1_ps(f.yRef);
        for (std::uint32_t m = f.soa; m < f.soaEnd; m += 4) {
            const float* g = members + m / Members::kLanes * Members::kGroupFloats;
            __m128 x = _mm_loadu_ps(g + Members::kX * 4);
            const __m128 slope = _mm_loadu_ps(g + Members::kSlope * 4);
            const __m128 top = _mm_max_ps(y0, _mm_loadu_ps(g + Members::kTop * 4));
            const __m128 bottom = _mm_min_ps(y1, _mm_loadu_ps(g + Members::kBottom * 4));
            const __m128 dy = _mm_max_ps(zero, _mm_sub_ps(bottom, top));
            __m128 h = _mm_mul_ps(dy, _mm_loadu_ps(g + Members::kWeight * 4));
            if (_mm_movemask_ps(_mm_cmpneq_ps(h, zero)) == 0) continue;
            x = _mm_sub_ps(x, _mm_set1_ps(origin));
            const __m128 xa = _mm_add_ps(x, _mm_mul_ps(_mm_sub_ps(top, yRef), slope));
            const __m128 xb = _mm_add_ps(x, _mm_mul_ps(_mm_sub_ps(bottom, yRef), slope));
            const __m128 lo = _mm_min_ps(xa, xb), hi = _mm_max_ps(xa, xb);
            // A cluster clear of the picture's sides has all its pieces
            // inside the picture: its bounds hold them.
            if constexpr (!kInterior) {
                const __m128 offLeft = _mm_cmple_ps(hi, leftSide);
                off = _mm_add_ps(off, _mm_and_ps(offLeft, h));
                h = _mm_andnot_ps(_mm_or_ps(offLeft, _mm_cmpge_ps(lo, rightSide)), h);
            }
            const __m128 live = _mm_cmpneq_ps(h, zero);
            if constexpr (!kInterior) {
                const __m128 across = _mm_or_ps(_mm_and_ps(_mm_cmplt_ps(lo, leftSide), _mm_cmpgt_ps(hi, leftSide)),
                                                _mm_and_ps(_mm_cmplt_ps(lo, rightSide), _mm_cmpgt_ps(hi, rightSide)));
                if (_mm_movemask_ps(_mm_and_ps(live, across)) != 0) return false;
                if (_mm_movemask_ps(live) == 0) continue;
            }
            {
                const __m128i cellLo = _mm_cvttps_epi32(lo), cellHi = _mm_cvttps_epi32(hi);
                const __m128 inside = _mm_and_ps(_mm_cmpge_ps(lo, zero), _mm_cmplt_ps(hi, _mm_set1_ps(static_cast<float>(cells))));
                const __m128 narrow = _mm_and_ps(
                    inside, _mm_castsi128_ps(_mm_cmplt_epi32(_mm_sub_epi32(cellHi, cellLo), _mm_set1_epi32(2))));
                if (_mm_movemask_ps(_mm_andnot_ps(narrow, live)) == 0) {
                    // Every piece within two cells c, c + 1. With G(u) the
                    // mean of max(0, u - x) over the piece, c gets h G(c + 1),
                    // c + 1 gets h (G(c + 2) - G(c + 1)) and the cells beyond h:
                    // as differences, three values from c on.
                    const __m128 mid = _mm_mul_ps(_mm_add_ps(lo, hi), half);
                    const __m128 inv = _mm_div_ps(one, _mm_max_ps(_mm_mul_ps(two, _mm_sub_ps(hi, lo)), minWidth));
                    const __m128 u1 = _mm_add_ps(_mm_cvtepi32_ps(cellLo), one);
                    const __m128 d1 = _mm_max_ps(zero, _mm_sub_ps(u1, lo));
                    const __m128 past = _mm_cmpge_ps(u1, hi);
                    const __m128 g1 = _mm_or_ps(_mm_and_ps(past, _mm_sub_ps(u1, mid)),
                                                _mm_andnot_ps(past, _mm_mul_ps(_mm_mul_ps(d1, d1), inv)));
                    const __m128 g2 = _mm_sub_ps(_mm_add_ps(u1, one), mid);
                    const __m128 cov0 = _mm_mul_ps(h, g1);
                    const __m128 cov1 = _mm_mul_ps(h, _mm_sub_ps(g2, g1));
                    const __m128 first = cov0, second = _mm_sub_ps(cov1, cov0), third = _mm_sub_ps(h, cov1);
                    // The members' pieces mostly share their cells: when all
                    // four begin within two cells of the leftmost, their
                    // differences are summed in registers and added to the
                    // row once, instead of twelve dependent additions.
                    const __m128i at = _mm_and_si128(cellLo, _mm_castps_si128(live));
                    const __m128i far = _mm_set1_epi32(1 << 30);
                    __m128i base = _mm_or_si128(at, _mm_andnot_si128(_mm_castps_si128(live), far));
                    base = MinEpi32(base, _mm_shuffle_epi32(base, _MM_SHUFFLE(1, 0, 3, 2)));
                    base = MinEpi32(base, _mm_shuffle_epi32(base, _MM_SHUFFLE(2, 3, 0, 1)));
                    const __m128i offset = _mm_and_si128(_mm_sub_epi32(at, base), _mm_castps_si128(live));
                    const std::int32_t from = _mm_cvtsi128_si32(base);
                    if (_mm_movemask_epi8(_mm_cmpgt_epi32(offset, _mm_set1_epi32(1))) == 0) {
                        const __m128 is0 = _mm_castsi128_ps(_mm_cmpeq_epi32(offset, _mm_setzero_si128()));
                        const __m128 is1 = _mm_castsi128_ps(_mm_cmpeq_epi32(offset, _mm_set1_epi32(1)));
                        // Row j holds what each member adds to cell from + j.
                        __m128 m0 = _mm_and_ps(is0, first);
                        __m128 m1 = _mm_add_ps(_mm_and_ps(is1, first), _mm_and_ps(is0, second));
                        __m128 m2 = _mm_add_ps(_mm_and_ps(is1, second), _mm_and_ps(is0, third));
                        __m128 m3 = _mm_and_ps(is1, third);
                        _MM_TRANSPOSE4_PS(m0, m1, m2, m3);
                        const __m128 sum = _mm_add_ps(_mm_add_ps(m0, m1), _mm_add_ps(m2, m3));
                        _mm_storeu_ps(local + from, _mm_add_ps(_mm_loadu_ps(local + from), sum));
                        continue;
                    }
                    alignas(16) std::int32_t cellAt[4];
                    alignas(16) float v0[4], v1[4], v2[4];
                    _mm_store_si128(reinterpret_cast<__m128i*>(cellAt), at);
                    _mm_store_ps(v0, first);
                    _mm_store_ps(v1, second);
                    _mm_store_ps(v2, third);
                    for (int k = 0; k < 4; ++k) {
                        local[cellAt[k]] += v0[k];
                        local[cellAt[k] + 1] += v1[k];
                        local[cellAt[k] + 2] += v2[k];
                    }
                    continue;
                }
            }
            // Cells where a live piece of the group lies; right of them all
            // the group adds its whole height.
            const __m128 big = _mm_set1_ps(1e30f);
            __m128 mn = _mm_or_ps(_mm_and_ps(live, lo), _mm_andnot_ps(live, big));
            __m128 mx = _mm_or_ps(_mm_and_ps(live, hi), _mm_andnot_ps(live, _mm_sub_ps(zero, big)));
            mn = _mm_min_ps(mn, _mm_shuffle_ps(mn, mn, _MM_SHUFFLE(1, 0, 3, 2)));
            mn = _mm_min_ps(mn, _mm_shuffle_ps(mn, mn, _MM_SHUFFLE(2, 3, 0, 1)));
            mx = _mm_max_ps(mx, _mm_shuffle_ps(mx, mx, _MM_SHUFFLE(1, 0, 3, 2)));
            mx = _mm_max_ps(mx, _mm_shuffle_ps(mx, mx, _MM_SHUFFLE(2, 3, 0, 1)));
            // Clamped to [0, cells] first, where truncation is the floor.
            const float groupLo = std::clamp(_mm_cvtss_f32(mn), 0.0f, static_cast<float>(cells));
            const float groupHi = std::clamp(_mm_cvtss_f32(mx), 0.0f, static_cast<float>(cells));
            const std::int32_t from = static_cast<std::int32_t>(groupLo);
            std::int32_t to = static_cast<std::int32_t>(groupHi);
            if (static_cast<float>(to) < groupHi) ++to;
            // Cells right of every piece get the whole height either way.
            to = from + std::max(kGroupCells, (to - from + kGroupCells - 1) / kGroupCells * kGroupCells);
            to = std::min(to, cells + kGroupCells);
            local[to] += hsum(h);
            const __m128 mid = _mm_mul_ps(_mm_add_ps(lo, hi), half);
            const __m128 inv = _mm_div_ps(one, _mm_max_ps(_mm_mul_ps(two, _mm_sub_ps(hi, lo)), minWidth));
            auto area = [&](__m128 u) {  // mean of max(0, u - x) over each piece
                const __m128 d = _mm_max_ps(zero, _mm_sub_ps(u, lo));
                const __m128 quad = _mm_mul_ps(_mm_mul_ps(d, d), inv);
                const __m128 right = _mm_cmpge_ps(u, hi);
                return _mm_or_ps(_mm_and_ps(right, _mm_sub_ps(u, mid)), _mm_andnot_ps(right, quad));
            };
            // Four cells at a time: member by cell, turned into cell by
            // member, so one addition sums each cell's members.
            static_assert(kGroupCells == 4);
            __m128 u = _mm_set1_ps(static_cast<float>(from));
            __m128 left = area(u);
            for (std::int32_t x0 = from; x0 < to; x0 += kGroupCells) {
                const __m128 a1 = area(u = _mm_add_ps(u, one));
                const __m128 a2 = area(u = _mm_add_ps(u, one));
                const __m128 a3 = area(u = _mm_add_ps(u, one));
                const __m128 a4 = area(u = _mm_add_ps(u, one));
                __m128 c0 = _mm_mul_ps(h, _mm_sub_ps(a1, left));
                __m128 c1 = _mm_mul_ps(h, _mm_sub_ps(a2, a1));
                __m128 c2 = _mm_mul_ps(h, _mm_sub_ps(a3, a2));
                __m128 c3 = _mm_mul_ps(h, _mm_sub_ps(a4, a3));
                left = a4;
                _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
                const __m128 sum = _mm_add_ps(_mm_add_ps(c0, c1), _mm_add_ps(c2, c3));
                _mm_storeu_ps(out + x0, _mm_add_ps(_mm_loadu_ps(out + x0), sum));
            }
        }
    }
    // The running height and the cells' coverages four at a time; the
    // table lookups stay scalar.
    const std::uint32_t* logOf = LogTable().data();
    std::uint32_t* cell = acc + c.first;
    __m128 run = _mm_set1_ps(c.base + hsum(off));
    const __m128 steps = _mm_set1_ps(static_cast<float>(kCoverageSteps));
    for (std::int32_t x = 0; x < cells; x += 4) {
        __m128 d = _mm_loadu_ps(local + x);
        d = _mm_add_ps(d, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(d), 4)));
        d = _mm_add_ps(d, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(d), 8)));
        d = _mm_add_ps(d, run);
        run = _mm_shuffle_ps(d, d, _MM_SHUFFLE(3, 3, 3, 3));
        const __m128 coverage = _mm_min_ps(one, _mm_max_ps(zero, _mm_add_ps(_mm_loadu_ps(out + x), d)));
        alignas(16) std::int32_t index[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(index),
                        _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(coverage, steps), half)));
        AddOpenLogs(cell + x, logOf, index, cells - x);
    }
    return true;
}
#endif

void FrameAccumulator::ResolveRow(std::uint32_t* acc, std::uint32_t* pixels, std::int32_t keepFrom,
                                  std::int32_t keepTo) const {
    const std::int32_t width = surface_->width;
    const std::uint32_t opaque = pixelOf_[255];
    if (keepTo <= keepFrom) keepFrom = keepTo = 0;
    FillPixels(pixels, keepFrom, opaque);
    std::fill(acc, acc + keepFrom, 0u);
    ResolveCells(acc + keepFrom, pixels + keepFrom, keepTo - keepFrom);
    FillPixels(pixels + keepTo, width - keepTo, opaque);
    std::fill(acc + keepTo, acc + width + 1, 0u);
}

void FrameAccumulator::ResolveCells(std::uint32_t* acc, std::uint32_t* pixels, std::int32_t width) const {
    const std::uint32_t* pixelOfSum = pixelOfSum_.data();
    const std::uint32_t opaque = pixelOf_[255];
    std::int32_t x = 0;
    std::uint32_t lastSum = 0, lastPixel = 0;
    auto one = [&](std::int32_t i) {
        const std::uint32_t sum = acc[i];
        if (sum != lastSum) {
            lastSum = sum;
            lastPixel = sum >= kSaturated ? opaque : pixelOfSum[(sum + kSumStep / 2) / kSumStep];
        }
        pixels[i] = lastPixel;
        acc[i] = 0;
    };
#if QV_FRAME_SSE2
    // Runs of one value (empty, opaque, or a line's inside), four at a time.
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i below = _mm_set1_epi32(static_cast<int>(kSaturated ^ 0x80000000u));
    const __m128i opaque4 = _mm_set1_epi32(static_cast<int>(opaque));
    const __m128i half = _mm_set1_epi32(static_cast<int>(kSumStep / 2));
    // The picture is not read again here: stream it past the cache once the
    // row reaches a 16-byte boundary.
    while (x < width && (reinterpret_cast<std::uintptr_t>(pixels + x) & 15u) != 0) one(x++);
    __m128i lastSum4 = _mm_set1_epi32(static_cast<int>(lastSum));
    __m128i lastPixel4 = _mm_set1_epi32(static_cast<int>(lastPixel));
    for (; x + 4 <= width; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + x));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(v, lastSum4)) == 0xFFFF) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(pixels + x), lastPixel4);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(acc + x), zero);
            continue;
        }
        // The four looked up apart, without a dependency from one cell to
        // the next or a round trip through memory: a row with lines of
        // varied alpha changes value every few cells.
        const __m128i open = _mm_cmplt_epi32(_mm_xor_si128(v, bias), below);
        const __m128i index = _mm_srli_epi32(_mm_add_epi32(_mm_and_si128(v, open), half), kSumShift);
        const __m128i looked = _mm_setr_epi32(
            static_cast<int>(pixelOfSum[_mm_cvtsi128_si32(index)]),
            static_cast<int>(pixelOfSum[_mm_cvtsi128_si32(_mm_shuffle_epi32(index, _MM_SHUFFLE(1, 1, 1, 1)))]),
            static_cast<int>(pixelOfSum[_mm_cvtsi128_si32(_mm_shuffle_epi32(index, _MM_SHUFFLE(2, 2, 2, 2)))]),
            static_cast<int>(pixelOfSum[_mm_cvtsi128_si32(_mm_shuffle_epi32(index, _MM_SHUFFLE(3, 3, 3, 3)))]));
        const __m128i out = _mm_or_si128(_mm_and_si128(open, looked), _mm_andnot_si128(open, opaque4));
        lastSum4 = _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3));
        lastPixel4 = _mm_shuffle_epi32(out, _MM_SHUFFLE(3, 3, 3, 3));
        _mm_stream_si128(reinterpret_cast<__m128i*>(pixels + x), out);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(acc + x), zero);
    }
#endif
    for (; x < width; ++x) one(x);
}

}  // namespace qv
