// Surface mapping: one small function per projection, each writing the
// faces' (u, v) in texels, so the renderer only reads them.
#include "engine3d/mapping.h"

#include "data/render_resources.h"

#include <cmath>

static const double MAP_PI = 3.14159265359;
static const double MAP_HALF_PI = 1.570796326795;
static const double MAP_THREE_HALF_PI = 4.7123889803850005;
static const double MAP_TWO_PI = 6.28318530718;
static const double MAP_INV_PI = 0.3183098861837697;      // polar angle to v in [0, 1]
static const double MAP_INV_TWO_PI = 0.15915494309188485; // azimuth to u in [0, 1)

float azimuth_angle(float a, float /*b*/, float c) {
    if (a == 0.0f && c == 0.0f) return float(MAP_PI);
    if (a == 0.0f) return float(c > 0.0f ? MAP_HALF_PI : MAP_THREE_HALF_PI);
    if (c == 0.0f) return float(a > 0.0f ? 0.0 : MAP_PI);
    const double t = std::atan(std::fabs(double(c) / a));
    if (a > 0.0f) return float(c > 0.0f ? t : MAP_TWO_PI - t);
    return float(c > 0.0f ? MAP_PI - t : MAP_PI + t);
}

void sphere_angles(float a, float b, float c, float* azimuth, float* polar) {
    *azimuth = azimuth_angle(a, b, c);
    const double rh = std::sqrt(double(a) * a + double(c) * c);
    double angle;
    if (a == 0.0f && c == 0.0f)
        angle = b == 0.0f ? MAP_HALF_PI : (b > 0.0f ? 0.0 : MAP_PI);
    else if (rh == 0.0)
        angle = b > 0.0f ? 0.0 : MAP_PI;
    else if (b == 0.0f)
        angle = MAP_HALF_PI;
    else {
        const double t = std::atan(std::fabs(b / rh));
        angle = b > 0.0f ? MAP_HALF_PI - t : MAP_HALF_PI + t;
    }
    *polar = float(angle);
}

void map_point_uv(int kind, const Vec3* point, const Vec3* size, int axis, int width, int height,
                  uint8_t fx, uint8_t fy, uint8_t fz, float* u, float* v) {
    float p, q, s, q_size;
    uint8_t f, g;
    switch (axis) {
    case 1:
        p = point->x, q = point->y, s = point->z, q_size = size->y, f = fx, g = fz;
        break;
    case 2:
        p = point->y, q = point->z, s = point->x, q_size = size->z, f = fy, g = fx;
        break;
    case 3:
        p = point->z, q = point->x, s = point->y, q_size = size->x, f = fz, g = fy;
        break;
    default:
        return;
    }
    // The angles come as f32; everything after them stays in double until
    // (u, v) are stored.
    float theta;
    double vv;
    if (kind == MAP_KIND_SPHERE) {
        float phi;
        sphere_angles(p, q, s, &theta, &phi);
        vv = phi * MAP_INV_PI;
    } else if (kind == MAP_KIND_CYLINDER) {
        theta = azimuth_angle(p, q, s);
        vv = (double(q) / q_size + 1.0) * 0.5;
    } else {
        return;
    }
    const double offset = (p > 0.0f && s >= 0.0f && g == 0 && f == 1) ? 256.0 : 0.0;
    if (p == 0.0f && s == 0.0f) theta = float(g == 1 ? MAP_HALF_PI : MAP_THREE_HALF_PI);
    const double uu = theta * MAP_INV_TWO_PI;
    *u = float((width - 1) * uu + offset);
    *v = float((height - 1) * vv);
}

// Side flag of three coordinates relative to the centre: 255 all below, 1 all
// at or above, 0 mixed.
static uint8_t side_flag(double a, double b, double c) {
    if (a < 0 && b < 0 && c < 0) return 255;
    if (a >= 0 && b >= 0 && c >= 0) return 1;
    return 0;
}

// A point in double precision, for the projections before the one rounding.
struct Point3 {
    double x, y, z;
};

// Planar (u, v) along an axis before scaling; another axis keeps (u, v).
static void planar_uv(const Point3& p, const Point3& centre, const Point3& half, int axis,
                      double* u, double* v) {
    switch (axis) {
    case 0:
        *u = (p.y - centre.y) / half.y;
        *v = (p.z - centre.z) / half.z;
        break;
    case 1:
        *u = (p.z - centre.z) / half.z;
        *v = (p.x - centre.x) / half.x;
        break;
    case 2:
        *u = (p.x - centre.x) / half.x;
        *v = (p.y - centre.y) / half.y;
        break;
    default:
        break;
    }
}

// Direction (u, v): the planar formulas on p / |p|, not centred; the origin
// divides by a tiny negative length and maps to (0, 0).
static void direction_uv(const Point3& p, int axis, double* u, double* v) {
    double r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    if (r == 0.0) r = -0.0001;
    planar_uv(Point3{p.x / r, p.y / r, p.z / r}, Point3{0, 0, 0}, Point3{1, 1, 1}, axis, u, v);
}

