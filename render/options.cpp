#include "options.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

#include "webp_clip.h"

namespace qv::render {

namespace {

using Setter = void (*)(EffectSettings&, int);
using Getter = int (*)(const EffectSettings&);

// The integer settings: flag, range, how the value lands in the block.
struct IntFlag {
    std::string_view name;
    SettingRange range;
    Setter set;
    Getter get;
    std::string_view help;
};

constexpr IntFlag kIntFlags[] = {
    {"--density", kDensityRange, [](EffectSettings& s, int v) { s.density = static_cast<std::uint16_t>(v); },
     [](const EffectSettings& s) { return static_cast<int>(s.density); },
     "lines around the circle; higher is denser"},
    {"--thickness", kThicknessRange,
     [](EffectSettings& s, int v) { s.thickness = static_cast<std::uint16_t>(v); },
     [](const EffectSettings& s) { return static_cast<int>(s.thickness); },
     "width of each line at its outer end"},
    {"--space", kSpaceRange, [](EffectSettings& s, int v) { s.space = static_cast<std::uint16_t>(v); },
     [](const EffectSettings& s) { return static_cast<int>(s.space); }, "size of the empty centre"},
    {"--ratio", kRatioRange, [](EffectSettings& s, int v) { s.ratio = static_cast<std::uint16_t>(v); },
     [](const EffectSettings& s) { return static_cast<int>(s.ratio); }, "below 500 wider, above 500 taller"},
    {"--alpha", kColorByteRange, [](EffectSettings& s, int v) { s.alpha = static_cast<std::uint8_t>(v); },
     [](const EffectSettings& s) { return static_cast<int>(s.alpha); }, "overall opacity"},
    {"--density-jitter", kDensityJitterRange, [](EffectSettings& s, int v) { s.densityJitter = v; },
     [](const EffectSettings& s) { return s.densityJitter; }, "angle variation, percent; 0 off"},
    {"--thickness-jitter", kThicknessJitterRange, [](EffectSettings& s, int v) { s.thicknessJitter = v; },
     [](const EffectSettings& s) { return s.thicknessJitter; }, "width variation, percent; 0 off"},
    {"--space-jitter", kSpaceJitterRange, [](EffectSettings& s, int v) { s.spaceJitter = v; },
     [](const EffectSettings& s) { return s.spaceJitter; }, "inner-end variation, percent; 0 off"},
    {"--alpha-jitter", kAlphaJitterRange, [](EffectSettings& s, int v) { s.alphaJitter = v; },
     [](const EffectSettings& s) { return s.alphaJitter; }, "per-line opacity variation, percent; 0 off"},
    {"--blur", kBlurLevelRange, [](EffectSettings& s, int v) { s.blurLevel = v; },
     [](const EffectSettings& s) { return s.blurLevel; }, "fade-in of the inner ends; 0 off"},
};

// The renderer's own counts: flag, range, field, and what the count is.
struct CountFlag {
    std::string_view name;
    SettingRange range;
    int RenderOptions::*field;
    std::string_view what;
};

constexpr CountFlag kCountFlags[] = {
    {"--bench", kBenchFramesRange, &RenderOptions::benchFrames, "a frame count"},
    {"--frames", kFramesRange, &RenderOptions::frames, "a frame count"},
    {"--hold", kHoldRange, &RenderOptions::hold, "frames per pattern"},
    {"--fps", kFpsRange, &RenderOptions::fps, "frames per second"},
};

constexpr OutputFormat kFormats[] = {OutputFormat::kPng, OutputFormat::kSvg, OutputFormat::kJson,
                                     OutputFormat::kWebp, OutputFormat::kRgba};

constexpr std::uint32_t kRgbMask = 0xFFFFFFu;
constexpr std::size_t kRgbDigits = 6;

// Whole-string decimal integer: no sign other than a leading '-', no
// spaces, no trailing junk; false on overflow.
bool ParseInteger(std::string_view text, long long& value) noexcept {
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last;
}

bool ParseInRange(std::string_view text, long long min, long long max, long long& value) noexcept {
    return ParseInteger(text, value) && value >= min && value <= max;
}

bool ParseHexColour(std::string_view text, std::uint32_t& rgb) noexcept {
    if (!text.empty() && text.front() == '#') text.remove_prefix(1);
    if (text.size() != kRgbDigits) return false;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), rgb, 16);
    return ec == std::errc() && ptr == text.data() + text.size() && rgb <= kRgbMask;
}

