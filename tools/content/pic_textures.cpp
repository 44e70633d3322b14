// Textures of 256 x 256 (the tiling ones repeat in both directions) and the
// smooth displacement maps.
#include "content.h"
#include "pic.h"

#include <algorithm>
#include <cmath>

static const int T = 256;

// Light and dark edges of a square panel: +1 on its upper left rim, -1 on its
// lower right rim, 0 inside; (u, v) are 0..1 across the panel.
static float panel_bevel(float u, float v, float width) {
    const float lit = std::max(smoothstep(width, 0.0f, u), smoothstep(width, 0.0f, v));
    const float dark =
        std::max(smoothstep(1.0f - width, 1.0f, u), smoothstep(1.0f - width, 1.0f, v));
    return lit - dark;
}

// Share of tile edges that carry a circuit trace.
static const float TRACE_CHANCE = 0.42f;

// The board's tiles: 8 across and 10 down, so that they look square on the
// 4:3 screen, where the plane is seen a texel to a pixel.
static const int TILES_X = 8, TILES_Y = 10;
static const float TILE_W = float(T) / TILES_X, TILE_H = float(T) / TILES_Y;

// A chip on a tile without traces: a dark body with a lit top edge, three
// gold pins on each side and a mark by its first pin, about centre c.
static void draw_chip(Gray& body, Gray& edge, Gray& pins, Point c) {
    const float hw = 9.0f, hh = 6.0f;
    fill_polygon(
        body,
        {{c.x - hw, c.y - hh}, {c.x + hw, c.y - hh}, {c.x + hw, c.y + hh}, {c.x - hw, c.y + hh}},
        1.0f);
    draw_segment(edge, {c.x - hw + 1.0f, c.y - hh + 0.5f}, {c.x + hw - 1.0f, c.y - hh + 0.5f}, 0.6f,
                 1.0f, true);
    for (int i = -1; i <= 1; i++) {
        const float y = c.y + float(i) * 3.5f;
        draw_segment(pins, {c.x - hw - 4.0f, y}, {c.x - hw, y}, 0.9f, 1.0f, true);
        draw_segment(pins, {c.x + hw, y}, {c.x + hw + 4.0f, y}, 0.9f, 1.0f, true);
    }
    draw_round(pins, {c.x - hw + 3.5f, c.y - hh + 3.5f}, 1.2f, 0.8f, true);
}

Image tex_circuits() {
    // A mauve board, light enough that the scene's blue dots stand out on
    // it, with gold traces between the tiles' centres and chips on the tiles
    // that no trace reaches.
    Image img = make_image(T, T, {0, 0, 0});
    for (int y = 0; y < T; y++)
        for (int x = 0; x < T; x++) {
            const int tx = int(float(x) / TILE_W), ty = int(float(y) / TILE_H);
            const float u = float(x) / TILE_W - float(tx), v = float(y) / TILE_H - float(ty);
            const float n = fbm(float(x) / 32.0f, float(y) / 32.0f, 4, 8, 8, 201);
            const float tone = 0.85f + 0.3f * hash01(tx + ty * TILES_X, 0, 202);
            Rgb c = rgb8(104, 66, 128) * (tone * (0.85f + 0.3f * n));
            const float bevel = panel_bevel(u, v, 0.08f);
            c = c + rgb8(150, 120, 200) * std::max(0.0f, bevel) * 0.6f;
            c = c * (1.0f + std::min(0.0f, bevel) * 0.5f);
            img.at(x, y) = c;
        }
    // An edge carries a trace when its hash says so, so both neighbours agree
    // and the pattern wraps.
    Gray traces = make_gray(T, T, 0.0f), pads = traces, body = traces, edge = traces, pins = traces;
    for (int ty = 0; ty < TILES_Y; ty++)
        for (int tx = 0; tx < TILES_X; tx++) {
            const Point c{(float(tx) + 0.5f) * TILE_W, (float(ty) + 0.5f) * TILE_H};
            int links = 0;
            if (hash01(tx, ty, 210) < TRACE_CHANCE) {
                draw_segment(traces, c, {c.x + TILE_W, c.y}, 1.3f, 1.0f, true);
                links++;
            }
            if (hash01(tx, ty, 211) < TRACE_CHANCE) {
                draw_segment(traces, c, {c.x, c.y + TILE_H}, 1.3f, 1.0f, true);
                links++;
            }
            const int left = (tx + TILES_X - 1) % TILES_X, up = (ty + TILES_Y - 1) % TILES_Y;
            links += hash01(left, ty, 210) < TRACE_CHANCE;
            links += hash01(tx, up, 211) < TRACE_CHANCE;
            if (links > 0)
                draw_round(pads, c, 3.5f, 1.0f, true);
            else
                draw_chip(body, edge, pins, c);
        }
    Gray shadow = body;
    blur(shadow, 2, true);
    for (int i = 0; i < T * T; i++) {
        const size_t k = size_t(i);
        Rgb& p = img.px[k];
        p = p * (1.0f - 0.35f * shadow.v[k]);
        p = mix(p, rgb8(34, 20, 52), body.v[k]);
        p = mix(p, rgb8(150, 130, 200), edge.v[k] * body.v[k]);
        p = mix(p, rgb8(255, 170, 40), traces.v[k]);
        p = mix(p, rgb8(255, 200, 90), pins.v[k]);
        p = mix(p, rgb8(255, 225, 130), pads.v[k]);
    }
    return img;
}

