// qxpack: writes, lists, extracts and checks data packs, and makes items.
// `qxpack help` says how; each command's text is in the table below.
#include "check.h"
#include "data/builtin.h"
#include "data/files.h"
#include "data/pack.h"
#include "import.h"
#include "lz_encode.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_set>

namespace fs = std::filesystem;

struct Command {
    const char* name;
    const char* synopsis;
    const char* text;
};

static const Command COMMANDS[] = {
    {"create", "create OUT.qxd [--pack] FILE...",
     "Writes a pack holding the files, each entry named by its file name (1 to 15\n"
     "characters). With --pack an entry is stored LZ-packed where that is smaller.\n"
     "An item of the show with the wrong size or kind is packed with a warning.\n"},
    {"list", "list PACK",
     "One line an entry: name, stored size, unpacked size, packed or plain.\n"
     "Exit status 1 when an entry cannot be read.\n"},
    {"extract", "extract PACK|--builtin NAME [OUT] | extract PACK|--builtin --all DIR",
     "Writes one entry to OUT (standard output without OUT), or every entry into\n"
     "DIR. --builtin reads the content the show carries itself: with --all it\n"
     "writes every built-in item and the module, a maker's starting point.\n"},
    {"check", "check DIR|PACK",
     "Looks up every item of the show as the show does (a loose file in DIR, then\n"
     "DIR/demo.qxd or PACK, then the built-in data) and checks its size and kind;\n"
     "models go through the model reader, the morph pairs must share a vertex\n"
     "count, and the module is judged as the show will play it: its format, its\n"
     "orders and length, the parts of the show it reaches and the rows the show\n"
     "waits for. One line for each shortfall; exit status 1 when there is one.\n"},
    {"sheet", "sheet DIR|PACK OUT.png",
     "Draws every item found as check finds it (the built-in data for the rest)\n"
     "on one contact sheet, the models in their scenes.\n"},
    {"items", "items", "Prints the table of the show's items: names, kinds, sizes, orders.\n"},
    {"import",
     "import FILE NAME [--alpha] [--fit|--fit=crop|--fit=pad] [--radius R] [--centre] "
     "[--faces N] [--into PACK]",
     "Makes the item NAME from FILE: pictures, masks, maps and textures from PNG,\n"
     "models from OBJ, glTF, PLY, STL, 3DS and the other formats the asset library\n"
     "reads. Writes NAME in the current directory, or into PACK with --into.\n"
     "  --fit, --fit=crop, --fit=pad  scale a picture of another size to the item\n"
     "  --alpha                       take a mask or map from the picture's alpha\n"
     "  --radius R                    the model's radius (0: the file's own units)\n"
     "  --centre                      centre the model on its origin\n"
     "  --faces N                     simplify a model to at most N faces (default:\n"
     "                                a budget for the item's size on the screen;\n"
     "                                0: every face the format holds)\n"},
    {"help", "help [COMMAND]", "Says how to use qxpack, or one of its commands.\n"},
};

static const Command* find_command(const std::string& name) {
    for (const Command& c : COMMANDS)
        if (name == c.name) return &c;
    return nullptr;
}

static void print_usage(FILE* out) {
    std::fprintf(out, "usage:\n");
    for (const Command& c : COMMANDS) std::fprintf(out, "  qxpack %s\n", c.synopsis);
    std::fprintf(out, "'qxpack help COMMAND' says more of one.\n");
}

// A wrong command line: one line on stderr, the command's synopsis where
// there is a command, status 2. With no command at all, the whole usage.
static int usage(const char* name = nullptr) {
    const Command* c = name ? find_command(name) : nullptr;
    if (c)
        std::fprintf(stderr, "usage: qxpack %s\n", c->synopsis);
    else if (name)
        std::fprintf(stderr, "qxpack: no command '%s'; 'qxpack help' lists them\n", name);
    else
        print_usage(stderr);
    return 2;
}

// qxpack help [COMMAND], qxpack --help, qxpack COMMAND --help: on standard output.
static int help(const char* name) {
    const Command* c = name ? find_command(name) : nullptr;
    if (name && !c) return usage(name);
    if (!c) {
        std::printf("qxpack: makes, lists, extracts and checks the show's content.\n\n");
        print_usage(stdout);
        return 0;
    }
    std::printf("usage: qxpack %s\n\n%s", c->synopsis, c->text);
    return 0;
}

static bool asks_for_help(const char* arg) {
    return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0;
}

static int fail(const std::string& message) {
    std::fprintf(stderr, "qxpack: %s\n", message.c_str());
    return 1;
}

static bool read_whole_file(const std::string& path, size_t most, Buffer& out) {
    std::string error;
    if (read_regular_file(path, most, &out, &error)) return true;
    std::fprintf(stderr, "qxpack: cannot read %s: %s\n", path.c_str(), error.c_str());
    return false;
}

