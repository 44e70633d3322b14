// Resources shared by the 3D engine and some effects: the texture table, the
// depth and id buffers, the view geometry and the sphere table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TextureRecord {
    uint8_t* pixels;       // RGB texels, row-major, or none
    uint16_t width;        // 256
    uint16_t height;       // 256
    uint16_t kind;         // 0 for every texture of the show
    uint8_t* second_plane; // pixels + width * height when kind is 1
    uint32_t byte_size;    // bytes actually held at pixels
    uint32_t* wide;        // a full RGB texture's texels as words 0x00RRGGBB, or none
};

constexpr int TEXTURE_SIZE = 256;
constexpr uint32_t TEXTURE_RGB_BYTES = TEXTURE_SIZE * TEXTURE_SIZE * 3;

extern TextureRecord* texture_table;
extern uint16_t texture_count;

extern uint32_t* depth_buffer;
extern uint8_t* id_buffer;
extern size_t depth_buffer_bytes;
extern size_t id_buffer_bytes;
extern uint8_t frame_stamp;

extern int32_t view_width;
extern int32_t view_height;
extern float view_centre_x;
extern float view_centre_y;
extern uint16_t view_clip_left;
extern uint16_t view_clip_right; // exclusive
extern uint16_t view_clip_top;
extern uint16_t view_clip_bottom; // exclusive

extern uint16_t* sphere_table;

int texture_table_alloc(uint16_t count);
int texture_load(const char* name, uint16_t index, uint16_t kind);
void texture_table_free();

int alloc_render_buffers(int width, int height);
void free_render_buffers();
void clear_depth_buffer();
void clear_id_buffer();

// View geometry from the working surface's size.
void set_view_geometry(int width, int height);

void build_sphere_table(int width, int height, float inner, float outer);
void free_sphere_table();
