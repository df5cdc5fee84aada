#include "fill_edge_piece.h"

#include <algorithm>

namespace qv::fill {

void AccumulatePiece(float* cover, double x0, double x1, double dy, std::int32_t& lo,
                     std::int32_t& hi) noexcept {
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

void AccumulateClipped(float* cover, double x0, double x1, double dy, double width, std::int32_t& lo,
                       std::int32_t& hi) noexcept {
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

}  // namespace qv::fill
