// A clip's frames: the seed each frame draws with, and the file name a PNG
// sequence gives it from the printf-style frame number in the output name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::render {

// The widest zero padding a frame number may ask for (%0Nd).
inline constexpr int kMaxFrameDigits = 10;

// "lines_%04d.png" as "lines_", 4, ".png"; digits 0 stands for a bare %d.
struct FrameNamePattern {
    std::string before;
    int digits = 0;
    std::string after;
};

// The pattern in the file name part of a path: exactly one %d or %0Nd and
// no other '%'. Anything else, including a name without '%', gives nullopt.
std::optional<FrameNamePattern> ParseFrameNumber(std::string_view path);

std::string FrameFileName(const FrameNamePattern& pattern, int frame);

// Frame i shows pattern floor(i / hold), drawn with seed first + that
// pattern's number, wrapping at 2^32, so each pattern is also the single
// picture of its own seed.
std::uint32_t FrameSeed(std::uint32_t first, int frame, int hold) noexcept;

}  // namespace qv::render
