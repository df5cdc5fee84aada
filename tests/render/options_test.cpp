#include "options.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace qv::render {
namespace {

ParseResult Parse(std::vector<std::string> args) { return ParseArguments(args); }

// The error must be one line that names the flag and, where there is one,
// the accepted range.
void ExpectRejected(const std::vector<std::string>& args, const std::string& flag,
                    const std::string& accepted) {
    const ParseResult r = ParseArguments(args);
    ASSERT_EQ(r.status, ParseStatus::kError) << ::testing::PrintToString(args);
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
    EXPECT_NE(r.error.find(flag), std::string::npos) << r.error;
    EXPECT_NE(r.error.find(accepted), std::string::npos) << r.error;
}

TEST(RenderOptions, DefaultsAreTheStartUpPictureInTheMiddleOf1920x1080) {
    const ParseResult r = Parse({});
    ASSERT_EQ(r.status, ParseStatus::kRun);
    const RenderOptions& o = r.options;
    EXPECT_EQ(o.width, 1920);
    EXPECT_EQ(o.height, 1080);
    EXPECT_EQ(o.settings.centerX, 960);
    EXPECT_EQ(o.settings.centerY, 540);
    EffectSettings expected = kStartupSettings;
    expected.centerX = 960;
    expected.centerY = 540;
    EXPECT_EQ(std::memcmp(&o.settings, &expected, sizeof expected), 0);
    EXPECT_FALSE(o.seed.has_value());
    EXPECT_EQ(o.format, OutputFormat::kPng);
    EXPECT_EQ(o.output, "quorvane.png");
    EXPECT_EQ(o.benchFrames, 0);
}

struct IntCase {
    const char* flag;
    SettingRange range;
    std::function<int(const EffectSettings&)> field;
};

TEST(RenderOptions, EveryIntegerFlagLandsInItsFieldAndKeepsToItsRange) {
    const IntCase cases[] = {
        {"--density", kDensityRange, [](const EffectSettings& s) { return int{s.density}; }},
        {"--thickness", kThicknessRange, [](const EffectSettings& s) { return int{s.thickness}; }},
        {"--space", kSpaceRange, [](const EffectSettings& s) { return int{s.space}; }},
        {"--ratio", kRatioRange, [](const EffectSettings& s) { return int{s.ratio}; }},
        {"--alpha", kColorByteRange, [](const EffectSettings& s) { return int{s.alpha}; }},
        {"--density-jitter", kDensityJitterRange, [](const EffectSettings& s) { return s.densityJitter; }},
        {"--thickness-jitter", kThicknessJitterRange,
         [](const EffectSettings& s) { return s.thicknessJitter; }},
        {"--space-jitter", kSpaceJitterRange, [](const EffectSettings& s) { return s.spaceJitter; }},
        {"--alpha-jitter", kAlphaJitterRange, [](const EffectSettings& s) { return s.alphaJitter; }},
        {"--blur", kBlurLevelRange, [](const EffectSettings& s) { return s.blurLevel; }},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.flag);
        const std::string range = std::to_string(c.range.min) + ".." + std::to_string(c.range.max);
        for (int v : {c.range.min, c.range.max}) {
            const ParseResult spaced = Parse({c.flag, std::to_string(v)});
            ASSERT_EQ(spaced.status, ParseStatus::kRun) << spaced.error;
            EXPECT_EQ(c.field(spaced.options.settings), v);
            const ParseResult joined = Parse({std::string(c.flag) + "=" + std::to_string(v)});
            ASSERT_EQ(joined.status, ParseStatus::kRun) << joined.error;
            EXPECT_EQ(c.field(joined.options.settings), v);
        }
        ExpectRejected({c.flag, std::to_string(c.range.min - 1)}, c.flag, range);
        ExpectRejected({c.flag, std::to_string(c.range.max + 1)}, c.flag, range);
        for (const char* junk :
             {"abc", "12x", " 12", "12 ", "1.5", "+12", "", "99999999999999999999999", "0x10"}) {
            ExpectRejected({c.flag, junk}, c.flag, range);
        }
        ExpectRejected({c.flag}, c.flag, "missing value");
    }
}

TEST(RenderOptions, SizeTakesBothSidesInRangeAndMovesTheDefaultCentre) {
    ParseResult r = Parse({"--size", "1x1"});
    ASSERT_EQ(r.status, ParseStatus::kRun);
    EXPECT_EQ(r.options.width, 1);
    EXPECT_EQ(r.options.height, 1);
    EXPECT_EQ(r.options.settings.centerX, 0);

    r = Parse({"--size=32767x32767"});
    ASSERT_EQ(r.status, ParseStatus::kRun);
    EXPECT_EQ(r.options.width, 32767);

    // Integer division for odd sides.
    r = Parse({"--size", "1921x1081"});
    EXPECT_EQ(r.options.settings.centerX, 960);
    EXPECT_EQ(r.options.settings.centerY, 540);

    for (const char* bad : {"0x10", "10x0", "32768x10", "10x32768", "100", "100x", "x100", "10x10x10", "-1x5",
                            "10X10", "10 x10", "1e3x10", "4294967297x1"}) {
        ExpectRejected({"--size", bad}, "--size", "1..32767");
    }
}

