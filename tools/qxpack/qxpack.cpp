// qxpack: writes, lists and extracts data packs.
//
//   qxpack create OUT.qxd [--pack] FILE...
//   qxpack list PACK
//   qxpack extract PACK NAME [OUT]
//   qxpack extract PACK --all DIR
//   qxpack import FILE NAME [--alpha] [--fit|--fit=crop|--fit=pad] [--radius R] [--centre]
//                 [--into PACK]
#include "data/pack.h"
#include "import.h"
#include "lz_encode.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

// The eight free bytes at the start of every pack we write: a tag and the
// format version.
static const uint8_t PACK_TAG[8] = {'V', 'O', 'R', 'N', 'P', 'K', 0, 1};

static int usage() {
    std::fprintf(stderr, "usage: qxpack create OUT.qxd [--pack] FILE... | list PACK | "
                         "extract PACK NAME [OUT] | extract PACK --all DIR | "
                         "import FILE NAME [options]\n");
    return 2;
}

static int fail(const std::string& message) {
    std::fprintf(stderr, "qxpack: %s\n", message.c_str());
    return 1;
}

static bool read_whole_file(const std::string& path, Buffer& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

static bool write_whole_file(const std::string& path, const Buffer& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return bool(out);
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
    Buffer out(PACK_HEADER_SIZE + files.size() * PACK_DIR_ENTRY_SIZE, 0);
    std::memcpy(out.data(), PACK_TAG, sizeof PACK_TAG);
    put_u32(out, 8, uint32_t(files.size()));
    for (size_t i = 0; i < files.size(); i++) {
        const std::string name = fs::path(files[i]).filename().string();
        if (name.empty() || name.size() >= PACK_NAME_SIZE)
            return fail("entry name '" + name + "' must be 1 to 15 characters");
        Buffer data;
        if (!read_whole_file(files[i], data)) return fail("cannot read " + files[i]);
        const Buffer stored = stored_form(data, pack);
        if (out.size() + stored.size() > UINT32_MAX) return fail("pack would exceed 4 GiB");
        const size_t record = PACK_HEADER_SIZE + i * PACK_DIR_ENTRY_SIZE;
        std::memcpy(&out[record], name.c_str(), name.size());
        put_u32(out, record + 16, uint32_t(stored.size()));
        put_u32(out, record + 20, uint32_t(out.size()));
        out.insert(out.end(), stored.begin(), stored.end());
    }
    if (!write_whole_file(out_path, out)) return fail("cannot write " + out_path);
    return 0;
}

static bool load_pack(const std::string& path, Buffer& pack) {
    if (!read_whole_file(path, pack) || pack.size() < PACK_HEADER_SIZE) return false;
    return true;
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

static int list_pack(const std::string& path) {
    Buffer pack;
    if (!load_pack(path, pack)) return fail("cannot read pack " + path);
    for (const PackDirEntry& e : pack_directory(pack.data(), pack.size())) {
        Buffer contents;
        if (!entry_contents(pack, e, contents)) return fail("corrupt entry " + std::string(e.name));
        const bool packed = is_packed_block(pack.data() + e.offset, e.stored_size);
        std::printf("%-15s %10u %10zu %s\n", e.name, e.stored_size, contents.size(),
                    packed ? "packed" : "plain");
    }
    return 0;
}

static int extract_one(const std::string& path, const std::string& name, const char* out_path) {
    Buffer pack;
    if (!load_pack(path, pack)) return fail("cannot read pack " + path);
    const std::optional<PackDirEntry> e = pack_find(pack.data(), pack.size(), name.c_str());
    if (!e) return fail("no entry '" + name + "' in " + path);
    Buffer contents;
    if (!entry_contents(pack, *e, contents)) return fail("corrupt entry " + name);
    if (!out_path) {
        const bool ok = std::fwrite(contents.data(), 1, contents.size(), stdout) == contents.size();
        return ok && std::fflush(stdout) == 0 ? 0 : fail("cannot write standard output");
    }
    return write_whole_file(out_path, contents) ? 0 : fail("cannot write " + std::string(out_path));
}

// Every name once, as the look-up would find it (the first of equal names).
static int extract_all(const std::string& path, const std::string& dir) {
    Buffer pack;
    if (!load_pack(path, pack)) return fail("cannot read pack " + path);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) return fail("cannot create " + dir);
    for (const PackDirEntry& e : pack_directory(pack.data(), pack.size())) {
        const std::optional<PackDirEntry> first = pack_find(pack.data(), pack.size(), e.name);
        if (!first || first->offset != e.offset || first->stored_size != e.stored_size) continue;
        Buffer contents;
        if (!entry_contents(pack, e, contents)) return fail("corrupt entry " + std::string(e.name));
        const std::string out = (fs::path(dir) / e.name).string();
        if (!write_whole_file(out, contents)) return fail("cannot write " + out);
        std::printf("%-15s %10zu\n", e.name, contents.size());
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 3) return usage();
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
    if (command == "extract" && argc == 5 && std::strcmp(argv[3], "--all") == 0)
        return extract_all(argv[2], argv[4]);
    if (command == "extract" && (argc == 4 || argc == 5))
        return extract_one(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    return usage();
}
