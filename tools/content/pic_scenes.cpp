// Painted full-frame pictures: deep space, the eye, the profile, the floor, the
// emblem, the vivid picture and its counting map.
#include "pic.h"
#include "pic_type.h"

#include <algorithm>
#include <cmath>

Image space_backdrop(int w, int h, uint32_t seed, float nebula) {
    Image img = make_image(w, h, {0, 0, 0});
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const float fx = float(x), fy = float(y);
            const float n1 = fbm(fx / 85.0f, fy / 85.0f, 5, 0, 0, seed);
            const float n2 = fbm(fx / 48.0f + 7.3f, fy / 48.0f, 4, 0, 0, seed + 17);
            const float ridge =
                1.0f - std::fabs(2.0f * fbm(fx / 60.0f, fy / 60.0f, 4, 0, 0, seed + 5) - 1.0f);
            const float cloud = smoothstep(0.42f, 0.78f, n1);
            const float veil = smoothstep(0.5f, 0.85f, n2) * cloud;
            const float hot = smoothstep(0.62f, 0.9f, n1 * 0.6f + n2 * 0.5f);
            Rgb c = mix(rgb8(2, 2, 16), rgb8(8, 3, 30), fy / float(h));
            c = c + rgb8(110, 35, 160) * (cloud * 0.55f * nebula);
            c = c + rgb8(30, 80, 230) * (veil * 0.6f * nebula);
            c = c + rgb8(255, 120, 30) * (hot * std::pow(ridge, 3.0f) * 0.45f * nebula);
            img.at(x, y) = c;
        }
    Rng rng{seed * 7919U + 1U};
    const int stars = w * h / 220;
    for (int i = 0; i < stars; i++) {
        const Point p{rng_next(rng) * float(w), rng_next(rng) * float(h)};
        const float b = std::pow(rng_next(rng), 7.0f);
        const float tint = rng_next(rng);
        const Rgb colour = tint < 0.3f ? rgb8(255, 210, 160)
                                       : (tint < 0.7f ? rgb8(220, 230, 255) : rgb8(170, 190, 255));
        add_round_spot(img, p, 0.4f + b * 0.6f, colour * (0.3f + b * 1.8f));
    }
    return img;
}

Image pic_space() {
    Image img = space_backdrop(320, 200, 3, 1.0f);
    // A far sun behind the top right.
    add_round_spot(img, {282.0f, 34.0f}, 40.0f, rgb8(255, 140, 60) * 0.35f);
    add_round_spot(img, {282.0f, 34.0f}, 9.0f, rgb8(255, 230, 200) * 0.9f);
    add_round_spot(img, {282.0f, 34.0f}, 2.5f, rgb8(255, 255, 255) * 1.0f);
    // A planet low on the left, lit on its upper right rim by that sun; round
    // on the 4:3 screen, so r rows tall and SCREEN_WIDE times that across.
    const float cx = -40.0f, cy = 300.0f, r = 190.0f;
    const float lx = 0.78f, ly = -0.62f;
    const int S = 3;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            Rgb sum{0, 0, 0};
            float cover = 0.0f;
            float glow = 0.0f;
            for (int j = 0; j < S; j++)
                for (int i = 0; i < S; i++) {
                    const float px = float(x) + (float(i) + 0.5f) / S,
                                py = float(y) + (float(j) + 0.5f) / S;
                    const float dx = (px - cx) / (r * SCREEN_WIDE), dy = (py - cy) / r;
                    const float d = std::sqrt(dx * dx + dy * dy);
                    if (d < 1.0f) {
                        const float nz = std::sqrt(1.0f - d * d);
                        const float lit = std::max(0.0f, dx * lx + dy * ly + nz * 0.1f);
                        const float bands = fbm(px / 40.0f, (py + px * 0.35f) / 9.0f, 4, 0, 0, 23);
                        const Rgb ground = mix(rgb8(40, 20, 70), rgb8(140, 80, 120), bands);
                        const float rim = std::pow(1.0f - nz, 3.0f);
                        sum = sum + ground * (lit * 0.8f + 0.03f) +
                              rgb8(90, 150, 255) * (rim * lit * 1.2f);
                        cover += 1.0f;
                    } else {
                        const float out = (d - 1.0f) * r;
                        const float facing = std::max(0.0f, (dx * lx + dy * ly) / d);
                        glow += std::exp(-out / 7.0f) * facing;
                    }
                }
            const float n = float(S * S);
            Rgb& p = img.at(x, y);
            p = mix(p, sum * (1.0f / std::max(cover, 1.0f)), cover / n) +
                rgb8(80, 140, 255) * (glow / n * 0.9f);
        }
    return img;
}

