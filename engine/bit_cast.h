// std::bit_cast where the standard library has it, and the compiler's own
// builtin where it does not (the libc++ of Emscripten 3.1 lacks it): one
// spelling for the whole engine.
#pragma once

#include <type_traits>
#if __has_include(<bit>)
#include <bit>
#endif

namespace qv {

template <typename To, typename From>
constexpr To BitCast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> &&
                  std::is_trivially_copyable_v<From>);
#if defined(__cpp_lib_bit_cast)
    return std::bit_cast<To>(from);
#else
    return __builtin_bit_cast(To, from);
#endif
}

}  // namespace qv
