// The show's 3D models, built from parametric shapes.
//
// Sizes are chosen for the cameras that look at them: the nested cube frames
// are seen from about 305 units, the morphing cube from about 186, the rings
// from 200, the brain from only 10, and the figure from about 1,430 units with
// its base below the frame. Every mesh is closed and faces outwards.
#include "content.h"
#include "model_mesh.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// Surface looks, as the scenes set them up: 16 + surface type, texture number,
// colour, mapping mode (1 planar, 2 cylindrical, 3 spherical) and axis.
constexpr uint32_t kTextured = 18, kTexturedShaded = 19, kEnvironment = 21, kEnvironmentShaded = 22,
                   kTranslucent = 25;
constexpr uint8_t kTexBlue = 0, kTexWood = 1, kTexBrain = 2, kTexEnv = 3, kTexBrown = 4;
constexpr uint8_t kPlanar = 1, kCylindrical = 2, kSpherical = 3;

Vec3 vec(double x, double y, double z) {
    return {float(x), float(y), float(z)};
}

// The unit direction of the polar grid parameters: t from -z to +z, s turning
// counter-clockwise about +z.
void polar_direction(double t, double s, double d[3]) {
    const double theta = kPi * t, phi = kTwoPi * s;
    d[0] = std::sin(theta) * std::cos(phi);
    d[1] = std::sin(theta) * std::sin(phi);
    d[2] = -std::cos(theta);
}

// Grid lines at the given positions (ascending) plus, with a bevel, one
// `bevel` inside each of them for the strips that the bevelled edges cut.
std::vector<float> bevel_lines(const std::vector<double>& edges, double bevel) {
    std::vector<float> lines;
    for (size_t i = 0; i < edges.size(); i++) {
        if (bevel <= 0.0) {
            lines.push_back(float(edges[i]));
            continue;
        }
        if (i > 0) lines.push_back(float(edges[i] - bevel));
        lines.push_back(float(edges[i]));
        if (i + 1 < edges.size()) lines.push_back(float(edges[i] + bevel));
    }
    return lines;
}

std::vector<float> even_lines(double h, int cells) {
    std::vector<float> lines;
    for (int i = 0; i <= cells; i++) lines.push_back(float(-h + 2.0 * h * i / cells));
    return lines;
}

// --- nested cube frames ---------------------------------------------------

void begin_frame_surface(ModelMesh& mesh) {
    model_begin_surface(mesh, "frame", kTexturedShaded, kTexBrain, 32, 64, 148, kPlanar, 2);
}

// Edges of beams of width `beam` along the sides of a cube of half size h,
// with `mid` true: also along the middle of each side.
std::vector<double> beam_edges(double h, double beam, bool mid) {
    std::vector<double> edges = {-h, -h + beam};
    if (mid) edges.insert(edges.end(), {-beam * 0.5, beam * 0.5});
    edges.insert(edges.end(), {h - beam, h});
    return edges;
}

// The twelve edges of a cube of half size h as square bevelled beams of width
// `beam`.
ModelMesh make_cube_frame(double h, double beam, double bevel) {
    ModelMesh mesh;
    begin_frame_surface(mesh);
    const std::vector<float> lines = bevel_lines(beam_edges(h, beam, false), bevel);
    auto outer = [&](float c) { return std::fabs(c) > h - beam; };
    model_add_cells(
        mesh, lines, lines, lines,
        [&](Vec3 c) { return outer(c.x) + outer(c.y) + outer(c.z) >= 2; }, float(bevel));
    model_end_surface(mesh);
    return mesh;
}