bool SplitPair(std::string_view text, char separator, std::string_view& a, std::string_view& b) noexcept {
    const std::size_t at = text.find(separator);
    if (at == std::string_view::npos) return false;
    a = text.substr(0, at);
    b = text.substr(at + 1);
    return true;
}

std::string Quoted(std::string_view v) { return "'" + std::string(v) + "'"; }

std::string RangeText(SettingRange r) { return std::to_string(r.min) + ".." + std::to_string(r.max); }

constexpr long long kCentreMin = std::numeric_limits<std::int32_t>::min();
constexpr long long kCentreMax = std::numeric_limits<std::int32_t>::max();
constexpr long long kSeedMax = std::numeric_limits<std::uint32_t>::max();

// What a flag accepts, as its complaints say it.
std::string Accepted(std::string_view flag, const IntFlag* intFlag, const CountFlag* countFlag) {
    if (intFlag != nullptr) return "an integer in " + RangeText(intFlag->range);
    if (countFlag != nullptr) return std::string(countFlag->what) + " in " + RangeText(countFlag->range);
    if (flag == "--size") return "WIDTHxHEIGHT, each side an integer in " + RangeText(kPictureSideRange);
    if (flag == "--center") {
        return "X,Y, two integers in " + std::to_string(kCentreMin) + ".." + std::to_string(kCentreMax);
    }
    if (flag == "--seed") return "an integer in 0.." + std::to_string(kSeedMax);
    if (flag == "--color") return "six hex digits RRGGBB (000000..FFFFFF)";
    if (flag == "--format") return "png, svg, json, webp or rgba";
    return "a file name, or - for standard output";  // --output
}

// Which outputs can hold more than one frame, how a PNG names them, and
// how large a WebP may be.
std::string CheckFrames(RenderOptions& o) {
    if (o.format == OutputFormat::kPng && o.output != kStdoutName) o.frameNames = ParseFrameNumber(o.output);
    if (o.format == OutputFormat::kWebp && (o.width > kWebpMaxSide || o.height > kWebpMaxSide)) {
        return "--size: a WebP is at most " + std::to_string(kWebpMaxSide) + " pixels a side; got " +
               std::to_string(o.width) + "x" + std::to_string(o.height);
    }
    if (o.frames == 1) return {};
    if (o.format == OutputFormat::kSvg || o.format == OutputFormat::kJson) {
        return "--frames: " + std::string(FormatName(o.format)) + " holds one frame; for " +
               std::to_string(o.frames) + " frames use png with a frame number, webp or rgba";
    }
    if (o.format == OutputFormat::kPng && !o.frameNames) {
        return "-o/--output: " + std::to_string(o.frames) +
               " PNG frames need one frame number, %d or %0Nd, " +
               "in the file name (such as lines_%04d.png); got " + Quoted(o.output);
    }
    return {};
}

std::string Label(std::string_view flag) { return flag == "--output" ? "-o/--output" : std::string(flag); }

}  // namespace

std::string_view FormatName(OutputFormat f) noexcept {
    switch (f) {
        case OutputFormat::kSvg:
            return "svg";
        case OutputFormat::kJson:
            return "json";
        case OutputFormat::kWebp:
            return "webp";
        case OutputFormat::kRgba:
            return "rgba";
        default:
            return "png";
    }
}

std::optional<OutputFormat> FormatFromExtension(std::string_view path) noexcept {
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) return std::nullopt;
    std::string ext(name.substr(dot + 1));
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (OutputFormat f : kFormats) {
        if (ext == FormatName(f)) return f;
    }
    return std::nullopt;
}

