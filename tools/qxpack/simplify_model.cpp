// Model simplification for qxpack import. The budget is shared out among the
// surfaces by their sizes, and each surface is reduced on its own: the band of
// its faces along its border (where it meets another surface, or a hole)
// stays as it is, and meshoptimizer's simplifier reduces the rest with the
// band's inner edge locked. A surface that its border holds above its share
// keeps what it reached, and the next round shares what is left among the
// others.
#include "simplify_model.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <unordered_map>

// One surface's run of faces in the model, and what simplifying it gave.
struct SurfaceFaces {
    size_t first, count;
    size_t target;              // the faces asked of it this round
    bool held;                  // its border kept it above a target: it keeps `kept`
    std::vector<Triangle> kept; // its faces as they now are
};

// Rounds of sharing out the budget; each round after the first follows a
// surface found held, so few models need more than two.
constexpr int SIMPLIFY_ROUNDS = 8;

static std::vector<SurfaceFaces> surface_runs(const std::vector<Triangle>& triangles) {
    std::vector<SurfaceFaces> runs;
    for (size_t i = 0; i < triangles.size(); i++) {
        if (i == 0 || triangles[i].surface != triangles[i - 1].surface)
            runs.push_back({i, 0, 0, false, {}});
        runs.back().count++;
    }
    return runs;
}

// Gives every surface not held its share of what the held ones leave of `goal`,
// by its number of faces (at least one).
static void share_out(std::vector<SurfaceFaces>& surfaces, size_t goal) {
    size_t held = 0, free = 0;
    for (const SurfaceFaces& s : surfaces) {
        if (s.held)
            held += s.kept.size();
        else
            free += s.count;
    }
    const size_t left = goal > held ? goal - held : 0;
    for (SurfaceFaces& s : surfaces)
        if (!s.held) s.target = std::max<size_t>(1, left * s.count / std::max<size_t>(free, 1));
}

// The model being simplified, and per-vertex scratch that every use leaves
// as it found it: `slot` all UINT32_MAX, `border` all 0.
struct SimplifyWork {
    const std::vector<Vec3>& vertices;
    const std::vector<Triangle>& triangles;
    std::vector<uint8_t> shared; // used by faces of more than one surface
    std::vector<uint32_t> slot;
    std::vector<uint8_t> border;
};

static uint64_t edge_key(uint32_t a, uint32_t b) {
    return uint64_t(std::min(a, b)) << 32 | std::max(a, b);
}

// Splits a surface's faces into the band along its border (faces with a
// corner that other surfaces use too, or on an edge the surface does not have
// exactly twice), kept as they are, and the rest.
static void split_band(SimplifyWork& w, const std::vector<Triangle>& faces,
                       std::vector<Triangle>& band, std::vector<Triangle>& rest) {
    std::unordered_map<uint64_t, uint32_t> edges;
    for (const Triangle& t : faces)
        for (int c = 0; c < 3; c++) edges[edge_key(t.corner[c], t.corner[(c + 1) % 3])]++;
    for (const auto& [key, count] : edges)
        if (count != 2) w.border[key >> 32] = w.border[uint32_t(key)] = 1;
    for (const Triangle& t : faces) {
        bool on_border = false;
        for (uint32_t c : t.corner) on_border |= w.shared[c] || w.border[c];
        (on_border ? band : rest).push_back(t);
    }
    for (const auto& entry : edges)
        w.border[entry.first >> 32] = w.border[uint32_t(entry.first)] = 0;
}

// The edges that run the same way in two faces, or lie in more than two:
// where faces fold over one another, and a model is not closed.
static size_t folded_edges(const std::vector<Triangle>& faces) {
    std::unordered_map<uint64_t, uint32_t> runs, edges;
    size_t folded = 0;
    for (const Triangle& t : faces)
        for (int c = 0; c < 3; c++) {
            const uint32_t a = t.corner[c], b = t.corner[(c + 1) % 3];
            folded += ++runs[uint64_t(a) << 32 | b] == 2;
            folded += ++edges[edge_key(a, b)] == 3;
        }
    return folded;
}