// Distance from x to the nearest multiple of period, plus offset.
static float periodic_distance(float x, float period, float offset) {
    const float t = std::fmod(x - offset, period);
    const float d = t < 0.0f ? t + period : t;
    return std::min(d, period - d);
}

Image tex_tunnel() {
    // Columns run around the tunnel, rows along it. The tunnel reads the
    // texture as one run of 65,536 texels, two columns a step around: across
    // its seams (the horizontal axis, where the angle wraps, and the vertical
    // one) a ring meets itself one or two rows further on, and where a column
    // passes 255 the run carries into the next row. So every ring is soft in
    // the row direction (a two-row shift moves it by a fraction of its
    // width), and the rings climb one row across the texture's width, which
    // makes the carry seamless.
    Image img = make_image(T, T, {0, 0, 0});
    for (int y = 0; y < T; y++)
        for (int x = 0; x < T; x++) {
            const float ring = float(y) + (float(x) + 0.5f) / float(T);
            const float n = fbm(float(x) / 16.0f, ring / 16.0f, 3, 16, 16, 301);
            Rgb c = mix(rgb8(26, 14, 66), rgb8(56, 40, 128), n);
            // Grooves between the panels, around the tunnel.
            const float groove =
                std::exp(-std::pow(periodic_distance(float(x), 32.0f, 0.0f), 2.0f) / 3.0f);
            c = c * (1.0f - 0.45f * groove);
            // A broad lit rib every 64 rows and a faint band between ribs.
            const float rib_d = periodic_distance(ring, 64.0f, 4.0f);
            const float band_d = periodic_distance(ring, 64.0f, 36.0f);
            const float rib = std::exp(-rib_d * rib_d / (2.0f * 8.0f * 8.0f));
            const float band = std::exp(-band_d * band_d / (2.0f * 6.0f * 6.0f));
            c = mix(c, rgb8(175, 190, 255), rib * 0.85f);
            c = c + rgb8(70, 60, 170) * (band * 0.5f);
            // Lamps on the ribs, every 32 columns between the grooves.
            const float lamp_dx = periodic_distance(float(x), 32.0f, 16.0f);
            // Lamps are round in the tunnel: narrow across the columns, which
            // are squeezed there, and broad along the rows.
            const float lamp = lamp_dx * lamp_dx + 0.25f * rib_d * rib_d;
            c = c + rgb8(255, 130, 30) * (0.6f * std::exp(-lamp / (2.0f * 5.0f * 5.0f)));
            c = c + rgb8(255, 235, 190) * (0.9f * std::exp(-lamp / (2.0f * 2.5f * 2.5f)));
            img.at(x, y) = c;
        }
    return img;
}

Image tex_think() {
    // Violet clouds under a lattice of golden diamonds with lights at the joints.
    Image img = make_image(T, T, {0, 0, 0});
    for (int y = 0; y < T; y++)
        for (int x = 0; x < T; x++) {
            const float n = fbm(float(x) / 64.0f, float(y) / 64.0f, 5, 4, 4, 401);
            const float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
            const float d1 = std::fabs(std::fmod(fx + fy, 64.0f) - 32.0f);
            const float d2 = std::fabs(std::fmod(fx - fy + 512.0f, 64.0f) - 32.0f);
            const float line = std::max(smoothstep(30.2f, 31.6f, d1), smoothstep(30.2f, 31.6f, d2));
            const float inner = std::min(d1, d2) / 32.0f;
            Rgb c = mix(rgb8(20, 8, 60), rgb8(90, 40, 170), n);
            c = c + rgb8(40, 60, 200) * (inner * inner * 0.5f);
            c = mix(c, rgb8(255, 180, 60), line * 0.9f);
            img.at(x, y) = c;
        }
    for (int j = 0; j < 8; j++)
        for (int i = 0; i < 8; i++) {
            if ((i + j) & 1) continue;
            const Point p{float(i * 32), float(j * 32)};
            add_round_spot(img, p, 4.0f, rgb8(255, 140, 40) * 0.6f, true);
            add_round_spot(img, p, 1.4f, rgb8(255, 250, 220), true);
        }
    return img;
}

