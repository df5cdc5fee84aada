// Frames drawn one after another with one FrameScratch allocate nothing after
// the first: a drag redraws the desktop-sized frame once per mouse event.
// This executable counts every allocation, so it has its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "counting_allocator.h"
#include "frame_composer.h"

namespace qv {
namespace {

std::uint32_t Tick() noexcept { return 77; }

// Regression: the blur passes once kept their lines' directions in memory
// of their own, allocated anew each frame.
TEST(FrameScratch, FramesAfterTheFirstAllocateNothing) {
    for (const int blur : {0, 5, 20}) {
        constexpr int kWidth = 480, kHeight = 270;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
        Surface surface{pixels.data(), pixels.size() * 4, kWidth, kHeight};
        EffectSettings s;
        ApplyStartupDefaults(s);
        s.density = 400;
        s.blurLevel = blur;
        s.centerX = kWidth / 2;
        s.centerY = kHeight / 2;
        RandomSource random(&Tick);
        random.SetJitterRanges(s.densityJitter, s.thicknessJitter, s.spaceJitter, s.alphaJitter);
        FrameScratch scratch;
        std::uint8_t constantAlpha = 0;
        RenderFrame(kNewPatternSelector, s, random, surface, constantAlpha, scratch);
        const std::size_t before = test::allocationCount.load();
        for (int frame = 0; frame < 3; ++frame) {
            s.centerX += 17;  // the centre follows the mouse
            RenderFrame(kReplaySelector, s, random, surface, constantAlpha, scratch);
        }
        EXPECT_EQ(test::allocationCount.load(), before) << "blur " << blur;
        EXPECT_NE(std::count(pixels.begin(), pixels.end(), 0u), static_cast<std::ptrdiff_t>(pixels.size()))
            << "the frames were drawn";
    }
}

}  // namespace
}  // namespace qv
