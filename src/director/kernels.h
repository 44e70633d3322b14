// The one call that chooses every vector kernel of the program.
#pragma once

// Points every kernel, the drawing library's and the timeline effects', at
// its plain loop or at the widest vector twin that use_simd, use_avx2 and
// use_avx512 allow. Called once at start-up, and by tests after they change a
// flag.
void choose_kernels();
