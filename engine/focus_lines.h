// One ring of focus lines, and the twelve blur passes built from it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "random_source.h"
#include "triangle_sink.h"

namespace qv {

inline constexpr float kDegreesToRadians = 0.017453292f;

// The pass parameters, in the order every pass takes them.
struct PassParams {
    float step;       // requested angular distance between lines, degrees, > 0
    float halfWidth;  // base angular half-width at the outer end, degrees
    float spaceValue; // the tips lie at half of it before jitter and stretch
    float stretchX;
    float stretchY;
    std::uint32_t rgb;  // 0x00RRGGBB; higher bits ignored
    std::uint8_t opacity;
    std::int32_t centerX;
    std::int32_t centerY;
};

// Per-pass constants, computed once before the first line.
struct PassConstants {
    float outerRadius;  // R
    float outerRadiusX;
    float outerRadiusY;
    std::uint32_t lineCount;  // N
    float effectiveStep;
    float angleUnit;
    float angleHalfSpread;
    float widthUnit;
    float widthBase;
    float radiusUnit;
    float radiusBase;
    float alphaUnit;
    std::int32_t alphaBase;
    std::uint32_t passColor;
};

// Picture sizes above this on either side are outside the contract (the sum
// of squares must fit a signed 32-bit integer); the pass clamps to it.
inline constexpr std::int32_t kMaxPictureSide = 32767;

// The densest ring: step 0.1 degree. A smaller step (the panel never gives
// one) is capped here rather than allowed to run away; a step of 0 or less
// draws nothing.
inline constexpr std::uint32_t kMaxLineCount = 3600;

PassConstants ComputePassConstants(const PassParams& p, std::int32_t width, std::int32_t height,
                                   const std::array<std::int32_t, 4>& percent) noexcept;

// Float to int32 truncating toward zero; saturates instead of overflowing
// for centres and stretches far outside the picture.
std::int32_t TruncToInt32(double v) noexcept;

// Draws one ring into the sink: triangles in line order, drawing from the
// random source as the replay rule requires. Returns 0.
std::int32_t DrawFocusLines(const PassParams& p, std::int32_t width, std::int32_t height, RandomSource& random,
                            TriangleSink& sink);

// The blur pass table.
inline constexpr int kBlurPassCount = 12;
inline constexpr std::uint8_t kBlurPassOpacity[kBlurPassCount] = {2, 4, 6, 8, 10, 16, 24, 32, 48, 64, 96, 255};
inline constexpr float kBlurPassGrowth[kBlurPassCount - 1] = {0, 16, 32, 32, 32, 48, 48, 64, 64, 64, 64};
inline constexpr float kBlurStartDivisor = 1.2f;

// A line's three directions with their cosines and sines. The blur passes
// draw the same directions, only the inner ends move: the first pass's
// values serve the other eleven, which then give the very same triangles.
struct LineDirections {
    float phi, cosPhi, sinPhi;
    float phi1, cos1, sin1;
    float phi2, cos2, sin2;
};

// The same ring drawn twelve times, the inner ends moving outward with rising
// opacity. p.opacity is ignored; the pass table supplies it. The caller has
// seeded the random source from storedSeed just before.
std::int32_t DrawBlurredFocusLines(const PassParams& p, float blurDivisor, std::int32_t width,
                                   std::int32_t height, RandomSource& random, TriangleSink& sink);
// The same, keeping the directions in the caller's memory, which a caller
// drawing frame after frame keeps so that it is allocated once. An entry is
// used only for the very angle it was computed for.
std::int32_t DrawBlurredFocusLines(const PassParams& p, float blurDivisor, std::int32_t width,
                                   std::int32_t height, RandomSource& random, TriangleSink& sink,
                                   std::vector<LineDirections>& directions);

// The twelve space values a blurred frame uses, in pass order.
void BlurSpaceValues(float spaceValue, float blurDivisor, float out[kBlurPassCount]) noexcept;

}  // namespace qv
