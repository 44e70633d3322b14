#include "engine3d/render.h"

#include "engine3d/lighting.h"

#include "data/render_resources.h"
#include "effects/effect_tables.h"

#include <algorithm>
#include <cstddef>
#include <vector>

GuardBox guard_box = {-5, FRAME_WIDTH + 4, -5, FRAME_HEIGHT + 4};

void set_guard_box(const Camera* camera) {
    guard_box.left = int32_t(camera->clip_left) - 5;
    guard_box.right = int32_t(camera->clip_right) + 4;
    guard_box.top = int32_t(camera->clip_top) - 5;
    guard_box.bottom = int32_t(camera->clip_bottom) + 4;
}

void scene_begin_frame(Scene* scene, uint8_t flags) {
    for (uint16_t i = 0; i < scene->object_count; i++) scene->objects[i].hidden = 1;
    scene->vertex_cursor = 0;
    if (flags & FRAME_ADVANCE_STAMP) {
        frame_stamp = uint8_t(frame_stamp + 1);
        if (frame_stamp == FRAME_STAMP_CYCLE) {
            clear_depth_buffer();
            frame_stamp = 0;
        }
    }
    if (flags & FRAME_CLEAR_IDS) clear_id_buffer();
}

// The matrix taking points of a frame with placement m (rotation rows and
// translation row) to camera space.
static void to_camera_space(Matrix4* out, const Matrix4* m, const Camera* camera) {
    *out = *m;
    out->m[12] -= camera->position.x;
    out->m[13] -= camera->position.y;
    out->m[14] -= camera->position.z;
    mat_mul(out, out, &camera->orientation);
}

static void rotation_only(Matrix4* out, const Matrix4* m) {
    *out = *m;
    out->m[12] = out->m[13] = out->m[14] = 0.0f;
}

// Projects count points from src into dst (dst may be src), z kept. The scaled
// form multiplies the projected x and y by the camera's scale factors.
template <bool SCALED>
static void project_plain(Vec3* dst, const Vec3* src, const Camera* camera, int32_t count) {
    const double focal = camera->focal, cx = camera->centre_x, cy = camera->centre_y;
    const double scale_x = camera->scale_x, scale_y = camera->scale_y;
    for (int32_t i = 0; i < count; i++) {
        const Vec3 p = src[i];
        const double z = p.z == 0.0f ? -1.0 : double(p.z);
        const double k = focal / z;
        double x = k * p.x + cx, y = k * p.y + cy;
        if (SCALED) {
            x *= scale_x;
            y *= scale_y;
        }
        dst[i] = {float(x), float(y), p.z};
    }
}

void project_into_plain(Vec3* dst, const Vec3* src, const Camera* camera, int32_t count) {
    project_plain<false>(dst, src, camera, count);
}

void project_scaled_into_plain(Vec3* dst, const Vec3* src, const Camera* camera, int32_t count) {
    project_plain<true>(dst, src, camera, count);
}

void (*project_into)(Vec3* dst, const Vec3* src, const Camera* camera,
                     int32_t count) = project_into_plain;
void (*project_scaled_into)(Vec3* dst, const Vec3* src, const Camera* camera,
                            int32_t count) = project_scaled_into_plain;

void project_points(Vec3* points, const Camera* camera, int32_t count) {
    project_into(points, points, camera, count);
}

void project_points_scaled(Vec3* points, const Camera* camera, int32_t count) {
    project_scaled_into(points, points, camera, count);
}

