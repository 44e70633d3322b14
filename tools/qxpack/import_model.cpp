// Models from the files the Open Asset Import Library reads (in a child
// process of its own): every triangle of every node (transforms applied),
// corners of equal position welded, each connected piece wound consistently
// and outwards, faces grouped into one surface a material (or an OBJ group
// when there is one material), simplified when over the face budget or the
// format's limits, scaled and placed, and written as a "QX3D" model.
#include "import.h"
#include "model_mesh.h"
#include "simplify_model.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <unordered_map>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

constexpr size_t MODEL_MOST_COUNT = 0xFFFF; // vertices, faces, surfaces: u16 in the format
// Triangles taken from the file before welding: far more than fit, so that a
// model over the limit is still told by its final counts.
constexpr size_t MODEL_MOST_TRIANGLES = size_t(4) << 20;

// The asset library's address space is limited to 4 GiB, except under the
// address sanitizer, whose shadow memory already exceeds any such limit.
#if defined(__SANITIZE_ADDRESS__)
#define VORN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORN_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef VORN_ADDRESS_SANITIZER
#define VORN_ADDRESS_SANITIZER 0
#endif

struct Gathered {
    std::vector<Vec3> vertices;
    std::vector<Triangle> triangles;
    std::vector<std::string> surface_names; // in order of first use
};

// Welding key: the coordinates' bits, with -0 taken as 0.
struct PointKey {
    uint32_t bits[3];
    bool operator==(const PointKey& o) const { return std::memcmp(bits, o.bits, sizeof bits) == 0; }
};
struct PointHash {
    size_t operator()(const PointKey& k) const {
        return (size_t(k.bits[0]) * 73856093u) ^ (size_t(k.bits[1]) * 19349663u) ^
               (size_t(k.bits[2]) * 83492791u);
    }
};

static PointKey point_key(const Vec3& p) {
    PointKey k;
    const float c[3] = {p.x == 0 ? 0.0f : p.x, p.y == 0 ? 0.0f : p.y, p.z == 0 ? 0.0f : p.z};
    std::memcpy(k.bits, c, sizeof k.bits);
    return k;
}

// Surfaces follow materials, or mesh (group) names when the file uses one
// material throughout.
static bool surfaces_by_material(const aiScene* scene) {
    for (unsigned i = 1; i < scene->mNumMeshes; i++)
        if (scene->mMeshes[i]->mMaterialIndex != scene->mMeshes[0]->mMaterialIndex) return true;
    return false;
}

static std::string surface_name(const aiScene* scene, const aiMesh* mesh, bool by_material) {
    if (!by_material) return mesh->mName.C_Str();
    aiString name;
    if (mesh->mMaterialIndex < scene->mNumMaterials &&
        scene->mMaterials[mesh->mMaterialIndex]->Get(AI_MATKEY_NAME, name) == AI_SUCCESS)
        return name.C_Str();
    return "material " + std::to_string(mesh->mMaterialIndex);
}

struct Gatherer {
    const aiScene* scene;
    bool by_material;
    Gathered* out;
    std::unordered_map<PointKey, uint32_t, PointHash> welded;
    std::map<std::string, uint32_t> surfaces;
    std::string error;
};

static bool gather_mesh(Gatherer& g, const aiMesh* mesh, const aiMatrix4x4& to_world) {
    const std::string name = surface_name(g.scene, mesh, g.by_material);
    auto found = g.surfaces.find(name);
    if (found == g.surfaces.end()) {
        found = g.surfaces.emplace(name, uint32_t(g.out->surface_names.size())).first;
        g.out->surface_names.push_back(name);
    }
    std::vector<uint32_t> index(mesh->mNumVertices);
    for (unsigned i = 0; i < mesh->mNumVertices; i++) {
        const aiVector3D p = to_world * mesh->mVertices[i];
        const Vec3 v{p.x, p.y, p.z};
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
            g.error = "a vertex coordinate is not a finite number";
            return false;
        }
        if (g.out->vertices.size() >= MODEL_MOST_TRIANGLES) {
            g.error = "more than " + std::to_string(MODEL_MOST_TRIANGLES) + " vertices";
            return false;
        }
        auto at = g.welded.emplace(point_key(v), uint32_t(g.out->vertices.size()));
        if (at.second) g.out->vertices.push_back(v);
        index[i] = at.first->second;
    }
    for (unsigned f = 0; f < mesh->mNumFaces; f++) {
        const aiFace& face = mesh->mFaces[f];
        if (face.mNumIndices != 3) continue;
        Triangle t{{0, 0, 0}, found->second};
        for (int c = 0; c < 3; c++) {
            if (face.mIndices[c] >= mesh->mNumVertices) {
                g.error = "a face refers to a vertex that does not exist";
                return false;
            }
            t.corner[c] = index[face.mIndices[c]];
        }
        if (t.corner[0] == t.corner[1] || t.corner[1] == t.corner[2] || t.corner[0] == t.corner[2])
            continue;
        if (g.out->triangles.size() >= MODEL_MOST_TRIANGLES) {
            g.error = "more than " + std::to_string(MODEL_MOST_TRIANGLES) + " triangles";
            return false;
        }
        g.out->triangles.push_back(t);
    }
    return true;
}