// Strokes a quadratic curve as a row of discs with the radius going from r0 to r1.
static void stroke_curve(Gray& g, Point a, Point ctrl, Point b, float r0, float r1) {
    const int steps = 24;
    Point prev = a;
    for (int i = 1; i <= steps; i++) {
        const float t = float(i) / steps, u = 1.0f - t;
        const Point p{u * u * a.x + 2 * u * t * ctrl.x + t * t * b.x,
                      u * u * a.y + 2 * u * t * ctrl.y + t * t * b.y};
        draw_segment(g, prev, p, r0 + (r1 - r0) * t);
        prev = p;
    }
}

// Lid curves of the eye: upper and lower edge at column x (frame pixels).
static float lid_upper(float x) {
    const float t = clamp01(1.0f - std::pow((x - 160.0f) / 148.0f, 2.0f));
    return 102.0f - 66.0f * std::pow(t, 0.75f) + (x - 160.0f) * 0.04f;
}
static float lid_lower(float x) {
    const float t = clamp01(1.0f - std::pow((x - 160.0f) / 148.0f, 2.0f));
    return 102.0f + 56.0f * std::pow(t, 0.9f) - (x - 160.0f) * 0.03f;
}

Image pic_eye() {
    const int S = 3;
    const int W = 320 * S, H = 200 * S;
    // The iris and the pupil are round on the 4:3 screen: ir and pr rows
    // tall, SCREEN_WIDE times as wide.
    const float icx = 160.0f, icy = 98.0f, ir = 58.0f, pr = 20.0f;
    Image big = make_image(W, H, {0, 0, 0});
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            const float fx = (float(x) + 0.5f) / S, fy = (float(y) + 0.5f) / S;
            const float up = lid_upper(fx), lo = lid_lower(fx);
            const bool open = fy > up && fy < lo && std::fabs(fx - 160.0f) < 148.0f;
            Rgb c;
            if (!open) {
                // Skin in violet shade; darker in the socket, a crease above.
                const float n = fbm(fx / 30.0f, fy / 30.0f, 4, 0, 0, 61);
                const float above = std::max(0.0f, up - fy), below = std::max(0.0f, fy - lo);
                const float near = std::exp(-std::min(above, below) / 28.0f);
                c = mix(rgb8(176, 128, 170), rgb8(110, 60, 130), near * 0.7f) * (0.85f + 0.3f * n);
                const float crease = std::fabs(fy - (up - 20.0f + std::fabs(fx - 160.0f) * 0.05f));
                c = c * (1.0f - 0.45f * std::exp(-crease * crease / 10.0f) *
                                    clamp01(1.0f - std::fabs(fx - 160.0f) / 150.0f));
                const float lid_edge = std::min(std::fabs(fy - up), std::fabs(fy - lo));
                const float inside = clamp01((148.0f - std::fabs(fx - 160.0f)) / 6.0f);
                c = mix(c, rgb8(200, 110, 140), std::exp(-lid_edge / 2.5f) * 0.8f * inside);
            } else {
                const float dx = (fx - icx) / SCREEN_WIDE, dy = fy - icy;
                const float d = std::sqrt(dx * dx + dy * dy);
                if (d > ir) {
                    // White of the eye: shaded towards the corners, faint veins.
                    const float corner = std::fabs(fx - 160.0f) / 148.0f;
                    const float vein = std::pow(
                        1.0f - std::fabs(2.0f * fbm(fx / 14.0f, fy / 14.0f, 3, 0, 0, 71) - 1.0f),
                        12.0f);
                    c = mix(rgb8(238, 234, 246), rgb8(150, 140, 190), corner * corner);
                    c = mix(c, rgb8(210, 90, 110), vein * corner * 0.35f);
                } else {
                    const float rr = d / ir;
                    const float a = std::atan2(dy, dx);
                    const float fibre = fbm(a / (2 * PI) * 96.0f, rr * 3.0f, 3, 96, 0, 83);
                    const float fine = value_noise(a / (2 * PI) * 240.0f, rr * 1.5f, 240, 0, 84);
                    Rgb iris =
                        mix(rgb8(30, 60, 170), rgb8(110, 170, 255), fibre * 0.8f + fine * 0.3f);
                    const float collar = 0.5f + 0.1f * std::sin(a * 9.0f) + (fibre - 0.5f) * 0.25f;
                    iris = mix(iris, mix(rgb8(255, 150, 30), rgb8(255, 210, 90), fine),
                               smoothstep(collar + 0.05f, collar - 0.05f, rr));
                    iris = iris * (1.0f - 0.75f * smoothstep(0.82f, 1.0f, rr));
                    c = iris;
                    const float edge = clamp01((pr + 0.7f - d) / 1.4f);
                    c = mix(c, rgb8(4, 2, 10), edge);
                }
                // Shadow of the upper lid on the eyeball.
                const float below_lid = fy - up;
                c = c * (1.0f - 0.6f * std::exp(-below_lid / 9.0f));
            }
            big.at(x, y) = c;
        }
    // Lashes: thick curves from the upper lid up and out, short ones below.
    Gray lashes = make_gray(W, H, 0.0f);
    Rng rng{424242};
    for (int i = 0; i < 46; i++) {
        const float t = (float(i) + 0.5f) / 46.0f;
        const float x = 24.0f + t * 272.0f + (rng_next(rng) - 0.5f) * 3.0f;
        const float y = lid_upper(x);
        const float out = (x - 160.0f) / 148.0f;
        const float len = 20.0f + 16.0f * (1.0f - out * out) + rng_next(rng) * 6.0f;
        const Point a{x * S, y * S};
        const Point ctrl{(x + out * len * 0.4f) * S, (y - len * 0.7f) * S};
        const Point b{(x + out * len * 0.9f + 6.0f * out) * S, (y - len * 0.8f) * S};
        stroke_curve(lashes, a, ctrl, b, 1.3f * S, 0.3f * S);
    }
    for (int i = 0; i < 26; i++) {
        const float t = (float(i) + 0.5f) / 26.0f;
        const float x = 50.0f + t * 220.0f;
        const float y = lid_lower(x);
        const float out = (x - 160.0f) / 148.0f;
        const float len = 8.0f + rng_next(rng) * 5.0f;
        stroke_curve(lashes, {x * S, y * S}, {(x + out * len * 0.3f) * S, (y + len * 0.6f) * S},
                     {(x + out * len * 0.8f) * S, (y + len) * S}, 0.8f * S, 0.25f * S);
    }
    paint(big, lashes, rgb8(14, 6, 26), 0, 0);
    Image img = downsample(big, S);
    // Highlights on the cornea.
    const float w = SCREEN_WIDE;
    add_round_spot(img, {icx - 20.0f * w, icy - 21.0f}, 5.5f, rgb8(255, 255, 255) * 1.1f);
    add_round_spot(img, {icx - 20.0f * w, icy - 21.0f}, 2.3f, rgb8(255, 255, 255) * 1.0f);
    add_round_spot(img, {icx + 23.0f * w, icy + 19.0f}, 2.3f, rgb8(220, 230, 255) * 0.6f);
    return img;
}

