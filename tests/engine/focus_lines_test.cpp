#include "focus_lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "triangle_recorder.h"

namespace qv {
namespace {

std::uint32_t FixedTick() noexcept { return 4242; }

PassParams DefaultPass() { return PassParams{3.3f, 0.5f, 100.0f, 1.0f, 1.0f, 0x000000u, 255, 960, 540}; }

std::vector<Triangle> Lines(const PassParams& p, RandomSource& r, int w = 1920, int h = 1080) {
    TriangleRecorder rec;
    EXPECT_EQ(DrawFocusLines(p, w, h, r, rec), 0);
    EXPECT_EQ(rec.passes.size(), 1u);
    return rec.passes.front().triangles;
}

TEST(FocusLines, DefaultFrameFigures) {
    const PassConstants c = ComputePassConstants(DefaultPass(), 1920, 1080, {0, 0, 0, 0});
    EXPECT_FLOAT_EQ(c.outerRadius, 2252.9072f);
    EXPECT_EQ(c.lineCount, 110u);
    EXPECT_FLOAT_EQ(c.effectiveStep, 3.2727273f);

    RandomSource r(&FixedTick);
    const auto lines = Lines(DefaultPass(), r);
    ASSERT_EQ(lines.size(), 110u);
    EXPECT_EQ(lines[0], (Triangle{1010, 540, 3212, 520, 3212, 559, 0xFF000000u}));
}

TEST(FocusLines, StretchXMovesOnlyXCoordinates) {
    RandomSource r(&FixedTick);
    PassParams p = DefaultPass();
    p.stretchX = 3.0f;
    EXPECT_EQ(Lines(p, r)[0], (Triangle{1110, 540, 7718, 520, 7718, 559, 0xFF000000u}));
}

TEST(FocusLines, LineCountsForSteps) {
    const std::pair<float, std::uint32_t> cases[] = {{3.0f, 120}, {3.3f, 110}, {5.0f, 72}, {0.1f, 3600}};
    for (auto [step, count] : cases) {
        PassParams p = DefaultPass();
        p.step = step;
        EXPECT_EQ(ComputePassConstants(p, 1920, 1080, {0, 0, 0, 0}).lineCount, count) << step;
    }
}

TEST(FocusLines, OutOfContractStepsStayBounded) {
    for (float step : {0.0f, -1.0f, std::nanf(""), 1e-9f}) {
        PassParams p = DefaultPass();
        p.step = step;
        EXPECT_LE(ComputePassConstants(p, 1920, 1080, {0, 0, 0, 0}).lineCount, kMaxLineCount) << step;
    }
    PassParams p = DefaultPass();
    p.step = 0.0f;
    EXPECT_EQ(ComputePassConstants(p, 1920, 1080, {0, 0, 0, 0}).lineCount, 0u);
}

TEST(FocusLines, WithoutJitterNothingIsDrawnAndTipsLieOnTheEllipse) {
    RandomSource a(&FixedTick), b(&FixedTick);
    b.SeedWith(777);  // a different seed must not matter
    PassParams p = DefaultPass();
    p.stretchX = 2.0f;
    const auto la = Lines(p, a), lb = Lines(p, b);
    EXPECT_EQ(la, lb);
    for (const Triangle& t : la) {
        const double ex = (t.tipX - 960) / (50.0 * 2.0), ey = (t.tipY - 540) / 50.0;
        EXPECT_NEAR(ex * ex + ey * ey, 1.0, 0.05);
    }
    p.spaceValue = 0.0f;
    for (const Triangle& t : Lines(p, a)) EXPECT_TRUE(t.tipX == 960 && t.tipY == 540);
}

TEST(FocusLines, AlphaJitterBounds) {
    RandomSource r(&FixedTick);
    r.SetJitterRanges(0, 0, 0, 50);
    PassParams p = DefaultPass();
    p.step = 0.1f;
    const PassConstants c = ComputePassConstants(p, 1920, 1080, r.jitterPercent);
    EXPECT_EQ(c.alphaBase, 127);
    bool sawLow = false, sawHigh = false;
    for (const Triangle& t : Lines(p, r)) {
        const std::uint32_t a = t.argb >> 24;
        ASSERT_GE(a, 127u);
        ASSERT_LE(a, 255u);
        sawLow |= a == 127;
        sawHigh |= a == 255;
    }
    EXPECT_TRUE(sawLow && sawHigh);

    p.opacity = 2;
    for (const Triangle& t : Lines(p, r)) {
        const std::uint32_t a = t.argb >> 24;
        ASSERT_TRUE(a == 1 || a == 2) << a;
    }
}

TEST(FocusLines, ThicknessJitterMakesSidesSeparate) {
    RandomSource r(&FixedTick);
    r.SetJitterRanges(0, 50, 0, 0);
    PassParams p = DefaultPass();
    const auto lines = Lines(p, r);
    const PassConstants c = ComputePassConstants(p, 1920, 1080, r.jitterPercent);
    bool asymmetric = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double axis = static_cast<double>(i) * c.effectiveStep;
        const double a1 = std::atan2(lines[i].c1Y - 540.0, lines[i].c1X - 960.0) * 180 / std::numbers::pi;
        const double a2 = std::atan2(lines[i].c2Y - 540.0, lines[i].c2X - 960.0) * 180 / std::numbers::pi;
        auto wrap = [](double d) { return std::remainder(d, 360.0); };
        const double side1 = wrap(axis - a1), side2 = wrap(a2 - axis);
        EXPECT_GE(side1, 0.75 - 0.03);
        EXPECT_LE(side1, 1.0 + 0.03);
        EXPECT_GE(side2, 0.75 - 0.03);
        EXPECT_LE(side2, 1.0 + 0.03);
        asymmetric |= std::fabs(side1 - side2) > 0.05;
    }
    EXPECT_TRUE(asymmetric);
}

// The draws of a line come in the order angle, space, thickness, thickness,
// alpha: replay the seed, make the draws by hand, and compare with what the
// pass produced.
TEST(FocusLines, DrawOrderPerLine) {
    RandomSource r(&FixedTick);
    r.SetJitterRanges(100, 100, 100, 100);
    PassParams p = DefaultPass();
    p.spaceValue = 400.0f;  // radius unit 4: a space draw moves the tip by 4 px
    r.Replay();
    const auto lines = Lines(p, r);
    r.Replay();
    for (const Triangle& t : lines) {
        r.NextJitter(kDensityJitter);
        const int space = r.NextJitter(kSpaceJitter);
        r.NextJitter(kThicknessJitter);
        r.NextJitter(kThicknessJitter);
        const int alpha = r.NextJitter(kAlphaJitter);
        const double tipDistance = std::hypot(t.tipX - 960.0, t.tipY - 540.0);
        EXPECT_NEAR(tipDistance, 200.0 + 4.0 * space, 1.5);
        if (alpha == 0) {
            EXPECT_EQ(t.argb >> 24, 0u);
        }
        if (alpha == 100) {
            EXPECT_EQ(t.argb >> 24, 255u);
        }
    }
}

TEST(FocusLines, FarAndNegativeVerticesTruncateTowardZero) {
    RandomSource r(&FixedTick);
    PassParams p = DefaultPass();
    p.centerX = -3;
    p.centerY = -3;
    p.stretchX = 6.0f;
    const auto lines = Lines(p, r, 32767, 32767);
    // Line 0 points right: its tip is at -3 + 50 * 6 in x.
    EXPECT_EQ(lines[0].tipX, 297);
    // Half way round the tip is at -3 - 300 = -303 exactly, up to cos(pi) rounding.
    const Triangle& left = lines[lines.size() / 2];
    EXPECT_EQ(left.tipX, -303);
    EXPECT_LT(left.c1X, -270000);
}

TEST(FocusLines, CentreFarOutsideSaturatesInsteadOfOverflowing) {
    RandomSource r(&FixedTick);
    PassParams p = DefaultPass();
    p.centerX = 2147483647;
    p.centerY = -2147483647 - 1;
    for (const Triangle& t : Lines(p, r)) {
        // Within R (2253) of the centre, or saturated at the int32 limits.
        EXPECT_GE(t.c1X, 2147483647 - 2400);
        EXPECT_LE(t.c1Y, -2147483647 + 2400);
    }
}

TEST(BlurPasses, SpaceValuesForLevelsOneAndTwenty) {
    const float level20[kBlurPassCount] = {83.33333f,  83.33333f,  91.53845f,  107.94871f,
                                           124.35896f, 140.76923f, 165.38461f, 190.00000f,
                                           222.82051f, 255.64102f, 288.46155f, 321.28204f};
    const float level1[kBlurPassCount] = {83.33333f,  83.33333f,  99.33333f,  131.33333f,
                                          163.33333f, 195.33333f, 243.33333f, 291.33331f,
                                          355.33331f, 419.33331f, 483.33331f, 547.33331f};
    float got[kBlurPassCount];
    BlurSpaceValues(100.0f, 20.0f / 20.0f + 0.95f, got);
    for (int k = 0; k < kBlurPassCount; ++k) EXPECT_NEAR(got[k], level20[k], 6e-6 * level20[k]) << k;
    BlurSpaceValues(100.0f, 1.0f, got);
    for (int k = 0; k < kBlurPassCount; ++k) EXPECT_NEAR(got[k], level1[k], 6e-6 * level1[k]) << k;
}

TEST(BlurPasses, TwelvePassesOfTheSameLines) {
    RandomSource r(&FixedTick);
    r.SetJitterRanges(40, 50, 70, 50);
    r.Replay();
    TriangleRecorder rec;
    EXPECT_EQ(DrawBlurredFocusLines(DefaultPass(), 1.0f, 1920, 1080, r, rec), 0);
    ASSERT_EQ(rec.passes.size(), static_cast<std::size_t>(kBlurPassCount));
    for (int k = 0; k < kBlurPassCount; ++k) {
        EXPECT_EQ(rec.passes[k].info.opacity, kBlurPassOpacity[k]);
        ASSERT_EQ(rec.passes[k].triangles.size(), rec.passes[0].triangles.size());
        for (std::size_t i = 0; i < rec.passes[k].triangles.size(); ++i) {
            const Triangle& a = rec.passes[0].triangles[i];
            const Triangle& b = rec.passes[k].triangles[i];
            ASSERT_TRUE(a.c1X == b.c1X && a.c1Y == b.c1Y && a.c2X == b.c2X && a.c2Y == b.c2Y)
                << k << " " << i;
        }
    }
    EXPECT_FLOAT_EQ(rec.passes[0].info.spaceValue, 100.0f / 1.2f);
    EXPECT_FLOAT_EQ(rec.passes[1].info.spaceValue, 100.0f / 1.2f);
    // The engine is left seeded from storedSeed.
    RandomSource fresh(&FixedTick);
    fresh.SetJitterRanges(40, 50, 70, 50);
    EXPECT_EQ(r.NextJitter(kDensityJitter), fresh.NextJitter(kDensityJitter));
}

// Each blur pass is the ring drawn on its own with that pass's space value
// and opacity, down to the last integer: what the passes share is not
// computed differently for being shared.
TEST(BlurPasses, EachPassIsTheRingDrawnAlone) {
    for (const float divisor : {1.0f, 0.35f}) {
        RandomSource r(&FixedTick);
        r.SetJitterRanges(40, 50, 70, 50);
        r.Replay();
        TriangleRecorder blurred;
        ASSERT_EQ(DrawBlurredFocusLines(DefaultPass(), divisor, 1920, 1080, r, blurred), 0);
        float spaces[kBlurPassCount];
        BlurSpaceValues(DefaultPass().spaceValue, divisor, spaces);
        for (int k = 0; k < kBlurPassCount; ++k) {
            RandomSource alone(&FixedTick);
            alone.SetJitterRanges(40, 50, 70, 50);
            alone.Replay();
            PassParams pass = DefaultPass();
            pass.spaceValue = spaces[k];
            pass.opacity = kBlurPassOpacity[k];
            TriangleRecorder one;
            ASSERT_EQ(DrawFocusLines(pass, 1920, 1080, alone, one), 0);
            const auto& a = one.passes.at(0).triangles;
            const auto& b = blurred.passes.at(static_cast<std::size_t>(k)).triangles;
            ASSERT_EQ(a.size(), b.size());
            for (std::size_t i = 0; i < a.size(); ++i) {
                ASSERT_TRUE(a[i].tipX == b[i].tipX && a[i].tipY == b[i].tipY && a[i].c1X == b[i].c1X &&
                            a[i].c1Y == b[i].c1Y && a[i].c2X == b[i].c2X && a[i].c2Y == b[i].c2Y &&
                            a[i].argb == b[i].argb)
                    << "divisor " << divisor << " pass " << k << " line " << i;
            }
        }
    }
}

}  // namespace
}  // namespace qv
