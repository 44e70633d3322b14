#include "presentation/display.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <tuple>

int display_filter = FILTER_SHARP;
int display_pacing = PACE_60;
int display_windowed = 0;

ModeRecord selected_mode = {640, 480, 0, 32, 0xFF0000, 0x00FF00, 0x0000FF};
int selected_device = -1;

std::string last_message_caption;
std::string last_message_text;

enum DisplayKind { DISPLAY_NONE, DISPLAY_WINDOW, DISPLAY_MEMORY };

// A texture kept between frames with its size: a streaming texture that
// memory pixels are uploaded into, or the render target of one scaling step.
struct SizedTexture {
    SDL_Texture* texture;
    int width;
    int height;
};

static int display_kind = DISPLAY_NONE;
static SDL_Renderer* display_renderer = nullptr;
static SizedTexture frame_upload = {nullptr, 0, 0};
static SizedTexture overlay_upload = {nullptr, 0, 0};
static SizedTexture blit_stage = {nullptr, 0, 0};
static SizedTexture present_stage = {nullptr, 0, 0};
static std::chrono::steady_clock::time_point next_flip_time;
static int display_has_vsync = 0; // the renderer waits for the refresh itself

// The software scaler's look-ups for each axis: for every destination
// coordinate the two source coordinates it blends and the 8-bit weight (0..255)
// of the second. Kept while the sizes and the filter stay the same.
struct ScaleTaps {
    std::vector<int32_t> first, second, weight;
    std::vector<int32_t> blended; // the coordinates whose weight is not 0
};
static ScaleTaps scale_columns, scale_rows;
static int scale_key[5] = {-1, -1, -1, -1, -1};
static std::vector<uint32_t> scale_blended_row;

ModeRecord make_mode(uint32_t width, uint32_t height) {
    return ModeRecord{width, height, 0, 32, 0xFF0000, 0x00FF00, 0x0000FF};
}

//
// Messages
//

void show_message(const char* caption, const char* text, int is_error) {
    last_message_caption = caption;
    last_message_text = text;
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    const bool can_show = driver && std::strcmp(driver, "dummy") != 0 &&
                          std::strcmp(driver, "offscreen") != 0 && display_kind != DISPLAY_MEMORY;
    const Uint32 flags = is_error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    if (can_show && SDL_ShowSimpleMessageBox(flags, caption, text, nullptr) == 0) return;
    size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == '\n') length--;
    std::fprintf(stderr, "%s: %.*s\n", caption, int(length), text);
}

//
// Software scaling
//

// Nearest neighbour: each destination coordinate takes the source coordinate
// under its centre.
static void nearest_taps(int source_size, int destination_size, ScaleTaps& taps) {
    taps.first.resize(size_t(destination_size));
    taps.second.resize(size_t(destination_size));
    taps.weight.assign(size_t(destination_size), 0);
    taps.blended.clear();
    for (int d = 0; d < destination_size; d++)
        taps.first[d] = taps.second[d] =
            int32_t((int64_t(2 * d + 1) * source_size) / (2 * destination_size));
}

// Linear: the two source coordinates around each destination centre, in 16.16
// steps, over the source repeated `repeat` times (the sharp filter's whole
// multiple, whose coordinate i lies in source coordinate i / repeat). A pair
// that lands on one source coordinate gets weight 0: blending a pixel with
// itself gives the pixel back.
static void linear_taps(int source_size, int destination_size, int repeat, ScaleTaps& taps) {
    const int size = source_size * repeat;
    taps.first.resize(size_t(destination_size));
    taps.second.resize(size_t(destination_size));
    taps.weight.resize(size_t(destination_size));
    for (int d = 0; d < destination_size; d++) {
        int64_t u = (int64_t(2 * d + 1) * size * 65536) / (2 * destination_size) - 32768;
        if (u < 0) u = 0;
        int32_t i = int32_t(u >> 16);
        int32_t f = int32_t((u >> 8) & 255);
        if (i >= size - 1) {
            i = size - 1;
            f = 0;
        }
        taps.first[d] = i / repeat;
        taps.second[d] = std::min(i + 1, size - 1) / repeat;
        taps.weight[d] = taps.first[d] == taps.second[d] ? 0 : f;
    }
}

