// The one parameter block that describes the picture.
//
// Field order and widths are part of the contract: the four colour bytes are
// also read as one little-endian 0xAARRGGBB word, and the four jitter
// percentages followed by the blur level form one five-element array that the
// panel addresses by index. The static_asserts below pin both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qv {

struct EffectSettings {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t alpha = 0;  // overall opacity: becomes the window's constant alpha
    std::int32_t densityJitter = 0;
    std::int32_t thicknessJitter = 0;
    std::int32_t spaceJitter = 0;
    std::int32_t alphaJitter = 0;
    std::int32_t blurLevel = 0;
    std::uint16_t density = 0;
    std::uint16_t thickness = 0;
    std::uint16_t space = 0;
    std::uint16_t ratio = 0;
    std::int32_t centerX = 0;
    std::int32_t centerY = 0;
};

static_assert(offsetof(EffectSettings, blue) == 0);
static_assert(offsetof(EffectSettings, green) == 1);
static_assert(offsetof(EffectSettings, red) == 2);
static_assert(offsetof(EffectSettings, alpha) == 3);
static_assert(offsetof(EffectSettings, densityJitter) == 4);
static_assert(offsetof(EffectSettings, thicknessJitter) == 8);
static_assert(offsetof(EffectSettings, spaceJitter) == 12);
static_assert(offsetof(EffectSettings, alphaJitter) == 16);
static_assert(offsetof(EffectSettings, blurLevel) == 20);
static_assert(offsetof(EffectSettings, density) == 24);
static_assert(offsetof(EffectSettings, thickness) == 26);
static_assert(offsetof(EffectSettings, space) == 28);
static_assert(offsetof(EffectSettings, ratio) == 30);
static_assert(offsetof(EffectSettings, centerX) == 32);
static_assert(offsetof(EffectSettings, centerY) == 36);
static_assert(sizeof(EffectSettings) == 40);

// An inclusive range of a setting, as the panel offers it.
struct SettingRange {
    int min;
    int max;
    constexpr int Clamp(int v) const noexcept { return v < min ? min : (v > max ? max : v); }
    constexpr bool Contains(long long v) const noexcept { return v >= min && v <= max; }
};

inline constexpr SettingRange kColorByteRange{0, 255};
inline constexpr SettingRange kDensityRange{10, 500};
inline constexpr SettingRange kThicknessRange{10, 300};
inline constexpr SettingRange kSpaceRange{10, 800};  // the wheel gesture clamps to it too
inline constexpr SettingRange kRatioRange{0, 1000};
inline constexpr SettingRange kDensityJitterRange{0, 100};
inline constexpr SettingRange kThicknessJitterRange{0, 100};
inline constexpr SettingRange kSpaceJitterRange{0, 200};
inline constexpr SettingRange kAlphaJitterRange{0, 100};
inline constexpr SettingRange kBlurLevelRange{0, 20};  // 0 is off; 1..20 when on

inline constexpr int kRoundRatio = 500;  // ratio that leaves the figure round

// The start-up values. The centre is left at 0: the desktop fit sets it.
inline constexpr EffectSettings kStartupSettings{.blue = 0,
                                                 .green = 0,
                                                 .red = 0,
                                                 .alpha = 255,
                                                 .densityJitter = 40,
                                                 .thicknessJitter = 50,
                                                 .spaceJitter = 70,
                                                 .alphaJitter = 50,
                                                 .blurLevel = 0,
                                                 .density = 180,
                                                 .thickness = 50,
                                                 .space = 100,
                                                 .ratio = 500};

// Writes fields 1 to 13 with the start-up values; leaves the centre alone.
inline void ApplyStartupDefaults(EffectSettings& s) noexcept {
    const std::int32_t cx = s.centerX;
    const std::int32_t cy = s.centerY;
    s = kStartupSettings;
    s.centerX = cx;
    s.centerY = cy;
}

// The four colour bytes read together: 0xAARRGGBB.
inline std::uint32_t ColorWord(const EffectSettings& s) noexcept {
    unsigned char bytes[4];
    std::memcpy(bytes, &s, sizeof bytes);
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

// The jitter array: density, thickness, space, alpha, blur.
inline constexpr int kJitterCount = 5;
inline constexpr int kJitterPercentCount = 4;  // the first four feed the random source
// kDensityJitter is the settings' densityJitter, which drives the angle
// draw: it moves the lines' angles, never their number.
enum JitterIndex : int {
    kDensityJitter = 0,
    kThicknessJitter = 1,
    kSpaceJitter = 2,
    kAlphaJitter = 3,
    kBlur = 4
};

inline constexpr std::int32_t EffectSettings::*kJitterFields[kJitterCount] = {
    &EffectSettings::densityJitter, &EffectSettings::thicknessJitter, &EffectSettings::spaceJitter,
    &EffectSettings::alphaJitter, &EffectSettings::blurLevel};

inline std::int32_t& JitterAt(EffectSettings& s, int index) noexcept { return s.*kJitterFields[index]; }
inline std::int32_t JitterAt(const EffectSettings& s, int index) noexcept { return s.*kJitterFields[index]; }

inline constexpr SettingRange kJitterRanges[kJitterCount] = {
    kDensityJitterRange, kThicknessJitterRange, kSpaceJitterRange, kAlphaJitterRange, kBlurLevelRange};

}  // namespace qv
