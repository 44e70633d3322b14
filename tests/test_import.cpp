// qxpack import: PNG pictures and model files made into the show's items, as
// loose files or into a pack, and bad input refused with one line.
#include "core/cpu.h"
#include "data/assets.h"
#include "data/builtin.h"
#include "data/pack.h"
#include "data/render_resources.h"
#include "director/kernels.h"
#include "effects/effect_tables.h"
#include "engine3d/model.h"
#include "engine3d/scenes.h"
#include "import.h"
#include "model_writer.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <tuple>

namespace fs = std::filesystem;

static const std::string ITEMS = VORN_BINARY_DIR "/content/items/";

// Runs `qxpack import args...`; the status, and what it printed on stderr
// and stdout.
static int run_import(std::vector<std::string> args, std::string* err = nullptr,
                      std::string* out = nullptr) {
    args.insert(args.begin(), {"qxpack", "import"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = import_command(int(argv.size()), argv.data());
    const std::string said = testing::internal::GetCapturedStdout();
    const std::string text = testing::internal::GetCapturedStderr();
    if (err) *err = text;
    if (out) *out = said;
    return status;
}

// Writes pixels with libpng's simple interface (format PNG_FORMAT_*).
static void write_png_file(const std::string& path, int w, int h, uint32_t format,
                           const void* pixels, const void* colormap = nullptr, int colours = 0) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = format;
    image.colormap_entries = png_uint_32(colours);
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, colormap));
}

// A PNG of the given pixels made into an item of this shape by import_png.
static Buffer imported(int w, int h, uint32_t format, const void* pixels, const ItemShape& shape,
                       FitMode fit = FIT_NONE) {
    write_png_file("direct.png", w, h, format, pixels);
    const Buffer png = read_file("direct.png");
    Buffer out;
    std::string error;
    EXPECT_TRUE(import_png(png.data(), png.size(), shape, fit, false, &out, &error)) << error;
    return out;
}

// The names of the files in the working directory, sorted.
static std::vector<std::string> files_here() {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(".")) found.push_back(e.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

TEST(ImportPicture, PngsOfBuiltItemsComeBackByteForByte) {
    ScopedDirectory dir;
    const Buffer mask = read_file(ITEMS + "a_qxpres.raw");
    ASSERT_EQ(mask.size(), 259u * 105);

    // The mask as grey, as the opacity of a white picture, as 16-bit grey and as
    // a palette holding every grey level, written under its own name. (An RGB
    // picture's round trip: ImportInto.)
    Buffer ga, palette(256 * 3);
    std::vector<uint16_t> deep;
    for (uint8_t m : mask)
        ga.insert(ga.end(), {255, uint8_t(255 - m)}), deep.push_back(uint16_t(m * 257));
    for (int i = 0; i < 256; i++)
        palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = uint8_t(i);
    write_png_file("mask.png", 259, 105, PNG_FORMAT_GRAY, mask.data());
    write_png_file("ga.png", 259, 105, PNG_FORMAT_GA, ga.data());
    write_png_file("deep.png", 259, 105, PNG_FORMAT_GRAY | PNG_FORMAT_FLAG_LINEAR, deep.data());
    write_png_file("pal.png", 259, 105, PNG_FORMAT_RGB_COLORMAP, mask.data(), palette.data(), 256);
    for (std::vector<std::string> args :
         {std::vector<std::string>{"mask.png"}, {"ga.png", "--alpha"}, {"deep.png"}, {"pal.png"}}) {
        fs::remove("a_qxpres.raw");
        args.insert(args.begin() + 1, "A_QXPRES.raw");
        EXPECT_EQ(run_import(args), 0) << args[0];
        EXPECT_EQ(read_file("a_qxpres.raw"), mask) << args[0];
    }

    // Colour over transparency is composited on black, rounded (201 and 1 at
    // alpha 128 are 100.9 and 0.5); colour becomes luma.
    const uint8_t rgba[] = {201, 100, 1, 128, 255, 255, 255, 0, 10, 20, 30, 255, 0, 0, 255, 255};
    ItemShape shape{KIND_RGB, 2, 2, 0, 0, false, false};
    EXPECT_EQ(imported(2, 2, PNG_FORMAT_RGBA, rgba, shape),
              (Buffer{101, 50, 1, 0, 0, 0, 10, 20, 30, 0, 0, 255}));
    shape.kind = KIND_BYTES;
    EXPECT_EQ(imported(2, 2, PNG_FORMAT_RGBA, rgba, shape), (Buffer{60, 0, 18, 29}));
}

TEST(ImportPicture, FitScalesCropsAndPads) {
    ScopedDirectory dir;
    const Buffer map = read_file(ITEMS + "displace.raw");
    ASSERT_EQ(map.size(), 320u * 200);
    // A w x h picture of the map's first `columns` columns moved right by
    // `shift`, on black; 400 rows double every pixel.
    auto picture = [&](int w, int h, int shift, int columns = 320) {
        Buffer out;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const int mx = x * 200 / h - shift, my = y * 200 / h;
                out.push_back(mx >= 0 && mx < columns ? map[size_t(my) * 320 + size_t(mx)] : 0);
            }
        return out;
    };
    // Refused without --fit. Area averaging gives the doubled picture back, the
    // middle 320 columns of the wide one are kept and the narrow one is centred
    // between black bands.
    const std::tuple<const char*, int, int, int, Buffer> fits[] = {
        {"--fit", 640, 400, 0, map},
        {"--fit=crop", 640, 200, 160, map},
        {"--fit=pad", 160, 200, 0, picture(320, 200, 80, 160)},
    };
    for (const auto& [fit, w, h, shift, item] : fits) {
        write_png_file("in.png", w, h, PNG_FORMAT_GRAY, picture(w, h, shift).data());
        std::string err;
        EXPECT_EQ(run_import({"in.png", "displace.raw"}, &err), 1);
        EXPECT_EQ(err, "qxpack: in.png: picture is " + std::to_string(w) + " x " +
                           std::to_string(h) +
                           ", the item is 320 x 200 (--fit, --fit=crop or --fit=pad scale it)\n");
        EXPECT_EQ(run_import({"in.png", "displace.raw", fit}), 0) << fit;
        EXPECT_EQ(read_file("displace.raw"), item) << fit;
    }

    // Growing interpolates between neighbours.
    const uint8_t two[] = {0, 200};
    const ItemShape four{KIND_BYTES, 4, 1, 0, 0, false, false};
    EXPECT_EQ(imported(2, 1, PNG_FORMAT_GRAY, two, four, FIT_SCALE), (Buffer{0, 50, 150, 200}));
}

