// The scene model: objects, lights and cameras as plain records with the
// operations that move them; nothing here draws.
#include "engine3d/scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

SceneObject* scene_init(Scene* scene, uint16_t capacity) {
    scene->object_count = 0;
    scene->light_count = 1;
    scene->ambient = 0;
    try {
        scene->objects.assign(capacity, SceneObject{});
    } catch (const std::bad_alloc&) {
        scene->objects.clear();
        return nullptr;
    }
    return scene->objects.data();
}

static void object_set_position(SceneObject* object) {
    object->position = {object->matrix.m[12], object->matrix.m[13], object->matrix.m[14]};
}

void mesh_compute_normals(Scene* scene, uint16_t index) {
    if (index >= scene->object_count) return;
    SceneObject& object = scene->objects[index];
    Mesh& mesh = object.mesh;
    std::fill(mesh.normals.begin(), mesh.normals.end(), Vec3{});
    mesh_update_normals(&mesh);
    for (Face& face : mesh.faces) std::memset(face.uv, 0, sizeof face.uv);
    mesh_box_corners(&mesh, &object.box);
}

uint16_t scene_load_object(Scene* scene, const char* name, float scale, float x, float y, float z,
                           uint32_t type, uint8_t texture, uint8_t red, uint8_t green,
                           uint8_t blue) {
    // The capacity is 16-bit, so a free slot's index is never NO_OBJECT.
    if (scene->object_count >= scene->objects.size()) return NO_OBJECT;
    const uint16_t index = scene->object_count;
    SceneObject& object = scene->objects[index];
    object = SceneObject{};
    // A failed load leaves the mesh, and so the whole slot, empty.
    if (!name || !std::strstr(name, ".m3d") || !model_load(name, &object.mesh, scale))
        return NO_OBJECT;
    scene->object_count++;
    mesh_compute_normals(scene, index);
    object_set_surfaces(&object.mesh, type, texture, red, green, blue);
    mat_identity(&object.matrix);
    object.matrix.m[12] = x;
    object.matrix.m[13] = y;
    object.matrix.m[14] = z;
    object_set_position(&object);
    return index;
}

uint32_t surface_attribute(uint32_t type, uint8_t texture, uint8_t red, uint8_t green,
                           uint8_t blue) {
    switch (type & SURFACE_TYPE_MASK) {
    case SURFACE_DEPTH_ONLY:
    case SURFACE_GOURAUD:
    case SURFACE_LIT:
    case SURFACE_WIREFRAME:
        return type + ((uint32_t(blue) << 16) + (uint32_t(green) << 8) + red) * 256u;
    case 12: // the types never drawn carry nothing
    case 13:
    case 14:
    case 15:
        return type;
    default:
        return type + uint32_t(texture) * 256u;
    }
}

static void faces_set_attributes(Face* faces, uint32_t count, uint32_t attr, uint8_t red,
                                 uint8_t green, uint8_t blue) {
    for (uint32_t i = 0; i < count; i++) {
        faces[i].attr = attr;
        faces[i].red = red;
        faces[i].green = green;
        faces[i].blue = blue;
    }
}

void object_set_surfaces(Mesh* mesh, uint32_t type, uint8_t texture, uint8_t red, uint8_t green,
                         uint8_t blue) {
    faces_set_attributes(mesh->faces.data(), uint32_t(mesh->faces.size()),
                         surface_attribute(type, texture, red, green, blue), red, green, blue);
}

void surface_set_attributes(Mesh* mesh, uint16_t surface, uint32_t type, uint8_t texture,
                            uint8_t red, uint8_t green, uint8_t blue) {
    if (surface >= mesh->surface_count || surface >= mesh->surfaces.size()) return;
    const SurfaceRange range = mesh->surfaces[surface];
    if (size_t(range.first) + range.count > mesh->faces.size()) return;
    faces_set_attributes(mesh->faces.data() + range.first, range.count,
                         surface_attribute(type, texture, red, green, blue), red, green, blue);
}

static SceneObject* scene_object(Scene* scene, uint16_t index) {
    return index < scene->object_count ? &scene->objects[index] : nullptr;
}

void object_apply_transform(Scene* scene, uint16_t index, uint8_t a, uint8_t b, uint8_t c, float tx,
                            float ty, float tz) {
    SceneObject* object = scene_object(scene, index);
    if (!object) return;
    Matrix4 rotation, shift, combined;
    mat_rotation_angles(&rotation, a, b, c);
    mat_identity(&shift);
    shift.m[12] = tx;
    shift.m[13] = ty;
    shift.m[14] = tz;
    mat_mul(&combined, &shift, &rotation);
    mat_premul(&object->matrix, &object->matrix, &combined);
    object_set_position(object);
}

