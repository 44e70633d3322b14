// The window over SDL2: the show's window and renderer, the back buffer
// uploaded and scaled to the window's output each frame (the sharp filter
// as two GPU steps: nearest to the largest whole multiple, then linear), the
// pacing, full screen as a desktop-sized window, the display's modes and
// message boxes. The window takes whatever size the window system gives it
// (a tiling compositor decides every size), and the picture follows its
// output size frame by frame.
#include "platform/sdl/sdl_video.h"
#include "platform/video.h"

#include "data/scaler.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <tuple>

int display_pacing = PACE_60;
const char* const video_full_screen_keys = "F11 ALT+ENTER";
const char* const video_end_keys = "ESC F12";
int display_windowed = 0;

// A texture kept between frames with its size.
struct SizedTexture {
    SDL_Texture* texture;
    int width;
    int height;
};

static SDL_Window* video_window = nullptr;
static SDL_Renderer* video_renderer = nullptr;
static ModeRecord video_mode = {};
static SizedTexture back_upload = {nullptr, 0, 0}; // the back buffer, streamed each frame
static SizedTexture sharp_stage = {nullptr, 0, 0}; // its largest whole multiple
static std::chrono::steady_clock::time_point next_flip_time;
static int video_has_vsync = 0; // the renderer waits for the refresh itself

//
// The platform's start and end
//

static bool environment_names(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

void platform_start() {
    // SDL would turn signals into a quit event that only some of the loops read.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

void platform_end() {
    SDL_Quit();
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

//
// Messages
//

int video_message_box(const char* caption, const char* text, int is_error) {
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    if (!driver || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)
        return 0;
    const Uint32 flags = is_error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    return SDL_ShowSimpleMessageBox(flags, caption, text, video_window) == 0;
}

//
// Textures
//

static void destroy_texture(SizedTexture& kept) {
    if (kept.texture) SDL_DestroyTexture(kept.texture);
    kept = SizedTexture{nullptr, 0, 0};
}

// The texture of kept, made anew when the size changed.
static SDL_Texture* sized_texture(SizedTexture& kept, int width, int height, Uint32 format,
                                  int access) {
    if (kept.texture && kept.width == width && kept.height == height) return kept.texture;
    destroy_texture(kept);
    kept.texture = SDL_CreateTexture(video_renderer, format, access, width, height);
    if (!kept.texture) return nullptr;
    kept.width = width;
    kept.height = height;
    SDL_SetTextureBlendMode(kept.texture, SDL_BLENDMODE_NONE);
    return kept.texture;
}

// Draws the sw x sh source onto rect of the window with display_filter.
static int draw_scaled(SDL_Texture* source, int sw, int sh, const SDL_Rect& rect) {
    SDL_Texture* step = source;
    SDL_Rect step_area = {0, 0, sw, sh};
    int last_mode = display_filter == FILTER_NEAREST ? SDL_ScaleModeNearest : SDL_ScaleModeLinear;
    if (display_filter == FILTER_SHARP) {
        const int k = whole_multiple(sw, sh, rect.w, rect.h);
        if (sw * k == rect.w && sh * k == rect.h) {
            last_mode = SDL_ScaleModeNearest;
        } else if (k > 1) {
            step = sized_texture(sharp_stage, sw * k, sh * k, SDL_PIXELFORMAT_ARGB8888,
                                 SDL_TEXTUREACCESS_TARGET);
            if (!step) return 0;
            SDL_SetTextureScaleMode(source, SDL_ScaleModeNearest);
            if (SDL_SetRenderTarget(video_renderer, step) != 0 ||
                SDL_RenderCopy(video_renderer, source, &step_area, nullptr) != 0)
                return 0;
            step_area = SDL_Rect{0, 0, sw * k, sh * k};
        }
    }
    SDL_SetTextureScaleMode(step, SDL_ScaleMode(last_mode));
    if (SDL_SetRenderTarget(video_renderer, nullptr) != 0) return 0;
    return SDL_RenderCopy(video_renderer, step, &step_area, &rect) == 0;
}

//
// The window
//

// On Wayland the compositor places and sizes every window: a size or place
// asked for by the program is at most a wish for a floating window, and a
// tiled one gets its tile.
static bool compositor_places_windows() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "wayland") == 0;
}

// Windowed, the window asks for the mode's size; full screen, it covers the
// whole display from the start (also where no window manager honours the
// full-screen request) and the mode's picture is shown scaled on it. It is
// resizable, so that it takes the size a window manager or the user gives it
// rather than drawing a small picture in a larger tile.
static SDL_Window* create_window(int device, const ModeRecord& mode) {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    const int display = device < 0 ? 0 : device;
    SDL_Rect area = {int(SDL_WINDOWPOS_CENTERED_DISPLAY(display)),
                     int(SDL_WINDOWPOS_CENTERED_DISPLAY(display)), int(mode.width),
                     int(mode.height)};
    Uint32 flags = SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE;
    if (!display_windowed) {
        flags |= SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_BORDERLESS;
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(display, &bounds) == 0) area = bounds;
    }
    SDL_Window* window = SDL_CreateWindow("VORN", area.x, area.y, area.w, area.h, flags);
    if (window) SDL_ShowCursor(SDL_DISABLE);
    return window;
}

