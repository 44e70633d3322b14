// Drawing helpers of the content generator: float images, seeded noise, blurs,
// area resampling, polygon coverage and conversion to the raw item formats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr float PI = 3.14159265f;

// Pictures of 320 x 200 are shown at 4:3, where a pixel is 1.2 times as tall
// as it is wide: a shape meant to be seen round is drawn this many times
// wider than tall.
constexpr float SCREEN_WIDE = 1.2f;

struct Rgb {
    float r, g, b;
};

inline Rgb operator+(Rgb a, Rgb b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Rgb operator-(Rgb a, Rgb b) {
    return {a.r - b.r, a.g - b.g, a.b - b.b};
}
inline Rgb operator*(Rgb a, float k) {
    return {a.r * k, a.g * k, a.b * k};
}

// Colour from 8-bit channels.
inline Rgb rgb8(int r, int g, int b) {
    return {r / 255.0f, g / 255.0f, b / 255.0f};
}

// An RGB picture with channels 0..1 (values outside are clamped on output).
struct Image {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    Rgb& at(int x, int y) { return px[size_t(y) * w + x]; }
    const Rgb& at(int x, int y) const { return px[size_t(y) * w + x]; }
};

// One float per pixel: coverage, height, mask or map values 0..1.
struct Gray {
    int w = 0, h = 0;
    std::vector<float> v;
    float& at(int x, int y) { return v[size_t(y) * w + x]; }
    float at(int x, int y) const { return v[size_t(y) * w + x]; }
};

struct Point {
    float x, y;
};

Image make_image(int w, int h, Rgb fill);
Gray make_gray(int w, int h, float fill);

float clamp01(float v);
float smoothstep(float e0, float e1, float x);
Rgb mix(Rgb a, Rgb b, float t);
// Piecewise linear colour ramp over n stops evenly spaced on 0..1.
Rgb ramp(const Rgb* stops, int n, float t);

// Seeded hash and noise. A period of p makes the noise repeat every p
// units in that direction (0: no repeat).
float hash01(int x, int y, uint32_t seed);
float value_noise(float x, float y, int period_x, int period_y, uint32_t seed);
// Sum of octaves, each twice the frequency and half the amplitude; result 0..1.
float fbm(float x, float y, int octaves, int period_x, int period_y, uint32_t seed);

// Deterministic random numbers for placing things.
struct Rng {
    uint32_t state;
};
float rng_next(Rng& rng); // 0..1

// Approximate Gaussian blur (three box passes of the given radius). Edges clamp,
// or wrap when wrap is true (for tiling textures).
void blur(Gray& g, int radius, bool wrap = false);
void blur(Image& img, int radius, bool wrap = false);

// Area-averaging resample to any smaller or equal size (each output pixel is the
// mean of the source area it covers).
Gray resize_area(const Gray& src, int dw, int dh);
Image downsample(const Image& src, int factor);
Gray downsample(const Gray& src, int factor);

// Coverage 0/1 of pixel centres inside the polygon (even-odd), max-combined
// with value into g. Supersample and downsample for soft edges.
void fill_polygon(Gray& g, const std::vector<Point>& poly, float value);

// Anti-aliased round-ended stroke and disc, max-combined into g. With wrap the
// shape continues across the edges (for tiling textures).
void draw_segment(Gray& g, Point a, Point b, float radius, float value = 1.0f, bool wrap = false);
void draw_disc(Gray& g, Point c, float radius, float value = 1.0f, bool wrap = false);
// A disc that is round on the 4:3 screen: radius rows tall, SCREEN_WIDE times
// as many columns wide.
void draw_round(Gray& g, Point c, float radius, float value = 1.0f, bool wrap = false);

// Copies coverage into g at (ox, oy), max-combined and clipped.
void stamp(Gray& g, const Gray& coverage, int ox, int oy);

// Gaussian spot of light (sigma in pixels) added to every channel by colour.
void add_spot(Image& img, Point c, float sigma, Rgb colour, bool wrap = false);
// The same spot round on the 4:3 screen: sigma in rows, SCREEN_WIDE times that
// in columns.
void add_round_spot(Image& img, Point c, float sigma, Rgb colour, bool wrap = false);

// dst = mix(dst, colour, alpha) with alpha placed at (ox, oy), clipped.
void paint(Image& dst, const Gray& alpha, Rgb colour, int ox, int oy, float strength = 1.0f);
// Adds colour * alpha (light), placed at (ox, oy), clipped.
void add_light(Image& dst, const Gray& alpha, Rgb colour, int ox, int oy);

// Scales the values linearly so that the lowest becomes 0 and the highest 1
// (all 0 when they are all the same).
void stretch_to_unit(Gray& g);

// Raw item formats: 3 bytes a pixel R, G, B; 1 byte a pixel.
std::vector<uint8_t> rgb_bytes(const Image& img);
std::vector<uint8_t> gray_bytes(const Gray& g);
bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);