void object_rotate(Scene* scene, uint16_t index, uint8_t a, uint8_t b, uint8_t c) {
    SceneObject* object = scene_object(scene, index);
    if (!object) return;
    Matrix4 rotation;
    mat_rotation_angles(&rotation, a, b, c);
    mat_premul(&object->matrix, &object->matrix, &rotation);
    object_set_position(object);
}

void object_move(Scene* scene, uint16_t index, float dx, float dy, float dz) {
    SceneObject* object = scene_object(scene, index);
    if (!object) return;
    object->matrix.m[12] += dx;
    object->matrix.m[13] += dy;
    object->matrix.m[14] += dz;
    object_set_position(object);
}

LightSource* scene_add_light(Scene* scene, float x, float y, float z, uint8_t a, uint8_t b,
                             uint8_t c, uint32_t intensity, uint16_t type) {
    if (scene->light_count >= SCENE_LIGHT_SLOTS) return nullptr;
    LightSource* light = &scene->lights[scene->light_count];
    light->direction = {0.0f, 0.0f, -1.0f};
    light->position = {x, y, z};
    light->angles[0] = a;
    light->angles[1] = b;
    light->angles[2] = c;
    light->intensity = intensity;
    mat_rotation_angles(&light->matrix, a, b, c);
    light->matrix.m[12] = x;
    light->matrix.m[13] = y;
    light->matrix.m[14] = z;
    light->type = type;
    scene->light_count++;
    return light;
}

void scene_set_ambient(Scene* scene, uint16_t level) {
    scene->ambient = level > 255 ? 255 : level;
}

int scene_alloc_work(Scene* scene) {
    uint32_t total = 0;
    for (uint16_t i = 0; i < scene->object_count; i++) total += scene->objects[i].mesh.vertex_count;
    scene->total_vertices = total;
    try {
        scene->view_positions.assign(total, Vec3{});
        scene->screen_positions.assign(total, Vec3{});
        scene->world_normals.assign(total, Vec3{});
    } catch (const std::bad_alloc&) {
        scene->view_positions.clear();
        scene->screen_positions.clear();
        scene->world_normals.clear();
        scene->total_vertices = 0;
        return 0;
    }
    return 1;
}

void object_release(Scene* scene, uint16_t index) {
    if (index >= scene->object_count) return;
    scene->objects[index] = SceneObject{};
    while (scene->object_count > 0 && scene->objects[scene->object_count - 1].mesh.vertices.empty())
        scene->object_count--;
}

void scene_release_objects(Scene* scene) {
    scene->objects = {};
    scene->object_count = 0;
    scene->view_positions = {};
    scene->screen_positions = {};
    scene->world_normals = {};
    scene->total_vertices = 0;
    scene->vertex_cursor = 0;
}

void camera_init(Camera* camera, float focal, float centre_x, float centre_y, float scale_x,
                 float scale_y, uint16_t clip_left, uint16_t clip_right, uint16_t clip_top,
                 uint16_t clip_bottom) {
    camera->focal = focal;
    camera->centre_x = centre_x;
    camera->centre_y = centre_y;
    camera->scale_x = scale_x;
    camera->scale_y = scale_y;
    camera->clip_left = clip_left;
    camera->clip_right = clip_right;
    camera->clip_top = clip_top;
    camera->clip_bottom = clip_bottom;
    mat_identity(&camera->orientation);
    camera->position = {0.0f, 0.0f, -600.0f};
}

void camera_move(Camera* camera, float dx, float dy, float dz) {
    camera->position.x += dx;
    camera->position.y += dy;
    camera->position.z += dz;
}

void camera_set_position(Camera* camera, float x, float y, float z) {
    camera->position = {x, y, z};
}

void camera_look_at(Camera* camera, float x, float y, float z) {
    const double dx = double(x) - camera->position.x;
    const double dy = double(camera->position.y) - y;
    const double dz = double(z) - camera->position.z;
    const float dist = float(std::sqrt(dx * dx + dy * dy + dz * dz));
    if (dist == 0.0f) return;
    const float h = float(std::sqrt(dx * dx + dz * dz));
    if (h == 0.0f) return; // straight above or below: no defined yaw
    mat_rotation(&camera->orientation, float(dx / h), float(dy / dist), 0.0f, float(dz / h),
                 float(h / dist), 1.0f);
}
