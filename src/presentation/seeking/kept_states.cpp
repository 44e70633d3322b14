// Kept states as lists of byte pieces, one plain save and load function per
// piece: small values, the timeline effects' tables, the working surface, the
// depth and id buffers, the map the cycling mask counts up, and each scene's
// placements, shapes and work arrays. Pieces are compared with the previous
// kept state's and shared when equal, so a state costs only what its order
// changed (the working surface, and what the part drawn there moves).
#include "presentation/seeking/kept_states.h"

#include "data/assets.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "director/timeline.h"
#include "director/timeline_effects.h"
#include "effects/effect_tables.h"
#include "engine3d/morph.h"
#include "engine3d/render.h"
#include "engine3d/scenes.h"
#include "platform/sound.h"
#include "presentation/seeking/kept_store.h"
#include "presentation/show_song.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

KeptStates kept_store;

namespace {

Camera* const cameras[] = {&camera_vkocka, &camera_opod, &camera_brain, &camera_istu,
                           &camera_kocka};
Scene* const scenes[] = {&scene_brain, &scene_vkocka, &scene_kocka, &scene_opod, &scene_istu};

// The timeline, its effects' phases, the cameras, the morph and the renderer's
// frame stamp and guard box.
void save_values(Bytes* out, int) {
    put(out, &timeline, 1);
    for (Camera* camera : cameras) put(out, camera, 1);
    put(out, plasma_phase, 4);
    put(out, band_phase, 4);
    put(out, path_rates, 4);
    put(out, path_offset, 4);
    put(out, &morph_step, 1);
    put(out, &morph_falling, 1);
    put(out, &frame_stamp, 1);
    put(out, &guard_box, 1);
}

bool load_values(Reader* in, int) {
    bool ok = take(in, &timeline, 1);
    for (Camera* camera : cameras) ok = ok && take(in, camera, 1);
    return ok && take(in, plasma_phase, 4) && take(in, band_phase, 4) && take(in, path_rates, 4) &&
           take(in, path_offset, 4) && take(in, &morph_step, 1) && take(in, &morph_falling, 1) &&
           take(in, &frame_stamp, 1) && take(in, &guard_box, 1);
}

// The tables the timeline builds when it first needs them.
void save_tables(Bytes* out, int) {
    put(out, plasma_sine, 256);
    put(out, band_wave, 256);
    put(out, band_ripple, FRAME_WIDTH);
    put(out, path_wave_long, PATH_LONG);
    put(out, path_wave_short, PATH_SHORT);
    put(out, row_offset, FRAME_HEIGHT);
}

bool load_tables(Reader* in, int) {
    return take(in, plasma_sine, 256) && take(in, band_wave, 256) &&
           take(in, band_ripple, FRAME_WIDTH) && take(in, path_wave_long, PATH_LONG) &&
           take(in, path_wave_short, PATH_SHORT) && take(in, row_offset, FRAME_HEIGHT);
}

void save_working_surface(Bytes* out, int) {
    put_vector(out, surface_virtual1->pixels);
}

bool load_working_surface(Reader* in, int) {
    return take_vector(in, &surface_virtual1->pixels);
}

// The depth and id buffers, as many bytes as they hold.
void save_render_buffers(Bytes* out, int) {
    const uint64_t sizes[2] = {depth_buffer ? depth_buffer_bytes : 0,
                               id_buffer ? id_buffer_bytes : 0};
    put(out, sizes, 2);
    put(out, reinterpret_cast<const uint8_t*>(depth_buffer), size_t(sizes[0]));
    put(out, id_buffer, size_t(sizes[1]));
}

bool load_render_buffers(Reader* in, int) {
    uint64_t sizes[2] = {};
    return take(in, sizes, 2) && sizes[0] == (depth_buffer ? depth_buffer_bytes : 0) &&
           sizes[1] == (id_buffer ? id_buffer_bytes : 0) &&
           take(in, reinterpret_cast<uint8_t*>(depth_buffer), size_t(sizes[0])) &&
           take(in, id_buffer, size_t(sizes[1]));
}

// The only asset a frame writes: the map the cycling mask counts up.
void save_counted_map(Bytes* out, int) {
    put_vector(out, map_displace);
}

bool load_counted_map(Reader* in, int) {
    return take_vector(in, &map_displace);
}

// A scene's object placements and lights, as its frames move them.
void save_placements(Bytes* out, int index) {
    const Scene& scene = *scenes[index];
    put(out, &scene.object_count, 1);
    for (uint16_t i = 0; i < scene.object_count; i++) {
        const SceneObject& object = scene.objects[i];
        put(out, &object.matrix, 1);
        put(out, &object.position, 1);
        put(out, object.view_box, 8);
        put(out, &object.hidden, 1);
    }
    put(out, scene.lights, SCENE_LIGHT_SLOTS);
    put(out, &scene.vertex_cursor, 1);
}

bool load_placements(Reader* in, int index) {
    Scene& scene = *scenes[index];
    uint16_t count = 0;
    if (!take(in, &count, 1) || count != scene.object_count) return false;
    for (uint16_t i = 0; i < count; i++) {
        SceneObject& object = scene.objects[i];
        if (!take(in, &object.matrix, 1) || !take(in, &object.position, 1) ||
            !take(in, object.view_box, 8) || !take(in, &object.hidden, 1))
            return false;
    }
    return take(in, scene.lights, SCENE_LIGHT_SLOTS) && take(in, &scene.vertex_cursor, 1);
}

// A scene's shapes: the morph rewrites its target's vertices and normals.
void save_shapes(Bytes* out, int index) {
    const Scene& scene = *scenes[index];
    for (uint16_t i = 0; i < scene.object_count; i++) {
        const Mesh& mesh = scene.objects[i].mesh;
        put_vector(out, mesh.vertices);
        put_vector(out, mesh.normals);
        put_vector(out, mesh.faces);
    }
}

bool load_shapes(Reader* in, int index) {
    Scene& scene = *scenes[index];
    for (uint16_t i = 0; i < scene.object_count; i++) {
        Mesh& mesh = scene.objects[i].mesh;
        if (!take_vector(in, &mesh.vertices) || !take_vector(in, &mesh.normals) ||
            !take_vector(in, &mesh.faces))
            return false;
    }
    return true;
}

// A scene's per-frame work arrays.
void save_work(Bytes* out, int index) {
    const Scene& scene = *scenes[index];
    put_vector(out, scene.view_positions);
    put_vector(out, scene.screen_positions);
    put_vector(out, scene.world_normals);
}

bool load_work(Reader* in, int index) {
    Scene& scene = *scenes[index];
    return take_vector(in, &scene.view_positions) && take_vector(in, &scene.screen_positions) &&
           take_vector(in, &scene.world_normals);
}

struct StatePiece {
    void (*save)(Bytes* out, int arg);
    bool (*load)(Reader* in, int arg);
    int arg;
};

// clang-format off
const StatePiece state_pieces[] = {
    {save_values, load_values, 0},
    {save_tables, load_tables, 0},
    {save_working_surface, load_working_surface, 0},
    {save_render_buffers, load_render_buffers, 0},
    {save_counted_map, load_counted_map, 0},
    {save_placements, load_placements, 0}, {save_shapes, load_shapes, 0}, {save_work, load_work, 0},
    {save_placements, load_placements, 1}, {save_shapes, load_shapes, 1}, {save_work, load_work, 1},
    {save_placements, load_placements, 2}, {save_shapes, load_shapes, 2}, {save_work, load_work, 2},
    {save_placements, load_placements, 3}, {save_shapes, load_shapes, 3}, {save_work, load_work, 3},
    {save_placements, load_placements, 4}, {save_shapes, load_shapes, 4}, {save_work, load_work, 4},
};
// clang-format on

// The kept state nearest below order, else nearest above; none when empty.
const KeptState* neighbour_of(uint32_t order) {
    for (uint32_t k = std::min<uint32_t>(order, uint32_t(kept_store.by_order.size())); k-- > 0;)
        if (kept_store.by_order[k].kept) return &kept_store.by_order[k];
    for (uint32_t k = order + 1; k < kept_store.by_order.size(); k++)
        if (kept_store.by_order[k].kept) return &kept_store.by_order[k];
    return nullptr;
}

void keep_state(uint32_t order, const SongPlace& place, size_t share_frames) {
    if (kept_store.by_order.size() <= order) kept_store.by_order.resize(order + 1);
    const KeptState* neighbour = neighbour_of(order);
    KeptState state;
    state.kept = true;
    state.place = place;
    state.share_frames = share_frames;
    for (size_t i = 0; i < std::size(state_pieces); i++) {
        Bytes bytes;
        state_pieces[i].save(&bytes, state_pieces[i].arg);
        if (neighbour && *neighbour->pieces[i] == bytes)
            state.pieces.push_back(neighbour->pieces[i]);
        else
            state.pieces.push_back(std::make_shared<const Bytes>(std::move(bytes)));
    }
    kept_store.by_order[order] = std::move(state);
    kept_store.changed = true;
}

} // namespace

