// qxpack check: every item of the show looked up in a content folder or a
// pack as the program would find it (loose file, pack, built-in data), its
// size and kind checked, models run through the model reader, the morph
// pairs' vertex layouts compared and the module judged against the show's
// script. One line an item, then a line for each shortfall; the status is 1
// when anything found would make the show draw less than it should.
#include "check.h"

#include "content.h"

#include "data/builtin.h"
#include "data/files.h"
#include "data/items.h"
#include "data/pack.h"
#include "director/show_parts.h"
#include "engine3d/model.h"
#include "import.h"
#include "platform/module_facts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Found {
    std::string where; // empty: not found
    Buffer data;
    bool corrupt = false;
};

// Whether an item was found with bytes to judge.
bool readable(const Found& f) {
    return !f.where.empty() && !f.corrupt;
}

// What other formats an item's bytes may really be, by their opening bytes.
const char* foreign_format(const Buffer& data) {
    const auto starts = [&](const char* magic, size_t n) {
        return data.size() >= n && std::memcmp(data.data(), magic, n) == 0;
    };
    if (starts("\x89PNG", 4)) return "a PNG file";
    if (starts("\xFF\xD8\xFF", 3)) return "a JPEG file";
    if (starts("GIF8", 4)) return "a GIF file";
    if (starts("QX3D", 4)) return "a model";
    if (starts("Extended Module: ", 17)) return "a module";
    return nullptr;
}

Found find_in_pack(Blob pack, const std::string& pack_name, const char* name) {
    Found f;
    for (const PackDirEntry& e : pack_directory(pack.data, pack.size)) {
        if (!pack_names_equal(e.name, name)) continue;
        f.where = pack_name;
        if (!pack_entry_in_bounds(e, pack.size)) {
            f.corrupt = true;
        } else if (is_packed_block(pack.data + e.offset, e.stored_size)) {
            std::optional<Buffer> decoded = unpack_block(pack.data + e.offset, e.stored_size);
            if (decoded)
                f.data = std::move(*decoded);
            else
                f.corrupt = true;
        } else {
            f.data.assign(pack.data + e.offset, pack.data + e.offset + e.stored_size);
        }
        break;
    }
    return f;
}

Blob blob_of(const Buffer& b) {
    return {b.data(), b.size()};
}

// A regular file of at most `most` bytes, as the program reads it; none
// otherwise.
std::optional<Buffer> read_file(const fs::path& path, size_t most = PACK_ITEM_LIMIT) {
    Buffer data;
    std::string error;
    if (!read_regular_file(path.string(), most, &data, &error)) return {};
    return data;
}

// As the program looks from inside the folder: a loose file (an empty one
// gives way), then the folder's demo.qxd.
Found find_in_folder(const fs::path& folder, const Buffer& pack, const char* name) {
    std::optional<Buffer> loose = read_file(folder / name);
    if (loose && !loose->empty()) return {"loose file", std::move(*loose), false};
    return find_in_pack(blob_of(pack), PACK_FILE_NAME, name);
}

// A content folder (its loose files and its demo.qxd) or a pack.
struct Content {
    std::string path;
    bool folder = false;
    Buffer pack; // empty for a folder without demo.qxd
    std::string pack_name;
};

// False, with the line said, when path is neither a folder nor a readable
// file, or its pack is corrupt as a whole (as qxpack list finds it).
bool open_content(const std::string& path, Content* c) {
    std::error_code ec;
    c->path = path;
    c->folder = fs::is_directory(path, ec);
    const fs::path pack_path = c->folder ? fs::path(path) / PACK_FILE_NAME : fs::path(path);
    c->pack_name = pack_path.filename().string();
    // Judged by its header before the rest is read.
    Buffer head;
    uint64_t length = 0;
    std::string error;
    if (!read_file_head(pack_path.string(), PACK_HEADER_SIZE, PACK_BYTES_MAX, &head, &length,
                        &error)) {
        if (c->folder) return true;
        std::fprintf(stderr, "qxpack: cannot read %s\n", path.c_str());
        return false;
    }
    std::string problem = pack_header_problem(head.data(), head.size(), length);
    std::optional<Buffer> pack;
    if (problem.empty()) pack = read_file(pack_path, PACK_BYTES_MAX);
    if (problem.empty() && !pack) problem = "it cannot be read";
    if (problem.empty()) problem = pack_problem(pack->data(), pack->size());
    if (!problem.empty()) {
        std::fprintf(stderr, "qxpack: corrupt pack %s: %s\n", pack_path.c_str(), problem.c_str());
        return false;
    }
    c->pack = std::move(*pack);
    return true;
}

const char* const BUILTIN = "built-in data";

// The module is read from a loose file only, never from a pack; what is found
// nowhere comes from the built-in data, as in the program.
Found find_item_in(const Content& c, const ShowItem& item) {
    Found f;
    if (item.kind != ITEM_MODULE)
        f = c.folder ? find_in_folder(c.path, c.pack, item.name)
                     : find_in_pack(blob_of(c.pack), c.pack_name, item.name);
    else if (c.folder)
        f = find_in_folder(c.path, {}, item.name);
    if (!f.where.empty()) return f;
    if (item.kind != ITEM_MODULE) return find_in_pack(builtin_pack(), BUILTIN, item.name);
    const Blob module = builtin_module();
    if (module.data) f = {BUILTIN, Buffer(module.data, module.data + module.size), false};
    return f;
}