void object_transform(Scene* scene, uint16_t index, const Camera* camera) {
    if (index >= scene->object_count) return;
    SceneObject& object = scene->objects[index];
    Matrix4 to_view, rotation;
    to_camera_space(&to_view, &object.matrix, camera);
    rotation_only(&rotation, &object.matrix);

    transform_points(object.view_box, object.box.corner, 8, &to_view);
    bool in_front = false;
    for (const Vec3& corner : object.view_box) in_front |= corner.z > 0.0f;
    if (!in_front) return;

    // The work arrays hold total_vertices entries and vertex_base is 16 bits.
    const uint32_t count = object.mesh.vertex_count;
    const uint32_t base = scene->vertex_cursor;
    if (base > 0xFFFF || count > scene->total_vertices - base ||
        scene->view_positions.size() < scene->total_vertices ||
        scene->screen_positions.size() < scene->total_vertices ||
        scene->world_normals.size() < scene->total_vertices)
        return;

    object.hidden = 0;
    Vec3* view = scene->view_positions.data() + base;
    Vec3* screen = scene->screen_positions.data() + base;
    transform_points(view, object.mesh.vertices.data(), int32_t(count), &to_view);
    transform_points(scene->world_normals.data() + base, object.mesh.normals.data(), int32_t(count),
                     &rotation);
    if (camera->scale_x == 1.0f && camera->scale_y == 1.0f)
        project_into(screen, view, camera, int32_t(count));
    else
        project_scaled_into(screen, view, camera, int32_t(count));
    object.vertex_base = uint16_t(base);
    scene->vertex_cursor = base + count;
}

void lights_to_view(Scene* scene, const Camera* camera) {
    for (uint16_t i = 0; i < scene->light_count && i < SCENE_LIGHT_SLOTS; i++) {
        LightSource& light = scene->lights[i];
        Matrix4 to_view, rotation;
        to_camera_space(&to_view, &light.matrix, camera);
        transform_point(&light.view_position, &light.position, &to_view);
        rotation_only(&rotation, &light.matrix);
        transform_point(&light.view_direction, &light.direction, &rotation);
        light.view_direction.x = -light.view_direction.x;
        light.view_direction.y = -light.view_direction.y;
    }
}

static void set_corner_point(FillVertex* rec, const ScreenPoint& p) {
    rec->x = p.x;
    rec->y = p.y;
    rec->z = p.z;
}

int triangle_visible(FillVertex* rec0, FillVertex* rec1, FillVertex* rec2, const Vec3* s0,
                     const Vec3* s1, const Vec3* s2) {
    const ScreenPoint p0 = round_point(*s0), p1 = round_point(*s1), p2 = round_point(*s2);
    rec0->z = p0.z;
    rec1->z = p1.z;
    rec2->z = p2.z;
    if (p0.z < 1 || p1.z < 1 || p2.z < 1) return 0;
    set_corner_point(rec0, p0);
    set_corner_point(rec1, p1);
    set_corner_point(rec2, p2);
    return face_drawn(p0, p1, p2, guard_box) ? 1 : 0;
}

// Texture-coordinate sources of the corners.
static int32_t texel_coordinate(double value) {
    if (!(value > 0.0)) return 0;
    if (value > 65535.0) return 65535;
    return int32_t(value);
}

// Where a corner record keeps its (u, v), side by side.
static int32_t* uv_of(FillVertex& rec) {
    static_assert(offsetof(FillVertex, v) == offsetof(FillVertex, u) + 4, "u, v side by side");
    return &rec.u;
}
static int32_t* uv_of(FillCorner& corner) {
    return &corner.values[1];
}

void face_uvs_plain(int32_t* uv, size_t stride, const Face* faces, const uint32_t* listed,
                    size_t drawn) {
    for (size_t j = 0; j < drawn; j++) {
        const Face& face = faces[listed[j]];
        for (int k = 0; k < 3; k++) {
            int32_t* at = corner_uv(uv, stride, 3 * j + size_t(k));
            at[0] = texel_coordinate(face.uv[k][0]);
            at[1] = texel_coordinate(face.uv[k][1]);
        }
    }
}

void (*face_uvs)(int32_t* uv, size_t stride, const Face* faces, const uint32_t* listed,
                 size_t drawn) = face_uvs_plain;

template <class Record> static void corner_environment_uv(Record& rec, const Vec3& normal) {
    uv_of(rec)[0] = texel_coordinate((double(normal.x) + 1.0) * 127.0);
    uv_of(rec)[1] = texel_coordinate((double(normal.y) + 1.0) * 127.0);
}

