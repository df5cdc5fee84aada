#include "fill_log_domain.h"

#include <algorithm>

namespace qv::fill {

const std::array<std::uint32_t, kCoverageSteps + 1>& LogTable() {
    static const auto table = [] {
        std::array<std::uint32_t, kCoverageSteps + 1> t{};
        for (int i = 0; i <= kCoverageSteps; ++i) {
            const double a = static_cast<double>(i) / kCoverageSteps;
            const double l = a >= 1.0 ? kMaxLogPerLine : std::min(kMaxLogPerLine, -std::log1p(-a));
            t[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(l * kLogScale + 0.5);
        }
        return t;
    }();
    return table;
}

const std::vector<std::uint8_t>& AlphaTable() {
    static const auto table = [] {
        std::vector<std::uint8_t> t(kSaturated);
        for (std::uint32_t l = 0; l < kSaturated; ++l) {
            const double a = -std::expm1(-static_cast<double>(l) / kLogScale);
            t[l] = static_cast<std::uint8_t>(std::min(255.0, a * 255.0 + 0.5));
        }
        return t;
    }();
    return table;
}

void PixelTable::SetColour(std::uint32_t rgb) {
    const std::uint32_t r = (rgb >> 16) & 0xFFu, g = (rgb >> 8) & 0xFFu, b = rgb & 0xFFu;
    for (std::uint32_t a = 0; a < 256; ++a) {
        byAlpha_[a] =
            (a << 24) | (((r * a + 127) / 255) << 16) | (((g * a + 127) / 255) << 8) | ((b * a + 127) / 255);
    }
    const std::uint8_t* alphaOf = AlphaTable().data();
    bySum_.resize(kSaturated / kSumStep + 1);
    for (std::size_t i = 0; i < bySum_.size(); ++i) {
        bySum_[i] = byAlpha_[alphaOf[std::min<std::size_t>(i * kSumStep, kSaturated - 1)]];
    }
}

}  // namespace qv::fill