// The PNG with one byte of its header chunk changed and the chunk's CRC-32 made right.
static Buffer with_header_byte(Buffer png, size_t at, uint8_t value) {
    png[at] = value;
    const uLong crc = crc32(0, png.data() + 12, 17); // over the chunk's type and data
    for (int i = 0; i < 4; i++) png[29 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    return png;
}

// Reads a written model with the show's reader, face normals included.
static Mesh read_model(const std::string& path) {
    const Buffer bytes = read_file(path);
    Mesh mesh;
    model_set_entry(bytes.data(), bytes.size());
    EXPECT_EQ(model_parse(&mesh, 1.0f), 1) << path;
    model_set_entry(nullptr, 0);
    mesh_update_normals(&mesh);
    return mesh;
}

// Every face of a convex solid faces away from the mean of its vertices.
static int faces_pointing_out(const Mesh& m) {
    Vec3 c{0, 0, 0};
    for (const Vec3& p : m.vertices)
        c = {c.x + p.x / m.vertex_count, c.y + p.y / m.vertex_count, c.z + p.z / m.vertex_count};
    int out = 0;
    for (const Face& f : m.faces) {
        const Vec3 a = m.vertices[f.vert_a], d = {a.x - c.x, a.y - c.y, a.z - c.z};
        out += vec_dot(&f.normal, &d) > 0;
    }
    return out;
}

static float reach(const Mesh& m) {
    float r = 0;
    for (const Vec3& p : m.vertices) r = std::max(r, float(vec_length(p.x, p.y, p.z)));
    return r;
}

// The vertex and face counts, then each surface's first face and face count.
static std::vector<int> layout(const Mesh& m) {
    std::vector<int> out = {m.vertex_count, m.face_count};
    for (int s = 0; s < m.surface_count; s++)
        out.insert(out.end(), {m.surfaces[s].first, m.surfaces[s].count});
    return out;
}

// A cube of side 2 about (5, 5, 5) with faces in both windings and the top
// quad in a group of its own.
static const char* const CUBE_OBJ = "v 4 4 4\nv 6 4 4\nv 6 6 4\nv 4 6 4\n"
                                    "v 4 4 6\nv 6 4 6\nv 6 6 6\nv 4 6 6\n"
                                    "g sides\nf 1 2 3 4\nf 5 6 7 8\nf 1 5 6 2\nf 2 3 7 6\n"
                                    "g top\nf 3 7 8 4\n"
                                    "g sides\nf 1 4 8 5\n";

// glTF 2.0 with its buffer in tetra.bin: a tetrahedron in two primitives of
// two materials, under a node moved by (10, 0, 0).
static void write_tetrahedron_gltf() {
    Buffer data = vertex_payload({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    for (uint16_t i : {0, 1, 2, 0, 1, 3, 1, 2, 3, 0, 2, 3}) put_u16(data, i);
    write_file("tetra.bin", data);
    write_text("tetra.gltf", R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],
 "nodes":[{"mesh":0,"translation":[10,0,0]}],
 "materials":[{"name":"head"},{"name":"body"}],
 "meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"material":0},
                          {"attributes":{"POSITION":0},"indices":2,"material":1}]}],
 "buffers":[{"byteLength":72,"uri":"tetra.bin"}],
 "bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":48},
                {"buffer":0,"byteOffset":48,"byteLength":6},
                {"buffer":0,"byteOffset":54,"byteLength":18}],
 "accessors":[{"bufferView":0,"componentType":5126,"count":4,"type":"VEC3",
               "min":[0,0,0],"max":[1,1,1]},
              {"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"},
              {"bufferView":2,"componentType":5123,"count":9,"type":"SCALAR"}]})");
}

