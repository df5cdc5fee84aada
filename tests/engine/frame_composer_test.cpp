#include "frame_composer.h"

#include <gtest/gtest.h>

#include <vector>

#include "triangle_recorder.h"

namespace qv {
namespace {

std::uint32_t ticks = 1;
std::uint32_t Tick() noexcept { return ticks; }

EffectSettings Defaults(int w = 1920, int h = 1080) {
    EffectSettings s;
    ApplyStartupDefaults(s);
    s.centerX = w / 2;
    s.centerY = h / 2;
    return s;
}

TEST(FrameComposer, DerivedParametersForTheDefaults) {
    const FrameParams f = DeriveFrameParams(Defaults());
    EXPECT_FLOAT_EQ(f.pass.step, 3.3f);
    EXPECT_FLOAT_EQ(f.pass.halfWidth, 0.5f);
    EXPECT_FLOAT_EQ(f.pass.spaceValue, 100.0f);
    EXPECT_EQ(f.pass.stretchX, 1.0f);
    EXPECT_EQ(f.pass.stretchY, 1.0f);
    EXPECT_EQ(f.pass.rgb, 0u);
    EXPECT_EQ(f.pass.opacity, 255);
    EXPECT_FALSE(f.blurred);
    EXPECT_EQ(f.constantAlpha, 255);
}

TEST(FrameComposer, StepsStretchesDivisorsAndColour) {
    EffectSettings s = Defaults();
    s.density = 500;
    EXPECT_FLOAT_EQ(DeriveFrameParams(s).pass.step, 0.1f);
    s.density = 10;
    EXPECT_FLOAT_EQ(DeriveFrameParams(s).pass.step, 5.0f);

    const struct { int ratio; float sx, sy; } ratios[] = {
        {0, 6.0f, 1.0f}, {499, 1.01f, 1.0f}, {500, 1.0f, 1.0f}, {501, 1.0f, 1.01f}, {1000, 1.0f, 6.0f}};
    for (auto r : ratios) {
        s.ratio = static_cast<std::uint16_t>(r.ratio);
        EXPECT_FLOAT_EQ(DeriveFrameParams(s).pass.stretchX, r.sx) << r.ratio;
        EXPECT_FLOAT_EQ(DeriveFrameParams(s).pass.stretchY, r.sy) << r.ratio;
    }

    const std::pair<int, float> blur[] = {{1, 1.0f}, {10, 1.45f}, {20, 1.95f}};
    for (auto [level, divisor] : blur) {
        s.blurLevel = level;
        EXPECT_TRUE(DeriveFrameParams(s).blurred);
        EXPECT_FLOAT_EQ(DeriveFrameParams(s).blurDivisor, divisor) << level;
    }

    s.red = 255;
    s.green = 128;
    s.blue = 0;
    EXPECT_EQ(DeriveFrameParams(s).pass.rgb, 0xFF8000u);
}

TEST(FrameComposer, SelectorChoosesReplayOrNewSeed) {
    ticks = 10;
    RandomSource r(&Tick);
    r.SetJitterRanges(40, 50, 70, 50);
    const EffectSettings s = Defaults();
    std::uint8_t constantAlpha = 0;
    TriangleRecorder first, replayed, fresh;
    RenderFrame(kNewPatternSelector, s, r, 1920, 1080, constantAlpha, first);
    EXPECT_EQ(constantAlpha, 255);
    ticks = 11;
    RenderFrame(kReplaySelector, s, r, 1920, 1080, constantAlpha, replayed);
    EXPECT_EQ(r.storedSeed, 10u);
    EXPECT_EQ(first.passes[0].triangles, replayed.passes[0].triangles);
    RenderFrame(kNewPatternSelector, s, r, 1920, 1080, constantAlpha, fresh);
    EXPECT_EQ(r.storedSeed, 11u);
    EXPECT_NE(first.passes[0].triangles, fresh.passes[0].triangles);
}

TEST(FrameComposer, BlurLevelDrawsTwelvePasses) {
    RandomSource r(&Tick);
    EffectSettings s = Defaults();
    s.blurLevel = 20;
    std::uint8_t constantAlpha = 0;
    TriangleRecorder rec;
    RenderFrame(kReplaySelector, s, r, 1920, 1080, constantAlpha, rec);
    EXPECT_EQ(rec.passes.size(), static_cast<std::size_t>(kBlurPassCount));
    EXPECT_EQ(rec.passes.back().info.opacity, 255);
}

std::vector<std::uint32_t> Render(const EffectSettings& s, RandomSource& r, std::int32_t selector, int w, int h,
                                  std::uint8_t& constantAlpha) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h, 0xDEADBEEFu);
    Surface surface{pixels.data(), pixels.size() * 4, w, h};
    RenderFrame(selector, s, r, surface, constantAlpha);
    return pixels;
}

