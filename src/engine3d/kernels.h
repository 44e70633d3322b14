// The one set-up call of the drawing library's vector kernels.
#pragma once

// Points every kernel of data/, effects/ and engine3d/ at its plain loop or at
// the widest vector twin that use_simd, use_avx2 and use_avx512 allow.
void choose_drawing_kernels();
