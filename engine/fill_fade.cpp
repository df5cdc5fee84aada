#include "fill_fade.h"

#include <algorithm>
#include <cmath>

#include "fill_line_shapes.h"
#include "fill_log_domain.h"
#include "fill_row_kernels.h"
#include "fill_simd.h"

namespace qv::fill {

namespace {

// The flat part of a cell's shadow is kept this much narrower than the
// whole, so that an edge along a row or column (a box shadow) needs no
// other formula: its part inside is off by less than 1e-3.
constexpr double kMinSlope = 1.0 / 256.0;

// A group of segments is tabulated at its middle's distance from the
// corner; a cell elsewhere in it reads the table at its offset scaled to
// that distance, which puts every pass's edge right and widens or narrows
// the cell's shadow by the ratio of the two distances. Groups are kept short
// enough for that ratio to stay within 1 +- kSegmentSpan / 2.
constexpr double kSegmentSpan = 0.04;

// Beyond the last tip every pass is present, but the distance from the
// corner keeps changing: a few more groups carry the tables on, as far as
// the rows where the two sides share their cells usually reach.
constexpr std::size_t kTrailingGroups = 3;

// A group must begin at least this far from either corner, and a line has
// at most this many groups.
constexpr double kMinReach = 16.0;
constexpr std::size_t kMaxGroups = 32;

// Table entries per pixel of offset. Between entries the sum is linear; a
// pass's ramp is at most as curved as a box's corner, so the interpolation
// is off by at most 1 / (4 kEntriesPerPixel) of the pass's weight there.
constexpr double kEntriesPerPixel = 4.0;

double Dot(double ax, double ay, double bx, double by) noexcept { return ax * bx + ay * by; }

}  // namespace

void FadeCells::Clear() {
    lines_.clear();
    ahead_.clear();
    passes_.clear();
    segments_.clear();
    groups_.clear();
    tables_.clear();
    cellsFilled_ = usable_ = tablesBuilt_ = 0;
}

// Each weighted member's two side edges, through the shared corners and its
// tip, as seen from each side's first edge.
bool FadeCells::AddPasses(FadeLine& line, const Triangle* const* members, std::size_t count,
                          const float* weights) {
    line.firstPass = static_cast<std::uint32_t>(passes_.size());
    bool first = true;
    for (std::size_t m = 0; m < count; ++m) {
        if (!(weights[m] > 0.0f)) continue;
        FadePass pass{};
        pass.weight = weights[m];
        const double tx = members[m]->tipX + kPixelCentre, ty = members[m]->tipY + kPixelCentre;
        for (int s = 0; s < 2; ++s) {
            FadeSide& side = line.side[s];
            const FadeSide& other = line.side[1 - s];
            const double dx = tx - side.cx, dy = ty - side.cy;
            const double length = std::hypot(dx, dy);
            if (!(length > 0.0)) return false;
            double nx = -dy / length, ny = dx / length;
            const double toOther = Dot(nx, ny, other.cx - side.cx, other.cy - side.cy);
            if (toOther == 0.0) return false;
            if (toOther < 0.0) nx = -nx, ny = -ny;
            if (first) side.ex = dx / length, side.ey = dy / length, side.nx = nx, side.ny = ny;
            FadeEdge& e = pass.edge[s];
            e.ne = Dot(nx, ny, side.ex, side.ey);
            e.nn = Dot(nx, ny, side.nx, side.ny);
            // Far from the first edge's direction it would not be one fan of
            // near-parallel edges.
            if (!(e.nn > 0.5)) return false;
            const double a = 0.5 * (std::fabs(nx) + std::fabs(ny));
            const double b = std::min(0.5 * std::fabs(std::fabs(nx) - std::fabs(ny)), a - kMinSlope);
            e.a = static_cast<float>(a), e.b = static_cast<float>(b);
            e.scale = static_cast<float>(1.0 / (2.0 * (a + b) * (a - b)));
        }
        first = false;
        passes_.push_back(pass);
    }
    line.passes = static_cast<std::uint32_t>(passes_.size()) - line.firstPass;
    return line.passes > 0;
}

// The axis the tips lie along, from the first tip (x0, y0) outward, and
// each tip's place on it into tipAt_; false when they do not lie in order.
bool FadeCells::TipsAlongAxis(const FadeLine& line, const Triangle* const* members, std::size_t count,
                              const float* weights, double& x0, double& y0, double& ax, double& ay) {
    tipAt_.clear();
    double x1 = 0.0, y1 = 0.0;
    bool haveFirst = false;
    for (std::size_t m = 0; m < count; ++m) {
        if (!(weights[m] > 0.0f)) continue;
        const double tx = members[m]->tipX + kPixelCentre, ty = members[m]->tipY + kPixelCentre;
        if (!haveFirst) x0 = tx, y0 = ty, haveFirst = true;
        x1 = tx, y1 = ty;
    }
    const double midX = 0.5 * (line.side[0].cx + line.side[1].cx);
    const double midY = 0.5 * (line.side[0].cy + line.side[1].cy);
    ax = x1 - x0, ay = y1 - y0;
    if (std::hypot(ax, ay) < 1.0) ax = midX - x0, ay = midY - y0;
    const double length = std::hypot(ax, ay);
    if (!(length > 0.0)) return false;
    ax /= length, ay /= length;
    if (!(Dot(ax, ay, midX - x0, midY - y0) > 0.0)) return false;
    for (std::size_t m = 0; m < count; ++m) {
        if (!(weights[m] > 0.0f)) continue;
        const double at =
            Dot(ax, ay, members[m]->tipX + kPixelCentre - x0, members[m]->tipY + kPixelCentre - y0);
        if (!tipAt_.empty() && at < tipAt_.back()) return false;  // tips out of order: not nested
        tipAt_.push_back(at);
    }
    return true;
}

// The segments along the axis: from each tip on, until the next tip, the
// passes up to it are present. Groups of them share their tables' distance
// from the corners; a group spans at most kSegmentSpan of that distance, so
// a long run between tips, and the run beyond the last, are cut.
bool FadeCells::AddSegments(FadeLine& line, const Triangle* const* members, std::size_t count,
                            const float* weights) {
    double x0 = 0.0, y0 = 0.0, ax = 0.0, ay = 0.0;
    if (!TipsAlongAxis(line, members, count, weights, x0, y0, ax, ay)) return false;
    const std::vector<double>& tipAt = tipAt_;
    // The distance from side s's corner along its first edge, at axis position `at`.
    auto reach = [&](int s, double at) {
        const FadeSide& side = line.side[s];
        return Dot(side.ex, side.ey, x0 + at * ax - side.cx, y0 + at * ay - side.cy);
    };
    // Near a corner the groups would grow short and many: such a line (its
    // tips about the base, in a small picture) is filled exactly.
    auto span = [&](double at) {
        const double nearest = std::min(reach(0, at), reach(1, at));
        return nearest >= kMinReach ? kSegmentSpan * nearest : 0.0;
    };
    line.firstSegment = static_cast<std::uint32_t>(segments_.size());
    const std::size_t firstGroup = groups_.size();
    float weight = 0.0f;
    std::uint32_t present = 0;
    double groupStart = 0.0, groupEnd = 0.0;
    auto newGroup = [&](double at) {
        const double s = span(at);
        if (!(s > 0.0) || groups_.size() - firstGroup >= kMaxGroups) return false;
        FadeGroup group{};
        group.firstSegment = static_cast<std::uint32_t>(segments_.size());
        groups_.push_back(group);
        groupStart = at, groupEnd = at + s;
        return true;
    };
    auto push = [&](double at) {
        FadeSegment segment{};
        segment.start = at;
        segment.from = static_cast<float>(at);
        segment.present = present;
        segment.weight = weight;
        segment.group = static_cast<std::uint32_t>(groups_.size() - 1);
        segments_.push_back(segment);
        ++groups_.back().segments;
    };
    const std::size_t tips = tipAt.size();
    if (!newGroup(tipAt.front())) return false;
    for (std::size_t k = 0; k < tips;) {
        while (k < tips && tipAt[k] == tipAt[present]) weight += passes_[line.firstPass + k++].weight;
        present = static_cast<std::uint32_t>(k);
        push(tipAt[present - 1]);
        while (k < tips && groupEnd < tipAt[k]) {
            if (!newGroup(groupEnd)) return false;
            push(groupStart);
        }
    }
    for (std::size_t i = 0; i < kTrailingGroups; ++i) {
        if (!newGroup(groupEnd)) return false;
        push(groupStart);
    }
    line.end = static_cast<float>(groupEnd);
    line.ax = static_cast<float>(ax), line.ay = static_cast<float>(ay);
    line.perAx = line.ax != 0.0f ? 1.0f / line.ax : 0.0f;
    line.segments = static_cast<std::uint32_t>(segments_.size()) - line.firstSegment;
    line.lastSegment = 0;
    for (std::size_t i = firstGroup; i < groups_.size(); ++i) {
        FadeGroup& g = groups_[i];
        if (g.segments == 0) return false;
        const double from = segments_[g.firstSegment].start;
        const std::size_t after = g.firstSegment + g.segments;
        const double to = after < segments_.size() ? segments_[after].start : groupEnd;
        for (int s = 0; s < 2; ++s) g.reach[s] = reach(s, 0.5 * (from + to));
    }
    return true;
}

// The single-precision view of a line rows read, from the pixel of its
// first tip, whose centre is the axis' zero.
void FadeCells::SetOrigin(FadeLine& line, const Triangle& first) {
    line.ox = first.tipX, line.oy = first.tipY;
    const double x = first.tipX + kPixelCentre, y = first.tipY + kPixelCentre;
    for (int s = 0; s < 2; ++s) {
        const FadeSide& side = line.side[s];
        line.u[s] = static_cast<float>(Dot(side.nx, side.ny, x - side.cx, y - side.cy));
        line.v[s] = static_cast<float>(Dot(side.ex, side.ey, x - side.cx, y - side.cy));
        line.ux[s] = static_cast<float>(side.nx), line.uy[s] = static_cast<float>(side.ny);
        line.vx[s] = static_cast<float>(side.ex), line.vy[s] = static_cast<float>(side.ey);
    }
}

void FadeCells::Add(const Triangle* const* members, std::size_t count, const float* weights) {
    FadeLine line{};
    const Triangle* first = nullptr;
    for (std::size_t k = 0; k < count && first == nullptr; ++k)
        first = weights[k] > 0.0f ? members[k] : nullptr;
    const std::size_t passes = passes_.size(), segments = segments_.size(), groups = groups_.size();
    if (first != nullptr) {
        const double x1 = first->c1X + kPixelCentre, y1 = first->c1Y + kPixelCentre;
        const double x2 = first->c2X + kPixelCentre, y2 = first->c2Y + kPixelCentre;
        const double length = std::hypot(x2 - x1, y2 - y1);
        line.side[0].cx = x1, line.side[0].cy = y1;
        line.side[1].cx = x2, line.side[1].cy = y2;
        // A tip on the base line makes no triangle.
        const double toTip =
            (x2 - x1) * (first->tipY + kPixelCentre - y1) - (y2 - y1) * (first->tipX + kPixelCentre - x1);
        line.usable = length > 0.0 && toTip != 0.0 && AddPasses(line, members, count, weights) &&
                      AddSegments(line, members, count, weights);
        if (line.usable) SetOrigin(line, *first);
    }
    if (!line.usable) passes_.resize(passes), segments_.resize(segments), groups_.resize(groups);
    usable_ += line.usable ? 1 : 0;
    lines_.push_back(line);
    ahead_.push_back(Ahead{kNotBuilt, kNotBuilt, {kNotBuilt, kNotBuilt}});
    if (line.usable) NoteAhead(static_cast<std::uint32_t>(lines_.size() - 1), line);
}

namespace {

// What a run of cells of one segment needs of one side: its table and the
// table position of cell x of the row, at + by x, clamped to [0, top].
struct SideRun {
    const float* table;
    float at, by, top;
};

#if QV_FILL_SSE2
// Each side's table read at four cells' positions and interpolated.
QV_ALWAYS_INLINE __m128 SideAt(const SideRun& side, __m128 x) noexcept {
    __m128 f = _mm_add_ps(_mm_set1_ps(side.at), _mm_mul_ps(x, _mm_set1_ps(side.by)));
    f = _mm_min_ps(_mm_set1_ps(side.top), _mm_max_ps(_mm_setzero_ps(), f));
    const __m128i entry = _mm_cvttps_epi32(f);
    const __m128 frac = _mm_sub_ps(f, _mm_cvtepi32_ps(entry));
    alignas(16) std::int32_t e[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(e), entry);
    // Each entry with the next, as one load of two.
    const float* t = side.table;
    __m128 p01 = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(t + e[0]));
    p01 = _mm_loadh_pi(p01, reinterpret_cast<const __m64*>(t + e[1]));
    __m128 p23 = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(t + e[2]));
    p23 = _mm_loadh_pi(p23, reinterpret_cast<const __m64*>(t + e[3]));
    const __m128 value = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 next = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1));
    return _mm_add_ps(value, _mm_mul_ps(frac, _mm_sub_ps(next, value)));
}

