# Options every target of ours shares.
#
# The geometry's single-precision arithmetic must not be fused or reordered:
# contraction off, no fast-math, and no -march=native in what ships.

add_library(qv_options INTERFACE)
if(MSVC)
  target_compile_options(qv_options INTERFACE /W4 /fp:precise /utf-8)
else()
  target_compile_options(qv_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -ffp-contract=off)
  if(QV_WERROR)
    target_compile_options(qv_options INTERFACE -Werror)
  endif()
endif()

# The browser build: the fill's SSE2 kernels through WebAssembly SIMD
# (Emscripten translates the intrinsics), unless QV_WEB_SIMD is off.
if(EMSCRIPTEN)
  option(QV_WEB_SIMD "Build the fill's SSE2 kernels through WebAssembly SIMD" ON)
  if(QV_WEB_SIMD)
    target_compile_options(qv_options INTERFACE -msse2 -msimd128)
    target_link_options(qv_options INTERFACE -msimd128)
  endif()
endif()

if(QV_SANITIZE)
  target_compile_options(qv_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  target_link_options(qv_options INTERFACE -fsanitize=address,undefined)
endif()
