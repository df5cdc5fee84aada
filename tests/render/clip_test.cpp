#include "clip.h"

#include <gtest/gtest.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <filesystem>
#include <fstream>

#include "progress.h"
#include "render_test_util.h"
#include "sequence.h"

namespace qv::render {
namespace {

using testing::Captured;
using testing::CountLines;
using testing::Decoded;
using testing::DecodePng;
using testing::ExeResult;
using testing::ReadFile;
using testing::RunExe;
using testing::RunInProcess;
using testing::ScratchDir;

constexpr int kW = 64, kH = 48;
// A small empty centre, so a 64x48 frame has lines in it.
const std::vector<std::string> kSmall = {"--size", "64x48", "--space", "10", "--blur", "2"};

std::vector<std::string> With(std::vector<std::string> args) {
    args.insert(args.end(), kSmall.begin(), kSmall.end());
    return args;
}

// The single picture of one seed, as the PNG file the renderer writes.
std::string SinglePng(std::uint32_t seed, std::vector<std::string> more = {}) {
    more.insert(more.end(), {"--seed", std::to_string(seed), "-o", "-"});
    const auto r = RunInProcess(With(more));
    EXPECT_EQ(r.exitCode, kExitOk) << r.err;
    return r.out;
}

TEST(ClipNames, OnlyOnePercentDOrZeroPaddedPercentDInTheFileName) {
    const auto plain = ParseFrameNumber("out/f%d.png");
    ASSERT_TRUE(plain);
    EXPECT_EQ(FrameFileName(*plain, 7), "out/f7.png");
    EXPECT_EQ(FrameFileName(*plain, 10000), "out/f10000.png");
    const auto padded = ParseFrameNumber("a%b/lines_%04d.png");  // a '%' in a folder is only a name
    ASSERT_TRUE(padded);
    EXPECT_EQ(FrameFileName(*padded, 12), "a%b/lines_0012.png");
    EXPECT_EQ(FrameFileName(*padded, 123456), "a%b/lines_123456.png");
    for (const char* bad : {"f.png", "f%.png", "f%5d.png", "f%00d.png", "f%011d.png", "f%s.png", "f%%d.png",
                            "f%d_%d.png", "f%d%.png", "f%ld.png", "f%-4d.png"}) {
        EXPECT_FALSE(ParseFrameNumber(bad)) << bad;
    }
    // One frame under a name that is no pattern keeps the name as it stands.
    const auto one = RunInProcess(With({"--seed", "1", "-o", "-"}));
    ScratchDir dir;
    ASSERT_EQ(RunInProcess(With({"--seed", "1", "-o", dir / "50%.png"})).exitCode, kExitOk);
    EXPECT_EQ(ReadFile(dir / "50%.png"), one.out);
}

TEST(ClipFrames, EachPngFrameIsTheSinglePictureOfItsSeedAndHeldPatternsRepeat) {
    ScratchDir dir;
    // Starts two below 2^32, so the third pattern wraps to seed 0.
    const auto r = RunInProcess(
        With({"--seed", "4294967294", "--frames", "5", "--hold", "2", "-o", dir / "f_%02d.png"}));
    ASSERT_EQ(r.exitCode, kExitOk) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    auto names = dir.Entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"f_00.png", "f_01.png", "f_02.png", "f_03.png", "f_04.png"}));
    const std::string seeds[] = {SinglePng(4294967294u), SinglePng(4294967295u), SinglePng(0)};
    for (int i = 0; i < 5; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f_%02d.png", i);
        EXPECT_EQ(ReadFile(dir / name), seeds[i / 2]) << name;
    }
    EXPECT_NE(seeds[0], seeds[1]);
}

TEST(ClipFrames, RawFramesAreTheStraightPixelsOfEachSeedOneAfterAnother) {
    const auto r = RunInProcess(
        With({"--seed", "40", "--frames", "3", "--alpha", "128", "--format", "rgba", "-o", "-"}));
    ASSERT_EQ(r.exitCode, kExitOk) << r.err;
    const std::size_t frameBytes = std::size_t{kW} * kH * 4;
    ASSERT_EQ(r.out.size(), 3 * frameBytes);
    for (std::uint32_t i = 0; i < 3; ++i) {
        const Decoded png = DecodePng(SinglePng(40 + i, {"--alpha", "128"}));
        EXPECT_EQ(std::memcmp(r.out.data() + i * frameBytes, png.rgba.data(), frameBytes), 0) << i;
    }
}

struct WebpFrame {
    int endMs;  // the decoder's timestamp: when the frame stops showing
    std::vector<std::uint8_t> rgba;
};

std::vector<WebpFrame> DecodeWebp(const std::string& bytes, WebPAnimInfo& info) {
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    const WebPData data{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (decoder == nullptr) throw std::runtime_error("not a WebP");
    WebPAnimDecoderGetInfo(decoder, &info);
    std::vector<WebpFrame> frames;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        std::uint8_t* pixels = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder, &pixels, &timestamp)) break;
        frames.push_back({timestamp, std::vector<std::uint8_t>(pixels, pixels + std::size_t{kW} * kH * 4)});
    }
    WebPAnimDecoderDelete(decoder);
    return frames;
}

