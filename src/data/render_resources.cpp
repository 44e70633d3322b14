// The render resources made once at load: the texture table over the
// texture slots, the depth and id buffers, the view geometry, the sphere table.
#include "data/render_resources.h"

#include "data/pack.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

TextureRecord* texture_table = nullptr;
uint16_t texture_count = 0;

uint32_t* depth_buffer = nullptr;
uint8_t* id_buffer = nullptr;
size_t depth_buffer_bytes = 0;
size_t id_buffer_bytes = 0;
uint8_t frame_stamp = 0;

int32_t view_width = 0;
int32_t view_height = 0;
float view_centre_x = 0;
float view_centre_y = 0;
uint16_t view_clip_left = 0;
uint16_t view_clip_right = 0;
uint16_t view_clip_top = 0;
uint16_t view_clip_bottom = 0;

uint16_t* sphere_table = nullptr;

int texture_table_alloc(uint16_t count) {
    texture_table =
        static_cast<TextureRecord*>(std::calloc(count ? count : 1, sizeof(TextureRecord)));
    if (!texture_table) return 0;
    texture_count = count;
    return 1;
}

int texture_load(const char* name, uint16_t index, uint16_t kind) {
    if (!texture_table || index >= texture_count) return 0;
    TextureRecord& t = texture_table[index];
    std::free(t.pixels);
    std::free(t.wide);
    t = TextureRecord{};
    t.width = TEXTURE_SIZE;
    t.height = TEXTURE_SIZE;
    t.kind = kind;
    std::optional<Buffer> data = pack_read_entry(name);
    if (!data || data->empty()) return 0;
    t.pixels = static_cast<uint8_t*>(std::malloc(data->size()));
    if (!t.pixels) return 0;
    std::memcpy(t.pixels, data->data(), data->size());
    t.byte_size = uint32_t(data->size());
    if (kind == 1 && t.byte_size >= uint32_t(t.width) * t.height)
        t.second_plane = t.pixels + t.width * t.height;
    // The fillers read a full texture a word a texel.
    if (t.byte_size >= TEXTURE_RGB_BYTES) {
        t.wide =
            static_cast<uint32_t*>(std::malloc(TEXTURE_SIZE * TEXTURE_SIZE * sizeof(uint32_t)));
        for (uint32_t i = 0; t.wide && i < TEXTURE_SIZE * TEXTURE_SIZE; i++) {
            const uint8_t* q = t.pixels + 3 * i;
            t.wide[i] = uint32_t(q[0]) << 16 | uint32_t(q[1]) << 8 | q[2];
        }
    }
    return 1;
}

void texture_table_free() {
    if (!texture_table) return;
    for (uint16_t i = 0; i < texture_count; i++) {
        std::free(texture_table[i].pixels);
        std::free(texture_table[i].wide);
        texture_table[i] = TextureRecord{};
    }
    std::free(texture_table);
    texture_table = nullptr;
    texture_count = 0;
}

int alloc_render_buffers(int width, int height) {
    free_render_buffers();
    const size_t pixels = size_t(width) * size_t(height);
    depth_buffer = static_cast<uint32_t*>(std::calloc(pixels, sizeof(uint32_t)));
    if (!depth_buffer) return 0;
    depth_buffer_bytes = pixels * sizeof(uint32_t);
    id_buffer = static_cast<uint8_t*>(std::malloc(pixels));
    id_buffer_bytes = id_buffer ? pixels : 0;
    frame_stamp = 0;
    return 1;
}

void free_render_buffers() {
    std::free(depth_buffer);
    std::free(id_buffer);
    depth_buffer = nullptr;
    id_buffer = nullptr;
    depth_buffer_bytes = 0;
    id_buffer_bytes = 0;
}

void clear_depth_buffer() {
    if (depth_buffer) std::memset(depth_buffer, 0, depth_buffer_bytes);
}

void clear_id_buffer() {
    if (id_buffer) std::memset(id_buffer, 0, id_buffer_bytes);
}

void set_view_geometry(int width, int height) {
    view_width = width;
    view_height = height;
    view_centre_x = float(width * 0.5 - 1.0);
    view_centre_y = float(height * 0.5 - 1.0);
    view_clip_left = 0;
    view_clip_right = uint16_t(width);
    view_clip_top = 0;
    view_clip_bottom = uint16_t(height);
}

// Distance of each pixel from the centre, scaled into the band between inner
// and outer radius; only the table's presence is used by the show.
void build_sphere_table(int width, int height, float inner, float outer) {
    free_sphere_table();
    sphere_table = static_cast<uint16_t*>(std::malloc(size_t(width) * height * sizeof(uint16_t)));
    if (!sphere_table) return;
    const double cx = width * 0.5, cy = height * 0.5, band = outer - inner;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            const double r = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
            double t = band > 0 ? (r - inner) / band : 0;
            t = t < 0 ? 0 : (t > 1 ? 1 : t);
            sphere_table[y * width + x] = uint16_t(t * 65535.0);
        }
    }
}

void free_sphere_table() {
    std::free(sphere_table);
    sphere_table = nullptr;
}
