// A uniform integer in [0, max] drawn from the std::mt19937 engine, by a
// mapping the engine owns rather than the standard library's.
//
// Why it exists: std::uniform_int_distribution leaves its mapping from the
// engine's outputs to a range to each standard library, so one seed gave one
// picture with libstdc++ and another with libc++ or MSVC's library. The engine
// itself is the same everywhere, so with this mapping the same seed gives the
// same picture with every standard library. It is the mapping libstdc++ uses
// for a 32-bit engine (Lemire's nearly divisionless method: the output times
// the span as a 64-bit product, whose high half is the value; a low half
// below 2^32 mod span would bias it and is drawn again), so it draws the same
// values, consuming the same outputs, as the pictures made with libstdc++.
#pragma once

#include <cstdint>
#include <random>

namespace qv {

class UniformInt {
public:
    // A negative max is taken as 0: the range is never empty.
    constexpr explicit UniformInt(std::int32_t max) noexcept
        : span_(static_cast<std::uint32_t>(max < 0 ? 0 : max) + 1u) {}

    constexpr std::int32_t max() const noexcept { return static_cast<std::int32_t>(span_ - 1u); }

    // Consumes one engine output, plus one for each draw rejected; fewer
    // than span in 2^32 draws are, so for small ranges practically never.
    // [0, 0] still consumes one output and gives 0.
    std::int32_t operator()(std::mt19937& engine) const noexcept {
        std::uint64_t product = Next(engine) * span_;
        std::uint32_t low = static_cast<std::uint32_t>(product);
        if (low < span_) {
            const std::uint32_t threshold = (0u - span_) % span_;  // 2^32 mod span
            while (low < threshold) {
                product = Next(engine) * span_;
                low = static_cast<std::uint32_t>(product);
            }
        }
        return static_cast<std::int32_t>(product >> 32);  // below span, which is at most 2^31
    }

private:
    static std::uint64_t Next(std::mt19937& engine) noexcept {
        return static_cast<std::uint32_t>(engine());  // 32 bits wide whatever the output's type
    }

    std::uint32_t span_;  // max + 1, in 1..2^31
};

}  // namespace qv
