// Whether a kept state read from a file is one this show can have: each of
// its pieces loaded into the show's own buffers and judged there (sizes, the
// faces' corners and surfaces, flags, cameras and clip areas, numbers finite
// and within reach, the timeline's tables as the show builds them), then the
// show's own state put back. The cache file (cache_file.cpp) takes a file's
// states only when every one passes.
#include "data/surface.h"
#include "director/timeline.h"
#include "director/timeline_effects.h"
#include "effects/effect_tables.h"
#include "engine3d/morph.h"
#include "engine3d/render.h"
#include "engine3d/scenes.h"
#include "presentation/seeking/kept_store.h"
#include "presentation/seeking/show_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

size_t kept_piece_bytes_most() {
    size_t most = 0;
    for (size_t i = 0; i < show_state_piece_count; i++)
        most = std::max(most, show_state_pieces[i].size());
    return most;
}

size_t kept_state_bytes() {
    size_t total = 0;
    for (size_t i = 0; i < show_state_piece_count; i++) total += show_state_pieces[i].size();
    return total;
}

namespace {

Camera* const cameras[] = {&camera_vkocka, &camera_opod, &camera_brain, &camera_istu,
                           &camera_kocka};
Scene* const scenes[] = {&scene_brain, &scene_vkocka, &scene_kocka, &scene_opod, &scene_istu};

// No coordinate, angle or scale of the show comes near this: a larger value
// in a kept state is not one the show reached.
constexpr float KEPT_REACH = 1e6f;

bool within_reach(const float* values, size_t count, float reach = KEPT_REACH) {
    for (size_t i = 0; i < count; i++)
        if (!(std::fabs(values[i]) <= reach)) return false; // NaN too
    return true;
}

template <class T> bool floats_within(const std::vector<T>& values, float reach = KEPT_REACH) {
    static_assert(sizeof(T) % sizeof(float) == 0, "made of floats");
    return within_reach(reinterpret_cast<const float*>(values.data()),
                        values.size() * sizeof(T) / sizeof(float), reach);
}

bool is_bool(const bool& value) {
    uint8_t byte;
    std::memcpy(&byte, &value, 1);
    return byte <= 1;
}

bool camera_sound(const Camera& c) {
    const float numbers[5] = {c.focal, c.centre_x, c.centre_y, c.scale_x, c.scale_y};
    return within_reach(numbers, 5) && within_reach(c.orientation.m, 16) &&
           within_reach(&c.position.x, 3) && c.clip_left <= c.clip_right &&
           c.clip_right <= FRAME_WIDTH && c.clip_top <= c.clip_bottom &&
           c.clip_bottom <= FRAME_HEIGHT;
}

// The timeline's flags and numbers, the cameras, the morph and the guard box
// as the show can have them.
const char* values_problem() {
    const TimelineState& t = timeline;
    // Looked at as bytes: a bool holding anything but 0 or 1 is never read.
    const bool* flags[] = {&t.plasma_ready,        &t.bands_ready,        &t.path_ready,
                           &t.camera_vkocka_ready, &t.camera_opod_ready,  &t.camera_brain_ready,
                           &t.camera_istu_ready,   &t.camera_kocka_ready, &t.show_ended};
    for (const bool* flag : flags)
        if (!is_bool(*flag)) return "a flag of the timeline is neither true nor false";
    const float roto[2] = {t.roto_zoom, t.roto_angle};
    if ((t.echo_direction != 1 && t.echo_direction != -1) || !within_reach(roto, 2))
        return "a number of the timeline is out of range";
    for (const Camera* camera : cameras)
        if (!camera_sound(*camera)) return "a camera is out of range";
    if (!within_reach(&morph_step, 1) || morph_falling > 1) return "the morph is out of range";
    const GuardBox& g = guard_box;
    if (g.left < -5 || g.left > g.right || g.right > FRAME_WIDTH + 4 || g.top < -5 ||
        g.top > g.bottom || g.bottom > FRAME_HEIGHT + 4)
        return "the guard box is out of range";
    return nullptr;
}

// Each of the timeline's tables is as the show builds it, or not built yet.
template <class T, size_t N> bool built_or_empty(const T (&table)[N], const T (&built)[N]) {
    return std::equal(table, table + N, built) ||
           std::all_of(table, table + N, [](T v) { return v == 0; });
}

struct BuiltTables {
    uint8_t plasma[256], wave[256], ripple[FRAME_WIDTH], path_long[PATH_LONG],
        path_short[PATH_SHORT];
    uint16_t rows[FRAME_HEIGHT];
};

// The tables built, then the show's own put back as they were.
void build_tables(BuiltTables* built) {
    ShowState own;
    capture_show_state(&own, nullptr);
    build_plasma_table();
    build_band_tables();
    build_path_tables();
    std::copy(plasma_sine, plasma_sine + 256, built->plasma);
    std::copy(band_wave, band_wave + 256, built->wave);
    std::copy(band_ripple, band_ripple + FRAME_WIDTH, built->ripple);
    std::copy(path_wave_long, path_wave_long + PATH_LONG, built->path_long);
    std::copy(path_wave_short, path_wave_short + PATH_SHORT, built->path_short);
    for (int y = 0; y < FRAME_HEIGHT; y++) built->rows[y] = uint16_t(FRAME_WIDTH * y);
    restore_show_state(own);
}

const char* tables_problem(const BuiltTables& b) {
    const bool ok =
        built_or_empty(plasma_sine, b.plasma) && built_or_empty(band_wave, b.wave) &&
        built_or_empty(band_ripple, b.ripple) && built_or_empty(path_wave_long, b.path_long) &&
        built_or_empty(path_wave_short, b.path_short) && built_or_empty(row_offset, b.rows);
    return ok ? nullptr : "a table of the timeline is not the one the show builds";
}

// Each corner a vertex of the model, the surface (its type, texture or
// colour) the show's own, the normal and texel places within reach.
bool faces_sound(const Mesh& mesh, const std::vector<Face>& shown) {
    if (mesh.faces.size() != shown.size()) return false;
    const size_t vertices = mesh.vertices.size();
    for (size_t i = 0; i < shown.size(); i++) {
        const Face& f = mesh.faces[i];
        if (f.vert_a >= vertices || f.vert_b >= vertices || f.vert_c >= vertices ||
            f.attr != shown[i].attr || !within_reach(&f.normal.x, 3) ||
            !within_reach(&f.uv[0][0], 6))
            return false;
    }
    return true;
}

// A scene's placements, lights, shapes and work arrays within reach, its
// faces on the vertices and surfaces of the show's models.
const char* scene_problem(const Scene& scene, const Scene& shown) {
    for (uint16_t i = 0; i < scene.object_count; i++) {
        const SceneObject& o = scene.objects[i];
        if (!within_reach(o.matrix.m, 16) || !within_reach(&o.position.x, 3) ||
            !within_reach(&o.view_box[0].x, 24) || o.hidden > 1)
            return "an object's placement is out of reach";
        if (!floats_within(o.mesh.vertices) || !floats_within(o.mesh.normals))
            return "a model's vertices are out of reach";
        if (!faces_sound(o.mesh, shown.objects[i].mesh.faces))
            return "a model's faces are not the show's";
    }
    for (const LightSource& light : scene.lights) {
        const Vec3 places[4] = {light.direction, light.position, light.view_direction,
                                light.view_position};
        if (!within_reach(&places[0].x, 12) || !within_reach(light.matrix.m, 16))
            return "a light is out of reach";
    }
    if (scene.vertex_cursor > scene.total_vertices) return "a scene's vertex count is out of range";
    const float anything = std::numeric_limits<float>::max();
    if (!floats_within(scene.view_positions, anything) ||
        !floats_within(scene.screen_positions, anything) ||
        !floats_within(scene.world_normals, anything))
        return "a scene's work arrays hold a value that is no number";
    return nullptr;
}

// The show's state now, as loaded from a kept state, judged against the
// show it was set aside from.
const char* loaded_state_problem(const std::vector<Scene>& shown, const BuiltTables& built) {
    if (const char* why = values_problem()) return why;
    if (const char* why = tables_problem(built)) return why;
    for (size_t i = 0; i < std::size(scenes); i++)
        if (const char* why = scene_problem(*scenes[i], shown[i])) return why;
    return nullptr;
}

} // namespace

std::string kept_state_problem(const KeptState& state) {
    if (state.pieces.size() != show_state_piece_count) return "a state has the wrong pieces";
    if (!surface_virtual1) return "the show has no working surface to judge it in";
    static BuiltTables built;
    static bool tables_built = false;
    if (!tables_built) build_tables(&built);
    tables_built = true;
    // The show's state as it is, to judge by and to put back into the same
    // buffers (what points into them stays good).
    std::vector<Scene> shown;
    for (const Scene* scene : scenes) shown.push_back(*scene);
    ShowState own;
    capture_show_state(&own, nullptr);
    std::string why;
    for (size_t i = 0; i < show_state_piece_count && why.empty(); i++) {
        Reader in{state.pieces[i]->data(), state.pieces[i]->size()};
        if (!show_state_pieces[i].load(&in) || in.left)
            why = "a piece is not the size of this show's";
    }
    if (why.empty())
        if (const char* problem = loaded_state_problem(shown, built)) why = problem;
    restore_show_state(own);
    return why;
}