static int box_axis(const Vec3& normal) {
    if (std::fabs(normal.x) >= 0.5f) return 0;
    if (std::fabs(normal.y) >= 0.5f) return 1;
    return 2;
}

void surface_map(Scene* scene, uint16_t object, uint16_t surface, uint32_t type, uint8_t texture,
                 uint8_t red, uint8_t green, uint8_t blue, uint8_t mode, uint8_t axis) {
    if (object >= scene->object_count) return;
    Mesh& mesh = scene->objects[object].mesh;
    if (surface >= mesh.surface_count || surface >= mesh.surfaces.size()) return;
    surface_set_attributes(&mesh, surface, type, texture, red, green, blue);

    // Every texture of the show is 256 x 256; a number outside the table maps
    // to that size rather than reading past the table.
    int width = TEXTURE_SIZE, height = TEXTURE_SIZE;
    if (texture_table && texture < texture_count) {
        width = texture_table[texture].width;
        height = texture_table[texture].height;
    }
    const int hw = (width >> 1) - 1, hh = (height >> 1) - 1;

    const SurfaceRange range = mesh.surfaces[surface];
    if (range.count == 0 || size_t(range.first) + range.count > mesh.faces.size()) return;
    Face* faces = mesh.faces.data() + range.first;
    const Vec3* vertices = mesh.vertices.data();

    Vec3 lo = vertices[faces[0].vert_a], hi = lo;
    for (uint32_t i = 0; i < range.count; i++) {
        for (uint32_t corner : {faces[i].vert_a, faces[i].vert_b, faces[i].vert_c}) {
            const Vec3& p = vertices[corner];
            lo = {std::fmin(lo.x, p.x), std::fmin(lo.y, p.y), std::fmin(lo.z, p.z)};
            hi = {std::fmax(hi.x, p.x), std::fmax(hi.y, p.y), std::fmax(hi.z, p.z)};
        }
    }
    const Vec3 centre = {float((double(lo.x) + hi.x) * 0.5), float((double(lo.y) + hi.y) * 0.5),
                         float((double(lo.z) + hi.z) * 0.5)};
    Vec3 half = {float(std::fabs(double(hi.x) - lo.x) * 0.5),
                 float(std::fabs(double(hi.y) - lo.y) * 0.5),
                 float(std::fabs(double(hi.z) - lo.z) * 0.5)};
    if (half.x == 0.0f) half.x = 1.0f;
    if (half.y == 0.0f) half.y = 1.0f;
    if (half.z == 0.0f) half.z = 1.0f;
    const Vec3 unit = {1.0f, 1.0f, 1.0f};
    const Point3 centre_d = {centre.x, centre.y, centre.z};
    const Point3 half_d = {half.x, half.y, half.z};

    for (uint32_t i = 0; i < range.count; i++) {
        Face& face = faces[i];
        const uint32_t corners[3] = {face.vert_a, face.vert_b, face.vert_c};
        const Vec3& a = vertices[corners[0]];
        const Vec3& b = vertices[corners[1]];
        const Vec3& c = vertices[corners[2]];
        const uint8_t fx =
            side_flag(double(a.x) - centre.x, double(b.x) - centre.x, double(c.x) - centre.x);
        const uint8_t fy =
            side_flag(double(a.y) - centre.y, double(b.y) - centre.y, double(c.y) - centre.y);
        const uint8_t fz =
            side_flag(double(a.z) - centre.z, double(b.z) - centre.z, double(c.z) - centre.z);
        for (int k = 0; k < 3; k++) {
            const Vec3& p = vertices[corners[k]];
            const Point3 pd = {p.x, p.y, p.z};
            const Vec3 rel = {p.x - centre.x, p.y - centre.y, p.z - centre.z};
            if (mode == MAP_CYLINDRICAL || mode == MAP_SPHERICAL) {
                const bool sphere = mode == MAP_SPHERICAL;
                map_point_uv(sphere ? MAP_KIND_SPHERE : MAP_KIND_CYLINDER, &rel,
                             sphere ? &unit : &half, axis + 1, 256, 256, fx, fy, fz, &face.uv[k][0],
                             &face.uv[k][1]);
                continue;
            }
            double u = face.uv[k][0], v = face.uv[k][1];
            if (mode == MAP_PLANAR)
                planar_uv(pd, centre_d, half_d, axis, &u, &v);
            else if (mode == MAP_BOX)
                planar_uv(pd, centre_d, half_d, box_axis(face.normal), &u, &v);
            else
                direction_uv(pd, axis, &u, &v);
            // The one rounding: where (u, v) are stored.
            face.uv[k][0] = float((u + 1.0) * hw);
            face.uv[k][1] = float((v + 1.0) * hh);
        }
    }
}
