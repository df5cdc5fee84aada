#include "fast_angle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace qv {
namespace {

double AngleError(double y, double x) {
    return std::fabs(std::remainder(FastAngle(y, x) - std::atan2(y, x), 2.0 * std::numbers::pi));
}

// The far field narrows every arc by twice the bound, so the bound must hold
// in every direction and at every distance.
TEST(FastAngle, StaysWithinItsBoundAllRound) {
    double worst = 0.0;
    for (double radius : {1e-3, 0.7, 123.4, 4.0e4}) {
        for (int i = 0; i < 200000; ++i) {
            const double a = -std::numbers::pi + 2.0 * std::numbers::pi * i / 200000.0;
            worst = std::max(worst, AngleError(radius * std::sin(a), radius * std::cos(a)));
        }
    }
    EXPECT_LE(worst, kFastAngleError);
    EXPECT_GT(worst, kFastAngleError / 4) << "the bound is far looser than the approximation";
}

TEST(FastAngle, AxesDiagonalsAndTheOrigin) {
    EXPECT_EQ(FastAngle(0.0, 0.0), 0.0);
    EXPECT_NEAR(FastAngle(0.0, 5.0), 0.0, 1e-12);
    EXPECT_NEAR(FastAngle(5.0, 0.0), std::numbers::pi / 2, 1e-12);
    EXPECT_NEAR(FastAngle(-5.0, 0.0), -std::numbers::pi / 2, 1e-12);
    EXPECT_NEAR(std::fabs(FastAngle(0.0, -5.0)), std::numbers::pi, 1e-12);
    for (double y : {-1.0, 1.0}) {
        for (double x : {-1.0, 1.0}) EXPECT_LE(AngleError(y, x), kFastAngleError) << y << "," << x;
    }
}

}  // namespace
}  // namespace qv