TEST(FrameComposer, ReplayedFramesArePixelIdenticalAndAlphaOnlyChangesConstantAlpha) {
    ticks = 77;
    RandomSource r(&Tick);
    r.SetJitterRanges(40, 50, 70, 50);
    EffectSettings s = Defaults(320, 200);
    std::uint8_t constantAlpha = 0;
    const auto a = Render(s, r, kNewPatternSelector, 320, 200, constantAlpha);
    s.alpha = 17;
    const auto b = Render(s, r, kReplaySelector, 320, 200, constantAlpha);
    EXPECT_EQ(constantAlpha, 17);
    EXPECT_EQ(a, b);
    std::size_t drawn = 0, stale = 0;
    for (auto p : a) {
        drawn += p != 0;
        stale += p == 0xDEADBEEFu;
    }
    EXPECT_GT(drawn, 2000u);
    EXPECT_EQ(stale, 0u) << "the frame starts cleared";
}

// A scratch kept across frames of other sizes, blur and density must give
// each frame exactly the pixels a fresh one gives: nothing of an earlier,
// larger or blurred frame may leak into a later one.
TEST(FrameComposer, ReusedScratchGivesTheSamePixelsAsAFreshOne) {
    struct Frame {
        int w, h;
        std::uint16_t density;
        std::int32_t blur;
    };
    const Frame frames[] = {{400, 300, 500, 20}, {160, 90, 200, 0}, {400, 300, 500, 0}, {37, 411, 120, 5},
                            {160, 90, 50, 0},    {400, 300, 200, 20}};
    FrameScratch scratch;
    ticks = 9;
    for (const Frame& f : frames) {
        EffectSettings s = Defaults(f.w, f.h);
        s.density = f.density;
        s.blurLevel = f.blur;
        RandomSource fresh(&Tick), reused(&Tick);
        std::uint8_t alphaFresh = 0, alphaReused = 0;
        std::vector<std::uint32_t> a(static_cast<std::size_t>(f.w) * f.h, 0xDEADBEEFu), b = a;
        Surface sa{a.data(), a.size() * 4, f.w, f.h}, sb{b.data(), b.size() * 4, f.w, f.h};
        RenderFrame(kNewPatternSelector, s, fresh, sa, alphaFresh);
        RenderFrame(kNewPatternSelector, s, reused, sb, alphaReused, scratch);
        std::size_t drawn = 0;
        for (auto p : a) drawn += p != 0;
        EXPECT_GT(drawn, a.size() / 50) << f.w << "x" << f.h;
        EXPECT_EQ(a, b) << f.w << "x" << f.h << " density " << f.density << " blur " << f.blur;
        EXPECT_EQ(alphaFresh, alphaReused);
    }
}

TEST(FrameComposer, SurfaceWithoutPixelsDrawsNothing) {
    RandomSource r(&Tick);
    Surface empty{nullptr, 0, 1920, 1080};
    std::uint8_t constantAlpha = 0;
    RenderFrame(kNewPatternSelector, Defaults(), r, empty, constantAlpha);
    EXPECT_EQ(constantAlpha, 255);
    // A buffer too small for its stated size is not drawn into either.
    std::vector<std::uint32_t> tiny(4, 0x11111111u);
    Surface lying{tiny.data(), tiny.size() * 4, 1920, 1080};
    RenderFrame(kNewPatternSelector, Defaults(), r, lying, constantAlpha);
    for (auto p : tiny) EXPECT_EQ(p, 0u) << "cleared, but nothing drawn";
}

}  // namespace
}  // namespace qv
