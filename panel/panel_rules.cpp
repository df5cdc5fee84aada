#include "panel_rules.h"

namespace qv::panel {
namespace {

// The range on the trackbar of slots 0..2; the ratio's depends on the ratio.
constexpr SettingRange kParamRanges[kParamCount - 1] = {kDensityRange, kThicknessRange, kSpaceRange};

bool IsSlot(int slot) noexcept { return slot >= 0 && slot < kSlotCount; }

}  // namespace

TrackbarSetup InitialSetup(int slot, const EffectSettings& s) noexcept {
    if (!IsSlot(slot)) return {0, 0, 0, 1};
    const SlotEntry& entry = kSlots[slot];
    const int i = entry.groupIndex;
    switch (entry.group) {
        case SlotGroup::kParam: {
            const int value = s.*kParamFields[i];
            if (i == kRatioParamIndex) return {kRatioRange.min, 2 * value, value, entry.tickFrequency};
            return {kParamRanges[i].min, kParamRanges[i].max, value, entry.tickFrequency};
        }
        case SlotGroup::kColor:
            return {kColorByteRange.min, kColorByteRange.max, s.*kColorFields[i], entry.tickFrequency};
        case SlotGroup::kJitter: {
            const int max = kJitterRanges[i].max;
            const int position = i == kBlur ? kBlurInitialPosition : max / 2;
            return {kVariationTrackbarMin, max, position, entry.tickFrequency};
        }
    }
    return {0, 0, 0, 1};
}

int SlotForTrackbarId(int trackbarId) noexcept {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (kSlots[slot].trackbarId == trackbarId) return slot;
    }
    return -1;
}

SlotWrite ApplyTrackbarPosition(EffectSettings& s, int slot, std::int32_t position) noexcept {
    const auto v = static_cast<std::uint16_t>(static_cast<std::uint32_t>(position) & 0xFFFFu);
    if (!IsSlot(slot)) return {SlotGroup::kParam, -1, v, false};
    const SlotEntry& entry = kSlots[slot];
    const int i = entry.groupIndex;
    switch (entry.group) {
        case SlotGroup::kParam:
            s.*kParamFields[i] = v;
            return {entry.group, i, v, false};
        case SlotGroup::kColor:
            s.*kColorFields[i] = static_cast<std::uint8_t>(v & 0xFFu);
            return {entry.group, i, v, false};
        case SlotGroup::kJitter:
            JitterAt(s, i) = static_cast<std::int32_t>(v);
            // The blur level does not feed the random source, but the ranges
            // are handed over after every variation move all the same.
            return {entry.group, i, v, true};
    }
    return {entry.group, i, v, false};
}

std::array<bool, kJitterCount> InitialCheckStates(const EffectSettings& s) noexcept {
    std::array<bool, kJitterCount> checked{};
    for (int i = 0; i < kJitterPercentCount; ++i) checked[i] = JitterAt(s, i) != 0;
    checked[kBlur] = false;
    return checked;
}

void ApplyCheckBoxRule(EffectSettings& s, const std::array<bool, kJitterCount>& checked,
                       const std::array<std::int32_t, kJitterCount>& positions) noexcept {
    for (int i = 0; i < kJitterCount; ++i) JitterAt(s, i) = checked[i] ? positions[i] : 0;
}

std::array<bool, kJitterCount> VariationTrackbarsShown(const EffectSettings& s) noexcept {
    std::array<bool, kJitterCount> shown{};
    for (int i = 0; i < kJitterCount; ++i) shown[i] = JitterAt(s, i) != 0;
    return shown;
}

void ApplyReset(EffectSettings& s, const std::array<std::int32_t, kMainSlotCount>& remembered) noexcept {
    for (int slot = 0; slot < kMainSlotCount; ++slot) ApplyTrackbarPosition(s, slot, remembered[slot]);
    for (int i = 0; i < kJitterCount; ++i) JitterAt(s, i) = 0;
}

std::array<std::int32_t, kJitterPercentCount> JitterPercents(const EffectSettings& s) noexcept {
    return {s.densityJitter, s.thicknessJitter, s.spaceJitter, s.alphaJitter};
}

}  // namespace qv::panel
