#include "fill_window.h"

#include <algorithm>
#include <cmath>

namespace qv::fill {

namespace {

// The cells of columns [left, right) span x in [left, right]; a triangle
// nearer than this to them is kept, which covers any rounding of its edges.
constexpr double kWindowMargin = 1.0;

}  // namespace

// A triangle's highest and lowest point within the slab a <= x <= b are
// among its corners inside the slab and the points where its sides cross
// the slab's two lines (it is convex).
void KeepWindowRows(const LineShapes& lines, std::uint32_t shapeIndex, std::int32_t left, std::int32_t right,
                    std::int32_t& lo, std::int32_t& hi) {
    const Outline& o = lines.outlines[shapeIndex];
    if (o.count == 0 || lo >= hi) return;
    const double a = left - kWindowMargin, b = right + kWindowMargin;
    double top = HUGE_VAL, bottom = -HUGE_VAL;
    auto reach = [&](double y) { top = std::min(top, y), bottom = std::max(bottom, y); };
    for (std::uint32_t m = o.first; m < o.first + o.count; ++m) {
        const Corners& t = lines.corners[m];
        for (int i = 0; i < 3; ++i) {
            const int j = (i + 1) % 3;
            if (t.x[i] >= a && t.x[i] <= b) reach(t.y[i]);
            for (const double x : {a, b}) {
                if ((t.x[i] < x && t.x[j] > x) || (t.x[i] > x && t.x[j] < x)) {
                    reach(t.y[i] + (t.y[j] - t.y[i]) * ((x - t.x[i]) / (t.x[j] - t.x[i])));
                }
            }
        }
    }
    if (!(top <= bottom)) {
        hi = lo;
        return;
    }
    // Clamped to the rows already kept before they become integers.
    const double keptLo = std::clamp(std::floor(top) - 1.0, static_cast<double>(lo), static_cast<double>(hi));
    const double keptHi =
        std::clamp(std::ceil(bottom) + 1.0, static_cast<double>(lo), static_cast<double>(hi));
    lo = static_cast<std::int32_t>(keptLo);
    hi = static_cast<std::int32_t>(keptHi);
}

}  // namespace qv::fill