Image tex_colours() {
    // Bands repeating every 64 texels each way (the displacement effect reads
    // only a corner of it, with a row step of 255, so the repeat keeps its
    // view seamless), coloured from the show's palette: deep blue, violet,
    // orange and gold, and the pale blue of its sky.
    static const Rgb stops[] = {rgb8(0, 0, 143),   rgb8(80, 30, 170),   rgb8(200, 60, 150),
                                rgb8(255, 128, 0), rgb8(255, 215, 100), rgb8(127, 127, 255),
                                rgb8(20, 30, 200), rgb8(0, 0, 143)};
    Image img = make_image(T, T, {0, 0, 0});
    for (int y = 0; y < T; y++)
        for (int x = 0; x < T; x++) {
            const float a = 2.0f * PI * float(x) / 64.0f, b = 2.0f * PI * float(y) / 64.0f;
            const float w = 0.5f + 0.5f * std::sin(a + std::sin(b) * 1.5f);
            const float g = 0.5f + 0.5f * std::sin(b * 2.0f + std::cos(a) * 1.2f + 2.0f);
            const float ring = 0.5f + 0.5f * std::cos((std::cos(a) + std::cos(b)) * 4.0f);
            const float t = std::fmod(0.6f * w + 0.3f * g + 0.25f * ring, 1.0f);
            img.at(x, y) = ramp(stops, 8, t) * (0.8f + 0.2f * ring);
        }
    return img;
}

// The figure's head reads this texture through its world normals (u, v from
// x, y), and those normals lean towards the figure's feet (head_lean,
// content.h). Each texel is painted as the chrome reflection of the sphere
// normal it stands for: the lean taken out, then the view's reflection looked
// up in a sky over a dark ground, with a highlight from the upper left.
namespace {
struct V3 {
    float x, y, z;
};
V3 operator*(V3 a, float k) {
    return {a.x * k, a.y * k, a.z * k};
}
V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
float dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 unit(V3 a) {
    return a * (1.0f / std::sqrt(std::max(1e-12f, dot(a, a))));
}
} // namespace

// The scene's view of the head in world terms: the direction of the figure's
// feet, the way from the head to the viewer (the head sits 70 pixels above
// the middle of the frame, 15 degrees off the camera's axis), and screen
// right and down there.
static const V3 FIGURE_FEET = {0.0f, 0.803208f, -0.595699f};
static const V3 TO_VIEWER = {0.0f, 0.846f, 0.532f};
static const V3 SCREEN_RIGHT = {-1.0f, 0.0f, 0.0f};
static const V3 SCREEN_DOWN = {0.0f, 0.532f, -0.846f};

// Sky, horizon and ground seen along view direction r (x right, y down, z
// towards the viewer).
static Rgb chrome_reflection(V3 r) {
    const float up = -r.y;
    Rgb c;
    if (up >= 0.0f)
        c = mix(rgb8(170, 190, 255), rgb8(40, 60, 175), std::pow(up, 0.6f));
    else
        c = mix(rgb8(110, 70, 170), rgb8(40, 22, 95), std::pow(-up, 0.5f));
    c = c + rgb8(255, 170, 60) * (std::exp(-up * up / 0.004f) * 0.7f);
    const V3 light = unit({-0.55f, -0.6f, 0.6f});
    const float h = std::max(0.0f, dot(r, light));
    c = c + rgb8(255, 255, 255) * (std::pow(h, 60.0f) * 1.3f + std::pow(h, 8.0f) * 0.25f);
    return c;
}

