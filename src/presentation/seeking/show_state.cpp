// The show's state catalogue (show_state.h): the table, and the kinds of
// piece its rows are made of, each a save, a load and a swap over the same
// bytes: a plain value, a list, a buffer of a counted size, the working
// surface's pixels, and a scene's placements, shapes and work arrays.
#include "presentation/seeking/show_state.h"

#include "data/assets.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "director/timeline.h"
#include "director/timeline_effects.h"
#include "engine3d/morph.h"
#include "engine3d/render.h"
#include "engine3d/scenes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace {

// The bytes a piece saves now.
template <class P> size_t saved_size() {
    Bytes bytes;
    P::save(&bytes);
    return bytes.size();
}

// A small piece held aside as its saved bytes and swapped through them.
template <class P> std::shared_ptr<void> hold_saved() {
    auto held = std::make_shared<Bytes>();
    P::save(held.get());
    return held;
}

template <class P> void swap_saved(void* held) {
    Bytes& aside = *static_cast<Bytes*>(held);
    Bytes shown;
    P::save(&shown);
    Reader in{aside.data(), aside.size()};
    P::load(&in);
    aside.swap(shown);
}

// A trivially copyable program-wide variable: a record, a number, an array.
template <auto& V> struct Value {
    static size_t size() { return sizeof V; }
    static void save(Bytes* out) { put(out, &V, 1); }
    static bool load(Reader* in) { return take(in, &V, 1); }
    static std::shared_ptr<void> hold() { return hold_saved<Value>(); }
    static void swap(void* held) { swap_saved<Value>(held); }
};

// A program-wide list of trivially copyable items, of a size fixed while the
// show runs.
template <auto& V> struct List {
    using Items = std::remove_reference_t<decltype(V)>;
    static size_t size() { return V.size() * sizeof(typename Items::value_type); }
    static void save(Bytes* out) { put_vector(out, V); }
    static bool load(Reader* in) { return take_vector(in, &V); }
    static std::shared_ptr<void> hold() { return std::make_shared<Items>(V); }
    static void swap(void* held) { V.swap(*static_cast<Items*>(held)); }
};

// A buffer of its own allocation, set aside whole.
struct HeldBuffer {
    void* at = nullptr;
    size_t bytes = 0;
    ~HeldBuffer() { std::free(at); }
};

// A program-wide buffer P of N bytes (none: 0 bytes); the aside's copy and
// the show's change places while their sizes agree (a reset makes the buffer
// anew at the same size).
template <auto& P, auto& N> struct CountedBuffer {
    using Item = std::remove_pointer_t<std::remove_reference_t<decltype(P)>>;
    static size_t size() { return P ? N : 0; }
    static void save(Bytes* out) {
        const uint64_t bytes = size();
        put(out, &bytes, 1);
        put(out, reinterpret_cast<const uint8_t*>(P), size_t(bytes));
    }
    static bool load(Reader* in) {
        uint64_t bytes = 0;
        return take(in, &bytes, 1) && bytes == size() &&
               take(in, reinterpret_cast<uint8_t*>(P), size_t(bytes));
    }
    static std::shared_ptr<void> hold() {
        auto held = std::make_shared<HeldBuffer>();
        held->bytes = size();
        held->at = std::malloc(held->bytes + 1);
        if (!held->at) return nullptr;
        if (held->bytes) std::memcpy(held->at, P, held->bytes);
        return held;
    }
    static void swap(void* held) {
        HeldBuffer& aside = *static_cast<HeldBuffer*>(held);
        if (!P || N != aside.bytes) return;
        void* shown = P;
        P = static_cast<Item*>(aside.at);
        aside.at = shown;
    }
};

// The working surface's pixels (the callers see that there is one).
struct WorkingSurface {
    static size_t size() { return surface_virtual1->pixels.size() * sizeof(uint32_t); }
    static void save(Bytes* out) { put_vector(out, surface_virtual1->pixels); }
    static bool load(Reader* in) { return take_vector(in, &surface_virtual1->pixels); }
    static std::shared_ptr<void> hold() {
        return std::make_shared<std::vector<uint32_t>>(surface_virtual1->pixels);
    }
    static void swap(void* held) {
        surface_virtual1->pixels.swap(*static_cast<std::vector<uint32_t>*>(held));
    }
};

// A scene's object placements and lights, as its frames move them.
template <Scene& S> struct Placements {
    static size_t size() { return saved_size<Placements>(); }
    static void save(Bytes* out) {
        put(out, &S.object_count, 1);
        for (uint16_t i = 0; i < S.object_count; i++) {
            const SceneObject& object = S.objects[i];
            put(out, &object.matrix, 1);
            put(out, &object.position, 1);
            put(out, object.view_box, 8);
            put(out, &object.hidden, 1);
        }
        put(out, S.lights, SCENE_LIGHT_SLOTS);
        put(out, &S.vertex_cursor, 1);
    }
    static bool load(Reader* in) {
        uint16_t count = 0;
        if (!take(in, &count, 1) || count != S.object_count) return false;
        for (uint16_t i = 0; i < count; i++) {
            SceneObject& object = S.objects[i];
            if (!take(in, &object.matrix, 1) || !take(in, &object.position, 1) ||
                !take(in, object.view_box, 8) || !take(in, &object.hidden, 1))
                return false;
        }
        return take(in, S.lights, SCENE_LIGHT_SLOTS) && take(in, &S.vertex_cursor, 1);
    }
    static std::shared_ptr<void> hold() { return hold_saved<Placements>(); }
    static void swap(void* held) { swap_saved<Placements>(held); }
};