// A cube frame whose six sides each carry a cross of beams: a window lattice
// of four panes per side, hollow inside. Sharp edges (bevel strips around so
// many beams would cost thousands of faces); the beams between the panes are
// split in two for finer lighting.
ModelMesh make_cube_lattice(double h, double beam) {
    ModelMesh mesh;
    begin_frame_surface(mesh);
    std::vector<double> edges = beam_edges(h, beam, true);
    const double pane_middle = (h - beam + beam * 0.5) * 0.5;
    edges.insert(edges.begin() + 2, -pane_middle);
    edges.insert(edges.end() - 2, pane_middle);
    const std::vector<float> lines = bevel_lines(edges, 0.0);
    auto outer = [&](float c) { return std::fabs(c) > h - beam; };
    auto in_beam = [&](float c) { return outer(c) || std::fabs(c) < beam * 0.5; };
    model_add_cells(
        mesh, lines, lines, lines,
        [&](Vec3 c) {
            return (outer(c.x) || outer(c.y) || outer(c.z)) &&
                   in_beam(c.x) + in_beam(c.y) + in_beam(c.z) >= 2;
        },
        0.0f);
    model_end_surface(mesh);
    return mesh;
}

// A cube of 3 x 3 x 3 blocks with the centre and the six side centres taken
// out: square tunnels through every side.
ModelMesh make_cube_sponge(double h, double bevel) {
    ModelMesh mesh;
    begin_frame_surface(mesh);
    const std::vector<float> lines = bevel_lines({-h, -h / 3.0, h / 3.0, h}, bevel);
    auto middle = [&](float c) { return std::fabs(c) < h / 3.0; };
    model_add_cells(
        mesh, lines, lines, lines,
        [&](Vec3 c) { return middle(c.x) + middle(c.y) + middle(c.z) <= 1; }, float(bevel));
    model_end_surface(mesh);
    return mesh;
}

// --- morphing cube --------------------------------------------------------

void begin_morph_cube_surface(ModelMesh& mesh) {
    model_begin_surface(mesh, "cube", kEnvironment, kTexBrown, 32, 64, 148, kSpherical, 2);
}

// Seen at (261, 99) from about 215 units and spun about the vertical (object
// y), with 54 pixels from its centre to the frame's right edge: whatever
// turns through the horizontal plane must stay within about 34 units of the
// axis, or it leaves the frame as it swings towards the camera. So the cube is
// as large as that allows, and the star grows along the spin axis instead,
// where the frame has room: radius 55 up and down.
constexpr double kCubeHalf = 22.5;
constexpr int kCubeCells = 12;
// Faces pillowed outwards by this share of the way to the sphere through the
// corners: each side then mirrors a small patch of the reflection map rather
// than one texel.
constexpr double kCubePillow = 0.12;
constexpr double kStarCore = 25.0, kStarSide = 7.0, kStarTip = 55.0;

ModelMesh make_morph_cube() {
    ModelMesh mesh;
    begin_morph_cube_surface(mesh);
    const std::vector<float> lines = even_lines(kCubeHalf, kCubeCells);
    model_add_cells(
        mesh, lines, lines, lines, [](Vec3) { return true; }, 0.0f);
    model_end_surface(mesh);
    const double corner = kCubeHalf * std::sqrt(3.0);
    for (Vec3& p : mesh.vertices) {
        const double len = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
        const double k = 1.0 + kCubePillow * (corner / len - 1.0);
        p = vec(p.x * k, p.y * k, p.z * k);
    }
    return mesh;
}

// The cube's vertices pushed out along their directions onto a six-pointed
// star: two long spikes along the spin axis, four short ones around it, the
// corners sunk in between.
ModelMesh make_morph_star(const ModelMesh& cube) {
    ModelMesh star = cube;
    for (Vec3& p : star.vertices) {
        const double len = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
        const double dx = p.x / len, dy = p.y / len, dz = p.z / len;
        const double around = std::max(std::fabs(dx), std::fabs(dz));
        const double r = kStarCore + kStarSide * std::pow(around, 8.0) +
                         (kStarTip - kStarCore) * std::pow(std::fabs(dy), 16.0);
        p = vec(dx * r, dy * r, dz * r);
    }
    return star;
}

// --- morphing ring --------------------------------------------------------

constexpr int kRingAround = 40, kRingAcross = 16;

void begin_ring_surface(ModelMesh& mesh) {
    model_begin_surface(mesh, "ring", kEnvironmentShaded, kTexEnv, 32, 64, 148, kSpherical, 2);
}

