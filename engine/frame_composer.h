// One complete frame from the current settings: seeding, clearing, constant
// alpha, derived parameters, then one pass or the twelve blur passes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "effect_settings.h"
#include "focus_lines.h"
#include "random_source.h"
#include "surface.h"
#include "triangle_sink.h"

namespace qv {

inline constexpr std::int32_t kReplaySelector = -1;  // same pattern as before
inline constexpr std::int32_t kNewPatternSelector = 0;

class FrameAccumulator;
struct DragOptions;
struct DragStats;

// The fill's working memory (a few megabytes at high density and with blur),
// owned by a caller that draws frame after frame so that it is allocated
// once, not per frame. One scratch serves one thread; surfaces may differ.
class FrameScratch {
public:
    FrameScratch();
    // Its fill sweeps the rows on at most this many threads (0: as many as
    // the machine runs); the picture is the same whatever the number.
    explicit FrameScratch(unsigned threads);
    ~FrameScratch();
    FrameScratch(FrameScratch&&) noexcept;
    FrameScratch& operator=(FrameScratch&&) noexcept;

private:
    friend void RenderFrame(std::int32_t, const EffectSettings&, RandomSource&, Surface&, std::uint8_t&,
                            FrameScratch&);
    friend DragStats DragFrame(const EffectSettings&, RandomSource&, Surface&, std::uint8_t&, FrameScratch&,
                               const DragOptions&);
    // What the last frame drawn with this scratch shows, for a drag to
    // build on: its settings, its pattern and the pixels it was drawn into.
    struct Shown {
        bool valid = false;
        EffectSettings settings;
        std::uint32_t seed = 0;
        std::array<std::int32_t, 4> jitterPercent{};
        Surface surface;
    };
    FrameAccumulator& AccumulatorFor(Surface& surface);
    void Remember(const EffectSettings& settings, const RandomSource& random, const Surface& surface);

    std::unique_ptr<FrameAccumulator> accumulator_;
    std::vector<LineDirections> directions_;
    unsigned threads_ = 0;
    Shown shown_;
};

// What a frame derives from the settings before it draws.
struct FrameParams {
    PassParams pass;    // opacity 255 for a single pass
    bool blurred;       // blurLevel != 0
    float blurDivisor;  // blurLevel / 20 + 0.95, meaningful when blurred
    std::uint8_t constantAlpha;
};

FrameParams DeriveFrameParams(const EffectSettings& s) noexcept;

// Seeds (Replay for selector -1, Reseed otherwise), lets the sink begin the
// frame in place of the clear, sets constantAlpha, and draws the passes.
void RenderFrame(std::int32_t selector, const EffectSettings& settings, RandomSource& random,
                 std::int32_t width, std::int32_t height, std::uint8_t& constantAlpha, TriangleSink& sink);
// The same, the blur passes keeping their lines' directions in `directions`
// from frame to frame.
void RenderFrame(std::int32_t selector, const EffectSettings& settings, RandomSource& random,
                 std::int32_t width, std::int32_t height, std::uint8_t& constantAlpha, TriangleSink& sink,
                 std::vector<LineDirections>& directions);

// The same frame rasterised onto a surface, which is cleared first. A
// surface without pixels is left alone and nothing is drawn.
void RenderFrame(std::int32_t selector, const EffectSettings& settings, RandomSource& random,
                 Surface& surface, std::uint8_t& constantAlpha);
// The same, reusing the working memory of the caller's earlier frames.
void RenderFrame(std::int32_t selector, const EffectSettings& settings, RandomSource& random,
                 Surface& surface, std::uint8_t& constantAlpha, FrameScratch& scratch);

}  // namespace qv
