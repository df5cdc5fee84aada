// The renderer's command line: flags, their ranges and defaults, and the
// one-line complaints for bad input.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "effect_settings.h"
#include "focus_lines.h"
#include "sequence.h"

namespace qv::render {

inline constexpr SettingRange kPictureSideRange{1, kMaxPictureSide};
inline constexpr SettingRange kBenchFramesRange{1, 100000};
inline constexpr SettingRange kFramesRange{1, 10000};
inline constexpr SettingRange kHoldRange{1, 1000};
inline constexpr SettingRange kFpsRange{1, 120};
inline constexpr int kDefaultFps = 12;
inline constexpr std::int32_t kDefaultWidth = 1920;
inline constexpr std::int32_t kDefaultHeight = 1080;
inline constexpr std::string_view kStdoutName = "-";
inline constexpr std::string_view kDefaultOutputStem = "quorvane";
inline constexpr std::string_view kDefaultFrameNumber = "_%04d";

// kWebp and kRgba carry every frame of a clip in one file; kPng carries one
// frame a file; kSvg and kJson only ever one frame.
enum class OutputFormat { kPng, kSvg, kJson, kWebp, kRgba };

struct RenderOptions {
    EffectSettings settings = kStartupSettings;  // centre filled in from the size unless --center
    std::int32_t width = kDefaultWidth;
    std::int32_t height = kDefaultHeight;
    std::optional<std::uint32_t> seed;
    OutputFormat format = OutputFormat::kPng;
    std::string output;   // a path, or "-" for standard output; empty under --bench
    int benchFrames = 0;  // 0: render to the output
    int frames = 1;
    int hold = 1;  // frames each pattern is shown for
    int fps = kDefaultFps;
    bool quiet = false;                          // no progress line and no seed line
    std::optional<FrameNamePattern> frameNames;  // a PNG output numbered per frame
};

enum class ParseStatus { kRun, kHelp, kVersion, kError };

struct ParseResult {
    ParseStatus status = ParseStatus::kRun;
    RenderOptions options;
    std::string error;  // one line naming the flag and what it accepts, for kError
};

// args excludes the program name.
ParseResult ParseArguments(const std::vector<std::string>& args);

std::string HelpText();
std::string_view FormatName(OutputFormat f) noexcept;

// The format a path's extension names (case-insensitive), if any.
std::optional<OutputFormat> FormatFromExtension(std::string_view path) noexcept;

}  // namespace qv::render
