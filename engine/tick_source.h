// The engine's only need from the platform: a millisecond counter for new seeds.
#pragma once

#include <cstdint>

namespace qv {

using TickSource = std::uint32_t (*)() noexcept;

// Milliseconds of a monotonic clock, reduced to 32 bits. The Windows program
// passes GetTickCount instead.
std::uint32_t SteadyTickCount() noexcept;

}  // namespace qv
