// The texts of the panel's labels and captions, as pure functions of the
// values they show. Wide strings, because the Win32 panel hands them to
// SetWindowTextW; ToUtf8 turns them into what GTK wants.
//
//   parameter label   "密度\r\n180"         ratio label  "比率\r\n-0.01"
//   colour label      "A\r\n255"            colour group "色設定 (0xff000000)"
//   variation box     "密度 (40%)"
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "effect_settings.h"

namespace qv::panel {

// Every label is formatted into a buffer of this many wide characters,
// terminator included; longer texts are cut there.
inline constexpr std::size_t kLabelCapacity = 64;

inline constexpr const wchar_t* kParamNames[] = {L"密度", L"太さ", L"空間", L"比率"};
inline constexpr const wchar_t* kColorNames[] = {L"R", L"G", L"B", L"A"};
inline constexpr const wchar_t* kJitterNames[kJitterCount] = {L"密度", L"太さ", L"空間", L"透明度", L"ぼかし"};

// Parameter label `index` (0..3) showing `value`. Index 3 is the ratio, shown
// as value / 100 - 5 with two decimals (500 is round: "0.00").
std::wstring ParamLabelText(int index, int value);
// Colour label `index` (0..3: R, G, B, A) showing `value`.
std::wstring ColorLabelText(int index, int value);
// The colour group's caption: the colour word 0xAARRGGBB as eight lower-case
// hexadecimal digits.
std::wstring ColorCaptionText(std::uint32_t colorWord);
// Variation check box `index` (0..4, blur last) showing `value` percent.
std::wstring JitterCaptionText(int index, int value);

// The same texts read from the settings.
std::wstring ParamLabelText(const EffectSettings& s, int index);
std::wstring ColorLabelText(const EffectSettings& s, int index);
std::wstring ColorCaptionText(const EffectSettings& s);
std::wstring JitterCaptionText(const EffectSettings& s, int index);

// UTF-8 of a wide string (UTF-16 where wchar_t has 16 bits, UTF-32 where it
// has 32). An unpaired surrogate or an invalid code point becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

}  // namespace qv::panel
