// A direction's angle, quickly and to a known bound: the far-field search
// takes the direction of every side of every line, each frame.
#pragma once

#include <cmath>
#include <numbers>

namespace qv {

// How far FastAngle may be from std::atan2 (the polynomial's own 1e-5 and
// its rounding).
inline constexpr double kFastAngleError = 1.2e-5;

// atan2(y, x) in [-pi, pi] by Abramowitz and Stegun 4.4.49 on the octant;
// 0 for (0, 0).
inline double FastAngle(double y, double x) noexcept {
    const double ax = std::fabs(x), ay = std::fabs(y);
    if (ax == 0.0 && ay == 0.0) return 0.0;
    const bool steep = ay > ax;
    const double z = steep ? ax / ay : ay / ax, z2 = z * z;
    double a = z * (0.9998660 + z2 * (-0.3302995 + z2 * (0.1801410 + z2 * (-0.0851330 + z2 * 0.0208351))));
    if (steep) a = std::numbers::pi / 2 - a;
    if (x < 0.0) a = std::numbers::pi - a;
    return y < 0.0 ? -a : a;
}

}  // namespace qv
