#include "fill_occlusion.h"

#include <algorithm>

#include "fill_log_domain.h"

namespace qv::fill {

namespace {

// Lines this far apart in drawing order are tried as each other's cover.
constexpr std::int64_t kOccluderReach = 6;

// A hidden line keeps this much more than a cell from its cover's edges.
constexpr double kHiddenMargin = 1.0 + 1.0 / 64.0;

// A side bound of an active shape (0 left low, 1 left high, 2 right low,
// 3 right high) as a function of the row, as the side rows evaluate it.
RowLine SideOf(const Active& a, int i) {
    return RowLine{static_cast<double>(a.sideAt[i]) - a.sidesLo * static_cast<double>(a.sidePerRow[i]),
                   static_cast<double>(a.sidePerRow[i])};
}

RowLine Minus(const RowLine& a, const RowLine& b) { return RowLine{a.start - b.start, a.perRow - b.perRow}; }

// Narrows the rows [lo, hi) to those where g(r) >= margin, checking the ends
// themselves against rounding.
void Narrow(const RowLine& g0, double margin, std::int32_t& lo, std::int32_t& hi) {
    if (lo >= hi) return;
    const RowLine g{g0.start - margin, g0.perRow};
    const bool first = g.At(lo) >= 0.0, last = g.At(hi - 1) >= 0.0;
    if (first && last) return;  // linear: true at both ends, true between
    if (!first && !last) {
        hi = lo;
        return;
    }
    // One root inside: the rows on its true side, from the root, then
    // checked one by one against rounding.
    const double root = -g.start / g.perRow;  // perRow != 0 here
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

struct Cover {  // a neighbour that covers one side of a shape in rows [lo, hi)
    std::uint32_t shape;
    std::int32_t lo, hi;
};

// The longest run of rows where a left and a right cover meet over the shape.
HiddenRows BestPair(const std::vector<Active>& actives, const Cover* left, int lefts, const Cover* right,
                    int rights) {
    HiddenRows best{0, 0};
    for (int p = 0; p < lefts; ++p) {
        for (int q = 0; q < rights; ++q) {
            std::int32_t lo = std::max(left[p].lo, right[q].lo), hi = std::min(left[p].hi, right[q].hi);
            if (hi - lo <= best.hi - best.lo) continue;
            // The two insides meet: the right one begins before the left one ends.
            const Active& b = actives[left[p].shape];
            const Active& c = actives[right[q].shape];
            Narrow(Minus(SideOf(b, 2), SideOf(c, 1)), kHiddenMargin, lo, hi);
            if (hi - lo > best.hi - best.lo) best = HiddenRows{lo, hi};
        }
    }
    return best;
}

}  // namespace

void FindHiddenRows(const std::vector<Active>& actives, std::vector<HiddenRows>& hidden) {
    const std::size_t n = actives.size();
    hidden.assign(n, HiddenRows{0, 0});
    if (n < 2) return;
    for (std::size_t i = 0; i < n; ++i) {
        const Active& a = actives[i];
        if (a.sidesLo >= a.sidesHi) continue;
        Cover left[2 * kOccluderReach], right[2 * kOccluderReach];
        int lefts = 0, rights = 0;
        for (std::int64_t d = -kOccluderReach; d <= kOccluderReach; ++d) {
            const auto count = static_cast<std::int64_t>(n);
            const auto j =
                static_cast<std::size_t>(((static_cast<std::int64_t>(i) + d) % count + count) % count);
            if (d == 0 || j == i) continue;
            const Active& b = actives[j];
            if (b.insideLog < kSaturated) continue;
            std::int32_t lo = std::max(a.sidesLo, b.sidesLo), hi = std::min(a.sidesHi, b.sidesHi);
            if (hidden[j].hi > hidden[j].lo)
                CutAway(hidden[j].lo, hidden[j].hi, lo, hi);  // rows where b is drawn
            if (lo >= hi) continue;
            // b's inside begins a cell before a's does, or ends a cell after.
            std::int32_t leftLo = lo, leftHi = hi, rightLo = lo, rightHi = hi;
            Narrow(Minus(SideOf(a, 0), SideOf(b, 1)), kHiddenMargin, leftLo, leftHi);
            Narrow(Minus(SideOf(b, 2), SideOf(a, 3)), kHiddenMargin, rightLo, rightHi);
            if (leftLo < leftHi) left[lefts++] = Cover{static_cast<std::uint32_t>(j), leftLo, leftHi};
            if (rightLo < rightHi) right[rights++] = Cover{static_cast<std::uint32_t>(j), rightLo, rightHi};
        }
        hidden[i] = BestPair(actives, left, lefts, right, rights);
    }
}

}  // namespace qv::fill