// A scene's shapes: the morph rewrites its target's vertices and normals.
// Held aside as meshes with these three lists alone.
template <Scene& S> struct Shapes {
    static size_t size() { return saved_size<Shapes>(); }
    static void save(Bytes* out) {
        for (uint16_t i = 0; i < S.object_count; i++) {
            const Mesh& mesh = S.objects[i].mesh;
            put_vector(out, mesh.vertices);
            put_vector(out, mesh.normals);
            put_vector(out, mesh.faces);
        }
    }
    static bool load(Reader* in) {
        for (uint16_t i = 0; i < S.object_count; i++) {
            Mesh& mesh = S.objects[i].mesh;
            if (!take_vector(in, &mesh.vertices) || !take_vector(in, &mesh.normals) ||
                !take_vector(in, &mesh.faces))
                return false;
        }
        return true;
    }
    static std::shared_ptr<void> hold() {
        auto held = std::make_shared<std::vector<Mesh>>(S.object_count);
        for (uint16_t i = 0; i < S.object_count; i++) {
            const Mesh& mesh = S.objects[i].mesh;
            (*held)[i].vertices = mesh.vertices;
            (*held)[i].normals = mesh.normals;
            (*held)[i].faces = mesh.faces;
        }
        return held;
    }
    static void swap(void* held) {
        std::vector<Mesh>& aside = *static_cast<std::vector<Mesh>*>(held);
        for (size_t i = 0; i < S.object_count && i < aside.size(); i++) {
            Mesh& mesh = S.objects[i].mesh;
            mesh.vertices.swap(aside[i].vertices);
            mesh.normals.swap(aside[i].normals);
            mesh.faces.swap(aside[i].faces);
        }
    }
};

// A scene's per-frame work arrays, held aside in a scene of these alone.
template <Scene& S> struct Work {
    static size_t size() { return saved_size<Work>(); }
    static void save(Bytes* out) {
        put_vector(out, S.view_positions);
        put_vector(out, S.screen_positions);
        put_vector(out, S.world_normals);
    }
    static bool load(Reader* in) {
        return take_vector(in, &S.view_positions) && take_vector(in, &S.screen_positions) &&
               take_vector(in, &S.world_normals);
    }
    static std::shared_ptr<void> hold() {
        auto held = std::make_shared<Scene>();
        held->view_positions = S.view_positions;
        held->screen_positions = S.screen_positions;
        held->world_normals = S.world_normals;
        return held;
    }
    static void swap(void* held) {
        Scene& aside = *static_cast<Scene*>(held);
        S.view_positions.swap(aside.view_positions);
        S.screen_positions.swap(aside.screen_positions);
        S.world_normals.swap(aside.world_normals);
    }
};

// A row of the table: a piece the run aside swaps, or a table it leaves.
template <class P>
constexpr ShowStatePiece piece(const char* name, const char* what, const char* owner,
                               bool keyed = true) {
    return {name, what, owner, P::size, P::save, P::load, P::hold, P::swap, keyed};
}

template <class P>
constexpr ShowStatePiece table(const char* name, const char* what, const char* owner) {
    return {name, what, owner, P::size, P::save, P::load, nullptr, nullptr, true};
}

} // namespace

