// Pictures that are mostly type: the logo, the presents echo, the title words,
// the name plates, the vertical word, "THINK", the end picture and the dialog
// picture.
#include "font.h"
#include "pic.h"
#include "pic_type.h"

#include <algorithm>
#include <cmath>

// The lowest row of columns x0..x1 of a lettering whose letters (not the halo)
// cover it nearly fully.
static int ink_bottom(const Lettering& l, int x0, int x1) {
    for (int y = l.alpha.h - 1; y >= 0; y--)
        for (int x = x0; x <= x1; x++)
            if (l.alpha.at(x, y) > 0.9f) return y;
    return l.alpha.h - 1;
}

// Four-pointed glint of light.
static void add_sparkle(Image& img, Point c, float size, Rgb colour) {
    add_round_spot(img, c, size * 0.18f, colour);
    Gray rays = make_gray(img.w, img.h, 0.0f);
    draw_segment(rays, {c.x - size, c.y}, {c.x + size, c.y}, 0.35f);
    draw_segment(rays, {c.x, c.y - size * 0.7f}, {c.x, c.y + size * 0.7f}, 0.35f);
    blur(rays, 1);
    for (size_t i = 0; i < rays.v.size(); i++) {
        const int x = int(i) % img.w, y = int(i) / img.w;
        const float dx = (float(x) - c.x) / (size * SCREEN_WIDE), dy = (float(y) - c.y) / size;
        const float fall = clamp01(1.0f - std::sqrt(dx * dx + dy * dy));
        rays.v[i] *= fall * 2.5f;
    }
    add_light(img, rays, colour, 0, 0);
}

// Vertical gradient through three colours, the middle one at mid.
static Image vertical_gradient(int w, int h, Rgb top, Rgb middle, Rgb bottom, float mid) {
    Image img = make_image(w, h, top);
    for (int y = 0; y < h; y++) {
        const float t = float(y) / float(h - 1);
        const Rgb c =
            t < mid ? mix(top, middle, t / mid) : mix(middle, bottom, (t - mid) / (1 - mid));
        for (int x = 0; x < w; x++) img.at(x, y) = c;
    }
    return img;
}

Image pic_logo() {
    Image img =
        vertical_gradient(320, 200, rgb8(10, 2, 34), rgb8(58, 14, 96), rgb8(6, 2, 22), 0.63f);
    // Faint nebula and stars from the shared backdrop, kept dim.
    const Image sky = space_backdrop(320, 200, 7, 0.5f);
    for (size_t i = 0; i < img.px.size(); i++) img.px[i] = img.px[i] + sky.px[i] * 0.55f;

    const TypeStyle style{FINISH_CHROME, 4.0f, rgb8(140, 80, 255), 7.0f, 0.55f};
    const Lettering qx = set_words("QX", 290, 146, 8, 6, style);
    // The letters and their reflection fill the frame from top to bottom,
    // the horizon where the gradient turns, at about 63% of the height.
    const int ox = 15, oy = 8;
    // The floor is the base of the X (the tail of the Q dips below it).
    const int floor_y = oy + ink_bottom(qx, qx.alpha.w / 2, qx.alpha.w - 1) + 1;

    // A horizon of light where the letters stand.
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            const float d = std::fabs(float(y - floor_y)) / 3.0f;
            const float along = 1.0f - std::fabs(float(x) - 160.0f) / 190.0f;
            img.at(x, y) = img.at(x, y) + rgb8(120, 90, 255) * (std::exp(-d * d) * along * 0.8f);
        }
    // The reflection: the letters mirrored below the horizon, fading out.
    // It runs on below the letters' own box, down to the bottom of the frame.
    const int base = floor_y - oy;
    Lettering mirror;
    mirror.alpha = make_gray(qx.alpha.w, 200 - oy, 0.0f);
    mirror.premul = make_image(qx.alpha.w, 200 - oy, {0, 0, 0});
    for (int y = 0; y < mirror.alpha.h; y++)
        for (int x = 0; x < qx.alpha.w; x++) {
            const int src = 2 * base - y - 1;
            const float fade = 0.6f * clamp01(1.0f - float(y - base) / 90.0f);
            const bool inside = y >= base && src >= 0 && src < qx.alpha.h;
            mirror.alpha.at(x, y) = inside ? qx.alpha.at(x, src) * fade : 0.0f;
            mirror.premul.at(x, y) = inside ? qx.premul.at(x, src) * fade : Rgb{0, 0, 0};
        }
    blur(mirror.premul, 1);
    blur(mirror.alpha, 1);
    place_lettering(img, mirror, ox, oy);
    place_lettering(img, qx, ox, oy);
    add_sparkle(img, {84.0f, 42.0f}, 16.0f, rgb8(255, 240, 220));
    add_sparkle(img, {242.0f, 118.0f}, 11.0f, rgb8(200, 220, 255));
    return img;
}