// A point of a tube about the z axis: centre circle of radius `major` at
// height `height`, offset `minor` at angle v in the plane of the radius and z.
Vec3 tube_point(double u, double v, double major, double height, double minor) {
    const double cu = std::cos(u), su = std::sin(u);
    const double radial = major + minor * std::cos(v);
    return vec(radial * cu, radial * su, height + minor * std::sin(v));
}

ModelMesh make_torus() {
    ModelMesh mesh;
    begin_ring_surface(mesh);
    model_add_torus_grid(mesh, kRingAround, kRingAcross, [](double s, double t) {
        return tube_point(kTwoPi * s, kTwoPi * t, 42.0, 0.0, 17.0);
    });
    model_end_surface(mesh);
    return mesh;
}

// The same grid as a flower: the centre line waves in and out five times, and
// the tube is a three-lobed section that twists twice along the way.
ModelMesh make_twisted_torus() {
    ModelMesh mesh;
    begin_ring_surface(mesh);
    model_add_torus_grid(mesh, kRingAround, kRingAcross, [](double s, double t) {
        const double u = kTwoPi * s, v = kTwoPi * t;
        const double major = 40.0 + 6.0 * std::sin(5.0 * u);
        const double height = 5.0 * std::cos(5.0 * u);
        const double minor = 14.0 * (1.0 + 0.4 * std::cos(3.0 * v + 2.0 * u));
        return tube_point(u, v, major, height, minor);
    });
    model_end_surface(mesh);
    return mesh;
}

// --- brain ----------------------------------------------------------------

// Seen from 10 units at 26 pixels a unit (more on its near side), turning
// about y: at this size its long side stays inside the frame.
constexpr double kBrainScale = 0.7;

// Ridges of the cortex between sharp furrows: a few winding folds across the
// length and a few along it, in -1 (furrow) .. 1 (crest). d is the unit
// direction from the hemisphere's centre, side -1 or +1.
double cortex_folds(const double d[3], double side) {
    const double across = 1.7 * d[2] + 0.3 * std::sin(3.5 * d[1] + 2.0 * side * d[0]);
    const double along = 1.3 * d[1] + 0.25 * std::sin(3.0 * d[2] + 1.0);
    const double ridge =
        0.6 * std::fabs(std::sin(kPi * across)) + 0.4 * std::fabs(std::sin(kPi * along));
    return 2.0 * std::sqrt(ridge) - 1.0;
}

// The deep furrow low on the outer side that sets off the temporal lobe: 0
// away from it, 1 on its line.
double side_furrow(const double d[3], double side) {
    const double outward = std::max(0.0, d[0] * side);
    const double off_line = (d[1] + 0.1 - 0.35 * d[2]) / 0.12;
    return outward * std::exp(-off_line * off_line);
}

// One hemisphere; side +1 is the right one. Object +y is the top, -x the
// front and -z the left: the scene maps the brain's texture along z, so the
// texture lies flat on the hemispheres' outer sides, the view the brain shows
// at its widest, and streaks only over the narrow ends.
void add_hemisphere(ModelMesh& mesh, double side) {
    const double s = kBrainScale;
    const double gap = 0.08 * s, inner = 0.95 * s, outer = 1.75 * s;
    const double top = 2.45 * s, bottom = 1.75 * s, front = 3.45 * s, back = 3.3 * s;
    const double cx = side * (inner + gap);
    model_add_polar_grid(mesh, 20, 24, [&](double t, double s) {
        // The grid's poles go to the bottom and the top (a cyclic swap of
        // the axes keeps the winding), away from the view of the front.
        double g[3];
        polar_direction(t, s, g);
        const double d[3] = {g[1], g[2], g[0]};
        // Each half of the ellipsoid has its own extent: flat towards the
        // other hemisphere and underneath, long at the front.
        const double x = d[0] * (d[0] * side > 0.0 ? outer : inner);
        const double y = d[1] * (d[1] > 0.0 ? top : bottom);
        const double z = d[2] * (d[2] > 0.0 ? front : back);
        const double k = 1.0 + 0.09 * cortex_folds(d, side) - 0.1 * side_furrow(d, side);
        // A quarter turn about y (from x right, z front) keeps the winding.
        return vec(-z * k, y * k, cx + x * k);
    });
}

