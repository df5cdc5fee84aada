// The frame against a high-precision reference, shared by the quality
// tests: the same triangles sampled 16 x 16 times per pixel, composited per
// sample in double precision, and the measures of a fill's error.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "frame_accumulator.h"
#include "frame_composer.h"
#include "triangle_recorder.h"

namespace qv::quality {

inline constexpr int kSamples = 16;  // per pixel side

inline std::uint32_t Seed() noexcept { return 4242; }

struct Case {
    const char* name;
    int width, height;
    int density, space, thickness, ratio;
    int alphaJitter, blur;
    int centreRight = 0, centreDown = 0;  // from near the middle
};

inline EffectSettings SettingsFor(const Case& c) {
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
    s.centerX = c.width / 2 - 3 + c.centreRight;
    s.centerY = c.height / 2 + 2 + c.centreDown;
    return s;
}

inline RandomSource SourceFor(const EffectSettings& s) {
    RandomSource r(&Seed);
    r.SetJitterRanges(s.densityJitter, s.thicknessJitter, s.spaceJitter, s.alphaJitter);
    return r;
}

inline std::vector<Triangle> FrameTriangles(const Case& c) {
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
inline std::vector<double> ReferenceAlpha(const std::vector<Triangle>& triangles, int w, int h) {
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

inline Error Compare(const std::vector<std::uint32_t>& pixels, const std::vector<double>& reference) {
    std::vector<double> errors(pixels.size());
    double sum = 0.0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        errors[i] = std::fabs(static_cast<double>(pixels[i] >> 24) - 255.0 * reference[i]);
        sum += errors[i];
    }
    std::sort(errors.begin(), errors.end());
    return {sum / static_cast<double>(pixels.size()), errors[errors.size() * 99 / 100]};
}

inline std::vector<std::uint32_t> RenderedFrame(const Case& c, FillOptions options = {}) {
    const EffectSettings s = SettingsFor(c);
    RandomSource r = SourceFor(s);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.width) * c.height, 0xDEADBEEFu);
    Surface surface{pixels.data(), pixels.size() * 4, c.width, c.height};
    FrameAccumulator frame(surface, options);
    std::uint8_t constantAlpha = 0;
    RenderFrame(kNewPatternSelector, s, r, c.width, c.height, constantAlpha, frame);
    return pixels;
}

}  // namespace qv::quality