// Rounds a closed outline by cutting its corners (three rounds of Chaikin).
static std::vector<Point> rounded(std::vector<Point> pts) {
    for (int round = 0; round < 3; round++) {
        std::vector<Point> out;
        for (size_t i = 0; i < pts.size(); i++) {
            const Point a = pts[i], b = pts[(i + 1) % pts.size()];
            out.push_back({a.x * 0.75f + b.x * 0.25f, a.y * 0.75f + b.y * 0.25f});
            out.push_back({a.x * 0.25f + b.x * 0.75f, a.y * 0.25f + b.y * 0.75f});
        }
        pts = out;
    }
    return pts;
}

Image pic_girl() {
    Image img = make_image(320, 200, {0, 0, 0});
    // Evening sky with a striped sun setting on the bottom edge, in front of
    // the figure's gaze. The morphing shape turns over the right half (about
    // columns 205 to 310, rows 50 to 150) and the dot cells stand at 240 to
    // 290: the face and the sun keep left of and below them.
    const float sun_x = 185.0f, sun_y = 212.0f, sun_r = 62.0f;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            const float t = float(y) / 199.0f;
            Rgb c = t < 0.7f ? mix(rgb8(16, 6, 60), rgb8(160, 40, 130), t / 0.7f)
                             : mix(rgb8(160, 40, 130), rgb8(255, 140, 40), (t - 0.7f) / 0.3f);
            // The sun is round on the 4:3 screen.
            const float dx = (float(x) - sun_x) / SCREEN_WIDE, dy = float(y) - sun_y;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float stripe = float(y) > 168.0f
                                     ? smoothstep(0.15f, 0.3f,
                                                  std::fabs(std::sin((float(y) - 168.0f) * 0.33f +
                                                                     float(y) * 0.02f)))
                                     : 1.0f;
            const float sun = clamp01(sun_r - d) * stripe;
            const Rgb sun_colour =
                mix(rgb8(255, 230, 90), rgb8(255, 70, 110), clamp01((float(y) - 140.0f) / 60.0f));
            c = mix(c, sun_colour, sun);
            c = c + rgb8(255, 120, 60) * (std::exp(-std::max(0.0f, d - sun_r) / 30.0f) * 0.3f);
            img.at(x, y) = c;
        }
    const int S = 3;
    // The figure stands 30 columns left of where its outline is written.
    auto scaled = [](std::vector<Point> pts) {
        for (Point& p : pts) p = {(p.x - 30.0f) * S, p.y * S};
        return rounded(pts);
    };
    const std::vector<Point> head = scaled({
        {110, 16},  {138, 22},  {156, 36},  {164, 52},  {166, 64},  {163, 72},
        {170, 82},  {182, 94},  {178, 99},  {171, 101}, {173, 107}, {176, 111},
        {171, 115}, {174, 120}, {170, 126}, {166, 128}, {170, 138}, {164, 149},
        {150, 154}, {140, 160}, {138, 178}, {144, 200}, {70, 200},  {82, 178},
        {78, 150},  {62, 128},  {55, 100},  {60, 62},   {80, 30},
    });
    const std::vector<Point> hair = scaled({
        {104, 10},
        {136, 14},
        {158, 30},
        {163, 46},
        {150, 40},
        {128, 36},
        {108, 46},
        {96, 70},
        {94, 104},
        {100, 140},
        {96, 170},
        {84, 200},
        {6, 200},
        {18, 168},
        {26, 130},
        {30, 90},
        {44, 44},
        {70, 18},
    });
    Gray body = make_gray(320 * S, 200 * S, 0.0f);
    fill_polygon(body, head, 1.0f);
    Gray locks = make_gray(320 * S, 200 * S, 0.0f);
    fill_polygon(locks, hair, 1.0f);
    // Strands of light through the hair.
    Gray strands = make_gray(320 * S, 200 * S, 0.0f);
    for (int i = 0; i < 7; i++) {
        const float o = float(i) * 7.0f;
        stroke_curve(strands, {float(88 - o) * S, float(16 + o * 0.3f) * S},
                     {float(20 - o * 0.3f) * S, float(60 + o) * S},
                     {float(10 - o * 0.8f) * S, 196.0f * S}, 0.7f * S, 0.4f * S);
    }
    for (size_t i = 0; i < strands.v.size(); i++) strands.v[i] *= locks.v[i];
    // Rim light where the sun side of the silhouette meets the sky.
    Gray all = body;
    for (size_t i = 0; i < all.v.size(); i++) all.v[i] = std::max(all.v[i], locks.v[i]);
    Gray rim = make_gray(all.w, all.h, 0.0f);
    const int shift = 2 * S;
    for (int y = 0; y < all.h; y++)
        for (int x = 0; x < all.w; x++) {
            const float outside =
                1.0f - all.at(std::min(all.w - 1, x + shift), std::max(0, y - shift / 2));
            rim.at(x, y) = all.at(x, y) * outside;
        }
    blur(rim, 1);
    const Gray b = downsample(body, S), l = downsample(locks, S), s = downsample(strands, S),
               r = downsample(rim, S);
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            Rgb& p = img.at(x, y);
            const float shade = float(y) / 200.0f;
            p = mix(p, mix(rgb8(26, 10, 50), rgb8(50, 16, 60), shade), b.at(x, y));
            p = mix(p, mix(rgb8(20, 12, 70), rgb8(36, 14, 90), shade), l.at(x, y));
            p = p + rgb8(120, 90, 255) * (s.at(x, y) * 0.45f);
            p = p + rgb8(255, 170, 70) * (r.at(x, y) * 1.2f);
        }
    // The closed eye, a short dark arc with lashes.
    Gray eye = make_gray(320 * S, 200 * S, 0.0f);
    stroke_curve(eye, {118.0f * S, 68.0f * S}, {124.0f * S, 72.0f * S}, {130.0f * S, 68.0f * S},
                 0.8f * S, 0.6f * S);
    for (int i = 0; i < 4; i++)
        draw_segment(eye, {(119.0f + float(i) * 3.0f) * S, 70.5f * S},
                     {(117.0f + float(i) * 3.0f) * S, 74.5f * S}, 0.35f * S);
    paint(img, downsample(eye, S), rgb8(120, 60, 140), 0, 0);
    return img;
}

