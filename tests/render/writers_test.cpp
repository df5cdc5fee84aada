#include "writers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "focus_lines.h"
#include "frame_composer.h"
#include "render_test_util.h"

namespace qv::render {
namespace {

using testing::Captured;
using testing::Decoded;
using testing::DecodePng;
using testing::RunInProcess;

// ---- a small JSON reader, enough to take the output apart ----

// An object keeps its keys in order beside its values; an array has values
// only; a number or string keeps its text.
struct Json {
    enum class Kind { kNumber, kString, kArray, kObject } kind = Kind::kNumber;
    std::string text;
    std::vector<std::string> keys;
    std::vector<Json> items;

    const std::vector<Json>& Array() const {
        if (kind != Kind::kArray) throw std::runtime_error("not an array");
        return items;
    }
    const Json& operator[](const std::string& key) const {
        if (kind != Kind::kObject) throw std::runtime_error("not an object");
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == key) return items[i];
        }
        throw std::runtime_error("no key " + key);
    }
    long long Integer() const {
        if (kind != Kind::kNumber) throw std::runtime_error("not a number");
        std::size_t used = 0;
        const long long v = std::stoll(text, &used);
        if (used != text.size()) throw std::runtime_error("not an integer: " + text);
        return v;
    }
    float Float() const {
        if (kind != Kind::kNumber) throw std::runtime_error("not a number");
        return std::strtof(text.c_str(), nullptr);
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : s_(text) {}
    Json Document() {
        Json j = Value();
        Skip();
        if (pos_ != s_.size()) throw std::runtime_error("trailing text at " + std::to_string(pos_));
        return j;
    }

private:
    void Skip() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    void Expect(char c) {
        Skip();
        if (pos_ >= s_.size() || s_[pos_] != c) throw std::runtime_error(std::string("expected ") + c);
        ++pos_;
    }
    bool Peek(char c) {
        Skip();
        return pos_ < s_.size() && s_[pos_] == c;
    }
    std::string String() {
        Expect('"');
        std::string out;
        while (pos_ < s_.size() && s_[pos_] != '"') out += s_[pos_++];
        Expect('"');
        return out;
    }
    Json Value() {
        Skip();
        Json j;
        if (Peek('{')) {
            Expect('{');
            j.kind = Json::Kind::kObject;
            if (!Peek('}')) {
                do {
                    j.keys.push_back(String());
                    Expect(':');
                    j.items.push_back(Value());
                } while (Peek(',') && (Expect(','), true));
            }
            Expect('}');
        } else if (Peek('[')) {
            Expect('[');
            j.kind = Json::Kind::kArray;
            if (!Peek(']')) {
                do {
                    j.items.push_back(Value());
                } while (Peek(',') && (Expect(','), true));
            }
            Expect(']');
        } else if (Peek('"')) {
            j.kind = Json::Kind::kString;
            j.text = String();
        } else {
            const std::size_t start = pos_;
            while (pos_ < s_.size() && std::strchr("+-0123456789.eE", s_[pos_]) != nullptr) ++pos_;
            if (pos_ == start) throw std::runtime_error("bad value at " + std::to_string(pos_));
            j.text = s_.substr(start, pos_ - start);
        }
        return j;
    }

    const std::string& s_;
    std::size_t pos_ = 0;
};

const std::vector<std::string> kJitterOff = {"--density-jitter", "0", "--thickness-jitter", "0",
                                             "--space-jitter",   "0", "--alpha-jitter",     "0"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// ---- JSON ----

TEST(RenderJson, DefaultPictureWithoutJitterHasTheKnownFirstLine) {
    const auto r =
        RunInProcess(With({"--size", "1920x1080", "--seed", "9", "--format", "json", "-o", "-"}, kJitterOff));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json doc = JsonReader(r.out).Document();
    EXPECT_EQ(doc.keys, (std::vector<std::string>{"width", "height", "seed", "constantAlpha", "passes"}));
    EXPECT_EQ(doc["width"].Integer(), 1920);
    EXPECT_EQ(doc["height"].Integer(), 1080);
    EXPECT_EQ(doc["seed"].Integer(), 9);
    EXPECT_EQ(doc["constantAlpha"].Integer(), 255);

    const std::vector<Json>& passes = doc["passes"].Array();
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].keys, (std::vector<std::string>{"spaceValue", "opacity", "triangles"}));
    EXPECT_EQ(passes[0]["spaceValue"].Float(), 100.0f);
    EXPECT_EQ(passes[0]["opacity"].Integer(), 255);