// The light at each work-array entry, worked out the first time a drawn
// corner needs it in a frame's object; 0 (never a light level) until then.
static std::vector<int32_t> vertex_shades;
// The screen positions of the object being drawn, each rounded once.
static std::vector<ScreenPoint> rounded_points;

// The corners of the object being drawn, for the textured shaded surfaces:
// each entry's column, row, light and 1/z, made once; a face's (u, v) go in
// as its corners are copied out.
static std::vector<FillCorner> entry_corners;

static int32_t entry_shade(const Scene* scene, int32_t* shades, uint32_t entry) {
    int32_t& shade = shades[entry];
    if (shade == 0) {
        const Vec3& n = scene->world_normals[entry];
        const Vec3& p = scene->view_positions[entry];
        shade = light_vertex(scene, n.x, n.y, n.z, p.x, p.y, p.z);
    }
    return shade;
}

static void corner_shade(FillVertex* rec, const Scene* scene, int32_t* shades, uint32_t entry) {
    rec->shade = entry_shade(scene, shades, entry);
}

void make_entry_corners_plain(FillCorner* out, const ScreenPoint* points, int32_t* shades,
                              const Scene* scene, uint32_t first, uint32_t count) {
    for (uint32_t entry = first; entry < first + count; entry++) {
        const ScreenPoint& p = points[entry];
        out[entry] = {{p.x, 0, 0, entry_shade(scene, shades, entry)}, p.y, fill_corner_depth(p.z)};
    }
}

void (*make_entry_corners)(FillCorner* out, const ScreenPoint* points, int32_t* shades,
                           const Scene* scene, uint32_t first,
                           uint32_t count) = make_entry_corners_plain;

static void set_colour(FillVertex* rec, const Face& face) {
    rec->red = face.red;
    rec->green = face.green;
    rec->blue = face.blue;
}

// What the corners of a face of each surface type carry to its filler.
constexpr uint8_t CORNER_FACE_UV = 1;        // the face's stored (u, v)
constexpr uint8_t CORNER_ENVIRONMENT_UV = 2; // (u, v) from the world normal
constexpr uint8_t CORNER_SHADE = 4;          // light at the vertex
constexpr uint8_t CORNER_NORMAL = 8;         // the world normal itself
constexpr uint8_t FACE_COLOUR = 16;          // the face colour, on the first corner
constexpr uint8_t NEEDS_TEXTURE = 32;        // drawn only with a usable texture
constexpr uint8_t SURFACE_DRAWN = 64;        // types 10 and 12-15 are never drawn
constexpr uint8_t READY_CORNERS = 128;       // the faces go to the filler together, their
                                             // corners made once per entry
// What both textured shaded types carry; they differ in where (u, v) come from.
constexpr uint8_t TEXTURED_SHADED = SURFACE_DRAWN | READY_CORNERS | CORNER_SHADE | NEEDS_TEXTURE;

// By SurfaceType; the types never drawn have none.
constexpr uint8_t surface_inputs[SURFACE_TYPE_MASK + 1] = {
    SURFACE_DRAWN | FACE_COLOUR,                                  // SURFACE_DEPTH_ONLY
    SURFACE_DRAWN | CORNER_SHADE | FACE_COLOUR,                   // SURFACE_GOURAUD
    SURFACE_DRAWN | CORNER_FACE_UV | NEEDS_TEXTURE,               // SURFACE_TEXTURED
    TEXTURED_SHADED | CORNER_FACE_UV,                             // SURFACE_TEXTURED_SHADED
    SURFACE_DRAWN | CORNER_NORMAL | FACE_COLOUR,                  // SURFACE_LIT
    SURFACE_DRAWN | CORNER_ENVIRONMENT_UV | NEEDS_TEXTURE,        // SURFACE_ENVIRONMENT
    TEXTURED_SHADED | CORNER_ENVIRONMENT_UV,                      // SURFACE_ENVIRONMENT_SHADED
    SURFACE_DRAWN | CORNER_FACE_UV | FACE_COLOUR | NEEDS_TEXTURE, // SURFACE_ADDITIVE
    SURFACE_DRAWN | CORNER_SHADE | FACE_COLOUR,                   // SURFACE_WIREFRAME
    SURFACE_DRAWN | CORNER_FACE_UV | NEEDS_TEXTURE,               // SURFACE_TRANSLUCENT
    0,                                                            // 10
    SURFACE_DRAWN | CORNER_FACE_UV | FACE_COLOUR | NEEDS_TEXTURE, // SURFACE_KEYED_TRANSLUCENT
    0,
    0,
    0,
    0,
};

