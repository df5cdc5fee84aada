#include "renderer.h"

#include <gtest/gtest.h>

#include <fstream>

#include "render_test_util.h"

namespace qv::render {
namespace {

using testing::CountLines;
using testing::ExeResult;
using testing::ReadFile;
using testing::RunExe;
using testing::RunInProcess;
using testing::ScratchDir;

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";

TEST(Renderer, WithoutASeedTheTickCountIsUsedAndToldSoThePictureCanBeMadeAgain) {
    const auto first = RunInProcess({"--format", "json", "-o", "-", "--size", "200x100"});
    ASSERT_EQ(first.exitCode, kExitOk);
    EXPECT_NE(first.err.find("seed 424242"), std::string::npos) << first.err;
    EXPECT_NE(first.err.find("--seed 424242"), std::string::npos) << first.err;
    EXPECT_EQ(CountLines(first.err), 1);
    EXPECT_NE(first.out.find("\"seed\":424242,"), std::string::npos);

    const auto again = RunInProcess({"--format", "json", "-o", "-", "--size", "200x100", "--seed", "424242"});
    ASSERT_EQ(again.exitCode, kExitOk);
    EXPECT_TRUE(again.err.empty()) << again.err;
    EXPECT_EQ(again.out, first.out);

    const auto other = RunInProcess({"--format", "json", "-o", "-", "--size", "200x100", "--seed", "1"});
    EXPECT_NE(other.out, first.out);
}

TEST(Renderer, TheSameSeedGivesTheSameBytesInEveryFormat) {
    for (const char* format : {"png", "svg", "json"}) {
        SCOPED_TRACE(format);
        const std::vector<std::string> args = {"--seed",  "99",       "--blur", "4",  "--size",
                                               "320x200", "--format", format,   "-o", "-"};
        const auto a = RunInProcess(args);
        const auto b = RunInProcess(args);
        ASSERT_EQ(a.exitCode, kExitOk);
        EXPECT_FALSE(a.out.empty());
        EXPECT_EQ(a.out, b.out);
    }
}

TEST(Renderer, WritesTheFileWholeAndOnlyTheFile) {
    ScratchDir dir;
    const auto r = RunInProcess({"--seed", "1", "--size", "64x48", "-o", dir / "out.png"});
    ASSERT_EQ(r.exitCode, kExitOk) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.png"});
    EXPECT_EQ(ReadFile(dir / "out.png").compare(0, 8, kPngSignature), 0);
}

TEST(Renderer, BadInputIsOneLineExitTwoAndNoFile) {
    ScratchDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {"--density", "501", "-o", dir / "a.png"},
        {"--size", "640", "-o", dir / "a.png"},
        {"--center", "1,2,3", "-o", dir / "a.png"},
        {"--color", "red", "-o", dir / "a.png"},
        {"--frobnicate", "-o", dir / "a.png"},
        {"-o", dir / "a.png", "--alpha"},
        {"-o", dir / "missing/a.png"},
        {"-o", dir.path().string()},
        {"-o", dir / "a.gif"},
        {"--frames", "0", "-o", dir / "a.webp"},
        {"--fps", "0", "-o", dir / "a.webp"},
        {"--hold", "0", "-o", dir / "a.webp"},
        {"--frames", "3", "-o", dir / "a.png"},
        {"--frames", "3", "-o", dir / "a.svg"},
        {"--frames", "3", "--format", "json", "-o", dir / "a.json"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const auto r = RunInProcess(args);
        EXPECT_EQ(r.exitCode, kExitBadInput);
        EXPECT_EQ(CountLines(r.err), 1) << r.err;
        EXPECT_EQ(r.err.rfind("quorvane-render: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty());
        EXPECT_TRUE(dir.Entries().empty());
    }
}

TEST(Renderer, AFullDeviceFailsWithExitTwoAndStaysADevice) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP();
    for (const char* format : {"png", "svg", "json"}) {
        const auto r =
            RunInProcess({"--seed", "1", "--size", "640x480", "--format", format, "-o", "/dev/full"});
        EXPECT_EQ(r.exitCode, kExitBadInput) << format;
        EXPECT_NE(r.err.find("cannot write '/dev/full'"), std::string::npos) << r.err;
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }
}

TEST(Renderer, BenchReportsAMedianAndWritesNothing) {
    ScratchDir dir;
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const auto r = RunInProcess({"--bench", "3", "--size", "128x72", "--seed", "5", "--blur", "2"});
    std::filesystem::current_path(cwd);
    ASSERT_EQ(r.exitCode, kExitOk) << r.err;
    EXPECT_EQ(r.out.rfind("median ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(" ms per frame (3 frames at 128x72)"), std::string::npos) << r.out;
    EXPECT_GE(std::strtod(r.out.c_str() + 7, nullptr), 0.0);
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(Renderer, MedianOfOddAndEvenCounts) {
    EXPECT_EQ(MedianMilliseconds({5.0, 1.0, 3.0}), 3.0);
    EXPECT_EQ(MedianMilliseconds({4.0, 1.0, 3.0, 2.0}), 2.5);
    EXPECT_EQ(MedianMilliseconds({7.0}), 7.0);
    EXPECT_EQ(MedianMilliseconds({}), 0.0);
}

// ---- the real program ----

TEST(RendererProgram, ExitCodesAndStreams) {
    const ExeResult version = RunExe("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "quorvane-render " QV_VERSION "\n");

    const ExeResult help = RunExe("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: quorvane-render"), std::string::npos);
    EXPECT_TRUE(help.err.empty());

    const ExeResult bad = RunExe("--thickness 301");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, "quorvane-render: --thickness: expected an integer in 10..300, got '301'\n");
    EXPECT_TRUE(bad.out.empty());

    const ExeResult png = RunExe("--seed 3 --size 100x50 -o -");
    EXPECT_EQ(png.exitCode, 0) << png.err;
    EXPECT_EQ(png.out.compare(0, 8, kPngSignature), 0);
    EXPECT_TRUE(png.err.empty());
}

TEST(RendererProgram, NotEnoughMemoryIsAMessageAndExitOneNotACrash) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory cannot live under an address-space limit";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the sanitizer's shadow memory cannot live under an address-space limit";
#endif
#endif
    ScratchDir dir;
    // 32767x32767 needs 4 GiB of pixels; allow the process 1 GiB.
    const ExeResult r =
        RunExe("--seed 1 --size 32767x32767 -o '" + (dir / "big.png") + "'", "ulimit -v 1048576; ");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("not enough memory for a 32767x32767 picture"), std::string::npos) << r.err;
    EXPECT_EQ(CountLines(r.err), 1);
    EXPECT_TRUE(dir.Entries().empty());

    // The vector outputs need no pixels, so the same size still works there.
    const ExeResult svg =
        RunExe("--seed 1 --size 32767x32767 -o '" + (dir / "big.json") + "'", "ulimit -v 1048576; ");
    EXPECT_EQ(svg.exitCode, 0) << svg.err;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"big.json"});
}

}  // namespace
}  // namespace qv::render