    const std::vector<Json>& triangles = passes[0]["triangles"].Array();
    ASSERT_EQ(triangles.size(), 110u);
    const long long expected[7] = {1010, 540, 3212, 520, 3212, 559, 4278190080LL};
    ASSERT_EQ(triangles[0].Array().size(), 7u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(triangles[0].Array()[i].Integer(), expected[i]) << i;
    for (const Json& t : triangles) ASSERT_EQ(t.Array().size(), 7u);
}

TEST(RenderJson, BlurPassesCarryTheirExactSpaceValuesAndOpacities) {
    const auto r = RunInProcess(
        {"--blur", "20", "--seed", "3", "--size", "640x360", "--alpha", "77", "--format", "json", "-o", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json doc = JsonReader(r.out).Document();
    EXPECT_EQ(doc["constantAlpha"].Integer(), 77);
    const std::vector<Json>& passes = doc["passes"].Array();
    ASSERT_EQ(passes.size(), static_cast<std::size_t>(kBlurPassCount));

    float expected[kBlurPassCount];
    BlurSpaceValues(100.0f, 1.95f, expected);
    for (int k = 0; k < kBlurPassCount; ++k) {
        SCOPED_TRACE(k);
        // The text must give back the very single-precision value.
        EXPECT_EQ(passes[k]["spaceValue"].Float(), expected[k]);
        EXPECT_EQ(passes[k]["opacity"].Integer(), kBlurPassOpacity[k]);
        // Alpha jitter never lifts a line above its pass's opacity.
        for (const Json& t : passes[k]["triangles"].Array()) {
            ASSERT_LE(t.Array()[6].Integer() >> 24, kBlurPassOpacity[k]);
        }
    }
}

TEST(RenderJson, MatchesTheEngineTriangleForTriangle) {
    const auto r = RunInProcess({"--seed", "1234", "--size", "300x200", "--density", "500", "--center",
                                 "-40,900", "--ratio", "0", "--format", "json", "-o", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json doc = JsonReader(r.out).Document();

    EffectSettings s = kStartupSettings;
    s.density = 500;
    s.ratio = 0;
    s.centerX = -40;
    s.centerY = 900;
    RandomSource random;
    random.SeedWith(1234);
    random.SetJitterRanges(s.densityJitter, s.thicknessJitter, s.spaceJitter, s.alphaJitter);
    TriangleRecorder recorder;
    std::uint8_t constantAlpha = 0;
    RenderFrame(kReplaySelector, s, random, 300, 200, constantAlpha, recorder);

    ASSERT_EQ(recorder.passes.size(), 1u);
    const std::vector<Json>& triangles = doc["passes"].Array()[0]["triangles"].Array();
    ASSERT_EQ(triangles.size(), recorder.passes[0].triangles.size());
    ASSERT_EQ(triangles.size(), 3600u);
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        const Triangle& t = recorder.passes[0].triangles[i];
        const long long want[7] = {t.tipX, t.tipY, t.c1X, t.c1Y, t.c2X, t.c2Y, t.argb};
        for (int c = 0; c < 7; ++c) ASSERT_EQ(triangles[i].Array()[c].Integer(), want[c]) << i << ' ' << c;
    }
}

// ---- SVG ----

int Count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

TEST(RenderSvg, OnePolygonPerTriangleInDrawOrder) {
    const auto r = RunInProcess(With(
        {"--seed", "5", "--format", "svg", "-o", "-", "--alpha", "128", "--color", "ff8000"}, kJitterOff));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Count(r.out, "<polygon "), 110);
    EXPECT_NE(r.out.find("width=\"1920\" height=\"1080\" viewBox=\"0 0 1920 1080\""), std::string::npos);
    EXPECT_NE(r.out.find("<g opacity=\"0.501961\""), std::string::npos);  // 128 / 255 on the whole
    const std::string firstLine =
        "<polygon points=\"1010,540 3212,520 3212,559\" fill=\"#ff8000\" fill-opacity=\"1\"/>\n";
    const std::size_t first = r.out.find("<polygon ");
    EXPECT_EQ(r.out.substr(first, firstLine.size()), firstLine);
    EXPECT_NE(r.out.find("</g>\n</svg>\n"), std::string::npos);

    const auto blurred = RunInProcess({"--seed", "5", "--format", "svg", "-o", "-", "--blur", "1"});
    ASSERT_EQ(blurred.exitCode, 0);
    EXPECT_EQ(Count(blurred.out, "<polygon "), 12 * 110);
    // The faintest pass comes first.
    EXPECT_NE(blurred.out.find("fill-opacity=\"0.00784314\""), std::string::npos);
    EXPECT_LT(blurred.out.find("fill-opacity=\"0.00784314\""), blurred.out.find("fill-opacity=\"1\""));
}

TEST(RenderSvg, LineOpacitiesReadBackAsTheirAlphaBytes) {
    TriangleRecorder recorder;
    recorder.BeginPass(PassInfo{100.0f, 255, 0x123456, 3});
    for (std::uint32_t a : {0u, 1u, 127u, 254u})
        recorder.FillTriangle(Triangle{0, 0, 10, 0, 0, 10, (a << 24) | 0x123456});
    Captured out;
    ASSERT_TRUE(WriteSvg(recorder.passes, 10, 10, 255, out.stream()));
    const std::string svg = out.Text();
    std::size_t at = 0;
    for (std::uint32_t a : {0u, 1u, 127u, 254u}) {
        at = svg.find("fill=\"#123456\" fill-opacity=\"", at);
        ASSERT_NE(at, std::string::npos);
        at += std::strlen("fill=\"#123456\" fill-opacity=\"");
        const double opacity = std::strtod(svg.c_str() + at, nullptr);
        EXPECT_EQ(std::lround(opacity * 255.0), static_cast<long>(a));
    }
}

// ---- PNG ----

TEST(RenderPng, StraightAlphaWithTheOverallAlphaAndTransparentElsewhere) {
    for (int alpha : {255, 128}) {
        SCOPED_TRACE(alpha);
        const auto r = RunInProcess(With(
            {"--seed", "5", "-o", "-", "--color", "ff8000", "--alpha", std::to_string(alpha)}, kJitterOff));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Decoded d = DecodePng(r.out);
        ASSERT_EQ(d.width, 1920u);
        ASSERT_EQ(d.height, 1080u);
        // Deep inside line 0, (1010,540)-(3212,520)-(3212,559): full colour at the overall alpha.
        const std::uint8_t* inside = d.At(1900, 540);
        EXPECT_EQ(inside[0], 0xFF);
        EXPECT_EQ(inside[1], 0x80);
        EXPECT_EQ(inside[2], 0x00);
        EXPECT_EQ(inside[3], alpha);
        // The empty centre is transparent, every byte zero.
        const std::uint8_t* centre = d.At(960, 540);
        EXPECT_EQ(centre[0] | centre[1] | centre[2] | centre[3], 0);
    }
}

TEST(RenderPng, EveryPixelKeepsTheLineColourWhereverItIsOpaqueEnough) {
    // All lines share one colour, so after un-premultiplying every visible
    // pixel should show it again, antialiased edges and alpha jitter included.
    const auto r = RunInProcess({"--seed", "77", "--size", "480x270", "-o", "-", "--color", "3d7be0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Decoded d = DecodePng(r.out);
    int checked = 0, transparent = 0;
    for (std::uint32_t y = 0; y < d.height; ++y) {
        for (std::uint32_t x = 0; x < d.width; ++x) {
            const std::uint8_t* p = d.At(x, y);
            if (p[3] == 0) {
                ASSERT_EQ(p[0] | p[1] | p[2], 0) << x << ',' << y;
                ++transparent;
            } else if (p[3] >= 64) {
                ASSERT_NEAR(p[0], 0x3d, 3) << x << ',' << y;
                ASSERT_NEAR(p[1], 0x7b, 3) << x << ',' << y;
                ASSERT_NEAR(p[2], 0xe0, 3) << x << ',' << y;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 10000);
    EXPECT_GT(transparent, 10000);
}

TEST(RenderPng, StraightPixelUndoesPremultiplication) {
    std::uint8_t p[4];
    StraightPixel(0x00000000u, 255, p);
    EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0);
    StraightPixel(0x80402000u, 255, p);  // half-covered (0x80, 0x40, 0x00) premultiplied
    EXPECT_EQ(p[0], 0x80);
    EXPECT_EQ(p[1], 0x40);
    EXPECT_EQ(p[2], 0x00);
    EXPECT_EQ(p[3], 0x80);
    StraightPixel(0xFFFF8000u, 128, p);  // the overall alpha touches alpha only
    EXPECT_EQ(p[0], 0xFF);
    EXPECT_EQ(p[1], 0x80);
    EXPECT_EQ(p[3], 128);
    StraightPixel(0x01010101u, 100, p);  // rounds to no alpha: fully transparent
    EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0);
    StraightPixel(0xFFFFFFFFu, 0, p);  // alpha 0 hides everything
    EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0);
    StraightPixel(0x02FF0000u, 255, p);  // inconsistent input saturates, never wraps
    EXPECT_EQ(p[0], 0xFF);
}

TEST(RenderPng, RowConversionIsStraightPixelForEveryAlphaAndChannelValue) {
    std::vector<std::uint32_t> pixels;
    for (std::uint32_t a = 0; a < 256; ++a) {
        for (std::uint32_t c = 0; c < 256; ++c) {
            pixels.push_back(a << 24 | c << 16 | (255 - c) << 8 | ((c * 7) & 0xFFu));
        }
    }
    std::vector<std::uint8_t> rows(pixels.size() * 4);
    for (int constantAlpha : {0, 1, 128, 254, 255}) {
        SCOPED_TRACE(constantAlpha);
        const auto alpha = static_cast<std::uint8_t>(constantAlpha);
        StraightConverter(alpha).Row(pixels.data(), pixels.size(), rows.data());
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            std::uint8_t expected[4];
            StraightPixel(pixels[i], alpha, expected);
            ASSERT_EQ(std::memcmp(&rows[4 * i], expected, 4), 0) << std::hex << pixels[i];
        }
    }
}

// ---- failing streams ----

TEST(RenderWriters, AFullDeviceIsReportedNotIgnored) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> full(std::fopen("/dev/full", "wb"), &std::fclose);
    if (!full) GTEST_SKIP() << "no /dev/full";
    std::vector<std::uint32_t> pixels(64 * 64, 0xFF000000u);
    Surface surface{pixels.data(), pixels.size() * 4, 64, 64};
    std::string error;
    EXPECT_FALSE(WritePng(surface, 255, full.get(), error));
    EXPECT_NE(error.find("write failed"), std::string::npos) << error;

    TriangleRecorder recorder;
    recorder.BeginPass(PassInfo{100.0f, 255, 0, 1});
    recorder.FillTriangle(Triangle{0, 0, 10, 0, 0, 10, 0xFF000000u});
    EXPECT_FALSE(WriteSvg(recorder.passes, 10, 10, 255, full.get()));
    EXPECT_FALSE(WriteJson(recorder.passes, 10, 10, 1, 255, full.get()));
}

TEST(RenderWriters, PngRefusesASurfaceWithoutPixels) {
    Captured out;
    std::string error;
    EXPECT_FALSE(WritePng(Surface{}, 255, out.stream(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(out.Text().empty());
}

}  // namespace
}  // namespace qv::render