// The scene lays the picture's left edge at column 7 of the frame (the echoes
// move it by up to 5 either way), so the letters stand about column
// PRESENTS_MIDDLE of the picture to stand in the middle of the frame.
static const int PRESENTS_MIDDLE = 160 - 7;

MaskedPicture pic_presents() {
    const int S = TYPE_SUPERSAMPLE;
    Gray canvas = make_gray(259 * S, 105 * S, 0.0f);
    const Gray qx = fit_text("QX", 120 * S, 44 * S);
    const Gray presents = fit_text("presents", 196 * S, 36 * S);
    stamp(canvas, qx, PRESENTS_MIDDLE * S - qx.w / 2, 10 * S);
    stamp(canvas, presents, PRESENTS_MIDDLE * S - presents.w / 2, 10 * S + qx.h + 9 * S);
    const TypeStyle style{FINISH_LIGHT, 2.0f, rgb8(150, 190, 255), 4.5f, 0.8f};
    Lettering l = style_coverage(canvas, style);
    fade_edges(l, 4);
    return {lettering_colour(l, style.glow), lettering_mask(l)};
}

// The title words fill their boxes' height but for a rim of TITLE_RIM_Y rows
// (TITLE_RIM_X columns at the sides) where their glow fades out; narrowed
// to the box, they keep their weight with stems TITLE_STEM of the em wider
// for every halving.
static const int TITLE_RIM_X = 5, TITLE_RIM_Y = 4;
static const float TITLE_STEM = 0.09f;

MaskedPicture pic_title_word(const char* text, int w, int h, int right_margin) {
    const int S = TYPE_SUPERSAMPLE;
    const TypeStyle style{FINISH_CHROME, 3.0f, rgb8(255, 140, 40), 4.0f, 0.6f};
    const int inner_w = w - right_margin, box_w = inner_w - 2 * TITLE_RIM_X;
    const Gray cov = fit_text_filled(text, box_w * S, (h - 2 * TITLE_RIM_Y) * S, TITLE_STEM);
    Gray canvas = make_gray(inner_w * S, h * S, 0.0f);
    stamp(canvas, cov, (inner_w * S - cov.w) / 2, TITLE_RIM_Y * S);
    Lettering inner = style_coverage(canvas, style);
    fade_edges(inner, 4);
    Lettering l{make_image(w, h, {0, 0, 0}), make_gray(w, h, 0.0f)};
    place_lettering(l.premul, inner, 0, 0);
    stamp(l.alpha, inner.alpha, 0, 0);
    return {lettering_colour(l, style.glow), lettering_mask(l)};
}

Image pic_card(const char* text, bool headline) {
    const int S = TYPE_SUPERSAMPLE;
    const TypeStyle style = headline ? TypeStyle{FINISH_GOLD, 1.5f, {0, 0, 0}, 1.0f, 0.0f}
                                     : TypeStyle{FINISH_LIGHT, 1.5f, {0, 0, 0}, 1.0f, 0.0f};
    Gray canvas = make_gray(90 * S, 30 * S, 0.0f);
    const Gray cov = fit_text(text, 82 * S, 20 * S);
    stamp(canvas, cov, (90 * S - cov.w) / 2, (30 * S - cov.h) / 2);
    const Lettering l = style_coverage(canvas, style);
    // A dark blue rim keeps the letters readable over any picture.
    Gray rim = canvas;
    blur(rim, S / 2 + 1);
    for (float& v : rim.v) v = clamp01(v * 3.0f);
    const Gray rim_small = downsample(rim, S);
    Image img = make_image(90, 30, {0, 0, 0});
    paint(img, rim_small, rgb8(16, 20, 90), 0, 0);
    place_lettering(img, l, 0, 0);
    // Anything that would round to black stays pure black (it is see-through).
    const Gray& a = rim_small;
    for (size_t i = 0; i < img.px.size(); i++)
        if (a.v[i] < 0.08f) img.px[i] = {0, 0, 0};
    if (headline) {
        // A thin orange underline under the headline plate.
        Gray line = make_gray(90, 30, 0.0f);
        draw_segment(line, {14.0f, 27.0f}, {76.0f, 27.0f}, 0.7f);
        paint(img, line, rgb8(255, 128, 0), 0, 0);
    }
    return img;
}