static bool gather_node(Gatherer& g, const aiNode* node, const aiMatrix4x4& parent, int depth) {
    if (depth > 256) {
        g.error = "the node tree is too deep";
        return false;
    }
    const aiMatrix4x4 to_world = parent * node->mTransformation;
    for (unsigned i = 0; i < node->mNumMeshes; i++) {
        if (node->mMeshes[i] >= g.scene->mNumMeshes) {
            g.error = "a node refers to a mesh that does not exist";
            return false;
        }
        const aiMesh* mesh = g.scene->mMeshes[node->mMeshes[i]];
        if ((mesh->mPrimitiveTypes & aiPrimitiveType_TRIANGLE) && !gather_mesh(g, mesh, to_world))
            return false;
    }
    for (unsigned i = 0; i < node->mNumChildren; i++)
        if (!gather_node(g, node->mChildren[i], to_world, depth + 1)) return false;
    return true;
}

// Removes a second copy of a triangle (the same three corners in any order),
// as double-sided geometry has it.
static void drop_duplicates(std::vector<Triangle>& triangles) {
    std::map<std::array<uint32_t, 3>, bool> seen;
    std::vector<Triangle> kept;
    for (const Triangle& t : triangles) {
        std::array<uint32_t, 3> k = {t.corner[0], t.corner[1], t.corner[2]};
        std::sort(k.begin(), k.end());
        if (seen.emplace(k, true).second) kept.push_back(t);
    }
    triangles.swap(kept);
}

static void flip(Triangle& t) {
    std::swap(t.corner[1], t.corner[2]);
}

// Does triangle t run along the edge a -> b?
static bool runs_along(const Triangle& t, uint32_t a, uint32_t b) {
    for (int c = 0; c < 3; c++)
        if (t.corner[c] == a && t.corner[(c + 1) % 3] == b) return true;
    return false;
}

// Winds every connected piece like its first triangle (neighbours across an
// edge run along it in opposite directions), then turns each piece whose
// signed volume is negative, so that (b - a) x (c - a) points out.
static void orient_outwards(const std::vector<Vec3>& v, std::vector<Triangle>& triangles) {
    std::unordered_map<uint64_t, std::vector<uint32_t>> by_edge;
    auto edge = [](uint32_t a, uint32_t b) {
        return (uint64_t(std::min(a, b)) << 32) | std::max(a, b);
    };
    for (uint32_t i = 0; i < triangles.size(); i++)
        for (int c = 0; c < 3; c++)
            by_edge[edge(triangles[i].corner[c], triangles[i].corner[(c + 1) % 3])].push_back(i);

    std::vector<int32_t> piece(triangles.size(), -1);
    std::vector<uint32_t> queue;
    int32_t pieces = 0;
    for (uint32_t start = 0; start < triangles.size(); start++) {
        if (piece[start] >= 0) continue;
        queue.assign(1, start);
        piece[start] = pieces;
        for (size_t q = 0; q < queue.size(); q++) {
            const Triangle& t = triangles[queue[q]];
            for (int c = 0; c < 3; c++) {
                const uint32_t a = t.corner[c], b = t.corner[(c + 1) % 3];
                for (uint32_t n : by_edge[edge(a, b)]) {
                    if (piece[n] >= 0) continue;
                    if (runs_along(triangles[n], a, b)) flip(triangles[n]);
                    piece[n] = pieces;
                    queue.push_back(n);
                }
            }
        }
        // Six times the signed volume, about the piece's mean corner.
        double mean[3] = {0, 0, 0};
        for (uint32_t i : queue)
            for (uint32_t k : triangles[i].corner) {
                mean[0] += v[k].x, mean[1] += v[k].y, mean[2] += v[k].z;
            }
        for (double& m : mean) m /= 3.0 * queue.size();
        double volume = 0;
        for (uint32_t i : queue) {
            double p[3][3];
            for (int c = 0; c < 3; c++) {
                const Vec3& q = v[triangles[i].corner[c]];
                p[c][0] = q.x - mean[0], p[c][1] = q.y - mean[1], p[c][2] = q.z - mean[2];
            }
            volume += p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) -
                      p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
                      p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
        }
        if (volume < 0)
            for (uint32_t i : queue) flip(triangles[i]);
        pieces++;
    }
}