// Removes each pair of faces on the same three corners wound opposite ways:
// a fin enclosing nothing, which the simplifier can leave where it pinched a
// surface together. The faces on either side then meet edge to edge again.
static void drop_fins(std::vector<Triangle>& faces) {
    struct Keyed {
        std::array<uint32_t, 3> corners; // the lowest first, then the others in order
        bool turned;                     // wound the other way from that order
        size_t face;
    };
    std::vector<Keyed> keyed;
    for (size_t i = 0; i < faces.size(); i++) {
        const uint32_t* c = faces[i].corner;
        const int low = c[0] < c[1] ? (c[0] < c[2] ? 0 : 2) : (c[1] < c[2] ? 1 : 2);
        const uint32_t next = c[(low + 1) % 3], last = c[(low + 2) % 3];
        keyed.push_back({{c[low], std::min(next, last), std::max(next, last)}, next > last, i});
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const Keyed& a, const Keyed& b) { return a.corners < b.corners; });
    std::vector<uint8_t> fin(faces.size(), 0);
    for (size_t i = 0; i + 1 < keyed.size(); i++) {
        const bool pair = keyed[i].corners == keyed[i + 1].corners &&
                          keyed[i].turned != keyed[i + 1].turned &&
                          (i + 2 == keyed.size() || keyed[i + 2].corners != keyed[i].corners) &&
                          (i == 0 || keyed[i - 1].corners != keyed[i].corners);
        if (pair) fin[keyed[i].face] = fin[keyed[i + 1].face] = 1;
    }
    size_t kept = 0;
    for (size_t i = 0; i < faces.size(); i++)
        if (!fin[i]) faces[kept++] = faces[i];
    faces.resize(kept);
}

// The surface's rest simplified towards `target` faces, with its border
// locked, after the band.
static void reduce_rest(SimplifyWork& w, const std::vector<Triangle>& band,
                        const std::vector<Triangle>& rest, size_t target,
                        std::vector<Triangle>& out) {
    std::vector<uint32_t> model_vertex, indices;
    std::vector<float> positions;
    for (const Triangle& t : rest)
        for (uint32_t c : t.corner) {
            if (w.slot[c] == UINT32_MAX) {
                w.slot[c] = uint32_t(model_vertex.size());
                model_vertex.push_back(c);
                const Vec3& p = w.vertices[c];
                positions.insert(positions.end(), {p.x, p.y, p.z});
            }
            indices.push_back(w.slot[c]);
        }
    for (uint32_t v : model_vertex) w.slot[v] = UINT32_MAX;
    // Any deformation is allowed: the face count alone decides where it stops.
    std::vector<uint32_t> reduced(indices.size());
    const size_t n = meshopt_simplify(reduced.data(), indices.data(), indices.size(),
                                      positions.data(), model_vertex.size(), 3 * sizeof(float),
                                      target * 3, FLT_MAX, meshopt_SimplifyLockBorder, nullptr);
    out = band;
    for (size_t i = 0; i + 2 < n; i += 3)
        out.push_back(
            {{model_vertex[reduced[i]], model_vertex[reduced[i + 1]], model_vertex[reduced[i + 2]]},
             rest[0].surface});
    drop_fins(out);
}

// Tries at a surface's target, each asking twice the faces of the last.
constexpr int SIMPLIFY_TRIES = 6;

// The edges of the faces that no other of them shares: what the simplifier
// locks, and so about the fewest faces it can leave.
static size_t open_edges(const std::vector<Triangle>& faces) {
    std::unordered_map<uint64_t, uint32_t> edges;
    for (const Triangle& t : faces)
        for (int c = 0; c < 3; c++) edges[edge_key(t.corner[c], t.corner[(c + 1) % 3])]++;
    size_t open = 0;
    for (const auto& entry : edges) open += entry.second == 1;
    return open;
}