namespace {

// What the flags said beyond the options themselves.
struct Given {
    bool center = false;
    std::optional<OutputFormat> format;
    std::optional<std::string> output;
};

// Stores one flag's value; false when the flag does not accept it.
bool ApplyValue(std::string_view flag, std::string_view value, const IntFlag* intFlag,
                const CountFlag* countFlag, RenderOptions& o, Given& given) {
    long long n = 0;
    if (intFlag != nullptr) {
        if (!ParseInRange(value, intFlag->range.min, intFlag->range.max, n)) {
            return false;
        }
        intFlag->set(o.settings, static_cast<int>(n));
    } else if (countFlag != nullptr) {
        if (!ParseInRange(value, countFlag->range.min, countFlag->range.max, n)) {
            return false;
        }
        o.*(countFlag->field) = static_cast<int>(n);
    } else if (flag == "--size") {
        std::string_view w, h;
        long long wn = 0, hn = 0;
        if (!SplitPair(value, 'x', w, h) ||
            !ParseInRange(w, kPictureSideRange.min, kPictureSideRange.max, wn) ||
            !ParseInRange(h, kPictureSideRange.min, kPictureSideRange.max, hn)) {
            return false;
        }
        o.width = static_cast<std::int32_t>(wn);
        o.height = static_cast<std::int32_t>(hn);
    } else if (flag == "--center") {
        std::string_view x, y;
        long long xn = 0, yn = 0;
        if (!SplitPair(value, ',', x, y) || !ParseInRange(x, kCentreMin, kCentreMax, xn) ||
            !ParseInRange(y, kCentreMin, kCentreMax, yn)) {
            return false;
        }
        o.settings.centerX = static_cast<std::int32_t>(xn);
        o.settings.centerY = static_cast<std::int32_t>(yn);
        given.center = true;
    } else if (flag == "--seed") {
        if (!ParseInRange(value, 0, kSeedMax, n)) {
            return false;
        }
        o.seed = static_cast<std::uint32_t>(n);
    } else if (flag == "--color") {
        std::uint32_t rgb = 0;
        if (!ParseHexColour(value, rgb)) {
            return false;
        }
        o.settings.red = static_cast<std::uint8_t>(rgb >> 16);
        o.settings.green = static_cast<std::uint8_t>(rgb >> 8);
        o.settings.blue = static_cast<std::uint8_t>(rgb);
    } else if (flag == "--format") {
        std::optional<OutputFormat> f;
        for (OutputFormat candidate : kFormats) {
            if (value == FormatName(candidate)) f = candidate;
        }
        if (!f) return false;
        given.format = f;
    } else if (flag == "--output") {
        if (value.empty()) return false;
        given.output = std::string(value);
    }
    return true;
}

// The output's name and format, from -o, --format and --frames; an error
// message, or empty.
std::string ResolveOutput(RenderOptions& o, const Given& given) {
    if (o.benchFrames > 0) {
        if (given.output) return "--bench: writes no file; leave out -o/--output";
    } else if (!given.output) {
        o.format = given.format.value_or(OutputFormat::kPng);
        const bool numbered = o.format == OutputFormat::kPng && o.frames > 1;
        o.output = std::string(kDefaultOutputStem) + std::string(numbered ? kDefaultFrameNumber : "") + "." +
                   std::string(FormatName(o.format));
    } else {
        o.output = *given.output;
        std::optional<OutputFormat> f = given.format;
        if (!f)
            f = o.output == kStdoutName ? std::optional(OutputFormat::kPng) : FormatFromExtension(o.output);
        if (!f) {
            return "--format: cannot tell the format from " + Quoted(o.output) +
                   "; give --format png, svg, json, webp or rgba, or end the name in one of them";
        }
        o.format = *f;
    }
    return o.benchFrames == 0 ? CheckFrames(o) : std::string();
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
    ParseResult result;
    RenderOptions& o = result.options;
    Given given;

    auto fail = [&result](std::string message) {
        result.status = ParseStatus::kError;
        result.error = std::move(message);
        return result;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.status = ParseStatus::kHelp;
            return result;
        }
        if (arg == "--version") {
            result.status = ParseStatus::kVersion;
            return result;
        }
        if (arg == "--quiet" || arg == "-q") {
            o.quiet = true;
            continue;
        }

        // Every other flag takes a value, either "--flag=value" or "--flag value".
        std::string_view flag = arg;
        std::string_view value;
        bool inlineValue = false;
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            const std::size_t eq = arg.find('=');
            if (eq != std::string_view::npos) {
                flag = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                inlineValue = true;
            }
        }
        if (flag == "-o") flag = "--output";