ModelMesh make_brain() {
    ModelMesh mesh;
    model_begin_surface(mesh, "cortex", kTranslucent, kTexBrain, 32, 64, 128, kPlanar, 2);
    add_hemisphere(mesh, -1.0);
    add_hemisphere(mesh, 1.0);
    model_end_surface(mesh);
    return mesh;
}

// --- standing figure ------------------------------------------------------

// Radius and height of the body's outline, from the centre of the base up to
// the centre of the neck's top: a robe flaring to its hem, a waist, a chest
// under broad rounded shoulders and a neck.
struct ProfilePoint {
    double r, z;
};
const ProfilePoint kBodyProfile[] = {{0, 0},     {120, 0},   {235, 0},   {240, 30},  {222, 60},
                                     {180, 120}, {148, 200}, {124, 300}, {108, 400}, {112, 480},
                                     {136, 560}, {165, 630}, {200, 690}, {215, 730}, {205, 770},
                                     {160, 800}, {100, 818}, {66, 835},  {58, 880},  {0, 880}};
constexpr int kBodyPoints = int(sizeof(kBodyProfile) / sizeof(kBodyProfile[0]));
constexpr double kHeadRadius = 165.0, kHeadCentre = 1020.0;
constexpr int kHeadRings = 12, kFigureSegments = 20;
// The scene's one light sits at the figure's base and shines along the view,
// so it reaches only normals that lean down the figure's axis. Hidden chords
// across the head, in each ring's plane and facing down, pull every ring
// vertex's normal down to the elevation head_lean gives (content.h): the side
// turned to the viewer is then lit, and the head's texture (tex_blue_chrome)
// undoes the lean when it paints the reflection.
//
// A ring vertex's normal is the sum of its faces' unit normals: six of the
// sphere, close to the sphere normal n, and three per chord step facing -z.
// Leaning n = (cos e, sin e) to elevation e' takes k = sin e - cos e tan e'
// times the sphere's weight, so 2k chord steps.
int head_chord_steps(double e) {
    const double k = std::sin(e) - std::cos(e) * std::tan(head_lean(e));
    return std::max(0, int(std::lround(2.0 * k)));
}

// Chords of each ring of the polar grid that starts at vertex `ring0`:
// triangles v(j), v(j + 2d), v(j + d), each step giving every ring vertex
// three faces. d alternates between 1 and 2: thin slivers along the rim,
// which cost the renderer little (seen nearly edge-on, a chord across the
// whole ring would cover a long strip of the head for nothing).
void add_normal_chords(ModelMesh& mesh, uint32_t ring0, int rings, int segments) {
    auto at = [&](int r, int j) { return ring0 + uint32_t(r * segments + j % segments); };
    for (int r = 0; r < rings; r++) {
        const double e = kPi * double(r + 1) / double(rings + 1) - kPi / 2.0;
        const int steps = head_chord_steps(e);
        for (int i = 0; i < steps; i++) {
            const int d = 1 + i % 2;
            for (int j = 0; j < segments; j++)
                model_add_face(mesh, at(r, j), at(r, j + 2 * d), at(r, j + d));
        }
    }
}

// The body is no solid of revolution, so that its turn shows in its outline:
// broad across the shoulders (x) and narrow front to back (y), with a cape
// hanging from the shoulders down the back (-y) and flaring to the hem, and
// the right arm (+x) raised with a clenched fist beside the head. Seen from
// the front or back the figure is wide with the arm to one side; a quarter
// turn on it is slim, the cape sticking out on one side and the arm on the
// other.
constexpr int kBodySegments = 32;
constexpr double kBreadth = 0.22;
const Vec3 kShoulder = vec(215, 0, 700), kElbow = vec(340, -20, 850), kFist = vec(330, -10, 1075);

double body_radius(const ProfilePoint& p, double phi) {
    const double back = std::max(0.0, -std::sin(phi));
    // The cape: from the shoulders (z 760) down, further out towards the hem.
    const double drop = std::clamp((760.0 - p.z) / 700.0, 0.0, 1.0);
    const double cape = p.z > 0.0 && p.z < 800.0 ? 200.0 * std::sqrt(drop) * back * back : 0.0;
    return p.r * (1.0 + kBreadth * std::cos(2.0 * phi)) + (p.r > 0.0 ? cape : 0.0);
}