// Blends two pixels, f/256 of b: red and blue in one step, green in another.
static inline uint32_t blend_pixels(uint32_t a, uint32_t b, uint32_t f) {
    const uint32_t g = 256 - f;
    const uint32_t rb = (((a & 0xFF00FF) * g + (b & 0xFF00FF) * f) >> 8) & 0xFF00FF;
    const uint32_t gr = (((a & 0x00FF00) * g + (b & 0x00FF00) * f) >> 8) & 0x00FF00;
    return rb | gr;
}

// The largest whole multiple of the source that fits the destination (at least 1).
static int whole_multiple(int sw, int sh, int dw, int dh) {
    return std::max(1, std::min(dw / sw, dh / sh));
}

// Sharp is nearest up to the largest whole multiple, then linear to the final
// size; both steps fold into one set of linear taps over the source.
static void prepare_taps(int sw, int sh, int dw, int dh, int filter) {
    const int key[5] = {sw, sh, dw, dh, filter};
    if (std::equal(key, key + 5, scale_key)) return;
    std::copy(key, key + 5, scale_key);
    const int k = whole_multiple(sw, sh, dw, dh);
    if (filter == FILTER_NEAREST || (filter == FILTER_SHARP && sw * k == dw && sh * k == dh)) {
        nearest_taps(sw, dw, scale_columns);
        nearest_taps(sh, dh, scale_rows);
        return;
    }
    const int repeat = filter == FILTER_SHARP ? k : 1;
    linear_taps(sw, dw, repeat, scale_columns);
    linear_taps(sh, dh, repeat, scale_rows);
    scale_columns.blended.clear();
    for (int x = 0; x < dw; x++)
        if (scale_columns.weight[x] != 0) scale_columns.blended.push_back(x);
}

// One destination row from one source row (already blended down the column):
// the nearest source pixel everywhere, then the blends where a weight is not 0
// (all of them when that is most of the row).
static void scale_row(const uint32_t* in, uint32_t* out, int dw) {
    const int32_t* first = scale_columns.first.data();
    const int32_t* second = scale_columns.second.data();
    const int32_t* weight = scale_columns.weight.data();
    const size_t blends = scale_columns.blended.size();
    if (blends * 2 > size_t(dw)) {
        for (int x = 0; x < dw; x++)
            out[x] = blend_pixels(in[first[x]], in[second[x]], uint32_t(weight[x]));
        return;
    }
    for (int x = 0; x < dw; x++) out[x] = in[first[x]];
    for (size_t i = 0; i < blends; i++) {
        const int32_t x = scale_columns.blended[i];
        out[x] = blend_pixels(in[first[x]], in[second[x]], uint32_t(weight[x]));
    }
}

// Each destination row blends its two source rows, then samples that blended
// row across; a row with the same taps as the one above is a copy of it.
void scale_pixels(const uint32_t* source, int sw, int sh, uint32_t* destination, int dw, int dh,
                  int filter) {
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    if (sw == dw && sh == dh) {
        std::memcpy(destination, source, size_t(sw) * sh * 4);
        return;
    }
    prepare_taps(sw, sh, dw, dh, filter);
    scale_blended_row.resize(size_t(sw));
    uint32_t* blended = scale_blended_row.data();
    for (int y = 0; y < dh; y++) {
        const int32_t r0 = scale_rows.first[y], r1 = scale_rows.second[y];
        const uint32_t fy = uint32_t(scale_rows.weight[y]);
        uint32_t* out = destination + size_t(y) * dw;
        if (y > 0 && r0 == scale_rows.first[y - 1] && r1 == scale_rows.second[y - 1] &&
            int32_t(fy) == scale_rows.weight[y - 1]) {
            std::memcpy(out, out - dw, size_t(dw) * 4);
            continue;
        }
        const uint32_t* top = source + size_t(r0) * sw;
        const uint32_t* in = top;
        if (fy != 0) {
            const uint32_t* bottom = source + size_t(r1) * sw;
            for (int x = 0; x < sw; x++) blended[x] = blend_pixels(top[x], bottom[x], fy);
            in = blended;
        }
        scale_row(in, out, dw);
    }
}

//
// Textures of the window display
//

static void destroy_texture(SDL_Texture*& texture) {
    if (texture) SDL_DestroyTexture(texture);
    texture = nullptr;
}

static SDL_Texture* make_target(int width, int height) {
    SDL_Texture* t = SDL_CreateTexture(display_renderer, SDL_PIXELFORMAT_ARGB8888,
                                       SDL_TEXTUREACCESS_TARGET, width, height);
    if (t) SDL_SetTextureBlendMode(t, SDL_BLENDMODE_NONE);
    return t;
}