// Cells [from, to) of the row at `cell`: both sides' sums less the
// segment's weight, four cells at a time.
void FillRun(std::uint32_t* cell, std::int32_t from, std::int32_t to, const SideRun* side, float weight,
             const std::uint32_t* logOf) noexcept {
    const __m128 firstFour = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f), less = _mm_set1_ps(weight);
    for (std::int32_t x = from; x < to; x += 4) {
        const __m128 at = _mm_add_ps(_mm_set1_ps(static_cast<float>(x)), firstFour);
        const __m128 coverage = _mm_sub_ps(_mm_add_ps(SideAt(side[0], at), SideAt(side[1], at)), less);
        AddLogsOfFour(cell + x, coverage, logOf, to - x);
    }
}

// Four table entries' ramps: the part of a cell inside an edge at distance
// d from its centre, the integral of a trapezoid of half-widths a (whole)
// and b (flat top), as scale ((d + a)^2 - (d + b)^2_+ - (d - b)^2_+) over d
// clamped to [-a, a].
QV_ALWAYS_INLINE __m128 CellInsideOfFour(__m128 d, __m128 a, __m128 b, __m128 scale) noexcept {
    const __m128 zero = _mm_setzero_ps();
    d = _mm_min_ps(a, _mm_max_ps(_mm_sub_ps(zero, a), d));
    const __m128 u = _mm_add_ps(d, a), v = _mm_max_ps(zero, _mm_add_ps(d, b)),
                 w = _mm_max_ps(zero, _mm_sub_ps(d, b));
    return _mm_mul_ps(scale, _mm_sub_ps(_mm_sub_ps(_mm_mul_ps(u, u), _mm_mul_ps(v, v)), _mm_mul_ps(w, w)));
}
#else
// The part of a cell inside an edge at distance d from its centre: the
// integral of a trapezoid of half-widths a (whole) and b (flat top), as
// scale ((d + a)^2 - (d + b)^2_+ - (d - b)^2_+) over d clamped to [-a, a].
float CellInside(float d, float a, float b, float scale) noexcept {
    d = std::min(a, std::max(-a, d));
    const float u = d + a, v = std::max(0.0f, d + b), w = std::max(0.0f, d - b);
    return scale * (u * u - v * v - w * w);
}

