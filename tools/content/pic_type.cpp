#include "pic_type.h"

#include "font.h"

#include <algorithm>
#include <cmath>

struct RampStop {
    float at;
    Rgb colour;
};

static const RampStop CHROME_RAMP[] = {
    {0.00f, {0.96f, 0.98f, 1.00f}}, {0.22f, {0.62f, 0.74f, 1.00f}}, {0.47f, {0.16f, 0.18f, 0.62f}},
    {0.50f, {0.05f, 0.03f, 0.22f}}, {0.54f, {0.55f, 0.22f, 0.20f}}, {0.72f, {1.00f, 0.58f, 0.16f}},
    {1.00f, {1.00f, 0.93f, 0.70f}},
};
static const RampStop GOLD_RAMP[] = {
    {0.00f, {1.00f, 0.97f, 0.78f}}, {0.30f, {1.00f, 0.78f, 0.30f}}, {0.55f, {0.70f, 0.36f, 0.06f}},
    {0.62f, {0.55f, 0.25f, 0.05f}}, {0.85f, {1.00f, 0.72f, 0.25f}}, {1.00f, {1.00f, 0.90f, 0.55f}},
};
static const RampStop LIGHT_RAMP[] = {
    {0.00f, {1.00f, 1.00f, 1.00f}},
    {0.55f, {0.86f, 0.90f, 1.00f}},
    {1.00f, {1.00f, 0.86f, 0.66f}},
};

template <size_t N> static Rgb ramp_at(const RampStop (&stops)[N], float t) {
    t = clamp01(t);
    for (size_t i = 0; i + 1 < N; i++)
        if (t <= stops[i + 1].at) {
            const float f = (t - stops[i].at) / (stops[i + 1].at - stops[i].at);
            return mix(stops[i].colour, stops[i + 1].colour, f);
        }
    return stops[N - 1].colour;
}

static Rgb finish_colour(Finish finish, float t) {
    switch (finish) {
    case FINISH_GOLD:
        return ramp_at(GOLD_RAMP, t);
    case FINISH_LIGHT:
        return ramp_at(LIGHT_RAMP, t);
    default:
        return ramp_at(CHROME_RAMP, t);
    }
}

Lettering style_coverage(const Gray& a, const TypeStyle& style) {
    const int S = TYPE_SUPERSAMPLE;
    // Vertical extent of the ink: the metal ramp runs over it.
    int top = a.h, bottom = 0;
    for (int y = 0; y < a.h; y++)
        for (int x = 0; x < a.w; x++)
            if (a.at(x, y) > 0.5f) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                break;
            }
    const float span = float(std::max(1, bottom - top));

    Gray height = a;
    const int bevel_r = std::max(1, int(style.bevel * S / 2.0f));
    blur(height, bevel_r);
    Gray glow = a;
    blur(glow, std::max(1, int(style.glow_radius * S / 2.0f)));

    const float slope = float(bevel_r) * 2.2f;
    const float lx = -0.45f, ly = -0.65f, lz = 0.62f; // light from the upper left
    const float hl = std::sqrt(lx * lx + ly * ly + (lz + 1) * (lz + 1));
    const float hx = lx / hl, hy = ly / hl, hz = (lz + 1) / hl;

    Image premul = make_image(a.w, a.h, {0, 0, 0});
    Gray alpha = make_gray(a.w, a.h, 0.0f);
    for (int y = 0; y < a.h; y++)
        for (int x = 0; x < a.w; x++) {
            const float cov = a.at(x, y);
            const float g = clamp01(glow.at(x, y) * style.glow_strength * 2.0f);
            Rgb letter{0, 0, 0};
            if (cov > 0.0f) {
                const int xl = std::max(0, x - 1), xr = std::min(a.w - 1, x + 1);
                const int yu = std::max(0, y - 1), yd = std::min(a.h - 1, y + 1);
                float nx = (height.at(xl, y) - height.at(xr, y)) * slope;
                float ny = (height.at(x, yu) - height.at(x, yd)) * slope;
                float nz = 1.0f;
                const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
                nx /= len, ny /= len, nz /= len;
                const float t = (float(y - top) / span) - ny * 0.35f;
                const float diffuse = std::max(0.0f, nx * lx + ny * ly + nz * lz);
                const float specular = std::pow(std::max(0.0f, nx * hx + ny * hy + nz * hz), 48.0f);
                letter = finish_colour(style.finish, t) * (0.55f + 0.6f * diffuse) +
                         Rgb{1, 1, 1} * (specular * 0.9f);
            }
            const float out = cov + (1.0f - cov) * g;
            premul.at(x, y) = letter * cov + style.glow * ((1.0f - cov) * g);
            alpha.at(x, y) = out;
        }
    return {downsample(premul, S), downsample(alpha, S)};
}

Lettering set_words(const char* text, int w, int h, int margin_x, int margin_y,
                    const TypeStyle& style) {
    const int S = TYPE_SUPERSAMPLE;
    const Gray cov = fit_text(text, (w - 2 * margin_x) * S, (h - 2 * margin_y) * S);
    Gray canvas = make_gray(w * S, h * S, 0.0f);
    stamp(canvas, cov, margin_x * S + ((w - 2 * margin_x) * S - cov.w) / 2, (h * S - cov.h) / 2);
    return style_coverage(canvas, style);
}

void place_lettering(Image& dst, const Lettering& l, int ox, int oy) {
    for (int y = std::max(0, -oy); y < l.alpha.h && y + oy < dst.h; y++)
        for (int x = std::max(0, -ox); x < l.alpha.w && x + ox < dst.w; x++) {
            Rgb& p = dst.at(x + ox, y + oy);
            p = l.premul.at(x, y) + p * (1.0f - l.alpha.at(x, y));
        }
}

void fade_edges(Lettering& l, int width) {
    for (int y = 0; y < l.alpha.h; y++)
        for (int x = 0; x < l.alpha.w; x++) {
            const int edge = std::min({x, y, l.alpha.w - 1 - x, l.alpha.h - 1 - y});
            const float k = smoothstep(0.0f, float(width), float(edge));
            l.alpha.at(x, y) *= k;
            l.premul.at(x, y) = l.premul.at(x, y) * k;
        }
}

Image lettering_colour(const Lettering& l, Rgb empty) {
    Image out = make_image(l.alpha.w, l.alpha.h, empty);
    for (size_t i = 0; i < out.px.size(); i++)
        if (l.alpha.v[i] > 1.0f / 512.0f) out.px[i] = l.premul.px[i] * (1.0f / l.alpha.v[i]);
    return out;
}

Gray lettering_mask(const Lettering& l) {
    Gray out = l.alpha;
    for (float& v : out.v) v = 1.0f - clamp01(v);
    return out;
}