// The texture of a textured surface, or none when its number is outside the
// table or it holds fewer texels than the fillers read.
static const TextureRecord* surface_texture(uint32_t type, uint32_t number) {
    if (!texture_table || number >= texture_count) return nullptr;
    const TextureRecord* texture = &texture_table[number];
    const uint32_t needed =
        type == SURFACE_ADDITIVE ? uint32_t(TEXTURE_SIZE * TEXTURE_SIZE) : TEXTURE_RGB_BYTES;
    if (!texture->pixels || texture->byte_size < needed) return nullptr;
    return texture;
}

template <uint32_t TYPE>
static void fill_face(const FillVertex* rec, const Scene* scene, const TextureRecord* texture) {
    if constexpr (TYPE == SURFACE_DEPTH_ONLY)
        fill_depth_only(rec[0], rec[1], rec[2]);
    else if constexpr (TYPE == SURFACE_GOURAUD)
        fill_gouraud(rec[0], rec[1], rec[2]);
    else if constexpr (TYPE == SURFACE_TEXTURED || TYPE == SURFACE_ENVIRONMENT)
        fill_textured(rec[0], rec[1], rec[2], texture);
    else if constexpr (TYPE == SURFACE_LIT)
        fill_type4(rec[0], rec[1], rec[2], scene->lights[0]);
    else if constexpr (TYPE == SURFACE_ADDITIVE)
        fill_additive(rec[0], rec[1], rec[2], texture);
    else if constexpr (TYPE == SURFACE_WIREFRAME)
        fill_wireframe(rec[0], rec[1], rec[2]);
    else if constexpr (TYPE == SURFACE_TRANSLUCENT)
        fill_translucent(rec[0], rec[1], rec[2], texture);
    else if constexpr (TYPE == SURFACE_KEYED_TRANSLUCENT)
        fill_keyed_translucent(rec[0], rec[1], rec[2], texture);
}

// The types with READY_CORNERS (the textured shaded ones) hand their faces
// to the filler together; the others one face of corner records at a time.
template <uint32_t TYPE> constexpr bool fills_corners = (surface_inputs[TYPE] & READY_CORNERS) != 0;

// The corners of drawn faces waiting for their filler, in order.
constexpr size_t FACES_A_BATCH = 128;
static FillVertex face_batch[3 * FACES_A_BATCH];
static FillCorner corner_batch[3 * FACES_A_BATCH];

// Corner records of a face of a type filled a face at a time.
template <uint32_t TYPE>
static void make_records(FillVertex* rec, const Face& face, const uint32_t entry[3],
                         const Scene* scene, int32_t* shades) {
    constexpr uint8_t inputs = surface_inputs[TYPE];
    const ScreenPoint* points = rounded_points.data();
    for (int c = 0; c < 3; c++) set_corner_point(&rec[c], points[entry[c]]);
    for (int c = 0; c < 3; c++) {
        const Vec3& normal = scene->world_normals[entry[c]];
        if constexpr ((inputs & CORNER_ENVIRONMENT_UV) != 0) corner_environment_uv(rec[c], normal);
        if constexpr ((inputs & CORNER_SHADE) != 0) corner_shade(&rec[c], scene, shades, entry[c]);
        if constexpr ((inputs & CORNER_NORMAL) != 0) {
            rec[c].extra[0] = normal.x;
            rec[c].extra[1] = normal.y;
            rec[c].extra[2] = normal.z;
        }
    }
    if constexpr ((inputs & FACE_COLOUR) != 0) set_colour(&rec[0], face);
}

