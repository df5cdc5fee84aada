#include "panel_rules.h"

#include <gtest/gtest.h>

namespace qv::panel {
namespace {

EffectSettings Startup() {
    EffectSettings s;
    ApplyStartupDefaults(s);
    return s;
}

TEST(PanelSlots, EveryTrackbarIdFindsItsSlotAndNothingElseDoes) {
    for (int slot = 0; slot < kSlotCount; ++slot) EXPECT_EQ(SlotForTrackbarId(kSlots[slot].trackbarId), slot);
    // Labels, check boxes, the group box, Reset and the unused 1024 are no trackbars.
    for (int id : {IDC_RESET, IDC_LB_DENSITY, IDC_CB_BLUR, IDC_COLOR_GROUP, 1024, IDC_UNNAMED, 0})
        EXPECT_EQ(SlotForTrackbarId(id), -1) << id;
    EXPECT_EQ(kSlots[kSpaceSlot].trackbarId, IDC_TB_SPACE) << "the wheel gesture moves this one";
    for (int i = 0; i < kJitterCount; ++i) EXPECT_EQ(kSlots[kFirstJitterSlot + i].displayId, kCheckBoxIds[i]);
}

TEST(PanelSlots, InitialSetupAtStartup) {
    const EffectSettings s = Startup();
    struct Expect {
        int min, max, position, tick;
    };
    const Expect expected[kSlotCount] = {
        {10, 500, 180, 25}, {10, 300, 50, 15}, {10, 800, 100, 40}, {0, 1000, 500, 50},  // parameters
        {0, 255, 0, 1},     {0, 255, 0, 1},    {0, 255, 0, 1},     {0, 255, 255, 1},    // R G B A
        {1, 100, 50, 10},   {1, 100, 50, 10},  {1, 200, 100, 10},  {1, 100, 50, 10},  {1, 20, 1, 4}};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const TrackbarSetup t = InitialSetup(slot, s);
        EXPECT_EQ(t.min, expected[slot].min) << slot;
        EXPECT_EQ(t.max, expected[slot].max) << slot;
        EXPECT_EQ(t.position, expected[slot].position) << slot;
        EXPECT_EQ(t.tickFrequency, expected[slot].tick) << slot;
    }
}

TEST(PanelSlots, InitialSetupFollowsTheSettingsButNotTheVariation) {
    EffectSettings s = Startup();
    s.ratio = 300;
    s.density = 77;
    s.green = 9;
    s.densityJitter = 3;
    s.blurLevel = 12;
    EXPECT_EQ(InitialSetup(3, s).max, 600) << "ratio range is twice the ratio";
    EXPECT_EQ(InitialSetup(3, s).position, 300);
    EXPECT_EQ(InitialSetup(0, s).position, 77);
    EXPECT_EQ(InitialSetup(5, s).position, 9);
    EXPECT_EQ(InitialSetup(8, s).position, 50) << "variation trackbars start at half their maximum";
    EXPECT_EQ(InitialSetup(12, s).position, 1);
}

TEST(PanelSlots, MovesStoreAtTheFieldWidth) {
    EffectSettings s = Startup();
    const EffectSettings before = s;

    SlotWrite w = ApplyTrackbarPosition(s, 1, 0x12345);
    EXPECT_EQ(s.thickness, 0x2345) << "low 16 bits";
    EXPECT_EQ(w.group, SlotGroup::kParam);
    EXPECT_EQ(w.groupIndex, 1);
    EXPECT_EQ(w.value, 0x2345);
    EXPECT_FALSE(w.jitterRangesChanged);

    w = ApplyTrackbarPosition(s, 4, 0x1FF);
    EXPECT_EQ(s.red, 0xFF) << "low 8 bits";
    EXPECT_EQ(w.value, 0x1FF) << "the label is given the 16-bit value";
    EXPECT_EQ(w.group, SlotGroup::kColor);
    EXPECT_EQ(w.groupIndex, 0);

    w = ApplyTrackbarPosition(s, 10, -1);
    EXPECT_EQ(s.spaceJitter, 0xFFFF) << "zero-extended, never negative";
    EXPECT_TRUE(w.jitterRangesChanged);

    w = ApplyTrackbarPosition(s, 12, 20);
    EXPECT_EQ(s.blurLevel, 20);
    EXPECT_EQ(w.groupIndex, kBlur);
    EXPECT_TRUE(w.jitterRangesChanged) << "the ranges are handed over for blur moves too";

    // Nothing outside the three written fields moved.
    EffectSettings expected = before;
    expected.thickness = 0x2345;
    expected.red = 0xFF;
    expected.spaceJitter = 0xFFFF;
    expected.blurLevel = 20;
    EXPECT_EQ(std::memcmp(&s, &expected, sizeof s), 0);

    // A slot outside the table writes nothing.
    EffectSettings untouched = expected;
    ApplyTrackbarPosition(untouched, kSlotCount, 5);
    ApplyTrackbarPosition(untouched, -1, 5);
    EXPECT_EQ(std::memcmp(&untouched, &expected, sizeof s), 0);
}

TEST(PanelCheckBoxes, StartupChecksTheNonZeroJittersAndNotBlur) {
    EffectSettings s = Startup();
    EXPECT_EQ(InitialCheckStates(s), (std::array<bool, 5>{true, true, true, true, false}));
    s.thicknessJitter = 0;
    s.blurLevel = 5;
    EXPECT_EQ(InitialCheckStates(s), (std::array<bool, 5>{true, false, true, true, false}));
    // The blur trackbar starts hidden, like any variation that is off.
    EXPECT_EQ(VariationTrackbarsShown(Startup()), (std::array<bool, 5>{true, true, true, true, false}));
}

TEST(PanelCheckBoxes, FirstClickRereadsAllFiveTrackbars) {
    EffectSettings s = Startup();
    std::array<std::int32_t, 5> positions{};
    for (int i = 0; i < kJitterCount; ++i) positions[i] = InitialSetup(kFirstJitterSlot + i, s).position;

    // Clicking the blur box at start: the other four take their trackbars.
    ApplyCheckBoxRule(s, {true, true, true, true, true}, positions);
    EXPECT_EQ(s.densityJitter, 50);
    EXPECT_EQ(s.thicknessJitter, 50);
    EXPECT_EQ(s.spaceJitter, 100);
    EXPECT_EQ(s.alphaJitter, 50);
    EXPECT_EQ(s.blurLevel, 1);

    // Unchecking one zeroes it and hides its trackbar; the position survives.
    ApplyCheckBoxRule(s, {true, false, true, true, true}, positions);
    EXPECT_EQ(s.thicknessJitter, 0);
    EXPECT_EQ(VariationTrackbarsShown(s), (std::array<bool, 5>{true, false, true, true, true}));
    ApplyCheckBoxRule(s, {true, true, true, true, true}, positions);
    EXPECT_EQ(s.thicknessJitter, 50);
    EXPECT_EQ(JitterPercents(s), (std::array<std::int32_t, 4>{50, 50, 100, 50}));
}

TEST(PanelReset, RestoresTheMainFieldsAndClearsTheVariation) {
    const EffectSettings start = Startup();
    std::array<std::int32_t, kMainSlotCount> remembered{};
    for (int slot = 0; slot < kMainSlotCount; ++slot) remembered[slot] = InitialSetup(slot, start).position;

    EffectSettings s = start;
    s.centerX = 640;
    s.centerY = 360;
    s.density = 12;
    s.space = 800;  // as the wheel leaves it
    s.ratio = 0;
    s.red = 200;
    s.alpha = 3;
    s.blurLevel = 7;
    ApplyReset(s, remembered);
    ApplyReset(s, remembered);  // as often as the user likes

    EXPECT_EQ(s.density, 180);
    EXPECT_EQ(s.thickness, 50);
    EXPECT_EQ(s.space, 100);
    EXPECT_EQ(s.ratio, 500);
    EXPECT_EQ(ColorWord(s), 0xFF000000u);
    for (int i = 0; i < kJitterCount; ++i) EXPECT_EQ(JitterAt(s, i), 0) << i;
    EXPECT_EQ(JitterPercents(s), (std::array<std::int32_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(VariationTrackbarsShown(s), (std::array<bool, 5>{}));
    EXPECT_EQ(s.centerX, 640) << "Reset leaves the centre";
    EXPECT_EQ(s.centerY, 360);

    // Checking a box after Reset gives the position Reset left its trackbar at.
    std::array<std::int32_t, 5> positions;
    positions.fill(kResetVariationPosition);
    ApplyCheckBoxRule(s, {false, false, true, false, false}, positions);
    EXPECT_EQ(s.spaceJitter, 1);
}

}  // namespace
}  // namespace qv::panel