static bool write_whole_file(const std::string& path, const Buffer& data) {
    std::string error;
    if (write_file_atomically(path, data.data(), data.size(), &error)) return true;
    std::fprintf(stderr, "qxpack: cannot write %s: %s\n", path.c_str(), error.c_str());
    return false;
}

static void put_u32(Buffer& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++) out[at + i] = uint8_t(value >> (8 * i));
}

// The stored form of one entry: packed when asked and smaller, and always
// packed when the contents begin with the block magic (they would be decoded).
static Buffer stored_form(const Buffer& data, bool pack) {
    if (!pack && !is_packed_block(data.data(), data.size())) return data;
    Buffer packed = lz_pack_block(data.data(), data.size());
    if (packed.size() < data.size() || is_packed_block(data.data(), data.size())) return packed;
    return data;
}

static int create_pack(const std::string& out_path, bool pack,
                       const std::vector<std::string>& files) {
    if (files.size() > PACK_ENTRIES_MAX)
        return fail("a pack holds at most " + std::to_string(PACK_ENTRIES_MAX) + " entries");
    Buffer out(PACK_HEADER_SIZE + files.size() * PACK_DIR_ENTRY_SIZE, 0);
    std::memcpy(out.data(), PACK_TAG, sizeof PACK_TAG);
    put_u32(out, 8, uint32_t(files.size()));
    for (size_t i = 0; i < files.size(); i++) {
        const std::string name = fs::path(files[i]).filename().string();
        if (name.empty() || name.size() >= PACK_NAME_SIZE)
            return fail("entry name '" + name + "' must be 1 to 15 characters");
        Buffer data;
        if (!read_whole_file(files[i], PACK_ITEM_LIMIT, data)) return 1;
        const std::string problem = item_problem(name, data);
        if (!problem.empty())
            std::fprintf(stderr, "qxpack: warning: %s: %s\n", files[i].c_str(), problem.c_str());
        const Buffer stored = stored_form(data, pack);
        if (out.size() + stored.size() > UINT32_MAX) return fail("pack would exceed 4 GiB");
        const size_t record = PACK_HEADER_SIZE + i * PACK_DIR_ENTRY_SIZE;
        std::memcpy(&out[record], name.c_str(), name.size());
        put_u32(out, record + 16, uint32_t(stored.size()));
        put_u32(out, record + 20, uint32_t(out.size()));
        out.insert(out.end(), stored.begin(), stored.end());
    }
    return write_whole_file(out_path, out) ? 0 : 1;
}

// Reads a pack whose directory fits the file. A header that claims more
// records than the file holds is a corrupt pack, not an empty one.
// "--builtin" names the pack the show carries.
static const char* const BUILTIN_PACK = "--builtin";

static int load_pack(const std::string& path, Buffer& pack) {
    if (path == BUILTIN_PACK) {
        const Blob builtin = builtin_pack();
        pack.assign(builtin.data, builtin.data + builtin.size);
        return 0;
    }
    // Judged by its header before the rest is read.
    std::string error;
    uint64_t length = 0;
    if (!read_file_head(path, PACK_HEADER_SIZE, PACK_BYTES_MAX, &pack, &length, &error))
        return fail("cannot read " + path + ": " + error);
    const std::string problem = pack_header_problem(pack.data(), pack.size(), length);
    if (!problem.empty()) return fail("corrupt pack " + path + ": " + problem);
    if (!read_whole_file(path, PACK_BYTES_MAX, pack)) return 1;
    const std::string changed = pack_problem(pack.data(), pack.size());
    return changed.empty() ? 0 : fail("corrupt pack " + path + ": " + changed);
}

// The decoded contents of one entry, as the program would read it.
static bool entry_contents(const Buffer& pack, const PackDirEntry& e, Buffer& out) {
    if (!pack_entry_in_bounds(e, pack.size())) return false;
    const uint8_t* data = pack.data() + e.offset;
    if (is_packed_block(data, e.stored_size)) {
        std::optional<Buffer> decoded = unpack_block(data, e.stored_size);
        if (!decoded) return false;
        out = std::move(*decoded);
    } else {
        out.assign(data, data + e.stored_size);
    }
    return true;
}

// The index of the first record of that name (the one the look-up stops at,
// readable or not); the directory's size for none.
static size_t first_record(const std::vector<PackDirEntry>& dir, const char* name) {
    size_t i = 0;
    while (i < dir.size() && !pack_names_equal(dir[i].name, name)) i++;
    return i;
}

static int corrupt(const char* name) {
    return fail("corrupt entry " + printable_name(name));
}