// Share of the em by which the stem of a lone "I" is widened: the bare
// stroke holds a fraction of the light of the letters around it.
static const float I_STEM = 0.2f;

// A word's letters one under another, each fitted to letter_w x letter_h and
// centred across, `pitch` rows apart from row `top`, in a width x height
// picture. Each letter is styled on its own, so that every one carries the
// whole metal ramp (over the whole column the middle letter would sit in
// the ramp's dark horizon).
static Lettering stacked_letters(const char* word, int width, int height, int letter_w,
                                 int letter_h, int pitch, int top, const TypeStyle& style) {
    const int S = TYPE_SUPERSAMPLE;
    Lettering out{make_image(width, height, {0, 0, 0}), make_gray(width, height, 0.0f)};
    for (int i = 0; word[i]; i++) {
        const char letter[2] = {word[i], 0};
        const float stem = word[i] == 'I' ? I_STEM : 0.0f;
        const int em = letter_h * S * 4;
        const Gray big = text_coverage(letter, em, FONT_BOLD, stem);
        const float scale = std::min(float(letter_w) / big.w, float(letter_h) / big.h) * S;
        const Gray cov = resize_area(big, std::max(1, int(big.w * scale)), int(big.h * scale));
        Gray canvas = make_gray(width * S, height * S, 0.0f);
        stamp(canvas, cov, (width * S - cov.w) / 2, (pitch * i + top) * S);
        const Lettering l = style_coverage(canvas, style);
        place_lettering(out.premul, l, 0, 0);
        for (size_t p = 0; p < out.alpha.v.size(); p++)
            out.alpha.v[p] = l.alpha.v[p] + out.alpha.v[p] * (1.0f - l.alpha.v[p]);
    }
    return out;
}

Image pic_using() {
    const TypeStyle style{FINISH_CHROME, 2.5f, rgb8(255, 128, 0), 3.0f, 0.5f};
    const Lettering l = stacked_letters("USING", 100, 170, 60, 26, 34, 4, style);
    Image img = make_image(100, 170, DEEP_BLUE);
    place_lettering(img, l, 0, 0);
    return img;
}

// A glowing light bulb centred at c with glass radius r rows (round on the
// 4:3 screen, so rx = SCREEN_WIDE x r columns across).
static void draw_bulb(Image& img, Point c, float r) {
    const float rx = r * SCREEN_WIDE;
    add_round_spot(img, c, r * 1.6f, rgb8(255, 150, 40) * 0.35f);
    add_round_spot(img, c, r * 0.7f, rgb8(255, 200, 90) * 0.6f);
    const int S = 4;
    Gray glass = make_gray(img.w * S, img.h * S, 0.0f);
    Gray base = glass, filament = glass;
    // Glass: a round top narrowing to a neck.
    std::vector<Point> outline;
    for (int i = 0; i <= 40; i++) {
        const float a = PI * (0.8f + 1.4f * float(i) / 40.0f);
        outline.push_back({(c.x + std::cos(a) * rx) * S, (c.y + std::sin(a) * r) * S});
    }
    outline.push_back({(c.x + rx * 0.42f) * S, (c.y + r * 1.25f) * S});
    outline.push_back({(c.x - rx * 0.42f) * S, (c.y + r * 1.25f) * S});
    fill_polygon(glass, outline, 1.0f);
    // Screw base: bands of metal.
    for (int i = 0; i < 4; i++) {
        const float y = c.y + r * (1.32f + 0.2f * float(i));
        const float half = rx * (0.44f - 0.03f * float(i));
        draw_segment(base, {(c.x - half) * S, y * S}, {(c.x + half) * S, y * S}, r * 0.08f * S);
    }
    draw_round(base, {c.x * S, (c.y + r * 2.1f) * S}, r * 0.12f * S);
    // Filament: a zigzag between two posts.
    const Point posts[] = {{-0.25f, 1.2f}, {-0.25f, 0.1f}, {-0.15f, -0.1f}, {-0.05f, 0.1f},
                           {0.05f, -0.1f}, {0.15f, 0.1f},  {0.25f, -0.1f},  {0.25f, 1.2f}};
    for (int i = 0; i + 1 < 8; i++)
        draw_segment(filament, {(c.x + posts[i].x * rx) * S, (c.y + posts[i].y * r) * S},
                     {(c.x + posts[i + 1].x * rx) * S, (c.y + posts[i + 1].y * r) * S},
                     0.028f * r * S);
    const Gray g = downsample(glass, S), b = downsample(base, S), f = downsample(filament, S);
    for (int y = 0; y < img.h; y++)
        for (int x = 0; x < img.w; x++) {
            const float dx = (float(x) - c.x) / rx, dy = (float(y) - c.y) / r;
            const float rim = clamp01(std::sqrt(dx * dx + dy * dy));
            const Rgb glass_colour = mix(rgb8(255, 236, 170), rgb8(255, 150, 40), rim * rim);
            Rgb& p = img.at(x, y);
            p = mix(p, glass_colour, g.at(x, y) * (0.35f + 0.45f * rim));
            const float metal = 0.5f + 0.5f * std::sin(float(y) * 1.3f);
            p = mix(p, mix(rgb8(90, 90, 130), rgb8(220, 225, 255), metal), b.at(x, y));
            p = mix(p, rgb8(255, 255, 230), f.at(x, y));
        }
    add_round_spot(img, {c.x - rx * 0.4f, c.y - r * 0.45f}, r * 0.12f, rgb8(255, 255, 255) * 0.8f);
}