TEST(ClipWebp, DecodesToThePngFramesLoopingWithTheirDurations) {
    struct Case {
        int frames, hold, fps;
        std::vector<int> endMs;  // a held pattern is one frame shown hold times as long
    };
    for (const Case& c : {Case{4, 1, 30, {33, 66, 99, 132}}, Case{5, 2, 12, {166, 332, 415}}}) {
        SCOPED_TRACE(c.hold);
        const auto r = RunInProcess(
            With({"--seed", "8", "--frames", std::to_string(c.frames), "--hold", std::to_string(c.hold),
                  "--fps", std::to_string(c.fps), "--format", "webp", "-o", "-"}));
        ASSERT_EQ(r.exitCode, kExitOk) << r.err;
        WebPAnimInfo info{};
        const auto frames = DecodeWebp(r.out, info);
        EXPECT_EQ(info.canvas_width, static_cast<std::uint32_t>(kW));
        EXPECT_EQ(info.canvas_height, static_cast<std::uint32_t>(kH));
        EXPECT_EQ(info.loop_count, 0u);
        ASSERT_EQ(frames.size(), c.endMs.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].endMs, c.endMs[i]) << i;
            EXPECT_EQ(frames[i].rgba, DecodePng(SinglePng(8 + static_cast<std::uint32_t>(i))).rgba) << i;
        }
    }
    // One frame is a still picture, not a one-frame animation.
    const auto still = RunInProcess(With({"--seed", "8", "--format", "webp", "-o", "-"}));
    ASSERT_EQ(still.exitCode, kExitOk);
    WebPBitstreamFeatures features;
    ASSERT_EQ(
        WebPGetFeatures(reinterpret_cast<const std::uint8_t*>(still.out.data()), still.out.size(), &features),
        VP8_STATUS_OK);
    EXPECT_FALSE(features.has_animation);
    EXPECT_TRUE(features.has_alpha);
}

// Every failure: exit 2, one line, no new file, the old files as they were.
void ExpectFailedCleanly(const ExeResult& r, const ScratchDir& dir, const std::vector<std::string>& before,
                         const std::string& why) {
    EXPECT_EQ(r.exitCode, kExitBadInput) << r.err;
    EXPECT_EQ(CountLines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    auto names = dir.Entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, before);
}

TEST(ClipFailures, AFailureHalfWayKeepsNoNewFileAndTheOldOnesUntouched) {
    ScratchDir dir;
    { std::ofstream(dir / "f_1.png") << "old"; }
    // Frame 3's name is taken by a folder: frames 0 to 2 were written, and go.
    std::filesystem::create_directory(dir / "f_3.png");
    const std::vector<std::string> before = {"f_1.png", "f_3.png"};
    const std::string small = " --size 64x48 --space 10 --seed 1 --frames 6 ";
    ExpectFailedCleanly(RunExe(small + "-o '" + (dir / "f_%d.png") + "'"), dir, before,
                        "cannot write '" + (dir / "f_3.png") + "': is a directory");
    EXPECT_EQ(ReadFile(dir / "f_1.png"), "old");

    // A file-size limit stops the one-file clips half way (about 24 KiB of
    // raw frames, and the WebP at its single write).
    ExpectFailedCleanly(RunExe(small + "--frames 50 -o '" + (dir / "c.rgba") + "'", "ulimit -f 24; "), dir,
                        before, "File too large");
    ExpectFailedCleanly(
        RunExe(" --size 320x240 --seed 1 --frames 8 -o '" + (dir / "c.webp") + "'", "ulimit -f 1; "), dir,
        before, "File too large");
    ExpectFailedCleanly(RunExe(small + "-o '" + (dir / "no/f_%d.png") + "'"), dir, before,
                        "No such file or directory");
}

TEST(ClipProgress, ShownOnlyAfterASecondThenErasedBeforeTheLastWords) {
    Captured err;
    auto now = std::chrono::steady_clock::time_point{};
    Progress progress(err.stream(), true, 10, [&now] { return now; });
    now += std::chrono::milliseconds(400);
    progress.FramesDone(2);
    EXPECT_TRUE(err.Text().empty());
    now += std::chrono::milliseconds(1600);  // 4 frames in 2 s: 6 left take 3 s
    progress.FramesDone(4);
    EXPECT_EQ(err.Text(), "\r\033[Kframe 4 of 10, 2.0 frames/s, 3 s left");
    now += std::chrono::milliseconds(50);  // too soon to redraw
    progress.FramesDone(5);
    EXPECT_EQ(CountLines(err.Text()), 0);
    EXPECT_EQ(err.Text().find("frame 5"), std::string::npos);
    progress.Clear();
    EXPECT_EQ(err.Text().substr(err.Text().size() - 4), "\r\033[K");

    Captured quiet;
    Progress off(quiet.stream(), false, 10, [&now] { return now += std::chrono::seconds(5); });
    off.FramesDone(9);
    off.Clear();
    EXPECT_TRUE(quiet.Text().empty());
}

}  // namespace
}  // namespace qv::render
