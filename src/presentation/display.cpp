// The display's set-up, release and flip over the platform's window: every
// surface is memory, so all the platform is asked for is a window and a
// present.
#include "presentation/display.h"

#include "platform/video.h"

ModeRecord selected_mode = {640, 480, 0, 32, 0xFF0000, 0x00FF00, 0x0000FF};
int selected_device = -1;

enum DisplayKind { DISPLAY_NONE, DISPLAY_WINDOW, DISPLAY_MEMORY };
static int display_kind = DISPLAY_NONE;

static void free_surface(Surface*& surface) {
    delete surface;
    surface = nullptr;
}

void release_display() {
    if (display_kind == DISPLAY_NONE) return;
    free_surface(surface_back);
    free_surface(surface_primary);
    release_working_surface();
    if (display_kind == DISPLAY_WINDOW) video_close();
    display_kind = DISPLAY_NONE;
}

int init_display(int device, const ModeRecord& mode) {
    release_display();
    const int opened = video_open(device, mode);
    if (opened != 1) return opened;
    display_kind = DISPLAY_WINDOW;
    surface_primary = new Surface{{}, mode.width, mode.height, false};
    surface_back = new_surface(mode.width, mode.height);
    create_working_surface();
    return 1;
}

int init_memory_display(uint32_t width, uint32_t height) {
    release_display();
    if (width == 0 || height == 0) return 0;
    display_kind = DISPLAY_MEMORY;
    surface_back = new_surface(width, height);
    create_working_surface();
    return 1;
}

int flip_primary() {
    if (display_kind == DISPLAY_MEMORY) return 1;
    if (display_kind != DISPLAY_WINDOW || !surface_back) return 0;
    return video_present(surface_back);
}