TEST(RenderOptions, CentreAcceptsAnySigned32BitPairWhereverItComes) {
    // Given before --size, it is not overwritten by the default middle.
    ParseResult r = Parse({"--center", "-5,7", "--size", "100x100"});
    ASSERT_EQ(r.status, ParseStatus::kRun);
    EXPECT_EQ(r.options.settings.centerX, -5);
    EXPECT_EQ(r.options.settings.centerY, 7);

    r = Parse({"--center=2147483647,-2147483648"});
    ASSERT_EQ(r.status, ParseStatus::kRun);
    EXPECT_EQ(r.options.settings.centerX, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(r.options.settings.centerY, std::numeric_limits<std::int32_t>::min());

    for (const char* bad :
         {"2147483648,0", "0,-2147483649", "1", "1;2", "1,2,3", ",2", "1,", "a,b", "1 ,2"}) {
        ExpectRejected({"--center", bad}, "--center", "X,Y");
    }
}

TEST(RenderOptions, SeedCoversTheUnsigned32BitRange) {
    ParseResult r = Parse({"--seed", "0"});
    ASSERT_EQ(r.status, ParseStatus::kRun);
    ASSERT_TRUE(r.options.seed.has_value());
    EXPECT_EQ(*r.options.seed, 0u);
    r = Parse({"--seed", "4294967295"});
    ASSERT_TRUE(r.options.seed.has_value());
    EXPECT_EQ(*r.options.seed, 4294967295u);
    for (const char* bad : {"-1", "4294967296", "18446744073709551616", "12a", ""}) {
        ExpectRejected({"--seed", bad}, "--seed", "0..4294967295");
    }
}

TEST(RenderOptions, ColourIsSixHexDigits) {
    ParseResult r = Parse({"--color", "ff8000"});
    ASSERT_EQ(r.status, ParseStatus::kRun);
    EXPECT_EQ(r.options.settings.red, 255);
    EXPECT_EQ(r.options.settings.green, 128);
    EXPECT_EQ(r.options.settings.blue, 0);
    EXPECT_EQ(r.options.settings.alpha, 255);  // the overall alpha is --alpha's alone

    r = Parse({"--color", "#0A0b0C"});
    ASSERT_EQ(r.status, ParseStatus::kRun);
    EXPECT_EQ(r.options.settings.red, 10);
    EXPECT_EQ(r.options.settings.green, 11);
    EXPECT_EQ(r.options.settings.blue, 12);

    for (const char* bad :
         {"fff", "ff80001", "gg0000", "-12345", "+12345", "0x1234", " ff800", "##ff8000", ""}) {
        ExpectRejected({"--color", bad}, "--color", "RRGGBB");
    }
}

TEST(RenderOptions, FormatComesFromTheFlagOrTheExtension) {
    EXPECT_EQ(Parse({"-o", "a/b.svg"}).options.format, OutputFormat::kSvg);
    EXPECT_EQ(Parse({"-o", "x.JSON"}).options.format, OutputFormat::kJson);
    EXPECT_EQ(Parse({"--output", "x.png"}).options.format, OutputFormat::kPng);
    EXPECT_EQ(Parse({"--output=x.png"}).options.output, "x.png");
    // The flag wins over the extension, before or after -o.
    EXPECT_EQ(Parse({"-o", "x.png", "--format", "json"}).options.format, OutputFormat::kJson);
    EXPECT_EQ(Parse({"--format=svg", "-o", "x.png"}).options.format, OutputFormat::kSvg);
    // Standard output has no extension: PNG unless told otherwise.
    const ParseResult stdoutPng = Parse({"-o", "-"});
    EXPECT_EQ(stdoutPng.options.output, "-");
    EXPECT_EQ(stdoutPng.options.format, OutputFormat::kPng);
    EXPECT_EQ(Parse({"-o", "-", "--format", "svg"}).options.format, OutputFormat::kSvg);
    // Without -o the default name follows the format.
    EXPECT_EQ(Parse({"--format", "json"}).options.output, "quorvane.json");
    EXPECT_EQ(Parse({"-o", "clip.WebP"}).options.format, OutputFormat::kWebp);
    EXPECT_EQ(Parse({"-o", "frames.rgba"}).options.format, OutputFormat::kRgba);
    EXPECT_EQ(Parse({"--format", "rgba"}).options.output, "quorvane.rgba");

    ExpectRejected({"-o", "picture.txt"}, "--format", "png, svg, json, webp or rgba");
    ExpectRejected({"-o", "dir.png/picture"}, "--format", "png, svg, json, webp or rgba");
    ExpectRejected({"-o", ".png"}, "--format", "png, svg, json, webp or rgba");
    ExpectRejected({"--format", "bmp"}, "--format", "png, svg, json, webp or rgba");
    ExpectRejected({"--format", "PNG"}, "--format", "png, svg, json, webp or rgba");
    ExpectRejected({"-o", ""}, "--output", "file name");
    ExpectRejected({"-o"}, "--output", "missing value");
}

TEST(RenderOptions, UnknownFlagsAndStrayArgumentsAreRefused) {
    ExpectRejected({"--densty", "100"}, "'--densty'", "--help");
    ExpectRejected({"-x"}, "'-x'", "--help");
    ExpectRejected({"--density=100", "out.png"}, "'out.png'", "-o");
    ExpectRejected({"--seed=1", "--bogus=3"}, "'--bogus'", "--help");
}

TEST(RenderOptions, HelpAndVersionStopParsing) {
    EXPECT_EQ(Parse({"--help"}).status, ParseStatus::kHelp);
    EXPECT_EQ(Parse({"--density", "100", "-h"}).status, ParseStatus::kHelp);
    EXPECT_EQ(Parse({"--version", "--bogus"}).status, ParseStatus::kVersion);
    // A bad flag before --help is still reported.
    EXPECT_EQ(Parse({"--density", "5", "--help"}).status, ParseStatus::kError);
}

TEST(RenderOptions, BenchCountsFramesAndWritesNoFile) {
    const ParseResult r = Parse({"--bench", "7", "--density", "500"});
    ASSERT_EQ(r.status, ParseStatus::kRun);
    EXPECT_EQ(r.options.benchFrames, 7);
    EXPECT_TRUE(r.options.output.empty());
    ExpectRejected({"--bench", "0"}, "--bench", "1..100000");
    ExpectRejected({"--bench", "100001"}, "--bench", "1..100000");
    ExpectRejected({"--bench", "3", "-o", "x.png"}, "--bench", "-o/--output");
}

TEST(RenderOptions, ClipFlagsKeepToTheirRangesAndToOutputsThatHoldFrames) {
    const ParseResult r = Parse({"--frames", "10000", "--hold=1000", "--fps", "120", "-q", "-o", "c.webp"});
    ASSERT_EQ(r.status, ParseStatus::kRun) << r.error;
    EXPECT_EQ(r.options.frames, 10000);
    EXPECT_EQ(r.options.hold, 1000);
    EXPECT_EQ(r.options.fps, 120);
    EXPECT_TRUE(r.options.quiet);
    ExpectRejected({"--frames", "10001"}, "--frames", "1..10000");
    ExpectRejected({"--hold", "1001"}, "--hold", "1..1000");
    ExpectRejected({"--fps", "121"}, "--fps", "1..120");

    // A PNG clip without -o is numbered; one with -o must say where the number goes.
    const ParseResult numbered = Parse({"--frames", "2"});
    ASSERT_EQ(numbered.status, ParseStatus::kRun) << numbered.error;
    EXPECT_EQ(numbered.options.output, "quorvane_%04d.png");
    ASSERT_TRUE(numbered.options.frameNames);
    EXPECT_EQ(FrameFileName(*numbered.options.frameNames, 1), "quorvane_0001.png");
    ExpectRejected({"--frames", "2", "-o", "-"}, "-o/--output", "%0Nd");
    ExpectRejected({"--frames", "2", "-o", "f%5d.png"}, "-o/--output", "%0Nd");
    ExpectRejected({"--frames", "2", "--format", "svg"}, "--frames", "svg holds one frame");
    ExpectRejected({"--size", "16384x10", "-o", "c.webp"}, "--size", "at most 16383");
}

TEST(RenderOptions, HelpListsEveryFlagWithItsRange) {
    const std::string help = HelpText();
    for (const char* needle : {"--density",
                               "10..500",
                               "--thickness",
                               "10..300",
                               "--space ",
                               "10..800",
                               "--ratio",
                               "0..1000",
                               "--color RRGGBB",
                               "--alpha ",
                               "0..255",
                               "--density-jitter",
                               "--thickness-jitter",
                               "--space-jitter",
                               "0..200",
                               "--alpha-jitter",
                               "--blur",
                               "0..20",
                               "--size WxH",
                               "1..32767",
                               "--center X,Y",
                               "--seed N",
                               "--format",
                               "-o, --output",
                               "--bench N",
                               "--frames N",
                               "--hold K",
                               "--fps F",
                               "--quiet",
                               "--version"}) {
        EXPECT_NE(help.find(needle), std::string::npos) << needle;
    }
}

}  // namespace
}  // namespace qv::render
