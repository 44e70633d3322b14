// The vector twins' one include: the build's vector flags (cpu.h) and the
// intrinsics headers of the forms this build compiles, SSE2, AVX2 and
// AVX-512 (built a function at a time, VORN_TARGET_*) and WebAssembly SIMD.
#pragma once

#include "core/cpu.h"

#if VORN_SSE2
#include <emmintrin.h>
#endif
#if VORN_AVX2
#include <immintrin.h>
#endif
#if VORN_WASM_SIMD
#include <wasm_simd128.h>
#endif
