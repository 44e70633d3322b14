// The morph: the target object's vertices blended between two shapes of one
// layout, the step a hundredth a call, turning back at either end.
#include "engine3d/morph.h"

float morph_step = 0.0f;
uint32_t morph_falling = 0;

static void morph_advance() {
    if (morph_falling == 1) {
        if (morph_step <= 1.0f)
            morph_falling = 0;
        else
            morph_step -= 1.0f;
    } else {
        if (morph_step < 99.0f)
            morph_step += 1.0f;
        else
            morph_falling = 1;
    }
}

void morph_object(Scene* scene, uint16_t target, uint16_t from, uint16_t to, float /*value*/,
                  uint8_t recompute_normals) {
    if (target >= scene->object_count || from >= scene->object_count || to >= scene->object_count)
        return;
    Mesh& out = scene->objects[target].mesh;
    const Mesh& a = scene->objects[from].mesh;
    const Mesh& b = scene->objects[to].mesh;
    if (a.vertices.size() < out.vertices.size() || b.vertices.size() < out.vertices.size()) return;

    const float t = float(double(morph_step) * 0.01);
    morph_advance();
    for (size_t i = 0; i < out.vertices.size(); i++) {
        const Vec3& p = a.vertices[i];
        const Vec3& q = b.vertices[i];
        out.vertices[i].x = float(p.x + (double(q.x) - p.x) * t);
        out.vertices[i].y = float(p.y + (double(q.y) - p.y) * t);
        out.vertices[i].z = float(p.z + (double(q.z) - p.z) * t);
    }
    if (recompute_normals == 1) mesh_update_normals(&out);
}