// Uploads width x height pixels (row pitch in pixels) into the upload texture,
// growing it when needed.
static SDL_Texture* upload_pixels(SizedTexture& upload, const uint32_t* pixels, int pitch,
                                  int width, int height) {
    if (!upload.texture || upload.width < width || upload.height < height) {
        destroy_texture(upload.texture);
        upload.width = std::max(upload.width, width);
        upload.height = std::max(upload.height, height);
        upload.texture =
            SDL_CreateTexture(display_renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                              upload.width, upload.height);
        if (!upload.texture) return nullptr;
        SDL_SetTextureBlendMode(upload.texture, SDL_BLENDMODE_NONE);
    }
    const SDL_Rect area = {0, 0, width, height};
    if (SDL_UpdateTexture(upload.texture, &area, pixels, pitch * 4) != 0) return nullptr;
    return upload.texture;
}

static SDL_Texture* stage_texture(SizedTexture& stage, int width, int height) {
    if (!stage.texture || stage.width != width || stage.height != height) {
        destroy_texture(stage.texture);
        stage.texture = make_target(width, height);
        stage.width = width;
        stage.height = height;
    }
    return stage.texture;
}

// Draws the sw x sh part of source onto the rectangle of target (nullptr: the
// window) with the chosen filter.
static int draw_scaled(SDL_Texture* source, int sw, int sh, SDL_Texture* target,
                       const SDL_Rect& rect, SizedTexture& stage) {
    const SDL_Rect from = {0, 0, sw, sh};
    SDL_Texture* step = source;
    SDL_Rect step_area = from;
    int last_mode = display_filter == FILTER_NEAREST ? SDL_ScaleModeNearest : SDL_ScaleModeLinear;
    if (display_filter == FILTER_SHARP) {
        const int k = whole_multiple(sw, sh, rect.w, rect.h);
        if (sw * k == rect.w && sh * k == rect.h) {
            last_mode = SDL_ScaleModeNearest;
        } else if (k > 1) {
            step = stage_texture(stage, sw * k, sh * k);
            if (!step) return 0;
            SDL_SetTextureScaleMode(source, SDL_ScaleModeNearest);
            if (SDL_SetRenderTarget(display_renderer, step) != 0 ||
                SDL_RenderCopy(display_renderer, source, &from, nullptr) != 0)
                return 0;
            step_area = SDL_Rect{0, 0, sw * k, sh * k};
        }
    }
    SDL_SetTextureScaleMode(step, SDL_ScaleMode(last_mode));
    if (SDL_SetRenderTarget(display_renderer, target) != 0) return 0;
    return SDL_RenderCopy(display_renderer, step, &step_area, &rect) == 0;
}

//
// Set-up and release
//

static Surface* new_surface(uint32_t width, uint32_t height, bool with_pixels, void* platform) {
    return new Surface{std::vector<uint32_t>(with_pixels ? size_t(width) * height : 0, 0), width,
                       height, false, platform};
}

static void free_surface(Surface*& surface) {
    if (!surface) return;
    if (surface == surface_back && surface->platform)
        SDL_DestroyTexture(static_cast<SDL_Texture*>(surface->platform));
    delete surface;
    surface = nullptr;
}

void release_display() {
    if (display_kind == DISPLAY_NONE) return;
    free_surface(surface_back);
    free_surface(surface_primary);
    release_working_surface();
    for (SizedTexture* kept : {&frame_upload, &overlay_upload, &blit_stage, &present_stage}) {
        destroy_texture(kept->texture);
        *kept = SizedTexture{nullptr, 0, 0};
    }
    if (display_renderer) SDL_DestroyRenderer(display_renderer);
    display_renderer = nullptr;
    display_kind = DISPLAY_NONE;
}

static int display_failure(const char* text) {
    show_message("DDRAW", text, 1);
    release_display();
    return 0;
}

