// What the processor and the build offer the vector kernels: the three flags
// the choosers read, the macros that say which vector forms this build can
// compile, and the attributes that build one function for a wider unit. It is
// the bottom of the program, so every folder may include it.
#pragma once

// True by default: the kernel choosers take the SSE2 forms where the build has
// them. False keeps every kernel to its plain loop, which gives the same bytes
// (the tests run both, calling choose_kernels after each change).
extern bool use_simd;

// SSE2 forms are built wherever the compiler offers its intrinsics (every
// x86-64, and targets that map them, such as WebAssembly's SIMD), unless the
// build asks for plain loops only with VORN_NO_SSE2.
#if defined(__SSE2__) && !defined(VORN_NO_SSE2)
#define VORN_SSE2 1
#else
#define VORN_SSE2 0
#endif

// Built for WebAssembly SIMD (-msimd128 -msse2), the SSE2 forms are
// translated to wasm instructions, and some of them one lane at a time. Where
// a kernel has a step that translates badly, a form for WebAssembly SIMD
// (wasm_simd128.h) stands beside the SSE2 one, fenced by VORN_WASM_SIMD.
#if VORN_SSE2 && defined(__wasm_simd128__)
#define VORN_WASM_SIMD 1
#else
#define VORN_WASM_SIMD 0
#endif

// AVX2 and AVX-512 forms exist only on x86 with a GNU-like compiler, which
// builds them one function at a time (VORN_TARGET_AVX2, VORN_TARGET_AVX512)
// beside the SSE2 ones; they are chosen while use_avx2 (and use_avx512) are
// on. Both start as the processor's own answer, so the program runs on any
// x86-64; tests turn them off to check the narrower forms.
#if VORN_SSE2 && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VORN_AVX2 1
#define VORN_TARGET_AVX2 __attribute__((target("avx2")))
#define VORN_AVX512 1
#define VORN_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq")))
#else
#define VORN_AVX2 0
#define VORN_AVX512 0
#endif

extern bool use_avx2;
extern bool use_avx512; // the F, BW and DQ parts