float SideAt(const SideRun& side, float x) noexcept {
    const float f = std::min(side.top, std::max(0.0f, side.at + x * side.by));
    const std::int32_t e = static_cast<std::int32_t>(f);
    return side.table[e] + (f - static_cast<float>(e)) * (side.table[e + 1] - side.table[e]);
}

void FillRun(std::uint32_t* cell, std::int32_t from, std::int32_t to, const SideRun* side, float weight,
             const std::uint32_t* logOf) noexcept {
    for (std::int32_t x = from; x < to; ++x) {
        if (cell[x] >= kSaturated) continue;
        const float at = static_cast<float>(x);
        cell[x] += LogOf(logOf, SideAt(side[0], at) + SideAt(side[1], at) - weight);
    }
}
#endif

}  // namespace

// Side `side`'s sums over each segment's passes, at offsets from the first
// pass's edge taken at the group's distance from the corner, one entry
// every 1 / kEntriesPerPixel: each pass's ramp over the entries it crosses,
// four at a time, and its whole weight past them; each segment's table is
// the sums once its passes are in.
void FadeCells::BuildSide(const FadeLine& line, FadeGroup& group, int side) {
    const double v0 = group.reach[side];
    const FadeSegment* segments = segments_.data() + group.firstSegment;
    const std::uint32_t present = segments[group.segments - 1].present;
    double lo = 1e300, hi = -1e300;
    for (std::uint32_t k = 0; k < present; ++k) {
        const FadeEdge& e = passes_[line.firstPass + k].edge[side];
        lo = std::min(lo, (-e.a - v0 * e.ne) / e.nn);
        hi = std::max(hi, (e.a - v0 * e.ne) / e.nn);
    }
    const std::size_t entries = static_cast<std::size_t>(std::ceil((hi - lo) * kEntriesPerPixel)) + 2;
    constexpr std::size_t kPad = 4;  // a ramp's last group of four may reach past the end
    sums_.assign(entries + kPad, 0.0f);
    float* t = sums_.data();
    std::uint32_t added = 0;
    for (std::uint32_t j = 0; j < group.segments; ++j) {
        for (; added < segments[j].present; ++added) {
            const FadePass& pass = passes_[line.firstPass + added];
            const FadeEdge& e = pass.edge[side];
            // Entry i lies at distance first + i * each inside the pass's edge.
            const double first = v0 * e.ne + lo * e.nn, each = e.nn / kEntriesPerPixel;
            const std::size_t from =
                static_cast<std::size_t>(std::max(0.0, std::floor((-e.a - first) / each)));
            const std::size_t to = std::min(
                entries, static_cast<std::size_t>(std::max(0.0, std::ceil((e.a - first) / each))) + 1);
            std::size_t i = from;
#if QV_FILL_SSE2
            const __m128 a = _mm_set1_ps(e.a), b = _mm_set1_ps(e.b),
                         scale = _mm_set1_ps(e.scale * pass.weight);
            const __m128 firstFour = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f);
            for (; i < to; i += 4) {
                const __m128 index = _mm_add_ps(_mm_set1_ps(static_cast<float>(i)), firstFour);
                const __m128 d = _mm_add_ps(_mm_set1_ps(static_cast<float>(first)),
                                            _mm_mul_ps(index, _mm_set1_ps(static_cast<float>(each))));
                _mm_storeu_ps(t + i, _mm_add_ps(_mm_loadu_ps(t + i), CellInsideOfFour(d, a, b, scale)));
            }
#else
            for (; i < to; ++i) {
                const float d = static_cast<float>(first + static_cast<double>(i) * each);
                t[i] += pass.weight * CellInside(d, e.a, e.b, e.scale);
            }
#endif
            // Entries past the ramp hold the pass wholly.
#if QV_FILL_SSE2
            for (const __m128 whole = _mm_set1_ps(pass.weight); i < entries; i += 4)
                _mm_storeu_ps(t + i, _mm_add_ps(_mm_loadu_ps(t + i), whole));
#else
            for (; i < entries; ++i) t[i] += pass.weight;
#endif
        }
        const std::size_t at = tables_.size();
        tables_.insert(tables_.end(), t, t + entries);
        segments_[group.firstSegment + j].table[side] = static_cast<std::uint32_t>(at);
    }
    group.entries[side] = static_cast<std::uint32_t>(entries);
    group.scale[side] = static_cast<float>(kEntriesPerPixel * v0);
    group.shift[side] = static_cast<float>(kEntriesPerPixel * lo);
    // Just below the last entry, so that no cell reads past its pair.
    group.top[side] = std::nextafter(static_cast<float>(entries - 1), 0.0f);
    ++tablesBuilt_;
}