Image pic_floor() {
    const int S = 4;
    const float horizon = 88.0f;
    Image big = make_image(320 * S, 200 * S, {0, 0, 0});
    for (int y = 0; y < 200 * S; y++)
        for (int x = 0; x < 320 * S; x++) {
            const float fx = (float(x) + 0.5f) / S, fy = (float(y) + 0.5f) / S;
            Rgb c;
            if (fy < horizon) {
                const float t = fy / horizon;
                c = mix(rgb8(4, 4, 40), rgb8(150, 80, 200), t * t);
                c = c + rgb8(255, 140, 80) * (std::pow(t, 12.0f) * 0.5f);
            } else {
                const float depth = 2400.0f / (fy - horizon); // distance along the floor
                const float wx = (fx - 160.0f) * depth / 240.0f;
                const float u = wx / 9.0f + 0.5f, v = depth / 9.0f;
                const int check = (int(std::floor(u)) + int(std::floor(v))) & 1;
                const float gu = std::fabs(u - std::floor(u + 0.5f)),
                            gv = std::fabs(v - std::floor(v + 0.5f));
                const float line_w = 0.035f + depth * 0.0004f;
                const float line =
                    std::max(smoothstep(line_w, 0.0f, gu), smoothstep(line_w, 0.0f, gv));
                c = check ? rgb8(24, 30, 130) : rgb8(10, 10, 60);
                c = mix(c, rgb8(255, 150, 40), line);
                const float fog = clamp01(depth / 420.0f);
                c = mix(c, rgb8(128, 128, 255), fog * (2.0f - fog));
                // The soft shadow of the floating object.
                const float sx = (fx - 160.0f) / 52.0f, sy = (fy - 162.0f) / 11.0f;
                c = c * (1.0f - 0.55f * std::exp(-(sx * sx + sy * sy)));
            }
            big.at(x, y) = c;
        }
    Image img = downsample(big, S);
    add_round_spot(img, {160.0f, horizon}, 60.0f, rgb8(140, 90, 255) * 0.12f);
    return img;
}

