#include "fill_far_field.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "fast_angle.h"
#include "fill_log_domain.h"

namespace qv::fill {

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
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kBin = kTwoPi / kRingBins;

// The saturated radius is found to within this many pixels (rounded outward).
constexpr double kRadiusTolerance = 4.0;

// The sides' directions come from FastAngle; their arcs are narrowed by
// this much to make up for its error.
constexpr double kAngleSlack = 2.0 * kFastAngleError;

// The difference of two directions in [-pi, pi], within (-pi, pi].
double WrapAngle(double a) {
    if (a > std::numbers::pi) a -= kTwoPi;
    if (a <= -std::numbers::pi) a += kTwoPi;
    return a;
}

}  // namespace

void FarField::Clear() noexcept { radius_ = std::numeric_limits<double>::infinity(); }

// Take a line's triangle shrunk by kInsideMargin: every pixel whose centre
// lies in it gets the line's whole log sum. On a circle of radius r around
// the centre, each side of the shrunk triangle keeps an arc of half-width
// acos(c / r) about its inward normal, where c is the centre's distance
// outside that side: when the centre lies outside both sides (c > 0), the
// arcs, and so the line's arc, only grow with r. If the insides of such lines
// give every angle of the circle of radius r a saturated sum, so they do on
// every larger circle within the picture (as long as no line's outer edge is
// nearer than that), and every pixel beyond r is opaque however the rest is
// drawn.
double FarField::Find(const LineShapes& lines, double centreX, double centreY, double width, double height) {
    Clear();
    centreX_ = centreX;
    centreY_ = centreY;
    const double farthest =
        std::max(std::hypot(std::max(centreX, width - centreX), std::max(centreY, height - centreY)),
                 kRadiusTolerance);
    CollectArcs(lines, farthest);
    FindReach(width, height, farthest);
    if (arcs_.empty()) return radius_;
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
    if (hi == farthest && !RingCovered(farthest)) return radius_;
    while (hi - lo > kRadiusTolerance) {
        const double mid = 0.5 * (lo + hi);
        (RingCovered(mid) ? hi : lo) = mid;
    }
    radius_ = hi;
    radiusHint_ = hi;
    return radius_;
}

void FarField::CollectArcs(const LineShapes& lines, double farthest) {
    arcs_.clear();
    sides_.clear();
    for (const Outline& o : lines.outlines) {
        if (o.count == 0) continue;
        if (!o.sharedCorners) {
            // Lines are one triangle or a blur line's passes; any other
            // outline is left to the sweep.
            if (o.count == 1) AddArc(lines, o.first, o.first, LogBelow(o.weight), farthest);
            continue;
        }
        // Where members 0 to k all cover a pixel, the line adds the log of
        // their summed weight: arc k, their intersection, adds what member k
        // adds to it, so that a blur line's passes, translucent but wider
        // than the last, count where the last alone does not reach. With the
        // corners shared, each side's edges are lines through one corner, and
        // the intersection is bounded by the innermost of each side's.
        std::uint32_t before = 0, inner[2] = {o.first, o.first};
        for (std::uint32_t m = o.first; m < o.first + o.count; ++m) {
            const Corners& t = lines.corners[m];
            for (int s = 0; s < 2; ++s) {
                // Side s runs from the tip to corner s + 1; member m's is the
                // more inner when its tip lies inside the innermost's so far.
                const Corners& in = lines.corners[inner[s]];
                const int corner = 1 + s, other = 2 - s;
                auto cross = [&](double x, double y) {
                    return (in.x[corner] - in.x[0]) * (y - in.y[0]) -
                           (in.y[corner] - in.y[0]) * (x - in.x[0]);
                };
                if ((cross(t.x[0], t.y[0]) > 0.0) == (cross(in.x[other], in.y[other]) > 0.0) &&
                    cross(t.x[0], t.y[0]) != 0.0) {
                    inner[s] = m;
                }
            }
            const std::uint32_t log = LogBelow(lines.upTo[m]);
            if (log > before) AddArc(lines, inner[0], inner[1], log - before, farthest);
            before = std::max(before, log);
        }
    }
}

// The log of a coverage, a step lower in the table for what float rounding
// of a summed weight can lose.
std::uint32_t FarField::LogBelow(float weight) noexcept {
    const float a = std::min(1.0f, std::max(0.0f, weight));
    const auto index = static_cast<std::size_t>(a * kCoverageSteps + 0.5f);
    return index > 0 ? LogTable()[index - 1] : 0u;
}

// The arc of the inside bounded by side 1 (tip to corner 1) of member
// `side1` and side 2 (corner 2 to tip) of member `side2`, which share their
// corners (one member gives its own inside), adding `log`; nothing where it
// does not widen outward.
void FarField::AddArc(const LineShapes& lines, std::uint32_t side1, std::uint32_t side2, std::uint32_t log,
                      double farthest) {
    if (log == 0) return;
    RingArc arc{0.0, static_cast<std::uint32_t>(sides_.size()), 0, log};
    if (!ArcOf(lines, side1, side2, farthest)) {
        sides_.resize(arc.first);
        return;
    }
    const Corners& t = lines.corners[side1];
    arc.reference = FastAngle(0.5 * (t.y[1] + t.y[2]) - centreY_, 0.5 * (t.x[1] + t.x[2]) - centreX_);
    arc.count = static_cast<std::uint32_t>(sides_.size()) - arc.first;
    for (std::uint32_t k = arc.first; k < arc.first + arc.count; ++k) {
        sides_[k].angle = WrapAngle(sides_[k].angle - arc.reference);
    }
    arcs_.push_back(arc);
}