// Faces welded, wound outwards (whatever the file's winding) and grouped by
// group or material in order of first use; scaled to the item's radius unless
// --radius 0; with --centre, the box about the origin, or for a figure
// (istu2) standing on it.
TEST(ImportModel, ObjAndGltfAreWeldedWoundOutwardsPlacedAndGrouped) {
    ScopedDirectory dir;
    write_text("cube.obj", CUBE_OBJ);
    std::string inside_out = CUBE_OBJ; // mirrored in x, its faces kept
    for (size_t at = 0; (at = inside_out.find("v ", at)) != std::string::npos;)
        inside_out.insert(at += 2, "-");
    write_text("inside_out.obj", inside_out);
    write_tetrahedron_gltf();
    const std::vector<int> cube = {8, 12, 0, 10, 10, 2}, tetra = {4, 4, 0, 1, 1, 3};
    const std::tuple<std::vector<std::string>, std::vector<int>, float> cases[] = {
        {{"cube.obj", "kocka1.m3d", "--centre"}, cube, 55.0f}, // kocka1 fills the frame
        {{"inside_out.obj", "istu2.m3d", "--centre"}, cube, 1300.0f},
        {{"tetra.gltf", "istu2.m3d", "--radius", "0"}, tetra, 11.0f}, // moved by the node
        {{"tetra.gltf", "o_pod1.m3d", "--centre"}, tetra, 60.0f},
    };
    for (const auto& [args, want, radius] : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        std::string err;
        ASSERT_EQ(run_import(args, &err), 0) << err;
        EXPECT_EQ(err, ""); // the surfaces the scenes map are there: no warning
        const Mesh m = read_model(args[1]);
        EXPECT_EQ(layout(m), want);
        EXPECT_NEAR(reach(m), radius, radius * 1e-5f);
        EXPECT_EQ(faces_pointing_out(m), m.face_count);
        if (args[2] != "--centre") continue;
        BoxCorners box;
        mesh_box_corners(&m, &box);
        const Vec3 lo = box.corner[0], hi = box.corner[1];
        expect_vec(Vec3{lo.x + hi.x, lo.y + hi.y, args[1] == "istu2.m3d" ? lo.z : lo.z + hi.z}, 0,
                   0, 0, radius * 1e-5);
    }
}