// The greetings fade into this picture while orange dot trails wind over
// its middle (about columns 80 to 240): the bulb stands left of them and the
// word runs down the right edge, one letter under another as in "USING".
Image pic_think() {
    const Point bulb{46.0f, 84.0f};
    Image img = make_image(320, 200, {0, 0, 0});
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            const float dx = (float(x) - bulb.x) / 260.0f, dy = (float(y) - 95.0f) / 200.0f;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float n = fbm(float(x) / 60.0f, float(y) / 60.0f, 4, 0, 0, 91);
            const Rgb sky = mix(rgb8(60, 24, 120), rgb8(2, 2, 40), clamp01(d * 1.4f)) +
                            rgb8(30, 20, 90) * (n * 0.5f);
            // Rays from the bulb.
            const float rx = (float(x) - bulb.x) / SCREEN_WIDE, ry = float(y) - bulb.y - 8.0f;
            const float ray = std::pow(0.5f + 0.5f * std::cos(std::atan2(ry, rx) * 12.0f), 8.0f);
            const float fall = std::exp(-std::sqrt(rx * rx + ry * ry) / 110.0f);
            img.at(x, y) = sky + rgb8(255, 160, 60) * (ray * fall * 0.35f);
        }
    draw_bulb(img, bulb, 28.0f);
    const TypeStyle style{FINISH_CHROME, 3.0f, rgb8(255, 140, 40), 5.0f, 0.5f};
    place_lettering(img, stacked_letters("THINK", 74, 192, 56, 30, 37, 6, style), 244, 4);
    return img;
}

Image pic_odjava() {
    Image img = space_backdrop(320, 200, 41, 0.8f);
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            const float t = float(y) / 199.0f;
            img.at(x, y) = img.at(x, y) * (0.75f - 0.3f * t) + rgb8(0, 0, 60) * t;
        }
    const TypeStyle title{FINISH_CHROME, 4.0f, rgb8(140, 90, 255), 7.0f, 0.55f};
    place_lettering(img, set_words("THE END", 290, 78, 6, 6, title), 15, 18);
    const TypeStyle small{FINISH_LIGHT, 1.0f, rgb8(255, 128, 0), 3.0f, 0.35f};
    const TypeStyle gold{FINISH_GOLD, 1.0f, rgb8(255, 128, 0), 3.0f, 0.3f};
    place_lettering(img, set_words("a show by the Vorn project", 300, 26, 4, 4, gold), 10, 104);
    place_lettering(img, set_words("code  pictures  models  music", 280, 20, 4, 3, small), 20, 136);
    place_lettering(img, set_words("made by code, every pixel our own", 280, 20, 4, 3, small), 20,
                    158);
    Gray line = make_gray(320, 200, 0.0f);
    draw_segment(line, {70.0f, 131.0f}, {250.0f, 131.0f}, 0.6f);
    paint(img, line, rgb8(255, 128, 0), 0, 0, 0.8f);
    return img;
}

Image pic_dialog() {
    Image img = space_backdrop(292, 120, 57, 1.0f);
    const TypeStyle title{FINISH_CHROME, 3.5f, rgb8(255, 140, 40), 6.0f, 0.55f};
    place_lettering(img, set_words("VORN", 200, 76, 6, 6, title), 46, 6);
    const TypeStyle small{FINISH_LIGHT, 1.0f, rgb8(120, 140, 255), 3.0f, 0.4f};
    place_lettering(img, set_words("a real-time show", 200, 24, 4, 4, small), 46, 88);
    return img;
}