// Every entry, the corrupt ones said and counted: the status is 1 if any.
static int list_pack(const std::string& path) {
    Buffer pack;
    if (load_pack(path, pack)) return 1;
    int status = 0;
    for (const PackDirEntry& e : pack_directory(pack.data(), pack.size())) {
        Buffer contents;
        if (!entry_contents(pack, e, contents)) {
            status = corrupt(e.name);
            continue;
        }
        const bool packed = is_packed_block(pack.data() + e.offset, e.stored_size);
        std::printf("%-15s %10u %10zu %s\n", printable_name(e.name).c_str(), e.stored_size,
                    contents.size(), packed ? "packed" : "plain");
    }
    return status;
}

static int extract_one(const std::string& path, const std::string& name, const char* out_path) {
    Buffer pack;
    if (load_pack(path, pack)) return 1;
    const std::vector<PackDirEntry> dir = pack_directory(pack.data(), pack.size());
    const size_t i = first_record(dir, name.c_str());
    if (i == dir.size()) return fail("no entry '" + printable_name(name.c_str()) + "' in " + path);
    Buffer contents;
    if (!entry_contents(pack, dir[i], contents)) return corrupt(dir[i].name);
    if (!out_path) {
        const bool ok = std::fwrite(contents.data(), 1, contents.size(), stdout) == contents.size();
        return ok && std::fflush(stdout) == 0 ? 0 : fail("cannot write standard output");
    }
    return write_whole_file(out_path, contents) ? 0 : 1;
}

// A name written into DIR stays in DIR and is fit for a file name: not
// empty, no separators or control bytes, not "." or "..".
static bool plain_file_name(const char* name) {
    for (const char* c = name; *c; c++)
        if (uint8_t(*c) < 0x20 || *c == 0x7F) return false;
    return name[0] != 0 && std::strchr(name, '/') == nullptr && std::strcmp(name, ".") != 0 &&
           std::strcmp(name, "..") != 0;
}

// A name with the letters A-Z folded, as the look-up compares names.
static std::string folded_name(const char* name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return key;
}

// Every name once, as the look-up would find it (the first of equal names).
// A corrupt entry or an unsafe name is skipped: the first is said, the rest
// counted in one line at the end, and the status is 1.
static int extract_all(const std::string& path, const std::string& dir_path) {
    Buffer pack;
    if (load_pack(path, pack)) return 1;
    std::error_code ec;
    fs::create_directories(dir_path, ec);
    if (ec) return fail("cannot create " + dir_path);
    const std::vector<PackDirEntry> dir = pack_directory(pack.data(), pack.size());
    std::unordered_set<std::string> seen;
    seen.reserve(dir.size());
    size_t refused = 0;
    const auto refuse = [&](const std::string& why) {
        if (refused++ == 0) fail(why);
    };
    for (const PackDirEntry& e : dir) {
        if (!seen.insert(folded_name(e.name)).second) continue;
        Buffer contents;
        if (!plain_file_name(e.name)) {
            refuse("entry name '" + printable_name(e.name) + "' is no file name in " + dir_path);
            continue;
        }
        if (!entry_contents(pack, e, contents)) {
            refuse("corrupt entry " + printable_name(e.name));
            continue;
        }
        const std::string out = (fs::path(dir_path) / e.name).string();
        if (!write_whole_file(out, contents)) return 1;
        std::printf("%-15s %10zu\n", e.name, contents.size());
    }
    if (refused > 1) fail(std::to_string(refused - 1) + " more entries not written");
    const int status = refused ? 1 : 0;
    // The show carries its module beside its pack.
    const Blob module = builtin_module();
    if (path == BUILTIN_PACK && module.data) {
        const std::string out = (fs::path(dir_path) / "system2.xm").string();
        if (!write_whole_file(out, Buffer(module.data, module.data + module.size))) return 1;
        std::printf("%-15s %10zu\n", "system2.xm", module.size);
    }
    return status;
}

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "help") == 0 || asks_for_help(argv[1])))
        return help(argc >= 3 ? argv[2] : nullptr);
    if (argc >= 3 && asks_for_help(argv[2])) return help(argv[1]);
    if (argc == 2 && std::strcmp(argv[1], "items") == 0) return print_items_table();
    if (argc < 3) return usage(argc == 2 ? argv[1] : nullptr);
    const std::string command = argv[1];
    if (command == "create") {
        bool pack = false;
        std::vector<std::string> files;
        for (int i = 3; i < argc; i++) {
            if (std::strcmp(argv[i], "--pack") == 0)
                pack = true;
            else
                files.push_back(argv[i]);
        }
        return create_pack(argv[2], pack, files);
    }
    if (command == "import") return import_command(argc, argv);
    if (command == "list" && argc == 3) return list_pack(argv[2]);
    if (command == "check" && argc == 3) return check_content(argv[2]);
    if (command == "sheet" && argc == 4) return sheet_command(argv[2], argv[3]);
    if (command == "extract" && argc == 5 && std::strcmp(argv[3], "--all") == 0)
        return extract_all(argv[2], argv[4]);
    if (command == "extract" && (argc == 4 || argc == 5))
        return extract_one(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    return usage(argv[1]);
}
