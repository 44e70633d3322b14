#include "director/timeline.h"

#include "presentation/demo_run.h"
#include "presentation/fps_text.h"
#include "presentation/sound.h"
#include "presentation/surface.h"

#include <cstdio>

// Until the scenes exist, each frame shows the music position: a background
// whose colour changes with the order, a bar as long as the row is far into
// its pattern, and the order and row as text.
static void draw_position(uint32_t order, uint32_t row) {
    FrameSurface frame;
    if (!lock_surface(surface_virtual1, &frame)) return;
    const uint32_t background = ((order * 37) & 0x7F) << 16 | ((order * 11) & 0x3F) << 8 | 0x60;
    for (int i = 0; i < FRAME_PIXELS; i++) frame.pixels[i] = background;
    const int bar = int((row & 63) * FRAME_WIDTH / 64);
    for (int y = 150; y < 170; y++)
        for (int x = 0; x < bar; x++) frame.pixels[y * FRAME_WIDTH + x] = 0xFF8000;
    char text[64];
    std::snprintf(text, sizeof text, "ORDER %u ROW %u", order, row);
    draw_text_box(frame.pixels, FRAME_WIDTH, FRAME_WIDTH, FRAME_HEIGHT, 16, 60, text, 3, 0xFFFFFF,
                  background);
    unlock_surface(surface_virtual1);
}

void director_frame() {
    const uint32_t order = FMUSIC_GetOrder(music_song);
    const uint32_t row = FMUSIC_GetRow(music_song);
    if (order >= 42) {
        FMUSIC_SetMasterVolume(music_song, 0);
        FMUSIC_StopSong(music_song);
        request_demo_close();
    } else {
        draw_position(order, row);
    }
    blit_surface(surface_virtual1, surface_back);
}