Image tex_blue_chrome() {
    Image img = make_image(T, T, {0, 0, 0});
    for (int y = 0; y < T; y++)
        for (int x = 0; x < T; x++) {
            V3 m{float(x) / 127.0f - 1.0f, float(y) / 127.0f - 1.0f, 0.0f};
            m.z = -std::sqrt(std::max(0.0f, 1.0f - m.x * m.x - m.y * m.y));
            m = unit(m);
            // Elevation about the figure's axis (towards the crown) and the
            // direction around it; then the elevation before the lean.
            const V3 crown = FIGURE_FEET * -1.0f;
            const float lean = std::asin(std::max(-1.0f, std::min(1.0f, dot(m, crown))));
            V3 around = m - crown * dot(m, crown);
            if (dot(around, around) < 1e-8f) around = TO_VIEWER;
            around = unit(around);
            const float e =
                std::max(-PI / 2, std::min(PI / 2, float((lean - HEAD_LEAN_FEET) /
                                                         (HEAD_LEAN_CROWN - HEAD_LEAN_FEET) * PI) -
                                                       PI / 2));
            const V3 n = around * std::cos(e) - FIGURE_FEET * std::sin(e);
            const V3 v{dot(n, SCREEN_RIGHT), dot(n, SCREEN_DOWN), dot(n, TO_VIEWER)};
            const V3 r = v * (2.0f * v.z) - V3{0.0f, 0.0f, 1.0f};
            img.at(x, y) = chrome_reflection(r);
        }
    return img;
}

Image tex_wood() {
    // Long grain for the turned body: columns run around it, rows up it, and
    // around it the texture is squeezed about four texels to a pixel, so the
    // rings and the grain change slowly across the columns.
    Image img = make_image(T, T, {0, 0, 0});
    for (int y = 0; y < T; y++)
        for (int x = 0; x < T; x++) {
            const float warp = fbm(float(x) / 64.0f, float(y) / 64.0f, 3, 4, 4, 601);
            const float around = std::fabs(std::sin(2.0f * PI * float(x) / T));
            const float rings = std::fmod(around * 2.5f + warp * 3.0f + float(y) * 0.01f, 1.0f);
            const float grain = value_noise(float(x) / 8.0f, float(y) / 32.0f, 32, 8, 602);
            const float late = smoothstep(0.55f, 0.9f, rings) * smoothstep(1.0f, 0.9f, rings);
            Rgb c = mix(rgb8(196, 126, 62), rgb8(120, 62, 26), late);
            c = c * (0.88f + 0.2f * grain);
            img.at(x, y) = c;
        }
    return img;
}

Image tex_brain() {
    Image img = make_image(T, T, {0, 0, 0});
    for (int y = 0; y < T; y++)
        for (int x = 0; x < T; x++) {
            const float fx = float(x) / 32.0f, fy = float(y) / 32.0f;
            const float warp = fbm(fx, fy, 3, 8, 8, 701) * 2.0f;
            const float n = fbm(fx + warp, fy + warp * 0.7f, 4, 8, 8, 702);
            const float fold = 1.0f - std::fabs(2.0f * n - 1.0f);
            const float crease = smoothstep(0.78f, 0.98f, fold);
            const float hill = smoothstep(0.2f, 0.75f, fold);
            // Pale and warm: the brain shows it half over the deep blue, and
            // the cube frames, which share it, fog towards the pale sky. The
            // fog takes half of full brightness off every channel before it
            // adds its own colour, so a texel whose channels all lie below
            // half turns into the sky itself: the creases keep red and blue
            // well above half.
            Rgb c = mix(rgb8(195, 180, 190), rgb8(250, 228, 215), hill);
            c = mix(c, rgb8(190, 125, 205), crease * 0.9f);
            img.at(x, y) = c;
        }
    return img;
}

Image tex_environment() {
    // Sky above, ground below, the horizon across the middle and a sun high on
    // the left; repeats across.
    Image img = make_image(T, T, {0, 0, 0});
    for (int y = 0; y < T; y++)
        for (int x = 0; x < T; x++) {
            const float t = float(y) / float(T - 1);
            Rgb c;
            if (t < 0.5f) {
                const float s = t / 0.5f;
                c = mix(rgb8(10, 20, 110), rgb8(190, 200, 255), s * s);
                const float cloud = fbm(float(x) / 32.0f, float(y) / 12.0f, 4, 8, 0, 801);
                c = mix(c, rgb8(235, 235, 255), smoothstep(0.55f, 0.8f, cloud) * s * 0.6f);
            } else {
                const float s = (t - 0.5f) / 0.5f;
                const float n = fbm(float(x) / 16.0f, float(y) / 16.0f, 4, 16, 0, 802);
                c = mix(rgb8(170, 110, 60), rgb8(40, 20, 12), std::sqrt(s)) * (0.8f + 0.4f * n);
            }
            const float h = std::fabs(t - 0.5f) * float(T);
            c = c + rgb8(255, 200, 150) * std::exp(-h * h / 6.0f) * 0.8f;
            img.at(x, y) = c;
        }
    add_spot(img, {70.0f, 50.0f}, 26.0f, rgb8(255, 200, 120) * 0.45f, true);
    add_spot(img, {70.0f, 50.0f}, 7.0f, rgb8(255, 255, 235) * 1.5f, true);
    return img;
}

