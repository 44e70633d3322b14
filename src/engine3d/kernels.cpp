// The chooser of the drawing library's kernels. Each unit with vector kernels
// keeps its plain loop in its own file and its SSE2 / AVX2 / AVX-512 twins in
// <unit>_simd.cpp, with one program-wide function pointer per kernel (set to
// the plain loop at start) and a chooser of its own beside the twins. This
// unit sits at the top of the drawing library (data, effects, engine3d), the
// one place that sees every one of those choosers; director/kernels.cpp adds
// the timeline's own above it, so that no folder includes a higher one and
// the tools' contact sheet, which links only this library, can call it.
#include "engine3d/kernels.h"

#include "data/surface.h"
#include "effects/effect_tables.h"
#include "effects/fillers.h"
#include "effects/fog.h"
#include "effects/pictures.h"
#include "effects/tunnel.h"
#include "engine3d/culling.h"
#include "engine3d/lighting.h"
#include "engine3d/math.h"
#include "engine3d/render.h"

void choose_drawing_kernels() {
    choose_surface_kernels();
    choose_effect_table_kernels();
    choose_fill_kernels();
    choose_fog_kernels();
    choose_picture_kernels();
    choose_tunnel_kernels();
    choose_math_kernels();
    choose_culling_kernels();
    choose_lighting_kernels();
    choose_render_kernels();
}