// A bumpy torus of around x across quads (two faces each, wound outwards) as
// an OBJ file, its first half around in the group "head", the rest in "body".
static void write_torus_obj(const std::string& path, int around, int across) {
    std::string obj;
    for (int i = 0; i < around; i++)
        for (int j = 0; j < across; j++) {
            const double s = 2 * M_PI * i / around, t = 2 * M_PI * j / across;
            const double r = 0.6 + 0.08 * std::sin(5 * s) * std::cos(3 * t);
            const double ring = 2 + r * std::cos(t);
            obj += "v " + std::to_string(ring * std::cos(s)) + " " +
                   std::to_string(ring * std::sin(s)) + " " + std::to_string(r * std::sin(t)) +
                   "\n";
        }
    auto at = [&](int i, int j) { return std::to_string((i % around) * across + j % across + 1); };
    for (int i = 0; i < around; i++) {
        if (i == 0 || i == around / 2) obj += i ? "g body\n" : "g head\n";
        for (int j = 0; j < across; j++)
            obj += "f " + at(i, j) + " " + at(i + 1, j) + " " + at(i + 1, j + 1) + " " +
                   at(i, j + 1) + "\n";
    }
    write_text(path, obj);
}

// Closed and wound alike: every edge runs once in each direction.
static bool closed(const Mesh& m) {
    std::map<std::pair<uint32_t, uint32_t>, int> runs;
    for (const Face& f : m.faces)
        for (auto [a, b] :
             {std::pair{f.vert_a, f.vert_b}, {f.vert_b, f.vert_c}, {f.vert_c, f.vert_a}})
            runs[{a, b}]++;
    for (const auto& [edge, count] : runs) {
        const auto back = runs.find({edge.second, edge.first});
        if (count != 1 || back == runs.end() || back->second != 1) return false;
    }
    return true;
}

// The enclosed volume: positive when the faces point outwards.
static double volume(const Mesh& m) {
    double six = 0;
    for (const Face& f : m.faces) {
        const Vec3 &a = m.vertices[f.vert_a], &b = m.vertices[f.vert_b], &c = m.vertices[f.vert_c];
        six += a.x * (double(b.y) * c.z - double(b.z) * c.y) -
               a.y * (double(b.x) * c.z - double(b.z) * c.x) +
               a.z * (double(b.x) * c.y - double(b.y) * c.x);
    }
    return six / 6;
}

// The edges where faces of two surfaces meet.
static size_t surface_border(const Mesh& m) {
    std::map<std::pair<uint32_t, uint32_t>, std::vector<int>> surfaces_at;
    for (int s = 0; s < m.surface_count; s++)
        for (int i = m.surfaces[s].first; i < m.surfaces[s].first + m.surfaces[s].count; i++) {
            const Face& f = m.faces[size_t(i)];
            for (auto [a, b] :
                 {std::pair{f.vert_a, f.vert_b}, {f.vert_b, f.vert_c}, {f.vert_c, f.vert_a}})
                surfaces_at[{std::min(a, b), std::max(a, b)}].push_back(s);
        }
    return size_t(std::count_if(surfaces_at.begin(), surfaces_at.end(), [](const auto& e) {
        return std::adjacent_find(e.second.begin(), e.second.end(), std::not_equal_to<int>()) !=
               e.second.end();
    }));
}

// The scene `view` drawn as the show loads it, loose items of the working
// directory first: the pixels it covers, and its first object's faces.
static int draw_view(const std::string& view, int* faces) {
    pack_builtin = builtin_pack();
    create_working_surface();
    choose_kernels();
    load_all_assets();
    display_depth = 32;
    int covered = 0;
    for (const SceneView& shot : scene_views()) {
        if (shot.name != view) continue;
        *faces = shot.scene->objects[shot.objects[0]].mesh.face_count;
        Camera camera = show_camera();
        fill_surface(surface_virtual1, 0x010203);
        draw_scene_view(shot, &camera, surface_virtual1);
        for (uint32_t p : surface_virtual1->pixels) covered += p != 0x010203;
    }
    free_all_assets();
    release_working_surface();
    pack_builtin = {nullptr, 0};
    return covered;
}

