// libFuzzer target: a model entry from untrusted bytes, read by the show's
// model reader and rendered as the show renders it: transformed, lit,
// projected and filled, NaN and Inf coordinates included. The first byte
// picks the surface type (every one, 16 + 0..15) and the object's turn; the rest is the entry,
// looked up through the pack reader as every item is. Nothing may be drawn outside the frame, and
// the render must end.
#include "data/pack.h"
#include "data/render_resources.h"
#include "data/surface.h"
#include "effects/effect_tables.h"
#include "engine3d/math.h"
#include "engine3d/render.h"
#include "engine3d/scene.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

static bool set_up() {
    build_angle_tables();
    return create_working_surface() && alloc_render_buffers(FRAME_WIDTH, FRAME_HEIGHT) &&
           texture_table_alloc(5);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = set_up();
    if (!ready || size < 1) return 0;
    // A pack in memory holding the entry, as the built-in pack holds the show's.
    std::vector<uint8_t> pack(PACK_HEADER_SIZE + PACK_DIR_ENTRY_SIZE, 0);
    pack[8] = 1;
    std::memcpy(&pack[PACK_HEADER_SIZE], "fuzz.m3d", 8);
    const uint32_t stored = uint32_t(size - 1), offset = uint32_t(pack.size());
    std::memcpy(&pack[PACK_HEADER_SIZE + 16], &stored, 4);
    std::memcpy(&pack[PACK_HEADER_SIZE + 20], &offset, 4);
    pack.insert(pack.end(), data + 1, data + size);
    pack_builtin = {pack.data(), pack.size()};

    display_depth = 32;
    Scene scene;
    scene_init(&scene, 1);
    Camera camera;
    camera_init(&camera, 256, 159, 99, 1, 1, 0, 320, 0, 200);
    camera_set_position(&camera, 0, 0, -200);
    if (scene_load_object(&scene, "fuzz.m3d", 1, 0, 0, 0, 16 + uint32_t(data[0] & 15), 0, 200, 100,
                          50) == 0) {
        scene_add_light(&scene, 0, 0, -100, 0, 0, 255, 255, LIGHT_SPOT);
        scene_set_ambient(&scene, 64);
        scene_alloc_work(&scene);
        object_rotate(&scene, 0, uint8_t(data[0] & 0xF0), uint8_t(data[0] * 7), 0);
        scene_begin_frame(&scene, FRAME_ADVANCE_STAMP | FRAME_CLEAR_IDS);
        object_transform(&scene, 0, &camera);
        render_scene(&scene, &camera, surface_virtual1);
    }
    scene_release_objects(&scene);
    pack_builtin = {nullptr, 0};
    return 0;
}
