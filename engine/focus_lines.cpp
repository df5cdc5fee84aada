#include "focus_lines.h"

#include <cmath>
#include <limits>
#include <vector>

#include "bit_cast.h"

namespace qv {

std::int32_t TruncToInt32(double v) noexcept {
    if (!(v == v)) return 0;  // NaN
    constexpr double lo = static_cast<double>(std::numeric_limits<std::int32_t>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<std::int32_t>::max());
    if (v <= lo) return std::numeric_limits<std::int32_t>::min();
    if (v >= hi) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(v);
}

namespace {

std::int32_t ClampSide(std::int32_t side) noexcept {
    return side < 0 ? 0 : (side > kMaxPictureSide ? kMaxPictureSide : side);
}

// cos and sin in double of a single-precision radian value, narrowed to single.
float CosSingle(float radians) noexcept { return static_cast<float>(std::cos(static_cast<double>(radians))); }
float SinSingle(float radians) noexcept { return static_cast<float>(std::sin(static_cast<double>(radians))); }

}  // namespace

namespace {

// cos and sin of phi, from the memo when it holds that very angle (bit for
// bit: -0 and 0 have sines of different sign).
void CosSin(float phi, float& memoPhi, float& memoCos, float& memoSin, bool remembered, float& c,
            float& s) noexcept {
    if (!remembered || BitCast<std::uint32_t>(memoPhi) != BitCast<std::uint32_t>(phi)) {
        memoPhi = phi, memoCos = CosSingle(phi), memoSin = SinSingle(phi);
    }
    c = memoCos, s = memoSin;
}

std::int32_t DrawRing(const PassParams& p, std::int32_t width, std::int32_t height, RandomSource& random,
                      TriangleSink& sink, std::vector<LineDirections>* memo);

}  // namespace

PassConstants ComputePassConstants(const PassParams& p, std::int32_t width, std::int32_t height,
                                   const std::array<std::int32_t, 4>& percent) noexcept {
    PassConstants c{};
    const std::int32_t w = ClampSide(width);
    const std::int32_t h = ClampSide(height);
    const std::int32_t sumOfSquares = w * w + h * h;
    c.outerRadius = static_cast<float>(std::sqrt(static_cast<double>(sumOfSquares)) + 50.0);
    c.outerRadiusX = c.outerRadius * p.stretchX;
    c.outerRadiusY = c.outerRadius * p.stretchY;

    const float lines = 360.0f / p.step + 0.999f;
    if (!(p.step > 0.0f) || !(lines >= 1.0f)) {
        c.lineCount = 0;
    } else if (lines >= static_cast<float>(kMaxLineCount)) {
        c.lineCount = kMaxLineCount;
    } else {
        c.lineCount = static_cast<std::uint32_t>(lines);
    }
    c.effectiveStep = c.lineCount ? static_cast<float>(360.0 / static_cast<double>(c.lineCount)) : 0.0f;

    c.angleUnit = p.step / 100.0f;
    // The density jitter spreads the lines' angles (see DrawRing).
    c.angleHalfSpread = (static_cast<float>(percent[kDensityJitter]) * c.angleUnit) * 0.5f;
    c.widthUnit = p.halfWidth / 100.0f;
    c.widthBase = static_cast<float>(percent[kThicknessJitter]) * c.widthUnit + p.halfWidth;
    c.radiusUnit = p.spaceValue / 100.0f;
    c.radiusBase = p.spaceValue - c.radiusUnit * 50.0f;
    c.alphaUnit = static_cast<float>(p.opacity) / 100.0f;
    c.alphaBase =
        TruncToInt32(static_cast<float>(p.opacity) - static_cast<float>(percent[kAlphaJitter]) * c.alphaUnit);
    c.passColor = (static_cast<std::uint32_t>(p.opacity) << 24) | (p.rgb & 0xFFFFFFu);
    return c;
}

std::int32_t DrawFocusLines(const PassParams& p, std::int32_t width, std::int32_t height,
                            RandomSource& random, TriangleSink& sink) {
    return DrawRing(p, width, height, random, sink, nullptr);
}

namespace {

std::int32_t DrawRing(const PassParams& p, std::int32_t width, std::int32_t height, RandomSource& random,
                      TriangleSink& sink, std::vector<LineDirections>* memo) {
    const auto& percent = random.jitterPercent;
    const PassConstants c = ComputePassConstants(p, width, height, percent);
    const float cx = static_cast<float>(p.centerX);
    const float cy = static_cast<float>(p.centerY);

    sink.BeginPass(PassInfo{p.spaceValue, p.opacity, p.rgb & 0xFFFFFFu, c.lineCount, cx, cy, true});
    // What the memo holds from earlier passes or frames counts only for the
    // very angle it was computed for.
    const std::size_t remembered = memo != nullptr ? memo->size() : 0;
    if (memo != nullptr && memo->size() < c.lineCount) memo->resize(c.lineCount);
    LineDirections scratch{};
    for (std::uint32_t i = 0; i < c.lineCount; ++i) {
        LineDirections& d = memo != nullptr ? (*memo)[i] : scratch;
        const bool known = i < remembered;
        float cosPhi, sinPhi, cos1, sin1, cos2, sin2;
        float theta = static_cast<float>(i) * c.effectiveStep;
        // The settings call it densityJitter, but it drives the angle draw:
        // the lines stay as many, their angles move.
        if (percent[kDensityJitter] != 0) {
            const std::int32_t r = random.NextJitter(kDensityJitter);
            theta = static_cast<float>(r) * c.angleUnit + (theta - c.angleHalfSpread);
        }

        float rho = c.radiusBase;
        if (percent[kSpaceJitter] != 0) {
            const std::int32_t r = random.NextJitter(kSpaceJitter);
            rho = static_cast<float>(r) * c.radiusUnit + c.radiusBase;
        }

        Triangle t{};
        const float phi = theta * kDegreesToRadians;
        CosSin(phi, d.phi, d.cosPhi, d.sinPhi, known, cosPhi, sinPhi);
        t.tipX = TruncToInt32((cosPhi * p.stretchX) * rho + cx);
        t.tipY = TruncToInt32((sinPhi * p.stretchY) * rho + cy);

        float w1 = c.widthBase;
        if (percent[kThicknessJitter] != 0) {
            const std::int32_t r = random.NextJitter(kThicknessJitter);
            w1 = static_cast<float>(r) * c.widthUnit + c.widthBase;
        }
        const float phi1 = (theta - w1) * kDegreesToRadians;
        CosSin(phi1, d.phi1, d.cos1, d.sin1, known, cos1, sin1);
        t.c1X = TruncToInt32(cos1 * c.outerRadiusX + cx);
        t.c1Y = TruncToInt32(sin1 * c.outerRadiusY + cy);

        float w2 = c.widthBase;
        if (percent[kThicknessJitter] != 0) {
            const std::int32_t r = random.NextJitter(kThicknessJitter);
            w2 = static_cast<float>(r) * c.widthUnit + c.widthBase;
        }
        const float phi2 = (w2 + theta) * kDegreesToRadians;
        CosSin(phi2, d.phi2, d.cos2, d.sin2, known, cos2, sin2);
        t.c2X = TruncToInt32(cos2 * c.outerRadiusX + cx);
        t.c2Y = TruncToInt32(sin2 * c.outerRadiusY + cy);

        t.argb = c.passColor;
        if (percent[kAlphaJitter] != 0) {
            const std::int32_t r = random.NextJitter(kAlphaJitter);
            const double jittered = static_cast<double>(static_cast<float>(r) * c.alphaUnit) + 0.999 +
                                    static_cast<double>(c.alphaBase & 0xFF);
            const std::uint32_t lineAlpha = static_cast<std::uint32_t>(TruncToInt32(jittered)) & 0xFFu;
            t.argb = (lineAlpha << 24) | (p.rgb & 0xFFFFFFu);
        }
        sink.FillTriangle(t);
    }
    sink.EndPass();
    return 0;
}

}  // namespace

void BlurSpaceValues(float spaceValue, float blurDivisor, float out[kBlurPassCount]) noexcept {
    float s = spaceValue / kBlurStartDivisor;
    for (int k = 0; k < kBlurPassCount; ++k) {
        out[k] = s;
        if (k < kBlurPassCount - 1) s = kBlurPassGrowth[k] / blurDivisor + s;
    }
}

std::int32_t DrawBlurredFocusLines(const PassParams& p, float blurDivisor, std::int32_t width,
                                   std::int32_t height, RandomSource& random, TriangleSink& sink) {
    std::vector<LineDirections> directions;
    return DrawBlurredFocusLines(p, blurDivisor, width, height, random, sink, directions);
}

std::int32_t DrawBlurredFocusLines(const PassParams& p, float blurDivisor, std::int32_t width,
                                   std::int32_t height, RandomSource& random, TriangleSink& sink,
                                   std::vector<LineDirections>& directions) {
    float spaceValues[kBlurPassCount];
    BlurSpaceValues(p.spaceValue, blurDivisor, spaceValues);
    for (int k = 0; k < kBlurPassCount; ++k) {
        PassParams pass = p;
        pass.spaceValue = spaceValues[k];
        pass.opacity = kBlurPassOpacity[k];
        const std::int32_t status = DrawRing(pass, width, height, random, sink, &directions);
        if (status != 0) return status;
        random.Replay();
    }
    return 0;
}

}  // namespace qv
