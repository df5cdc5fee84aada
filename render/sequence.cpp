#include "sequence.h"

#include <cstdio>

namespace qv::render {

namespace {

std::size_t FileNameStart(std::string_view path) noexcept {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

std::optional<FrameNamePattern> ParseFrameNumber(std::string_view path) {
    const std::size_t at = path.find('%', FileNameStart(path));
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t pos = at + 1;
    int digits = 0;
    if (pos < path.size() && path[pos] == '0') {
        ++pos;
        const std::size_t widthStart = pos;
        while (pos < path.size() && path[pos] >= '0' && path[pos] <= '9' && pos - widthStart < 2) {
            digits = digits * 10 + (path[pos] - '0');
            ++pos;
        }
        if (digits < 1 || digits > kMaxFrameDigits) return std::nullopt;
    }
    if (pos >= path.size() || path[pos] != 'd') return std::nullopt;
    const std::string_view after = path.substr(pos + 1);
    if (after.find('%') != std::string_view::npos) return std::nullopt;
    return FrameNamePattern{std::string(path.substr(0, at)), digits, std::string(after)};
}

std::string FrameFileName(const FrameNamePattern& pattern, int frame) {
    char number[2 * kMaxFrameDigits];
    std::snprintf(number, sizeof number, "%0*d", pattern.digits, frame);
    return pattern.before + number + pattern.after;
}

std::uint32_t FrameSeed(std::uint32_t first, int frame, int hold) noexcept {
    return first + static_cast<std::uint32_t>(frame / hold);
}

}  // namespace qv::render