// The surface's faces reduced towards s.target. Its border band stays as it
// is and the rest is simplified with the band's inner edge locked, so the
// surfaces on either side of a border never both fold onto the same edges.
// Pressed far below what its locked edges allow, the simplifier can fold a
// surface over itself: a result with more folded edges than the surface had
// is tried again with more faces.
static void simplify_surface(SimplifyWork& w, SurfaceFaces& s) {
    const auto first = w.triangles.begin() + long(s.first);
    s.kept.assign(first, first + long(s.count));
    if (s.target >= s.count) return;
    const size_t folded = folded_edges(s.kept);
    std::vector<Triangle> band, rest, reduced;
    split_band(w, s.kept, band, rest);
    size_t target = std::max(s.target > band.size() ? s.target - band.size() : 1, open_edges(rest));
    for (int tries = 0; tries < SIMPLIFY_TRIES && target < rest.size(); tries++) {
        reduce_rest(w, band, rest, target, reduced);
        if (folded_edges(reduced) <= folded) {
            s.kept.swap(reduced);
            return;
        }
        target *= 2;
    }
}

static size_t vertices_used(const std::vector<SurfaceFaces>& surfaces,
                            std::vector<uint32_t>& slot) {
    size_t used = 0;
    for (const SurfaceFaces& s : surfaces)
        for (const Triangle& t : s.kept)
            for (uint32_t c : t.corner) used += slot[c] == UINT32_MAX ? (slot[c] = 0, 1) : 0;
    std::fill(slot.begin(), slot.end(), UINT32_MAX);
    return used;
}

bool simplify_model(const std::vector<Vec3>& vertices, std::vector<Triangle>& triangles,
                    size_t budget, size_t most, std::string* error) {
    std::vector<SurfaceFaces> surfaces = surface_runs(triangles);
    SimplifyWork work{vertices, triangles, std::vector<uint8_t>(vertices.size(), 0),
                      std::vector<uint32_t>(vertices.size(), UINT32_MAX),
                      std::vector<uint8_t>(vertices.size(), 0)};
    std::vector<uint32_t>& owner = work.slot; // each vertex's first surface, for a moment
    for (const Triangle& t : triangles)
        for (uint32_t c : t.corner) {
            if (owner[c] == UINT32_MAX) owner[c] = t.surface;
            work.shared[c] |= owner[c] != t.surface;
        }
    std::fill(owner.begin(), owner.end(), UINT32_MAX);
    size_t goal = std::min(budget, most), faces = triangles.size(), used = vertices.size();
    for (int round = 0; round < SIMPLIFY_ROUNDS; round++) {
        share_out(surfaces, goal);
        faces = 0;
        bool newly_held = false, all_held = true;
        for (SurfaceFaces& s : surfaces) {
            if (!s.held) {
                simplify_surface(work, s);
                s.held = s.kept.size() > s.target;
                newly_held |= s.held;
            }
            all_held &= s.held;
            faces += s.kept.size();
        }
        used = vertices_used(surfaces, work.slot);
        // Faces that use more vertices than a model holds (apart more than
        // joined) ask for fewer faces in the same proportion.
        if (faces <= goal && used > most)
            goal = std::max<size_t>(1, goal * most / used * 31 / 32);
        else if (faces <= goal || all_held || !newly_held)
            break;
    }
    if (faces > most || used > most) {
        *error = "the model has " + std::to_string(vertices.size()) + " vertices and " +
                 std::to_string(triangles.size()) + " faces; simplified with its surface " +
                 "borders kept it still has " + std::to_string(used) + " and " +
                 std::to_string(faces) + "; the format holds at most " + std::to_string(most) +
                 " of each";
        return false;
    }
    triangles.clear();
    for (const SurfaceFaces& s : surfaces)
        triangles.insert(triangles.end(), s.kept.begin(), s.kept.end());
    return true;
}
