#include "effect_settings.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(EffectSettings, StartupValuesReadAsWordAndArray) {
    EffectSettings s;
    s.centerX = 7;
    s.centerY = 9;
    ApplyStartupDefaults(s);
    EXPECT_EQ(ColorWord(s), 0xFF000000u);
    const int expectedJitter[kJitterCount] = {40, 50, 70, 50, 0};
    for (int i = 0; i < kJitterCount; ++i) EXPECT_EQ(JitterAt(s, i), expectedJitter[i]) << i;
    EXPECT_EQ(s.density, 180);
    EXPECT_EQ(s.thickness, 50);
    EXPECT_EQ(s.space, 100);
    EXPECT_EQ(s.ratio, 500);
    EXPECT_EQ(s.centerX, 7) << "defaults leave the centre to the desktop fit";
    EXPECT_EQ(s.centerY, 9);
}

TEST(EffectSettings, ColorWordIsAlphaRedGreenBlue) {
    EffectSettings s;
    s.red = 255;
    s.green = 128;
    s.blue = 0;
    s.alpha = 255;
    EXPECT_EQ(ColorWord(s), 0xFFFF8000u);
    s.alpha = 0x12;
    s.blue = 0x34;
    EXPECT_EQ(ColorWord(s), 0x12FF8034u);
}

TEST(EffectSettings, JitterArrayWritesTheNamedFields) {
    EffectSettings s;
    JitterAt(s, kDensityJitter) = 1;
    JitterAt(s, kThicknessJitter) = 2;
    JitterAt(s, kSpaceJitter) = 3;
    JitterAt(s, kAlphaJitter) = 4;
    JitterAt(s, kBlur) = 5;
    EXPECT_EQ(s.densityJitter, 1);
    EXPECT_EQ(s.thicknessJitter, 2);
    EXPECT_EQ(s.spaceJitter, 3);
    EXPECT_EQ(s.alphaJitter, 4);
    EXPECT_EQ(s.blurLevel, 5);
}

TEST(EffectSettings, SpaceRangeClampsLikeTheWheel) {
    EXPECT_EQ(kSpaceRange.Clamp(5), 10);
    EXPECT_EQ(kSpaceRange.Clamp(900), 800);
    EXPECT_EQ(kSpaceRange.Clamp(400), 400);
}

}  // namespace
}  // namespace qv
