#include "frame_composer.h"

#include "frame_accumulator.h"

namespace qv {

namespace {
constexpr float kBlurLevelScale = 20.0f;
constexpr float kBlurDivisorOffset = 0.95f;
constexpr int kStepNumerator = 510;  // step = (510 - density) / 100 degrees
}  // namespace

FrameParams DeriveFrameParams(const EffectSettings& s) noexcept {
    FrameParams f{};
    f.pass.step = static_cast<float>(kStepNumerator - static_cast<int>(s.density)) / 100.0f;
    f.pass.halfWidth = static_cast<float>(s.thickness) / 100.0f;
    f.pass.spaceValue = static_cast<float>(s.space);
    f.pass.stretchX = 1.0f;
    f.pass.stretchY = 1.0f;
    if (s.ratio < kRoundRatio) {
        f.pass.stretchX = static_cast<float>(kRoundRatio - static_cast<int>(s.ratio)) / 100.0f + 1.0f;
    } else if (s.ratio > kRoundRatio) {
        f.pass.stretchY = static_cast<float>(static_cast<int>(s.ratio) - kRoundRatio) / 100.0f + 1.0f;
    }
    f.pass.rgb = (static_cast<std::uint32_t>(s.red) << 16) | (static_cast<std::uint32_t>(s.green) << 8) |
                 static_cast<std::uint32_t>(s.blue);
    f.pass.opacity = 255;
    f.pass.centerX = s.centerX;
    f.pass.centerY = s.centerY;
    f.blurred = s.blurLevel != 0;
    f.blurDivisor = static_cast<float>(s.blurLevel) / kBlurLevelScale + kBlurDivisorOffset;
    f.constantAlpha = s.alpha;
    return f;
}

void RenderFrame(std::int32_t selector, const EffectSettings& settings, RandomSource& random,
                 std::int32_t width, std::int32_t height, std::uint8_t& constantAlpha, TriangleSink& sink,
                 std::vector<LineDirections>& directions) {
    if (selector == kReplaySelector) {
        random.Replay();
    } else {
        random.Reseed();
    }
    sink.BeginFrame(width, height);
    const FrameParams f = DeriveFrameParams(settings);
    constantAlpha = f.constantAlpha;
    if (f.blurred) {
        DrawBlurredFocusLines(f.pass, f.blurDivisor, width, height, random, sink, directions);
    } else {
        DrawFocusLines(f.pass, width, height, random, sink);
    }
    sink.EndFrame();
}

void RenderFrame(std::int32_t selector, const EffectSettings& settings, RandomSource& random,
                 std::int32_t width, std::int32_t height, std::uint8_t& constantAlpha, TriangleSink& sink) {
    std::vector<LineDirections> directions;
    RenderFrame(selector, settings, random, width, height, constantAlpha, sink, directions);
}

FrameScratch::FrameScratch() = default;
FrameScratch::FrameScratch(unsigned threads) : threads_(threads) {}
FrameScratch::~FrameScratch() = default;
FrameScratch::FrameScratch(FrameScratch&&) noexcept = default;
FrameScratch& FrameScratch::operator=(FrameScratch&&) noexcept = default;

void RenderFrame(std::int32_t selector, const EffectSettings& settings, RandomSource& random,
                 Surface& surface, std::uint8_t& constantAlpha) {
    FrameScratch scratch;
    RenderFrame(selector, settings, random, surface, constantAlpha, scratch);
}

FrameAccumulator& FrameScratch::AccumulatorFor(Surface& surface) {
    if (accumulator_) {
        accumulator_->Retarget(surface);
    } else {
        accumulator_ = std::make_unique<FrameAccumulator>(surface, FillOptions{.threads = threads_});
    }
    return *accumulator_;
}

void FrameScratch::Remember(const EffectSettings& settings, const RandomSource& random,
                            const Surface& surface) {
    shown_ = Shown{surface.Drawable(), settings, random.storedSeed, random.jitterPercent, surface};
}

void RenderFrame(std::int32_t selector, const EffectSettings& settings, RandomSource& random,
                 Surface& surface, std::uint8_t& constantAlpha, FrameScratch& scratch) {
    RenderFrame(selector, settings, random, surface.width, surface.height, constantAlpha,
                scratch.AccumulatorFor(surface), scratch.directions_);
    scratch.Remember(settings, random, surface);
}

}  // namespace qv
