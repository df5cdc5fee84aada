// How close a drag stays to the exact frame: a chain of sixty moves of up to
// 16 pixels, 600 pixels in all, with alpha jitter on, against RenderFrame at
// the same centre, on the dense 1920x1080 frame the drag is for. Moving the
// centre moves every line with it, up to rounding: a vertex far left of or
// above the picture truncates toward zero, so a line whose corner crosses
// an axis moves by a pixel there, and a drag keeps such a line where it was
// drawn until the exact frame follows at rest. Dense lines hide that; a
// sparse picture shows it on a few hundred pixels (docs/performance.md).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "frame_drag.h"

namespace qv {
namespace {

std::uint32_t Tick() noexcept { return 4242u; }

struct Difference {
    double mean = 0;   // of the alpha, in 255ths
    double over8 = 0;  // the share of pixels whose alpha is off by more than 8/255
    int largest = 0;   // in 255ths
};

Difference AlphaDifference(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    Difference d;
    std::size_t over = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int e = std::abs(static_cast<int>(a[i] >> 24) - static_cast<int>(b[i] >> 24));
        d.mean += e;
        over += e > 8 ? 1 : 0;
        d.largest = std::max(d.largest, e);
    }
    d.mean /= static_cast<double>(a.size());
    d.over8 = static_cast<double>(over) / static_cast<double>(a.size());
    return d;
}

TEST(DragQuality, ChainOfSixtyMovesAgainstTheExactFrame) {
    constexpr int kW = 1920, kH = 1080;
    for (const int blur : {0, 1, 20}) {
        EffectSettings s;
        ApplyStartupDefaults(s);
        s.density = 500;
        s.blurLevel = blur;
        s.centerX = kW / 2 - 7;
        s.centerY = kH / 2 + 5;
        RandomSource random(&Tick);
        random.SetJitterRanges(s.densityJitter, s.thicknessJitter, s.spaceJitter, s.alphaJitter);
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kW) * kH), exact(pixels.size());
        Surface surface{pixels.data(), pixels.size() * 4, kW, kH};
        Surface exactSurface{exact.data(), exact.size() * 4, kW, kH};
        std::uint8_t constantAlpha = 0;
        FrameScratch scratch, exactScratch;
        RenderFrame(kNewPatternSelector, s, random, surface, constantAlpha, scratch);
        auto againstExact = [&] {
            RandomSource r = random;
            RenderFrame(kReplaySelector, s, r, exactSurface, constantAlpha, exactScratch);
            return AlphaDifference(pixels, exact);
        };
        // Ten pixels a move, turning as a hand does, turned back at a margin
        // from the sides.
        double heading = 0.4, travelled = 0;
        for (int move = 0; move < 60; ++move) {
            heading += std::sin(move * 1.7) * 0.9;
            int dx = static_cast<int>(std::lround(10.0 * std::cos(heading)));
            int dy = static_cast<int>(std::lround(10.0 * std::sin(heading)));
            if (s.centerX + dx < kW / 6 || s.centerX + dx > kW * 5 / 6) dx = -dx;
            if (s.centerY + dy < kH / 6 || s.centerY + dy > kH * 5 / 6) dy = -dy;
            travelled += std::hypot(dx, dy);
            s.centerX += dx;
            s.centerY += dy;
            ASSERT_FALSE(DragFrame(s, random, surface, constantAlpha, scratch).wholeFrame);
            if (move == 0) {
                EXPECT_LE(againstExact().largest, 2) << "blur " << blur << ", one move";
            }
        }
        EXPECT_GE(travelled, 600.0);
        const Difference d = againstExact();
        EXPECT_LE(d.mean, 0.5) << "blur " << blur;
        EXPECT_LE(d.over8, 0.01) << "blur " << blur;
    }
}

}  // namespace
}  // namespace qv