// The offset that --centre adds: the box centre to the origin, or for a model
// that stands on the origin, its lowest z to 0 and the box centre in x and y.
static Vec3 centring_offset(const std::vector<Vec3>& v, bool stands) {
    Vec3 lo = v[0], hi = v[0];
    for (const Vec3& p : v) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    auto middle = [](float a, float b) { return float(-(double(a) + b) / 2); };
    return {middle(lo.x, hi.x), middle(lo.y, hi.y), stands ? -lo.z : middle(lo.z, hi.z)};
}

// Keeps only the vertices that faces use, in order of first use.
static void drop_unused_vertices(std::vector<Vec3>& vertices, std::vector<Triangle>& triangles) {
    std::vector<uint32_t> renumber(vertices.size(), UINT32_MAX);
    std::vector<Vec3> used;
    for (Triangle& t : triangles)
        for (uint32_t& c : t.corner) {
            if (renumber[c] == UINT32_MAX) {
                renumber[c] = uint32_t(used.size());
                used.push_back(vertices[c]);
            }
            c = renumber[c];
        }
    vertices.swap(used);
}

// Places, scales and checks the gathered model, simplified when it has more
// faces than the options allow or more than the format holds, then encodes it.
static bool build_model(Gathered& g, const ItemShape& shape, const ModelOptions& options,
                        Buffer* out, ModelSummary* summary, std::string* error) {
    drop_duplicates(g.triangles);
    if (g.triangles.empty()) {
        *error = "the model has no triangles";
        return false;
    }
    std::vector<Vec3>& used = g.vertices;
    drop_unused_vertices(used, g.triangles);
    std::stable_sort(g.triangles.begin(), g.triangles.end(),
                     [](const Triangle& a, const Triangle& b) { return a.surface < b.surface; });
    orient_outwards(used, g.triangles);
    summary->faces_read = g.triangles.size();
    // Within the format's limits after this (or an error).
    const size_t budget =
        options.faces > 0 ? std::min(options.faces, MODEL_MOST_COUNT) : MODEL_MOST_COUNT;
    if (g.triangles.size() > budget || used.size() > MODEL_MOST_COUNT) {
        if (!simplify_model(used, g.triangles, budget, MODEL_MOST_COUNT, error)) return false;
        drop_unused_vertices(used, g.triangles);
        orient_outwards(used, g.triangles);
    }

    const Vec3 shift =
        options.centre ? centring_offset(used, shape.stands_on_origin) : Vec3{0, 0, 0};
    double reach = 0;
    for (Vec3& p : used) {
        p = {float(double(p.x) + shift.x), float(double(p.y) + shift.y),
             float(double(p.z) + shift.z)};
        reach =
            std::max(reach, std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z));
    }
    const double radius = options.radius < 0 ? shape.radius : options.radius;
    if (radius > 0) {
        if (!(reach > 0)) {
            *error = "every vertex lies on the origin; the model cannot be scaled";
            return false;
        }
        const double scale = radius / reach;
        for (Vec3& p : used) p = {float(p.x * scale), float(p.y * scale), float(p.z * scale)};
        reach = radius;
    }

    ModelMesh mesh;
    mesh.vertices = used;
    size_t face = 0;
    for (uint32_t s = 0; s < g.surface_names.size(); s++) {
        if (face == g.triangles.size() || g.triangles[face].surface != s) continue;
        model_begin_surface(mesh, g.surface_names[s].c_str(), 16, 0, 0, 0, 0, 0, 0);
        for (; face < g.triangles.size() && g.triangles[face].surface == s; face++) {
            const Triangle& t = g.triangles[face];
            model_add_face(mesh, t.corner[0], t.corner[1], t.corner[2]);
        }
        model_end_surface(mesh);
    }
    *out = model_encode(mesh);
    if (out->empty()) {
        *error = "the model does not fit the model format";
        return false;
    }
    summary->vertices = mesh.vertices.size();
    summary->faces = mesh.faces.size();
    summary->radius = reach;
    for (const ModelSurface& s : mesh.surfaces) summary->surfaces.push_back(s.name);
    return true;
}