void FadeCells::Build(const FadeLine& line, FadeGroup& group) {
    BuildSide(line, group, 0);
    BuildSide(line, group, 1);
    group.built = true;
}

// A run of the row's cells [from, to) in segment j. The table position is
// taken as linear along the run, about its middle: the run lies within one
// group, whose distances from the corner differ by at most kSegmentSpan, so
// the reciprocal of that distance is linear to (kSegmentSpan / 2)^2.
void FadeCells::Run(const FadeLine& f, std::uint32_t j, const RowStart& r, std::int32_t from, std::int32_t to,
                    std::uint32_t* cell) {
    const FadeSegment& segment = segments_[f.firstSegment + j];
    FadeGroup& g = groups_[segment.group];
    if (!g.built) Build(f, g);
    SideRun side[2];
    const float middle = 0.5f * static_cast<float>(from + to - 1);
    for (int s = 0; s < 2; ++s) {
        const float u = r.u[s] + f.ux[s] * middle, reciprocal = 1.0f / (r.v[s] + f.vx[s] * middle);
        const float scale = g.scale[s] * reciprocal;
        const float by = scale * (f.ux[s] - u * f.vx[s] * reciprocal);
        side[s].table = tables_.data() + segment.table[s];
        side[s].at = scale * u - g.shift[s] - by * middle;
        side[s].by = by;
        side[s].top = g.top[s];
        // A cell at or before the table's first entry is outside every pass
        // on this side, and the line adds nothing there.
        if (from >= to) return;
        const float edge = std::clamp(-side[s].at / by, static_cast<float>(from), static_cast<float>(to));
        if (by > 0.0f) {
            from = std::max(from, static_cast<std::int32_t>(edge));
        } else if (by < 0.0f) {
            to = std::min(to, static_cast<std::int32_t>(edge) + 1);
        } else if (side[s].at <= 0.0f) {
            return;
        }
    }
    if (from >= to) return;
    FillRun(cell, from, to, side, segment.weight, LogTable().data());
}