// What is wrong with an item, or an empty string. Only a qxpack without the
// built-in data finds an item nowhere.
std::string verdict(const ShowItem& item, const Found& f) {
    if (f.where.empty()) return "missing: found nowhere, and this qxpack carries no built-in data";
    if (f.corrupt) return "corrupt: cannot be read";
    const char* other = foreign_format(f.data);
    const size_t want = item_bytes(item);
    switch (item.kind) {
    case ITEM_MODEL: {
        Mesh mesh;
        model_set_entry(f.data.data(), f.data.size());
        if (!model_parse(&mesh, 1.0f))
            return other && std::strcmp(other, "a model") != 0
                       ? std::string("not a model: ") + other
                       : "rejected by the model reader";
        const int surfaces = mesh.surface_count;
        const bool finite = std::all_of(mesh.vertices.begin(), mesh.vertices.end(), [](Vec3 v) {
            return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
        });
        mesh_free(&mesh);
        if (!finite) return "a vertex coordinate is not a finite number";
        if (surfaces < item.surfaces)
            return "has " + std::to_string(surfaces) + " surfaces, its scene maps " +
                   std::to_string(item.surfaces);
        return "";
    }
    case ITEM_MODULE: {
        ModuleFacts facts;
        std::string error;
        if (read_module_facts(f.data.data(), f.data.size(), &facts, &error)) return "";
        return std::string("not a module the player reads") +
               (other ? ": " + std::string(other) : "") + "; the show plays its built-in module";
    }
    default:
        if (other) return std::string("wrong kind: ") + other + "; qxpack import makes the item";
        if (f.data.size() < item_least_bytes(item) || f.data.size() > want)
            return "has " + std::to_string(f.data.size()) + " bytes, expected " +
                   std::to_string(want);
        if (item.kind == ITEM_MASK &&
            std::all_of(f.data.begin(), f.data.end(), [](uint8_t m) { return m == 255; }))
            return "every byte 255: the mask hides its picture everywhere";
        return "";
    }
}

std::string minutes(double seconds) {
    char text[32];
    const long s = std::lround(seconds);
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// "a, b and c", or with a separator of its own ("a; b; c").
std::string name_list(const std::vector<std::string>& names, const char* separator = nullptr) {
    std::string text;
    for (size_t i = 0; i < names.size(); i++)
        text += (i == 0                  ? ""
                 : separator             ? separator
                 : i + 1 == names.size() ? " and "
                                         : ", ") +
                names[i];
    return text;
}

// The orders the show's script runs through and the rows it waits for,
// against what the module holds: one line for each shortfall.
std::vector<std::string> module_shortfalls(const ModuleFacts& m) {
    std::vector<std::string> lines;
    const uint32_t orders = uint32_t(m.rows.size());
    // The song's end stands for the last part's order, so every part before
    // it is reached when the orders before it are there.
    const uint32_t needed = show_parts[PART_END_OF_SHOW].first_order;
    if (orders < needed) {
        const ShowPart last = part_for_order(orders ? orders - 1 : 0);
        std::vector<std::string> missing;
        for (int p = last + 1; p < PART_END_OF_SHOW; p++) missing.push_back(show_parts[p].name);
        lines.push_back("has " + std::to_string(orders) +
                        " orders, the show's script runs to order " + std::to_string(needed - 1) +
                        ": the show ends in the " + show_parts[last].name +
                        " and never reaches: " + name_list(missing, "; "));
    }
    for (const CueRow& cue : show_cues) {
        std::vector<std::string> short_orders;
        uint32_t rows = 0;
        for (uint32_t o = cue.first_order; o <= cue.last_order && o < orders; o++)
            if (m.rows[o] <= cue.row) {
                short_orders.push_back(std::to_string(o));
                rows = m.rows[o];
            }
        if (short_orders.empty()) continue;
        const bool one = short_orders.size() == 1;
        lines.push_back((one ? "order " : "orders ") + name_list(short_orders) +
                        (one ? " has " : " have ") + std::to_string(rows) + " rows: " + cue.what +
                        " comes at row " + std::to_string(cue.row));
    }
    return lines;
}

// The module as the show will play it: its format, orders, length and the
// parts it reaches, then its shortfalls; the count of them. One found nowhere
// (a tool without the built-in data) or unreadable has its verdict already.
int judge_module(const Found& f) {
    ModuleFacts m;
    std::string error;
    if (!readable(f) || !read_module_facts(f.data.data(), f.data.size(), &m, &error)) return 0;
    const uint32_t orders = uint32_t(m.rows.size());
    const int reached = orders ? part_for_order(orders - 1) + 1 : 0;
    std::printf("\nmodule: %s file (.%s), %u orders, %s, from the %s; ", m.format.c_str(),
                m.extension.c_str(), orders, minutes(m.seconds).c_str(), f.where.c_str());
    if (reached >= PART_END_OF_SHOW)
        std::printf("reaches every part of the show\n");
    else
        std::printf("reaches %d of the show's %d parts\n", reached, int(PART_END_OF_SHOW));
    const std::vector<std::string> lines = module_shortfalls(m);
    for (const std::string& line : lines) std::printf("module: %s\n", line.c_str());
    return int(lines.size());
}

// The morph blends each pair vertex by vertex: both need one vertex count.
int judge_morph_pairs(const Content& c) {
    int problems = 0;
    for (const ShowItem& item : show_items) {
        const char* partner = morph_partner(item.name);
        if (!partner || std::strcmp(item.name, partner) > 0) continue;
        const Found a = find_item_in(c, item), b = find_item_in(c, *find_item(partner));
        Mesh ma, mb;
        model_set_entry(a.data.data(), a.data.size());
        const bool read_a = readable(a) && model_parse(&ma, 1.0f);
        model_set_entry(b.data.data(), b.data.size());
        const bool read_b = readable(b) && model_parse(&mb, 1.0f);
        if (read_a && read_b && ma.vertices.size() != mb.vertices.size()) {
            std::printf("morph: %s (%s) has %zu vertices, %s (%s) %zu: the morph between them "
                        "needs one vertex layout\n",
                        item.name, a.where.c_str(), ma.vertices.size(), partner, b.where.c_str(),
                        mb.vertices.size());
            problems++;
        }
        mesh_free(&ma);
        mesh_free(&mb);
    }
    return problems;
}

} // namespace

