#include "director/timeline.h"

#include "data/assets.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "director/timeline_effects.h"
#include "effects/fog.h"
#include "effects/pictures.h"
#include "effects/tunnel.h"
#include "engine3d/morph.h"
#include "engine3d/render.h"
#include "engine3d/scenes.h"
#include "platform/sound.h"

TimelineState timeline;
Camera camera_vkocka, camera_opod, camera_brain, camera_istu, camera_kocka;

constexpr uint32_t FILL_BLUE = 0x00008F;
constexpr uint32_t FILL_SKY = 0x7F7FFF;
constexpr float ROTO_ANGLE_STEP = 0.098171875f;

// Every camera of the show looks at the whole working surface.
static void init_camera(Camera* camera, bool* ready) {
    if (*ready) return;
    *camera = show_camera();
    *ready = true;
}

static void look_at_object(Camera* camera, const Scene& scene, uint16_t index, float dx = 0) {
    if (index >= scene.object_count) return;
    const Vec3 p = scene.objects[index].position;
    camera_look_at(camera, p.x + dx, p.y, p.z);
}

static Vec3 object_position(const Scene& scene, uint16_t index) {
    return index < scene.object_count ? scene.objects[index].position : Vec3{0, 0, 0};
}

// ---- orders 0-6: logo, presents, title --------------------------------------

static void scene_presents() {
    TimelineState& t = timeline;
    if (!t.plasma_ready) {
        build_plasma_table();
        t.plasma_ready = true;
    }
    draw_plasma(surface_virtual1);
    const int s = t.step_counter;
    const int32_t offsets[5][2] = {{7, 90}, {7 + s, 90}, {7 - s, 90}, {7, 90 + s}, {7, 90 - s}};
    for (const auto& o : offsets)
        blend_picture_masked(pic_presents, surface_virtual1, mask_presents, o[0], o[1], 259, 105,
                             128);
    t.step_counter = uint8_t(t.step_counter + t.echo_direction);
    if (t.step_counter == 5 || t.step_counter == 0) t.echo_direction = int8_t(-t.echo_direction);
}

struct TitleWord {
    const Buffer* picture;
    const Buffer* mask;
    int32_t x, y;
    uint32_t width, height;
};

static const TitleWord title_words[4] = {
    {&pic_vorn, &mask_vorn, 0, 0, 113, 57},
    {&pic_start, &mask_start, 60, 50, 126, 54},
    {&pic_the, &mask_the, 120, 100, 95, 54},
    {&pic_unive, &mask_unive, 110, 150, 218, 55},
};

static void draw_title_word(const TitleWord& w, uint8_t alpha) {
    blend_picture_masked(*w.picture, surface_virtual1, *w.mask, w.x, w.y, w.width, w.height, alpha);
}

static void scene_title(uint32_t order, uint32_t row) {
    TimelineState& t = timeline;
    if (!t.bands_ready) {
        build_band_tables();
        t.bands_ready = true;
    }
    draw_picture(pic_006, surface_virtual1, 0);
    const bool shown[4] = {order == 5 || row >= cue_row(CUE_FIRST_WORD),
                           order == 5 || row >= cue_row(CUE_SECOND_WORD),
                           order == 5 && row >= cue_row(CUE_THIRD_WORD),
                           order == 5 && row >= cue_row(CUE_FOURTH_WORD)};
    for (int i = 0; i < 4; i++)
        if (shown[i]) draw_title_word(title_words[i], 255);
    t.step_counter++;
    draw_light_bands(surface_virtual1);
    advance_band_phases();
}

static void scene_title_fade() {
    TimelineState& t = timeline;
    draw_picture(pic_006, surface_virtual1, 0);
    for (const TitleWord& w : title_words) draw_title_word(w, uint8_t(255 - t.step_counter));
    if (t.step_counter < 255) t.step_counter++;
    draw_light_bands(surface_virtual1);
    advance_band_phases();
}