// Triangle of the emblem in frame coordinates, scaled into the big canvas.
static void emblem_facet(Image& big, Point a, Point b, Point c, Rgb colour, int S) {
    Gray g = make_gray(big.w, big.h, 0.0f);
    fill_polygon(g, {{a.x * S, a.y * S}, {b.x * S, b.y * S}, {c.x * S, c.y * S}}, 1.0f);
    paint(big, g, colour, 0, 0);
}

Image pic_emblem() {
    const int S = 4;
    const float cx = 160.0f, cy = 100.0f;
    Image big = make_image(320 * S, 200 * S, DEEP_BLUE);
    // Rings, ticks and studs drawn as coverage.
    Gray gold = make_gray(big.w, big.h, 0.0f), orange = gold, dark = gold;
    for (int y = 0; y < big.h; y++)
        for (int x = 0; x < big.w; x++) {
            const float dx = (float(x) + 0.5f) / S - cx, dy = (float(y) + 0.5f) / S - cy;
            const float r = std::sqrt(dx * dx + dy * dy);
            gold.at(x, y) = clamp01(4.0f - std::fabs(r - 88.0f) * 1.0f);
            orange.at(x, y) = clamp01(2.0f - std::fabs(r - 71.0f));
            dark.at(x, y) = clamp01(81.0f - r) * 0.55f;
        }
    for (int i = 0; i < 32; i++) {
        const float a = float(i) * 2.0f * PI / 32.0f;
        const float inner = (i % 4 == 0) ? 74.0f : 77.0f;
        draw_segment(orange, {(cx + std::cos(a) * inner) * S, (cy + std::sin(a) * inner) * S},
                     {(cx + std::cos(a) * 82.0f) * S, (cy + std::sin(a) * 82.0f) * S}, 0.9f * S);
    }
    for (int i = 0; i < 16; i++) {
        const float a = (float(i) + 0.5f) * 2.0f * PI / 16.0f;
        draw_disc(gold, {(cx + std::cos(a) * 95.0f) * S, (cy + std::sin(a) * 95.0f) * S}, 2.6f * S);
    }
    paint(big, dark, rgb8(0, 0, 60), 0, 0);
    paint(big, gold, rgb8(255, 200, 80), 0, 0);
    paint(big, orange, rgb8(255, 128, 0), 0, 0);
    // An eight-pointed star of light and dark facets, long points on the axes.
    for (int i = 0; i < 8; i++) {
        const float a = float(i) * PI / 4.0f - PI / 2.0f;
        const float len = (i % 2 == 0) ? 84.0f : 58.0f;
        const float side = (i % 2 == 0) ? 17.0f : 13.0f;
        const Point tip{cx + std::cos(a) * len, cy + std::sin(a) * len};
        const Point left{cx + std::cos(a - PI / 8) * side, cy + std::sin(a - PI / 8) * side};
        const Point right{cx + std::cos(a + PI / 8) * side, cy + std::sin(a + PI / 8) * side};
        const Point centre{cx, cy};
        const bool major = i % 2 == 0;
        emblem_facet(big, centre, left, tip, major ? rgb8(210, 225, 255) : rgb8(255, 190, 70), S);
        emblem_facet(big, centre, tip, right, major ? rgb8(70, 90, 220) : rgb8(190, 90, 10), S);
    }
    Gray hub = make_gray(big.w, big.h, 0.0f), hub_ring = hub;
    draw_disc(hub, {cx * S, cy * S}, 12.0f * S);
    draw_disc(hub_ring, {cx * S, cy * S}, 15.0f * S);
    paint(big, hub_ring, rgb8(255, 128, 0), 0, 0);
    paint(big, hub, rgb8(20, 20, 120), 0, 0);
    Gray core = make_gray(big.w, big.h, 0.0f);
    draw_disc(core, {cx * S, cy * S}, 5.0f * S);
    paint(big, core, rgb8(255, 240, 200), 0, 0);
    return downsample(big, S);
}

