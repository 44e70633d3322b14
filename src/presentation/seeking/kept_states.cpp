// Kept states as lists of byte pieces, one plain save and load function per
// piece: small values, the timeline effects' tables, the working surface, the
// depth and id buffers, the map the cycling mask counts up, and each scene's
// placements, shapes and work arrays. Pieces are compared with the previous
// kept state's and shared when equal, so a state costs only what its order
// changed (the working surface, and what the part drawn there moves).
#include "presentation/seeking/kept_states.h"

#include "data/assets.h"
#include "data/files.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "director/timeline.h"
#include "director/timeline_effects.h"
#include "effects/effect_tables.h"
#include "engine3d/morph.h"
#include "engine3d/render.h"
#include "engine3d/scenes.h"
#include "platform/sound.h"
#include "presentation/services/settings.h"
#include "presentation/show_song.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Orders beyond this are not kept (a module has at most 256).
constexpr uint32_t KEPT_ORDERS = 256;

struct KeptState {
    bool kept = false;
    SongPlace place = {};
    size_t share_frames = 0; // the song's share of the frame at the place
    std::vector<std::shared_ptr<const Bytes>> pieces;
};

struct KeptStates {
    uint64_t key = 0;                 // the content's digest, when its states go to a file
    bool changed = false;             // states were kept since the file was read
    int fps = 0;                      // the lockstep rate the states were kept at
    int exact_fps = 0;                // the show's state is a lockstep state at this rate
    uint32_t last_order = UINT32_MAX; // the order of the last lockstep frame
    std::vector<KeptState> by_order;
};

KeptStates store;

// A piece's bytes are plain copies of trivially copyable values; a load reads
// them back in the same order and sizes, and fails on any other size.
template <class T> void put(Bytes* out, const T* values, size_t count) {
    static_assert(std::is_trivially_copyable_v<T>, "copied as bytes");
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(values);
    out->insert(out->end(), bytes, bytes + count * sizeof(T));
}

template <class T> void put_vector(Bytes* out, const std::vector<T>& values) {
    const uint64_t count = values.size();
    put(out, &count, 1);
    put(out, values.data(), values.size());
}

struct Reader {
    const uint8_t* at;
    size_t left;
};

template <class T> bool take(Reader* in, T* values, size_t count) {
    const size_t bytes = count * sizeof(T);
    if (bytes > in->left) return false;
    if (bytes) std::memcpy(values, in->at, bytes);
    in->at += bytes;
    in->left -= bytes;
    return true;
}

template <class T> bool take_vector(Reader* in, std::vector<T>* values) {
    uint64_t count = 0;
    return take(in, &count, 1) && count == values->size() &&
           take(in, values->data(), values->size());
}

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
    for (uint32_t k = std::min<uint32_t>(order, uint32_t(store.by_order.size())); k-- > 0;)
        if (store.by_order[k].kept) return &store.by_order[k];
    for (uint32_t k = order + 1; k < store.by_order.size(); k++)
        if (store.by_order[k].kept) return &store.by_order[k];
    return nullptr;
}

void keep_state(uint32_t order, const SongPlace& place, size_t share_frames) {
    if (store.by_order.size() <= order) store.by_order.resize(order + 1);
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
    store.by_order[order] = std::move(state);
    store.changed = true;
}

} // namespace

void forget_kept_states() {
    store.by_order.clear();
    store.fps = 0;
    store.key = 0;
    store.changed = false;
}

void set_show_state_exact(int fps) {
    store.exact_fps = fps;
    store.last_order = UINT32_MAX;
}

int show_state_exact_fps() {
    return store.exact_fps;
}

void keep_state_at_order_start() {
    if (!store.exact_fps || !music_song || !sound_lockstep_enabled() ||
        sound_lockstep_fps() != store.exact_fps)
        return;
    const uint32_t order = FMUSIC_GetOrder(music_song);
    if (order == store.last_order) return;
    store.last_order = order;
    SongPlace place;
    if (sound_song_place(music_song, &place))
        keep_state_at(order, place, demo_lockstep_samples.size() / 2, store.exact_fps);
}

void keep_state_at(uint32_t order, const SongPlace& place, size_t share_frames, int fps) {
    if (order >= KEPT_ORDERS || !surface_virtual1) return;
    if (store.fps != fps) {
        store.by_order.clear();
        store.fps = fps;
    }
    if (order < store.by_order.size() && store.by_order[order].kept) return;
    keep_state(order, place, share_frames);
}

