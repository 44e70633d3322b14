#include "presentation/platform.h"

#include <SDL.h>

#include <cstdlib>

static bool environment_names(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

void platform_start() {
    // SDL would turn signals into a quit event that only some of the loops read.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

bool have_display() {
    return environment_names("DISPLAY") || environment_names("WAYLAND_DISPLAY");
}

// Only the named display is tried: SDL would otherwise go on through its other
// video drivers, with their libraries' complaints on stderr, and end on an
// invisible window. A driver chosen by name (tests choose the dummy one) is
// taken as it is.
bool open_show_display() {
    if (!environment_names("SDL_VIDEODRIVER")) {
        if (!have_display()) return false;
        if (!environment_names("WAYLAND_DISPLAY"))
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        else if (!environment_names("DISPLAY"))
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland");
    }
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void platform_end() {
    SDL_Quit();
}