void forget_kept_states() {
    kept_store.by_order.clear();
    kept_store.fps = 0;
    kept_store.key = 0;
    kept_store.changed = false;
}

void set_show_state_exact(int fps) {
    kept_store.exact_fps = fps;
    kept_store.last_order = UINT32_MAX;
}

int show_state_exact_fps() {
    return kept_store.exact_fps;
}

void keep_state_at_order_start() {
    if (!kept_store.exact_fps || !music_song || !sound_lockstep_enabled() ||
        sound_lockstep_fps() != kept_store.exact_fps)
        return;
    const uint32_t order = FMUSIC_GetOrder(music_song);
    if (order == kept_store.last_order) return;
    kept_store.last_order = order;
    SongPlace place;
    if (sound_song_place(music_song, &place))
        keep_state_at(order, place, demo_lockstep_samples.size() / 2, kept_store.exact_fps);
}

void keep_state_at(uint32_t order, const SongPlace& place, size_t share_frames, int fps) {
    if (order >= KEPT_ORDERS || !surface_virtual1) return;
    if (kept_store.fps != fps) {
        kept_store.by_order.clear();
        kept_store.fps = fps;
    }
    if (order < kept_store.by_order.size() && kept_store.by_order[order].kept) return;
    keep_state(order, place, share_frames);
}

