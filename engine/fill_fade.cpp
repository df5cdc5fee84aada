#include "fill_fade.h"

#include <algorithm>
#include <cmath>

#include "fill_line_shapes.h"
#include "fill_log_domain.h"
#include "fill_simd.h"

namespace qv::fill {

namespace {

// Cells nearer a corner than this (along its axis, in pixels) may hold the
// corner itself, where the side edges stop being whole lines: those rows
// are filled exactly.
constexpr double kMinAhead = 1.0;

// The flat part of a cell's shadow is kept this much narrower than the
// whole, so that an edge along a row or column (a box shadow) needs no
// other formula: its part inside is off by less than 1e-3.
constexpr double kMinSlope = 1.0 / 256.0;

// A padded pass lies this far inside every cell.
constexpr double kFarInside = 1e6;

using G = FadeGroups;

// The part of a cell inside an edge at distance d from its centre: the
// integral of a trapezoid of half-widths a (whole) and b (flat top), as
// scale ((d + a)^2 - (d + b)^2_+ - (d - b)^2_+) over d clamped to [-a, a].
#if !QV_FILL_SSE2
inline float CellInside(float d, float a, float b, float scale) noexcept {
    d = std::min(a, std::max(-a, d));
    const float u = d + a, v = std::max(0.0f, d + b), w = std::max(0.0f, d - b);
    return scale * (u * u - v * v - w * w);
}
#else
QV_ALWAYS_INLINE __m128 CellInside(__m128 d, const float* g) noexcept {
    const __m128 a = _mm_loadu_ps(g + G::kA * 4), b = _mm_loadu_ps(g + G::kB * 4);
    const __m128 zero = _mm_setzero_ps();
    d = _mm_min_ps(a, _mm_max_ps(_mm_sub_ps(zero, a), d));
    const __m128 u = _mm_add_ps(d, a), v = _mm_max_ps(zero, _mm_add_ps(d, b)),
                 w = _mm_max_ps(zero, _mm_sub_ps(d, b));
    return _mm_mul_ps(_mm_loadu_ps(g + G::kScale * 4),
                      _mm_sub_ps(_mm_sub_ps(_mm_mul_ps(u, u), _mm_mul_ps(v, v)), _mm_mul_ps(w, w)));
}
#endif

}  // namespace

void FadeCells::Clear() {
    shapes_.clear();
    groups_.clear();
    lineOf_.clear();
    cellsFilled_ = usable_ = 0;
}

bool FadeCells::AddSide(FadeSide& side, double cx, double cy, double ox, double oy,
                        const Triangle* const* members, std::size_t count, const float* weights) {
    side.cx = cx, side.cy = cy;
    side.first = static_cast<std::uint32_t>(lineOf_.size() / 3);
    bool haveAxis = false;
    std::uint32_t passes = 0;
    // Smaller passes first, on both sides alike, so that a pass is one lane
    // of both.
    for (std::size_t m = count; m-- > 0;) {
        if (!(weights[m] > 0.0f)) continue;
        const double dx = members[m]->tipX + kPixelCentre - cx, dy = members[m]->tipY + kPixelCentre - cy;
        const double length = std::hypot(dx, dy);
        if (!(length > 0.0)) return false;
        if (!haveAxis) {
            side.ax = dx / length, side.ay = dy / length;
            haveAxis = true;
        }
        if (!(side.ax * dx + side.ay * dy > 0.0)) return false;  // a tip behind the corner: not a fan
        double nx = -dy / length, ny = dx / length;
        const double toOther = nx * (ox - cx) + ny * (oy - cy);
        if (toOther == 0.0) return false;
        if (toOther < 0.0) nx = -nx, ny = -ny;
        lineOf_.insert(lineOf_.end(), {nx, ny, -(nx * cx + ny * cy)});
        const double a = 0.5 * (std::fabs(nx) + std::fabs(ny));
        const double b = std::min(0.5 * std::fabs(std::fabs(nx) - std::fabs(ny)), a - kMinSlope);
        const std::size_t lane = passes % G::kLanes;
        if (lane == 0) groups_.resize(groups_.size() + G::kGroupFloats, 0.0f);
        float* g = groups_.data() + groups_.size() - G::kGroupFloats;
        g[G::kDx * 4 + lane] = static_cast<float>(nx);
        g[G::kA * 4 + lane] = static_cast<float>(a);
        g[G::kB * 4 + lane] = static_cast<float>(b);
        g[G::kScale * 4 + lane] = static_cast<float>(1.0 / (2.0 * (a + b) * (a - b)));
        g[G::kWeight * 4 + lane] = weights[m];
        ++passes;
    }
    for (; passes % G::kLanes != 0; ++passes) lineOf_.insert(lineOf_.end(), {0.0, 0.0, kFarInside});
    return passes > 0;
}

void FadeCells::Add(const Triangle* const* members, std::size_t count, const float* weights) {
    FadeShape shape{};
    const Triangle* first = nullptr;
    for (std::size_t k = 0; k < count && first == nullptr; ++k)
        first = weights[k] > 0.0f ? members[k] : nullptr;
    const std::size_t groups = groups_.size(), lines = lineOf_.size();
    if (first != nullptr) {
        const double x1 = first->c1X + kPixelCentre, y1 = first->c1Y + kPixelCentre;
        const double x2 = first->c2X + kPixelCentre, y2 = first->c2Y + kPixelCentre;
        const double length = std::hypot(x2 - x1, y2 - y1);
        shape.bx = x1, shape.by = y1;
        shape.bnx = length > 0.0 ? (y1 - y2) / length : 0.0;
        shape.bny = length > 0.0 ? (x2 - x1) / length : 0.0;
        const double toTip =
            shape.bnx * (first->tipX + kPixelCentre - x1) + shape.bny * (first->tipY + kPixelCentre - y1);
        if (toTip < 0.0) shape.bnx = -shape.bnx, shape.bny = -shape.bny;
        shape.baseReach = 0.5 * (std::fabs(shape.bnx) + std::fabs(shape.bny));
        shape.usable = length > 0.0 && toTip != 0.0 &&
                       AddSide(shape.side[0], x1, y1, x2, y2, members, count, weights) &&
                       AddSide(shape.side[1], x2, y2, x1, y1, members, count, weights);
        shape.passes = shape.side[1].first - shape.side[0].first;
    }
    if (!shape.usable) groups_.resize(groups), lineOf_.resize(lines);
    usable_ += shape.usable ? 1 : 0;
    shapes_.push_back(shape);
}

void FadeCells::Distances(const FadeSide& side, std::uint32_t passes, double px, double py, float* d) const {
    const double* line = lineOf_.data() + 3 * static_cast<std::size_t>(side.first);
    for (std::uint32_t k = 0; k < passes; ++k, line += 3) {
        d[k] = static_cast<float>(line[0] * px + line[1] * py + line[2]);
    }
}

bool FadeCells::Row(std::uint32_t shape, std::int32_t first, std::int32_t last, std::int32_t row,
                    std::uint32_t* acc) {
    const FadeShape& f = shapes_[shape];
    if (!f.usable) return false;
    const double py = row + kPixelCentre;
    // Along a row the distances are linear: the ends decide for every cell.
    for (const double px : {first + kPixelCentre, last + kPixelCentre}) {
        if (f.bnx * (px - f.bx) + f.bny * (py - f.by) < f.baseReach) return false;
        for (const FadeSide& s : f.side) {
            if (s.ax * (px - s.cx) + s.ay * (py - s.cy) < kMinAhead) return false;
        }
    }
    const std::int32_t cells = last - first + 1;
    if (d0_.size() < f.passes) d0_.resize(f.passes), d1_.resize(f.passes);
    const double px = first + kPixelCentre;
    Distances(f.side[0], f.passes, px, py, d0_.data());
    Distances(f.side[1], f.passes, px, py, d1_.data());
    const float whole = Sort(f, cells);
    cellsFilled_ += static_cast<std::size_t>(cells);
    Fill(whole, cells, acc + first);
    return true;
}

namespace {

// Where an edge leaves a row's cells: wholly inside, wholly outside or
// partly; d is the first cell's distance, changing by dx a cell.
enum class Lies { kInside, kOutside, kPartly };
Lies Where(float d, float dx, float a, std::int32_t cells) {
    const float e = d + dx * static_cast<float>(cells - 1);
    if (d >= a && e >= a) return Lies::kInside;
    if (d <= -a && e <= -a) return Lies::kOutside;
    return Lies::kPartly;
}

}  // namespace

// Passes whose both sides leave every cell wholly inside add a constant,
// returned; those that one side leaves wholly outside add nothing; the rest
// go to the lanes of `one` (one side partly, the other wholly inside) or
// `both`.
float FadeCells::Sort(const FadeShape& f, std::int32_t cells) {
    const float* groups0 = groups_.data() + f.side[0].first / G::kLanes * G::kGroupFloats;
    const float* groups1 = groups_.data() + f.side[1].first / G::kLanes * G::kGroupFloats;
    one_.Clear();
    both_.Clear();
    float whole = 0.0f;
    for (std::uint32_t k = 0; k < f.passes; ++k) {
        const float* g0 = groups0 + k / G::kLanes * G::kGroupFloats + k % G::kLanes;
        const float* g1 = groups1 + k / G::kLanes * G::kGroupFloats + k % G::kLanes;
        const float weight = g0[G::kWeight * 4];
        if (!(weight > 0.0f)) continue;
        const Lies l0 = Where(d0_[k], g0[G::kDx * 4], g0[G::kA * 4], cells);
        const Lies l1 = Where(d1_[k], g1[G::kDx * 4], g1[G::kA * 4], cells);
        if (l0 == Lies::kOutside || l1 == Lies::kOutside) continue;
        if (l0 == Lies::kInside && l1 == Lies::kInside) {
            whole += weight;
        } else if (l1 == Lies::kInside) {
            one_.Push(d0_[k], g0, weight);
        } else if (l0 == Lies::kInside) {
            one_.Push(d1_[k], g1, weight);
        } else {
            both_.PushPair(d0_[k], g0, d1_[k], g1, weight);
        }
    }
    one_.Pad();
    both_.Pad();
    return whole;
}

// Each pass counts by the part of the cell its sides leave inside; where
// both pass, by the part they leave together, which is exact unless the
// pass's tip lies in the cell (then it is too small by what lies beyond
// the tip on neither side).
void FadeCells::Fill(float whole, std::int32_t cells, std::uint32_t* cell) const {
    const std::uint32_t* logOf = LogTable().data();
    const std::size_t ones = one_.size(), boths = both_.size();
    const float* one = one_.data.data();
    const float* both = both_.data.data();
    constexpr std::size_t kStride = FadeLanes::kGroupFloats;
    for (std::int32_t i = 0; i < cells; ++i) {
        if (cell[i] >= kSaturated) continue;
        const float at = static_cast<float>(i);
        float coverage = whole;
#if QV_FILL_SSE2
        __m128 sum = _mm_setzero_ps();
        const __m128 step = _mm_set1_ps(at), unit = _mm_set1_ps(1.0f), zero = _mm_setzero_ps();
        auto inside = [step](const float* g) {
            return CellInside(_mm_add_ps(_mm_loadu_ps(g), _mm_mul_ps(_mm_loadu_ps(g + 4 + G::kDx * 4), step)),
                              g + 4);
        };
        for (std::size_t k = 0; k < ones; k += G::kLanes) {
            const float* g = one + k / G::kLanes * kStride;
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(g + 4 + G::kWeight * 4), inside(g)));
        }
        for (std::size_t k = 0; k < boths; k += G::kLanes) {
            const float* g0 = both + k / G::kLanes * 2 * kStride;
            const __m128 together =
                _mm_max_ps(zero, _mm_sub_ps(_mm_add_ps(inside(g0), inside(g0 + kStride)), unit));
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(g0 + 4 + G::kWeight * 4), together));
        }
        coverage += HorizontalSum(sum);
#else
        auto inside = [at](const float* g) {
            return CellInside(g[0] + g[4 + G::kDx * 4] * at, g[4 + G::kA * 4], g[4 + G::kB * 4],
                              g[4 + G::kScale * 4]);
        };
        for (std::size_t k = 0; k < ones; ++k) {
            const float* g = one + k / G::kLanes * kStride + k % G::kLanes;
            coverage += g[4 + G::kWeight * 4] * inside(g);
        }
        for (std::size_t k = 0; k < boths; ++k) {
            const float* g0 = both + k / G::kLanes * 2 * kStride + k % G::kLanes;
            coverage += g0[4 + G::kWeight * 4] * std::max(0.0f, inside(g0) + inside(g0 + kStride) - 1.0f);
        }
#endif
        cell[i] += LogOf(logOf, coverage);
    }
}

}  // namespace qv::fill