int init_display(SDL_Window* window, int device, const ModeRecord& mode) {
    release_display();
    display_kind = DISPLAY_WINDOW;

    Uint32 flags = SDL_RENDERER_TARGETTEXTURE;
    if (display_pacing == PACE_VSYNC) flags |= SDL_RENDERER_PRESENTVSYNC;
    if (window) display_renderer = SDL_CreateRenderer(window, -1, flags);
    if (!display_renderer) return display_failure("Couldn't create DirectDraw object.\n");

    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(display_renderer, &info) != 0 ||
        !(info.flags & SDL_RENDERER_TARGETTEXTURE))
        return display_failure("Couldn't query the interface.\n");
    display_has_vsync = (info.flags & SDL_RENDERER_PRESENTVSYNC) ? 1 : 0;

    int placed = 0;
    if (!display_windowed) {
        if (device >= 0 && device < SDL_GetNumVideoDisplays())
            SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED_DISPLAY(device),
                                  SDL_WINDOWPOS_CENTERED_DISPLAY(device));
        placed = SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    if (placed != 0) return display_failure("Couldn't set cooperative level.\n");

    const uint32_t largest = uint32_t(std::min(info.max_texture_width, info.max_texture_height));
    if (mode.bits_per_pixel != 32 || mode.width == 0 || mode.height == 0 ||
        (largest > 0 && (mode.width > largest || mode.height > largest)))
        return display_failure("Couldn't set the mode.\n");

    int output_width = 0, output_height = 0;
    if (SDL_GetRendererOutputSize(display_renderer, &output_width, &output_height) != 0)
        return display_failure("Couldn't create primary surface.");
    surface_primary =
        new_surface(uint32_t(output_width), uint32_t(output_height), false, display_renderer);

    SDL_Texture* back = make_target(int(mode.width), int(mode.height));
    if (!back) return display_failure("Couldn't find the back buffer.\n");
    surface_back = new_surface(mode.width, mode.height, false, back);

    if (!create_working_surface()) return display_failure("Couldn't create virtual 1 surface.");

    next_flip_time = std::chrono::steady_clock::now();
    return 1;
}