int nearest_kept_state(uint32_t order, int fps, uint32_t* kept_order, uint64_t* song_sample) {
    if (fps != kept_store.fps) return 0;
    for (uint32_t k = std::min<uint32_t>(order + 1, uint32_t(kept_store.by_order.size())); k-- > 0;)
        if (kept_store.by_order[k].kept) {
            *kept_order = k;
            *song_sample = kept_store.by_order[k].place.sample;
            return 1;
        }
    return 0;
}

int restore_kept_state(uint32_t kept_order) {
    if (kept_order >= kept_store.by_order.size() || !kept_store.by_order[kept_order].kept ||
        !music_song || !surface_virtual1)
        return 0;
    const KeptState& state = kept_store.by_order[kept_order];
    for (size_t i = 0; i < std::size(state_pieces); i++) {
        Reader in{state.pieces[i]->data(), state.pieces[i]->size()};
        if (!state_pieces[i].load(&in, state_pieces[i].arg) || in.left) return 0;
    }
    FMUSIC_SetMasterVolume(music_song, DEMO_START_VOLUME);
    if (!sound_play_from(music_song, state.place, &demo_lockstep_samples, state.share_frames))
        return 0;
    kept_store.exact_fps = kept_store.fps;
    kept_store.last_order = kept_order;
    return 1;
}

void kept_state_memory(size_t* states, size_t* bytes) {
    std::set<const Bytes*> counted;
    *states = 0;
    *bytes = 0;
    for (const KeptState& state : kept_store.by_order) {
        if (!state.kept) continue;
        ++*states;
        for (const auto& piece : state.pieces)
            if (counted.insert(piece.get()).second) *bytes += piece->size();
    }
}

// The pieces above, held as a second show for set_aside_show_state and
// swap_aside_state: whole buffers change places, only the small values are
// copied. The timeline effects' tables are not among them: their contents are
// fixed, whichever show builds them first. The show's buffers keep their
// sizes while it runs (a reset allocates them again at the same sizes).
struct AsideState {
    Bytes values;
    std::vector<uint32_t> working;
    uint32_t* depth = nullptr; // depth_bytes, as the show's depth buffer
    uint8_t* ids = nullptr;    // ids_bytes, as its id buffer
    size_t depth_bytes = 0;
    size_t ids_bytes = 0;
    Buffer counted_map;
    Scene scene_copies[5];
};

AsideState* set_aside_show_state() {
    if (!surface_virtual1) return nullptr;
    auto* aside = new AsideState;
    save_values(&aside->values, 0);
    aside->working = surface_virtual1->pixels;
    aside->depth_bytes = depth_buffer ? depth_buffer_bytes : 0;
    aside->ids_bytes = id_buffer ? id_buffer_bytes : 0;
    aside->depth = static_cast<uint32_t*>(std::malloc(aside->depth_bytes + 1));
    aside->ids = static_cast<uint8_t*>(std::malloc(aside->ids_bytes + 1));
    if (aside->depth && aside->depth_bytes)
        std::memcpy(aside->depth, depth_buffer, aside->depth_bytes);
    if (aside->ids && aside->ids_bytes) std::memcpy(aside->ids, id_buffer, aside->ids_bytes);
    aside->counted_map = map_displace;
    for (size_t i = 0; i < std::size(scenes); i++) aside->scene_copies[i] = *scenes[i];
    if (!aside->depth || !aside->ids) {
        release_aside_state(aside);
        return nullptr;
    }
    return aside;
}