// A model over its item's face budget or the format's limits is simplified:
// within the budget (--faces N, or the item's own), each surface on its own
// with the border between them kept edge for edge, still closed and outward
// and close to its volume; --faces 0 keeps every face the format holds. The
// figure of 69,666 faces is drawn in its scene.
TEST(ImportModel, LargeModelsAreSimplifiedClosedOutwardAndDrawn) {
    ScopedDirectory dir;
    write_torus_obj("big.obj", 683, 51); // 69,666 faces, 102 edges between head and body
    write_torus_obj("small.obj", 100, 30);
    const auto whole = [](const Mesh& m, size_t border) {
        ASSERT_EQ(m.surface_count, 2);
        EXPECT_GT(m.surfaces[0].count, 0);
        EXPECT_TRUE(closed(m));
        EXPECT_EQ(surface_border(m), border);
    };
    std::string said;
    ASSERT_EQ(run_import({"big.obj", "istu2.m3d", "--faces", "0"}, nullptr, &said), 0) << said;
    const Mesh most = read_model("istu2.m3d");
    const double full = volume(most);
    EXPECT_GE(most.face_count, 65000);
    EXPECT_NE(said.find("69666 faces simplified to " + std::to_string(most.face_count)),
              std::string::npos)
        << said;
    whole(most, 102);
    // Borders that hold more faces than the budget asks are kept, and said.
    ASSERT_EQ(run_import({"small.obj", "istu2.m3d", "--faces", "100"}, &said), 0);
    const Mesh held = read_model("istu2.m3d");
    EXPECT_GT(held.face_count, 100);
    EXPECT_NE(said.find("warning: " + std::to_string(held.face_count) +
                        " faces kept, over the budget of 100"),
              std::string::npos)
        << said;
    whole(held, 60);

    // The arguments, the least and most faces kept, how near the volume stays.
    const std::tuple<std::vector<std::string>, int, int, double> cases[] = {
        {{"big.obj", "istu2.m3d", "--faces", "1000"}, 900, 1000, 0.1},
        {{"big.obj", "istu2.m3d", "--faces", "16000"}, 15000, 16000, 0.02}, // pinched once
        {{"small.obj", "istu2.m3d", "--faces", "0"}, 6000, 6000, 0.02},
        {{"small.obj", "istu2.m3d"}, 4000, 4500, 0.02}, // the figure's own budget
        {{"big.obj", "istu2.m3d"}, 4000, 4500, 0.02},
    };
    for (const auto& [args, least, most_faces, near] : cases) {
        SCOPED_TRACE(args[0] + (args.size() > 2 ? " --faces " + args[3] : ""));
        ASSERT_EQ(run_import(args, &said), 0) << said;
        EXPECT_EQ(said, "");
        const Mesh m = read_model("istu2.m3d");
        EXPECT_GE(m.face_count, least);
        EXPECT_LE(m.face_count, most_faces);
        whole(m, args[0] == "big.obj" ? 102 : 60);
        EXPECT_NEAR(volume(m) / full, 1.0, near);
    }
    // The last, the figure of 69,666 faces in its budget, in its scene.
    int faces = 0;
    EXPECT_GE(draw_view("istu", &faces), FRAME_PIXELS / 20);
    EXPECT_EQ(faces, read_model("istu2.m3d").face_count);
}