// ---- orders 7-16: the vkocka models ------------------------------------------

struct Turn {
    uint8_t a, b, c;
};

// Rotation steps of the three objects, by order group.
static const Turn vkocka_turns[5][3] = {
    {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}},     // 7
    {{2, 1, 0}, {0, 1, 0}, {0, 0, 1}},     // 8
    {{0, 1, 2}, {2, 1, 0}, {1, 0, 1}},     // 9
    {{3, 1, 254}, {2, 3, 3}, {1, 1, 1}},   // 10-12
    {{3, 1, 253}, {3, 3, 3}, {3, 3, 254}}, // 13-15
};

// Orders 10-12 jolt the camera for two rows in the middle of every 16.
static float vkocka_camera_y(uint32_t order, uint32_t row) {
    if (order < 10 || order > 12) return 0.0f;
    const uint32_t r = row % 16;
    return (row <= cue_row(CUE_LAST_JOLT) && (r == 8 || r == 9)) ? 100.0f : 0.0f;
}

static void scene_vkocka_frame(uint32_t order, uint32_t row) {
    TimelineState& t = timeline;
    if (order == 7) init_camera(&camera_vkocka, &t.camera_vkocka_ready);
    fill_surface(surface_virtual1, FILL_SKY);
    scene_begin_frame(&scene_vkocka, 1);
    if (order == 16) {
        camera_set_position(&camera_vkocka, 0.0f, 0.0f, 950.0f + float(t.camera_retreat));
        t.camera_retreat = uint16_t(t.camera_retreat + 10);
    } else {
        camera_set_position(&camera_vkocka, 0.0f, vkocka_camera_y(order, row), 950.0f);
    }
    look_at_object(&camera_vkocka, scene_vkocka, obj_vkocka1);
    const uint16_t objects[3] = {obj_vkocka1, obj_vkocka2, obj_vkocka3};
    if (order != 16) {
        const int group = order <= 9 ? int(order) - 7 : (order <= 12 ? 3 : 4);
        for (int i = 0; i < 3; i++) {
            const Turn& turn = vkocka_turns[group][i];
            object_rotate(&scene_vkocka, objects[i], turn.a, turn.b, turn.c);
        }
    }
    for (uint16_t obj : objects) object_transform(&scene_vkocka, obj, &camera_vkocka);
    render_scene(&scene_vkocka, &camera_vkocka, surface_virtual1);
    apply_depth_fog(surface_virtual1, 300.0f, 2000.0f, 128, 128, 255);
}

// ---- orders 17-26: greetings and interludes ----------------------------------

static const Buffer* const greeting_cards[10] = {
    &pic_welove, &pic_greet4, &pic_greet5, &pic_greet1, &pic_greet8,
    &pic_greet6, &pic_greet2, &pic_greet3, &pic_greet7, &pic_greet9,
};

static void scene_greeting(uint32_t order) {
    TimelineState& t = timeline;
    draw_picture(pic_eye, surface_virtual1, 0);
    if (order == 17 && !t.path_ready) {
        build_path_tables();
        t.path_ready = true;
    }
    set_path_rates(6, 6, 3, 8);
    invert_path_dots(surface_virtual1);
    draw_picture_at(*greeting_cards[order - 17], surface_virtual1, 1, 5, 85, 90, 30);
    if (order == 19) t.path_ready = false;
}

static void scene_tunnel() {
    TimelineState& t = timeline;
    draw_tunnel(t.tunnel_depth_shift, t.tunnel_angle_shift, surface_virtual1, tex_tun);
    t.tunnel_depth_shift++;
    t.tunnel_angle_shift++;
    set_path_rates(6, 3, 6, 2);
    draw_path_dots(surface_virtual1, 255, 128, 0);
}

static void interlude_displaced() {
    draw_displaced_texture(timeline.step_counter, surface_virtual1, map_displ1, map_displ2,
                           tex_tex2);
    timeline.step_counter++;
}