int nearest_kept_state(uint32_t order, int fps, uint32_t* kept_order, uint64_t* song_sample) {
    if (fps != store.fps) return 0;
    for (uint32_t k = std::min<uint32_t>(order + 1, uint32_t(store.by_order.size())); k-- > 0;)
        if (store.by_order[k].kept) {
            *kept_order = k;
            *song_sample = store.by_order[k].place.sample;
            return 1;
        }
    return 0;
}

int restore_kept_state(uint32_t kept_order) {
    if (kept_order >= store.by_order.size() || !store.by_order[kept_order].kept || !music_song ||
        !surface_virtual1)
        return 0;
    const KeptState& state = store.by_order[kept_order];
    for (size_t i = 0; i < std::size(state_pieces); i++) {
        Reader in{state.pieces[i]->data(), state.pieces[i]->size()};
        if (!state_pieces[i].load(&in, state_pieces[i].arg) || in.left) return 0;
    }
    FMUSIC_SetMasterVolume(music_song, DEMO_START_VOLUME);
    if (!sound_play_from(music_song, state.place, &demo_lockstep_samples, state.share_frames))
        return 0;
    store.exact_fps = store.fps;
    store.last_order = kept_order;
    return 1;
}

void kept_state_memory(size_t* states, size_t* bytes) {
    std::set<const Bytes*> counted;
    *states = 0;
    *bytes = 0;
    for (const KeptState& state : store.by_order) {
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

// ---- kept states in a file ----
//
// "VORNKEPT", the format, the content's key, the rate they were kept at; the
// distinct pieces (size, bytes); the states (order, place, share, the index of
// each piece); an FNV-1a digest of everything before it. Little-endian, as
// the program only runs there.

namespace {

constexpr char KEPT_MAGIC[8] = {'V', 'O', 'R', 'N', 'K', 'E', 'P', 'T'};
constexpr uint32_t KEPT_FILE_FORMAT = 1;
constexpr size_t KEPT_FILE_MOST = size_t(1) << 30;

struct Digest {
    uint64_t value = 1469598103934665603ull;
    void add(const void* data, size_t size) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; i++) value = (value ^ bytes[i]) * 1099511628211ull;
    }
};

// What the kept states follow from: this program, the module, every asset and
// texture, the show's state at its start (the models among it), the display
// depth, the rate and fps. 0 when something cannot be read.
uint64_t content_key(int fps) {
    Bytes program;
    std::string error;
    const std::vector<uint8_t>* module = sound_song_bytes(music_song);
    if (!module || !surface_virtual1 ||
        !read_regular_file("/proc/self/exe", KEPT_FILE_MOST, &program, &error))
        return 0;
    Digest digest;
    const int32_t numbers[4] = {int32_t(KEPT_FILE_FORMAT), fps, output_rate,
                                int32_t(display_depth)};
    digest.add(numbers, sizeof numbers);
    digest.add(program.data(), program.size());
    digest.add(module->data(), module->size());
    for (size_t i = 0; i < asset_slot_count; i++) {
        const uint64_t size = asset_slots[i].slot->size();
        digest.add(&size, sizeof size);
        digest.add(asset_slots[i].slot->data(), size_t(size));
    }
    for (uint16_t i = 0; texture_table && i < texture_count; i++)
        if (texture_table[i].pixels)
            digest.add(texture_table[i].pixels, texture_table[i].byte_size);
    // The render buffers hold nothing yet (the id buffer not even zeroes).
    for (const StatePiece& piece : state_pieces) {
        if (piece.save == save_render_buffers) continue;
        Bytes bytes;
        piece.save(&bytes, piece.arg);
        digest.add(bytes.data(), bytes.size());
    }
    return digest.value | 1;
}

std::string kept_file_directory() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return std::string(cache) + "/vorn";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.cache/vorn";
    return "";
}

std::string kept_file_name(uint64_t key) {
    char name[40];
    std::snprintf(name, sizeof name, "kept-%016llx.bin", (unsigned long long)key);
    return name;
}

