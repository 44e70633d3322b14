// Scenes of mesh objects and lights, and the cameras that look at them.
// World space: x right, y down the screen, z away from the viewer; a camera
// looks along its own +z axis. Angles are 8-bit, 256 steps per turn.
#pragma once

#include "engine3d/math.h"
#include "engine3d/model.h"

#include <cstdint>
#include <vector>

constexpr uint16_t NO_OBJECT = 0xFFFF;
constexpr int SCENE_LIGHT_SLOTS = 100;

// Light types; any other value gives no light.
constexpr uint16_t LIGHT_POINT = 1;
constexpr uint16_t LIGHT_DIRECTIONAL = 2;
constexpr uint16_t LIGHT_SPOT = 3;

struct Camera {
    float focal;                                           // distance of the projection plane
    float centre_x, centre_y;                              // screen position of the optical axis
    float scale_x, scale_y;                                // applied after projection
    uint16_t clip_left, clip_right, clip_top, clip_bottom; // right and bottom exclusive
    Matrix4 orientation; // camera space = (world - position) x orientation
    Vec3 position;
};

struct LightSource {
    Vec3 direction; // own axis in the light's frame, (0, 0, -1)
    Vec3 position;
    Vec3 view_direction; // per frame
    Vec3 view_position;  // per frame
    uint8_t angles[3];
    uint32_t intensity;
    Matrix4 matrix; // rotation of the angles, translation row = position
    uint16_t type;
};

struct SceneObject {
    Mesh mesh;
    uint16_t vertex_base; // first entry of this object in the work arrays
    Matrix4 matrix;       // object to world; translation row = position
    Vec3 position;
    BoxCorners box;   // object space
    Vec3 view_box[8]; // camera space, per frame
    uint32_t hidden;  // 1 = not drawn this frame
};

// Slot 0 of lights is reserved and never filled: its type 0 gives no light.
// Every scene starts zeroed, wherever it lives.
struct Scene {
    std::vector<SceneObject> objects; // size = capacity
    LightSource lights[SCENE_LIGHT_SLOTS] = {};
    uint16_t light_count = 0;
    uint16_t ambient = 0;
    std::vector<Vec3> view_positions; // total_vertices entries each
    std::vector<Vec3> screen_positions;
    std::vector<Vec3> world_normals;
    uint16_t object_count = 0;
    uint32_t total_vertices = 0;
    uint32_t vertex_cursor = 0;
};

// Empties the scene and makes room for capacity objects. Returns the object
// array, or none when it cannot be allocated.
SceneObject* scene_init(Scene* scene, uint16_t capacity);

// Load-time normals (vertex normals cleared first), zeroed uv pairs and the box
// corners of one object; nothing if index is not below the object count.
void mesh_compute_normals(Scene* scene, uint16_t index);

// Loads the named model (the name must contain ".m3d") as a new object at
// (x, y, z) with every face set to type, texture and colour. Returns its index,
// or NO_OBJECT (object count unchanged) on any failure, including a full scene.
uint16_t scene_load_object(Scene* scene, const char* name, float scale, float x, float y, float z,
                           uint32_t type, uint8_t texture, uint8_t red, uint8_t green,
                           uint8_t blue);

// The face attribute for a surface type: type + payload * 256, the payload
// being the colour (types 0, 1, 4, 8), the texture number (2, 3, 5-7, 9-11) or
// nothing (12-15).
uint32_t surface_attribute(uint32_t type, uint8_t texture, uint8_t red, uint8_t green,
                           uint8_t blue);
void object_set_surfaces(Mesh* mesh, uint32_t type, uint8_t texture, uint8_t red, uint8_t green,
                         uint8_t blue);
void surface_set_attributes(Mesh* mesh, uint16_t surface, uint32_t type, uint8_t texture,
                            uint8_t red, uint8_t green, uint8_t blue);

// Turns by (a, b, c) and shifts by (tx, ty, tz) in the object's own frame,
// before its existing placement.
void object_apply_transform(Scene* scene, uint16_t index, uint8_t a, uint8_t b, uint8_t c, float tx,
                            float ty, float tz);
// Turns the object about its own axes.
void object_rotate(Scene* scene, uint16_t index, uint8_t a, uint8_t b, uint8_t c);
// Shifts the object in world space.
void object_move(Scene* scene, uint16_t index, float dx, float dy, float dz);

// Fills the next light slot; none when all slots are in use.
LightSource* scene_add_light(Scene* scene, float x, float y, float z, uint8_t a, uint8_t b,
                             uint8_t c, uint32_t intensity, uint16_t type);
void scene_set_ambient(Scene* scene, uint16_t level);
// Sizes the per-frame work arrays by the objects' vertex total. Call after the
// last object is loaded. Returns 1, or 0 when they cannot be allocated.
int scene_alloc_work(Scene* scene);

// Releases the object's mesh and clears its record; trailing empty objects are
// dropped from the count.
void object_release(Scene* scene, uint16_t index);
// Releases the object array and the work arrays.
void scene_release_objects(Scene* scene);

void camera_init(Camera* camera, float focal, float centre_x, float centre_y, float scale_x,
                 float scale_y, uint16_t clip_left, uint16_t clip_right, uint16_t clip_top,
                 uint16_t clip_bottom);
void camera_move(Camera* camera, float dx, float dy, float dz);
void camera_set_position(Camera* camera, float x, float y, float z);
// Turns the camera, without roll, so that (x, y, z) lies on its +z axis. A
// point at the camera itself, or straight above or below it, keeps the
// previous orientation.
void camera_look_at(Camera* camera, float x, float y, float z);