// Bad pictures, bad models and bad arguments: status 1, one line on stderr
// after "qxpack: FILE: " that holds the case's last word, nothing written.
TEST(Import, BadInputGivesOneLineAndNoOutput) {
    ScopedDirectory dir;
    const Buffer logo = read_file(ITEMS + "qxlogo.raw");
    write_png_file("logo.png", 320, 200, PNG_FORMAT_RGB, logo.data());
    const Buffer png = read_file("logo.png");
    write_file("cut.png", Buffer(png.begin(), png.begin() + png.size() / 2));
    // The header claims 400 rows (200 in the data), or a width near 2^31.
    write_file("lying.png", with_header_byte(with_header_byte(png, 22, 400 >> 8), 23, 400 & 0xFF));
    write_file("huge.png", with_header_byte(png, 16, 0x7F));
    write_text("text.png", "not a picture at all\n");
    write_text("range.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n");
    write_text("points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n");
    write_text("flat.obj", "v 0 0 0\nv 0 0 0\nv 0 0 0\nf 1 2 3\n");
    write_text("junk.ply", "ply\nformat ascii 1.0\nelement vertex 16000000\nproperty float x\n"
                           "end_header\n1 2\n");
    // A face count the asset library trips over in one of its assertions.
    write_text("abort.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                            "property float y\nproperty float z\nelement face 1\n"
                            "property list uchar int vertex_indices\nend_header\n"
                            "0 0 0\n1 0 0\n0 1 0\n; 0 1 2\n");
    // 257 x 256 grid points: over the 65,535 vertices a model holds, in faces
    // that share no edge, so that all are border and simplifying keeps them.
    std::string grid;
    for (int i = 0; i < 257 * 256; i++) {
        grid += "v " + std::to_string(i % 257) + " " + std::to_string(i / 257) + " 1\n";
        if (i >= 257 && i % 257) // the face of vertices i - 257, i - 256 and i + 1 (from 1)
            grid += "f " + std::to_string(i - 257) + " " + std::to_string(i - 256) + " " +
                    std::to_string(i + 1) + "\n";
    }
    write_text("grid.obj", grid);
    const std::vector<std::string> inputs = files_here();

    for (std::vector<std::string> c : std::vector<std::vector<std::string>>{
             {"cut.png", "qxlogo.raw", "truncated"},
             {"lying.png", "qxlogo.raw", "bad PNG"},
             {"huge.png", "qxlogo.raw", "bad PNG"},
             {"text.png", "qxlogo.raw", "not a PNG file"},
             {"missing.png", "qxlogo.raw", "no such file"},
             {"logo.png", "qxlogo.bmp", "not an item of the show"},
             {"logo.png", "qxlogo.raw", "--alpha", "one-byte items only"},
             {"logo.png", "kocka1.m3d", "--fit", "for pictures"},
             {"logo.png", "qxlogo.raw", "--faces", "100", "for models"},
             {"range.obj", "kocka1.m3d", "out of range"},
             {"points.obj", "kocka1.m3d", "faces"},
             {"flat.obj", "kocka1.m3d", "no triangles"},
             {"grid.obj", "kocka1.m3d", "at most 65535"},
             {"junk.ply", "kocka1.m3d", "more than the file can hold"},
             {"abort.ply", "kocka1.m3d", "the asset library failed on this file"},
             {"range.obj", "kocka1.m3d", "--alpha", "for pictures"},
             {"missing.obj", "kocka1.m3d", "no such file"},
         }) {
        const std::string want = c.back();
        c.pop_back();
        std::string err;
        EXPECT_EQ(run_import(c, &err), 1) << c[0];
        EXPECT_EQ(err.rfind("qxpack: " + c[0] + ": ", 0), 0u) << err;
        EXPECT_NE(err.find(want), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    // A face budget that is no whole number of at least 0 is a wrong argument.
    for (const std::string faces : {"-1", "4k", ""})
        EXPECT_EQ(run_import({"range.obj", "kocka1.m3d", "--faces", faces}), 2) << faces;
    EXPECT_EQ(files_here(), inputs) << "an output was written";
}

// The stored bytes of every directory record of a pack file.
static std::vector<std::pair<std::string, Buffer>> stored_entries(const std::string& path) {
    const Buffer pack = read_file(path);
    std::vector<std::pair<std::string, Buffer>> out;
    for (const PackDirEntry& e : pack_directory(pack.data(), pack.size())) {
        EXPECT_TRUE(pack_entry_in_bounds(e, pack.size()));
        out.push_back(
            {e.name, Buffer(pack.begin() + e.offset, pack.begin() + e.offset + e.stored_size)});
    }
    return out;
}

static Buffer decoded(const Buffer& stored) {
    if (!is_packed_block(stored.data(), stored.size())) return stored;
    return unpack_block(stored.data(), stored.size()).value_or(Buffer{});
}

TEST(ImportInto, AddsOrReplacesOneEntryAndKeepsTheOthers) {
    ScopedDirectory dir;
    const Buffer logo = read_file(ITEMS + "qxlogo.raw");
    const Buffer think = read_file(ITEMS + "think.raw");
    write_png_file("logo.png", 320, 200, PNG_FORMAT_RGB, logo.data());
    write_png_file("think.png", 320, 200, PNG_FORMAT_RGB, think.data());
    write_text("cube.obj", CUBE_OBJ);

    // A new pack, then entries added to it and one replaced.
    ASSERT_EQ(run_import({"logo.png", "think.raw", "--into", "my.qxd"}), 0);
    ASSERT_EQ(run_import({"cube.obj", "kocka1.m3d", "--into", "my.qxd"}), 0);
    ASSERT_EQ(run_import({"think.png", "qxlogo.raw", "--into", "my.qxd"}), 0);
    auto before = stored_entries("my.qxd");
    ASSERT_EQ(before.size(), 3u);
    EXPECT_LT(before[0].second.size(), logo.size()); // packed
    EXPECT_EQ(decoded(before[0].second), logo);
    ASSERT_EQ(run_import({"think.png", "THINK.RAW", "--into", "my.qxd"}), 0);
    const auto after = stored_entries("my.qxd");
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(decoded(after[0].second), think);
    before[0] = {"think.raw", after[0].second}; // renamed and replaced; the others kept
    EXPECT_EQ(after, before);
    const Buffer header = read_file("my.qxd");
    EXPECT_EQ(std::string(header.begin(), header.begin() + 6), "VORNPK");

    // The morph partner of a different vertex layout is pointed out.
    write_tetrahedron_gltf();
    std::string warning;
    ASSERT_EQ(run_import({"tetra.gltf", "kocka2.m3d", "--into", "my.qxd"}, &warning), 0);
    EXPECT_EQ(warning, "qxpack: tetra.gltf: warning: kocka2.m3d has 4 vertices, kocka1.m3d 8; the "
                       "morph between them needs one vertex layout\n");

    // A failed import or a damaged pack leaves the pack as it was.
    const Buffer kept = read_file("my.qxd");
    write_text("bad.obj", "v 0 0 0\nf 1 2 3\n");
    EXPECT_EQ(run_import({"bad.obj", "kocka1.m3d", "--into", "my.qxd"}), 1);
    Buffer damaged = kept;
    damaged[12 + 24 + 23] = 0xFF; // second entry's offset beyond the end
    write_file("damaged.qxd", damaged);
    std::string err;
    EXPECT_EQ(run_import({"logo.png", "qxlogo.raw", "--into", "damaged.qxd"}, &err), 1);
    EXPECT_NE(err.find("damaged"), std::string::npos) << err;
    EXPECT_EQ(read_file("my.qxd"), kept);
    EXPECT_EQ(read_file("damaged.qxd"), damaged);
    EXPECT_EQ(files_here(),
              (std::vector<std::string>{"bad.obj", "cube.obj", "damaged.qxd", "logo.png", "my.qxd",
                                        "tetra.bin", "tetra.gltf", "think.png"}));

    // A file without the pack tag is no pack; a pack one entry short of the
    // most a pack may hold takes one more, and then none: one line, the pack
    // as it was.
    write_png_file("mask.png", 113, 57, PNG_FORMAT_GRAY, Buffer(113 * 57, 7).data());
    const auto empty_entries = [](size_t count) {
        Buffer pack(PACK_TAG, PACK_TAG + sizeof PACK_TAG);
        put_u32(pack, uint32_t(count));
        const size_t end = PACK_HEADER_SIZE + count * PACK_DIR_ENTRY_SIZE;
        Buffer record(PACK_DIR_ENTRY_SIZE, 0);
        record[0] = 'e';
        for (int i = 0; i < 4; i++) record[20 + i] = uint8_t(end >> (8 * i));
        for (size_t i = 0; i < count; i++) pack.insert(pack.end(), record.begin(), record.end());
        return pack;
    };
    for (const auto& [file, pack, status, said] :
         std::vector<std::tuple<std::string, Buffer, int, std::string>>{
             {"zeros.qxd", Buffer(4096, 0), 1, "not a pack"},
             {"short.qxd", empty_entries(PACK_ENTRIES_MAX - 1), 0, ""},
             {"full.qxd", empty_entries(PACK_ENTRIES_MAX), 1, "already holds the 1048576 entries"},
         }) {
        write_file(file, pack);
        std::string said_now;
        EXPECT_EQ(run_import({"mask.png", "a_vorn.raw", "--into", file}, &said_now), status);
        if (status == 0) {
            const Buffer grown = read_file(file);
            const std::vector<PackDirEntry> dir = pack_directory(grown.data(), grown.size());
            ASSERT_EQ(dir.size(), PACK_ENTRIES_MAX);
            EXPECT_STREQ(dir.back().name, "a_vorn.raw");
            continue;
        }
        EXPECT_EQ(read_file(file), pack) << file;
        EXPECT_NE(said_now.find(said), std::string::npos) << said_now;
        EXPECT_EQ(std::count(said_now.begin(), said_now.end(), '\n'), 1) << said_now;
    }
}
