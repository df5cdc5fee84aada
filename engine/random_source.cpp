#include "random_source.h"

#include <chrono>

namespace qv {

std::uint32_t SteadyTickCount() noexcept {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

RandomSource::RandomSource(TickSource tick) : tick_(tick ? tick : &SteadyTickCount) { Reseed(); }

void RandomSource::Reseed() noexcept { SeedWith(tick_()); }

void RandomSource::SeedWith(std::uint32_t seed) noexcept {
    storedSeed = seed;
    engine.seed(storedSeed);
}

void RandomSource::Replay() noexcept { engine.seed(storedSeed); }

void RandomSource::SetJitterRanges(const std::int32_t percent[4]) noexcept {
    SetJitterRanges(percent[kDensityJitter], percent[kThicknessJitter], percent[kSpaceJitter],
                    percent[kAlphaJitter]);
}

void RandomSource::SetJitterRanges(std::int32_t density, std::int32_t thickness, std::int32_t space,
                                   std::int32_t alpha) noexcept {
    // A negative percentage would make an empty range; it means "off".
    auto sane = [](std::int32_t p) { return p < 0 ? 0 : p; };
    jitterPercent = {sane(density), sane(thickness), sane(space), sane(alpha)};
    angleRange = UniformInt(jitterPercent[kDensityJitter]);
    thicknessRange = UniformInt(jitterPercent[kThicknessJitter]);
    spaceRange = UniformInt(jitterPercent[kSpaceJitter]);
    alphaRange = UniformInt(jitterPercent[kAlphaJitter]);
}

std::int32_t RandomSource::NextJitter(JitterIndex k) noexcept {
    switch (k) {
        case 0: return angleRange(engine);
        case 1: return thicknessRange(engine);
        case 2: return spaceRange(engine);
        default: return alphaRange(engine);
    }
}

}  // namespace qv