static const unsigned IMPORT_STEPS =
    aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_ValidateDataStructure;

// The asset library believes a PLY header's element counts and reads on for
// as long as they say; counts beyond what the file (of `total` bytes, of which
// `data` is the start) can hold are refused before it starts: every element
// takes at least one byte.
static bool ply_header_sane(const uint8_t* data, size_t size, uint64_t total, std::string* error) {
    if (size < 4 || std::memcmp(data, "ply", 3) != 0) return true;
    const std::string header(reinterpret_cast<const char*>(data), std::min<size_t>(size, 65536));
    size_t at = 0;
    uint64_t elements = 0;
    while (at < header.size()) {
        size_t end = header.find('\n', at);
        if (end == std::string::npos) end = header.size();
        const std::string line = header.substr(at, end - at);
        at = end + 1;
        if (line.rfind("end_header", 0) == 0) break;
        char kind[64];
        unsigned long long count = 0;
        if (line.rfind("element", 0) != 0) continue;
        if (std::sscanf(line.c_str(), "element %63s %llu", kind, &count) != 2) {
            *error = "PLY header line '" + line.substr(0, 60) + "' is malformed";
            return false;
        }
        elements += count;
        if (count > MODEL_MOST_TRIANGLES || elements > total) {
            *error = "the PLY header declares " + std::to_string(count) + " " + kind +
                     " elements, more than the file can hold";
            return false;
        }
    }
    return true;
}

// Reads the file with the asset library and gathers its triangles.
static bool gather_file(const std::string& path, Gathered* out, std::string* error) {
    try {
        uint8_t head[65536];
        size_t got = 0;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            got = std::fread(head, 1, sizeof head, f);
            std::fclose(f);
        }
        std::error_code ec;
        const uint64_t total = std::filesystem::file_size(path, ec);
        if (!ply_header_sane(head, got, ec ? got : total, error)) return false;
        Assimp::Importer importer;
        importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE,
                                    aiPrimitiveType_POINT | aiPrimitiveType_LINE);
        const aiScene* scene = importer.ReadFile(path, IMPORT_STEPS);
        if (!scene) {
            const char* why = importer.GetErrorString();
            *error =
                std::string("cannot read the model: ") + (why && *why ? why : "unknown format");
            return false;
        }
        if (!scene->mRootNode) {
            *error = "the model has no triangles";
            return false;
        }
        Gatherer g{scene, surfaces_by_material(scene), out, {}, {}, {}};
        if (!gather_node(g, scene->mRootNode, aiMatrix4x4(), 0)) {
            *error = g.error;
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
    } catch (const std::exception& e) {
        *error = std::string("cannot read the model: ") + e.what();
    }
    return false;
}

// What the reading process sends back: a u8 success flag, then the error text,
// or the vertices, the triangles and the surface names, each after its count.
static void put_bytes(Buffer& b, const void* p, size_t n) {
    const uint8_t* bytes = static_cast<const uint8_t*>(p);
    b.insert(b.end(), bytes, bytes + n);
}

static void put_text(Buffer& b, const std::string& text) {
    const uint32_t n = uint32_t(text.size());
    put_bytes(b, &n, 4);
    put_bytes(b, text.data(), n);
}

static Buffer encode_gathered(bool ok, const Gathered& g, const std::string& error) {
    Buffer b(1, ok);
    if (!ok) {
        put_text(b, error);
        return b;
    }
    const uint32_t counts[3] = {uint32_t(g.vertices.size()), uint32_t(g.triangles.size()),
                                uint32_t(g.surface_names.size())};
    put_bytes(b, counts, sizeof counts);
    put_bytes(b, g.vertices.data(), g.vertices.size() * sizeof(Vec3));
    put_bytes(b, g.triangles.data(), g.triangles.size() * sizeof(Triangle));
    for (const std::string& name : g.surface_names) put_text(b, name);
    return b;
}

struct MessageReader {
    const Buffer& b;
    size_t at = 0;
    bool get(void* p, size_t n) {
        if (n == 0) return true; // an empty array may have no storage at all
        if (n > b.size() - at) return false;
        std::memcpy(p, b.data() + at, n);
        at += n;
        return true;
    }
    bool text(std::string* s) {
        uint32_t n = 0;
        if (!get(&n, 4) || n > b.size() - at) return false;
        s->assign(reinterpret_cast<const char*>(b.data() + at), n);
        at += n;
        return true;
    }
};