static void interlude_plane() {
    TimelineState& t = timeline;
    draw_rotated_texture(surface_virtual1, t.texture_shift_u, t.texture_shift_v, 0, tex_tex1);
    set_path_rates(7, 3, 7, 6);
    draw_path_dots(surface_virtual1, 4, 64, 255);
    t.texture_shift_u++;
    t.texture_shift_v--;
}

static void interlude_rotozoom_shrinking() {
    TimelineState& t = timeline;
    if (!t.path_ready) {
        build_row_offsets();
        t.path_ready = true;
    }
    fill_surface(surface_virtual1, FILL_BLUE);
    draw_rotozoom(pic_zarotate, surface_virtual1, t.roto_zoom, t.roto_angle);
    t.roto_angle -= ROTO_ANGLE_STEP;
    t.roto_zoom += 0.05f;
}

static void interlude_floor_morph() {
    init_camera(&camera_opod, &timeline.camera_opod_ready);
    draw_picture(pic_podloga, surface_virtual1, 0);
    scene_begin_frame(&scene_opod, 3);
    camera_set_position(&camera_opod, 0.0f, 0.0f, -200.0f);
    look_at_object(&camera_opod, scene_opod, obj_opod_target);
    morph_object(&scene_opod, obj_opod_target, obj_opod_from, obj_opod_to, 0.0f, 1);
    object_rotate(&scene_opod, obj_opod_target, 2, 1, 2);
    object_transform(&scene_opod, obj_opod_target, &camera_opod);
    render_scene(&scene_opod, &camera_opod, surface_virtual1);
}

static void interlude_brain() {
    TimelineState& t = timeline;
    if (!t.camera_brain_ready) {
        init_camera(&camera_brain, &t.camera_brain_ready);
        camera_move(&camera_brain, 0.0f, 0.0f, 900.0f);
        object_rotate(&scene_brain, obj_brain, 0, 128, 0);
    }
    fill_surface(surface_virtual1, FILL_BLUE);
    scene_begin_frame(&scene_brain, 3);
    look_at_object(&camera_brain, scene_brain, obj_brain, -2.5f);
    object_rotate(&scene_brain, obj_brain, 1, 0, 0);
    object_transform(&scene_brain, obj_brain, &camera_brain);
    render_scene(&scene_brain, &camera_brain, surface_virtual1);
    draw_picture_at(pic_using, surface_virtual1, 0, 0, 0, 100, 170);
}

static void interlude_think() {
    set_path_rates(4, 3, 5, 3);
    draw_path_dots(surface_virtual1, 255, 128, 0);
    fade_to_picture(pic_think, surface_virtual1, 8, 8, 8);
}

static void interlude_rotozoom_fixed() {
    fill_surface(surface_virtual1, FILL_BLUE);
    draw_rotozoom(pic_zarotate, surface_virtual1, 1.05f, timeline.roto_angle);
    timeline.roto_angle += ROTO_ANGLE_STEP;
}

static void scene_interlude(uint32_t order) {
    switch (order) {
    case 17:
    case 22:
        interlude_displaced();
        break;
    case 18:
        interlude_plane();
        break;
    case 19:
        interlude_rotozoom_shrinking();
        break;
    case 20:
        draw_cycling_mask(surface_virtual1, pic_tex, map_displace);
        break;
    case 21:
        interlude_floor_morph();
        break;
    case 23:
        interlude_brain();
        break;
    case 24:
        interlude_think();
        break;
    case 25:
        interlude_rotozoom_fixed();
        break;
    default:
        scene_tunnel();
        break;
    }
}

// ---- orders 29-38: the figure and the morph ---------------------------------

