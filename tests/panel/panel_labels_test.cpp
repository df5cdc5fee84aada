#include "panel_labels.h"

#include <gtest/gtest.h>

#include "panel_rules.h"

namespace qv::panel {
namespace {

TEST(PanelLabels, StartupTexts) {
    EffectSettings s;
    ApplyStartupDefaults(s);
    const wchar_t* params[] = {L"密度\r\n180", L"太さ\r\n50", L"空間\r\n100", L"比率\r\n0.00"};
    for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(ParamLabelText(s, i), params[i]) << i;
    const wchar_t* colours[] = {L"R\r\n0", L"G\r\n0", L"B\r\n0", L"A\r\n255"};
    for (int i = 0; i < kColorCount; ++i) EXPECT_EQ(ColorLabelText(s, i), colours[i]) << i;
    EXPECT_EQ(ColorCaptionText(s), L"色設定 (0xff000000)");
    const wchar_t* jitters[] = {L"密度 (40%)", L"太さ (50%)", L"空間 (70%)", L"透明度 (50%)", L"ぼかし (0%)"};
    for (int i = 0; i < kJitterCount; ++i) EXPECT_EQ(JitterCaptionText(s, i), jitters[i]) << i;
}

TEST(PanelLabels, RatioHasTwoDecimalsAroundTheRoundPosition) {
    EXPECT_EQ(ParamLabelText(kRatioParamIndex, 0), L"比率\r\n-5.00");
    // Single precision: 4.99f - 5 is -0.01000023, still "-0.01".
    EXPECT_EQ(ParamLabelText(kRatioParamIndex, 499), L"比率\r\n-0.01");
    EXPECT_EQ(ParamLabelText(kRatioParamIndex, 500), L"比率\r\n0.00");
    EXPECT_EQ(ParamLabelText(kRatioParamIndex, 501), L"比率\r\n0.01");
    EXPECT_EQ(ParamLabelText(kRatioParamIndex, 1000), L"比率\r\n5.00");
    EXPECT_EQ(ParamLabelText(kRatioParamIndex, 65535), L"比率\r\n650.35");
}

TEST(PanelLabels, ColourCaptionIsAlphaFirstLowerCaseHex) {
    EffectSettings s;
    s.red = 255;
    s.green = 128;
    s.blue = 0;
    s.alpha = 255;
    EXPECT_EQ(ColorCaptionText(s), L"色設定 (0xffff8000)");
    EXPECT_EQ(ColorCaptionText(0x0000000Au), L"色設定 (0x0000000a)");
}

TEST(PanelLabels, VariationCaptionsCarryAPercentSignEvenForBlur) {
    EXPECT_EQ(JitterCaptionText(kBlur, 20), L"ぼかし (20%)");
    EXPECT_EQ(JitterCaptionText(kSpaceJitter, 200), L"空間 (200%)");
    EXPECT_EQ(ColorLabelText(3, 65535), L"A\r\n65535");
}

TEST(PanelLabels, IndexOutsideTheListGivesNoText) {
    EXPECT_EQ(ParamLabelText(4, 1), L"");
    EXPECT_EQ(ParamLabelText(-1, 1), L"");
    EXPECT_EQ(ColorLabelText(4, 1), L"");
    EXPECT_EQ(JitterCaptionText(kJitterCount, 1), L"");
}

TEST(PanelLabels, Utf8ForTheLinuxPanel) {
    EXPECT_EQ(ToUtf8(L"密度\r\n180"), "\xE5\xAF\x86\xE5\xBA\xA6\r\n180");
    EXPECT_EQ(ToUtf8(L"色設定 (0xff000000)"), "\xE8\x89\xB2\xE8\xA8\xAD\xE5\xAE\x9A (0xff000000)");
    EXPECT_EQ(ToUtf8(L"\u00e9"), "\xC3\xA9");
    EXPECT_EQ(ToUtf8(L"\u3000"), "\xE3\x80\x80");
    EXPECT_EQ(ToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
    const wchar_t lone[] = {static_cast<wchar_t>(0xD800), L'a', 0};
    EXPECT_EQ(ToUtf8(lone), "\xEF\xBF\xBD" "a") << "an unpaired surrogate is replaced";
    EXPECT_EQ(ToUtf8(L""), "");
}

}  // namespace
}  // namespace qv::panel