// Ready corners of a face: the entries' corners, with (u, v) from the
// normals where the type takes them so (face_uvs sets the stored ones).
template <uint32_t TYPE>
static void make_corners(FillCorner* corner, const uint32_t entry[3], const Scene* scene) {
    constexpr uint8_t inputs = surface_inputs[TYPE];
    for (int c = 0; c < 3; c++) corner[c] = entry_corners[entry[c]];
    if constexpr ((inputs & CORNER_ENVIRONMENT_UV) != 0)
        for (int c = 0; c < 3; c++)
            corner_environment_uv(corner[c], scene->world_normals[entry[c]]);
}

// The faces of one surface of a given type: its corner inputs and filler are
// fixed at compile time, and everything the loop reads that the fillers cannot
// change (guard box, work arrays) is held in locals. The faces are culled a
// batch at a time, then the drawn ones' corners are made and filled.
template <uint32_t TYPE>
static void draw_surface(const Scene* scene, const SceneObject& object, const SurfaceRange& range,
                         const TextureRecord* texture) {
    const GuardBox box = guard_box;
    const ScreenPoint* points = rounded_points.data();
    int32_t* shades = vertex_shades.data();
    const Face* faces = object.mesh.faces.data();
    const uint32_t base = object.vertex_base;
    const uint32_t end = uint32_t(range.first) + range.count;
    uint32_t listed[FACES_A_BATCH];
    for (uint32_t i = range.first; i < end;) {
        const uint32_t stop = end - i > FACES_A_BATCH ? i + uint32_t(FACES_A_BATCH) : end;
        const size_t drawn = drawn_faces(faces, i, stop, base, points, box, listed);
        i = stop;
        // Only a drawn face's corners reach a filler.
        for (size_t k = 0; k < drawn; k++) {
            const Face& face = faces[listed[k]];
            const uint32_t entry[3] = {base + face.vert_a, base + face.vert_b, base + face.vert_c};
            if constexpr (fills_corners<TYPE>)
                make_corners<TYPE>(corner_batch + 3 * k, entry, scene);
            else
                make_records<TYPE>(face_batch + 3 * k, face, entry, scene, shades);
        }
        // The faces' stored (u, v), the batch's at once.
        if constexpr ((surface_inputs[TYPE] & CORNER_FACE_UV) != 0) {
            if constexpr (fills_corners<TYPE>)
                face_uvs(uv_of(corner_batch[0]), sizeof(FillCorner), faces, listed, drawn);
            else
                face_uvs(uv_of(face_batch[0]), sizeof(FillVertex), faces, listed, drawn);
        }
        if constexpr (fills_corners<TYPE>)
            fill_textured_shaded_corners(corner_batch, drawn, texture);
        else
            for (size_t k = 0; k < drawn; k++) fill_face<TYPE>(face_batch + 3 * k, scene, texture);
    }
}

using SurfaceDrawer = void (*)(const Scene*, const SceneObject&, const SurfaceRange&,
                               const TextureRecord*);
