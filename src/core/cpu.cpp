// The processor's answers for the vector kernels, asked once when the program
// starts; the flags are plain variables so that tests can turn paths off.
#include "core/cpu.h"

bool use_simd = true;

static bool processor_has_avx2() {
#if VORN_AVX2
    __builtin_cpu_init(); // may run before the library's own constructors
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

static bool processor_has_avx512() {
#if VORN_AVX512
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512dq");
#else
    return false;
#endif
}

bool use_avx2 = processor_has_avx2();
bool use_avx512 = processor_has_avx512();