void FadeCells::PrefetchLine(std::uint32_t shape) const noexcept {
#if QV_FILL_SSE2
    // What a row reads of a line spans its first two cache lines.
    const char* line = reinterpret_cast<const char*>(&lines_[shape]);
    _mm_prefetch(line, _MM_HINT_T0);
    _mm_prefetch(line + 64, _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(&ahead_[shape]), _MM_HINT_T0);
#else
    (void)shape;
#endif
}

bool FadeCells::PrefetchTables(std::uint32_t shape) const noexcept {
#if QV_FILL_SSE2
    const Ahead& a = ahead_[shape];
    if (a.segment == kNotBuilt) return false;
    _mm_prefetch(reinterpret_cast<const char*>(&segments_[a.segment]), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(&groups_[a.group]), _MM_HINT_T0);
    if (a.table[0] == kNotBuilt) return false;
    for (int s = 0; s < 2; ++s) {
        const char* table = reinterpret_cast<const char*>(tables_.data() + a.table[s]);
        _mm_prefetch(table, _MM_HINT_T0);
        _mm_prefetch(table + 64, _MM_HINT_T0);
    }
    return true;
#else
    (void)shape;
    return false;
#endif
}

bool FadeCells::Row(std::uint32_t shape, std::int32_t first, std::int32_t last, std::int32_t row,
                    std::uint32_t* acc) {
    FadeLine& f = lines_[shape];
    if (!f.usable) return false;
    // The row's first cell from the line's origin, exact in single precision.
    const float dx = static_cast<float>(first - f.ox), dy = static_cast<float>(row - f.oy);
    const std::int32_t cells = last - first + 1;
    // The segments lie between the first tip and `end`, well ahead of both
    // corners and inside the base: a row's cells within them need no other
    // test, and along a row the ends decide for every cell.
    const float along = f.ax * dx + f.ay * dy;
    const float alongLast = along + f.ax * static_cast<float>(cells - 1);
    const float nearest = std::min(along, alongLast), farthest = std::max(along, alongLast);
    if (farthest >= f.end) return false;
    RowStart r;
    for (int s = 0; s < 2; ++s) {
        r.u[s] = f.u[s] + f.ux[s] * dx + f.uy[s] * dy;
        r.v[s] = f.v[s] + f.vx[s] * dx + f.vy[s] * dy;
    }
    // The segments holding the row's nearest and farthest cell (-1: before
    // the first tip, where no pass is), searched from where the line's last
    // row began.
    const FadeSegment* segments = segments_.data() + f.firstSegment;
    const std::int32_t count = static_cast<std::int32_t>(f.segments);
    std::int32_t near = f.lastSegment;
    while (near >= 0 && nearest < segments[near].from) --near;
    while (near + 1 < count && nearest >= segments[near + 1].from) ++near;
    f.lastSegment = std::max<std::int32_t>(near, 0);
    std::int32_t far = near;
    while (far + 1 < count && farthest >= segments[far + 1].from) ++far;
    std::uint32_t* cell = acc + first;
    if (near == far) {
        if (near >= 0) Run(f, static_cast<std::uint32_t>(near), r, 0, cells, cell);
    } else {
        // Cell x lies at along + ax x on the axis; a segment's cells are those
        // from its start to the next's, cut where the axis passes them.
        const float top = static_cast<float>(cells);
        auto cut = [&](float at) {  // the first cell past `at`, going the cells' way
            const float x = (at - along) * f.perAx;
            if (f.ax > 0.0f) {  // the first x >= at: ceil, on [0, cells]
                const float c = std::min(top, std::max(0.0f, x));
                const std::int32_t t = static_cast<std::int32_t>(c);
                return t + (static_cast<float>(t) < c ? 1 : 0);
            }
            // The first x with along + ax x < at: floor + 1, on [0, cells].
            const float c = std::min(top - 1.0f, std::max(-1.0f, x)) + 1.0f;
            return static_cast<std::int32_t>(c);
        };
        for (std::int32_t j = std::max(near, 0); j <= far; ++j) {
            const std::int32_t atStart = cut(segments[j].from);
            const std::int32_t atEnd = j + 1 < count ? cut(segments[j + 1].from) : (f.ax > 0.0f ? cells : 0);
            const std::int32_t from = f.ax > 0.0f ? atStart : atEnd, to = f.ax > 0.0f ? atEnd : atStart;
            if (from < to) Run(f, static_cast<std::uint32_t>(j), r, from, to, cell);
        }
    }
    NoteAhead(shape, f);
    cellsFilled_ += static_cast<std::size_t>(cells);
    return true;
}

void FadeCells::NoteAhead(std::uint32_t shape, const FadeLine& line) {
    const std::uint32_t j = line.firstSegment + static_cast<std::uint32_t>(line.lastSegment);
    const FadeSegment& segment = segments_[j];
    const bool built = groups_[segment.group].built;
    ahead_[shape] =
        Ahead{j, segment.group, {built ? segment.table[0] : kNotBuilt, built ? segment.table[1] : kNotBuilt}};
}

}  // namespace qv::fill
