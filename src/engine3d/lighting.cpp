// Vertex lighting: the light each scene light sends to a vertex, summed with
// the ambient level, one vertex at a time; lighting_simd.cpp lights whole
// objects light by light with vector steps.
#include "engine3d/lighting.h"

// A light's contribution truncated toward zero; only positive whole values
// count, and anything beyond the clamp range saturates.
static int64_t positive_contribution(double value) {
    if (!(value >= 1.0)) return 0;
    if (value > 1.0e6) return 1000000;
    return int64_t(value);
}

int32_t light_vertex(const Scene* scene, float nx, float ny, float nz, float px, float py,
                     float pz) {
    const Vec3 n = {nx, ny, nz};
    int64_t sum = 0;
    for (uint16_t i = 0; i < scene->light_count && i < SCENE_LIGHT_SLOTS; i++) {
        const LightSource& light = scene->lights[i];
        double distance = 0.0;
        if (light.type == LIGHT_POINT || light.type == LIGHT_SPOT) {
            distance = vec_length(px - light.view_position.x, py - light.view_position.y,
                                  pz - light.view_position.z);
            if (distance == 0.0) distance = 1.0;
        }
        switch (light.type) {
        case LIGHT_POINT:
            sum += positive_contribution(double(light.intensity) / distance * 255.0);
            break;
        case LIGHT_DIRECTIONAL:
            sum += positive_contribution(vec_dot(&light.view_direction, &n) *
                                         double(int32_t(light.intensity)));
            break;
        case LIGHT_SPOT: {
            const float falloff = float(double(light.intensity) / distance * 255.0);
            sum += positive_contribution(vec_dot(&light.view_direction, &n) * falloff);
            break;
        }
        default:
            break;
        }
    }
    return shade_level(sum + scene->ambient);
}

void light_entries_plain(const Scene* scene, uint32_t first, uint32_t count, int32_t* shades) {
    for (uint32_t e = first; e < first + count; e++) {
        const Vec3& n = scene->world_normals[e];
        const Vec3& p = scene->view_positions[e];
        shades[e] = light_vertex(scene, n.x, n.y, n.z, p.x, p.y, p.z);
    }
}

void (*light_entries)(const Scene* scene, uint32_t first, uint32_t count,
                      int32_t* shades) = light_entries_plain;
