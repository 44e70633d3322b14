// Triangle fillers of the 3D renderer: one set-up per surface type, each
// walking the edges and filling spans with the depth and id tests.
#pragma once

#include <cstdint>

struct TextureRecord;
struct LightSource;

struct FillVertex {
    int32_t x, y;  // screen pixel
    int32_t z;     // camera-space depth, at least 1
    int32_t u, v;  // texture column 0..511, row 0..255
    int32_t shade; // 0..255
    int32_t red, green, blue;
    float extra[3];
};

struct FillContext {
    uint32_t* frame_pixels;
    uint16_t row_length;
    uint8_t bytes_per_pixel;
    int32_t clip_left, clip_top;
    int32_t clip_right, clip_bottom;  // inclusive maxima (clip box - 1)
    uint32_t* depth_buffer;
    uint8_t* id_buffer;
    uint8_t frame_stamp;
    uint8_t object_id;
};

extern FillContext fill_context;

void fill_depth_only(const FillVertex& a, const FillVertex& b, const FillVertex& c);
void fill_gouraud(const FillVertex& a, const FillVertex& b, const FillVertex& c);
void fill_textured(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                   const TextureRecord* texture);
void fill_textured_shaded(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                          const TextureRecord* texture);
void fill_type4(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                const LightSource& light);
void fill_additive(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                   const TextureRecord* texture);
void fill_wireframe(const FillVertex& a, const FillVertex& b, const FillVertex& c);
void fill_translucent(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                      const TextureRecord* texture);
void fill_keyed_translucent(const FillVertex& a, const FillVertex& b, const FillVertex& c,
                            const TextureRecord* texture);

void draw_shaded_line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t red, int32_t green,
                      int32_t blue, int32_t shade0, int32_t shade1);
