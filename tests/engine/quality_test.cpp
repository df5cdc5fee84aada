// The frame's pixels against a high-precision reference: the same triangles
// sampled 16 x 16 times per pixel, composited per sample in double precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "frame_accumulator.h"
#include "frame_composer.h"
#include "rasteriser.h"
#include "triangle_recorder.h"

namespace qv {
namespace {

constexpr int kSamples = 16;  // per pixel side

std::uint32_t Seed() noexcept { return 4242; }

struct Case {
    const char* name;
    int width, height;
    int density, space, thickness, ratio;
    int alphaJitter, blur;
};

EffectSettings SettingsFor(const Case& c) {
    EffectSettings s;
    ApplyStartupDefaults(s);
    s.density = static_cast<std::uint16_t>(c.density);
    s.space = static_cast<std::uint16_t>(c.space);
    s.thickness = static_cast<std::uint16_t>(c.thickness);
    s.ratio = static_cast<std::uint16_t>(c.ratio);
    s.alphaJitter = c.alphaJitter;
    s.blurLevel = c.blur;
    s.red = 200;
    s.green = 40;
    s.blue = 90;
    s.centerX = c.width / 2 - 3;
    s.centerY = c.height / 2 + 2;
    return s;
}

RandomSource SourceFor(const EffectSettings& s) {
    RandomSource r(&Seed);
    r.SetJitterRanges(s.densityJitter, s.thicknessJitter, s.spaceJitter, s.alphaJitter);
    return r;
}

std::vector<Triangle> FrameTriangles(const Case& c) {
    const EffectSettings s = SettingsFor(c);
    RandomSource r = SourceFor(s);
    TriangleRecorder rec;
    std::uint8_t constantAlpha = 0;
    RenderFrame(kNewPatternSelector, s, r, c.width, c.height, constantAlpha, rec);
    std::vector<Triangle> all;
    for (const auto& p : rec.passes) all.insert(all.end(), p.triangles.begin(), p.triangles.end());
    return all;
}

// Alpha in [0, 1] per pixel: every sample is inside a triangle or not, the
// samples' transmittances multiply, and the pixel is their mean.
std::vector<double> ReferenceAlpha(const std::vector<Triangle>& triangles, int w, int h) {
    const int sw = w * kSamples, sh = h * kSamples;
    std::vector<double> transmittance(static_cast<std::size_t>(sw) * sh, 1.0);
    for (const Triangle& t : triangles) {
        const double a = (t.argb >> 24) / 255.0;
        const double x[3] = {t.tipX + 0.5, t.c1X + 0.5, t.c2X + 0.5};
        const double y[3] = {t.tipY + 0.5, t.c1Y + 0.5, t.c2Y + 0.5};
        for (int sy = 0; sy < sh; ++sy) {
            const double ys = (sy + 0.5) / kSamples;
            double lo = 1e300, hi = -1e300;
            int crossings = 0;
            for (int e = 0; e < 3; ++e) {
                const int n = (e + 1) % 3;
                const double ya = y[e], yb = y[n];
                if ((ya <= ys && ys < yb) || (yb <= ys && ys < ya)) {
                    const double xs = x[e] + (ys - ya) * (x[n] - x[e]) / (yb - ya);
                    lo = std::min(lo, xs);
                    hi = std::max(hi, xs);
                    ++crossings;
                }
            }
            if (crossings < 2) continue;
            const int first = std::max(0, static_cast<int>(std::ceil(lo * kSamples - 0.5)));
            const int last = std::min(sw - 1, static_cast<int>(std::ceil(hi * kSamples - 0.5)) - 1);
            double* row = transmittance.data() + static_cast<std::size_t>(sy) * sw;
            for (int sx = first; sx <= last; ++sx) row[sx] *= 1.0 - a;
        }
    }
    std::vector<double> alpha(static_cast<std::size_t>(w) * h, 0.0);
    for (int sy = 0; sy < sh; ++sy) {
        for (int sx = 0; sx < sw; ++sx) {
            alpha[static_cast<std::size_t>(sy / kSamples) * w + sx / kSamples] +=
                1.0 - transmittance[static_cast<std::size_t>(sy) * sw + sx];
        }
    }
    for (double& v : alpha) v /= kSamples * kSamples;
    return alpha;
}

struct Error {
    double mean;  // in 1/255
    double p99;
};

Error Compare(const std::vector<std::uint32_t>& pixels, const std::vector<double>& reference) {
    std::vector<double> errors(pixels.size());
    double sum = 0.0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        errors[i] = std::fabs(static_cast<double>(pixels[i] >> 24) - 255.0 * reference[i]);
        sum += errors[i];
    }
    std::sort(errors.begin(), errors.end());
    return {sum / static_cast<double>(pixels.size()), errors[errors.size() * 99 / 100]};
}

std::vector<std::uint32_t> RenderedFrame(const Case& c) {
    const EffectSettings s = SettingsFor(c);
    RandomSource r = SourceFor(s);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.width) * c.height, 0xDEADBEEFu);
    Surface surface{pixels.data(), pixels.size() * 4, c.width, c.height};
    std::uint8_t constantAlpha = 0;
    RenderFrame(kNewPatternSelector, s, r, surface, constantAlpha);
    return pixels;
}

