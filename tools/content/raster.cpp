#include "raster.h"
#include "data/files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

Image make_image(int w, int h, Rgb fill) {
    Image img;
    img.w = w;
    img.h = h;
    img.px.assign(size_t(w) * h, fill);
    return img;
}

Gray make_gray(int w, int h, float fill) {
    Gray g;
    g.w = w;
    g.h = h;
    g.v.assign(size_t(w) * h, fill);
    return g;
}

float clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

float smoothstep(float e0, float e1, float x) {
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

Rgb mix(Rgb a, Rgb b, float t) {
    return a + (b - a) * t;
}

Rgb ramp(const Rgb* stops, int n, float t) {
    const float f = clamp01(t) * float(n - 1);
    const int i = std::min(int(f), n - 2);
    return mix(stops[i], stops[i + 1], f - float(i));
}

static uint32_t hash32(uint32_t v) {
    v ^= v >> 16;
    v *= 0x7feb352dU;
    v ^= v >> 15;
    v *= 0x846ca68bU;
    v ^= v >> 16;
    return v;
}

float hash01(int x, int y, uint32_t seed) {
    const uint32_t h = hash32(uint32_t(x) * 0x9E3779B1U ^ hash32(uint32_t(y) + seed * 0x85EBCA77U));
    return float(h >> 8) * (1.0f / 16777216.0f);
}

static int wrap_index(int i, int period) {
    if (period <= 0) return i;
    i %= period;
    return i < 0 ? i + period : i;
}

float value_noise(float x, float y, int period_x, int period_y, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    const int x0 = wrap_index(ix, period_x), x1 = wrap_index(ix + 1, period_x);
    const int y0 = wrap_index(iy, period_y), y1 = wrap_index(iy + 1, period_y);
    const float a = hash01(x0, y0, seed), b = hash01(x1, y0, seed);
    const float c = hash01(x0, y1, seed), d = hash01(x1, y1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fbm(float x, float y, int octaves, int period_x, int period_y, uint32_t seed) {
    float sum = 0.0f, amp = 0.5f, norm = 0.0f;
    for (int o = 0; o < octaves; o++) {
        sum += value_noise(x, y, period_x, period_y, seed + uint32_t(o) * 101U) * amp;
        norm += amp;
        amp *= 0.5f;
        x *= 2.0f;
        y *= 2.0f;
        period_x *= 2;
        period_y *= 2;
    }
    return sum / norm;
}

float rng_next(Rng& rng) {
    rng.state = rng.state * 1664525U + 1013904223U;
    return float(hash32(rng.state) >> 8) * (1.0f / 16777216.0f);
}

// One box pass of width 2r+1 along a line of n values at the given stride.
template <typename T>
static void box_line(T* data, int n, size_t stride, int r, bool wrap, std::vector<T>& tmp) {
    tmp.resize(size_t(n));
    for (int i = 0; i < n; i++) tmp[size_t(i)] = data[size_t(i) * stride];
    auto sample = [&](int i) -> const T& {
        if (wrap) return tmp[size_t(wrap_index(i, n))];
        return tmp[size_t(std::clamp(i, 0, n - 1))];
    };
    T sum = sample(-r) * 0.0f;
    for (int i = -r; i <= r; i++) sum = sum + sample(i);
    const float k = 1.0f / float(2 * r + 1);
    for (int i = 0; i < n; i++) {
        data[size_t(i) * stride] = sum * k;
        sum = sum + sample(i + r + 1) - sample(i - r);
    }
}

template <typename T> static void blur_plane(std::vector<T>& v, int w, int h, int r, bool wrap) {
    if (r < 1) return;
    std::vector<T> tmp;
    for (int pass = 0; pass < 3; pass++) {
        for (int y = 0; y < h; y++) box_line(&v[size_t(y) * w], w, 1, r, wrap, tmp);
        for (int x = 0; x < w; x++) box_line(&v[size_t(x)], h, size_t(w), r, wrap, tmp);
    }
}

void blur(Gray& g, int radius, bool wrap) {
    blur_plane(g.v, g.w, g.h, radius, wrap);
}
void blur(Image& img, int radius, bool wrap) {
    blur_plane(img.px, img.w, img.h, radius, wrap);
}

// Weights of source cells [s0, s1) covering destination cell d of a line of n
// source cells resampled to m.
struct Span {
    int first;
    std::vector<float> weights;
};

static std::vector<Span> area_spans(int n, int m) {
    std::vector<Span> spans;
    spans.resize(size_t(m));
    const double scale = double(n) / double(m);
    for (int d = 0; d < m; d++) {
        const double a = d * scale, b = (d + 1) * scale;
        const int first = int(std::floor(a));
        const int last = std::min(n - 1, int(std::ceil(b)) - 1);
        Span& s = spans[size_t(d)];
        s.first = first;
        for (int i = first; i <= last; i++) {
            const double cover = std::min(b, double(i + 1)) - std::max(a, double(i));
            s.weights.push_back(float(cover / scale));
        }
    }
    return spans;
}

Gray resize_area(const Gray& src, int dw, int dh) {
    const std::vector<Span> sx = area_spans(src.w, dw), sy = area_spans(src.h, dh);
    Gray mid = make_gray(dw, src.h, 0.0f);
    for (int y = 0; y < src.h; y++)
        for (int x = 0; x < dw; x++) {
            float sum = 0.0f;
            const Span& s = sx[size_t(x)];
            for (size_t i = 0; i < s.weights.size(); i++)
                sum += src.at(s.first + int(i), y) * s.weights[i];
            mid.at(x, y) = sum;
        }
    Gray out = make_gray(dw, dh, 0.0f);
    for (int y = 0; y < dh; y++) {
        const Span& s = sy[size_t(y)];
        for (int x = 0; x < dw; x++) {
            float sum = 0.0f;
            for (size_t i = 0; i < s.weights.size(); i++)
                sum += mid.at(x, s.first + int(i)) * s.weights[i];
            out.at(x, y) = sum;
        }
    }
    return out;
}

Image downsample(const Image& src, int factor) {
    Image out = make_image(src.w / factor, src.h / factor, {0, 0, 0});
    const float k = 1.0f / float(factor * factor);
    for (int y = 0; y < out.h; y++)
        for (int x = 0; x < out.w; x++) {
            Rgb sum{0, 0, 0};
            for (int j = 0; j < factor; j++)
                for (int i = 0; i < factor; i++) sum = sum + src.at(x * factor + i, y * factor + j);
            out.at(x, y) = sum * k;
        }
    return out;
}

Gray downsample(const Gray& src, int factor) {
    return resize_area(src, src.w / factor, src.h / factor);
}

void fill_polygon(Gray& g, const std::vector<Point>& poly, float value) {
    const size_t n = poly.size();
    if (n < 3) return;
    std::vector<float> xs;
    for (int y = 0; y < g.h; y++) {
        const float cy = float(y) + 0.5f;
        xs.clear();
        for (size_t i = 0; i < n; i++) {
            const Point a = poly[i], b = poly[(i + 1) % n];
            if ((a.y <= cy) != (b.y <= cy))
                xs.push_back(a.x + (cy - a.y) / (b.y - a.y) * (b.x - a.x));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            const int x0 = std::max(0, int(std::ceil(xs[i] - 0.5f)));
            const int x1 = std::min(g.w - 1, int(std::ceil(xs[i + 1] - 0.5f)) - 1);
            for (int x = x0; x <= x1; x++) g.at(x, y) = std::max(g.at(x, y), value);
        }
    }
}

void paint(Image& dst, const Gray& alpha, Rgb colour, int ox, int oy, float strength) {
    for (int y = std::max(0, -oy); y < alpha.h && y + oy < dst.h; y++)
        for (int x = std::max(0, -ox); x < alpha.w && x + ox < dst.w; x++) {
            Rgb& p = dst.at(x + ox, y + oy);
            p = mix(p, colour, clamp01(alpha.at(x, y) * strength));
        }
}

void add_light(Image& dst, const Gray& alpha, Rgb colour, int ox, int oy) {
    for (int y = std::max(0, -oy); y < alpha.h && y + oy < dst.h; y++)
        for (int x = std::max(0, -ox); x < alpha.w && x + ox < dst.w; x++) {
            Rgb& p = dst.at(x + ox, y + oy);
            p = p + colour * alpha.at(x, y);
        }
}

void stretch_to_unit(Gray& g) {
    if (g.v.empty()) return;
    const auto [lo, hi] = std::minmax_element(g.v.begin(), g.v.end());
    const float low = *lo, range = *hi - *lo;
    for (float& v : g.v) v = range > 0.0f ? (v - low) / range : 0.0f;
}

static uint8_t to_byte(float v) {
    return uint8_t(std::lround(clamp01(v) * 255.0f));
}

std::vector<uint8_t> rgb_bytes(const Image& img) {
    std::vector<uint8_t> out;
    out.reserve(img.px.size() * 3);
    for (const Rgb& p : img.px) {
        out.push_back(to_byte(p.r));
        out.push_back(to_byte(p.g));
        out.push_back(to_byte(p.b));
    }
    return out;
}

std::vector<uint8_t> gray_bytes(const Gray& g) {
    std::vector<uint8_t> out;
    out.reserve(g.v.size());
    for (float v : g.v) out.push_back(to_byte(v));
    return out;
}

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string error;
    return write_file_atomically(path, bytes.data(), bytes.size(), &error);
}

void stamp(Gray& g, const Gray& coverage, int ox, int oy) {
    for (int y = std::max(0, -oy); y < coverage.h && y + oy < g.h; y++)
        for (int x = std::max(0, -ox); x < coverage.w && x + ox < g.w; x++) {
            float& p = g.at(x + ox, y + oy);
            p = std::max(p, coverage.at(x, y));
        }
}

// The pixel that (x, y) lands on in a w x h picture: wrapped around the edges,
// or false when it falls outside.
static bool target_pixel(int w, int h, bool wrap, int& x, int& y) {
    if (wrap) {
        x = wrap_index(x, w);
        y = wrap_index(y, h);
        return true;
    }
    return x >= 0 && y >= 0 && x < w && y < h;
}

static float segment_distance(float px, float py, Point a, Point b) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    float t = len2 > 0.0f ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0.0f;
    t = clamp01(t);
    const float ex = px - (a.x + t * dx), ey = py - (a.y + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

void draw_segment(Gray& g, Point a, Point b, float radius, float value, bool wrap) {
    const int x0 = int(std::floor(std::min(a.x, b.x) - radius - 1));
    const int x1 = int(std::ceil(std::max(a.x, b.x) + radius + 1));
    const int y0 = int(std::floor(std::min(a.y, b.y) - radius - 1));
    const int y1 = int(std::ceil(std::max(a.y, b.y) + radius + 1));
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            int tx = x, ty = y;
            if (!target_pixel(g.w, g.h, wrap, tx, ty)) continue;
            const float d = segment_distance(float(x) + 0.5f, float(y) + 0.5f, a, b);
            const float cov = clamp01(radius + 0.5f - d) * value;
            float& p = g.at(tx, ty);
            p = std::max(p, cov);
        }
}

void draw_disc(Gray& g, Point c, float radius, float value, bool wrap) {
    draw_segment(g, c, c, radius, value, wrap);
}

void draw_round(Gray& g, Point c, float radius, float value, bool wrap) {
    const int reach_x = int(std::ceil((radius + 1.0f) * SCREEN_WIDE));
    const int reach_y = int(std::ceil(radius + 1.0f));
    for (int y = int(c.y) - reach_y; y <= int(c.y) + reach_y; y++)
        for (int x = int(c.x) - reach_x; x <= int(c.x) + reach_x; x++) {
            int tx = x, ty = y;
            if (!target_pixel(g.w, g.h, wrap, tx, ty)) continue;
            const float dx = (float(x) + 0.5f - c.x) / SCREEN_WIDE, dy = float(y) + 0.5f - c.y;
            const float cov = clamp01(radius + 0.5f - std::sqrt(dx * dx + dy * dy)) * value;
            float& p = g.at(tx, ty);
            p = std::max(p, cov);
        }
}

// A Gaussian spot whose sigma is `wide` times larger across than down.
static void add_wide_spot(Image& img, Point c, float sigma, Rgb colour, bool wrap, float wide) {
    const int reach_x = int(std::ceil(sigma * wide * 3.5f));
    const int reach_y = int(std::ceil(sigma * 3.5f));
    const float k = -1.0f / (2.0f * sigma * sigma);
    for (int y = int(c.y) - reach_y; y <= int(c.y) + reach_y; y++)
        for (int x = int(c.x) - reach_x; x <= int(c.x) + reach_x; x++) {
            int tx = x, ty = y;
            if (!target_pixel(img.w, img.h, wrap, tx, ty)) continue;
            const float dx = (float(x) + 0.5f - c.x) / wide, dy = float(y) + 0.5f - c.y;
            Rgb& p = img.at(tx, ty);
            p = p + colour * std::exp((dx * dx + dy * dy) * k);
        }
}

void add_spot(Image& img, Point c, float sigma, Rgb colour, bool wrap) {
    add_wide_spot(img, c, sigma, colour, wrap, 1.0f);
}

void add_round_spot(Image& img, Point c, float sigma, Rgb colour, bool wrap) {
    add_wide_spot(img, c, sigma, colour, wrap, SCREEN_WIDE);
}