static bool decode_gathered(const Buffer& b, Gathered* g, std::string* error) {
    MessageReader r{b};
    uint8_t ok = 0;
    uint32_t counts[3] = {0, 0, 0};
    bool whole = r.get(&ok, 1);
    if (whole && !ok) {
        if (!r.text(error) || error->empty()) *error = "the model reader failed";
        return false;
    }
    // Every surface name takes at least its 4-byte length.
    whole = whole && r.get(counts, sizeof counts) &&
            uint64_t(counts[0]) * sizeof(Vec3) + uint64_t(counts[1]) * sizeof(Triangle) +
                    uint64_t(counts[2]) * 4 <=
                b.size() - r.at;
    if (whole) {
        g->vertices.resize(counts[0]);
        g->triangles.resize(counts[1]);
        g->surface_names.resize(counts[2]);
        whole = r.get(g->vertices.data(), counts[0] * sizeof(Vec3)) &&
                r.get(g->triangles.data(), counts[1] * sizeof(Triangle));
        for (std::string& name : g->surface_names) whole = whole && r.text(&name);
    }
    // As the reader sends them: corners inside the vertices and apart, every
    // coordinate a finite number.
    for (const Triangle& t : g->triangles) {
        for (uint32_t c : t.corner) whole = whole && c < counts[0] && t.surface < counts[2];
        whole = whole && t.corner[0] != t.corner[1] && t.corner[1] != t.corner[2] &&
                t.corner[0] != t.corner[2];
    }
    for (const Vec3& v : g->vertices)
        whole = whole && std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
    if (!whole) *error = "the model reader failed";
    return whole;
}

// The asset library runs in a child process, so that a file that crashes it
// or sends it into an endless loop is reported rather than fatal.
static bool gather_isolated(const std::string& path, unsigned seconds, Gathered* out,
                            std::string* error) {
    int fds[2];
    if (pipe(fds) != 0) {
        *error = std::string("cannot start the model reader: ") + std::strerror(errno);
        return false;
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        *error = std::string("cannot start the model reader: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        close(fds[0]);
        // A fault ends the child at once, whatever handlers the parent had.
        for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGXCPU})
            std::signal(sig, SIG_DFL);
        // The library's own complaints are not ours to print.
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) dup2(quiet, 1), dup2(quiet, 2);
        const rlimit cpu = {seconds, seconds + 5};
        setrlimit(RLIMIT_CPU, &cpu);
#if !VORN_ADDRESS_SANITIZER
        const rlim_t most = rlim_t(4) << 30;
        const rlimit memory = {most, most};
        setrlimit(RLIMIT_AS, &memory);
#endif
        Gathered g;
        std::string e;
        const bool ok = gather_file(path, &g, &e);
        const Buffer message = encode_gathered(ok, g, e);
        for (size_t done = 0; done < message.size();) {
            const ssize_t n = write(fds[1], message.data() + done, message.size() - done);
            if (n <= 0) _exit(1);
            done += size_t(n);
        }
        _exit(0);
    }
    close(fds[1]);
    Buffer message;
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n > 0) message.insert(message.end(), chunk, chunk + n);
        if (n == 0 || (n < 0 && errno != EINTR)) break;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        *error =
            sig == SIGXCPU
                ? "reading the model took more than " + std::to_string(seconds) + " s"
                : std::string("the asset library failed on this file (") + strsignal(sig) + ")";
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = "the model reader failed";
        return false;
    }
    return decode_gathered(message, out, error);
}

bool import_model_message(const uint8_t* data, size_t size, const ItemShape& shape,
                          const ModelOptions& options, Buffer* out, ModelSummary* summary,
                          std::string* error) {
    try {
        Gathered gathered;
        if (!decode_gathered(Buffer(data, data + size), &gathered, error)) return false;
        return build_model(gathered, shape, options, out, summary, error);
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
    }
    return false;
}

bool import_model_file(const std::string& path, const ItemShape& shape, const ModelOptions& options,
                       Buffer* out, ModelSummary* summary, std::string* error) {
    try {
        Gathered gathered;
        if (!gather_isolated(path, options.read_seconds, &gathered, error)) return false;
        return build_model(gathered, shape, options, out, summary, error);
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
    }
    return false;
}
