// The program's kernel chooser: the drawing library's choice
// (engine3d/kernels.cpp, which the tools call alone) and the timeline
// effects', the one folder above that library with vector kernels.
#include "director/kernels.h"

#include "director/timeline_effects.h"
#include "engine3d/kernels.h"

void choose_kernels() {
    choose_drawing_kernels();
    choose_timeline_effect_kernels();
}
