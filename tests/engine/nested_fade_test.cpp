// The blur's fade from its nesting (FillOptions::nestedFade) against the
// supersampled reference and against the exact fill, on the benchmark's
// blurred frames at a quarter of their size and on other shapes, and the
// profile of one wide line along its axis.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "focus_lines.h"
#include "frame_accumulator.h"
#include "quality_reference.h"

namespace qv {
namespace {

using namespace quality;

struct Difference {
    double mean;  // in 1/255
    int largest;
};

Difference AlphaDifference(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    double sum = 0.0;
    int largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int d = std::abs(static_cast<int>(a[i] >> 24) - static_cast<int>(b[i] >> 24));
        sum += d;
        largest = std::max(largest, d);
    }
    return {sum / static_cast<double>(a.size()), largest};
}

// Blur 1, 7 and 20, alpha jitter on and off, stretch, centres off the
// picture, thick sparse lines and space 800 (at an eighth of the size, like
// the frame with alpha jitter, to keep the reference's time down).
const Case kBlurred[] = {
    {"density500_blur1", 480, 270, 500, 25, 50, 500, 0, 1},
    {"density500_alpha50_blur1", 240, 135, 500, 12, 50, 500, 50, 1},
    {"density500_blur20", 480, 270, 500, 25, 50, 500, 0, 20},
    {"space800_blur1", 240, 135, 500, 100, 50, 500, 0, 1},
    {"stretched_alpha_blur7", 160, 100, 300, 14, 80, 80, 30, 7},
    {"centre_off_right_blur7", 160, 100, 300, 12, 120, 500, 0, 7, 110, -20},
    {"centre_off_below_blur20", 160, 100, 300, 12, 120, 500, 50, 20, -30, 70},
    {"thick_sparse_blur1", 160, 100, 10, 10, 300, 500, 0, 1},
};

TEST(NestedFade, StaysWithinTheQualityBudget) {
    for (const Case& c : kBlurred) {
        const auto exact = RenderedFrame(c);
        const auto nested = RenderedFrame(c, FillOptions{.nestedFade = true});
        const auto reference = ReferenceAlpha(FrameTriangles(c), c.width, c.height);
        const Error e = Compare(nested, reference);
        const Difference d = AlphaDifference(nested, exact);
        std::printf("%-26s reference mean %.3f/255 p99 %.2f/255; exact fill mean %.4f/255 largest %d/255\n",
                    c.name, e.mean, e.p99, d.mean, d.largest);
        EXPECT_LE(e.mean, 1.0) << c.name;
        // Where thick lines cross, compositing line by line is off whatever
        // the fade does; the fade must add nothing to that.
        EXPECT_LE(e.p99, std::max(8.0, Compare(exact, reference).p99 + 0.25)) << c.name;
        EXPECT_LE(d.mean, 0.5) << c.name;
        EXPECT_LE(d.largest, 16) << c.name;
    }
}

// The frames above only measure the fade where the nesting fills it.
TEST(NestedFade, FillsMostOfABlurredFramesFadeCells) {
    const Case c = kBlurred[0];
    const EffectSettings s = SettingsFor(c);
    RandomSource r = SourceFor(s);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.width) * c.height);
    Surface surface{pixels.data(), pixels.size() * 4, c.width, c.height};
    FrameAccumulator frame(surface, FillOptions{.nestedFade = true});
    std::uint8_t constantAlpha = 0;
    RenderFrame(kNewPatternSelector, s, r, c.width, c.height, constantAlpha, frame);
    EXPECT_GT(frame.Stats().nestedLines, 0u);
    EXPECT_GT(frame.Stats().nestedFadeCells, pixels.size());
}

// One line of the blur's twelve passes, tips `step` apart from `tip` along
// (dx, dy) per pass, corners c1 and c2, filled both ways.
struct BlurLine {
    int tipX, tipY, stepX, stepY;
    int c1X, c1Y, c2X, c2Y;
};

std::vector<std::uint32_t> FilledBlurLine(const BlurLine& line, bool nested, int width, int height,
                                          std::size_t* nestedCells = nullptr) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    Surface surface{pixels.data(), pixels.size() * 4, width, height};
    FrameAccumulator frame(surface, FillOptions{.nestedFade = nested});
    frame.BeginFrame(width, height);
    for (int k = 0; k < kBlurPassCount; ++k) {
        const std::uint8_t alpha = kBlurPassOpacity[k];
        frame.BeginPass(PassInfo{0.0f, alpha, 0xFFFFFFu, 1});
        frame.FillTriangle(Triangle{line.tipX + line.stepX * k, line.tipY + line.stepY * k, line.c1X,
                                    line.c1Y, line.c2X, line.c2Y,
                                    (static_cast<std::uint32_t>(alpha) << 24) | 0xFFFFFFu});
        frame.EndPass();
    }
    frame.EndFrame();
    if (nestedCells != nullptr) *nestedCells = frame.Stats().nestedFadeCells;
    return pixels;
}

// One wide line whose axis runs down a column: corners far below the
// picture, tips 9 rows apart from row 10 down.
std::vector<std::uint32_t> WideBlurLine(bool nested, int width, int height,
                                        std::size_t* nestedCells = nullptr) {
    const int axis = width / 2;
    return FilledBlurLine(BlurLine{axis, 10, 0, 9, axis - 90, height + 400, axis + 90, height + 400}, nested,
                          width, height, nestedCells);
}

// Regression: a nearly level line's rows run far along it, through several
// of its stretches of passes; each stretch's cells were once placed by
// their offset at the row's first cell, and came out up to 144/255 wrong.
TEST(NestedFade, LongRowsOfANearlyLevelLineStayInPlace) {
    constexpr int kWidth = 320, kHeight = 48;
    const BlurLine level{6, 22, 21, 0, kWidth + 300, 2, kWidth + 300, 47};
    std::size_t nestedCells = 0;
    const auto nested = FilledBlurLine(level, true, kWidth, kHeight, &nestedCells);
    const auto exact = FilledBlurLine(level, false, kWidth, kHeight);
    EXPECT_GT(nestedCells, static_cast<std::size_t>(kWidth));
    const Difference d = AlphaDifference(nested, exact);
    EXPECT_LE(d.mean, 0.5);
    EXPECT_LE(d.largest, 16);
}

// Along the axis, going outward from the tips, alpha never falls, and each
// point keeps within 16/255 of the exact fill's: the twelve passes' staircase
// is neither smoothed into one ramp nor missing a step.
TEST(NestedFade, KeepsTheStaircaseAlongALinesAxis) {
    constexpr int kWidth = 64, kHeight = 140;
    std::size_t nestedCells = 0;
    const auto nested = WideBlurLine(true, kWidth, kHeight, &nestedCells);
    EXPECT_GT(nestedCells, static_cast<std::size_t>(kHeight));
    const auto exact = WideBlurLine(false, kWidth, kHeight);
    int previous = 0, steps = 0;
    for (int y = 0; y < kHeight; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * kWidth + kWidth / 2;
        const int a = static_cast<int>(nested[at] >> 24), e = static_cast<int>(exact[at] >> 24);
        EXPECT_GE(a, previous) << "row " << y;
        EXPECT_NEAR(a, e, 16) << "row " << y;
        steps += a > previous ? 1 : 0;
        previous = a;
    }
    // A step a pass, give or take the rows where one spreads over two.
    EXPECT_GE(steps, kBlurPassCount - 1);
    EXPECT_EQ(previous, 255);
}

}  // namespace
}  // namespace qv
