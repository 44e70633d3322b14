// qxpack import FILE NAME: the item NAME made from FILE, written as a loose
// file NAME in the current directory or into a pack (--into PACK). Outputs are
// written to a temporary file beside the target and renamed over it, so a
// failed import leaves nothing behind.
#include "import.h"

#include "data/files.h"
#include "data/items.h"
#include "lz_encode.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

// The largest input file read into memory.
constexpr size_t IMPORT_MOST_INPUT = size_t(256) << 20;

// What the show's table of items says the named item must be.
bool item_shape(const std::string& name, ItemShape* shape) {
    const ShowItem* item = find_item(name.c_str());
    if (!item) return false;
    switch (item->kind) {
    case ITEM_PICTURE:
    case ITEM_TEXTURE:
        *shape = {KIND_RGB, item->width, item->height, 0, 0, false, false};
        return true;
    case ITEM_MASK:
    case ITEM_MAP:
        *shape = {KIND_BYTES, item->width, item->height, 0, 0, false, item->kind == ITEM_MASK};
        return true;
    case ITEM_MODEL:
        *shape = {KIND_MODEL, 0, 0, item->size, item->surfaces, item->stands_on_origin, false};
        return true;
    case ITEM_MODULE:
        return false;
    }
    return false;
}

static const char* canonical_name(const std::string& name) {
    const ShowItem* item = find_item(name.c_str());
    return item ? item->name : nullptr;
}

const char* morph_partner(const char* name) {
    static const char* const pairs[][2] = {{"kocka1.m3d", "kocka2.m3d"},
                                           {"o_pod1.m3d", "o_pod2.m3d"}};
    for (const auto& p : pairs)
        for (int i = 0; i < 2; i++)
            if (std::strcmp(name, p[i]) == 0) return p[1 - i];
    return nullptr;
}

// The faces a model item keeps unless --faces says otherwise: about one for
// every two pixels it covers where its scene shows it (the contact sheet's
// views), so that a front face still covers a few pixels at 320 x 200. The
// morph pairs keep what the format holds: simplified apart, the two shapes
// would lose their common vertex layout.
static size_t default_face_budget(const char* name) {
    static const std::pair<const char*, size_t> budgets[] = {
        {"brain.m3d", 5000},   {"vkocka1.m3d", 4500}, {"vkocka2.m3d", 3000},
        {"vkocka3.m3d", 1500}, {"istu2.m3d", 4500},
    };
    for (const auto& [item, faces] : budgets)
        if (std::strcmp(name, item) == 0) return faces;
    return 0;
}

static bool read_input(const std::string& path, Buffer* out, std::string* error);

// The vertex count of the model `name` as a loose file, or in the pack at
// `into`; -1 when there is none.
static long model_vertices_at(const char* name, const std::string& into) {
    Buffer file, model;
    std::string ignored;
    if (!read_input(into.empty() ? name : into, &file, &ignored)) return -1;
    if (into.empty()) {
        model.swap(file);
    } else {
        const std::optional<PackDirEntry> e = pack_find(file.data(), file.size(), name);
        if (!e) return -1;
        const uint8_t* data = file.data() + e->offset;
        if (!is_packed_block(data, e->stored_size)) {
            model.assign(data, data + e->stored_size);
        } else if (std::optional<Buffer> decoded = unpack_block(data, e->stored_size)) {
            model.swap(*decoded);
        }
    }
    if (model.size() < 34 || std::memcmp(model.data(), "QX3D", 4) != 0) return -1;
    return model[26] | model[27] << 8;
}

static bool read_input(const std::string& path, Buffer* out, std::string* error) {
    error->clear();
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        *error = "no such file";
        return false;
    }
    return read_regular_file(path, IMPORT_MOST_INPUT, out, error);
}

// Writes bytes to path by way of a temporary file beside it.
static bool write_replacing(const std::string& path, const Buffer& data, std::string* error) {
    std::string why;
    if (write_file_atomically(path, data.data(), data.size(), &why)) return true;
    *error = "cannot write " + path + ": " + why;
    return false;
}

static void put_u32(Buffer& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++) out[at + i] = uint8_t(value >> (8 * i));
}