int check_content(const std::string& path) {
    Content content;
    if (!open_content(path, &content)) return 1;
    int problems = 0;
    Found module;
    std::printf("%-13s %-11s %-12s %8s %8s  %s\n", "item", "kind", "found in", "expected", "found",
                "verdict");
    for (const ShowItem& item : show_items) {
        const Found f = find_item_in(content, item);
        const std::string problem = f.where == BUILTIN ? "" : verdict(item, f);
        const std::string expected = item_bytes(item) ? std::to_string(item_bytes(item)) : "-";
        const std::string found = readable(f) ? std::to_string(f.data.size()) : "-";
        std::printf("%-13s %-11s %-12s %8s %8s  %s\n", item.name, item_kind_name(item.kind),
                    f.where.c_str(), expected.c_str(), found.c_str(),
                    problem.empty() ? "ok" : problem.c_str());
        problems += !problem.empty();
        if (item.kind == ITEM_MODULE) module = f;
    }
    problems += judge_morph_pairs(content);
    problems += judge_module(module);
    if (problems)
        std::fprintf(stderr, "qxpack: %d shortfall%s: the show would not show all it should\n",
                     problems, problems == 1 ? "" : "s");
    return problems ? 1 : 0;
}

int print_items_table() {
    std::printf(
        "| item | kind | size | bytes | orders | what it is |\n|---|---|---|---|---|---|\n");
    for (const ShowItem& item : show_items) {
        std::string size = "-", bytes = "-";
        if (item.width) size = std::to_string(item.width) + " x " + std::to_string(item.height);
        if (item_bytes(item)) bytes = std::to_string(item_bytes(item));
        if (item_least_bytes(item) != item_bytes(item))
            bytes = "at least " + std::to_string(item_least_bytes(item));
        std::string purpose = item.purpose;
        if (item.kind == ITEM_MODEL) {
            char fits[96];
            std::snprintf(fits, sizeof fits, "; %d surface%s; %s about %g", item.surfaces,
                          item.surfaces == 1 ? "" : "s",
                          item.stands_on_origin ? "standing on its origin, height" : "radius",
                          double(item.size));
            purpose += fits;
        }
        std::printf("| `%s` | %s | %s | %s | %s | %s |\n", item.name, item_kind_name(item.kind),
                    size.c_str(), bytes.c_str(), item.orders, purpose.c_str());
    }
    return 0;
}

int sheet_command(const std::string& path, const std::string& png_path) {
    Content content;
    if (!open_content(path, &content)) return 1;
    // The items found, each as a file in a folder of its own for the sheet.
    char name[] = "/tmp/qxpack-sheet-XXXXXX";
    if (!mkdtemp(name)) return std::fprintf(stderr, "qxpack: cannot make a working folder\n"), 1;
    const fs::path work = name;
    bool written = true;
    for (const ShowItem& item : show_items) {
        const Found f = find_item_in(content, item);
        if (!readable(f)) continue;
        std::string error;
        written = written && write_file_atomically((work / item.name).string(), f.data.data(),
                                                   f.data.size(), &error);
    }
    const bool ok = written && write_contact_sheet(work.string(), png_path);
    std::error_code ec;
    fs::remove_all(work, ec);
    if (!ok) return std::fprintf(stderr, "qxpack: cannot write %s\n", png_path.c_str()), 1;
    return 0;
}

std::string item_problem(const std::string& name, const Buffer& data) {
    const ShowItem* item = find_item(name.c_str());
    if (!item) return "";
    Found f;
    f.where = "file";
    f.data = data;
    return verdict(*item, f);
}
