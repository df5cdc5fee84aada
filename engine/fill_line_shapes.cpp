#include "fill_line_shapes.h"

#include <algorithm>
#include <cmath>

namespace qv::fill {

namespace {

// Bounds are widened by this much so that rounding never leaves an edge
// outside the cells that get its exact coverage.
constexpr double kBoundMargin = 1.0 / 1024.0;

std::int32_t ClampRow(double y, std::int32_t height) {
    return static_cast<std::int32_t>(std::clamp(y, -kRowMargin, static_cast<double>(height) + kRowMargin));
}

// Over the rows [y0, y1] the lowest of a family's members (extended past
// their ends) is concave in y and the highest convex, so the chords through
// their ends bound them all. Row r spans [r, r + 1]: its lowest x is at
// whichever end the chord falls to.
void ChordBounds(const Edge* edges, const Family& f, double y0, double y1, RowLine& low, RowLine& high) {
    double lo0 = 1e300, lo1 = 1e300, hi0 = -1e300, hi1 = -1e300;
    for (std::uint32_t i = f.begin; i < f.end; ++i) {
        const Edge& d = edges[i];
        const double x0 = d.xAtTop + (y0 - d.yTop) * d.slope;
        const double x1 = d.xAtTop + (y1 - d.yTop) * d.slope;
        lo0 = std::min(lo0, x0), lo1 = std::min(lo1, x1);
        hi0 = std::max(hi0, x0), hi1 = std::max(hi1, x1);
    }
    low.perRow = (lo1 - lo0) / (y1 - y0);
    high.perRow = (hi1 - hi0) / (y1 - y0);
    low.start = lo0 + std::min(0.0, low.perRow) - kBoundMargin;
    high.start = hi0 + std::max(0.0, high.perRow) + kBoundMargin;
}

}  // namespace

void LineShapes::Clear() {
    shapes.clear();
    edges.clear();
    plainEdges.clear();
    groups.Clear();
    outlines.clear();
    upTo.clear();
    corners.clear();
}

bool LineShapes::AddFamily(Family& f, int e, const Triangle* const* members, std::size_t count,
                           const float* weights, std::int32_t height) {
    f.begin = static_cast<std::uint32_t>(edges.size());
    // Room for every member's edge at once, trimmed to those there are.
    edges.resize(f.begin + count);
    Edge* edge = edges.data() + f.begin;
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
    f.end = static_cast<std::uint32_t>(edge - edges.data());
    edges.resize(f.end);
    if (f.Empty()) return false;
    double minTop = 1e300, maxTop = -1e300, minBottom = 1e300, maxBottom = -1e300;
    float sum = 0.0f;
    for (std::uint32_t i = f.begin; i < f.end; ++i) {
        const Edge& d = edges[i];
        minTop = std::min(minTop, d.yTop);
        maxTop = std::max(maxTop, d.yTop);
        minBottom = std::min(minBottom, d.yBottom);
        maxBottom = std::max(maxBottom, d.yBottom);
        sum += d.weight;
    }
    f.height = sum;
    f.activeLo = ClampRow(std::floor(minTop), height);
    f.activeHi = ClampRow(std::ceil(maxBottom), height);
    f.fastLo = ClampRow(std::ceil(maxTop), height);
    f.fastHi = ClampRow(std::floor(minBottom), height);
    GroupMembers(f, height);
    if (f.activeLo < f.activeHi) ChordBounds(edges.data(), f, f.activeLo, f.activeHi, f.anyLow, f.anyHigh);
    if (f.fastLo < f.fastHi) {
        ChordBounds(edges.data(), f, f.fastLo, f.fastHi, f.fastLow, f.fastHigh);
    } else {
        f.fastLo = f.fastHi = 0;
    }
    return true;
}

// The members again, four to a group, for the vector edge cells: x kept
// relative to a row in the middle of the family's rows, where single
// precision loses least.
void LineShapes::GroupMembers(Family& f, std::int32_t height) {
    const double yRef = std::clamp(0.5 * (f.activeLo + f.activeHi), 0.0, static_cast<double>(height));
    f.yRef = static_cast<float>(yRef);
    f.groupsBegin = static_cast<std::uint32_t>(groups.size());
    const double lim = static_cast<double>(height) + kRowMargin;
    for (std::uint32_t i = f.begin; i < f.end; ++i) {
        const Edge& d = edges[i];
        groups.Push(static_cast<float>(d.xAtTop + (yRef - d.yTop) * d.slope), static_cast<float>(d.slope),
                    static_cast<float>(std::clamp(d.yTop, -kRowMargin, lim)),
                    static_cast<float>(std::clamp(d.yBottom, -kRowMargin, lim)), d.weight);
    }
    while ((groups.size() - f.groupsBegin) % MemberGroups::kLanes != 0)
        groups.Push(0.0f, 0.0f, -8.0f, -8.0f, 0.0f);
    f.groupsEnd = static_cast<std::uint32_t>(groups.size());
}

// The longest run of rows that two opposite families cross whole while the
// third is away.
void LineShapes::FindSides(Shape& shape) const {
    shape.sidesLo = shape.sidesHi = 0;
    for (std::uint32_t i = 0; i < 3; ++i) {
        for (std::uint32_t j = i + 1; j < 3; ++j) {
            const Family& a = shape.family[i];
            const Family& b = shape.family[j];
            if (a.Empty() || b.Empty() || a.fastLo >= a.fastHi || b.fastLo >= b.fastHi) continue;
            if (!((a.height > 0.0f && b.height < 0.0f) || (a.height < 0.0f && b.height > 0.0f))) continue;
            std::int32_t lo = std::max({a.fastLo, b.fastLo, shape.rowLo});
            std::int32_t hi = std::min({a.fastHi, b.fastHi, shape.rowHi});
            const Family& t = shape.family[3 - i - j];
            if (!t.Empty()) CutAway(t.activeLo, t.activeHi, lo, hi);
            if (hi - lo > shape.sidesHi - shape.sidesLo) {
                shape.sidesLo = lo;
                shape.sidesHi = hi;
                shape.left = a.height > 0.0f ? i : j;
                shape.right = a.height > 0.0f ? j : i;
            }
        }
    }
}

void LineShapes::AddOutline(const Triangle* const* members, std::size_t count, const float* weights) {
    Outline o{static_cast<std::uint32_t>(corners.size()), 0, 0.0f, true};
    for (std::size_t k = 0; k < count; ++k) {
        if (!(weights[k] > 0.0f)) continue;
        const Triangle& t = *members[k];
        const Corners c{{t.tipX + kPixelCentre, t.c1X + kPixelCentre, t.c2X + kPixelCentre},
                        {t.tipY + kPixelCentre, t.c1Y + kPixelCentre, t.c2Y + kPixelCentre}};
        if (o.count > 0) {
            const Corners& first = corners[o.first];
            o.sharedCorners = o.sharedCorners && c.x[1] == first.x[1] && c.y[1] == first.y[1] &&
                              c.x[2] == first.x[2] && c.y[2] == first.y[2];
        }
        corners.push_back(c);
        o.weight += weights[k];
        upTo.push_back(o.weight);
        ++o.count;
    }
    outlines.push_back(o);
}

void LineShapes::Add(const Triangle* const* members, std::size_t count, const float* weights,
                     std::int32_t height) {
    Shape shape{};
    shape.members = static_cast<std::uint32_t>(count);
    double top = 1e300, bottom = -1e300;
    for (int e = 0; e < 3; ++e) {
        Family& f = shape.family[e];
        if (!AddFamily(f, e, members, count, weights, height)) continue;
        for (std::uint32_t i = f.begin; i < f.end; ++i) {
            top = std::min(top, edges[i].yTop);
            bottom = std::max(bottom, edges[i].yBottom);
        }
    }
    if (top > bottom) return;
    shape.rowLo = std::max<std::int32_t>(0, ClampRow(std::floor(top), height));
    shape.rowHi = std::min<std::int32_t>(height, ClampRow(std::ceil(bottom), height));
    if (shape.rowLo >= shape.rowHi) return;
    FindSides(shape);
    for (const Family& f : shape.family) {
        plainEdges.push_back(count == 1 && !f.Empty() ? edges[f.begin] : Edge{0.0, 0.0, 0.0, 0.0, 0.0f});
    }
    AddOutline(members, count, weights);
    shapes.push_back(shape);
}

}  // namespace qv::fill