// One drawer per drawn surface type; none for the types never drawn.
static const SurfaceDrawer surface_drawers[SURFACE_TYPE_MASK + 1] = {
    draw_surface<SURFACE_DEPTH_ONLY>,
    draw_surface<SURFACE_GOURAUD>,
    draw_surface<SURFACE_TEXTURED>,
    draw_surface<SURFACE_TEXTURED_SHADED>,
    draw_surface<SURFACE_LIT>,
    draw_surface<SURFACE_ENVIRONMENT>,
    draw_surface<SURFACE_ENVIRONMENT_SHADED>,
    draw_surface<SURFACE_ADDITIVE>,
    draw_surface<SURFACE_WIREFRAME>,
    draw_surface<SURFACE_TRANSLUCENT>,
    nullptr,
    draw_surface<SURFACE_KEYED_TRANSLUCENT>,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

static void draw_object(const Scene* scene, const SceneObject& object) {
    const Mesh& mesh = object.mesh;
    // Only an object transformed this frame has its entries in the work arrays.
    if (size_t(object.vertex_base) + mesh.vertex_count > scene->screen_positions.size()) return;
    if (vertex_shades.size() < scene->screen_positions.size())
        vertex_shades.resize(scene->screen_positions.size());
    // 0 marks an entry not yet lit; the lighting sums start from it too.
    std::fill_n(vertex_shades.begin() + object.vertex_base, mesh.vertex_count, 0);
    // One point more than the work arrays: the culling reads each point as
    // sixteen bytes.
    if (rounded_points.size() <= scene->screen_positions.size())
        rounded_points.resize(scene->screen_positions.size() + 1);
    round_points(rounded_points.data() + object.vertex_base,
                 scene->screen_positions.data() + object.vertex_base, mesh.vertex_count);
    bool lit = false;
    bool cornered = false;
    for (const SurfaceRange& range : mesh.surfaces) {
        if (range.count == 0 || size_t(range.first) + range.count > mesh.faces.size()) continue;
        // The surface's first face decides how all its faces are drawn.
        const uint32_t attr = mesh.faces[range.first].attr;
        const uint32_t type = attr & SURFACE_TYPE_MASK;
        if (!(surface_inputs[type] & SURFACE_DRAWN)) continue;
        const TextureRecord* texture = nullptr;
        if (surface_inputs[type] & NEEDS_TEXTURE) {
            texture = surface_texture(type, attr >> 8);
            if (!texture) continue;
        }
        // The whole object lit before the first shaded surface, by the
        // vector twins two or four vertices a step.
        if ((surface_inputs[type] & CORNER_SHADE) && !lit) {
            light_entries(scene, object.vertex_base, mesh.vertex_count, vertex_shades.data());
            lit = true;
        }
        if ((surface_inputs[type] & READY_CORNERS) && !cornered) {
            if (entry_corners.size() < scene->screen_positions.size())
                entry_corners.resize(scene->screen_positions.size());
            make_entry_corners(entry_corners.data(), rounded_points.data(), vertex_shades.data(),
                               scene, object.vertex_base, mesh.vertex_count);
            cornered = true;
        }
        surface_drawers[type](scene, object, range, texture);
    }
}

// Whether the depth and id buffers cover a width x height frame.
static bool render_buffers_cover(uint32_t width, uint32_t height) {
    const size_t pixels = size_t(width) * height;
    return depth_buffer && id_buffer && depth_buffer_bytes >= pixels * sizeof(uint32_t) &&
           id_buffer_bytes >= pixels;
}

static int32_t clamp_clip(int32_t value, uint32_t limit) {
    if (value < 0) return 0;
    return value > int32_t(limit) ? int32_t(limit) : value;
}

void render_scene(Scene* scene, const Camera* camera, Surface* surface) {
    FrameSurface frame;
    if (!surface || !lock_surface(surface, &frame)) return;
    if (display_depth == 32 && render_buffers_cover(frame.width, frame.height)) {
        fill_context.frame_pixels = frame.pixels;
        fill_context.row_length = uint16_t(frame.width);
        fill_context.bytes_per_pixel = 4;
        // The clip box never reaches outside the locked frame.
        fill_context.clip_left = clamp_clip(camera->clip_left, frame.width);
        fill_context.clip_right = clamp_clip(camera->clip_right, frame.width) - 1;
        fill_context.clip_top = clamp_clip(camera->clip_top, frame.height);
        fill_context.clip_bottom = clamp_clip(camera->clip_bottom, frame.height) - 1;
        fill_context.depth_buffer = depth_buffer;
        fill_context.id_buffer = id_buffer;
        fill_context.frame_stamp = frame_stamp;
        set_guard_box(camera);
        lights_to_view(scene, camera);
        for (uint16_t i = 0; i < scene->object_count; i++) {
            const SceneObject& object = scene->objects[i];
            if (object.hidden) continue;
            fill_context.object_id = uint8_t(i + 1);
            draw_object(scene, object);
        }
    }
    unlock_surface(surface);
}