// A limb from a to b: a closed tube of radius r rounded at both ends.
void add_limb(ModelMesh& mesh, Vec3 a, Vec3 b, double r) {
    const double d[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const double u[3] = {d[0] / len, d[1] / len, d[2] / len};
    // e1, e2 across the limb with e1 x e2 = u, so the grid faces outwards.
    double e1[3] = {u[1], -u[0], 0.0};
    const double n1 = std::sqrt(e1[0] * e1[0] + e1[1] * e1[1]);
    for (double& c : e1) c /= n1;
    const double e2[3] = {u[1] * e1[2] - u[2] * e1[1], u[2] * e1[0] - u[0] * e1[2],
                          u[0] * e1[1] - u[1] * e1[0]};
    model_add_polar_grid(mesh, 9, 12, [&](double t, double s) {
        // Half spheres at the ends, a straight tube between them.
        const double along = -r + t * (len + 2.0 * r);
        const double end = std::min(along, len - along);
        const double across = end >= 0.0 ? r : std::sqrt(std::max(0.0, r * r - end * end));
        const double c = std::cos(kTwoPi * s) * across, q = std::sin(kTwoPi * s) * across;
        return vec(a.x + u[0] * along + e1[0] * c + e2[0] * q,
                   a.y + u[1] * along + e1[1] * c + e2[1] * q,
                   a.z + u[2] * along + e1[2] * c + e2[2] * q);
    });
}

ModelMesh make_figure() {
    ModelMesh mesh;
    model_begin_surface(mesh, "head", kEnvironmentShaded, kTexBlue, 32, 64, 148, kSpherical, 2);
    const uint32_t head_ring0 = uint32_t(mesh.vertices.size()) + 1;
    model_add_polar_grid(mesh, kHeadRings, kFigureSegments, [](double t, double s) {
        double d[3];
        polar_direction(t, s, d);
        return vec(d[0] * kHeadRadius, d[1] * kHeadRadius, kHeadCentre + d[2] * kHeadRadius);
    });
    model_end_surface(mesh);

    model_begin_surface(mesh, "body", kTextured, kTexWood, 32, 64, 148, kCylindrical, 1);
    model_add_polar_grid(mesh, kBodyPoints - 2, kBodySegments, [](double t, double s) {
        const ProfilePoint& p = kBodyProfile[int(std::lround(t * (kBodyPoints - 1)))];
        const double phi = kTwoPi * s, r = body_radius(p, phi);
        return vec(r * std::cos(phi), r * std::sin(phi), p.z);
    });
    add_limb(mesh, kShoulder, kElbow, 62.0);
    add_limb(mesh, kElbow, kFist, 50.0);
    model_end_surface(mesh);

    // Depth only (the surface is left unmapped) and inside the head: never seen.
    model_begin_surface(mesh, "head normals", 16, kTexBlue, 0, 0, 0, kPlanar, 2);
    add_normal_chords(mesh, head_ring0, kHeadRings, kFigureSegments);
    model_end_surface(mesh);
    return mesh;
}

} // namespace

bool write_models(const std::string& items_dir) {
    const std::string dir = items_dir + "/";
    const ModelMesh cube = make_morph_cube();
    return model_write(make_brain(), dir + "brain.m3d") &&
           model_write(make_cube_frame(110.0 / std::sqrt(3.0), 12.0, 2.5), dir + "vkocka1.m3d") &&
           model_write(make_cube_lattice(80.0 / std::sqrt(3.0), 7.0), dir + "vkocka2.m3d") &&
           model_write(make_cube_sponge(50.0 / std::sqrt(3.0), 2.5), dir + "vkocka3.m3d") &&
           model_write(cube, dir + "kocka1.m3d") &&
           model_write(make_morph_star(cube), dir + "kocka2.m3d") &&
           model_write(make_torus(), dir + "o_pod1.m3d") &&
           model_write(make_twisted_torus(), dir + "o_pod2.m3d") &&
           model_write(make_figure(), dir + "istu2.m3d");
}