// The pack at path with the entry `name` added or replaced by data (LZ-packed
// when that is smaller, or when the contents begin with the block magic).
// Every other entry keeps its stored bytes. A pack that already holds the
// most entries a pack may have gets no new one.
static bool pack_with_entry(const std::string& path, const char* name, const Buffer& data,
                            Buffer* out, std::string* error) {
    Buffer old;
    std::error_code ec;
    if (fs::exists(path, ec)) {
        // A file that is no pack is refused by its header, the rest unread.
        uint64_t length = 0;
        std::string problem;
        if (read_file_head(path, PACK_HEADER_SIZE, PACK_BYTES_MAX, &old, &length, error) &&
            length > 0)
            problem = pack_header_problem(old.data(), old.size(), length);
        if (!problem.empty()) {
            *error = "pack " + path + " is corrupt: " + problem;
            return false;
        }
        if (!read_input(path, &old, error)) {
            *error = "pack " + path + ": " + *error;
            return false;
        }
    }
    std::vector<PackDirEntry> dir;
    if (!old.empty()) {
        const std::string problem = pack_problem(old.data(), old.size());
        if (!problem.empty()) {
            *error = "pack " + path + " is corrupt: " + problem;
            return false;
        }
        dir = pack_directory(old.data(), old.size());
        for (const PackDirEntry& e : dir)
            if (!pack_entry_in_bounds(e, old.size())) {
                *error = "pack " + path + " is damaged: entry " + printable_name(e.name) +
                         " lies outside it";
                return false;
            }
    }
    Buffer stored = data;
    const Buffer packed = lz_pack_block(data.data(), data.size());
    if (packed.size() < data.size() || is_packed_block(data.data(), data.size())) stored = packed;

    // The first entry of that name is replaced in place; a new one goes last.
    std::vector<const uint8_t*> bodies;
    std::vector<PackDirEntry> kept;
    bool replaced = false;
    for (const PackDirEntry& e : dir) {
        kept.push_back(e);
        bodies.push_back(old.data() + e.offset);
        if (!replaced && pack_names_equal(e.name, name)) {
            replaced = true;
            bodies.back() = nullptr;
        }
    }
    if (!replaced) {
        PackDirEntry e{};
        std::snprintf(e.name, sizeof e.name, "%s", name);
        kept.push_back(e);
        bodies.push_back(nullptr);
    }
    if (kept.size() > PACK_ENTRIES_MAX) {
        *error = "pack " + path + " already holds the " + std::to_string(PACK_ENTRIES_MAX) +
                 " entries a pack may hold";
        return false;
    }
    out->assign(PACK_HEADER_SIZE + kept.size() * PACK_DIR_ENTRY_SIZE, 0);
    std::memcpy(out->data(), PACK_TAG, sizeof PACK_TAG);
    put_u32(*out, 8, uint32_t(kept.size()));
    for (size_t i = 0; i < kept.size(); i++) {
        const uint8_t* body = bodies[i] ? bodies[i] : stored.data();
        const size_t size = bodies[i] ? kept[i].stored_size : stored.size();
        if (out->size() + size > UINT32_MAX) {
            *error = "pack " + path + " would exceed 4 GiB";
            return false;
        }
        const size_t record = PACK_HEADER_SIZE + i * PACK_DIR_ENTRY_SIZE;
        if (bodies[i]) {
            std::memcpy(&(*out)[record], &old[PACK_HEADER_SIZE + i * PACK_DIR_ENTRY_SIZE], 16);
        } else {
            std::memset(&(*out)[record], 0, 16);
            std::memcpy(&(*out)[record], name, std::strlen(name));
        }
        put_u32(*out, record + 16, uint32_t(size));
        put_u32(*out, record + 20, uint32_t(out->size()));
        out->insert(out->end(), body, body + size);
    }
    return true;
}

static int usage() {
    std::fprintf(stderr, "usage: qxpack import FILE NAME [--alpha] [--fit|--fit=crop|--fit=pad] "
                         "[--radius R] [--centre] [--faces N] [--into PACK]\n");
    return 2;
}

struct ImportArgs {
    std::string file, name, into;
    bool alpha = false, centre = false, picture_option = false, model_option = false;
    FitMode fit = FIT_NONE;
    float radius = -1.0f;
    long faces = -1; // below 0: the item's budget
};

