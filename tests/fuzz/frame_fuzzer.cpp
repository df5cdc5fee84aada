// Arbitrary settings, centres, picture sizes up to 32767 and raw triangles
// through the geometry and both fills. The pixel buffers stay small (the
// geometry still sees the large size), and guard words around them catch any
// write outside.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "frame_accumulator.h"
#include "frame_composer.h"
#include "rasteriser.h"

namespace {

constexpr std::uint32_t kGuardWord = 0x5AA5C33Cu;
constexpr std::size_t kGuardWords = 16;
constexpr std::int32_t kMaxBufferSide = 160;  // keeps every run small

std::uint32_t fuzzTick = 0;
std::uint32_t FuzzTick() noexcept { return fuzzTick; }

struct GuardedSurface {
    GuardedSurface(std::int32_t w, std::int32_t h)
        : storage(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) + 2 * kGuardWords, kGuardWord) {
        surface = qv::Surface{storage.data() + kGuardWords, qv::SurfaceByteSize(w, h), w, h};
    }
    void Check() const {
        for (std::size_t i = 0; i < kGuardWords; ++i) {
            if (storage[i] != kGuardWord || storage[storage.size() - 1 - i] != kGuardWord) std::abort();
        }
    }
    std::vector<std::uint32_t> storage;
    qv::Surface surface;
};

std::int32_t Coordinate(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return in.ConsumeIntegralInRange<std::int32_t>(-40, 200);
        case 1:
            return in.ConsumeIntegralInRange<std::int32_t>(-400000, 400000);
        case 2:
            return in.PickValueInArray<std::int32_t>(
                {INT32_MIN, INT32_MAX, INT32_MIN + 1, INT32_MAX - 1, 0, -1});
        default:
            return in.ConsumeIntegral<std::int32_t>();
    }
}

void FuzzFrame(FuzzedDataProvider& in, const qv::FillOptions& options) {
    qv::EffectSettings s;
    s.blue = in.ConsumeIntegral<std::uint8_t>();
    s.green = in.ConsumeIntegral<std::uint8_t>();
    s.red = in.ConsumeIntegral<std::uint8_t>();
    s.alpha = in.ConsumeIntegral<std::uint8_t>();
    // Inside and just beyond the panel's ranges, or anything at all.
    const bool wild = in.ConsumeBool();
    for (int k = 0; k < qv::kJitterCount; ++k) {
        qv::JitterAt(s, k) = wild ? in.ConsumeIntegral<std::int32_t>()
                                  : in.ConsumeIntegralInRange<std::int32_t>(0, qv::kJitterRanges[k].max);
    }
    s.density = wild ? in.ConsumeIntegral<std::uint16_t>()
                     : in.ConsumeIntegralInRange<std::uint16_t>(qv::kDensityRange.min, qv::kDensityRange.max);
    s.thickness =
        wild ? in.ConsumeIntegral<std::uint16_t>()
             : in.ConsumeIntegralInRange<std::uint16_t>(qv::kThicknessRange.min, qv::kThicknessRange.max);
    s.space = wild ? in.ConsumeIntegral<std::uint16_t>()
                   : in.ConsumeIntegralInRange<std::uint16_t>(qv::kSpaceRange.min, qv::kSpaceRange.max);
    // Ratio 0 and 1000 give stretch 6.
    s.ratio = in.ConsumeBool()
                  ? in.PickValueInArray<std::uint16_t>({0, 1000})
                  : in.ConsumeIntegralInRange<std::uint16_t>(qv::kRatioRange.min, qv::kRatioRange.max);
    s.centerX = Coordinate(in);
    s.centerY = Coordinate(in);
    // The uniform ranges of the random source accept only non-negative bounds.
    std::int32_t percent[4];
    for (int k = 0; k < 4; ++k) {
        percent[k] = in.ConsumeIntegralInRange<std::int32_t>(0, qv::kJitterRanges[k].max);
    }
    const std::int32_t width = in.ConsumeIntegralInRange<std::int32_t>(-2, qv::kMaxPictureSide);
    const std::int32_t height = in.ConsumeIntegralInRange<std::int32_t>(-2, qv::kMaxPictureSide);
    fuzzTick = in.ConsumeIntegral<std::uint32_t>();

    qv::RandomSource random(&FuzzTick);
    random.SetJitterRanges(percent);
    std::uint8_t constantAlpha = 0;
    if (in.ConsumeBool()) {
        // The geometry of the full size, rasterised onto a small surface.
        const std::int32_t bw = in.ConsumeIntegralInRange<std::int32_t>(1, kMaxBufferSide);
        const std::int32_t bh = in.ConsumeIntegralInRange<std::int32_t>(1, kMaxBufferSide);
        GuardedSurface g(bw, bh);
        qv::FrameAccumulator sink(g.surface, options);
        qv::RenderFrame(qv::kNewPatternSelector, s, random, width, height, constantAlpha, sink);
        g.Check();
    } else {
        // A surface of the stated size where it is small enough to allocate.
        const std::int32_t bw = width < 1 ? width : 1 + width % kMaxBufferSide;
        const std::int32_t bh = height < 1 ? height : 1 + height % kMaxBufferSide;
        GuardedSurface g(bw > 0 ? bw : 1, bh > 0 ? bh : 1);
        g.surface.width = bw;
        g.surface.height = bh;
        if (bw < 1 || bh < 1) g.surface.byteSize = 0;
        qv::RenderFrame(qv::kReplaySelector, s, random, g.surface, constantAlpha);
        g.Check();
    }
}

