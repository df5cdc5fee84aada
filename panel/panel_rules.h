// The control panel's rules, without any window system: which trackbar writes
// which field, how each trackbar is set up, the variation check box rule and
// what Reset restores. The Win32 dialog and the Linux panel both drive their
// widgets from these, so the two panels cannot drift apart.
//
// Slot order is fixed and is what the label operations index by:
//   0..3   density, thickness, space, ratio        (16-bit fields)
//   4..7   red, green, blue, alpha                  (8-bit fields)
//   8..12  the five variation values, blur last     (32-bit fields)
#pragma once

#include <array>
#include <cstdint>

#include "effect_settings.h"
#include "panel_ids.h"

namespace qv::panel {

inline constexpr int kSlotCount = 13;
inline constexpr int kFirstParamSlot = 0;
inline constexpr int kFirstColorSlot = 4;
inline constexpr int kFirstJitterSlot = 8;
inline constexpr int kParamCount = 4;
inline constexpr int kColorCount = 4;
inline constexpr int kMainSlotCount = kParamCount + kColorCount;  // the slots Reset restores
inline constexpr int kSpaceSlot = 2;                               // the one the wheel gesture moves
inline constexpr int kRatioParamIndex = 3;

// The fields slots 0..3 and 4..7 write; the colours in panel order, which
// is not memory order.
inline constexpr std::uint16_t EffectSettings::*kParamFields[kParamCount] = {
    &EffectSettings::density, &EffectSettings::thickness, &EffectSettings::space, &EffectSettings::ratio};
inline constexpr std::uint8_t EffectSettings::*kColorFields[kColorCount] = {
    &EffectSettings::red, &EffectSettings::green, &EffectSettings::blue, &EffectSettings::alpha};

enum class SlotGroup { kParam, kColor, kJitter };

struct SlotEntry {
    int trackbarId;
    int displayId;  // the value label, or for a variation slot its check box
    SlotGroup group;
    int groupIndex;  // index within the group: what the label operations take
    int tickFrequency;
};

inline constexpr std::array<SlotEntry, kSlotCount> kSlots{{
    {IDC_TB_DENSITY, IDC_LB_DENSITY, SlotGroup::kParam, 0, 25},
    {IDC_TB_THICKNESS, IDC_LB_THICKNESS, SlotGroup::kParam, 1, 15},
    {IDC_TB_SPACE, IDC_LB_SPACE, SlotGroup::kParam, 2, 40},
    {IDC_TB_RATIO, IDC_LB_RATIO, SlotGroup::kParam, 3, 50},
    {IDC_TB_RED, IDC_LB_RED, SlotGroup::kColor, 0, 1},
    {IDC_TB_GREEN, IDC_LB_GREEN, SlotGroup::kColor, 1, 1},
    {IDC_TB_BLUE, IDC_LB_BLUE, SlotGroup::kColor, 2, 1},
    {IDC_TB_ALPHA, IDC_LB_ALPHA, SlotGroup::kColor, 3, 1},
    {IDC_TB_DENSITY_JITTER, IDC_CB_DENSITY_JITTER, SlotGroup::kJitter, 0, 10},
    {IDC_TB_THICKNESS_JITTER, IDC_CB_THICKNESS_JITTER, SlotGroup::kJitter, 1, 10},
    {IDC_TB_SPACE_JITTER, IDC_CB_SPACE_JITTER, SlotGroup::kJitter, 2, 10},
    {IDC_TB_ALPHA_JITTER, IDC_CB_ALPHA_JITTER, SlotGroup::kJitter, 3, 10},
    {IDC_TB_BLUR, IDC_CB_BLUR, SlotGroup::kJitter, 4, 4},
}};

// The variation check boxes in jitter-array order (density, thickness,
// space, alpha, blur); their trackbars are kSlots[kFirstJitterSlot + i].
inline constexpr std::array<int, kJitterCount> kCheckBoxIds{
    IDC_CB_DENSITY_JITTER, IDC_CB_THICKNESS_JITTER, IDC_CB_SPACE_JITTER, IDC_CB_ALPHA_JITTER, IDC_CB_BLUR};

// A variation trackbar never goes below 1: "off" (0) is the check box's job.
inline constexpr int kVariationTrackbarMin = 1;
// Where Reset leaves every variation trackbar: its minimum, so that checking
// a box afterwards starts the variation at 1.
inline constexpr int kResetVariationPosition = kVariationTrackbarMin;
// The blur trackbar starts at its lowest level, not at half its range.
inline constexpr int kBlurInitialPosition = kVariationTrackbarMin;

struct TrackbarSetup {
    int min;
    int max;
    int position;  // also the slot's remembered position, which Reset restores
    int tickFrequency;
};

// How initialisation sets up the trackbar of `slot` (0..12), given the
// settings at that moment. The ratio range is 0..2*ratio, so that the
// starting ratio sits in the middle; a variation trackbar starts at half its
// maximum whatever the current variation is.
TrackbarSetup InitialSetup(int slot, const EffectSettings& s) noexcept;

// The slot whose trackbar has this control id, or -1.
int SlotForTrackbarId(int trackbarId) noexcept;

// What a trackbar move changed, for the caller to refresh its label.
struct SlotWrite {
    SlotGroup group;
    int groupIndex;
    int value;                 // the low 16 bits of the position, as stored
    bool jitterRangesChanged;  // the random source needs the four percentages again
};

// A trackbar of `slot` now stands at `position`: keeps its low 16 bits as an
// unsigned value and stores that in the slot's field at the field's width
// (16 bits; the low 8 bits for a colour; zero-extended for a variation).
SlotWrite ApplyTrackbarPosition(EffectSettings& s, int slot, std::int32_t position) noexcept;

// The check box states initialisation sets: a jitter box is checked when its
// value is non-zero. The blur box is left unchecked, as the template has it.
std::array<bool, kJitterCount> InitialCheckStates(const EffectSettings& s) noexcept;

// The variation check box rule, applied whichever box was clicked: every
// checked box takes its trackbar's position, every unchecked one becomes 0.
// `positions` are the five variation trackbars' current positions.
void ApplyCheckBoxRule(EffectSettings& s, const std::array<bool, kJitterCount>& checked,
                       const std::array<std::int32_t, kJitterCount>& positions) noexcept;

// A variation trackbar is shown exactly when its value is non-zero. The check
// box rule and Reset leave the panel in this state, and so does
// initialisation: a blur trackbar that is visible while its box is unchecked
// would turn blur on behind an unchecked box.
std::array<bool, kJitterCount> VariationTrackbarsShown(const EffectSettings& s) noexcept;

// Reset: the eight main fields take the remembered positions of slots 0..7
// (the values the panel was initialised with) and every variation becomes 0.
// The centre is left alone.
void ApplyReset(EffectSettings& s, const std::array<std::int32_t, kMainSlotCount>& remembered) noexcept;

// The four jitter percentages in the order the random source takes them.
std::array<std::int32_t, kJitterPercentCount> JitterPercents(const EffectSettings& s) noexcept;

}  // namespace qv::panel