// The benchmark's frames at a quarter of their size: the lines' angles do not
// depend on the size, and the empty centre is scaled by hand. Lines are
// thinner here than at full size, so the fill has the harder task.
const Case kFrames[] = {
    {"defaults", 480, 270, 180, 25, 50, 500, 50, 0},
    {"density500", 480, 270, 500, 25, 50, 500, 0, 0},
    {"density500_alpha50", 480, 270, 500, 25, 50, 500, 50, 0},
    {"density500_blur20", 480, 270, 500, 25, 50, 500, 0, 20},
};

// Other shapes, small: thick sparse lines, stretch with alpha jitter, long
// faint fades.
const Case kShapes[] = {
    {"sparse_wide", 160, 100, 10, 20, 300, 500, 0, 0},
    {"stretched_alpha", 160, 100, 300, 14, 80, 80, 30, 0},
    {"sparse_blur1", 160, 100, 120, 10, 50, 500, 0, 1},
    {"sparse_blur20_alpha", 160, 100, 100, 12, 120, 700, 50, 20},
};

Error Measure(const Case& c) {
    const Error e = Compare(RenderedFrame(c), ReferenceAlpha(FrameTriangles(c), c.width, c.height));
    std::printf("%-22s mean %.3f/255  p99 %.2f/255\n", c.name, e.mean, e.p99);
    return e;
}

TEST(Quality, FramesMatchTheSupersampledReference) {
    for (const Case& c : kFrames) {
        const Error e = Measure(c);
        EXPECT_LE(e.mean, 0.5) << c.name;
        // No class of pixels is systematically off: the worst percent stays small.
        EXPECT_LE(e.p99, 10.0) << c.name;
    }
}

// Where the edges of different lines cross inside one pixel, coverage
// composited line by line cannot know how the parts overlap; thick sparse
// lines and stretched ones show it most. The fades themselves are exact.
TEST(Quality, OtherShapesStayCloseToTheReference) {
    for (const Case& c : kShapes) {
        const Error e = Measure(c);
        const bool fade = c.blur != 0;
        EXPECT_LE(e.mean, fade ? 0.5 : 2.5) << c.name;
        EXPECT_LE(e.p99, fade ? 1.0 : 40.0) << c.name;
    }
}

// The same measure rejects a fill that is only slightly wrong: the same
// triangles one pixel to the right.
TEST(Quality, MeasureRejectsAFillOnePixelOff) {
    const Case c = {"defaults_small", 96, 64, 180, 16, 50, 500, 50, 0};
    std::vector<Triangle> triangles = FrameTriangles(c);
    const auto reference = ReferenceAlpha(triangles, c.width, c.height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.width) * c.height);
    Surface surface{pixels.data(), pixels.size() * 4, c.width, c.height};
    FrameAccumulator shifted(surface);
    shifted.BeginFrame(c.width, c.height);
    shifted.BeginPass(PassInfo{0.0f, 255, 0, static_cast<std::uint32_t>(triangles.size())});
    for (Triangle t : triangles) {
        ++t.tipX, ++t.c1X, ++t.c2X;
        shifted.FillTriangle(t);
    }
    shifted.EndFrame();
    EXPECT_GT(Compare(pixels, reference).mean, 0.5);
}

// Twelve nested blur triangles composited one by one darken their shared
// edges; the frame path must not, and the measure must see the difference.
TEST(Quality, NestedBlurEdgesDoNotDarkenEachOther) {
    const Case c = {"blur_small", 96, 64, 180, 12, 50, 500, 0, 20};
    std::vector<Triangle> triangles = FrameTriangles(c);
    const auto reference = ReferenceAlpha(triangles, c.width, c.height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.width) * c.height);
    Surface surface{pixels.data(), pixels.size() * 4, c.width, c.height};
    SurfaceRasteriser oneByOne(surface);
    oneByOne.BeginFrame(c.width, c.height);
    for (const Triangle& t : triangles) oneByOne.FillTriangle(t);
    const Error separate = Compare(pixels, reference);
    const Error frame = Compare(RenderedFrame(c), reference);
    EXPECT_LT(frame.mean, separate.mean);
    std::printf("one by one: mean %.3f/255; frame: mean %.3f/255\n", separate.mean, frame.mean);
}

}  // namespace
}  // namespace qv