void swap_aside_state(AsideState* aside) {
    Bytes shown;
    save_values(&shown, 0);
    Reader in{aside->values.data(), aside->values.size()};
    load_values(&in, 0);
    aside->values.swap(shown);
    surface_virtual1->pixels.swap(aside->working);
    if (depth_buffer && depth_buffer_bytes == aside->depth_bytes)
        std::swap(depth_buffer, aside->depth);
    if (id_buffer && id_buffer_bytes == aside->ids_bytes) std::swap(id_buffer, aside->ids);
    map_displace.swap(aside->counted_map);
    for (size_t i = 0; i < std::size(scenes); i++) std::swap(*scenes[i], aside->scene_copies[i]);
}

void release_aside_state(AsideState* aside) {
    if (!aside) return;
    std::free(aside->depth);
    std::free(aside->ids);
    delete aside;
}

size_t kept_state_pieces() {
    return std::size(state_pieces);
}

size_t kept_piece_bytes_most() {
    size_t most = 0;
    for (const StatePiece& piece : state_pieces) {
        Bytes bytes;
        piece.save(&bytes, piece.arg);
        most = std::max(most, bytes.size());
    }
    return most;
}

size_t kept_state_bytes() {
    size_t total = 0;
    for (const StatePiece& piece : state_pieces) {
        Bytes bytes;
        piece.save(&bytes, piece.arg);
        total += bytes.size();
    }
    return total;
}

void save_state_for_key(Bytes* out) {
    for (const StatePiece& piece : state_pieces)
        if (piece.save != save_render_buffers) piece.save(out, piece.arg);
}

namespace {

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
    Bytes own;
    save_tables(&own, 0);
    build_plasma_table();
    build_band_tables();
    build_path_tables();
    std::copy(plasma_sine, plasma_sine + 256, built->plasma);
    std::copy(band_wave, band_wave + 256, built->wave);
    std::copy(band_ripple, band_ripple + FRAME_WIDTH, built->ripple);
    std::copy(path_wave_long, path_wave_long + PATH_LONG, built->path_long);
    std::copy(path_wave_short, path_wave_short + PATH_SHORT, built->path_short);
    for (int y = 0; y < FRAME_HEIGHT; y++) built->rows[y] = uint16_t(FRAME_WIDTH * y);
    Reader in{own.data(), own.size()};
    load_tables(&in, 0);
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
const char* loaded_state_problem(const AsideState& shown, const BuiltTables& built) {
    if (const char* why = values_problem()) return why;
    if (const char* why = tables_problem(built)) return why;
    for (size_t i = 0; i < std::size(scenes); i++)
        if (const char* why = scene_problem(*scenes[i], shown.scene_copies[i])) return why;
    return nullptr;
}

} // namespace

std::string kept_state_problem(const KeptState& state) {
    if (state.pieces.size() != std::size(state_pieces)) return "a state has the wrong pieces";
    static BuiltTables built;
    static bool tables_built = false;
    if (!tables_built) build_tables(&built);
    tables_built = true;
    // The show's state as it is, to judge by and to put back into the same
    // buffers (what points into them stays good).
    AsideState* shown = set_aside_show_state();
    if (!shown) return "no memory to judge it in";
    std::vector<Bytes> own(std::size(state_pieces));
    for (size_t i = 0; i < own.size(); i++) state_pieces[i].save(&own[i], state_pieces[i].arg);
    std::string why;
    for (size_t i = 0; i < std::size(state_pieces) && why.empty(); i++) {
        Reader in{state.pieces[i]->data(), state.pieces[i]->size()};
        if (!state_pieces[i].load(&in, state_pieces[i].arg) || in.left)
            why = "a piece is not the size of this show's";
    }
    if (why.empty())
        if (const char* problem = loaded_state_problem(*shown, built)) why = problem;
    for (size_t i = 0; i < own.size(); i++) {
        Reader in{own[i].data(), own[i].size()};
        state_pieces[i].load(&in, state_pieces[i].arg);
    }
    release_aside_state(shown);
    return why;
}
