// Seeded per-line variation with a replay rule: a frame seeded from the same
// stored seed, making the same draws, gets the same values.
#pragma once

#include <array>
#include <cstdint>
#include <random>

#include "effect_settings.h"
#include "tick_source.h"
#include "uniform_int.h"

namespace qv {

class RandomSource {
public:
    // Builds the engine with its default seed, sets the construction bounds,
    // then reseeds from the tick count, so the default seed never yields a value.
    explicit RandomSource(TickSource tick = &SteadyTickCount);

    void Reseed() noexcept;  // new seed from the tick count
    void Replay() noexcept;  // engine seeded again from storedSeed
    void SetJitterRanges(const std::int32_t percent[4]) noexcept;
    void SetJitterRanges(std::int32_t density, std::int32_t thickness, std::int32_t space,
                         std::int32_t alpha) noexcept;
    // kDensityJitter draws from the angle range, the others from their own.
    std::int32_t NextJitter(JitterIndex k) noexcept;

    // Lets the renderer and the page reproduce a picture from a given seed.
    void SeedWith(std::uint32_t seed) noexcept;

    std::uint32_t storedSeed = 0;
    std::array<std::int32_t, 4> jitterPercent{0, 0, 0, 0};

private:
    // Each range is [0, max]; its own mapping keeps a seed's values the same
    // with every standard library.
    UniformInt angleRange{4};
    UniformInt thicknessRange{4};
    UniformInt spaceRange{15};
    UniformInt alphaRange{127};
    std::mt19937 engine;
    TickSource tick_;
};

}  // namespace qv