// Full screen is a desktop-sized borderless window on top; a window has the
// mode's size, centred on its display. The picture keeps its aspect either way
// (flip_primary letterboxes it).
int set_display_full_screen(SDL_Window* window, int full) {
    if (!window) return 0;
    full = full ? 1 : 0;
    const int display = std::max(0, SDL_GetWindowDisplayIndex(window));
    SDL_Rect area = {int(SDL_WINDOWPOS_CENTERED_DISPLAY(display)),
                     int(SDL_WINDOWPOS_CENTERED_DISPLAY(display)), int(selected_mode.width),
                     int(selected_mode.height)};
    if (full && SDL_GetDisplayBounds(display, &area) != 0) return 0;
    SDL_SetWindowAlwaysOnTop(window, full ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowBordered(window, full ? SDL_FALSE : SDL_TRUE);
    // The size is set by hand too (while not full screen, where SDL takes it),
    // for window systems without a manager that honours the request.
    if (full) {
        SDL_SetWindowSize(window, area.w, area.h);
        SDL_SetWindowPosition(window, area.x, area.y);
    }
    if (SDL_SetWindowFullscreen(window, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return 0;
    if (!full) {
        SDL_SetWindowSize(window, area.w, area.h);
        SDL_SetWindowPosition(window, area.x, area.y);
    }
    display_windowed = !full;
    return 1;
}

int init_memory_display(uint32_t width, uint32_t height) {
    release_display();
    if (width == 0 || height == 0) return 0;
    display_kind = DISPLAY_MEMORY;
    surface_back = new_surface(width, height, true, nullptr);
    create_working_surface();
    return 1;
}

//
// Surface operations
//

// The back buffer of a window display lives in a render target, not in memory.
static bool is_window_back_buffer(const Surface* surface) {
    return display_kind == DISPLAY_WINDOW && surface && surface == surface_back &&
           surface->platform && display_renderer;
}

static SDL_Texture* back_buffer_texture() {
    return static_cast<SDL_Texture*>(surface_back->platform);
}

// Makes the back buffer the renderer's target; 0 when it cannot.
static int target_back_buffer() {
    return SDL_SetRenderTarget(display_renderer, back_buffer_texture()) == 0;
}

int fill_surface(Surface* surface, uint32_t colour) {
    if (is_window_back_buffer(surface)) {
        if (!target_back_buffer()) return 0;
        SDL_SetRenderDrawColor(display_renderer, Uint8(colour >> 16), Uint8(colour >> 8),
                               Uint8(colour), 255);
        return SDL_RenderClear(display_renderer) == 0;
    }
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return 0;
    fill_pixels(surface->pixels.data(), surface->pixels.size(), colour & 0xFFFFFF);
    unlock_surface(surface);
    return 1;
}

int blit_surface(Surface* source, Surface* destination) {
    if (!source || !destination || source == destination) return 0;
    FrameSurface from;
    if (!lock_surface(source, &from)) return 0;
    int ok = 0;
    if (is_window_back_buffer(destination)) {
        SDL_Texture* uploaded = upload_pixels(frame_upload, from.pixels, int(from.width),
                                              int(from.width), int(from.height));
        const SDL_Rect all = {0, 0, int(destination->width), int(destination->height)};
        ok = uploaded && draw_scaled(uploaded, int(from.width), int(from.height),
                                     back_buffer_texture(), all, blit_stage);
    } else {
        FrameSurface to;
        if (lock_surface(destination, &to)) {
            scale_pixels(from.pixels, int(from.width), int(from.height), to.pixels, int(to.width),
                         int(to.height), display_filter);
            unlock_surface(destination);
            ok = 1;
        }
    }
    unlock_surface(source);
    return ok;
}

int put_pixels(Surface* surface, int x, int y, const uint32_t* pixels, int width, int height) {
    if (!surface || !pixels || width <= 0 || height <= 0) return 0;
    if (is_window_back_buffer(surface)) {
        SDL_Texture* uploaded = upload_pixels(overlay_upload, pixels, width, width, height);
        if (!uploaded) return 0;
        const SDL_Rect from = {0, 0, width, height};
        const SDL_Rect to = {x, y, width, height};
        if (!target_back_buffer()) return 0;
        return SDL_RenderCopy(display_renderer, uploaded, &from, &to) == 0;
    }
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return 0;
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(int(frame.width), x + width);
    const int y1 = std::min(int(frame.height), y + height);
    for (int row = y0; row < y1; row++) {
        const uint32_t* in = pixels + size_t(row - y) * width + (x0 - x);
        uint32_t* out = frame.pixels + size_t(row) * frame.width + x0;
        if (x1 > x0) std::memcpy(out, in, size_t(x1 - x0) * 4);
    }
    unlock_surface(surface);
    return 1;
}

int read_surface_pixels(Surface* surface, std::vector<uint32_t>* out) {
    if (!surface || !out) return 0;
    out->assign(size_t(surface->width) * surface->height, 0);
    if (is_window_back_buffer(surface)) {
        if (!target_back_buffer() ||
            SDL_RenderReadPixels(display_renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, out->data(),
                                 int(surface->width) * 4))
            return 0;
        for (uint32_t& p : *out) p &= 0xFFFFFF;
        return 1;
    }
    FrameSurface frame;
    if (!lock_surface(surface, &frame)) return 0;
    std::memcpy(out->data(), frame.pixels, out->size() * 4);
    unlock_surface(surface);
    return 1;
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

int flip_primary() {
    if (display_kind == DISPLAY_MEMORY) return 1;
    if (display_kind != DISPLAY_WINDOW || !surface_back || !surface_primary) return 0;
    // The output size is the window's only while no render target is set.
    SDL_SetRenderTarget(display_renderer, nullptr);
    int output_width = 0, output_height = 0;
    if (SDL_GetRendererOutputSize(display_renderer, &output_width, &output_height) != 0) return 0;
    surface_primary->width = uint32_t(output_width);
    surface_primary->height = uint32_t(output_height);

    // The back buffer centred on the output, its aspect kept.
    const int64_t bw = surface_back->width, bh = surface_back->height;
    SDL_Rect rect;
    if (int64_t(output_width) * bh <= int64_t(output_height) * bw) {
        rect.w = output_width;
        rect.h = int(std::max<int64_t>(1, output_width * bh / bw));
    } else {
        rect.h = output_height;
        rect.w = int(std::max<int64_t>(1, output_height * bw / bh));
    }
    rect.x = (output_width - rect.w) / 2;
    rect.y = (output_height - rect.h) / 2;

    SDL_SetRenderDrawColor(display_renderer, 0, 0, 0, 255);
    SDL_RenderClear(display_renderer);
    const int ok =
        draw_scaled(back_buffer_texture(), int(bw), int(bh), nullptr, rect, present_stage);
    SDL_RenderPresent(display_renderer);
    // Without a refresh to wait for, vsync pacing falls back to 60 a second.
    if (display_pacing == PACE_60 || (display_pacing == PACE_VSYNC && !display_has_vsync))
        pace_frame();
    return ok;
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