// The scene keeps the green and blue channels and masks the red one with a
// counting map, so wherever the map takes the red away what is left must not
// turn green: green stays below blue everywhere. Red swirls into magenta and
// violet arms about a pale centre, round on the 4:3 screen.
Image pic_vivid() {
    Image img = make_image(320, 200, {0, 0, 0});
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            const float dx = (float(x) - 160.0f) / SCREEN_WIDE, dy = float(y) - 100.0f;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float a = std::atan2(dy, dx);
            const float swirl = a * 5.0f + r * 0.045f;
            const float rays = 0.5f + 0.5f * std::sin(swirl);
            const float n = fbm(float(x) / 50.0f, float(y) / 50.0f, 4, 0, 0, 131);
            const float red = 0.75f + 0.25f * std::sin(r * 0.05f + n * 4.0f);
            const float blue = 0.75f * (1.0f - rays) * smoothstep(0.0f, 120.0f, r) +
                               0.35f * rays * smoothstep(150.0f, 20.0f, r) + 0.1f + 0.1f * n;
            const float green = 0.45f * blue * rays * smoothstep(150.0f, 20.0f, r);
            img.at(x, y) = {red, green, blue};
        }
    add_round_spot(img, {160.0f, 100.0f}, 14.0f, rgb8(255, 170, 200) * 0.8f);
    return img;
}

Gray map_counting() {
    Gray g = make_gray(320, 200, 0.0f);
    const Point centres[3] = {{90.0f, 70.0f}, {240.0f, 130.0f}, {180.0f, 40.0f}};
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            float v = fbm(float(x) / 120.0f, float(y) / 120.0f, 3, 0, 0, 151);
            for (const Point& c : centres) {
                // Rings round on the 4:3 screen.
                const float dx = (float(x) - c.x) / SCREEN_WIDE, dy = float(y) - c.y;
                const float r = std::sqrt(dx * dx + dy * dy);
                v += 0.35f * std::exp(-r / 45.0f) * (0.5f + 0.5f * std::cos(r * 0.25f));
            }
            g.at(x, y) = v;
        }
    stretch_to_unit(g);
    return g;
}