static int video_failure(const char* text) {
    show_message("DDRAW", text, 1);
    video_close();
    return -1;
}

int video_open(int device, const ModeRecord& mode) {
    video_close();
    video_window = create_window(device, mode);
    if (!video_window) return 0;
    video_mode = mode;

    Uint32 flags = SDL_RENDERER_TARGETTEXTURE;
    if (display_pacing == PACE_VSYNC) flags |= SDL_RENDERER_PRESENTVSYNC;
    video_renderer = SDL_CreateRenderer(video_window, -1, flags);
    if (!video_renderer) return video_failure("Couldn't create DirectDraw object.\n");

    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(video_renderer, &info) != 0 ||
        !(info.flags & SDL_RENDERER_TARGETTEXTURE))
        return video_failure("Couldn't query the interface.\n");
    video_has_vsync = (info.flags & SDL_RENDERER_PRESENTVSYNC) ? 1 : 0;

    if (!display_windowed) {
        if (device >= 0 && device < SDL_GetNumVideoDisplays())
            SDL_SetWindowPosition(video_window, SDL_WINDOWPOS_CENTERED_DISPLAY(device),
                                  SDL_WINDOWPOS_CENTERED_DISPLAY(device));
        if (SDL_SetWindowFullscreen(video_window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            return video_failure("Couldn't set cooperative level.\n");
    }

    const uint32_t largest = uint32_t(std::min(info.max_texture_width, info.max_texture_height));
    if (mode.bits_per_pixel != 32 || mode.width == 0 || mode.height == 0 ||
        (largest > 0 && (mode.width > largest || mode.height > largest)))
        return video_failure("Couldn't set the mode.\n");

    int output_width = 0, output_height = 0;
    if (SDL_GetRendererOutputSize(video_renderer, &output_width, &output_height) != 0)
        return video_failure("Couldn't create primary surface.");
    if (!sized_texture(back_upload, int(mode.width), int(mode.height), SDL_PIXELFORMAT_RGB888,
                       SDL_TEXTUREACCESS_STREAMING))
        return video_failure("Couldn't find the back buffer.\n");

    next_flip_time = std::chrono::steady_clock::now();
    SDL_PumpEvents();
    return 1;
}

void video_close() {
    destroy_texture(back_upload);
    destroy_texture(sharp_stage);
    if (video_renderer) SDL_DestroyRenderer(video_renderer);
    video_renderer = nullptr;
    if (video_window) {
        SDL_DestroyWindow(video_window);
        SDL_ShowCursor(SDL_ENABLE);
        SDL_PumpEvents();
    }
    video_window = nullptr;
}

int video_is_open() {
    return video_window != nullptr;
}

SDL_Window* sdl_video_window() {
    return video_window;
}

// Waits until the next frame is due at 60 frames a second. A loop that fell
// behind by more than a frame starts counting afresh instead of hurrying.
static void pace_frame() {
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(16667);
    const auto now = clock::now();
    next_flip_time += period;
    if (next_flip_time > now)
        std::this_thread::sleep_until(next_flip_time);
    else if (now - next_flip_time > period)
        next_flip_time = now;
}

// The window system may switch full screen itself (a compositor's command,
// a window manager's key): the next F11 then goes the other way.
static void follow_full_screen_state() {
    display_windowed = (SDL_GetWindowFlags(video_window) & SDL_WINDOW_FULLSCREEN) ? 0 : 1;
}

int video_present(const Surface* back) {
    if (!video_renderer || !back || back->pixels.empty()) return 0;
    follow_full_screen_state();
    const int bw = int(back->width), bh = int(back->height);
    SDL_Texture* upload =
        sized_texture(back_upload, bw, bh, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING);
    if (!upload || SDL_UpdateTexture(upload, nullptr, back->pixels.data(), bw * 4) != 0) return 0;
    // The output size is the window's only while no render target is set.
    SDL_SetRenderTarget(video_renderer, nullptr);
    int output_width = 0, output_height = 0;
    if (SDL_GetRendererOutputSize(video_renderer, &output_width, &output_height) != 0) return 0;

    // The back buffer centred on the output, its aspect kept.
    SDL_Rect rect;
    if (int64_t(output_width) * bh <= int64_t(output_height) * bw) {
        rect.w = output_width;
        rect.h = int(std::max<int64_t>(1, int64_t(output_width) * bh / bw));
    } else {
        rect.h = output_height;
        rect.w = int(std::max<int64_t>(1, int64_t(output_height) * bw / bh));
    }
    rect.x = (output_width - rect.w) / 2;
    rect.y = (output_height - rect.h) / 2;

    SDL_SetRenderDrawColor(video_renderer, 0, 0, 0, 255);
    SDL_RenderClear(video_renderer);
    const int ok = draw_scaled(upload, bw, bh, rect);
    SDL_RenderPresent(video_renderer);
    // Without a refresh to wait for, vsync pacing falls back to 60 a second.
    if (display_pacing == PACE_60 || (display_pacing == PACE_VSYNC && !video_has_vsync))
        pace_frame();
    return ok;
}

// Full screen is a desktop-sized borderless window on top; a window has the
// mode's size, centred on its display. The picture keeps its aspect either way
// (video_present letterboxes it). Where the compositor places windows, the
// mode's size is only the size wished for on leaving full screen (SDL keeps
// it while full screen), and the window then takes what it is given.
int video_set_full_screen(int full) {
    if (!video_window) return 0;
    full = full ? 1 : 0;
    if (compositor_places_windows()) {
        if (!full) SDL_SetWindowSize(video_window, int(video_mode.width), int(video_mode.height));
        if (SDL_SetWindowFullscreen(video_window, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0)
            return 0;
        display_windowed = !full;
        return 1;
    }
    const int display = std::max(0, SDL_GetWindowDisplayIndex(video_window));
    SDL_Rect area = {int(SDL_WINDOWPOS_CENTERED_DISPLAY(display)),
                     int(SDL_WINDOWPOS_CENTERED_DISPLAY(display)), int(video_mode.width),
                     int(video_mode.height)};
    if (full && SDL_GetDisplayBounds(display, &area) != 0) return 0;
    SDL_SetWindowAlwaysOnTop(video_window, full ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowBordered(video_window, full ? SDL_FALSE : SDL_TRUE);
    // The size is set by hand too (while not full screen, where SDL takes it),
    // for window systems without a manager that honours the request.
    if (full) {
        SDL_SetWindowSize(video_window, area.w, area.h);
        SDL_SetWindowPosition(video_window, area.x, area.y);
    }
    if (SDL_SetWindowFullscreen(video_window, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0)
        return 0;
    if (!full) {
        SDL_SetWindowSize(video_window, area.w, area.h);
        SDL_SetWindowPosition(video_window, area.x, area.y);
    }
    display_windowed = !full;
    return 1;
}

void video_set_active(int active) {
    if (!video_window || display_windowed) return;
    if (active)
        SDL_RestoreWindow(video_window);
    else
        SDL_MinimizeWindow(video_window);
}

//
// Devices and modes
//

std::vector<ModeRecord> list_display_modes(int device) {
    std::vector<ModeRecord> modes = {make_mode(320, 200), make_mode(320, 240), make_mode(640, 400),
                                     make_mode(640, 480)};
    const int index = device < 0 ? 0 : device;
    const int count = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetNumDisplayModes(index) : 0;
    for (int i = 0; i < count; i++) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(index, i, &m) != 0) continue;
        if (SDL_BYTESPERPIXEL(m.format) != 4 || SDL_ISPIXELFORMAT_INDEXED(m.format)) continue;
        if (m.w != 320 && m.w != 640) continue;
        ModeRecord record = make_mode(uint32_t(m.w), uint32_t(m.h));
        record.refresh_rate = uint32_t(std::max(0, m.refresh_rate));
        modes.push_back(record);
    }
    auto key = [](const ModeRecord& m) {
        return std::make_tuple(m.width, m.height, m.refresh_rate);
    };
    std::sort(modes.begin(), modes.end(),
              [&](const ModeRecord& a, const ModeRecord& b) { return key(a) < key(b); });
    modes.erase(
        std::unique(modes.begin(), modes.end(),
                    [&](const ModeRecord& a, const ModeRecord& b) { return key(a) == key(b); }),
        modes.end());
    return modes;
}

int video_desktop_size(int* width, int* height) {
    SDL_DisplayMode desktop;
    if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(0, &desktop) != 0) return 0;
    *width = desktop.w;
    *height = desktop.h;
    return 1;
}

std::vector<std::string> list_display_devices() {
    std::vector<std::string> names;
    const int count = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetNumVideoDisplays() : 0;
    for (int i = 0; i < count; i++) {
        const char* name = SDL_GetDisplayName(i);
        names.push_back(name ? name : "Display " + std::to_string(i + 1));
    }
    if (names.empty()) names.push_back("Primary display");
    return names;
}