static void scene_istu_frame() {
    TimelineState& t = timeline;
    init_camera(&camera_istu, &t.camera_istu_ready);
    draw_rotated_texture(surface_virtual1, t.texture_shift_u, t.texture_shift_v, 0, tex_thinki);
    t.texture_shift_u--;
    t.texture_shift_v++;
    scene_begin_frame(&scene_istu, 1);
    camera_set_position(&camera_istu, 0.0f, 487.0f, 1500.0f);
    camera_look_at(&camera_istu, 0.0f, -450.0f, 486.0f);
    object_rotate(&scene_istu, obj_istu, 0, 0, 1);
    object_transform(&scene_istu, obj_istu, &camera_istu);
    render_scene(&scene_istu, &camera_istu, surface_virtual1);
}

static void scene_kocka_frame() {
    TimelineState& t = timeline;
    init_camera(&camera_kocka, &t.camera_kocka_ready);
    draw_picture(pic_girl, surface_virtual1, 0);
    for (int i = 0; i < 16; i++) {
        const int32_t y = 20 + 10 * i;
        const uint8_t c2 = uint8_t(2 * t.cell_phase);
        draw_dot_cell(280, y - 15, c2, surface_virtual1);
        draw_dot_cell(260, y, uint8_t(c2 + 64), surface_virtual1);
        draw_dot_cell(240, y + 15, uint8_t(c2 + 128), surface_virtual1);
        t.cell_phase++;
    }
    scene_begin_frame(&scene_kocka, 1);
    const Vec3 p = object_position(scene_kocka, obj_kocka_target);
    camera_set_position(&camera_kocka, p.x, p.y, p.z - 200.0f);
    camera_look_at(&camera_kocka, p.x - 80.0f, p.y, p.z);
    morph_object(&scene_kocka, obj_kocka_target, obj_kocka_from, obj_kocka_to, 0.0f, 1);
    object_rotate(&scene_kocka, obj_kocka_target, 3, 0, 0);
    object_transform(&scene_kocka, obj_kocka_target, &camera_kocka);
    render_scene(&scene_kocka, &camera_kocka, surface_virtual1);
}

static void end_of_show() {
    timeline.show_ended = true;
}

void director_draw(uint32_t order, uint32_t row) {
    switch (part_for_order(order)) {
    case PART_LOGO:
        draw_picture(pic_logo, surface_virtual1, 0);
        break;
    case PART_PRESENTS:
        scene_presents();
        break;
    case PART_TITLE:
        scene_title(order, row);
        break;
    case PART_TITLE_FADE:
        scene_title_fade();
        break;
    case PART_CUBES:
    case PART_CUBES_RETREAT:
        scene_vkocka_frame(order, row);
        break;
    case PART_GREETINGS:
        row < cue_row(CUE_INTERLUDE) ? scene_greeting(order) : scene_interlude(order);
        break;
    case PART_TUNNEL:
        scene_tunnel();
        break;
    case PART_FIGURE:
        scene_istu_frame();
        break;
    case PART_MORPH:
        scene_kocka_frame();
        break;
    case PART_END_PICTURE:
        draw_picture(pic_odjava, surface_virtual1, 0);
        break;
    case PART_END_OF_SHOW:
    case PART_COUNT:
        end_of_show();
        break;
    }
}

int director_frame(MusicSong* song) {
    const uint32_t order = FMUSIC_GetOrder(song);
    const uint32_t row = FMUSIC_GetRow(song);
    timeline.show_ended = false;
    director_draw(order, row);
    blit_surface(surface_virtual1, surface_back);
    if (!timeline.show_ended) return 1;
    FMUSIC_SetMasterVolume(song, 0);
    FMUSIC_StopSong(song);
    return 0;
}

void reset_show_values() {
    timeline = TimelineState{};
    for (Camera* camera :
         {&camera_vkocka, &camera_opod, &camera_brain, &camera_istu, &camera_kocka})
        *camera = Camera{};
    reset_timeline_effects();
    morph_step = 0.0f;
    morph_falling = 0;
}

int reset_show() {
    reset_show_values();
    free_all_assets();
    if (!load_all_assets()) return 0;
    return fill_surface(surface_virtual1, 0);
}
