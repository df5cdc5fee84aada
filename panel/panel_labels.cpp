#include "panel_labels.h"

#include <cwchar>

#include "panel_rules.h"

namespace qv::panel {
namespace {

// The ratio trackbar's position 500 means a round figure; each hundred
// either side shifts the shown ratio by one.
constexpr float kRatioScale = 100.0f;
constexpr float kRatioOffset = static_cast<float>(kRoundRatio) / kRatioScale;

bool InRange(int index, int count) noexcept { return index >= 0 && index < count; }

// Formats into a zero-cleared buffer of kLabelCapacity characters; a text
// that does not fit is cut at the bound rather than dropped.
template <typename... Args>
std::wstring Format(const wchar_t* format, Args... args) {
    wchar_t buffer[kLabelCapacity] = {};
    const int n = std::swprintf(buffer, kLabelCapacity, format, args...);
    if (n < 0) buffer[kLabelCapacity - 1] = L'\0';
    return std::wstring(buffer);
}

}  // namespace

std::wstring ParamLabelText(int index, int value) {
    if (!InRange(index, kParamCount)) return {};
    if (index == kRatioParamIndex) {
        // Single precision first, then widened for the formatter.
        const float ratio = static_cast<float>(value) / kRatioScale - kRatioOffset;
        return Format(L"%ls\r\n%.2f", kParamNames[index], static_cast<double>(ratio));
    }
    return Format(L"%ls\r\n%d", kParamNames[index], value);
}

std::wstring ColorLabelText(int index, int value) {
    if (!InRange(index, kColorCount)) return {};
    return Format(L"%ls\r\n%d", kColorNames[index], value);
}

std::wstring ColorCaptionText(std::uint32_t colorWord) {
    return Format(L"色設定 (0x%08x)", static_cast<unsigned int>(colorWord));
}

std::wstring JitterCaptionText(int index, int value) {
    if (!InRange(index, kJitterCount)) return {};
    return Format(L"%ls (%d%%)", kJitterNames[index], value);
}

std::wstring ParamLabelText(const EffectSettings& s, int index) {
    return InRange(index, kParamCount) ? ParamLabelText(index, s.*kParamFields[index]) : std::wstring();
}

std::wstring ColorLabelText(const EffectSettings& s, int index) {
    return InRange(index, kColorCount) ? ColorLabelText(index, s.*kColorFields[index]) : std::wstring();
}

std::wstring ColorCaptionText(const EffectSettings& s) { return ColorCaptionText(ColorWord(s)); }

std::wstring JitterCaptionText(const EffectSettings& s, int index) {
    return InRange(index, kJitterCount) ? JitterCaptionText(index, JitterAt(s, index)) : std::wstring();
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto cp = static_cast<std::uint32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
                const auto low = static_cast<std::uint32_t>(text[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace qv::panel