// The morph's reflection map. The scene looks the texture up through each
// vertex's world normal (u, v from x, y), which on screen runs like a mirror
// ball: the middle of the disc of radius 127 faces the viewer, its rim is the
// object's outline, left and top on screen are left and top here. Each texel is
// the polished gold ball's reflection for the normal it stands for: a sunset
// sky over dark ground (the backdrop's colours), a hot key light at the upper
// left, a blue kicker from the dot columns at the right, and the rim darkened
// as a metal's is. The corners outside the disc are never reached.
Image tex_brown() {
    const Rgb gold = rgb8(255, 184, 92);
    auto sky = [&](float rx, float up) {
        // A violet zenith, a glowing horizon, ground falling to deep brown with
        // a tiled floor for detail.
        Rgb c;
        if (up >= 0.0f) {
            c = mix(rgb8(255, 215, 150), rgb8(110, 60, 150), std::pow(up, 0.6f));
            // Window panes of a studio light, curving over the ball.
            const float bars = smoothstep(0.55f, 0.8f, std::cos(rx * 9.0f)) *
                               smoothstep(0.15f, 0.35f, up) * smoothstep(0.9f, 0.6f, up);
            c = c + rgb8(255, 230, 190) * (0.35f * bars);
        } else {
            const float down = -up;
            c = mix(rgb8(190, 100, 60), rgb8(30, 14, 30), std::pow(down, 0.5f));
            const float tiles =
                std::cos(rx * 14.0f / (0.15f + down)) * std::cos(12.0f / (0.08f + down));
            c = c * (0.65f + 0.5f * smoothstep(-0.2f, 0.6f, tiles));
        }
        const float horizon = std::exp(-up * up / 0.003f);
        return c + rgb8(255, 150, 50) * horizon;
    };
    Image img = make_image(T, T, {0, 0, 0});
    for (int y = 0; y < T; y++)
        for (int x = 0; x < T; x++) {
            float nx = (float(x) - 127.0f) / 127.0f, ny = (float(y) - 127.0f) / 127.0f;
            const float d = std::sqrt(nx * nx + ny * ny);
            if (d > 1.0f) {
                img.at(x, y) = rgb8(40, 20, 10);
                continue;
            }
            const float nz = std::sqrt(std::max(0.0f, 1.0f - nx * nx - ny * ny));
            // The view's reflection (x right, y down, z towards the viewer).
            const float rx = 2.0f * nz * nx, ry = 2.0f * nz * ny, rz = 2.0f * nz * nz - 1.0f;
            Rgb env = sky(rx, -ry);
            const float key = std::max(0.0f, (-0.55f * rx - 0.55f * ry + 0.63f * rz));
            const float kick = std::max(0.0f, (0.8f * rx - 0.2f * ry + 0.56f * rz));
            env = env +
                  rgb8(255, 250, 225) * (2.2f * std::pow(key, 90.0f) + 0.45f * std::pow(key, 9.0f));
            Rgb c = {env.r * gold.r, env.g * gold.g, env.b * gold.b};
            // The highlight burns to white where the gold saturates.
            c = c + rgb8(255, 255, 255) * (0.6f * std::pow(key, 200.0f));
            c = c + rgb8(50, 100, 255) * (0.9f * std::pow(kick, 10.0f));
            c = c * (0.35f + 0.65f * smoothstep(1.0f, 0.7f, std::min(d, 1.0f)));
            img.at(x, y) = c;
        }
    return img;
}

Gray map_displacement(uint32_t seed, float scale) {
    Gray g = make_gray(320, 200, 0.0f);
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++)
            g.at(x, y) = fbm(float(x) / scale, float(y) / scale, 3, 0, 0, seed);
    stretch_to_unit(g); // the full 0..255 range
    return g;
}