        const IntFlag* intFlag = nullptr;
        for (const IntFlag& f : kIntFlags) {
            if (f.name == flag) intFlag = &f;
        }
        const CountFlag* countFlag = nullptr;
        for (const CountFlag& f : kCountFlags) {
            if (f.name == flag) countFlag = &f;
        }
        const bool known = intFlag != nullptr || countFlag != nullptr || flag == "--size" ||
                           flag == "--center" || flag == "--seed" || flag == "--color" ||
                           flag == "--format" || flag == "--output";
        if (!known) {
            if (arg.empty() || arg.front() != '-' || arg == kStdoutName) {
                return fail("unexpected argument " + Quoted(arg) + " (the output file goes after -o)");
            }
            return fail("unknown flag " + Quoted(flag) + " (see --help)");
        }
        if (!inlineValue) {
            if (i + 1 >= args.size())
                return fail(Label(flag) + ": missing value; expected " + Accepted(flag, intFlag, countFlag));
            value = args[++i];
        }

        if (!ApplyValue(flag, value, intFlag, countFlag, o, given)) {
            return fail(Label(flag) + ": expected " + Accepted(flag, intFlag, countFlag) + ", got " +
                        Quoted(value));
        }
    }

    if (std::string error = ResolveOutput(o, given); !error.empty()) return fail(std::move(error));
    if (!given.center) {
        o.settings.centerX = o.width / 2;
        o.settings.centerY = o.height / 2;
    }
    return result;
}

std::string HelpText() {
    std::string text =
        "Usage: quorvane-render [FLAGS] [-o FILE]\n"
        "Draws focus lines (manga speed lines) converging on a point into a PNG, SVG or JSON file,\n"
        "or a clip of new patterns as numbered PNGs, an animated WebP or raw RGBA frames.\n"
        "\n"
        "Picture:\n";
    char line[160];
    for (const IntFlag& f : kIntFlags) {
        std::snprintf(line, sizeof line, "  %-20s %-12s default %-6d %.*s\n", std::string(f.name).c_str(),
                      RangeText(f.range).c_str(), f.get(kStartupSettings), static_cast<int>(f.help.size()),
                      f.help.data());
        text += line;
    }
    std::snprintf(line, sizeof line, "  %-20s %-12s default %06X line colour, hex\n", "--color RRGGBB", "",
                  static_cast<unsigned>((kStartupSettings.red << 16) | (kStartupSettings.green << 8) |
                                        kStartupSettings.blue));
    text += line;
    std::snprintf(line, sizeof line, "  %-20s %-12s default %dx%d, each side %s\n", "--size WxH", "",
                  kDefaultWidth, kDefaultHeight, RangeText(kPictureSideRange).c_str());
    text += line;
    text +=
        "  --center X,Y                      default the middle of the picture; any integers\n"
        "  --seed N                          0..4294967295; default a new seed from the millisecond\n"
        "                                    tick count, printed to stderr so the picture can be made again\n"
        "\n"
        "Output:\n"
        "  -o, --output FILE                 the file to write, - for standard output;\n"
        "                                    default quorvane.png (or .svg, .json, .webp, .rgba after\n"
        "                                    --format, quorvane_%04d.png for a PNG clip)\n"
        "  --format png|svg|json|webp|rgba   default from the output's extension (png for -)\n"
        "  -q, --quiet                       no progress line and no seed line\n"

        "  --bench N                         render N frames in memory, write nothing, print the\n"
        "                                    median milliseconds per frame\n"
        "  --help, --version\n"
        "\n"
        "Clips (png with a frame number such as lines_%04d.png, webp, rgba):\n"
        "  --frames N           1..10000     default 1      frame i draws with seed S + i / K\n"
        "  --hold K             1..1000      default 1      show each pattern K frames (2: on twos)\n"
        "  --fps F              1..120       default 12     frame rate stored in the WebP\n"
        "\n"
        "Exit codes: 0 done, 1 not enough memory, 2 bad input or an output that cannot be written.\n";
    return text;
}

}  // namespace qv::render