bool read_kept_file(const Bytes& file, int fps) {
    if (file.size() < 8 + sizeof(uint64_t)) return false;
    Digest digest;
    digest.add(file.data(), file.size() - sizeof(uint64_t));
    uint64_t sum = 0;
    std::memcpy(&sum, file.data() + file.size() - sizeof sum, sizeof sum);
    Reader in{file.data(), file.size() - sizeof sum};
    char magic[8];
    uint32_t format = 0, piece_count = 0, state_count = 0;
    uint64_t key = 0;
    if (sum != digest.value || !take(&in, magic, 8) || std::memcmp(magic, KEPT_MAGIC, 8) ||
        !take(&in, &format, 1) || format != KEPT_FILE_FORMAT || !take(&in, &key, 1) ||
        key != store.key || !take(&in, &piece_count, 1) || !take(&in, &state_count, 1))
        return false;
    std::vector<std::shared_ptr<const Bytes>> pieces;
    for (uint32_t i = 0; i < piece_count; i++) {
        uint64_t size = 0;
        if (!take(&in, &size, 1) || size > in.left) return false;
        auto piece = std::make_shared<Bytes>(in.at, in.at + size);
        in.at += size;
        in.left -= size;
        pieces.push_back(std::move(piece));
    }
    std::vector<KeptState> by_order;
    for (uint32_t i = 0; i < state_count; i++) {
        uint32_t order = 0;
        uint64_t share = 0;
        KeptState state;
        state.kept = true;
        if (!take(&in, &order, 1) || order >= KEPT_ORDERS || !take(&in, &state.place, 1) ||
            !take(&in, &share, 1))
            return false;
        state.share_frames = size_t(share);
        for (size_t k = 0; k < std::size(state_pieces); k++) {
            uint32_t index = 0;
            if (!take(&in, &index, 1) || index >= pieces.size()) return false;
            state.pieces.push_back(pieces[index]);
        }
        if (by_order.size() <= order) by_order.resize(order + 1);
        by_order[order] = std::move(state);
    }
    if (in.left) return false;
    store.by_order = std::move(by_order);
    store.fps = fps;
    return true;
}

bool write_kept_file(std::FILE* out) {
    Bytes file(KEPT_MAGIC, KEPT_MAGIC + 8);
    std::vector<const Bytes*> pieces;
    std::map<const Bytes*, uint32_t> index;
    uint32_t state_count = 0;
    for (const KeptState& state : store.by_order) {
        if (!state.kept) continue;
        state_count++;
        for (const auto& piece : state.pieces)
            if (index.emplace(piece.get(), uint32_t(pieces.size())).second)
                pieces.push_back(piece.get());
    }
    const uint32_t format = KEPT_FILE_FORMAT;
    put(&file, &format, 1);
    put(&file, &store.key, 1);
    const uint32_t sizes[2] = {uint32_t(pieces.size()), state_count};
    put(&file, sizes, 2);
    for (const Bytes* piece : pieces) {
        const uint64_t size = piece->size();
        put(&file, &size, 1);
        put(&file, piece->data(), piece->size());
    }
    for (uint32_t order = 0; order < store.by_order.size(); order++) {
        const KeptState& state = store.by_order[order];
        if (!state.kept) continue;
        const uint64_t share = state.share_frames;
        put(&file, &order, 1);
        put(&file, &state.place, 1);
        put(&file, &share, 1);
        for (const auto& piece : state.pieces) put(&file, &index[piece.get()], 1);
    }
    Digest digest;
    digest.add(file.data(), file.size());
    put(&file, &digest.value, 1);
    return std::fwrite(file.data(), 1, file.size(), out) == file.size();
}

} // namespace

void take_up_kept_states(int fps) {
    store.key = content_key(fps);
    const std::string directory = kept_file_directory();
    if (!store.key || directory.empty()) return;
    Bytes file;
    std::string error;
    if (read_regular_file(directory + "/" + kept_file_name(store.key), KEPT_FILE_MOST, &file,
                          &error) &&
        !read_kept_file(file, fps))
        store.by_order.clear();
    store.changed = false;
}

void store_kept_states() {
    const std::string directory = kept_file_directory();
    if (!store.key || !store.changed || directory.empty()) return;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) return;
    // One content's states at a time: those of another are left behind.
    const std::string name = kept_file_name(store.key);
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string other = entry.path().filename().string();
        if (other != name && other.rfind("kept-", 0) == 0 && entry.is_regular_file(error))
            std::filesystem::remove(entry.path(), error);
    }
    std::string failure;
    if (!write_file_atomically(directory + "/" + name, write_kept_file, &failure))
        std::fprintf(stderr, "vorn: the kept states are not saved: %s\n", failure.c_str());
    store.changed = false;
}
