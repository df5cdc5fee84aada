// Windows of the fill: a frame limited to a few rectangles of the picture.
#include "frame_composer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "frame_accumulator.h"

namespace qv {
namespace {

std::uint32_t Tick() noexcept { return 31337u; }

struct Picture {
    Picture(int w, int h)
        : pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)),
          surface{pixels.data(), pixels.size() * 4, w, h} {}
    std::vector<std::uint32_t> pixels;
    Surface surface;
};

EffectSettings Settings(int w, int h, int blur, int alphaJitter = 50) {
    EffectSettings s;
    ApplyStartupDefaults(s);
    s.density = 400;
    s.blurLevel = blur;
    s.alphaJitter = alphaJitter;
    s.red = 30, s.green = 60, s.blue = 200;
    s.centerX = w / 2 - 7;
    s.centerY = h / 2 + 5;
    return s;
}

RandomSource SourceFor(const EffectSettings& s) {
    RandomSource r(&Tick);
    r.SetJitterRanges(s.densityJitter, s.thicknessJitter, s.spaceJitter, s.alphaJitter);
    r.Reseed();
    return r;
}

// The exact frame at the settings' centre, with the pattern of `r`.
std::vector<std::uint32_t> Exact(const EffectSettings& s, int w, int h, RandomSource r) {
    Picture p(w, h);
    std::uint8_t constantAlpha = 0;
    RenderFrame(kReplaySelector, s, r, p.surface, constantAlpha);
    return p.pixels;
}

// A window is the whole frame there, pixel for pixel, and the fill leaves
// everything around it alone; a narrow one sweeps only the lines crossing it.
TEST(FillWindows, AWindowIsTheWholeFrameThereAndNothingElse) {
    constexpr int kW = 240, kH = 160;
    constexpr std::uint32_t kUntouched = 0x12345678u;
    const fill::Window windows[] = {{0, 0, kW, 5},      {0, 150, kW, kH},  {0, 5, 16, 150},
                                    {230, 0, kW, kH},   {117, 0, 125, kH}, {0, 0, 9, 7},
                                    {200, 120, kW, kH}, {-5, -5, 3, 400}};
    for (const int blur : {0, 1}) {
        const EffectSettings s = Settings(kW, kH, blur);
        RandomSource r = SourceFor(s);
        const std::vector<std::uint32_t> whole = Exact(s, kW, kH, r);
        Picture p(kW, kH);
        FrameAccumulator fill(p.surface);
        std::uint8_t constantAlpha = 0;
        RenderFrame(kReplaySelector, s, r, kW, kH, constantAlpha, fill);
        const std::size_t wholeRows = fill.Stats().shapeRows;
        for (const fill::Window& w : windows) {
            std::fill(p.pixels.begin(), p.pixels.end(), kUntouched);
            fill.FillOnly({&w, 1});
            RenderFrame(kReplaySelector, s, r, kW, kH, constantAlpha, fill);
            for (int y = 0; y < kH; ++y) {
                for (int x = 0; x < kW; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x);
                    const bool inside = x >= w.left && x < w.right && y >= w.top && y < w.bottom;
                    ASSERT_EQ(p.pixels[i], inside ? whole[i] : kUntouched)
                        << "blur " << blur << " window " << w.left << "," << w.top << " at " << x << "," << y;
                }
            }
            if (w.right - w.left <= 8) {
                EXPECT_LT(fill.Stats().shapeRows, wholeRows / 8)
                    << "a narrow column sweeps the lines crossing it";
            }
        }
    }
}

}  // namespace
}  // namespace qv
