// Frames of a moving centre made from the frame before: windows of the
// fill, the picture moved and the strips at every edge and corner, the
// fallbacks, and a centre that leaves the picture. How close a drag stays to
// the exact frame is measured in frame_drag_quality_test.
#include "frame_drag.h"

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

// A picture being dragged: the first frame exact, then drag frames, the
// fill on `threads` threads (0: as many as the machine runs).
struct Drag {
    Drag(const EffectSettings& start, int w, int h, unsigned threads = 1)
        : settings(start), picture(w, h), random(SourceFor(start)), scratch(threads) {
        RenderFrame(kReplaySelector, settings, random, picture.surface, constantAlpha, scratch);
    }
    DragStats MoveBy(int dx, int dy) {
        settings.centerX += dx;
        settings.centerY += dy;
        return DragFrame(settings, random, picture.surface, constantAlpha, scratch);
    }
    bool IsExact() const {
        return picture.pixels == Exact(settings, picture.surface.width, picture.surface.height, random);
    }
    EffectSettings settings;
    Picture picture;
    RandomSource random;
    FrameScratch scratch;
    std::uint8_t constantAlpha = 0;
};

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
        const std::size_t wholeRows = fill.Stats().visitRows;
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
                EXPECT_LT(fill.Stats().visitRows, wholeRows / 8)
                    << "a narrow column visits the shapes crossing it";
            }
        }
    }
}

// What a drag must give: the picture before it moved by (dx, dy), and where
// that leaves nothing, the exact frame.
std::vector<std::uint32_t> Expected(const std::vector<std::uint32_t>& before,
                                    const std::vector<std::uint32_t>& exact, int w, int h, int dx, int dy) {
    std::vector<std::uint32_t> out = exact;
    for (int y = std::max(dy, 0); y < std::min(h, h + dy); ++y) {
        for (int x = std::max(dx, 0); x < std::min(w, w + dx); ++x) {
            out[static_cast<std::size_t>(y) * w + x] =
                before[static_cast<std::size_t>(y - dy) * w + (x - dx)];
        }
    }
    return out;
}

// Moves the drag and checks its picture pixel for pixel.
void MoveAndCheck(Drag& drag, int dx, int dy) {
    const int w = drag.picture.surface.width, h = drag.picture.surface.height;
    const std::vector<std::uint32_t> before = drag.picture.pixels;
    const DragStats stats = drag.MoveBy(dx, dy);
    EXPECT_FALSE(stats.wholeFrame);
    EXPECT_EQ(stats.rows, std::abs(dy));
    EXPECT_EQ(stats.columns, std::abs(dx));
    const std::vector<std::uint32_t> expected =
        Expected(before, Exact(drag.settings, w, h, drag.random), w, h, dx, dy);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(drag.picture.pixels[i], expected[i])
            << "move " << dx << "," << dy << " at " << i % static_cast<std::size_t>(w) << ","
            << i / static_cast<std::size_t>(w) << " blur " << drag.settings.blurLevel;
    }
}

// Towards each edge and corner, by one pixel and by 16, the picture moved on
// the caller's thread or beside it.
TEST(DragFrame, MovesThePictureAndDrawsTheStripsThatComeIntoView) {
    constexpr int kW = 240, kH = 160;
    for (const auto& [blur, threads] : {std::pair{0, 1u}, {1, 1u}, {20, 1u}, {1, 0u}}) {
        Drag drag(Settings(kW, kH, blur), kW, kH, threads);
        for (const int step : {1, 16}) {
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (dx != 0 || dy != 0) MoveAndCheck(drag, dx * step, dy * step);
                }
            }
        }
    }
}

// Anything but the centre changed, no frame drawn before, or a move beyond
// the largest: a whole frame, exactly RenderFrame's.
TEST(DragFrame, FallsBackToTheWholeFrame) {
    constexpr int kW = 240, kH = 160;
    const int largestX = LargestDragMove(kW), largestY = LargestDragMove(kH);
    EXPECT_EQ(largestX, 60);
    EXPECT_EQ(largestY, 40);
    Drag drag(Settings(kW, kH, 1), kW, kH);
    EXPECT_FALSE(drag.MoveBy(largestX, -largestY).wholeFrame);
    EXPECT_TRUE(drag.MoveBy(-largestX - 1, 0).wholeFrame);
    EXPECT_TRUE(drag.IsExact());
    EXPECT_TRUE(drag.MoveBy(0, largestY + 1).wholeFrame);
    drag.settings.thickness = 120;
    EXPECT_TRUE(drag.MoveBy(3, 3).wholeFrame);
    EXPECT_TRUE(drag.IsExact());
    drag.random.Reseed();  // the same tick: the same pattern
    EXPECT_FALSE(drag.MoveBy(3, 3).wholeFrame);
    drag.random.SeedWith(99);
    EXPECT_TRUE(drag.MoveBy(3, 3).wholeFrame);
    EXPECT_TRUE(drag.IsExact());
    // The overall opacity only becomes the constant alpha.
    drag.settings.alpha = 90;
    EXPECT_FALSE(drag.MoveBy(0, 0).wholeFrame);
    EXPECT_EQ(drag.constantAlpha, 90);

    FrameScratch fresh;
    EXPECT_TRUE(
        DragFrame(drag.settings, drag.random, drag.picture.surface, drag.constantAlpha, fresh).wholeFrame);
    Picture other(kW, kH);
    EXPECT_TRUE(
        DragFrame(drag.settings, drag.random, other.surface, drag.constantAlpha, drag.scratch).wholeFrame);
}

// The centre dragged out over the top left corner and back.
TEST(DragFrame, CentreLeavesThePictureAndComesBack) {
    constexpr int kW = 240, kH = 160;
    EffectSettings s = Settings(kW, kH, 1);
    s.centerX = 20, s.centerY = 12;
    Drag drag(s, kW, kH);
    for (int move = 0; move < 8; ++move) {
        const int sign = move < 4 ? -1 : 1;
        MoveAndCheck(drag, sign * 12, sign * 9);
        if (move == 3) {
            EXPECT_LT(drag.settings.centerX, 0);
            EXPECT_LT(drag.settings.centerY, 0);
        }
    }
}

}  // namespace
}  // namespace qv