void FuzzTriangles(FuzzedDataProvider& in, const qv::FillOptions& options) {
    const std::int32_t w = in.ConsumeIntegralInRange<std::int32_t>(1, 64);
    const std::int32_t h = in.ConsumeIntegralInRange<std::int32_t>(1, 64);
    GuardedSurface a(w, h), b(w, h);
    qv::SurfaceRasteriser reference(a.surface);
    qv::FrameAccumulator frame(b.surface, options);
    const std::uint32_t rgb = in.ConsumeIntegral<std::uint32_t>() & 0xFFFFFFu;
    const int passes = in.ConsumeIntegralInRange<int>(1, 12);
    const int lines = in.ConsumeIntegralInRange<int>(1, 24);
    // Nested passes keep each line's corners and move only its tip, as the
    // blur does; the fill then treats a line's triangles as one shape.
    const bool nested = in.ConsumeBool();
    std::vector<qv::Triangle> corners(static_cast<std::size_t>(lines));
    for (qv::Triangle& c : corners)
        c = qv::Triangle{0, 0, Coordinate(in), Coordinate(in), Coordinate(in), Coordinate(in), 0};
    reference.BeginFrame(w, h);
    frame.BeginFrame(w, h);
    for (int p = 0; p < passes && in.remaining_bytes() > 0; ++p) {
        const qv::PassInfo info{1.0f, in.ConsumeIntegral<std::uint8_t>(), rgb,
                                static_cast<std::uint32_t>(lines)};
        reference.BeginPass(info);
        frame.BeginPass(info);
        for (int i = 0; i < lines; ++i) {
            qv::Triangle t{Coordinate(in),
                           Coordinate(in),
                           Coordinate(in),
                           Coordinate(in),
                           Coordinate(in),
                           Coordinate(in),
                           (static_cast<std::uint32_t>(in.ConsumeIntegral<std::uint8_t>()) << 24) | rgb};
            if (nested) {
                const qv::Triangle& c = corners[static_cast<std::size_t>(i)];
                t.c1X = c.c1X, t.c1Y = c.c1Y, t.c2X = c.c2X, t.c2Y = c.c2Y;
            }
            reference.FillTriangle(t);
            frame.FillTriangle(t);
        }
        reference.EndPass();
        frame.EndPass();
    }
    reference.EndFrame();
    frame.EndFrame();
    a.Check();
    b.Check();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // Both the vector code and the plain code that builds without it.
    const qv::FillOptions options{.vectorCode = in.ConsumeBool()};
    if (in.ConsumeBool()) {
        FuzzFrame(in, options);
    } else {
        FuzzTriangles(in, options);
    }
    return 0;
}