static bool parse_args(int argc, char** argv, ImportArgs* a) {
    std::vector<std::string> plain;
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--alpha") {
            a->alpha = a->picture_option = true;
        } else if (arg == "--fit" || arg == "--fit=crop" || arg == "--fit=pad") {
            a->fit = arg == "--fit" ? FIT_SCALE : arg == "--fit=crop" ? FIT_CROP : FIT_PAD;
            a->picture_option = true;
        } else if (arg == "--centre" || arg == "--center") {
            a->centre = a->model_option = true;
        } else if ((arg == "--radius" || arg == "--into" || arg == "--faces") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--into") {
                a->into = value;
                continue;
            }
            char* end = nullptr;
            a->model_option = true;
            if (arg == "--faces") {
                a->faces = std::strtol(value.c_str(), &end, 10);
                if (value.empty() || value[0] == '-' || *end || a->faces < 0) return false;
                continue;
            }
            const double r = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end || !(r >= 0) || r > 1e9) return false;
            a->radius = float(r);
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return false;
        } else {
            plain.push_back(arg);
        }
    }
    if (plain.size() != 2) return false;
    a->file = plain[0];
    a->name = plain[1];
    return true;
}

static int fail(const std::string& file, const std::string& message) {
    std::fprintf(stderr, "qxpack: %s: %s\n", file.c_str(), message.c_str());
    return 1;
}

int import_command(int argc, char** argv) {
    ImportArgs a;
    if (!parse_args(argc, argv, &a)) return usage();
    ItemShape shape;
    const char* name = canonical_name(a.name);
    if (!name || !item_shape(name, &shape))
        return fail(a.file, "'" + a.name + "' is not an item of the show");
    const bool is_model = shape.kind == KIND_MODEL;
    if (is_model && a.picture_option) return fail(a.file, "--alpha and --fit are for pictures");
    if (!is_model && a.model_option)
        return fail(a.file, "--radius, --centre and --faces are for models");

    Buffer item;
    std::string error, summary;
    ModelSummary model;
    size_t options_faces = 0;
    if (is_model) {
        ModelOptions options;
        options.radius = a.radius;
        options.centre = a.centre;
        options.faces = a.faces >= 0 ? size_t(a.faces) : default_face_budget(name);
        options_faces = options.faces;
        std::error_code ec;
        if (!fs::is_regular_file(a.file, ec))
            return fail(a.file, fs::exists(a.file, ec) ? "not a regular file" : "no such file");
        if (!import_model_file(a.file, shape, options, &item, &model, &error))
            return fail(a.file, error);
        char text[128];
        if (model.faces < model.faces_read)
            std::snprintf(text, sizeof text,
                          "%zu vertices, %zu faces simplified to %zu, radius %.6g, surfaces",
                          model.vertices, model.faces_read, model.faces, model.radius);
        else
            std::snprintf(text, sizeof text, "%zu vertices, %zu faces, radius %.6g, surfaces",
                          model.vertices, model.faces, model.radius);
        summary = text;
        for (size_t s = 0; s < model.surfaces.size(); s++)
            summary += (s ? ", " : " ") + std::to_string(s) + " '" + model.surfaces[s] + "'";
    } else {
        Buffer input;
        if (!read_input(a.file, &input, &error)) return fail(a.file, error);
        if (!import_png(input.data(), input.size(), shape, a.fit, a.alpha, &item, &error))
            return fail(a.file, error);
        summary = std::to_string(shape.width) + " x " + std::to_string(shape.height) +
                  (shape.kind == KIND_RGB ? " RGB"
                   : a.alpha              ? " from alpha"
                                          : " grey");
    }

    if (a.into.empty()) {
        if (!write_replacing(name, item, &error)) return fail(a.file, error);
    } else {
        Buffer pack;
        if (!pack_with_entry(a.into, name, item, &pack, &error) ||
            !write_replacing(a.into, pack, &error))
            return fail(a.file, error);
    }
    std::printf("%s: %s%s%s\n", name, summary.c_str(), a.into.empty() ? "" : ", into ",
                a.into.c_str());
    if (is_model && options_faces > 0 && model.faces > options_faces)
        std::fprintf(stderr,
                     "qxpack: %s: warning: %zu faces kept, over the budget of %zu: the faces "
                     "along the surfaces' borders stay\n",
                     a.file.c_str(), model.faces, options_faces);
    if (is_model && model.surfaces.size() < size_t(shape.surfaces))
        std::fprintf(stderr, "qxpack: %s: warning: the scene maps %d surfaces, the model has %zu\n",
                     a.file.c_str(), shape.surfaces, model.surfaces.size());
    const char* partner = is_model ? morph_partner(name) : nullptr;
    const long partner_count = partner ? model_vertices_at(partner, a.into) : -1;
    if (partner_count >= 0 && size_t(partner_count) != model.vertices)
        std::fprintf(stderr,
                     "qxpack: %s: warning: %s has %zu vertices, %s %ld; the morph between them "
                     "needs one vertex layout\n",
                     a.file.c_str(), name, model.vertices, partner, partner_count);
    return 0;
}