// Adds the two sides; false when their arc does not widen outward (a side
// has the centre inside, or the outer edge does not keep the whole picture
// inside).
bool FarField::ArcOf(const LineShapes& lines, std::uint32_t side1, std::uint32_t side2, double farthest) {
    // Edges tip-corner 1, corner 1-corner 2, corner 2-tip, each with the
    // inward unit normal and the centre's distance outside it.
    for (int e = 0; e < 3; ++e) {
        const Corners& t = lines.corners[e == 2 ? side2 : side1];
        const int n = (e + 1) % 3, v = (e + 2) % 3;
        double nx = -(t.y[n] - t.y[e]), ny = t.x[n] - t.x[e];
        const double length = std::sqrt(nx * nx + ny * ny);
        if (!(length > 1e-9)) return false;
        nx /= length, ny /= length;
        if (nx * (t.x[v] - t.x[e]) + ny * (t.y[v] - t.y[e]) < 0.0) nx = -nx, ny = -ny;
        const double offset = kInsideMargin - (nx * (centreX_ - t.x[e]) + ny * (centreY_ - t.y[e]));
        if (e == 1) {
            if (!(offset <= -farthest)) return false;  // the outer edge keeps the whole picture inside
        } else {
            if (!(offset > 0.0)) return false;  // the sides keep the centre outside
            sides_.push_back(RingSide{FastAngle(ny, nx), offset});
        }
    }
    return true;
}

// Directions in which the picture ends nearer than a circle need not be
// covered on it: per bin, how far its middle ray stays in the picture,
// widened by what the bin's width and a pixel's half can add. It depends
// only on the centre and the picture's size, which frames mostly share.
void FarField::FindReach(double width, double height, double farthest) {
    const std::array<double, 4> key{centreX_, centreY_, width, height};
    if (!reach_.empty() && key == reachKey_) return;
    reachKey_ = key;
    const double margin = farthest * kBin + 1.0;
    const double left = -margin, right = width + margin, top = -margin, bottom = height + margin;
    reach_.resize(static_cast<std::size_t>(kRingBins));
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
        reach_[static_cast<std::size_t>(b)] = enter <= leave ? leave : -1.0;
    }
}

// Whether the insides give every angle of the circle of this radius a
// saturated sum; an angular bin counts a line only when the line's arc
// holds all of it.
bool FarField::RingCovered(double radius) {
    binSums_.assign(static_cast<std::size_t>(kRingBins) + 1, 0u);
    auto add = [&](std::int32_t first, std::int32_t end, std::uint32_t log) {  // bins [first, end)
        if (first >= end) return;
        binSums_[static_cast<std::size_t>(first)] += log;
        binSums_[static_cast<std::size_t>(end)] -= log;
    };
    for (const RingArc& a : arcs_) {
        double lo = -std::numbers::pi, hi = std::numbers::pi;
        for (std::uint32_t k = a.first; k < a.first + a.count; ++k) {
            const RingSide& side = sides_[k];  // its angle relative to the reference
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
            add(first, last, a.log);
        } else {
            add(std::min(first, kRingBins), kRingBins, a.log);
            add(0, std::min(last - kRingBins, kRingBins), a.log);
        }
    }
    std::uint32_t sum = 0;
    for (std::int32_t b = 0; b < kRingBins; ++b) {
        sum += binSums_[static_cast<std::size_t>(b)];
        if (sum < kSaturated && reach_[static_cast<std::size_t>(b)] >= radius) return false;
    }
    return true;
}

// The shape's triangles cut where they pass the radius along their outward
// direction, which no nearer point passes.
void FarField::KeepRows(const LineShapes& lines, std::uint32_t shapeIndex, std::int32_t& lo,
                        std::int32_t& hi) const {
    if (!(radius_ < std::numeric_limits<double>::infinity())) return;
    const Outline& o = lines.outlines[shapeIndex];
    if (o.count == 0) return;
    double top = std::numeric_limits<double>::infinity(), bottom = -top;
    for (std::uint32_t m = o.first; m < o.first + o.count; ++m) {
        const Corners& t = lines.corners[m];
        double ax = 0.5 * (t.x[1] + t.x[2]) - centreX_, ay = 0.5 * (t.y[1] + t.y[2]) - centreY_;
        const double length = std::sqrt(ax * ax + ay * ay);
        if (!(length > 1e-9)) return;
        ax /= length, ay /= length;
        const double reach = radius_ + 2.0;
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
        lo = hi;
        return;
    }
    lo = std::max(lo, static_cast<std::int32_t>(std::max(std::floor(top) - 1.0, -1.0)));
    hi = std::min(hi, static_cast<std::int32_t>(std::min(std::ceil(bottom) + 1.0, 1e9)) + 1);
}

}  // namespace qv::fill