// clang-format off
const ShowStatePiece show_state_pieces[] = {
    piece<Value<timeline>>("timeline", "its per-frame values and first-need flags", "director/timeline.cpp"),
    piece<Value<camera_vkocka>>("camera_vkocka", "a camera", "director/timeline.cpp"),
    piece<Value<camera_opod>>("camera_opod", "a camera", "director/timeline.cpp"),
    piece<Value<camera_brain>>("camera_brain", "a camera", "director/timeline.cpp"),
    piece<Value<camera_istu>>("camera_istu", "a camera", "director/timeline.cpp"),
    piece<Value<camera_kocka>>("camera_kocka", "a camera", "director/timeline.cpp"),
    piece<Value<plasma_phase>>("plasma_phase", "the plasma's phases", "director/timeline_effects.cpp"),
    piece<Value<band_phase>>("band_phase", "the light bands' phases", "director/timeline_effects.cpp"),
    piece<Value<path_rates>>("path_rates", "the dot paths' rates", "director/timeline_effects.cpp"),
    piece<Value<path_offset>>("path_offset", "the dot paths' offsets", "director/timeline_effects.cpp"),
    table<Value<plasma_sine>>("plasma_sine", "built on first need", "director/timeline_effects.cpp"),
    table<Value<band_wave>>("band_wave", "built on first need", "director/timeline_effects.cpp"),
    table<Value<band_ripple>>("band_ripple", "built on first need", "director/timeline_effects.cpp"),
    table<Value<path_wave_long>>("path_wave_long", "built on first need", "director/timeline_effects.cpp"),
    table<Value<path_wave_short>>("path_wave_short", "built on first need", "director/timeline_effects.cpp"),
    table<Value<row_offset>>("row_offset", "built on first need", "director/timeline_effects.cpp"),
    piece<Value<morph_step>>("morph_step", "the morph's step", "engine3d/morph.cpp"),
    piece<Value<morph_falling>>("morph_falling", "the morph's direction", "engine3d/morph.cpp"),
    piece<Value<frame_stamp>>("frame_stamp", "the renderer's frame stamp", "data/render_resources.cpp"),
    piece<Value<guard_box>>("guard_box", "the renderer's guard box", "engine3d/render.cpp"),
    piece<WorkingSurface>("surface_virtual1", "the working surface's pixels", "data/surface.cpp"),
    piece<CountedBuffer<depth_buffer, depth_buffer_bytes>>("depth_buffer", "the depth buffer", "data/render_resources.cpp", false),
    piece<CountedBuffer<id_buffer, id_buffer_bytes>>("id_buffer", "the id buffer", "data/render_resources.cpp", false),
    piece<List<map_displace>>("map_displace", "the map the cycling mask counts up", "data/assets.cpp"),
    piece<Placements<scene_brain>>("scene_brain", "placements and lights", "engine3d/scenes.cpp"),
    piece<Shapes<scene_brain>>("scene_brain", "shapes", "engine3d/scenes.cpp"),
    piece<Work<scene_brain>>("scene_brain", "work arrays", "engine3d/scenes.cpp"),
    piece<Placements<scene_vkocka>>("scene_vkocka", "placements and lights", "engine3d/scenes.cpp"),
    piece<Shapes<scene_vkocka>>("scene_vkocka", "shapes", "engine3d/scenes.cpp"),
    piece<Work<scene_vkocka>>("scene_vkocka", "work arrays", "engine3d/scenes.cpp"),
    piece<Placements<scene_kocka>>("scene_kocka", "placements and lights", "engine3d/scenes.cpp"),
    piece<Shapes<scene_kocka>>("scene_kocka", "shapes", "engine3d/scenes.cpp"),
    piece<Work<scene_kocka>>("scene_kocka", "work arrays", "engine3d/scenes.cpp"),
    piece<Placements<scene_opod>>("scene_opod", "placements and lights", "engine3d/scenes.cpp"),
    piece<Shapes<scene_opod>>("scene_opod", "shapes", "engine3d/scenes.cpp"),
    piece<Work<scene_opod>>("scene_opod", "work arrays", "engine3d/scenes.cpp"),
    piece<Placements<scene_istu>>("scene_istu", "placements and lights", "engine3d/scenes.cpp"),
    piece<Shapes<scene_istu>>("scene_istu", "shapes", "engine3d/scenes.cpp"),
    piece<Work<scene_istu>>("scene_istu", "work arrays", "engine3d/scenes.cpp"),
};
// clang-format on
const size_t show_state_piece_count = std::size(show_state_pieces);

void capture_show_state(ShowState* state, const ShowState* like) {
    state->clear();
    for (size_t i = 0; i < show_state_piece_count; i++) {
        Bytes bytes;
        show_state_pieces[i].save(&bytes);
        if (like && i < like->size() && *(*like)[i] == bytes)
            state->push_back((*like)[i]);
        else
            state->push_back(std::make_shared<const Bytes>(std::move(bytes)));
    }
}

int restore_show_state(const ShowState& state) {
    if (state.size() != show_state_piece_count) return 0;
    for (size_t i = 0; i < show_state_piece_count; i++) {
        Reader in{state[i]->data(), state[i]->size()};
        if (!show_state_pieces[i].load(&in) || in.left) return 0;
    }
    return 1;
}

void save_keyed_show_state(Bytes* out) {
    for (const ShowStatePiece& piece : show_state_pieces)
        if (piece.keyed) piece.save(out);
}

// The run aside: one held copy for each piece it swaps.
struct AsideState {
    std::vector<std::shared_ptr<void>> held;
};

AsideState* set_aside_show_state() {
    if (!surface_virtual1) return nullptr;
    auto aside = std::make_unique<AsideState>();
    for (const ShowStatePiece& piece : show_state_pieces) {
        aside->held.push_back(piece.hold ? piece.hold() : nullptr);
        if (piece.hold && !aside->held.back()) return nullptr;
    }
    return aside.release();
}

void swap_aside_state(AsideState* aside) {
    for (size_t i = 0; i < show_state_piece_count; i++)
        if (show_state_pieces[i].swap) show_state_pieces[i].swap(aside->held[i].get());
}

void release_aside_state(AsideState* aside) {
    delete aside;
}
